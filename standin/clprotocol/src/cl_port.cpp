// GenCP register access, probing and connecting cameras, descriptions from camera memory.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <dlfcn.h>
#include <zip.h>
#include <zlib.h>

#include "CLProtocol/CLPort.h"
#include "link/port_search.h"

namespace CLProtocol {
namespace {

using Clock = std::chrono::steady_clock;

// The serial block the bootstrap points to: 4 maximum command packet, 8 maximum acknowledge
// packet (whole packets in bytes), 12 supported rates, 16 current rate (Camera Link bits).
constexpr uint64_t kMaxCommandOffset = 4;
constexpr uint64_t kSupportedRatesOffset = 12;
constexpr uint64_t kCurrentRateOffset = 16;
// Identification strings of the bootstrap: 64 bytes each.
constexpr uint64_t kManufacturerName = 0x0004;
constexpr uint64_t kIdentificationEnd = 0x0184; // after the serial number
constexpr size_t kStringLength = 64;
// Packet sizes a camera may announce: below this no data would fit, above it the length field.
constexpr uint32_t kSmallestPacket = 32;
constexpr uint32_t kLargestPacket = 0x10000;
constexpr size_t kMaxBuffered = 0x20000; // junk kept while looking for a packet
constexpr uint64_t kManifestEntries = 64;

uint64_t bigEndian(const uint8_t* p, size_t length) {
  uint64_t v = 0;
  for (size_t i = 0; i < length; ++i)
    v = (v << 8) | p[i];
  return v;
}

std::vector<uint8_t> toBigEndian(uint64_t v, size_t length) {
  std::vector<uint8_t> out(length);
  for (size_t i = 0; i < length; ++i)
    out[length - 1 - i] = static_cast<uint8_t>(v >> (8 * i));
  return out;
}

uint16_t get16(const std::vector<uint8_t>& v, size_t at) {
  return static_cast<uint16_t>((v[at] << 8) | v[at + 1]);
}

std::string field(const uint8_t* p, size_t length) {
  return std::string(reinterpret_cast<const char*>(p),
                     strnlen(reinterpret_cast<const char*>(p), length));
}

std::vector<std::string> splitHash(const std::string& text) {
  std::vector<std::string> pieces;
  size_t pos = 0;
  for (;;) {
    size_t hash = text.find('#', pos);
    pieces.push_back(text.substr(pos, hash - pos));
    if (hash == std::string::npos)
      return pieces;
    pos = hash + 1;
  }
}

bool namesDriverFile(const std::string& piece) {
  return piece.ends_with(".so") || piece.find(".so.") != std::string::npos ||
         piece.ends_with(".dll");
}

[[noreturn]] void throwForStatus(uint16_t status, uint64_t address) {
  char where[32];
  std::snprintf(where, sizeof where, " at 0x%llX", static_cast<unsigned long long>(address));
  std::string text = "camera refused: " + GenCp::StatusText(status) + where;
  switch (status) {
  case GenCp::kInvalidAddress:
    throw GenICam::OutOfRangeException(text, __FILE__, __LINE__);
  case GenCp::kWriteProtect:
  case GenCp::kAccessDenied:
    throw GenICam::AccessException(text, __FILE__, __LINE__);
  case GenCp::kInvalidParameter:
  case GenCp::kBadAlignment:
    throw GenICam::InvalidArgumentException(text, __FILE__, __LINE__);
  default:
    throw GenICam::RuntimeException(text, __FILE__, __LINE__);
  }
}

// Identification of the camera on a channel at its present rate; throws when none answers.
CDeviceID identify(GenCpClient& client, const CDeviceID& driver) {
  uint8_t first[kStringLength];
  client.ReadMem(kManufacturerName, first, sizeof first);
  client.ReadLimits();
  std::vector<uint8_t> rest(kIdentificationEnd - kManufacturerName - kStringLength);
  client.ReadMem(kManufacturerName + kStringLength, rest.data(), rest.size());
  CDeviceID id;
  id.directory = driver.directory;
  id.filename = driver.filename;
  id.manufacturer = field(first, kStringLength);
  id.model = field(rest.data(), kStringLength);                  // 0x0044
  id.family = field(rest.data() + kStringLength, kStringLength); // 0x0084
  id.version = field(rest.data() + 2 * kStringLength, kStringLength);
  id.serialNumber = field(rest.data() + 4 * kStringLength, kStringLength); // 0x0144
  return id;
}

std::vector<uint32_t> probeRates(uint32_t mask) {
  std::vector<uint32_t> rates;
  for (int bit = 31; bit >= 0; --bit)
    if (mask & (1u << bit))
      rates.push_back(1u << bit);
  if (std::find(rates.begin(), rates.end(), 1u) == rates.end())
    rates.push_back(1);
  return rates;
}

thread_local int lastSystemError = 0;

// Loads the GenCP serial driver and asks its version; throws when it is not there.
void requireDriver() {
  std::string path = DriverFolder() + "/" + kDriverFile;
  void* driver = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  bool usable = driver && dlsym(driver, "GenCpSerialDriverVersion");
  if (driver)
    dlclose(driver);
  if (!usable) {
    lastSystemError = kErrorModNotFound;
    throw GenICam::RuntimeException("GenCP serial driver " + path + " not found", __FILE__,
                                    __LINE__);
  }
  lastSystemError = 0;
}

} // namespace

int GetLastSystemError() {
  return lastSystemError;
}

std::string DriverFolder() {
  if (const char* root = std::getenv("QNGENICAM_ROOT_V2_4"); root && *root)
    return std::string(root) + "/Bin/Linux64_x64/CLProtocol";
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DriverFolder), &info) && info.dli_fname)
    return std::filesystem::path(info.dli_fname).parent_path().string();
  return ".";
}

