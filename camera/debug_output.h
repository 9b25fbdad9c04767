// One place where the program's diagnostic lines go: stderr when KELPAX_DEBUG is set,
// and always to the traffic log while one is open.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace kelpax {

// Writes one diagnostic text exactly as given (callers add their own line ends).
void debugOutput(std::string_view text);

// printf-style convenience; the text is cut at 4096 bytes.
void debugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Opens (appending) or closes the traffic log. Returns false when the file cannot be opened.
bool openTrafficLog(const std::string& path);
void closeTrafficLog();

// While one lives, the diagnostic text of its thread is appended to `text` instead of written,
// when it would be written anywhere; the owner hands it on with debugOutput. A port scan's
// workers keep each port's lines together this way, to be written in port order.
class DebugCapture {
public:
  explicit DebugCapture(std::string& text);
  ~DebugCapture();
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;

private:
  std::string* previous_;
};

// True when KELPAX_DEBUG is set in the environment (read once).
bool debugToStderr();

// True when a diagnostic line would go anywhere; lets hot paths skip formatting.
bool debugActive();

} // namespace kelpax
