// Settings files, driver template, device IDs and the event log of the Camera Link module.
#include "nqxcl/module_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sstream>

#include <unistd.h>

#include "CLProtocol/CLPort.h"
#include "GenICam/BoundedFile.h"

namespace nqxcl {
namespace {

std::string trim(std::string text) {
  const char* blanks = " \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos)
    return {};
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// Settings files are a few lines; anything larger, or a FIFO or device, is not read.
constexpr std::size_t kMaxSettingsFileBytes = std::size_t{64} << 10;

// The value of key in [section] of an INI file; nullopt-like false when absent or unreadable.
bool iniValue(const std::string& path, const std::string& section, const std::string& key,
              std::string& value) {
  std::string text;
  if (!GenICam::readBoundedFile(path, kMaxSettingsFileBytes, text).empty())
    return false;
  std::istringstream in(text);
  std::string line, current;
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#')
      continue;
    if (line.front() == '[' && line.back() == ']') {
      current = line.substr(1, line.size() - 2);
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos || current != section)
      continue;
    if (trim(line.substr(0, eq)) == key) {
      value = trim(line.substr(eq + 1));
      return true;
    }
  }
  return false;
}

std::string programFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

} // namespace

std::string SettingsFilePath() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    base = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home)
    base = std::string(home) + "/.config";
  else
    base = ".config";
  return base + "/Quorvane/Lumeris Suite 7.conf";
}

uint32_t ComPort1Usable() {
  std::string value;
  if (!iniValue(SettingsFilePath(), "Application_Data", "COMPort1Usable", value))
    return 0;
  char* end = nullptr;
  unsigned long number = std::strtoul(value.c_str(), &end, 0);
  return end && *end == '\0' && !value.empty() ? static_cast<uint32_t>(number) : 0;
}

std::string GenCpCtiFilePath() {
  std::string value;
  if (!iniValue(SettingsFilePath(), "Application_Data", "GenCPCTIFilePath", value))
    return {};
  return value.substr(0, 260);
}

std::vector<std::string> SettingOptionsFolders() {
  return {"/etc/cameralink", programFolder()};
}

uint32_t ProbeBaudMask(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    std::string path = folder + "/CLSettingOptions.ini";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
      continue;
    std::string value;
    long n = 4;
    if (iniValue(path, "BAUDRATE", "MAX_BAUDRATE", value) && !value.empty())
      n = std::strtol(value.c_str(), nullptr, 10);
    return 1u << (static_cast<unsigned long>(n) % 32);
  }
  return 16;
}

std::string GenCpDriverTemplate() {
  const std::string folder = CLProtocol::DriverFolder();
  const std::string driver = folder + "/" + CLProtocol::kDriverFile;
  DebugOut("1\n" + driver);
  std::error_code ec;
  if (std::filesystem::exists(driver, ec))
    return folder + "#" + CLProtocol::kDriverFile + "#Quorvane#CameraLink01";
  if (std::string path = GenCpCtiFilePath(); !path.empty())
    return path;
  return std::string("$(QNGENICAM_ROOT_V2_4)/Bin/Linux64_x64/CLProtocol/#") +
         CLProtocol::kDriverFile + "#TestVendor#Family1#ModelA";
}

std::string DeviceIdFromProbe(const std::string& probeAnswer) {
  std::string shortId = CLProtocol::CDeviceID::FromString(probeAnswer).GetShortDeviceID();
  std::vector<std::string> pieces;
  size_t pos = 0;
  for (;;) {
    size_t hash = shortId.find('#', pos);
    pieces.push_back(shortId.substr(pos, hash == std::string::npos ? hash : hash - pos));
    if (hash == std::string::npos)
      break;
    pos = hash + 1;
  }
  std::string out = trim(pieces[0]);
  for (size_t i = 1; i < pieces.size(); ++i) {
    std::string piece = trim(pieces[i]);
    if (piece.empty())
      continue;
    std::replace(piece.begin(), piece.end(), ' ', '-');
    out += "#" + piece;
  }
  return out;
}

int CopyInfoText(const std::string& text, int32_t* type, void* buffer, size_t* size) {
  if (!type || !size)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  *type = GenTL::INFO_DATATYPE_STRING;
  const size_t needed = text.size() + 1;
  if (!buffer) {
    *size = needed;
    return GenTL::GC_ERR_SUCCESS;
  }
  if (*size < needed)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  std::memcpy(buffer, text.c_str(), needed);
  *size = needed;
  return GenTL::GC_ERR_SUCCESS;
}

void LogEvent(NQXEventLog* log, int level, const char* message, const char* source,
              const char* function, int line) {
  if (!log || !log->report)
    return;
  uint32_t eventId = 0;
  switch (level) {
  case 1:
    eventId = 0xC0020001;
    break;
  case 2:
    eventId = 0x80020002;
    break;
  case 4:
    eventId = 0x40020004;
    break;
  default:
    return;
  }
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  long long counter = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
  char text[2048];
  std::snprintf(text, sizeof text, "\n\r%s\n\r%s\n\r%s\n\r%s\n\r%d\n\r%lld \n", message,
                "libnqxcl.so", source, function, line, counter);
  log->report(log->context, level, eventId, text);
}

void DebugOut(const std::string& text) {
  if (std::getenv("KELPAX_DEBUG"))
    std::fprintf(stderr, "%s\n", text.c_str());
}

} // namespace nqxcl
