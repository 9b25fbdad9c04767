// The GenCP side of a simulated GenICam camera: its register memory and the packets it answers
// on the serial line (ReadMem, WriteMem, their acknowledges, pending acknowledges).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace GenApi {
class MemoryPort;
}

namespace sim {

// The camera's register map. The bootstrap block follows the GenCP layout; the serial block
// (the technology-specific bootstrap) and the manifest are where the bootstrap points.
namespace gencp_map {
inline constexpr uint64_t kVersion = 0x0000;          // 4 bytes
inline constexpr uint64_t kManufacturerName = 0x0004; // 64-byte strings from here on
inline constexpr uint64_t kModelName = 0x0044;
inline constexpr uint64_t kFamilyName = 0x0084;
inline constexpr uint64_t kDeviceVersion = 0x00C4;
inline constexpr uint64_t kManufacturerInfo = 0x0104;
inline constexpr uint64_t kSerialNumber = 0x0144;
inline constexpr uint64_t kUserDefinedName = 0x0184;
inline constexpr uint64_t kCapability = 0x01C4;         // 8 bytes
inline constexpr uint64_t kMaxResponseTime = 0x01CC;    // 4 bytes, ms
inline constexpr uint64_t kManifestAddress = 0x01D0;    // 8 bytes
inline constexpr uint64_t kSerialBlockAddress = 0x01D8; // 8 bytes
inline constexpr uint64_t kMessageChannel = 0x01EC;     // 4 bytes, the host writes 1 here
// The serial block: 0 version, 4 maximum command packet, 8 maximum acknowledge packet (whole
// packets, prefix included), 12 supported line rates and 16 current line rate (Camera Link
// rate bits: 1 = 9600 ... 16 = 115200).
inline constexpr uint64_t kSerialBlock = 0x20000;
inline constexpr uint64_t kMaxCommandLength = kSerialBlock + 4;
inline constexpr uint64_t kMaxAckLength = kSerialBlock + 8;
inline constexpr uint64_t kSupportedRates = kSerialBlock + 12;
inline constexpr uint64_t kCurrentRate = kSerialBlock + 16;
// The manifest: an 8-byte entry count, then 64-byte entries: 0 file version, 4 schema version
// (high 16 bits) and file format (low bits: 0 XML, 1 zip), 8 address, 16 size, 24 SHA-1.
inline constexpr uint64_t kManifest = 0x10000;
inline constexpr uint64_t kDescription = 0x100000; // the zipped description
inline constexpr uint64_t kExposureTime = 0x30014; // big-endian float, microseconds
inline constexpr uint64_t kAddressSpace = 0x200000;
} // namespace gencp_map

// True for the models the simulator runs as GenCP cameras: the "Kg" series.
bool isGenCpModel(std::string_view model);

// The description the simulated GenCP cameras carry, as XML text.
const std::string& gencpDescriptionXml();
// Zips text as one entry of name into an archive in memory; empty on failure.
std::string zipText(const std::string& name, const std::string& text);

struct GenCpFaults {
  bool badChecksum = false; // every acknowledge has a wrong SCD checksum
  bool garbage = false;     // every packet is answered with bytes that are no packet
  int pendingMs = 0;        // every acknowledge is first announced by a pending acknowledge
                            // and comes this many ms later
};

class GenCpDevice {
public:
  GenCpDevice(const std::string& model, const std::string& serialNumber);
  ~GenCpDevice();

  // Bytes that may begin a packet when no ASCII line is in progress.
  static bool startsPacket(char c) { return c == '\x01'; }

  // Feeds bytes of a packet; returns how many were taken. Once a whole packet has come,
  // packetDone() is true and answer() holds the acknowledge (and the pending acknowledge
  // before it when that fault is on: pendingAnswer()).
  size_t feed(std::string_view bytes);
  bool packetDone() const { return done_; }
  bool inPacket() const { return !packet_.empty() && !done_; }
  // Takes the answer to the packet just completed and readies for the next one.
  std::string takeAnswer();
  // The pending acknowledge sent before the answer, and the delay of the answer after it.
  std::string takePendingAnswer() { return std::move(pending_); }
  int answerDelayMs() const { return faults_.pendingMs; }
  // A new line rate the camera switches to once the answer is out (0: none).
  int takeNewBaud();

  void setFaults(const GenCpFaults& faults) { faults_ = faults; }
  // Lowers the packet sizes the camera accepts (for split transfers).
  void setMaxPacketLengths(uint32_t command, uint32_t ack);
  // Replaces the description behind the manifest (bytes as they lie in memory) and its format.
  void setDescription(const std::string& bytes, bool zipped);
  void setManifestAddress(uint64_t address, uint64_t size);

  GenApi::MemoryPort& memory() { return *memory_; }
  uint32_t readUint32(uint64_t address) const;
  float readFloat(uint64_t address) const;
  int packetsAnswered() const { return packetsAnswered_; }
  int lastRequestId() const { return lastRequestId_; }

private:
  std::string answerPacket();
  std::string ack(uint16_t status, uint16_t command, uint16_t requestId, std::string scd);

  std::unique_ptr<GenApi::MemoryPort> memory_;
  GenCpFaults faults_;
  std::string packet_;
  bool done_ = false;
  std::string answer_;
  std::string pending_;
  int newBaud_ = 0;
  int packetsAnswered_ = 0;
  int lastRequestId_ = -1;
  uint64_t garbageState_ = 0x9E3779B97F4A7C15ull;
};

} // namespace sim
