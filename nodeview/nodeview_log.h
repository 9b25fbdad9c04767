// Diagnostic lines of the feature browser: the leveled log lines, the debug output they go
// to, and the GenICam error texts used when the transport layer throws an integer code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace nodeview {

enum LogLevel : int {
  kLogInfo = 0,
  kLogError = 1,
  kLogDebug = 2, // writes nothing
  kLogException = 3,
  kLogQuiet = 4, // writes nothing
  kLogEtc = 5,
};

// The whole log line for one message, or an empty text for the levels that write nothing.
// The message is cut at 4096 bytes and the line at 8192.
std::string formatLogLine(int level, std::string_view function, std::string_view file, int line,
                          std::string_view message);

// Formats the message printf-style and writes the line to the debug output.
void logLine(int level, const char* function, const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

#define NODEVIEW_LOG(level, ...)                                                                   \
  ::nodeview::logLine(level, __func__, __FILE__, __LINE__, __VA_ARGS__)

// Writes one text to the debug output exactly as given.
void debugLine(std::string_view text);
void debugLinef(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Lets a test see every debug text; pass an empty function to stop. Not thread-safe against
// concurrent writers while being changed.
void setDebugCapture(std::function<void(std::string_view)> capture);

// Text of a GenTL or transport-layer error code; "Unknown error" for codes not in the table.
const char* gcErrorText(std::int64_t code);

// "GC Error : Code(%d) Desc(%s)".
std::string gcErrorLine(std::int64_t code);

// The code the transport layer throws when a register is write-protected.
inline constexpr std::int64_t kGcWriteProtect = -10010;

} // namespace nodeview
