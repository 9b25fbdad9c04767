// Feeds every file of the given folders (or the given files) to a fuzz target once, in name
// order: the corpus replay that runs under the ordinary compilers and sanitizers, without
// libFuzzer.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "camera/file_io.h"
#include "tests/fuzz/fuzz_check.h"

namespace fs = std::filesystem;

namespace {

// The largest corpus file replayed; the targets' own inputs stay far below it.
constexpr std::size_t kLargestInput = 8u << 20;

} // namespace

int main(int argc, char** argv) {
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (fs::is_directory(argv[i], ec)) {
      for (const fs::directory_entry& entry : fs::directory_iterator(argv[i], ec)) {
        if (entry.is_regular_file(ec))
          inputs.push_back(entry.path().string());
      }
    } else {
      inputs.emplace_back(argv[i]);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "replay: no corpus files given\n");
    return 2;
  }
  for (const std::string& path : inputs) {
    std::string bytes;
    const kelpax::FileStatus status = kelpax::readFileBounded(path, kLargestInput, bytes);
    if (!status) {
      std::fprintf(stderr, "replay: %s\n", status.detail.c_str());
      return 2;
    }
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", path.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  }
  std::printf("replay: %zu inputs, no failure\n", inputs.size());
  return 0;
}