std::string ExpandEnvironment(const std::string& text) {
  std::string out;
  size_t pos = 0;
  for (;;) {
    size_t start = text.find("$(", pos);
    if (start == std::string::npos)
      return out + text.substr(pos);
    size_t end = text.find(')', start);
    if (end == std::string::npos)
      return out + text.substr(pos);
    std::string name = text.substr(start + 2, end - start - 2);
    const char* value = std::getenv(name.c_str());
    if (!value) {
      lastSystemError = kErrorEnvVarNotFound;
      throw GenICam::RuntimeException("environment variable " + name + " is not set", __FILE__,
                                      __LINE__);
    }
    out += text.substr(pos, start - pos) + value;
    pos = end + 1;
  }
}

// ---- CDeviceID ----

CDeviceID CDeviceID::FromString(const gcstring& text) {
  if (text.empty())
    throw GenICam::InvalidArgumentException("empty device ID", __FILE__, __LINE__);
  std::vector<std::string> p = splitHash(text);
  CDeviceID id;
  size_t i = 0;
  if (p.size() == 7 || (p.size() >= 2 && namesDriverFile(p[1]))) {
    id.directory = p[0];
    id.filename = p[1];
    i = 2;
  }
  std::string* fields[] = {&id.manufacturer, &id.family, &id.model, &id.version, &id.serialNumber};
  for (std::string* f : fields)
    if (i < p.size())
      *f = p[i++];
  if (i < p.size())
    throw GenICam::InvalidArgumentException("device ID " + text + " has too many pieces", __FILE__,
                                            __LINE__);
  return id;
}

gcstring CDeviceID::GetShortDeviceID() const {
  std::vector<std::string> p = {manufacturer, family, model, version, serialNumber};
  while (!p.empty() && p.back().empty())
    p.pop_back();
  std::string out;
  for (size_t i = 0; i < p.size(); ++i)
    out += (i ? "#" : "") + p[i];
  return out;
}

gcstring CDeviceID::GetFullDeviceID() const {
  return directory + "#" + filename + "#" + manufacturer + "#" + family + "#" + model + "#" +
         version + "#" + serialNumber;
}

// ---- GenCpClient ----

