// Opening, closing, writing and reading the camera's serial channel.
#include "link/camera_port.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <dlfcn.h>

#include "camera/debug_output.h"

namespace kelpax {
namespace {

constexpr size_t kWriteSplitAbove = 512; // longer writes go out as two calls
constexpr int kWritePasses = 11;
constexpr uint32_t kLibraryWriteTimeoutMs = 2000;
constexpr size_t kReadChunk = 4096;

} // namespace

int comRateForBaudCode(unsigned baudCode) {
  switch (baudCode) {
  case 1:
    return 9600;
  case 2:
    return 19200;
  case 4:
    return 38400;
  case 8:
    return 56000;
  case 16:
    return 115200;
  default:
    return 19200;
  }
}

std::string ClErrorText(int code) {
  switch (code) {
  case clser::kNoError:
    return "CL_ERR_NO_ERR\r\n";
  case clser::kErrBufferTooSmall:
    return "CL_ERR_BUFFER_TOO_SMALL\r\n";
  case clser::kErrManuDoesNotExist:
    return "CL_ERR_MANU_DOES_NOT_EXIST\r\n";
  case clser::kErrPortInUse:
    return "CL_ERR_PORT_IN_USE\r\n";
  case clser::kErrTimeout:
    return "CL_ERR_TIMEOUT\r\n";
  case clser::kErrInvalidIndex:
    return "CL_ERR_INVALID_INDEX\r\n";
  case clser::kErrInvalidReference:
    return "CL_ERR_INVALID_REFERENCE\r\n";
  case clser::kErrErrorNotFound:
    return "CL_ERR_ERROR_NOT_FOUND\r\n";
  case clser::kErrBaudRateNotSupported:
    return "CL_ERR_BAUD_RATE_NOT_SUPPORTED\r\n";
  case clser::kErrOutOfMemory:
    return "CL_ERR_OUT_OF_MEMORY\r\n";
  case clser::kErrRegistryKeyNotFound:
    return "CL_ERR_REGISTRY_KEY_NOT_FOUND\r\n";
  case clser::kErrInvalidPtr:
    return "CL_ERR_INVALID_PTR\r\n";
  case clser::kErrUnableToLoadDll:
    return "CL_ERR_UNABLE_TO_LOAD_DLL\r\n";
  case clser::kErrFunctionNotFound:
    return "CL_ERR_FUNCTION_NOT_FOUND\r\n";
  default: {
    char text[64];
    std::snprintf(text, sizeof text, "There is no error code:%d\r\n", code);
    return text;
  }
  }
}

CameraPort::~CameraPort() {
  ClosePort();
}

void CameraPort::setPortCount(int count) {
  portCount_ = std::clamp(count, 0, kMaxPorts);
}

bool CameraPort::addPort(const PortEntry& entry) {
  if (portCount_ >= kMaxPorts) {
    return false;
  }
  ports_[size_t(portCount_++)] = entry;
  return true;
}

int CameraPort::LoadClserLibrary(const std::string& path) {
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  clser_ = ClserEntries{};
  if (!module) {
    const char* why = ::dlerror();
    debugPrintf("\n%s, %d, %s\n", "CGetPortDlg::LoadClserLibrary", __LINE__,
                why ? why : "cannot load");
    return 0;
  }
  // A loaded library stays loaded; the newest one's entry points replace the old.
  libraryModule_ = module;
  int found = 0;
  auto bind = [&](auto& slot, const char* name, int bit) {
    void* symbol = ::dlsym(module, name);
    if (symbol) {
      slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(symbol);
      found |= bit;
    }
  };
  bind(clser_.flushPort, "clFlushPort", kHasFlushPort);
  bind(clser_.getErrorText, "clGetErrorText", kHasGetErrorText);
  bind(clser_.getManufacturerInfo, "clGetManufacturerInfo", kHasGetManufacturerInfo);
  bind(clser_.getNumBytesAvail, "clGetNumBytesAvail", kHasGetNumBytesAvail);
  bind(clser_.getNumSerialPorts, "clGetNumSerialPorts", kHasGetNumSerialPorts);
  bind(clser_.getSerialPortIdentifier, "clGetSerialPortIdentifier", kHasGetSerialPortIdentifier);
  bind(clser_.getSupportedBaudRates, "clGetSupportedBaudRates", kHasGetSupportedBaudRates);
  bind(clser_.setBaudRate, "clSetBaudRate", kHasSetBaudRate);
  bind(clser_.serialClose, "clSerialClose", kHasSerialClose);
  bind(clser_.serialInit, "clSerialInit", kHasSerialInit);
  bind(clser_.serialWrite, "clSerialWrite", kHasSerialWrite);
  bind(clser_.serialRead, "clSerialRead", kHasSerialRead);
  return found;
}

int CameraPort::OpenPort(int index, unsigned baudCode) {
  ClosePort();
  if (index < 0 || index >= kMaxPorts) {
    return kComPortNotUsable;
  }
  const PortEntry& entry = ports_[size_t(index)];
  int result;
  if (entry.isLibrary) {
    result = OpenLibraryPort(entry.libraryPath, entry.portIndex, baudCode);
    debugPrintf("OpenLibraryPort Return: %d\n", result);
  } else {
    result = OpenComPort(entry.portName, baudCode);
  }
  if (result == 0) {
    isOpen_ = true;
    openIsLibrary_ = entry.isLibrary != 0;
    currentIndex_ = index;
  }
  return result;
}

int CameraPort::OpenComPort(const std::string& name, unsigned baudCode) {
  const int rate = comRateForBaudCode(baudCode);
  const std::string path = name.find('/') == std::string::npos ? "/dev/" + name : name;
  if (com_.open(path, rate) != ComDevice::OpenError::None) {
    debugPrintf("%s, %d, %s\n", "CGetPortDlg::OpenComPort", __LINE__, com_.lastErrorText().c_str());
    return kComPortNotUsable;
  }
  comWriteMultiplier_ = 19200 / rate;
  delivered_.clear();
  return 0;
}

int CameraPort::OpenLibraryPort(const std::string& libraryPath, uint32_t portIndex,
                                unsigned baudCode) {
  const int found = LoadClserLibrary(libraryPath);
  if (found == 0 || !clser_.serialInit) {
    return kClserLibraryUnusable;
  }
  void* ref = nullptr;
  int32_t code = clser_.serialInit(portIndex, &ref);
  debugPrintf("\n%s, %d, %s\n", "CGetPortDlg::OpenLibraryPort", __LINE__,
              ClErrorText(code).c_str());
  if (code != 0) {
    return code;
  }
  serialRef_ = ref;
  // A rate the library refuses is only logged: the port stays open at the library's rate.
  if (clser_.flushPort) {
    code = clser_.flushPort(serialRef_);
    debugPrintf("\n%s, %d, %s\n", "CGetPortDlg::OpenLibraryPort", __LINE__,
                ClErrorText(code).c_str());
  }
  if (clser_.setBaudRate) {
    code = clser_.setBaudRate(serialRef_, baudCode);
    debugPrintf("\n%s, %d, %s\n", "CGetPortDlg::OpenLibraryPort", __LINE__,
                ClErrorText(code).c_str());
  }
  delivered_.clear();
  return 0;
}

void CameraPort::ClosePort() {
  if (!isOpen_) {
    return;
  }
  isOpen_ = false;
  if (openIsLibrary_) {
    if (clser_.serialClose && serialRef_) {
      clser_.serialClose(serialRef_);
      debugPrintf("\n%s, %d, %s\n", "CGetPortDlg::ClosePort", __LINE__,
                  ClErrorText(clser::kNoError).c_str());
    }
    serialRef_ = nullptr;
  } else {
    com_.close();
  }
  delivered_.clear();
}

bool CameraPort::writeComCall(const char* data, size_t count, size_t& written) {
  // The write time-out grows with the byte count at slow rates, as the driver's would.
  const int timeoutMs = 2000 + int(count) * comWriteMultiplier_;
  bool ok = com_.write(data, count, timeoutMs, written);
  debugPrintf("%s, %d, %s\n", "CGetPortDlg::comSerialWrite", __LINE__,
              com_.lastErrorText().c_str());
  if (written > 0 && observer_) {
    observer_->bytesSent(std::string_view(data, written));
  }
  return ok;
}

// One call to the library's write. Returns false when the call reported an error.
bool CameraPort::writeLibraryPass(const char* data, size_t count, size_t& written,
                                  bool lastCallOfPass, bool& failed) {
  uint32_t size = uint32_t(count);
  std::vector<int8_t> bytes(data, data + count);
  int32_t code = clser_.serialWrite(serialRef_, bytes.data(), &size, kLibraryWriteTimeoutMs);
  written = std::min<size_t>(size, count);
  if (written > 0 && observer_) {
    observer_->bytesSent(std::string_view(data, written));
  }
  if (code != 0) {
    debugOutput("clSerialWrite :" + ClErrorText(code));
    if (lastCallOfPass) {
      failed = true;
    }
    return false;
  }
  return true;
}

bool CameraPort::WritePort(std::string_view text, bool appendCr) {
  if (!isOpen_) {
    return false;
  }
  if (openIsLibrary_ && !clser_.serialWrite) {
    return false;
  }
  std::string buffer(text);
  if (appendCr) {
    buffer.push_back('\r');
  }
  size_t done = 0;
  for (int pass = 0; pass < kWritePasses && done < buffer.size(); ++pass) {
    const size_t remaining = buffer.size() - done;
    const char* at = buffer.data() + done;
    size_t written = 0;
    if (remaining > kWriteSplitAbove) {
      // Two calls: the lower half, then the rest counted from what really went out.
      const size_t half = remaining / 2;
      size_t second = 0;
      if (openIsLibrary_) {
        bool failed = false;
        writeLibraryPass(at, half, written, false, failed);
        writeLibraryPass(at + written, remaining - written, second, true, failed);
        if (failed) {
          return false;
        }
      } else {
        if (!writeComCall(at, half, written) ||
            !writeComCall(at + written, remaining - written, second)) {
          return false;
        }
      }
      done += written + second;
    } else {
      if (openIsLibrary_) {
        bool failed = false;
        writeLibraryPass(at, remaining, written, false, failed);
      } else if (!writeComCall(at, remaining, written)) {
        return false;
      }
      done += written;
    }
  }
  return done >= buffer.size();
}

CameraPort::ReadResult CameraPort::readComByte(char& byte) {
  if (!isOpen_ || openIsLibrary_) {
    lastReadFailed_ = true;
    return ReadResult::Failed;
  }
  if (delivered_.empty()) {
    char chunk[kReadChunk];
    long n = com_.readQueued(chunk, sizeof chunk);
    if (n < 0) {
      lastReadFailed_ = true;
      return ReadResult::Failed;
    }
    lastReadFailed_ = false;
    if (n == 0) {
      return ReadResult::Nothing;
    }
    if (observer_) {
      observer_->bytesReceived(std::string_view(chunk, size_t(n)));
    }
    delivered_.insert(delivered_.end(), chunk, chunk + n);
  }
  byte = delivered_.front();
  delivered_.pop_front();
  return ReadResult::Byte;
}

void CameraPort::waitComInput(int timeoutMs) {
  if (!delivered_.empty() || timeoutMs <= 0) {
    return;
  }
  if (!isOpen_ || openIsLibrary_ || lastReadFailed_) {
    // A failed or gone device wakes poll at once; pace the retries instead.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeoutMs, 1)));
    return;
  }
  com_.waitReadable(timeoutMs);
}

CameraPort::ReadResult CameraPort::readLibraryByte(char& byte, uint32_t timeoutMs) {
  if (!isOpen_ || !openIsLibrary_ || !clser_.serialRead) {
    lastReadCode_ = clser::kErrInvalidReference;
    return ReadResult::Failed;
  }
  if (delivered_.empty()) {
    // Take everything the library already holds in one call; otherwise wait for one byte.
    uint32_t want = 1;
    if (clser_.getNumBytesAvail) {
      uint32_t avail = 0;
      if (clser_.getNumBytesAvail(serialRef_, &avail) == 0 && avail > 1) {
        want = std::min<uint32_t>(avail, kReadChunk);
      }
    }
    int8_t chunk[kReadChunk];
    uint32_t size = want;
    lastReadCode_ = clser_.serialRead(serialRef_, chunk, &size, timeoutMs);
    if (lastReadCode_ != 0 || size == 0) {
      return ReadResult::Nothing;
    }
    size = std::min<uint32_t>(size, want);
    const char* bytes = reinterpret_cast<const char*>(chunk);
    if (observer_) {
      observer_->bytesReceived(std::string_view(bytes, size));
    }
    delivered_.insert(delivered_.end(), bytes, bytes + size);
  }
  byte = delivered_.front();
  delivered_.pop_front();
  return ReadResult::Byte;
}

std::string CameraPort::lastReadErrorText() const {
  if (openIsLibrary_) {
    return ClErrorText(lastReadCode_);
  }
  return com_.lastErrorText();
}

} // namespace kelpax
