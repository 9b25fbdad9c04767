// CLProtocol::CCLPort and CDeviceID: GenICam cameras on Camera Link serial ports and PC
// serial ports, their registers reached by GenCP over the serial channel, their raw serial
// channel (address 0 of the transport layer's port) and their description.
//
// Errors are GenICam exceptions: TimeoutException when the camera does not answer in time,
// AccessException for a register the camera refuses to read or write, OutOfRangeException for
// an address outside the camera's memory, RuntimeException for answers that are no valid
// packets, descriptions that cannot be had, ports that cannot be opened, and
// InvalidArgumentException for malformed port or device IDs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CLProtocol/GenCpPacket.h"
#include "CLProtocol/SerialChannel.h"
#include "GenApi/Nodes.h"
#include "GenICam/GCException.h"

namespace CLProtocol {

using GenICam::gcstring;
using GenICam::gcstring_vector;

// A device ID: "Directory#Filename#Manufacturer#Family#Model#Version#SerialNumber" in full,
// "Manufacturer#Family#Model#Version#SerialNumber" in short. Directory and file name name the
// GenCP driver; trailing pieces may be left off (a template).
class CDeviceID {
public:
  // A string is taken as a full ID when it has all seven pieces or its second piece names a
  // driver file (".so" or ".dll"), else as a short one. Throws InvalidArgumentException for an
  // empty string.
  static CDeviceID FromString(const gcstring& text);
  gcstring GetShortDeviceID() const;
  gcstring GetFullDeviceID() const;

  gcstring directory, filename, manufacturer, family, model, version, serialNumber;
};

// Register reads and writes by GenCP on one serial channel.
class GenCpClient {
public:
  explicit GenCpClient(SerialChannel& channel) : channel_(channel) {}

  // Reads the packet limits and the response time from the bootstrap registers.
  void ReadLimits();
  // Long transfers are split to fit the camera's largest packets.
  void ReadMem(uint64_t address, uint8_t* data, size_t length);
  void WriteMem(uint64_t address, const uint8_t* data, size_t length);

  size_t maxReadChunk() const { return maxReadChunk_; }
  size_t maxWriteChunk() const { return maxWriteChunk_; }
  uint32_t responseTimeoutMs() const { return responseTimeoutMs_; }
  void setResponseTimeoutMs(uint32_t ms) { responseTimeoutMs_ = ms; }
  // Sends of one request before giving up (a probe sends once).
  void setAttempts(int attempts) { attempts_ = attempts; }

  struct Statistics {
    uint64_t transactions = 0;
    uint64_t resends = 0;
    uint64_t pendingAcks = 0;
    uint64_t checksumFailures = 0;
    uint64_t staleAcks = 0; // acknowledges of an earlier request, dropped
    uint64_t junkBytes = 0; // bytes that began no packet
    uint64_t bytesSent = 0;
    uint64_t bytesReceived = 0;
  };
  const Statistics& statistics() const { return stats_; }

  // Bootstrap registers the client reads.
  static constexpr uint64_t kMaxResponseTimeRegister = 0x01CC;
  static constexpr uint64_t kSerialBlockRegister = 0x01D8;
  static constexpr uint64_t kManifestRegister = 0x01D0;
  static constexpr size_t kDefaultChunk = 64; // until the camera's limits are known
  static constexpr int kAttempts = 3;         // one send and two resends
  static constexpr int kMaxPendingAcks = 16;  // a camera that only ever says "pending" is dead

private:
  GenCp::Ack Transact(GenCp::Command command, uint16_t expectedAck);

  SerialChannel& channel_;
  uint16_t nextRequestId_ = 1;
  size_t maxReadChunk_ = kDefaultChunk;
  size_t maxWriteChunk_ = kDefaultChunk;
  uint32_t responseTimeoutMs_ = 500;
  int attempts_ = kAttempts;
  std::vector<uint8_t> received_; // bytes read and not yet decoded
  Statistics stats_;
};

class CCLPort : public GenApi::IPort {
public:
  CCLPort();
  ~CCLPort() override;
  CCLPort(const CCLPort&) = delete;
  CCLPort& operator=(const CCLPort&) = delete;

