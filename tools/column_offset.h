// The column offset table of a camera (32 entries of blank-separated values) and the FPGA
// register groups described by "addInfo.ini", each with its enable bit in register 0x151.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "camera/answer.h"
#include "pages/page_host.h"

namespace kelpax {

inline constexpr int kColumnOffsetEntries = 32;
inline constexpr int kUnusedColumnOffset = 16383;
inline constexpr uint32_t kColumnOffsetTimeoutMs = 2000;
inline constexpr char kRegisterFileName[] = "addInfo.ini";
inline constexpr char kEnableMaskRegister[] = "0x151";
// The enable mask is a 16-bit register: at most 16 groups.
inline constexpr int kMaxRegisterGroups = 16;
inline constexpr int kMaxGroupAddresses = 4;

// The camera's hexadecimal reading: lower case, "0x" removed, digits 0-9 and a-f accumulated,
// any other character counting as 0. At most 16 characters are taken.
uint64_t readHexLoose(const std::string& text);

struct RegisterGroup {
  std::string name;
  std::vector<std::string> addresses; // as written in the file, at most four
};

struct RegisterFile {
  std::vector<RegisterGroup> groups;
  std::string error; // empty when the file was read
};

// Parses the text of "addInfo.ini": one group per line, blanks and commas as tabs, a name and up
// to four hexadecimal addresses. A file that is not text, an address that is no hexadecimal
// number of at most eight digits, or more than 16 groups is refused with the line at fault.
RegisterFile parseRegisterFile(const std::string& text);
// Reads the file; "Not Found Configuration file " when it cannot be opened.
RegisterFile readRegisterFile(const std::string& path);

class ColumnOffset {
public:
  explicit ColumnOffset(PageHost& host) : host_(host) {}

  struct Outcome {
    std::string text;  // what the text area shows after a read
    int sent = 0;      // commands the camera accepted
    std::string error; // why the operation stopped early, empty when it did not
  };

  // "Read": the used entries, one line each, up to the first unused one.
  Outcome readPoints();
  // "Write": line i as entry i, then "16383 0 0" for every index after the last line, stopping
  // at the first refusal. More than 32 lines are refused before anything is sent.
  Outcome writePoints(const std::string& text);
  // "Read2": each group's name, its enable bit and its registers' values in decimal.
  Outcome readRegisters(const std::vector<RegisterGroup>& groups);
  // "Write2": the values of each line into its group's registers, then the enable mask.
  Outcome writeRegisters(const std::vector<RegisterGroup>& groups, const std::string& text);

private:
  Answer send(const std::string& command);
  PageHost& host_;
};

// The lines of an edit's text, carriage returns removed; a last empty line is no line.
std::vector<std::string> textLines(const std::string& text);

} // namespace kelpax
