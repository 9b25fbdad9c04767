// Reading and rewriting portlist.ini, and the judgement of its interface-mode and rate values.
#include "link/port_settings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "camera/debug_output.h"
#include "camera/file_io.h"

namespace kelpax {
namespace {

constexpr unsigned kNewFileMode = 0644;

std::string without(std::string_view text, std::string_view drop) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (drop.find(c) == std::string_view::npos) {
      out.push_back(c);
    }
  }
  return out;
}

std::string_view skipSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') {
    text.remove_prefix(1);
  }
  return text;
}

// The file's lines without their '\n'; `endsWithLineEnd` says whether the last one had one.
std::vector<std::string> splitLines(std::string_view text, bool& endsWithLineEnd) {
  std::vector<std::string> lines;
  endsWithLineEnd = !text.empty() && text.back() == '\n';
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool isComment(std::string_view line) {
  return !line.empty() && line.front() == ':';
}

// A key or value written into the file must not start a line of its own.
std::string oneLine(std::string_view text) {
  return without(text, std::string_view("\r\n\0", 3));
}

unsigned modeOf(const std::string& path, unsigned fallback) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return fallback;
  }
  return unsigned(st.st_mode & 07777);
}

// A key as the file is matched by it: without spaces, tabs, CR and LF, in lower case. Reading
// and writing both compare keys this way, so a write replaces the very line a read finds.
std::string keyForMatching(std::string_view key) {
  return lowerCase(without(key, "\r\n\t "));
}

// Whether the line sets `wanted` (a key from keyForMatching): the line is no comment, holds
// "=", and what stands before its first "=" matches. Compared in place: a scan asks this of
// every line for every port.
bool setsKey(std::string_view line, const std::string& wanted) {
  if (isComment(line)) {
    return false;
  }
  size_t k = 0;
  for (char c : line) {
    if (c == '=') {
      return k == wanted.size();
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      continue;
    }
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (k == wanted.size() || wanted[k] != lower) {
      return false;
    }
    ++k;
  }
  return false;
}

} // namespace

std::string portListCommentBlock() {
  const std::string rule = ":" + std::string(89, '-') + " \n";
  std::string block;
  block += ":Kelpax COM / DLL configuration File \n";
  block += rule;
  block += ":Set port enable parameter Value :   '0', '1'  \n";
  block += ":ex>"; // no line end: it runs into the example below
  block += ":COM1=1\t<- Check COM1 Port \n";
  block += ":COM1=0\t<- Skip COM1 Port \n";
  block += ": \n";
  block += ":Set serial baudRate value  : \"AUTO\" , \"9600\"  , \"19200\" , \"38400\" , "
           "\"115200\"  \n";
  block += ":ex> \n";
  block += ":BaudRate=AUTO\t   <- Set Auto Scan Mode \n";
  block += ":BaudRate=19200   <- Set fixed baudrate(19200 bps) \n";
  block += ":COMPORT_ONLY = 1 <- Only use Comport              to communicate with camera.\n";
  block += ":COMPORT_ONLY = 0 <-      use Comport and ClserDLL to communicate with camera.\n";
  block += ":COMPORT_ONLY = 2 <- Only use ClserDLL             to communicate with camera.\n";
  block += ":" + std::string(89, '-') + " \n\n";
  return block;
}

PortSettings::PortSettings(std::string folder)
    : folder_(std::move(folder)), path_(folder_ + "/" + kPortListFileName) {}

FileError PortSettings::readFile(std::string& text) {
  const FileStatus status = readFileBounded(path_, kMaxFileSize, text);
  switch (status.error) {
  case FileError::None:
  case FileError::Missing:
    readProblem_.clear();
    break;
  case FileError::TooLarge:
    readProblem_ = "portlist.ini is too large to read (" + status.detail +
                   "): its settings are not used and nothing is written to it";
    break;
  case FileError::NotRegular:
  case FileError::Io:
    readProblem_ = "portlist.ini cannot be read (" + status.detail +
                   "): its settings are not used and nothing is written to it";
    break;
  }
  return status.error;
}

std::string PortSettings::ReadPortSetting(std::string_view key) {
  std::string text;
  switch (readFile(text)) {
  case FileError::Missing:
    if (!writeFileAtomically(path_, portListCommentBlock(), kNewFileMode)) {
      debugPrintf("%s, %d, cannot create %s\n", "CGetPortDlg::ReadPortSetting", __LINE__,
                  path_.c_str());
    }
    return {};
  case FileError::NotRegular:
  case FileError::TooLarge:
  case FileError::Io:
    debugPrintf("%s, %d, cannot read %s\n", "CGetPortDlg::ReadPortSetting", __LINE__,
                path_.c_str());
    return {};
  case FileError::None:
    break;
  }
  const std::string wanted = keyForMatching(key);
  // A scan reads one key per port: the lines are looked at in place, none is copied.
  std::string_view remaining(text);
  while (!remaining.empty()) {
    const size_t lineEnd = remaining.find('\n');
    const std::string_view line = remaining.substr(0, lineEnd);
    remaining.remove_prefix(lineEnd == std::string_view::npos ? remaining.size() : lineEnd + 1);
    if (!setsKey(line, wanted)) {
      continue;
    }
    // The first non-empty piece after the key, the line split at "=".
    std::string_view rest(line);
    size_t eq = rest.find('=');
    while (eq != std::string_view::npos) {
      rest.remove_prefix(eq + 1);
      eq = rest.find('=');
      std::string piece = without(rest.substr(0, eq), "\t\r");
      if (!piece.empty()) {
        return piece;
      }
    }
    return {};
  }
  return {};
}

