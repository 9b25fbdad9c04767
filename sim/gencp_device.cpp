// The simulated camera's GenCP device: packets in, acknowledges out, registers in memory.
#include "sim/gencp_device.h"

#include <algorithm>
#include <cstring>

#include <zip.h>

#include "GenApi/MemoryPort.h"
#include "GenICam/GCException.h"

namespace sim {

extern const char* const kGenCpDescriptionXml; // gencp_description.cpp, made from the XML file

namespace {

constexpr uint16_t kPrefix = 0x0100;
constexpr uint16_t kReadMem = 0x0800;
constexpr uint16_t kReadMemAck = 0x0801;
constexpr uint16_t kWriteMem = 0x0802;
constexpr uint16_t kWriteMemAck = 0x0803;
constexpr uint16_t kPendingAck = 0x0805;
constexpr uint16_t kStatusNotImplemented = 0x8001;
constexpr uint16_t kStatusInvalidParameter = 0x8002;
constexpr uint16_t kStatusInvalidAddress = 0x8003;
constexpr uint16_t kStatusWriteProtect = 0x8004;
constexpr size_t kHeader = 16;          // prefix (8) and CCD (8)
constexpr size_t kLongestPacket = 4096; // longer announced lengths are line noise
constexpr uint32_t kDefaultMaxPacket = 512;

uint16_t get16(const std::string& s, size_t at) {
  return static_cast<uint16_t>((static_cast<uint8_t>(s[at]) << 8) |
                               static_cast<uint8_t>(s[at + 1]));
}
uint64_t get64(const std::string& s, size_t at) {
  uint64_t v = 0;
  for (size_t i = 0; i < 8; ++i)
    v = (v << 8) | static_cast<uint8_t>(s[at + i]);
  return v;
}
void put16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v >> 8);
  s[at + 1] = static_cast<char>(v);
}

// The GenCP checksum: the 16-bit one's complement of the one's complement sum of the
// big-endian 16-bit words (an odd last byte is padded with zero), as UDP's checksum.
uint16_t checksum(const std::string& s, size_t from, size_t to) {
  uint32_t sum = 0;
  for (size_t i = from; i < to; i += 2) {
    uint16_t word = static_cast<uint16_t>(static_cast<uint8_t>(s[i]) << 8);
    if (i + 1 < to)
      word |= static_cast<uint8_t>(s[i + 1]);
    sum += word;
  }
  while (sum >> 16)
    sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

void pokeString(GenApi::MemoryPort& m, uint64_t address, const std::string& text) {
  char field[64] = {};
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
  m.poke(address, field, sizeof field);
}

void pokeBig(GenApi::MemoryPort& m, uint64_t address, unsigned length, uint64_t value) {
  uint8_t bytes[8];
  for (unsigned i = 0; i < length; ++i)
    bytes[i] = static_cast<uint8_t>(value >> (8 * (length - 1 - i)));
  m.poke(address, bytes, length);
}

void pokeFloat(GenApi::MemoryPort& m, uint64_t address, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  pokeBig(m, address, 4, bits);
}

constexpr int kRates[][2] = {{1, 9600}, {2, 19200}, {4, 38400}, {8, 57600}, {16, 115200}};

} // namespace

bool isGenCpModel(std::string_view model) {
  return model.starts_with("Kg");
}

const std::string& gencpDescriptionXml() {
  static const std::string xml(kGenCpDescriptionXml);
  return xml;
}

std::string zipText(const std::string& name, const std::string& text) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* archiveSource = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (!archiveSource)
    return {};
  zip_t* archive = zip_open_from_source(archiveSource, ZIP_TRUNCATE, &error);
  if (!archive) {
    zip_source_free(archiveSource);
    return {};
  }
  zip_source_keep(archiveSource);
  zip_source_t* entry = zip_source_buffer(archive, text.data(), text.size(), 0);
  std::string bytes;
  if (entry && zip_file_add(archive, name.c_str(), entry, ZIP_FL_ENC_UTF_8) >= 0 &&
      zip_close(archive) == 0) {
    zip_stat_t st;
    if (zip_source_open(archiveSource) == 0) {
      if (zip_source_stat(archiveSource, &st) == 0 && (st.valid & ZIP_STAT_SIZE)) {
        bytes.resize(st.size);
        if (zip_source_read(archiveSource, bytes.data(), st.size) !=
            static_cast<zip_int64_t>(st.size))
          bytes.clear();
      }
      zip_source_close(archiveSource);
    }
  } else {
    if (entry)
      zip_source_free(entry);
    zip_discard(archive);
  }
  zip_source_free(archiveSource);
  return bytes;
}

