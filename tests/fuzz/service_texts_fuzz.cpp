// The service tools' texts: "addInfo.ini" register groups, the lines of the column offset and
// register edits, the camera's hexadecimal readings, timing answers, nano-stage voltage words
// and region answers. Each either gives a well-formed result or refuses, whatever the bytes.
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

#include "editors/multi_roi.h"
#include "tests/fuzz/fuzz_check.h"
#include "tools/column_offset.h"
#include "tools/factory_tuning.h"
#include "tools/stage_control.h"

using namespace kelpax;

namespace {

bool hexDigits(std::string_view text) {
  if (text.empty())
    return false;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c)))
      return false;
  }
  return true;
}

// An address as a register group may hold it: "0x" or not, then one to eight hexadecimal digits.
bool registerAddress(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text.remove_prefix(2);
  return text.size() <= 8 && hexDigits(text);
}

void checkRegisterFile(const std::string& text) {
  const RegisterFile file = parseRegisterFile(text);
  if (!file.error.empty()) {
    FUZZ_CHECK(file.error.rfind(kRegisterFileName, 0) == 0);
    return;
  }
  FUZZ_CHECK(file.groups.size() <= size_t(kMaxRegisterGroups));
  for (const RegisterGroup& group : file.groups) {
    FUZZ_CHECK(!group.name.empty());
    FUZZ_CHECK(group.name.find_first_of(" \t,\r\n") == std::string::npos);
    FUZZ_CHECK(group.addresses.size() <= size_t(kMaxGroupAddresses));
    for (const std::string& address : group.addresses)
      FUZZ_CHECK(registerAddress(address));
  }
}

// The lines of an edit put back together give the text without carriage returns, less the
// newline that ends the last line.
void checkTextLines(const std::string& text) {
  std::string plain;
  for (char c : text) {
    if (c != '\r')
      plain += c;
  }
  if (!plain.empty() && plain.back() == '\n')
    plain.pop_back();
  std::string joined;
  const std::vector<std::string> lines = textLines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    FUZZ_CHECK(lines[i].find_first_of("\r\n") == std::string::npos);
    joined += (i ? "\n" : "") + lines[i];
  }
  FUZZ_CHECK(joined == plain);
}

void checkHexReading(const std::string& text) {
  const uint64_t value = readHexLoose(text);
  if (text.size() <= 16 && hexDigits(text) && text.find_first_of("xX") == std::string::npos)
    FUZZ_CHECK(value == std::stoull(text, nullptr, 16));
}

void checkTimingAnswer(std::string_view text) {
  const std::optional<TimingSet> set = parseTimingAnswer(text);
  if (!set)
    return;
  for (uint8_t value : *set)
    FUZZ_CHECK(value < 64);
  // What was read goes back as the command that sets it, and reads the same again.
  const std::string command = timingCommand(TimingSetKind::Width, *set);
  FUZZ_CHECK(command.rfind("stw ", 0) == 0);
  const std::optional<TimingSet> again = parseTimingAnswer(std::string_view(command).substr(4));
  FUZZ_CHECK(again && *again == *set);
}

void checkVoltages(std::string_view text) {
  const std::optional<PztVoltages> volts = decodePztVoltages(text);
  if (!volts)
    return;
  for (double v : {volts->x, volts->y})
    FUZZ_CHECK(v >= -22.35 && v <= 160.0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  checkRegisterFile(text);
  checkTextLines(text);
  checkHexReading(text);
  checkTimingAnswer(text);
  checkVoltages(text);
  (void)parseRegionAnswer(text);
  return 0;
}
