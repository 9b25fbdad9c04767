// GenCP packet coding for the serial channel.
#include <cstdio>

#include "CLProtocol/GenCpPacket.h"

namespace CLProtocol::GenCp {
namespace {

void put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
  out[at] = static_cast<uint8_t>(v >> 8);
  out[at + 1] = static_cast<uint8_t>(v);
}
void append64(std::vector<uint8_t>& out, uint64_t v) {
  for (int shift = 56; shift >= 0; shift -= 8)
    out.push_back(static_cast<uint8_t>(v >> shift));
}
uint16_t get16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

} // namespace

std::string StatusText(uint16_t status) {
  switch (status) {
  case kSuccess:
    return "GENCP_SUCCESS";
  case kNotImplemented:
    return "GENCP_NOT_IMPLEMENTED";
  case kInvalidParameter:
    return "GENCP_INVALID_PARAMETER";
  case kInvalidAddress:
    return "GENCP_INVALID_ADDRESS";
  case kWriteProtect:
    return "GENCP_WRITE_PROTECT";
  case kBadAlignment:
    return "GENCP_BAD_ALIGNMENT";
  case kAccessDenied:
    return "GENCP_ACCESS_DENIED";
  case kBusy:
    return "GENCP_BUSY";
  case kMessageTimeout:
    return "GENCP_MSG_TIMEOUT";
  case kInvalidHeader:
    return "GENCP_INVALID_HEADER";
  case kWrongConfig:
    return "GENCP_WRONG_CONFIG";
  case kGenericError:
    return "GENCP_ERROR";
  }
  char text[24];
  std::snprintf(text, sizeof text, "status 0x%04X", status);
  return text;
}

uint16_t Checksum(const uint8_t* data, size_t length) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < length; i += 2)
    sum += get16(data + i);
  if (length % 2)
    sum += static_cast<uint32_t>(data[length - 1]) << 8;
  while (sum >> 16)
    sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

std::vector<uint8_t> Encode(const Command& command) {
  std::vector<uint8_t> out(kHeaderLength);
  put16(out, 0, kPreamble);
  put16(out, 6, command.channelId);
  put16(out, 8, command.flags);
  put16(out, 10, command.commandId);
  put16(out, 12, static_cast<uint16_t>(command.scd.size()));
  put16(out, 14, command.requestId);
  out.reserve(kHeaderLength + command.scd.size());
  for (uint8_t b : command.scd)
    out.push_back(b);
  put16(out, 2, Checksum(out.data() + 6, kHeaderLength - 6));
  put16(out, 4, Checksum(out.data() + 6, out.size() - 6));
  return out;
}

std::vector<uint8_t> ReadMemCommand(uint64_t address, uint16_t length, uint16_t requestId) {
  Command c;
  c.commandId = kReadMemCmd;
  c.requestId = requestId;
  append64(c.scd, address);
  c.scd.push_back(0);
  c.scd.push_back(0);
  c.scd.push_back(static_cast<uint8_t>(length >> 8));
  c.scd.push_back(static_cast<uint8_t>(length));
  return Encode(c);
}

std::vector<uint8_t> WriteMemCommand(uint64_t address, const uint8_t* data, size_t length,
                                     uint16_t requestId) {
  Command c;
  c.commandId = kWriteMemCmd;
  c.requestId = requestId;
  append64(c.scd, address);
  c.scd.insert(c.scd.end(), data, data + length);
  return Encode(c);
}

DecodeResult DecodeAck(const uint8_t* data, size_t length, Ack* ack, size_t* used) {
  if (length >= 1 && data[0] != (kPreamble >> 8))
    return DecodeResult::NotAPacket;
  if (length >= 2 && data[1] != (kPreamble & 0xFF))
    return DecodeResult::NotAPacket;
  if (length < kHeaderLength)
    return DecodeResult::NeedMore;
  if (get16(data + 2) != Checksum(data + 6, kHeaderLength - 6))
    return DecodeResult::BadCcdChecksum;
  const size_t total = kHeaderLength + get16(data + 12);
  if (length < total)
    return DecodeResult::NeedMore;
  *used = total;
  if (get16(data + 4) != Checksum(data + 6, total - 6))
    return DecodeResult::BadScdChecksum;
  ack->channelId = get16(data + 6);
  ack->status = get16(data + 8);
  ack->commandId = get16(data + 10);
  ack->requestId = get16(data + 14);
  ack->scd.assign(data + kHeaderLength, data + total);
  return DecodeResult::Complete;
}

} // namespace CLProtocol::GenCp
