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

// True when KELPAX_DEBUG is set in the environment (read once).
bool debugToStderr();

// True when a diagnostic line would go anywhere; lets hot paths skip formatting.
bool debugActive();

} // namespace kelpax
