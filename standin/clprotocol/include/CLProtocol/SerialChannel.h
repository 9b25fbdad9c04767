// The byte channel GenCP and raw text travel on: a port of a Camera Link serial library or a
// PC serial port, opened from a port ID.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace CLProtocol {

class SerialChannel {
public:
  virtual ~SerialChannel() = default;
  // Writes every byte; false when the port failed.
  virtual bool write(const uint8_t* data, size_t length, uint32_t timeoutMs) = 0;
  // Waits up to timeoutMs for the first byte, then takes what has arrived, up to max.
  // Returns the count (0 at the time-out) or -1 when the port failed or went away.
  virtual long read(uint8_t* data, size_t max, uint32_t timeoutMs) = 0;
  // Camera Link rate bits (1 = 9600 ... 16 = 115200, 32 = 230400 ...).
  virtual uint32_t supportedRates() = 0;
  virtual bool setRate(uint32_t rateBit) = 0;
  // Throws away what has arrived and not been read.
  virtual void flush() = 0;
};

// Opens the port a port ID names ("<identifier>#<library>#<index>" or "COM_Port#<name>") at
// 9600. Throws GenICam::InvalidArgumentException for a malformed ID and
// GenICam::RuntimeException when the port cannot be opened.
std::unique_ptr<SerialChannel> OpenChannel(const std::string& portId);

// Tests put their own channels behind port IDs that begin with "test#".
using ChannelFactory = std::function<std::unique_ptr<SerialChannel>(const std::string& portId)>;
void SetTestChannelFactory(ChannelFactory factory);
// Tests list their own port IDs: while set, CCLPort::GetPortIDs answers these instead of the
// ports it finds (the GenCP driver must still be there).
void SetTestPortIds(std::vector<std::string> portIds);
bool TestPortIds(std::vector<std::string>& portIds);

// Camera Link rate bit to bits per second (0 for an unknown bit).
int RateOfBit(uint32_t rateBit);

} // namespace CLProtocol
