// GenCP packets as they travel on a serial (Camera Link or UART) control channel.
//
// Every packet is big-endian and made of three parts:
//   serial prefix (8 bytes): 0x0100 preamble, CCD checksum, SCD checksum, channel ID;
//   CCD, the common command data (8 bytes): a command carries flags, command ID, SCD length
//     and request ID; an acknowledge carries status code, command ID, SCD length and request ID;
//   SCD, the specific command data (SCD-length bytes):
//     ReadMem 0x0800: address (8), reserved (2), bytes to read (2); its ack 0x0801: the data;
//     WriteMem 0x0802: address (8), data; its ack 0x0803: reserved (2), bytes written (2);
//     PendingAck 0x0805: reserved (2), ms until the real acknowledge comes (2).
// The CCD checksum covers the channel ID and the CCD (prefix bytes 6 to 15); the SCD checksum
// covers the channel ID, the CCD and the SCD (byte 6 to the end). Both are the 16-bit one's
// complement of the one's complement sum of the covered 16-bit words, an odd last byte padded
// with zero (the checksum of UDP). The preamble and the checksums themselves are not covered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace CLProtocol::GenCp {

inline constexpr uint16_t kPreamble = 0x0100;
inline constexpr size_t kPrefixLength = 8;
inline constexpr size_t kHeaderLength = 16; // prefix and CCD
inline constexpr uint16_t kFlagRequestAck = 0x4000;
inline constexpr uint16_t kFlagResend = 0x8000;
inline constexpr uint16_t kReadMemCmd = 0x0800;
inline constexpr uint16_t kReadMemAck = 0x0801;
inline constexpr uint16_t kWriteMemCmd = 0x0802;
inline constexpr uint16_t kWriteMemAck = 0x0803;
inline constexpr uint16_t kPendingAck = 0x0805;

// Status codes of an acknowledge.
enum Status : uint16_t {
  kSuccess = 0x0000,
  kNotImplemented = 0x8001,
  kInvalidParameter = 0x8002,
  kInvalidAddress = 0x8003,
  kWriteProtect = 0x8004,
  kBadAlignment = 0x8005,
  kAccessDenied = 0x8006,
  kBusy = 0x8007,
  kMessageTimeout = 0x800B,
  kInvalidHeader = 0x800E,
  kWrongConfig = 0x800F,
  kGenericError = 0x8FFF,
};
// "GENCP_INVALID_ADDRESS" and so on; "status 0x...." for codes the standard does not name.
std::string StatusText(uint16_t status);

uint16_t Checksum(const uint8_t* data, size_t length);

struct Command {
  uint16_t flags = kFlagRequestAck;
  uint16_t commandId = 0;
  uint16_t requestId = 0;
  uint16_t channelId = 0;
  std::vector<uint8_t> scd;
};

struct Ack {
  uint16_t status = 0;
  uint16_t commandId = 0;
  uint16_t requestId = 0;
  uint16_t channelId = 0;
  std::vector<uint8_t> scd;
};

std::vector<uint8_t> Encode(const Command& command);
std::vector<uint8_t> ReadMemCommand(uint64_t address, uint16_t length, uint16_t requestId);
std::vector<uint8_t> WriteMemCommand(uint64_t address, const uint8_t* data, size_t length,
                                     uint16_t requestId);

enum class DecodeResult {
  Complete,       // *ack filled, *used bytes taken
  NeedMore,       // a packet has begun; more bytes are needed
  NotAPacket,     // the first byte cannot start a packet: drop it and try again
  BadCcdChecksum, // the CCD checksum is wrong: drop the first byte and look for a packet again
  BadScdChecksum, // the header holds, the SCD checksum does not: drop the whole packet (*used)
};
// Decodes the acknowledge at the start of data. Never reads beyond length.
DecodeResult DecodeAck(const uint8_t* data, size_t length, Ack* ack, size_t* used);

} // namespace CLProtocol::GenCp
