// Opening ports by their IDs: Camera Link serial library ports through dlopen, PC serial ports
// through the program's serial device.
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include <dlfcn.h>

#include "CLProtocol/SerialChannel.h"
#include "GenICam/GCException.h"
#include "link/com_device.h"

namespace CLProtocol {
namespace {

using ClInitFn = int32_t (*)(uint32_t, void**);
using ClReadFn = int32_t (*)(void*, int8_t*, uint32_t*, uint32_t);
using ClWriteFn = int32_t (*)(void*, int8_t*, uint32_t*, uint32_t);
using ClCloseFn = void (*)(void*);
using ClAvailFn = int32_t (*)(void*, uint32_t*);
using ClFlushFn = int32_t (*)(void*);
using ClRatesFn = int32_t (*)(void*, uint32_t*);
using ClSetRateFn = int32_t (*)(void*, uint32_t);

constexpr int32_t kClTimeout = -10004;

std::mutex factoryMutex;
ChannelFactory& testFactory() {
  static ChannelFactory factory;
  return factory;
}

class ClserChannel : public SerialChannel {
public:
  ClserChannel(const std::string& library, uint32_t index) {
    handle_ = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_)
      throw GenICam::RuntimeException("Camera Link serial library " + library +
                                      " cannot be loaded: " + dlerror());
    init_ = reinterpret_cast<ClInitFn>(dlsym(handle_, "clSerialInit"));
    read_ = reinterpret_cast<ClReadFn>(dlsym(handle_, "clSerialRead"));
    write_ = reinterpret_cast<ClWriteFn>(dlsym(handle_, "clSerialWrite"));
    close_ = reinterpret_cast<ClCloseFn>(dlsym(handle_, "clSerialClose"));
    avail_ = reinterpret_cast<ClAvailFn>(dlsym(handle_, "clGetNumBytesAvail"));
    flush_ = reinterpret_cast<ClFlushFn>(dlsym(handle_, "clFlushPort"));
    rates_ = reinterpret_cast<ClRatesFn>(dlsym(handle_, "clGetSupportedBaudRates"));
    setRate_ = reinterpret_cast<ClSetRateFn>(dlsym(handle_, "clSetBaudRate"));
    if (!init_ || !read_ || !write_ || !close_) {
      dlclose(handle_);
      throw GenICam::RuntimeException("Camera Link serial library " + library +
                                      " lacks the serial functions");
    }
    int32_t rc = init_(index, &ref_);
    if (rc != 0) {
      dlclose(handle_);
      throw GenICam::RuntimeException("Camera Link serial port " + std::to_string(index) + " of " +
                                      library + " cannot be opened (" + std::to_string(rc) + ")");
    }
  }
  ~ClserChannel() override {
    close_(ref_);
    dlclose(handle_);
  }
  bool write(const uint8_t* data, size_t length, uint32_t timeoutMs) override {
    uint32_t size = static_cast<uint32_t>(length);
    std::vector<int8_t> copy(data, data + length);
    return write_(ref_, copy.data(), &size, timeoutMs) == 0 && size == length;
  }
  long read(uint8_t* data, size_t max, uint32_t timeoutMs) override {
    if (max == 0)
      return 0;
    uint32_t available = 0;
    if (!avail_ || avail_(ref_, &available) != 0 || available == 0) {
      // The standard read returns once the count asked for has come: ask for one byte first.
      uint32_t one = 1;
      int32_t rc = read_(ref_, reinterpret_cast<int8_t*>(data), &one, timeoutMs);
      if (rc == kClTimeout || (rc == 0 && one == 0))
        return 0;
      if (rc != 0)
        return -1;
      available = 0;
      if (avail_)
        avail_(ref_, &available);
      size_t more = std::min<size_t>(available, max - 1);
      if (more == 0)
        return 1;
      uint32_t size = static_cast<uint32_t>(more);
      if (read_(ref_, reinterpret_cast<int8_t*>(data + 1), &size, timeoutMs) != 0)
        return 1;
      return 1 + static_cast<long>(size);
    }
    uint32_t size = static_cast<uint32_t>(std::min<size_t>(available, max));
    int32_t rc = read_(ref_, reinterpret_cast<int8_t*>(data), &size, timeoutMs);
    if (rc == kClTimeout)
      return 0;
    return rc == 0 ? static_cast<long>(size) : -1;
  }
  uint32_t supportedRates() override {
    uint32_t rates = 1;
    if (rates_ && rates_(ref_, &rates) != 0)
      rates = 1;
    return rates;
  }
  bool setRate(uint32_t rateBit) override { return setRate_ && setRate_(ref_, rateBit) == 0; }
  void flush() override {
    if (flush_)
      flush_(ref_);
  }

private:
  void* handle_ = nullptr;
  void* ref_ = nullptr;
  ClInitFn init_;
  ClReadFn read_;
  ClWriteFn write_;
  ClCloseFn close_;
  ClAvailFn avail_;
  ClFlushFn flush_;
  ClRatesFn rates_;
  ClSetRateFn setRate_;
};

class ComChannel : public SerialChannel {
public:
  explicit ComChannel(std::string path) : path_(std::move(path)) {
    if (device_.open(path_, 9600) != kelpax::ComDevice::OpenError::None)
      throw GenICam::RuntimeException("serial port " + path_ +
                                      " cannot be opened: " + device_.lastErrorText());
  }
  bool write(const uint8_t* data, size_t length, uint32_t timeoutMs) override {
    size_t written = 0;
    return device_.write(reinterpret_cast<const char*>(data), length, static_cast<int>(timeoutMs),
                         written) &&
           written == length;
  }
  long read(uint8_t* data, size_t max, uint32_t timeoutMs) override {
    long got = device_.readQueued(reinterpret_cast<char*>(data), max);
    if (got != 0)
      return got;
    if (!device_.waitReadable(static_cast<int>(timeoutMs)))
      return 0;
    got = device_.readQueued(reinterpret_cast<char*>(data), max);
    return got;
  }
  uint32_t supportedRates() override { return 1 | 2 | 4 | 8 | 16; }
  bool setRate(uint32_t rateBit) override {
    int rate = RateOfBit(rateBit);
    if (rate == 0)
      return false;
    device_.close();
    return device_.open(path_, rate) == kelpax::ComDevice::OpenError::None;
  }
  void flush() override {
    char scratch[256];
    while (device_.readQueued(scratch, sizeof scratch) > 0) {
    }
  }

private:
  std::string path_;
  kelpax::ComDevice device_;
};

} // namespace

