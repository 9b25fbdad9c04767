// Setting files: what a file's bytes ask the camera for, line by line, without a port.
#include <string_view>

#include "session/setting_file.h"
#include "tests/fuzz/fuzz_check.h"

using namespace kelpax;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  SettingLoadResult result;
  const std::vector<SettingLoadStep> steps = planSettingLoad(bytes, result);
  long paused = 0;
  size_t lastLine = 0;
  for (const SettingLoadStep& step : steps) {
    FUZZ_CHECK(step.lineNumber > lastLine);
    lastLine = step.lineNumber;
    if (step.pause) {
      FUZZ_CHECK(step.pauseMs >= 0 && step.pauseMs <= kSettingPauseLimitMs);
      paused += step.pauseMs;
      continue;
    }
    // Only plain command text of a sensible length ever reaches the camera.
    FUZZ_CHECK(step.command.size() >= 3 && step.command.size() <= kSettingLineLimit);
    for (char c : step.command)
      FUZZ_CHECK(c >= 0x20 && c < 0x7f);
  }
  FUZZ_CHECK(paused <= kSettingTotalPauseLimitMs);
  for (const SettingLineNote& note : result.skipped)
    FUZZ_CHECK(note.text.size() <= 200);
  // The header written for a model name of these bytes stays three lines.
  const std::string header = settingFileHeader(bytes.substr(0, 64));
  size_t lines = 0;
  for (char c : header)
    lines += c == '\n';
  FUZZ_CHECK(lines == 3);
  return 0;
}