GenCpDevice::GenCpDevice(const std::string& model, const std::string& serialNumber)
    : memory_(GenApi::MemoryPort::ForXml(gencpDescriptionXml(), 1)) {
  using namespace gencp_map;
  auto& m = *memory_;
  pokeBig(m, kVersion, 4, 0x00010001);
  pokeString(m, kManufacturerName, "Quorvane");
  pokeString(m, kModelName, model);
  // The maker's GenCP cameras carry the model name as their family: the transport layer
  // shows the family as the device's name, and that must be what "gmn" answers.
  pokeString(m, kFamilyName, model);
  pokeString(m, kDeviceVersion, "1.0.0");
  pokeString(m, kManufacturerInfo, "Kelpax camera simulator");
  pokeString(m, kSerialNumber, serialNumber);
  pokeBig(m, kMaxResponseTime, 4, 300);
  pokeBig(m, kSerialBlockAddress, 8, kSerialBlock);
  pokeBig(m, kSerialBlock, 4, 0x00010000);
  pokeBig(m, kMaxCommandLength, 4, kDefaultMaxPacket);
  pokeBig(m, kMaxAckLength, 4, kDefaultMaxPacket);
  pokeBig(m, kSupportedRates, 4, 1 | 2 | 4 | 8 | 16);
  pokeBig(m, kCurrentRate, 4, 1);
  setDescription(zipText("KelpaxGenCPCamera.xml", gencpDescriptionXml()), true);
  // Plausible values behind the features.
  pokeBig(m, 0x30000, 4, 4096);
  pokeBig(m, 0x30004, 4, 3072);
  pokeBig(m, 0x30010, 4, 0x01080001);
  pokeFloat(m, kExposureTime, 1000.0f);
  pokeFloat(m, 0x30018, 0.0f);
  pokeBig(m, 0x3001C, 4, 16);
  pokeFloat(m, 0x30070, 41.5f);
}

GenCpDevice::~GenCpDevice() = default;

void GenCpDevice::setDescription(const std::string& bytes, bool zipped) {
  using namespace gencp_map;
  memory_->poke(kDescription, bytes.data(), bytes.size());
  pokeBig(*memory_, kManifestAddress, 8, kManifest);
  pokeBig(*memory_, kManifest, 8, 1);
  pokeBig(*memory_, kManifest + 8, 4, 0x00010000);
  pokeBig(*memory_, kManifest + 12, 4, (0x0101u << 16) | (zipped ? 1u : 0u));
  setManifestAddress(kDescription, bytes.size());
}

void GenCpDevice::setManifestAddress(uint64_t address, uint64_t size) {
  pokeBig(*memory_, gencp_map::kManifest + 16, 8, address);
  pokeBig(*memory_, gencp_map::kManifest + 24, 8, size);
}

void GenCpDevice::setMaxPacketLengths(uint32_t command, uint32_t ack) {
  pokeBig(*memory_, gencp_map::kMaxCommandLength, 4, command);
  pokeBig(*memory_, gencp_map::kMaxAckLength, 4, ack);
}

