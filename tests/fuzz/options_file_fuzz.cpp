// The feature browser's "options.ini": any file gives a visibility level of 0 to 2; saving a
// level either keeps the file as it was, with a reason, or writes one that reads back that
// level, keeps every other line in its order and does not change when saved again.
#include <string>
#include <string_view>
#include <vector>

#include "GenICam/BoundedFile.h"
#include "nodeview/feature_file.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/scratch_folder.h"

namespace {

std::string contents(const std::string& path) {
  std::string text;
  nodeview::readWholeFile(path, text, GenICam::kMaxOptionsFileBytes * 2);
  return text;
}

std::vector<std::string_view> lines(std::string_view text) {
  std::vector<std::string_view> out;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    out.push_back(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  return out;
}

// A line that sets "Type" in whatever section: the one kind of line a save may drop.
bool setsType(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos)
    return false;
  std::string_view key = line.substr(0, equals);
  while (!key.empty() && (key.front() == ' ' || key.front() == '\t'))
    key.remove_prefix(1);
  while (!key.empty() && (key.back() == ' ' || key.back() == '\t' || key.back() == '\r'))
    key.remove_suffix(1);
  return key == "Type";
}

// Every line of `before` that does not set "Type" appears in `after`, in the same order.
bool keepsOtherLines(std::string_view before, std::string_view after) {
  const std::vector<std::string_view> kept = lines(after);
  std::size_t at = 0;
  for (std::string_view line : lines(before)) {
    if (setsType(line))
      continue;
    while (at < kept.size() && kept[at] != line)
      ++at;
    if (at == kept.size())
      return false;
    ++at;
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  if (size == 0)
    return 0;
  const int level = data[0] % 3;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string& folder = fuzz::scratchFolder();
  const std::string path = folder + "/" + nodeview::kOptionsFileName;
  if (!nodeview::writeFileReplacing(path, text).empty())
    std::abort();

  const int read = nodeview::readVisibilityLevel(folder);
  FUZZ_CHECK(read >= 0 && read <= 2);

  const std::string why = nodeview::writeVisibilityLevel(folder, level);
  const std::string saved = contents(path);
  if (!why.empty()) {
    FUZZ_CHECK(saved == text);
    return 0;
  }
  FUZZ_CHECK(saved.size() <= GenICam::kMaxOptionsFileBytes);
  FUZZ_CHECK(nodeview::readVisibilityLevel(folder) == level);
  FUZZ_CHECK(keepsOtherLines(text, saved));
  FUZZ_CHECK(nodeview::writeVisibilityLevel(folder, level).empty());
  FUZZ_CHECK(contents(path) == saved);

  const int other = (level + 1) % 3;
  FUZZ_CHECK(nodeview::writeVisibilityLevel(folder, other).empty());
  FUZZ_CHECK(nodeview::readVisibilityLevel(folder) == other);
  return 0;
}