int RateOfBit(uint32_t rateBit) {
  switch (rateBit) {
  case 1:
    return 9600;
  case 2:
    return 19200;
  case 4:
    return 38400;
  case 8:
    return 57600;
  case 16:
    return 115200;
  case 32:
    return 230400;
  case 64:
    return 460800;
  case 128:
    return 921600;
  }
  return 0;
}

namespace {
std::vector<std::string>& testPortIds() {
  static std::vector<std::string> ids;
  return ids;
}
} // namespace

void SetTestPortIds(std::vector<std::string> portIds) {
  std::lock_guard lock(factoryMutex);
  testPortIds() = std::move(portIds);
}

bool TestPortIds(std::vector<std::string>& portIds) {
  std::lock_guard lock(factoryMutex);
  if (testPortIds().empty())
    return false;
  portIds = testPortIds();
  return true;
}

void SetTestChannelFactory(ChannelFactory factory) {
  std::lock_guard lock(factoryMutex);
  testFactory() = std::move(factory);
}

std::unique_ptr<SerialChannel> OpenChannel(const std::string& portId) {
  if (portId.starts_with("test#")) {
    std::lock_guard lock(factoryMutex);
    if (!testFactory())
      throw GenICam::InvalidArgumentException("no test port " + portId);
    auto channel = testFactory()(portId);
    if (!channel)
      throw GenICam::RuntimeException("test port " + portId + " cannot be opened");
    return channel;
  }
  constexpr std::string_view kComPrefix = "COM_Port#";
  if (portId.starts_with(kComPrefix)) {
    std::string name = portId.substr(kComPrefix.size());
    // COMn stands for the n-th built-in serial port, as /dev/ttyS<n-1>.
    if (name.size() > 3 && name.starts_with("COM") &&
        name.find_first_not_of("0123456789", 3) == std::string::npos)
      name = "/dev/ttyS" + std::to_string(std::stoi(name.substr(3)) - 1);
    if (name.empty())
      throw GenICam::InvalidArgumentException("port ID " + portId + " names no serial port");
    return std::make_unique<ComChannel>(name);
  }
  // "<identifier>#<library>#<index>": the identifier may itself hold "#".
  size_t last = portId.rfind('#');
  size_t middle =
      last == std::string::npos || last == 0 ? std::string::npos : portId.rfind('#', last - 1);
  if (middle == std::string::npos)
    throw GenICam::InvalidArgumentException("port ID " + portId + " is malformed");
  std::string library = portId.substr(middle + 1, last - middle - 1);
  std::string index = portId.substr(last + 1);
  if (library.empty() || index.empty() ||
      index.find_first_not_of("0123456789") != std::string::npos || index.size() > 6)
    throw GenICam::InvalidArgumentException("port ID " + portId + " is malformed");
  return std::make_unique<ClserChannel>(library, static_cast<uint32_t>(std::stoul(index)));
}

} // namespace CLProtocol
