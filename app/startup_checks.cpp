// Working-folder checks made at start-up and before GenICam file access.
#include "app/startup_checks.h"

#include <filesystem>
#include <system_error>

#include "camera/debug_output.h"

namespace kelpax {
namespace {

constexpr char kErrorCaption[] = "Error";

std::string withPath(const char* prefix, const std::string& path) {
  return prefix + path;
}

void refuse(StartupEnvironment& env, const std::string& text) {
  env.messageBox.showMessage(kErrorCaption, text, MessageIcon::Error);
  env.quitHook.quit(kRefusedFolderExitCode);
}

bool isPrintableAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c > 0x7E) {
      return false;
    }
  }
  return true;
}

} // namespace

OsVersion hostOsVersion() {
  return OsVersion{};
}

std::string readCurrentDirectory() {
  std::error_code error;
  std::string path = std::filesystem::current_path(error).string();
  if (error) {
    return {};
  }
  if (path.size() > kFolderReadLimit) {
    path.resize(kFolderReadLimit);
  }
  return path;
}

bool checkWorkingFolder(StartupEnvironment& env) {
  const std::string folder = env.currentDirectory();
  if (folder.find('#') == std::string::npos) {
    return true;
  }
  refuse(env, withPath("Kelpax 3.x doesn't allow to use '#' charactor in the execution file "
                       "path.\n\rCurrent path : ",
                       folder));
  return false;
}

int guardedGenICamConnect(GenICamConnectDialog* dialog, StartupEnvironment& env,
                          const std::string& id1, const std::string& id2, const std::string& id3,
                          int value) {
  if (dialog == nullptr) {
    debugOutput("_pDlgNewKelpax == NULL\n");
    return kGenICamGuardFailed;
  }
  const std::string folder = env.currentDirectory();
  if (!isPrintableAscii(folder)) {
    refuse(env, withPath("The file path must be alphanumeric.\n\nCurrent path: ", folder));
    return kGenICamGuardFailed;
  }
  if (env.osVersion.major == 6 && env.osVersion.minor == 1 &&
      folder.size() >= kWindows61PathLimit) {
    refuse(env, withPath("The file path is too long. Please use a shorter folder name or file "
                         "path, and then try again.\n\nCurrent path: ",
                         folder));
    return kGenICamGuardFailed;
  }
  return dialog->connect(id1, id2, id3, value);
}

} // namespace kelpax
