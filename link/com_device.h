// A PC serial port (or a pseudo-terminal standing in for one) opened raw at 8N1.
#pragma once

#include <cstddef>
#include <string>

namespace kelpax {

class ComDevice {
public:
  ComDevice() = default;
  ~ComDevice();
  ComDevice(const ComDevice&) = delete;
  ComDevice& operator=(const ComDevice&) = delete;

  enum class OpenError { None, Open, Configure };

  // Opens the device exclusively at `rate` baud, 8 data bits, no parity, one stop bit,
  // reads returning at once with what is queued. A device that cannot be configured is
  // closed again, so a failed open holds nothing.
  OpenError open(const std::string& path, int rate);
  void close();
  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  // Reads what is queued, up to `max` bytes, without waiting.
  // Returns the count (0 = nothing queued) or -1 when the device failed or went away.
  long readQueued(char* buffer, size_t max);

  // Waits up to `timeoutMs` for input (or a hang-up). Returns false on time-out.
  bool waitReadable(int timeoutMs);

  // Writes synchronously, giving up after `timeoutMs`. Returns false when the device
  // failed; `written` tells how many bytes went out.
  bool write(const char* data, size_t count, int timeoutMs, size_t& written);

  // Last system error text, for diagnostics.
  const std::string& lastErrorText() const { return lastError_; }

private:
  void noteError(int err);

  int fd_ = -1;
  std::string lastError_ = "The operation completed successfully.";
};

} // namespace kelpax
