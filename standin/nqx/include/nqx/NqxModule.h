// What a transport module (such as the Camera Link module libnqxcl.so) presents to the
// transport-layer library: the module, interface and device interfaces in the slot order
// the library calls them, the records a module keeps per port and per device, the event log
// it writes to, and the GenTL codes and info commands both sides use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace GenTL {

enum : int32_t {
  GC_ERR_SUCCESS = 0,
  GC_ERR_ERROR = -1001,
  GC_ERR_NOT_INITIALIZED = -1002,
  GC_ERR_NOT_IMPLEMENTED = -1003,
  GC_ERR_RESOURCE_IN_USE = -1004,
  GC_ERR_ACCESS_DENIED = -1005,
  GC_ERR_INVALID_HANDLE = -1006,
  GC_ERR_INVALID_ID = -1007,
  GC_ERR_NO_DATA = -1008,
  GC_ERR_INVALID_PARAMETER = -1009,
  GC_ERR_IO = -1010,
  GC_ERR_TIMEOUT = -1011,
  GC_ERR_ABORT = -1012,
  GC_ERR_INVALID_BUFFER = -1013,
  GC_ERR_NOT_AVAILABLE = -1014,
  GC_ERR_INVALID_ADDRESS = -1015,
  // The transport layer's own: a module or environment variable it needs is missing.
  NQX_ERR_MODULES_MISSING = -10020,
};

// Info data types.
enum : int32_t { INFO_DATATYPE_STRING = 1, INFO_DATATYPE_BOOL8 = 11 };

namespace GRABBER {

// One port of a module, 268 bytes.
struct INTERFACE_INFO {
  uint32_t reserved0;    // 0
  char id[4];            // "I00", "I01", ...
  char portId[128];      // CLProtocol port ID, zero-terminated
  char reserved136[128]; // zero
  uint32_t flags;        // 0x00100000
};
static_assert(sizeof(INTERFACE_INFO) == 268);
static_assert(offsetof(INTERFACE_INFO, id) == 4);
static_assert(offsetof(INTERFACE_INFO, portId) == 8);
static_assert(offsetof(INTERFACE_INFO, reserved136) == 136);
static_assert(offsetof(INTERFACE_INFO, flags) == 264);

// One device found on a port, 1024 bytes.
struct DEVICE_INFO {
  char deviceId[512];       // zero-padded
  char deviceTemplate[512]; // the device-ID template the probe used
};
static_assert(sizeof(DEVICE_INFO) == 1024);

} // namespace GRABBER
} // namespace GenTL

// The event log the library hands to a module: each entry is a level (1 error, 2 warning,
// 4 information), an event ID and the text. A null log means no logging.
struct NQXEventLog {
  void (*report)(void* context, int level, uint32_t eventId, const char* text);
  void* context;
};

// The five slots of the dialog framework's object base that every module class begins with.
class CObject {
public:
  virtual const char* GetRuntimeClassName() const { return "CObject"; } // slot 0
  virtual ~CObject() = default;                                         // slot 1
  virtual void Serialize(void* /*archive*/) {}                          // slot 2
  virtual void AssertValid() const {}                                   // slot 3
  virtual void Dump(void* /*context*/) const {}                         // slot 4
};

class IInterface;
class IDevice;
class INQX;

// Sizes are in and out: the room in the buffer, then the bytes used (with the terminating
// zero for texts). Every call returns a GenTL code unless said otherwise.

class INQX : public CObject {
public:
  virtual int InitObject() = 0;                                         // 5: 1
  virtual int ExitObject() = 0;                                         // 6: 1
  virtual int GetInterfacesNum(uint32_t* count) = 0;                    // 7: 1
  virtual int UpdateInterfaceList(bool* selector, int64_t timeout) = 0; // 8: 1 or 0
  virtual int GetInterfaceID(uint32_t index, std::string* id) = 0;      // 9
  virtual int GetInterfaceInfo(const char* id, int command, int32_t* type, void* buffer,
                               size_t* size) = 0;                                      // 10
  virtual int GetPortInfo(int command, int32_t* type, void* buffer, size_t* size) = 0; // 11
  virtual int GetPortURLInfo(uint32_t index, int command, int32_t* type, void* buffer,
                             size_t* size) = 0;                                      // 12
  virtual int OpenInterface(const char* id, IInterface** handle) = 0;                // 13: 0
  virtual int GetInfo(int command, int32_t* type, void* buffer, size_t* size) = 0;   // 14
  virtual int GetPortURL(char* buffer, size_t* size) = 0;                            // 15
  virtual int ReadPort(uint64_t address, void* buffer, size_t* size) = 0;            // 16
  virtual int WritePort(uint64_t address, const void* buffer, size_t* size) = 0;     // 17
  virtual int GCGetInfo(int command, int32_t* type, void* buffer, size_t* size) = 0; // 18
  virtual int CloseInterface(IInterface* handle) = 0;                                // 19
  // The module's last error (-10020 when its own modules are missing).
  virtual int GetLastError() const = 0; // 20
};

