// The transport-layer library libnqx.so.7: GenTL-style C calls over the transport modules it
// loads (the Camera Link module libnqxcl.so). Every call returns a GenTL code, 0 = success;
// a text query with a null buffer answers the size needed (with the terminating zero).
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef void* TL_HANDLE;
typedef void* IF_HANDLE;
typedef void* DEV_HANDLE;
typedef void* PORT_HANDLE;

int32_t GCInitLib(void);
int32_t GCCloseLib(void);
// mode: 1 opens every module found.
int32_t TLOpenMultiIF(TL_HANDLE* system, uint32_t* mode);
// *selector: 0 lists frame-grabber ports, any other value PC serial ports. -10020 when the
// module or the GenCP driver it needs is missing.
int32_t TLUpdateInterfaceList(TL_HANDLE system, uint8_t* selector, uint64_t timeoutMs);
int32_t TLGetNumInterfaces(TL_HANDLE system, uint32_t* count);
int32_t TLGetInterfaceID(TL_HANDLE system, uint32_t index, char* id, size_t* size);
int32_t TLGetInterfaceInfo(TL_HANDLE system, const char* id, int32_t command, int32_t* type,
                           void* buffer, size_t* size);
int32_t TLOpenInterface(TL_HANDLE system, const char* id, IF_HANDLE* interface);
// Closes the system handle; interfaces, devices and ports stay usable.
int32_t TLClose(TL_HANDLE system);
int32_t IFUpdateDeviceList(IF_HANDLE interface, uint8_t* changed, uint64_t timeoutMs);
int32_t IFGetNumDevices(IF_HANDLE interface, uint32_t* count);
int32_t IFGetDeviceID(IF_HANDLE interface, uint32_t index, char* id, size_t* size);
int32_t IFGetDeviceInfo(IF_HANDLE interface, const char* id, int32_t command, int32_t* type,
                        void* buffer, size_t* size);
int32_t IFOpenDevice(IF_HANDLE interface, const char* id, int32_t accessFlags, DEV_HANDLE* device);
int32_t DevClose(DEV_HANDLE device);
// The port handle is the device's CLProtocol::CCLPort (a GenApi::IPort as well).
int32_t DevGetPort(DEV_HANDLE device, PORT_HANDLE* port);
// Address 0: raw serial bytes; other addresses: registers. A raw read with nothing there yet
// returns -10004.
int32_t GCReadPort(PORT_HANDLE port, uint64_t address, void* buffer, size_t* size);
int32_t GCWritePort(PORT_HANDLE port, uint64_t address, const void* buffer, size_t* size);

} // extern "C"