void PortSettings::WritePortSetting(std::string_view rawKey, std::string_view rawValue) {
  const std::string key = oneLine(rawKey);
  const std::string value = oneLine(rawValue);
  std::string text;
  switch (readFile(text)) {
  case FileError::Missing:
    if (!writeFileAtomically(path_, key + "=" + value + "\n", kNewFileMode)) {
      debugPrintf("%s, %d, cannot create %s\n", "CGetPortDlg::WritePortSetting", __LINE__,
                  path_.c_str());
    }
    return;
  case FileError::NotRegular:
  case FileError::TooLarge:
  case FileError::Io:
    // Rewriting a file that cannot be read would lose what it holds.
    debugPrintf("%s, %d, cannot read %s; %s not written\n", "CGetPortDlg::WritePortSetting",
                __LINE__, path_.c_str(), key.c_str());
    return;
  case FileError::None:
    break;
  }
  bool endsWithLineEnd = false;
  std::vector<std::string> lines = splitLines(text, endsWithLineEnd);
  const std::string wanted = keyForMatching(key);
  bool replaced = false;
  for (std::string& line : lines) {
    if (!setsKey(line, wanted)) {
      continue;
    }
    const size_t eq = line.find('=');
    // The value: after the "=" and any tabs, up to the next tab or the line end.
    size_t start = eq + 1;
    while (start < line.size() && line[start] == '\t') {
      ++start;
    }
    size_t end = start;
    while (end < line.size() && line[end] != '\t' && line[end] != '\r') {
      ++end;
    }
    line.replace(start, end - start, value);
    replaced = true;
    break;
  }
  if (!replaced) {
    lines.push_back(key + "=" + value);
    endsWithLineEnd = true;
  }
  std::string out;
  out.reserve(text.size() + key.size() + value.size() + 2);
  for (size_t i = 0; i < lines.size(); ++i) {
    out += lines[i];
    if (i + 1 < lines.size() || endsWithLineEnd) {
      out += '\n';
    }
  }
  if (out.size() > kMaxFileSize) {
    // The reader would refuse the grown file and lose every setting in it.
    debugPrintf("%s, %d, %s would grow too large; %s not written\n",
                "CGetPortDlg::WritePortSetting", __LINE__, path_.c_str(), key.c_str());
    return;
  }
  if (!writeFileAtomically(path_, out, modeOf(path_, kNewFileMode))) {
    debugPrintf("%s, %d, cannot write %s; %s not written\n", "CGetPortDlg::WritePortSetting",
                __LINE__, path_.c_str(), key.c_str());
  }
}

std::vector<std::string> PortSettings::devicePathKeys() {
  std::string text;
  if (readFile(text) != FileError::None) {
    return {};
  }
  std::vector<std::string> keys;
  // Files may name tens of thousands of paths: each is looked up once, not against the list.
  std::unordered_set<std::string_view> seen;
  bool endsWithLineEnd = false;
  const std::vector<std::string> lines = splitLines(text, endsWithLineEnd);
  for (const std::string& line : lines) {
    if (isComment(line)) {
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      continue;
    }
    std::string_view name = std::string_view(line).substr(0, eq);
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) {
      name.remove_prefix(1);
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
      name.remove_suffix(1);
    }
    if (name.size() > 1 && name.front() == '/' &&
        name.find_first_of(std::string_view("\r\0", 2)) == std::string_view::npos &&
        seen.insert(name).second) {
      keys.emplace_back(name);
    }
  }
  return keys;
}

InterfaceMode interfaceModeFromSetting(std::string_view value) {
  value = skipSpaces(value);
  if (value.starts_with('0')) {
    return InterfaceMode::All;
  }
  if (value.starts_with('1')) {
    return InterfaceMode::ComOnly;
  }
  return InterfaceMode::ClserOnly;
}

bool interfaceSettingNeedsRewrite(std::string_view value) {
  value = skipSpaces(value);
  // "2" itself is already what a rewrite would store.
  return value != "2" && !value.starts_with('0') && !value.starts_with('1');
}

BaudChoice baudChoiceFromSetting(std::string_view value) {
  BaudChoice choice;
  if (value.empty() || lowerCase(value).find("auto") != std::string::npos) {
    return choice;
  }
  choice.scan = false;
  value = skipSpaces(value);
  static const std::pair<std::string_view, unsigned> kRates[] = {
      {"9600", 1}, {"19200", 2}, {"38400", 4}, {"56000", 8}, {"115200", 16},
  };
  for (const auto& [text, code] : kRates) {
    if (value.starts_with(text)) {
      choice.baudCode = code;
      return choice;
    }
  }
  choice.baudCode = 2;
  return choice;
}

} // namespace kelpax
