// portlist.ini: the operator's port preferences in the working folder (interface mode, baud
// rate, one enable key per port).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "camera/file_io.h"

namespace kelpax {

// Which ports a scan lists (the COMPORT_ONLY key, and the index of the interface combo).
enum class InterfaceMode { All = 0, ComOnly = 1, ClserOnly = 2 };

inline constexpr const char* kPortListFileName = "portlist.ini";
inline constexpr const char* kInterfaceModeKey = "COMPORT_ONLY";
inline constexpr const char* kBaudRateKey = "BaudRate";

// The comment lines a new portlist.ini begins with.
std::string portListCommentBlock();

class PortSettings {
public:
  // `folder` holds portlist.ini (the working folder when the program starts).
  explicit PortSettings(std::string folder);

  // Keys are compared without spaces, tabs and line ends and in any case ("Baud Rate",
  // "baudrate" and "BaudRate" are one key), on lines that hold "=" and are no comment.

  // The value of `key` on the first line that sets it; empty when the key is absent. A
  // missing file is created with the comment block. A file that cannot be read or created
  // gives empty values, so the defaults apply.
  std::string ReadPortSetting(std::string_view key);
  // Replaces the value on the first line that sets `key` (the line a read finds), or appends
  // key=value. The file is rewritten whole; when it cannot be read or written the value is
  // dropped and the file stays as it was.
  void WritePortSetting(std::string_view key, std::string_view value);

  const std::string& path() const { return path_; }

  // Why the file could not be read at the last read (too large, not a regular file, refused
  // by the system), for the operator; empty when it was read, or was missing and created.
  // While it cannot be read every setting is its default and nothing is written to it.
  const std::string& readProblem() const { return readProblem_; }

  // Keys that name a PC serial port by device path ("/tmp/ttyCAM0=1"), in file order, as
  // written (spaces and tabs around the key removed), each once.
  std::vector<std::string> devicePathKeys();

  // The largest portlist.ini read; a bigger file is treated as unreadable.
  static constexpr size_t kMaxFileSize = 1 << 20;

private:
  // readFileBounded, keeping readProblem_ up to date.
  FileError readFile(std::string& text);

  std::string folder_;
  std::string path_;
  std::string readProblem_;
};

// "0..." → All, "1..." → ComOnly, anything else → ClserOnly; leading spaces are ignored.
InterfaceMode interfaceModeFromSetting(std::string_view value);
// True when the stored value names no mode and is to be rewritten as "2".
bool interfaceSettingNeedsRewrite(std::string_view value);

struct BaudChoice {
  bool scan = true;      // try 115200, 19200 and 9600 in turn
  unsigned baudCode = 2; // the fixed rate otherwise
};
// "auto" in any case → scan; a value beginning with 9600, 19200, 38400, 56000 or 115200 →
// that rate; anything else → 19200. Empty means scan (the caller writes "AUTO").
BaudChoice baudChoiceFromSetting(std::string_view value);

} // namespace kelpax
