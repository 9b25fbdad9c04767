// Log lines and error texts of the feature browser.
#include "nodeview/nodeview_log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "camera/debug_output.h"

namespace nodeview {
namespace {

constexpr std::size_t kMessageLimit = 4096;
constexpr std::size_t kLineLimit = 8192;

std::mutex captureMutex; // Protects capture
std::function<void(std::string_view)> capture;

std::string vformat(const char* format, va_list args, std::size_t limit) {
  std::string text(limit, '\0');
  int n = std::vsnprintf(text.data(), limit, format, args);
  text.resize(n < 0 ? 0 : std::min<std::size_t>(std::size_t(n), limit - 1));
  return text;
}

struct ErrorText {
  std::int64_t code;
  const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {0, "Success"},
    {-1001, "Unknown Error"},
    {-1002, "Not initialized"},
    {-1003, "Not implemented"},
    {-1004, "Resource in use"},
    {-1005, "Access denied"},
    {-1006, "Invalid handle"},
    {-1007, "Invalid ID"},
    {-1008, "No data"},
    {-1010, "IO error"},
    {-1011, "Timeout"},
    {-1012, "Abort"},
    {-1013, "Invalid buffer"},
    {-1014, "Not available"},
    {-1015, "Invalid address"},
    {-10001, "Socket error"},
    {-10002, "Open stream error"},
    {-10003, "Put buffer error"},
    {-10004, "Device error"},
    {-10005, "Interface error"},
    {-10006, "Memory allocation error"},
    {-10007, "No system resources"},
    {-10008, "Insufficient size"},
    {-10009, "Invalid data"},
    {-10010, "Write protect"},
    {-10011, "Bad alignment"},
    {-10012, "Busy"},
    {-10013, "Local problem"},
    {-10014, "Message mismatch"},
    {-10015, "Invalid protocol"},
    {-10016, "No message"},
    {-10017, "Packet unavailable"},
    {-10018, "Data overrun"},
    {-10019, "Invalid header"},
};

} // namespace

std::string formatLogLine(int level, std::string_view function, std::string_view file, int line,
                          std::string_view message) {
  const char* prefix = nullptr;
  switch (level) {
  case kLogDebug:
  case kLogQuiet:
    return {};
  case kLogInfo:
    prefix = "[LMS-Info]";
    break;
  case kLogError:
    prefix = "[LMS-Err]";
    break;
  case kLogException:
    prefix = "[LMS-Exception]";
    break;
  case kLogEtc:
    prefix = "[LMS-Etc]";
    break;
  default:
    prefix = "[LMS]";
    break;
  }
  message = message.substr(0, kMessageLimit - 1);
  std::string text(kLineLimit, '\0');
  int n = std::snprintf(text.data(), kLineLimit, "%s %.*s \t[ %.*s\t(Line:%d) ] \t%.*s \n", prefix,
                        int(message.size()), message.data(), int(file.size()), file.data(), line,
                        int(function.size()), function.data());
  text.resize(n < 0 ? 0 : std::min<std::size_t>(std::size_t(n), kLineLimit - 1));
  return text;
}

void logLine(int level, const char* function, const char* file, int line, const char* format, ...) {
  if (level == kLogDebug || level == kLogQuiet) {
    return;
  }
  va_list args;
  va_start(args, format);
  std::string message = vformat(format, args, kMessageLimit);
  va_end(args);
  debugLine(formatLogLine(level, function, file, line, message));
}

void debugLine(std::string_view text) {
  kelpax::debugOutput(text);
  std::lock_guard lock(captureMutex);
  if (capture) {
    capture(text);
  }
}

void debugLinef(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vformat(format, args, kMessageLimit);
  va_end(args);
  debugLine(text);
}

void setDebugCapture(std::function<void(std::string_view)> newCapture) {
  std::lock_guard lock(captureMutex);
  capture = std::move(newCapture);
}

const char* gcErrorText(std::int64_t code) {
  for (const auto& entry : kErrorTexts) {
    if (entry.code == code) {
      return entry.text;
    }
  }
  return "Unknown error";
}

std::string gcErrorLine(std::int64_t code) {
  char text[128];
  std::snprintf(text, sizeof text, "GC Error : Code(%lld) Desc(%s)", static_cast<long long>(code),
                gcErrorText(code));
  return text;
}

} // namespace nodeview
