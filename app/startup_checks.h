// Checks the program makes on its working folder before it touches a camera, and the guard
// the GenICam connection passes before its dialog runs.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "camera/interfaces.h"

namespace kelpax {

inline constexpr int kRefusedFolderExitCode = 18;
inline constexpr int kGenICamGuardFailed = -1001;
// The folder is read into a buffer of this many characters; longer paths are cut.
inline constexpr std::size_t kFolderReadLimit = 256;
// Windows 6.1 could not open GenICam files below folders this long or longer.
inline constexpr std::size_t kWindows61PathLimit = 50;

// Windows NT version numbers, which the path-length rule is written against.
struct OsVersion {
  int major = 0;
  int minor = 0;
};

// The host's Windows NT version: a Linux host is no Windows release and reports 0.0 (not its
// kernel version, which can well be 6.1).
OsVersion hostOsVersion();

// The current directory, cut to kFolderReadLimit bytes.
std::string readCurrentDirectory();

// What the checks need from the program around them; tests substitute each piece.
struct StartupEnvironment {
  MessageBoxSink& messageBox;
  QuitHook& quitHook;
  std::function<std::string()> currentDirectory = readCurrentDirectory;
  OsVersion osVersion = hostOsVersion();
};

// Refuses a working folder with '#' in it: shows the error, asks to quit with code 18 and
// returns false. The program must then initialise nothing else.
bool checkWorkingFolder(StartupEnvironment& env);

// The GenICam connection dialog as far as the guard needs it.
class GenICamConnectDialog {
public:
  virtual ~GenICamConnectDialog() = default;
  virtual int connect(const std::string& id1, const std::string& id2, const std::string& id3,
                      int value) = 0;
};

// Runs the folder checks GenICam file access depends on, then forwards the device's three
// identifying strings and the integer to the dialog untouched and returns its result.
// Returns kGenICamGuardFailed when the dialog does not exist or the folder is refused.
int guardedGenICamConnect(GenICamConnectDialog* dialog, StartupEnvironment& env,
                          const std::string& id1, const std::string& id2, const std::string& id3,
                          int value);

} // namespace kelpax
