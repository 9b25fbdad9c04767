// The GenICam open, step by step, with the debug lines and result codes of each step.
#include "genicam/genicam_connection.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "CLProtocol/CLPort.h"
#include "GenApi/GenApi.h"
#include "camera/debug_output.h"
#include "nqx/nqx.h"

namespace kelpax {
namespace {

constexpr int32_t kNotImplemented = -1003;
constexpr int32_t kAccessDenied = -1005;
constexpr int32_t kModulesMissing = -10020;
constexpr int32_t kNotReady = -10004; // a raw read with nothing there yet
constexpr int kInterfaceDisplayName = 1;
constexpr int kDeviceDisplayName = 4;
constexpr int kDeviceAccessControl = 3;
constexpr uint64_t kListTimeoutMs = 100;
constexpr size_t kTerminalChunk = 2048;

std::string format(const char* pattern, int value) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

// A text the transport layer hands out: a size query, then the fill. -1003 counts as success
// where allowed.
template <class Query>
bool queryText(Query query, std::string& out, bool notImplementedIsSuccess = false) {
  auto ok = [&](int32_t rc) {
    return rc == 0 || (notImplementedIsSuccess && rc == kNotImplemented);
  };
  size_t size = 0;
  if (!ok(query(nullptr, &size)))
    return false;
  if (size == 0 || size > (1u << 20))
    size = 1024;
  std::string buffer(size, '\0');
  if (!ok(query(buffer.data(), &size)))
    return false;
  out.assign(buffer.c_str());
  return true;
}

} // namespace

TransportLayerApi nqxTransportLayer() {
  return {GCInitLib,
          GCCloseLib,
          TLOpenMultiIF,
          TLUpdateInterfaceList,
          TLGetNumInterfaces,
          TLGetInterfaceID,
          TLGetInterfaceInfo,
          TLOpenInterface,
          TLClose,
          IFUpdateDeviceList,
          IFGetNumDevices,
          IFGetDeviceID,
          IFGetDeviceInfo,
          IFOpenDevice,
          DevGetPort,
          GCReadPort,
          GCWritePort};
}

GenICamConnection::GenICamConnection()
    : GenICamConnection(
          nqxTransportLayer(),
          [](void* port) { return static_cast<CLProtocol::CCLPort*>(port)->GetXML(true); },
          [](void* port) -> void* {
            return static_cast<GenApi::IPort*>(static_cast<CLProtocol::CCLPort*>(port));
          }) {}

GenICamConnection::GenICamConnection(TransportLayerApi api, DescriptionReader readDescription,
                                     PortAdapter asGenApiPort)
    : api_(api), readDescription_(std::move(readDescription)),
      asGenApiPort_(std::move(asGenApiPort)) {}

GenICamConnection::~GenICamConnection() {
  if (initialised_)
    api_.GCCloseLib();
  nodeMap_.reset();
}

void GenICamConnection::debug(const std::string& line) {
  debugLines_.push_back(line);
  debugOutput(line);
}

int GenICamConnection::open(const GenICamOpenRequest& request) {
  matched_ = false;
  if (api_.GCInitLib() != 0) {
    debug(format("GCInitLib Error : (%d)", -1));
    return kOpenNoNodeMap;
  }
  initialised_ = true;

  void* system = nullptr;
  uint32_t multi = 1;
  int result = 0;
  void* interface = nullptr;
  std::string deviceId;
  if (int rc = api_.TLOpenMultiIF(&system, &multi); rc != 0) {
    debug(format("TLOpenMultiIF Error : (%X)", rc));
    result = kOpenInterfaceError;
  } else {
    result = search(system, request, interface, deviceId);
  }

  if (result == 0 && matched_) {
    void* device = nullptr;
    if (int rc = api_.IFOpenDevice(interface, deviceId.c_str(), kDeviceAccessControl, &device);
        rc != 0) {
      debug(format("IFOpenDevice Ret(%d)", rc));
      result = kOpenDeviceError;
    } else {
      device_ = device;
      void* port = nullptr;
      std::string xml;
      try {
        if (api_.DevGetPort(device, &port) == 0 && port)
          xml = readDescription_(port);
      } catch (const std::exception& e) {
        debug(e.what());
      }
      if (xml.empty()) {
        debug("XMLString.empty()");
        result = kOpenXmlEmpty;
      } else {
        port_ = port;
        try {
          if (!nodeMap_)
            nodeMap_ = std::make_unique<GenApi::CNodeMapRef>("Device");
          // One node map holds one description: the same camera again (a reconnect) keeps
          // it and moves to the new port; another description is refused by the load.
          if (!nodeMap_->_IsLoaded() || xml != description_) {
            nodeMap_->_LoadXMLFromString(xml);
            description_ = xml;
          }
          nodeMap_->_Connect(static_cast<GenApi::IPort*>(asGenApiPort_(port)), "Device");
        } catch (const GenICam::RuntimeException& e) {
          debug(e.GetDescription());
          result = kOpenXmlLoadError;
        } catch (...) {
          debug("??...??");
          result = kOpenXmlLoadError;
        }
      }
    }
  }
  // The system handle goes in every case; interface, device, port and node map stay.
  if (system)
    api_.TLClose(system);
  return result;
}

int GenICamConnection::search(void* system, const GenICamOpenRequest& request, void*& interface,
                              std::string& deviceId) {
  uint8_t selector = request.cameraLink ? 0 : 1;
  if (request.maker == "Active Silicon")
    selector = 1;
  int32_t rc = 0;
  try {
    rc = api_.TLUpdateInterfaceList(system, &selector, kListTimeoutMs);
  } catch (const std::exception& e) {
    debug(e.what());
    return kOpenInterfaceError;
  }
  if (rc == kModulesMissing)
    return kOpenModulesMissing;
  if (rc != 0) {
    debug(format("TLUpdateInterfaceList  Error : (%d)", rc));
    return kOpenInterfaceError;
  }
  uint32_t count = 0;
  if (api_.TLGetNumInterfaces(system, &count) != 0) {
    debug("TLGetNumInterfaces failed");
    return kOpenInterfaceError;
  }
  int running = 0;
  for (uint32_t i = 0; i < count; ++i) {
    std::string id, display;
    if (!queryText([&](char* b, size_t* s) { return api_.TLGetInterfaceID(system, i, b, s); }, id))
      continue;
    int32_t type = 0;
    if (!queryText(
            [&](char* b, size_t* s) {
              return api_.TLGetInterfaceInfo(system, id.c_str(), kInterfaceDisplayName, &type, b,
                                             s);
            },
            display))
      continue;
    const bool qualifies = display.find(request.portName) != std::string::npos ||
                           request.maker.find("Active Silicon") != std::string::npos ||
                           (request.maker.find("National Instruments") != std::string::npos &&
                            display.find("National Instruments") != std::string::npos);
    if (!qualifies) {
      debug("PortName(" + request.portName + ") DisplayName(" + display + ")");
      continue;
    }
    if (api_.TLOpenInterface(system, id.c_str(), &interface) != 0) {
      debug("TLOpenInterface failed");
      return kOpenInterfaceError;
    }
    uint8_t changed = 0;
    try {
      rc = api_.IFUpdateDeviceList(interface, &changed, kListTimeoutMs);
    } catch (...) {
      return kOpenDeviceListError;
    }
    if (rc != 0) {
      debug(format("Failed to connect the device. ERR(%d)\r\nPlease try again.", rc));
      if (rc == kAccessDenied)
        running = kOpenAccessDenied;
      continue;
    }
    uint32_t devices = 0;
    if (api_.IFGetNumDevices(interface, &devices) == -1001)
      debug("IFGetNumDevices failed");
    for (uint32_t d = 0; d < devices; ++d) {
      std::string device, name;
      if (!queryText([&](char* b, size_t* s) { return api_.IFGetDeviceID(interface, d, b, s); },
                     device))
        continue;
      if (!queryText(
              [&](char* b, size_t* s) {
                return api_.IFGetDeviceInfo(interface, device.c_str(), kDeviceDisplayName, &type, b,
                                            s);
              },
              name, true))
        continue;
      size_t first = name.find('#');
      size_t second = first == std::string::npos ? first : name.find('#', first + 1);
      if (second == std::string::npos)
        return kOpenDeviceListError;
      std::string token = name.substr(first + 1, second - first - 1);
      debug("DisplayName : " + token);
      if (token == request.deviceName || request.deviceName.empty()) {
        deviceId = device;
        token_ = token;
        matched_ = true;
        return 0;
      }
    }
  }
  return running;
}

bool GenICamConnection::terminalExchange(const std::string& line, std::string& received) {
  received.clear();
  std::string bytes = line + "\r";
  size_t size = bytes.size();
  int32_t rc = port_ ? api_.GCWritePort(port_, 0, bytes.data(), &size) : -1006;
  char text[96];
  std::snprintf(text, sizeof text, "\nGCWritePort[Length-%d] %s (%d) %p\n",
                static_cast<int>(bytes.size()), rc == 0 ? "true " : "false", rc, port_);
  debugOutput(text);
  if (rc != 0)
    return false;
  for (int round = 0; round < 64; ++round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(terminalPauseMs));
    // The transport layer cannot tell how many bytes are ready: ask for a whole chunk.
    std::string chunk(kTerminalChunk, '\0');
    size_t got = chunk.size();
    rc = api_.GCReadPort(port_, 0, chunk.data(), &got);
    std::snprintf(text, sizeof text, "\ncbReadDataLength - %d, %d\n", static_cast<int>(got), rc);
    debugOutput(text);
    if ((rc != 0 && !(rc == kNotReady && got < kTerminalChunk)) || got == 0 || rc == kNotReady)
      break;
    received.append(chunk.data(), got);
  }
  return true;
}

} // namespace kelpax