GenCp::Ack GenCpClient::Transact(GenCp::Command command, uint16_t expectedAck) {
  command.requestId = nextRequestId_++;
  if (nextRequestId_ == 0)
    nextRequestId_ = 1;
  ++stats_.transactions;
  enum class Failure { Timeout, Checksum, Junk } failure = Failure::Timeout;
  for (int attempt = 0; attempt < attempts_; ++attempt) {
    if (attempt > 0) {
      command.flags |= GenCp::kFlagResend;
      ++stats_.resends;
    }
    std::vector<uint8_t> packet = GenCp::Encode(command);
    if (!channel_.write(packet.data(), packet.size(), responseTimeoutMs_))
      throw GenICam::RuntimeException("the port failed while sending to the camera", __FILE__,
                                      __LINE__);
    stats_.bytesSent += packet.size();
    auto deadline = Clock::now() + std::chrono::milliseconds(responseTimeoutMs_);
    int pending = 0;
    bool resend = false;
    while (!resend) {
      // Decode what is there first; read only when a packet is incomplete.
      GenCp::Ack ack;
      size_t used = 0;
      auto result = received_.empty()
                        ? GenCp::DecodeResult::NeedMore
                        : GenCp::DecodeAck(received_.data(), received_.size(), &ack, &used);
      switch (result) {
      case GenCp::DecodeResult::NotAPacket:
      case GenCp::DecodeResult::BadCcdChecksum:
        // Not the start of a packet: slide on by one byte and look again.
        if (result == GenCp::DecodeResult::BadCcdChecksum)
          ++stats_.checksumFailures;
        received_.erase(received_.begin());
        ++stats_.junkBytes;
        failure = result == GenCp::DecodeResult::NotAPacket ? Failure::Junk : Failure::Checksum;
        continue;
      case GenCp::DecodeResult::BadScdChecksum:
        received_.erase(received_.begin(), received_.begin() + static_cast<long>(used));
        ++stats_.checksumFailures;
        failure = Failure::Checksum;
        resend = true;
        continue;
      case GenCp::DecodeResult::Complete:
        received_.erase(received_.begin(), received_.begin() + static_cast<long>(used));
        if (ack.requestId != command.requestId) {
          ++stats_.staleAcks; // the late answer to an earlier request
          continue;
        }
        if (ack.commandId == GenCp::kPendingAck) {
          ++stats_.pendingAcks;
          if (++pending > kMaxPendingAcks)
            throw GenICam::TimeoutException("the camera keeps the request pending", __FILE__,
                                            __LINE__);
          uint32_t waitMs = ack.scd.size() >= 4 ? get16(ack.scd, 2) : responseTimeoutMs_;
          deadline = Clock::now() + std::chrono::milliseconds(waitMs);
          continue;
        }
        if (ack.status != GenCp::kSuccess)
          throwForStatus(ack.status,
                         command.scd.size() >= 8 ? bigEndian(command.scd.data(), 8) : 0);
        if (ack.commandId != expectedAck)
          throw GenICam::RuntimeException("the camera answered with command 0x" +
                                              std::to_string(ack.commandId),
                                          __FILE__, __LINE__);
        return ack;
      case GenCp::DecodeResult::NeedMore:
        break;
      }
      auto now = Clock::now();
      if (now >= deadline)
        break;
      uint32_t left = static_cast<uint32_t>(
          std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count());
      uint8_t buffer[1024];
      long got = channel_.read(buffer, sizeof buffer, left);
      if (got < 0)
        throw GenICam::RuntimeException("the port failed while waiting for the camera", __FILE__,
                                        __LINE__);
      stats_.bytesReceived += static_cast<uint64_t>(got);
      received_.insert(received_.end(), buffer, buffer + got);
      if (received_.size() > kMaxBuffered)
        received_.erase(received_.begin(), received_.end() - kMaxBuffered / 2);
    }
    received_.clear();
    channel_.flush();
  }
  switch (failure) {
  case Failure::Checksum:
    throw GenICam::RuntimeException("the camera's answers fail their checksums", __FILE__,
                                    __LINE__);
  case Failure::Junk:
    throw GenICam::RuntimeException("the camera answers with bytes that are no GenCP packet",
                                    __FILE__, __LINE__);
  case Failure::Timeout:
    break;
  }
  throw GenICam::TimeoutException("the camera did not answer within " +
                                      std::to_string(responseTimeoutMs_) + " ms",
                                  __FILE__, __LINE__);
}

void GenCpClient::ReadMem(uint64_t address, uint8_t* data, size_t length) {
  while (length > 0) {
    size_t chunk = std::min(length, maxReadChunk_);
    GenCp::Command command;
    command.commandId = GenCp::kReadMemCmd;
    std::vector<uint8_t> a = toBigEndian(address, 8);
    command.scd = a;
    command.scd.insert(command.scd.end(),
                       {0, 0, static_cast<uint8_t>(chunk >> 8), static_cast<uint8_t>(chunk)});
    GenCp::Ack ack = Transact(std::move(command), GenCp::kReadMemAck);
    if (ack.scd.size() != chunk)
      throw GenICam::RuntimeException("the camera sent " + std::to_string(ack.scd.size()) +
                                          " bytes for " + std::to_string(chunk) + " asked",
                                      __FILE__, __LINE__);
    std::memcpy(data, ack.scd.data(), chunk);
    data += chunk;
    address += chunk;
    length -= chunk;
  }
}

