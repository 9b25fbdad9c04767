// Diagnostic output: stderr on request, plus the traffic log.
#include "camera/debug_output.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <mutex>

namespace kelpax {
namespace {

std::mutex logMutex; // Protects trafficLog
FILE* trafficLog = nullptr;
std::atomic<bool> trafficLogOpen{false};
// Where this thread's diagnostic text goes instead, while a DebugCapture lives.
thread_local std::string* captured = nullptr;

} // namespace

DebugCapture::DebugCapture(std::string& text) : previous_(captured) {
  captured = debugActive() ? &text : nullptr;
}

DebugCapture::~DebugCapture() {
  captured = previous_;
}

bool debugToStderr() {
  static const bool enabled = std::getenv("KELPAX_DEBUG") != nullptr;
  return enabled;
}

bool debugActive() {
  return debugToStderr() || trafficLogOpen.load(std::memory_order_relaxed);
}

void debugOutput(std::string_view text) {
  if (captured) {
    captured->append(text);
    return;
  }
  if (debugToStderr()) {
    std::fwrite(text.data(), 1, text.size(), stderr);
  }
  std::lock_guard lock(logMutex);
  if (trafficLog) {
    std::fwrite(text.data(), 1, text.size(), trafficLog);
    std::fflush(trafficLog);
  }
}

void debugPrintf(const char* format, ...) {
  char buffer[4096];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) {
    return;
  }
  debugOutput(std::string_view(buffer, std::min<size_t>(size_t(n), sizeof buffer - 1)));
}

bool openTrafficLog(const std::string& path) {
  std::lock_guard lock(logMutex);
  if (trafficLog) {
    std::fclose(trafficLog);
  }
  trafficLog = std::fopen(path.c_str(), "a");
  trafficLogOpen = trafficLog != nullptr;
  return trafficLog != nullptr;
}

void closeTrafficLog() {
  std::lock_guard lock(logMutex);
  if (trafficLog) {
    std::fclose(trafficLog);
    trafficLog = nullptr;
    trafficLogOpen = false;
  }
}

} // namespace kelpax