  // Every port of every Camera Link serial library found, as "<identifier>#<library>#<index>",
  // then the PC serial ports as "COM_Port#COMn" (/dev/ttyS<n-1>) or "COM_Port#<device>".
  static void GetPortIDs(gcstring_vector& portIds);
  // The driver templates of the GenCP driver, in full form. Both throw RuntimeException (last
  // system error 126) when the GenCP serial driver is missing.
  static void GetDeviceIDTemplates(gcstring_vector& templates);
  // Looks for a GenCP camera on the port at each rate of the mask (highest first), then at
  // 9600, where GenCP cameras start. Returns the camera's full device ID (the template's
  // driver, the camera's identification) or "" when none answers. A template's pieces after
  // the file name are not filters: the template chooses the driver. Throws for a port that
  // cannot be opened.
  static gcstring FastProbeDevice(const gcstring& portId, const gcstring& deviceIdTemplate,
                                  uint32_t timeoutMs, uint32_t baudRateMask);

  // Opens the port and finds the camera on it (as FastProbeDevice with every rate); reads its
  // packet limits. The template's driver file, when it names one with a folder, must exist.
  void Connect(const gcstring& portId, const gcstring& deviceIdTemplate);
  void Disconnect();
  bool IsConnected() const { return channel_ != nullptr; }
  gcstring GetDeviceID() const { return deviceId_; }

  // Rates (Camera Link bits) both the camera and the port support.
  uint32_t SupportedBaudrates();
  // Tells the camera to change its rate, then follows with the port.
  void SetDeviceBauderate(uint32_t baudRate);
  uint32_t GetCurrentBaudrate() const { return currentRate_; }

  // The description from the camera's manifest; a zipped one is unzipped when unzip is true.
  gcstring GetXML(bool unzip = true);

  // GenApi::IPort: registers by GenCP.
  void Read(void* buffer, int64_t address, int64_t length) override;
  void Write(const void* buffer, int64_t address, int64_t length) override;
  GenApi::EAccessMode GetAccessMode() const override;

  // The raw serial channel: text to and from the camera's command interpreter. Results are
  // Camera Link serial codes: 0, -10004 at a time-out with nothing read, -10003 not connected.
  int32_t ClSerialRead(uint8_t* buffer, uint32_t* size, uint32_t timeoutMs);
  int32_t ClSerialWrite(const uint8_t* buffer, uint32_t* size, uint32_t timeoutMs);
  uint32_t GetSerialTimeout() const { return serialTimeoutMs_; }
  // Bytes ready on the raw channel (read ahead into the port's buffer).
  uint32_t BytesAvailable();

  const GenCpClient::Statistics* GetStatistics() const;
  GenCpClient* client() { return client_.get(); }

  static constexpr uint32_t kSerialTimeoutMs = 500;
  static constexpr uint64_t kLongestDescription = 16u << 20;

private:
  void requireConnected() const;

  std::unique_ptr<SerialChannel> channel_;
  std::unique_ptr<GenCpClient> client_;
  gcstring portId_;
  gcstring deviceId_;
  uint64_t serialBlock_ = 0;
  uint32_t currentRate_ = 1;
  uint32_t serialTimeoutMs_ = kSerialTimeoutMs;
};

// The system error of the last failure to find the installation, as the Windows codes the
// transport modules compare with: 126 a module (the GenCP driver) not found, 203 an
// environment variable a template names not set; 0 after success.
inline constexpr int kErrorModNotFound = 126;
inline constexpr int kErrorEnvVarNotFound = 203;
int GetLastSystemError();
// The folder of the GenCP serial driver: <QNGENICAM_ROOT_V2_4>/Bin/Linux64_x64/CLProtocol when
// that variable is set, else the folder of this library.
std::string DriverFolder();
inline constexpr const char* kDriverFile = "libgencp_serial.so";
// Replaces every "$(NAME)" by the environment variable's value; throws RuntimeException (and
// sets the last system error to 203) when one is not set.
std::string ExpandEnvironment(const std::string& text);

// Unzips the first file of a zip archive held in memory. Throws RuntimeException when the
// bytes are no zip archive, it is empty, or the file is larger than maxSize.
gcstring UnzipFirstFile(const std::string& archive, uint64_t maxSize);

} // namespace CLProtocol
