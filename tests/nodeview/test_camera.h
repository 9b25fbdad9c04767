// The browser's test camera: a node map over a memory port that records every write, so a test
// can see what reached the camera and in which order.
#pragma once

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "GenApi/GenApi.h"
#include "nodeview/feature_file.h"

namespace nodeview::testing {

inline std::string dataFile(const char* name) {
  return std::string(NODEVIEW_TEST_DATA) + "/" + name;
}

struct PortWrite {
  std::int64_t address;
  std::int64_t value; // the first 8 bytes, little-endian
};

class RecordingPort : public GenApi::IPort {
public:
  explicit RecordingPort(std::unique_ptr<GenApi::MemoryPort> memory) : memory_(std::move(memory)) {}
  void Read(void* buffer, int64_t address, int64_t length) override {
    memory_->Read(buffer, address, length);
  }
  void Write(const void* buffer, int64_t address, int64_t length) override {
    if (address == failAddress_) {
      throw failCode_; // as a transport layer reports its own errors
    }
    std::int64_t value = 0;
    std::memcpy(&value, buffer, std::size_t(std::min<int64_t>(length, 8)));
    {
      std::lock_guard lock(mutex_);
      writes_.push_back({address, value});
    }
    memory_->Write(buffer, address, length);
  }
  GenApi::EAccessMode GetAccessMode() const override { return memory_->GetAccessMode(); }

  GenApi::MemoryPort& memory() { return *memory_; }
  // Writes to `address` throw the integer `code` from now on; -1 stops that.
  void throwOnWrite(std::int64_t address, int code) {
    failAddress_ = address;
    failCode_ = code;
  }
  std::vector<PortWrite> writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
  }
  void forget() {
    std::lock_guard lock(mutex_);
    writes_.clear();
  }
  bool wrote(std::int64_t address) const {
    for (const auto& w : writes()) {
      if (w.address == address) {
        return true;
      }
    }
    return false;
  }
  // Position of the first write to an address at or after `from`, -1 when none.
  int indexOf(std::int64_t address, std::int64_t value, int from = 0) const {
    auto all = writes();
    for (int i = from; i < int(all.size()); ++i) {
      if (all[std::size_t(i)].address == address && all[std::size_t(i)].value == value) {
        return i;
      }
    }
    return -1;
  }

private:
  std::unique_ptr<GenApi::MemoryPort> memory_;
  mutable std::mutex mutex_; // Protects writes_
  std::vector<PortWrite> writes_;
  std::int64_t failAddress_ = -1;
  int failCode_ = 0;
};

// A loaded, connected node map on a recording memory port.
class TestCamera {
public:
  // `renames` replace texts of the description before it is loaded (a feature renamed away).
  explicit TestCamera(const char* file = "browser_camera.xml",
                      const std::vector<std::pair<std::string, std::string>>& renames = {}) {
    std::string error = readWholeFile(dataFile(file), xml_);
    EXPECT_EQ(error, "");
    for (const auto& [from, to] : renames) {
      for (std::size_t at = xml_.find(from); at != std::string::npos;
           at = xml_.find(from, at + to.size())) {
        xml_.replace(at, from.size(), to);
      }
    }
    port_ = std::make_unique<RecordingPort>(GenApi::MemoryPort::ForXml(xml_));
    map_.reset(new GenApi::CNodeMapRef("Device"));
    map_->_LoadXMLFromString(xml_);
    EXPECT_TRUE(map_->_Connect(port_.get(), "Device"));
  }
  GenApi::CNodeMapRef* map() { return map_.get(); }
  RecordingPort& port() { return *port_; }
  void poke(std::uint64_t address, unsigned length, std::int64_t value) {
    port_->memory().pokeInteger(address, length, value);
    map_->_InvalidateNodes();
  }
  std::int64_t peek(std::uint64_t address, unsigned length = 4) const {
    return port_->memory().peekInteger(address, length);
  }

private:
  std::string xml_;
  std::unique_ptr<RecordingPort> port_;
  std::unique_ptr<GenApi::CNodeMapRef> map_;
};

// Register addresses of the test camera.
enum Address : std::int64_t {
  kDeviceRegister = 0x0030,
  kWidth = 0x0100,
  kHeight = 0x0104,
  kFocus = 0x0108,
  kReverseX = 0x010C,
  kPolledValue = 0x0118,
  kGainSelector = 0x0200,
  kGainBase = 0x0210,
  kExposureTime = 0x0220,
  kAcquisitionStart = 0x0300,
  kTriggerSoftware = 0x0304,
  kLatch = 0x0308,
  kCalibrationMode = 0x030C,
  kUserSetSelector = 0x0400,
  kUserSetLoad = 0x0404,
  kUserSetSave = 0x0408,
  kGevCurrentIP = 0x0600,
  kGevPersistentIP = 0x0604,
  kGevMac = 0x0610,
  kGevExtendedId = 0x0618,
  kCxpLink = 0x0700,
};

} // namespace nodeview::testing