class IInterface : public CObject {
public:
  virtual int Close() = 0;                                          // 5
  virtual int GetDeviceID(uint32_t index, std::string* id) = 0;     // 6
  virtual int GetNumDevices(uint32_t* count) = 0;                   // 7
  virtual int UpdateDeviceList(bool* changed, int64_t timeout) = 0; // 8
  virtual int GetDeviceInfo(const char* id, int command, int32_t* type, void* buffer,
                            size_t* size) = 0;                                         // 9
  virtual int OpenDevice(const char* id, int accessFlags, IDevice** handle) = 0;       // 10
  virtual int GetInfo(int command, int32_t* type, void* buffer, size_t* size) = 0;     // 11
  virtual int GetPortInfo(int command, int32_t* type, void* buffer, size_t* size) = 0; // 12
  virtual int GetPortURL(char* buffer, size_t* size) = 0;                              // 13
  virtual int GetPortURLInfo(uint32_t index, int command, int32_t* type, void* buffer,
                             size_t* size) = 0;                                  // 14
  virtual int ReadPort(uint64_t address, void* buffer, size_t* size) = 0;        // 15
  virtual int WritePort(uint64_t address, const void* buffer, size_t* size) = 0; // 16
  virtual int RegisterEvent(int eventType) = 0;                                  // 17
  virtual int UnregisterEvent(int eventType) = 0;                                // 18
  virtual int GetNumPortURLs(uint32_t* count) = 0;                               // 19
  virtual int GetParent(INQX** module) = 0;                                      // 20
};

class IDevice : public CObject {
public:
  virtual int Close() = 0;                                                         // 5
  virtual int GetInfo(int command, int32_t* type, void* buffer, size_t* size) = 0; // 6
  virtual int ReadPort(uint64_t address, void* buffer, size_t* size) = 0;          // 7
  virtual int WritePort(uint64_t address, const void* buffer, size_t* size) = 0;   // 8
  // Slots 9 to 19 (streams, events, URLs) are not offered by serial devices: -1003.
  virtual int GetNumDataStreams(uint32_t* count) = 0;               // 9
  virtual int GetDataStreamID(uint32_t index, std::string* id) = 0; // 10
  virtual int OpenDataStream(const char* id, void** handle) = 0;    // 11
  virtual int GetRemotePort(void** handle) = 0;                     // 12
  virtual int GetPortURL(char* buffer, size_t* size) = 0;           // 13
  virtual int GetPortURLInfo(uint32_t index, int command, int32_t* type, void* buffer,
                             size_t* size) = 0;                                        // 14
  virtual int RegisterEvent(int eventType) = 0;                                        // 15
  virtual int UnregisterEvent(int eventType) = 0;                                      // 16
  virtual int EventGetData(void* buffer, size_t* size, uint64_t timeout) = 0;          // 17
  virtual int EventFlush() = 0;                                                        // 18
  virtual int EventKill() = 0;                                                         // 19
  virtual int GetPortInfo(int command, int32_t* type, void* buffer, size_t* size) = 0; // 20
  virtual int GetNumPortURLs(uint32_t* count) = 0;                                     // 21
  virtual int GetParentInterface(IInterface** handle) = 0;                             // 22
  // The device's port: its CLProtocol port object (a CLProtocol::CCLPort, also a GenApi
  // IPort), which the transport layer hands out as the port handle.
  virtual int GetPort(void** handle) = 0; // 23
  virtual int Reserved24() = 0;           // 24: -1003
  virtual int Reserved25() = 0;           // 25: -1003
  virtual int Reserved26() = 0;           // 26: -1003
  virtual int IsOpen() = 0;               // 27: 1
  virtual int Reserved28() = 0;           // 28: -1003
  virtual int Reserved29() = 0;           // 29: -1003
  virtual int Reset() = 0;                // 30: 0
};

// The module's one C export.
using AllocateNQXFunc_t = INQX* (*)(NQXEventLog* eventLog);
