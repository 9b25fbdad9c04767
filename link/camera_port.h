// The one serial control channel to a camera: a PC serial port or one serial port of a
// Camera Link frame grabber, reached through the grabber maker's serial library.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "clser_api.h"
#include "link/com_device.h"

namespace kelpax {

inline constexpr int kMaxPorts = 256;

// Results of opening a port (0 = success); Camera Link libraries add their own codes.
inline constexpr int kComPortNotUsable = -21000;
inline constexpr int kClserLibraryUnusable = -100;

// Bits returned by LoadClserLibrary, one per entry point found.
enum ClserEntryBits : int {
  kHasFlushPort = 0x2,
  kHasGetErrorText = 0x4,
  kHasGetManufacturerInfo = 0x8,
  kHasGetNumBytesAvail = 0x10,
  kHasGetNumSerialPorts = 0x20,
  kHasGetSerialPortIdentifier = 0x40,
  kHasGetSupportedBaudRates = 0x80,
  kHasSerialClose = 0x100,
  kHasSerialInit = 0x200,
  kHasSerialWrite = 0x400,
  kHasSerialRead = 0x800,
  kHasSetBaudRate = 0x1000,
};

// One candidate port of the port table.
struct PortEntry {
  uint8_t found = 0;        // the camera on this port passed identification
  uint8_t isLibrary = 0;    // 0 = PC serial port, 1 = Camera Link library port
  std::string maker;        // frame-grabber maker, from the library's file name
  std::string portName;     // device path, or the identifier the library reports
  std::string libraryPath;  // full path of the Camera Link serial library
  uint32_t portIndex = 0;   // serial index within the library
  std::string modelName;    // the camera's identification answer
  std::string serialNumber; // the identified camera's answer to "gsn piece"
  uint16_t baudCode = 0;
};

// Baud codes are the Camera Link baud-rate bits: 1, 2, 4, 8, 16. On a PC serial port
// code 8 means 56000 (not 57600) and any unknown code means 19200.
int comRateForBaudCode(unsigned baudCode);

// Text of a Camera Link error code, for diagnostics.
std::string ClErrorText(int code);

// Sees every byte that crosses the port (the command line's trace).
class TrafficObserver {
public:
  virtual ~TrafficObserver() = default;
  virtual void bytesSent(std::string_view bytes) = 0;
  virtual void bytesReceived(std::string_view bytes) = 0;
};

class CameraPort {
public:
  CameraPort() = default;
  ~CameraPort();
  CameraPort(const CameraPort&) = delete;
  CameraPort& operator=(const CameraPort&) = delete;

  // The port table, filled by the port scan.
  std::array<PortEntry, kMaxPorts>& ports() { return ports_; }
  const std::array<PortEntry, kMaxPorts>& ports() const { return ports_; }
  int portCount() const { return portCount_; }
  void setPortCount(int count);
  // Appends an entry; false when the table is full.
  bool addPort(const PortEntry& entry);

  int currentIndex() const { return currentIndex_; }
  // The slot in use while no port is open (the scan's chosen port); -1 = none.
  void setCurrentIndex(int index) { currentIndex_ = index >= 0 && index < kMaxPorts ? index : -1; }
  bool isOpen() const { return isOpen_; }
  bool isLibraryPortOpen() const { return isOpen_ && openIsLibrary_; }
  bool scanning() const { return scanning_; }
  void setScanning(bool on) { scanning_ = on; }

  // Binds a Camera Link serial library. Returns the bits of the entry points found;
  // 0 when the library cannot be loaded, and then no entry point stays bound.
  int LoadClserLibrary(const std::string& path);

  int OpenPort(int index, unsigned baudCode);
  int OpenComPort(const std::string& name, unsigned baudCode);
  int OpenLibraryPort(const std::string& libraryPath, uint32_t portIndex, unsigned baudCode);
  void ClosePort();

  // Writes the text, one byte per character, with a carriage return when appendCr.
  bool WritePort(std::string_view text, bool appendCr);

  // Raw readers for the wait loop. Each takes one byte from what the port delivered.
  enum class ReadResult { Byte, Nothing, Failed };
  // PC serial port: returns at once with a queued byte or nothing.
  ReadResult readComByte(char& byte);
  // Camera Link port: waits up to `timeoutMs` for one byte.
  ReadResult readLibraryByte(char& byte, uint32_t timeoutMs);
  // PC serial port: waits up to `timeoutMs` for input, so the wait loop need not spin.
  void waitComInput(int timeoutMs);
  // Text of the last read's result, for the diagnostics after a burst.
  std::string lastReadErrorText() const;

  // Characters received and not yet taken, and the answer taken last.
  std::string& receiveBuffer() { return receiveBuffer_; }
  const std::string& lastAnswer() const { return lastAnswer_; }
  void setLastAnswer(std::string answer) { lastAnswer_ = std::move(answer); }

  // The bound entry points of the library loaded last (null when absent).
  struct ClserEntries {
    clser::FlushPortFn flushPort = nullptr;
    clser::GetErrorTextFn getErrorText = nullptr;
    clser::GetManufacturerInfoFn getManufacturerInfo = nullptr;
    clser::GetNumBytesAvailFn getNumBytesAvail = nullptr;
    clser::GetNumSerialPortsFn getNumSerialPorts = nullptr;
    clser::GetSerialPortIdentifierFn getSerialPortIdentifier = nullptr;
    clser::GetSupportedBaudRatesFn getSupportedBaudRates = nullptr;
    clser::SetBaudRateFn setBaudRate = nullptr;
    clser::CloseFn serialClose = nullptr;
    clser::InitFn serialInit = nullptr;
    clser::WriteFn serialWrite = nullptr;
    clser::ReadFn serialRead = nullptr;
  };
  const ClserEntries& clser() const { return clser_; }

  void setTrafficObserver(TrafficObserver* observer) { observer_ = observer; }
  TrafficObserver* trafficObserver() const { return observer_; }

private:
  bool writeLibraryPass(const char* data, size_t count, size_t& written, bool lastCallOfPass,
                        bool& failed);
  bool writeComCall(const char* data, size_t count, size_t& written);

  std::array<PortEntry, kMaxPorts> ports_{};
  int portCount_ = 0;
  int currentIndex_ = -1;
  bool isOpen_ = false;
  bool openIsLibrary_ = false;
  bool scanning_ = false;

  ComDevice com_;
  int comWriteMultiplier_ = 0; // ms per byte of a write's time-out
  void* serialRef_ = nullptr;
  void* libraryModule_ = nullptr;
  ClserEntries clser_;

  // Bytes the port delivered that the wait loop has not consumed yet; they stand for
  // what a byte-by-byte reader would still find queued in the driver.
  std::deque<char> delivered_;
  int lastReadCode_ = 0;
  bool lastReadFailed_ = false;

  std::string receiveBuffer_;
  std::string lastAnswer_;
  TrafficObserver* observer_ = nullptr;
};

} // namespace kelpax