uint32_t GenCpDevice::readUint32(uint64_t address) const {
  uint8_t b[4];
  memory_->peek(address, b, 4);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

float GenCpDevice::readFloat(uint64_t address) const {
  uint32_t bits = readUint32(address);
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

size_t GenCpDevice::feed(std::string_view bytes) {
  size_t taken = 0;
  while (taken < bytes.size() && !done_) {
    packet_ += bytes[taken++];
    // The prefix is 01 00; anything else is not a packet: drop it and look afresh.
    if (packet_.size() == 2 && packet_[1] != '\0') {
      packet_.clear();
      continue;
    }
    if (packet_.size() < kHeader)
      continue;
    size_t length = get16(packet_, 12);
    if (length > kLongestPacket - kHeader) {
      packet_.clear();
      continue;
    }
    if (packet_.size() == kHeader + length) {
      done_ = true;
      answer_ = answerPacket();
    }
  }
  return taken;
}

std::string GenCpDevice::takeAnswer() {
  done_ = false;
  packet_.clear();
  return std::move(answer_);
}

int GenCpDevice::takeNewBaud() {
  int baud = newBaud_;
  newBaud_ = 0;
  return baud;
}

std::string GenCpDevice::ack(uint16_t status, uint16_t command, uint16_t requestId,
                             std::string scd) {
  std::string p(kHeader, '\0');
  put16(p, 0, kPrefix);
  put16(p, 6, 0); // channel
  put16(p, 8, status);
  put16(p, 10, command);
  put16(p, 12, static_cast<uint16_t>(scd.size()));
  put16(p, 14, requestId);
  p += scd;
  // CCD checksum over the channel ID and the CCD; SCD checksum over channel ID, CCD and SCD.
  put16(p, 2, checksum(p, 6, kHeader));
  uint16_t scdSum = checksum(p, 6, p.size());
  put16(p, 4, faults_.badChecksum ? static_cast<uint16_t>(scdSum ^ 0x5A5A) : scdSum);
  return p;
}

std::string GenCpDevice::answerPacket() {
  const std::string& p = packet_;
  // A packet whose checksums do not hold is dropped unanswered: the host resends it.
  if (get16(p, 2) != checksum(p, 6, kHeader) || get16(p, 4) != checksum(p, 6, p.size()))
    return {};
  ++packetsAnswered_;
  const uint16_t command = get16(p, 10);
  const uint16_t requestId = get16(p, 14);
  lastRequestId_ = requestId;
  if (faults_.garbage) {
    std::string noise(24, '\0');
    for (char& c : noise) {
      garbageState_ = garbageState_ * 6364136223846793005ull + 1442695040888963407ull;
      c = static_cast<char>((garbageState_ >> 33) | 0x02); // never the prefix's first byte
    }
    return noise;
  }
  const size_t scdLength = p.size() - kHeader;
  const uint32_t maxAck = readUint32(gencp_map::kMaxAckLength);
  std::string answer;
  try {
    if (command == kReadMem && scdLength == 12) {
      uint64_t address = get64(p, kHeader);
      uint16_t length = get16(p, kHeader + 10);
      if (length + kHeader > maxAck)
        answer = ack(kStatusInvalidParameter, kReadMemAck, requestId, {});
      else if (address + length > gencp_map::kAddressSpace)
        answer = ack(kStatusInvalidAddress, kReadMemAck, requestId, {});
      else {
        std::string data(length, '\0');
        memory_->Read(data.data(), static_cast<int64_t>(address), length);
        answer = ack(0, kReadMemAck, requestId, std::move(data));
      }
    } else if (command == kWriteMem && scdLength >= 8) {
      uint64_t address = get64(p, kHeader);
      size_t length = scdLength - 8;
      std::string scd(4, '\0');
      if (address + length > gencp_map::kAddressSpace)
        answer = ack(kStatusInvalidAddress, kWriteMemAck, requestId, {});
      else if (address < gencp_map::kUserDefinedName ||
               (address >= gencp_map::kSerialBlock && address < gencp_map::kCurrentRate))
        answer = ack(kStatusWriteProtect, kWriteMemAck, requestId, {});
      else {
        memory_->Write(p.data() + kHeader + 8, static_cast<int64_t>(address),
                       static_cast<int64_t>(length));
        put16(scd, 2, static_cast<uint16_t>(length));
        answer = ack(0, kWriteMemAck, requestId, std::move(scd));
        if (address == gencp_map::kCurrentRate && length == 4) {
          uint32_t bit = readUint32(gencp_map::kCurrentRate);
          for (auto [code, rate] : kRates)
            if (static_cast<uint32_t>(code) == bit)
              newBaud_ = rate;
        }
      }
    } else {
      answer = ack(kStatusNotImplemented, static_cast<uint16_t>(command + 1), requestId, {});
    }
  } catch (const GenICam::GenericException&) {
    answer = ack(kStatusInvalidAddress, static_cast<uint16_t>(command + 1), requestId, {});
  }
  if (faults_.pendingMs > 0) {
    std::string scd(4, '\0');
    put16(scd, 2, static_cast<uint16_t>(faults_.pendingMs * 2 + 100));
    pending_ = ack(0, kPendingAck, requestId, std::move(scd));
  }
  return answer;
}

} // namespace sim
