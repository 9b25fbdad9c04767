// Column offset points and the FPGA register groups of "addInfo.ini".
#include "tools/column_offset.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace kelpax {
namespace {

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string word; in >> word;)
    out.push_back(word);
  return out;
}

// The value line of an answer: its second line (the first is the command's echo).
std::string secondLine(const std::string& answer) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : answer) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  lines.push_back(line);
  return lines.size() > 1 && lines[1] != ">" ? lines[1] : std::string();
}

bool isAddress(std::string text) {
  if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)
    text.erase(0, 2);
  if (text.empty() || text.size() > 8)
    return false;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c)))
      return false;
  }
  return true;
}

bool isDecimal(const std::string& text) {
  if (text.empty() || text.size() > 10)
    return false;
  for (char c : text) {
    if (c < '0' || c > '9')
      return false;
  }
  return std::stoull(text) <= 0xFFFFFFFFull;
}

} // namespace

uint64_t readHexLoose(const std::string& text) {
  std::string lower;
  for (char c : text)
    lower += char(std::tolower(static_cast<unsigned char>(c)));
  for (size_t at; (at = lower.find("0x")) != std::string::npos;)
    lower.erase(at, 2);
  if (lower.size() > 16)
    lower.resize(16);
  uint64_t value = 0;
  for (char c : lower) {
    int digit = 0;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    value = value * 16 + uint64_t(digit);
  }
  return value;
}

std::vector<std::string> textLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!line.empty())
    lines.push_back(line);
  return lines;
}

RegisterFile parseRegisterFile(const std::string& text) {
  RegisterFile file;
  for (unsigned char c : text) {
    if (c == 0 || (c < 0x20 && c != '\t' && c != '\r' && c != '\n')) {
      file.error = std::string(kRegisterFileName) + " is not a text file";
      return file;
    }
  }
  int lineNumber = 0;
  for (std::string line : textLines(text)) {
    ++lineNumber;
    for (char& c : line) {
      if (c == ',' || c == '\t')
        c = ' ';
    }
    std::vector<std::string> fields = words(line);
    if (fields.empty())
      continue;
    if (fields.size() > size_t(1 + kMaxGroupAddresses)) {
      file.error = std::string(kRegisterFileName) + " line " + std::to_string(lineNumber) +
                   ": more than four addresses";
      return file;
    }
    RegisterGroup group{fields[0], {}};
    for (size_t i = 1; i < fields.size(); ++i) {
      if (!isAddress(fields[i])) {
        file.error = std::string(kRegisterFileName) + " line " + std::to_string(lineNumber) +
                     ": '" + fields[i] + "' is no register address";
        return file;
      }
      group.addresses.push_back(fields[i]);
    }
    file.groups.push_back(std::move(group));
    if (file.groups.size() > size_t(kMaxRegisterGroups)) {
      file.error = std::string(kRegisterFileName) + " holds more than 16 groups";
      return file;
    }
  }
  return file;
}

RegisterFile readRegisterFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    RegisterFile file;
    file.error = "Not Found Configuration file ";
    return file;
  }
  std::stringstream text;
  text << in.rdbuf();
  return parseRegisterFile(text.str());
}

Answer ColumnOffset::send(const std::string& command) {
  return host_.sendCommand(command, {.timeoutMs = kColumnOffsetTimeoutMs, .shown = true});
}

ColumnOffset::Outcome ColumnOffset::readPoints() {
  Outcome outcome;
  for (int index = 0; index < kColumnOffsetEntries; ++index) {
    const Answer answer = send("gccp " + std::to_string(index));
    if (!answer.accepted()) {
      outcome.error = "the camera did not give entry " + std::to_string(index);
      break;
    }
    const std::string line = secondLine(answer.text);
    const std::vector<std::string> values = words(line);
    if (values.empty() || std::strtoll(values[0].c_str(), nullptr, 10) >= kUnusedColumnOffset)
      break;
    outcome.text += line + "\n";
    ++outcome.sent;
  }
  return outcome;
}

ColumnOffset::Outcome ColumnOffset::writePoints(const std::string& text) {
  Outcome outcome;
  const std::vector<std::string> lines = textLines(text);
  if (lines.size() > size_t(kColumnOffsetEntries)) {
    outcome.error = "the camera keeps 32 entries; the text has " + std::to_string(lines.size()) +
                    " lines, nothing was sent";
    return outcome;
  }
  int index = 0;
  for (const std::string& line : lines) {
    if (send("sccp " + std::to_string(index) + " " + line).accepted())
      ++outcome.sent;
    ++index;
  }
  for (; index < kColumnOffsetEntries; ++index) {
    if (!send("sccp " + std::to_string(index) + " 16383 0 0").accepted()) {
      outcome.error = "the camera refused entry " + std::to_string(index);
      break;
    }
    ++outcome.sent;
  }
  return outcome;
}

ColumnOffset::Outcome ColumnOffset::readRegisters(const std::vector<RegisterGroup>& groups) {
  Outcome outcome;
  const Answer maskAnswer = send(std::string("rfpga ") + kEnableMaskRegister);
  if (!maskAnswer.accepted()) {
    outcome.error = "the camera did not give the enable mask";
    return outcome;
  }
  const uint64_t mask = readHexLoose(maskAnswer.token(0));
  for (size_t i = 0; i < groups.size(); ++i) {
    std::string line = groups[i].name + " " + std::to_string((mask >> i) & 1);
    for (const std::string& address : groups[i].addresses) {
      const Answer answer = send("rfpga " + address);
      if (!answer.accepted()) {
        outcome.error = "the camera did not give register " + address;
        return outcome;
      }
      line += " " + std::to_string(readHexLoose(answer.token(0)) & 0xFFFFFFFFull);
    }
    outcome.text += line + "\n";
  }
  return outcome;
}

ColumnOffset::Outcome ColumnOffset::writeRegisters(const std::vector<RegisterGroup>& groups,
                                                   const std::string& text) {
  Outcome outcome;
  const std::vector<std::string> lines = textLines(text);
  // Everything is checked first: a bad line sends nothing rather than half the registers.
  if (lines.size() > groups.size()) {
    outcome.error = "the text has more lines than addInfo.ini has groups";
    return outcome;
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::vector<std::string> fields = words(lines[i]);
    for (size_t w = 2; w < fields.size(); ++w) {
      if (!isDecimal(fields[w])) {
        outcome.error = "line " + std::to_string(i + 1) + ": '" + fields[w] + "' is no value";
        return outcome;
      }
    }
  }
  uint32_t mask = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::vector<std::string> fields = words(lines[i]);
    if (fields.size() > 1 && fields[1] == "1")
      mask |= 1u << i;
    for (size_t w = 2; w < fields.size() && w - 2 < groups[i].addresses.size(); ++w) {
      if (!send("wfpga " + groups[i].addresses[w - 2] + " " + fields[w]).accepted()) {
        outcome.error = "the camera refused register " + groups[i].addresses[w - 2];
        return outcome;
      }
      ++outcome.sent;
    }
  }
  char maskText[16];
  std::snprintf(maskText, sizeof maskText, "0x%04X", mask);
  if (!send(std::string("wfpga ") + kEnableMaskRegister + " " + maskText).accepted()) {
    outcome.error = "the camera refused the enable mask";
    return outcome;
  }
  ++outcome.sent;
  return outcome;
}

} // namespace kelpax
