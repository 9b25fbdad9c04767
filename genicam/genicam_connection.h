// The GenICam connection of a camera listed in DeviceModelList.ini: the open through the
// transport layer (interfaces, devices, the device whose name is the model), the description
// read through the device port into the node map, the raw text channel of the terminal, and the
// close. No window: the GenICam window shows what this holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace GenApi {
class CNodeMapRef;
}

namespace kelpax {

// The transport layer's calls as the open uses them; the library's by default, fakes in tests.
struct TransportLayerApi {
  int32_t (*GCInitLib)();
  int32_t (*GCCloseLib)();
  int32_t (*TLOpenMultiIF)(void** system, uint32_t* mode);
  int32_t (*TLUpdateInterfaceList)(void* system, uint8_t* selector, uint64_t timeoutMs);
  int32_t (*TLGetNumInterfaces)(void* system, uint32_t* count);
  int32_t (*TLGetInterfaceID)(void* system, uint32_t index, char* id, size_t* size);
  int32_t (*TLGetInterfaceInfo)(void* system, const char* id, int32_t command, int32_t* type,
                                void* buffer, size_t* size);
  int32_t (*TLOpenInterface)(void* system, const char* id, void** interface);
  int32_t (*TLClose)(void* system);
  int32_t (*IFUpdateDeviceList)(void* interface, uint8_t* changed, uint64_t timeoutMs);
  int32_t (*IFGetNumDevices)(void* interface, uint32_t* count);
  int32_t (*IFGetDeviceID)(void* interface, uint32_t index, char* id, size_t* size);
  int32_t (*IFGetDeviceInfo)(void* interface, const char* id, int32_t command, int32_t* type,
                             void* buffer, size_t* size);
  int32_t (*IFOpenDevice)(void* interface, const char* id, int32_t access, void** device);
  int32_t (*DevGetPort)(void* device, void** port);
  int32_t (*GCReadPort)(void* port, uint64_t address, void* buffer, size_t* size);
  int32_t (*GCWritePort)(void* port, uint64_t address, const void* buffer, size_t* size);
};
TransportLayerApi nqxTransportLayer();

// Reads the description through a port handle of the transport layer (the port's GetXML).
using DescriptionReader = std::function<std::string(void* port)>;
// A port handle as the node map's port.
using PortAdapter = std::function<void*(void* port)>;

struct GenICamOpenRequest {
  std::string maker;      // frame-grabber maker of the port
  std::string portName;   // the port's name in the port list
  std::string deviceName; // the camera model ("gmn" answer); empty takes the first device
  bool cameraLink = true; // a frame-grabber port, not a PC serial port
};

// Open results besides 0.
inline constexpr int kOpenNoNodeMap = -1001;
inline constexpr int kOpenInterfaceError = -10002;
inline constexpr int kOpenDeviceListError = -10003;
inline constexpr int kOpenDeviceError = -10004;
inline constexpr int kOpenXmlEmpty = -10005;
inline constexpr int kOpenXmlLoadError = -10006;
inline constexpr int kOpenAccessDenied = -10007;
inline constexpr int kOpenModulesMissing = -10008;

class GenICamConnection {
public:
  // With no arguments: the transport-layer library and CLProtocol ports.
  GenICamConnection();
  GenICamConnection(TransportLayerApi api, DescriptionReader readDescription,
                    PortAdapter asGenApiPort);
  ~GenICamConnection(); // GCCloseLib, then the node map goes
  GenICamConnection(const GenICamConnection&) = delete;
  GenICamConnection& operator=(const GenICamConnection&) = delete;

  // Runs the open. 0: a device matched and its description is in the node map, or no device
  // matched and nothing failed (the caller then shows an earlier node map or gives up with
  // -1001). A second open with the same description reuses the node map on the new port; a
  // different description gives -10006, since one node map holds one description.
  int open(const GenICamOpenRequest& request);
  bool matched() const { return matched_; }

  GenApi::CNodeMapRef* nodeMap() const { return nodeMap_.get(); }
  void* device() const { return device_; }
  void* port() const { return port_; }
  // The device name between the first and second "#" of the matched display name.
  const std::string& deviceToken() const { return token_; }
  const std::string& description() const { return description_; }

  // Sends a terminal line at address 0 and collects what comes back (the terminal's read
  // loop). False when the write failed.
  bool terminalExchange(const std::string& line, std::string& received);

  // Every debug line the open wrote, also sent to the program's debug output.
  const std::vector<std::string>& debugLines() const { return debugLines_; }
  const TransportLayerApi& api() const { return api_; }

  // The terminal's waits (ms); tests shorten them.
  int terminalPauseMs = 200;

private:
  void debug(const std::string& line);
  int search(void* system, const GenICamOpenRequest& request, void*& interface,
             std::string& deviceId);

  TransportLayerApi api_;
  DescriptionReader readDescription_;
  PortAdapter asGenApiPort_;
  bool initialised_ = false;
  bool matched_ = false;
  std::unique_ptr<GenApi::CNodeMapRef> nodeMap_;
  std::string description_;
  void* device_ = nullptr;
  void* port_ = nullptr;
  std::string token_;
  std::vector<std::string> debugLines_;
};

} // namespace kelpax