void GenCpClient::WriteMem(uint64_t address, const uint8_t* data, size_t length) {
  do {
    size_t chunk = std::min(length, maxWriteChunk_);
    GenCp::Command command;
    command.commandId = GenCp::kWriteMemCmd;
    command.scd = toBigEndian(address, 8);
    command.scd.insert(command.scd.end(), data, data + chunk);
    GenCp::Ack ack = Transact(std::move(command), GenCp::kWriteMemAck);
    if (ack.scd.size() >= 4 && get16(ack.scd, 2) != chunk)
      throw GenICam::RuntimeException("the camera took " + std::to_string(get16(ack.scd, 2)) +
                                          " of " + std::to_string(chunk) + " bytes",
                                      __FILE__, __LINE__);
    data += chunk;
    address += chunk;
    length -= chunk;
  } while (length > 0);
}

void GenCpClient::ReadLimits() {
  uint8_t block[8];
  ReadMem(kSerialBlockRegister, block, 8);
  uint64_t serialBlock = bigEndian(block, 8);
  uint8_t limits[8];
  ReadMem(serialBlock + kMaxCommandOffset, limits, 8);
  uint32_t maxCommand = static_cast<uint32_t>(bigEndian(limits, 4));
  uint32_t maxAck = static_cast<uint32_t>(bigEndian(limits + 4, 4));
  if (maxCommand < kSmallestPacket || maxAck < kSmallestPacket || maxCommand > kLargestPacket ||
      maxAck > kLargestPacket)
    throw GenICam::RuntimeException("the camera announces packet limits " +
                                        std::to_string(maxCommand) + "/" + std::to_string(maxAck) +
                                        " that cannot be",
                                    __FILE__, __LINE__);
  maxReadChunk_ = std::min<size_t>(maxAck - GenCp::kHeaderLength, 0xFFFF);
  maxWriteChunk_ = maxCommand - GenCp::kHeaderLength - 8; // the address comes first
  uint8_t response[4];
  ReadMem(kMaxResponseTimeRegister, response, 4);
  uint32_t ms = static_cast<uint32_t>(bigEndian(response, 4));
  // Room for the camera's own time and the packets' travel at the slowest rate.
  responseTimeoutMs_ = std::clamp<uint32_t>(ms + 200, 200, 10000);
}

// ---- CCLPort ----

CCLPort::CCLPort() = default;
CCLPort::~CCLPort() = default;

void CCLPort::GetPortIDs(gcstring_vector& portIds) {
  portIds.clear();
  requireDriver();
  if (TestPortIds(portIds))
    return;
  for (const std::string& library : kelpax::findClserLibraries(kelpax::clserSearchFolders())) {
    try {
      // Each library is asked through a port layer of its own so its ports get their names.
      auto probe = std::make_unique<kelpax::CameraPort>();
      int added = kelpax::EnumClserPorts(*probe, {library});
      for (int i = 0; i < added; ++i) {
        const kelpax::PortEntry& entry = probe->ports()[static_cast<size_t>(i)];
        portIds.push_back(entry.portName + "#" + entry.libraryPath + "#" +
                          std::to_string(entry.portIndex));
      }
    } catch (const std::exception&) {
      // A library that cannot be asked adds no ports.
    }
  }
  for (const std::string& device : kelpax::systemComPorts()) {
    std::string name = device;
    if (device.starts_with("/dev/ttyS") && device.size() > 9 &&
        device.find_first_not_of("0123456789", 9) == std::string::npos)
      name = "COM" + std::to_string(std::stoi(device.substr(9)) + 1);
    portIds.push_back("COM_Port#" + name);
  }
}

void CCLPort::GetDeviceIDTemplates(gcstring_vector& templates) {
  requireDriver();
  templates = {DriverFolder() + "#" + kDriverFile + "#Quorvane#CameraLink01"};
}

gcstring CCLPort::FastProbeDevice(const gcstring& portId, const gcstring& deviceIdTemplate,
                                  uint32_t timeoutMs, uint32_t baudRateMask) {
  CDeviceID driver = CDeviceID::FromString(deviceIdTemplate);
  std::unique_ptr<SerialChannel> channel = OpenChannel(portId);
  for (uint32_t rate : probeRates(baudRateMask)) {
    if (!channel->setRate(rate))
      continue;
    channel->flush();
    GenCpClient client(*channel);
    client.setResponseTimeoutMs(timeoutMs);
    client.setAttempts(1);
    try {
      return identify(client, driver).GetFullDeviceID();
    } catch (const GenICam::GenericException&) {
      // Nobody speaking GenCP at this rate.
    }
  }
  return {};
}

