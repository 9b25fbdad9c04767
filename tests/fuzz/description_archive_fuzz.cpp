// Zipped GenICam descriptions as a camera hands them over: any bytes give the first file's text,
// no longer than the most the caller takes, or the port's runtime error saying why not.
#include <cstdint>
#include <string>

#include "CLProtocol/CLPort.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  constexpr uint64_t kMaxSize = 64u << 10;
  const std::string archive(reinterpret_cast<const char*>(data), size);
  try {
    const GenICam::gcstring text = CLProtocol::UnzipFirstFile(archive, kMaxSize);
    FUZZ_CHECK(text.size() <= kMaxSize);
  } catch (const GenICam::RuntimeException& e) {
    FUZZ_CHECK(e.GetDescription()[0] != '\0');
  }
  return 0;
}