void CCLPort::Connect(const gcstring& portId, const gcstring& deviceIdTemplate) {
  CDeviceID driver = CDeviceID::FromString(ExpandEnvironment(deviceIdTemplate));
  if (!driver.directory.empty()) {
    std::filesystem::path file = std::filesystem::path(driver.directory) / driver.filename;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
      lastSystemError = kErrorModNotFound;
      throw GenICam::RuntimeException("GenCP driver " + file.string() + " not found", __FILE__,
                                      __LINE__);
    }
  }
  Disconnect();
  auto channel = OpenChannel(portId);
  auto client = std::make_unique<GenCpClient>(*channel);
  for (uint32_t rate : probeRates(16 | 8 | 4 | 2 | 1)) {
    if (!channel->setRate(rate))
      continue;
    channel->flush();
    client = std::make_unique<GenCpClient>(*channel);
    // Looking for the camera's rate: one send a rate; resends once it is found.
    client->setAttempts(1);
    try {
      deviceId_ = identify(*client, driver).GetFullDeviceID();
      client->setAttempts(GenCpClient::kAttempts);
      currentRate_ = rate;
      uint8_t block[8];
      client->ReadMem(GenCpClient::kSerialBlockRegister, block, 8);
      serialBlock_ = bigEndian(block, 8);
      channel_ = std::move(channel);
      client_ = std::move(client);
      portId_ = portId;
      return;
    } catch (const GenICam::GenericException&) {
    }
  }
  throw GenICam::TimeoutException("no GenCP camera answers on " + portId, __FILE__, __LINE__);
}

void CCLPort::Disconnect() {
  client_.reset();
  channel_.reset();
  deviceId_.clear();
}

void CCLPort::requireConnected() const {
  if (!channel_)
    throw GenICam::AccessException("the port is not connected to a camera", __FILE__, __LINE__);
}

uint32_t CCLPort::SupportedBaudrates() {
  requireConnected();
  uint8_t rates[4];
  client_->ReadMem(serialBlock_ + kSupportedRatesOffset, rates, 4);
  return static_cast<uint32_t>(bigEndian(rates, 4)) & channel_->supportedRates();
}

void CCLPort::SetDeviceBauderate(uint32_t baudRate) {
  requireConnected();
  if (RateOfBit(baudRate) == 0)
    throw GenICam::InvalidArgumentException("no such line rate bit " + std::to_string(baudRate),
                                            __FILE__, __LINE__);
  if (baudRate == currentRate_)
    return;
  std::vector<uint8_t> value = toBigEndian(baudRate, 4);
  client_->WriteMem(serialBlock_ + kCurrentRateOffset, value.data(), 4);
  if (!channel_->setRate(baudRate))
    throw GenICam::RuntimeException("the port cannot change to " +
                                        std::to_string(RateOfBit(baudRate)) + " baud",
                                    __FILE__, __LINE__);
  currentRate_ = baudRate;
}

gcstring CCLPort::GetXML(bool unzip) {
  requireConnected();
  uint8_t raw[8];
  client_->ReadMem(GenCpClient::kManifestRegister, raw, 8);
  uint64_t manifest = bigEndian(raw, 8);
  client_->ReadMem(manifest, raw, 8);
  uint64_t entries = bigEndian(raw, 8);
  if (entries == 0 || entries > kManifestEntries)
    throw GenICam::RuntimeException(
        "the camera's manifest has " + std::to_string(entries) + " entries", __FILE__, __LINE__);
  uint8_t entry[32];
  client_->ReadMem(manifest + 8, entry, sizeof entry);
  uint32_t format = static_cast<uint32_t>(bigEndian(entry + 4, 4)) & 0x3F;
  uint64_t address = bigEndian(entry + 8, 8);
  uint64_t size = bigEndian(entry + 16, 8);
  if (size == 0 || size > kLongestDescription || address + size < address)
    throw GenICam::RuntimeException("the camera's manifest gives a description of " +
                                        std::to_string(size) + " bytes",
                                    __FILE__, __LINE__);
  if (format > 1)
    throw GenICam::RuntimeException("the camera's description is in an unknown format " +
                                        std::to_string(format),
                                    __FILE__, __LINE__);
  std::string bytes(size, '\0');
  client_->ReadMem(address, reinterpret_cast<uint8_t*>(bytes.data()), size);
  if (format == 1 && unzip)
    return UnzipFirstFile(bytes, kLongestDescription);
  return bytes;
}

void CCLPort::Read(void* buffer, int64_t address, int64_t length) {
  requireConnected();
  if (address < 0 || length < 0)
    throw GenICam::InvalidArgumentException("negative address or length", __FILE__, __LINE__);
  client_->ReadMem(static_cast<uint64_t>(address), static_cast<uint8_t*>(buffer),
                   static_cast<size_t>(length));
}

void CCLPort::Write(const void* buffer, int64_t address, int64_t length) {
  requireConnected();
  if (address < 0 || length < 0)
    throw GenICam::InvalidArgumentException("negative address or length", __FILE__, __LINE__);
  client_->WriteMem(static_cast<uint64_t>(address), static_cast<const uint8_t*>(buffer),
                    static_cast<size_t>(length));
}

GenApi::EAccessMode CCLPort::GetAccessMode() const {
  return channel_ ? GenApi::RW : GenApi::NA;
}

int32_t CCLPort::ClSerialRead(uint8_t* buffer, uint32_t* size, uint32_t timeoutMs) {
  if (!channel_)
    return -10003;
  if (!buffer || !size)
    return -10010;
  uint32_t wanted = *size;
  uint32_t got = 0;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (got < wanted) {
    auto now = Clock::now();
    if (now >= deadline)
      break;
    long n =
        channel_->read(buffer + got, wanted - got,
                       static_cast<uint32_t>(
                           std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count()));
    if (n < 0)
      return -10003;
    got += static_cast<uint32_t>(n);
    if (n == 0)
      break;
  }
  *size = got;
  return got == 0 && wanted > 0 ? -10004 : 0;
}

int32_t CCLPort::ClSerialWrite(const uint8_t* buffer, uint32_t* size, uint32_t timeoutMs) {
  if (!channel_)
    return -10003;
  if (!buffer || !size)
    return -10010;
  if (!channel_->write(buffer, *size, timeoutMs)) {
    *size = 0;
    return -10003;
  }
  return 0;
}

const GenCpClient::Statistics* CCLPort::GetStatistics() const {
  return client_ ? &client_->statistics() : nullptr;
}

gcstring UnzipFirstFile(const std::string& archive, uint64_t maxSize) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
  if (!source)
    throw GenICam::RuntimeException("the description cannot be unzipped", __FILE__, __LINE__);
  zip_t* zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
  if (!zip) {
    std::string why = zip_error_strerror(&error);
    zip_source_free(source);
    zip_error_fini(&error);
    throw GenICam::RuntimeException("the description is no zip archive: " + why, __FILE__,
                                    __LINE__);
  }
  std::string text;
  std::string problem;
  zip_stat_t st;
  if (zip_get_num_entries(zip, 0) < 1)
    problem = "the description's archive is empty";
  else if (zip_stat_index(zip, 0, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
    problem = "the description's archive cannot be read";
  else if (st.size > maxSize)
    problem = "the description unzips to " + std::to_string(st.size) + " bytes";
  else if (zip_file_t* file = zip_fopen_index(zip, 0, 0); !file)
    problem = std::string("the description cannot be unzipped: ") + zip_strerror(zip);
  else {
    text.resize(st.size);
    zip_int64_t got = zip_fread(file, text.data(), st.size);
    // The checksum is only compared once the file is read to its end, one read past the size.
    char past = 0;
    zip_int64_t more = got < 0 ? -1 : zip_fread(file, &past, 1);
    if (got < 0 || more < 0)
      problem = std::string("the description cannot be unzipped: ") + zip_file_strerror(file);
    else if (static_cast<uint64_t>(got) != st.size || more != 0)
      problem = "the description's archive gives " + std::string(more != 0 ? "more" : "fewer") +
                " bytes than its stated " + std::to_string(st.size);
    // Checked here as well: the library skips its own check for a file it was told is empty.
    else if ((st.valid & ZIP_STAT_CRC) && crc32(0, reinterpret_cast<const Bytef*>(text.data()),
                                                static_cast<uInt>(text.size())) != st.crc)
      problem = "the description's text fails its archive's CRC";
    zip_fclose(file);
  }
  zip_discard(zip);
  if (!problem.empty())
    throw GenICam::RuntimeException(problem, __FILE__, __LINE__);
  return text;
}

} // namespace CLProtocol
