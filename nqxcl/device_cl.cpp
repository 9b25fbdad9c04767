// A camera opened on a Camera Link port: raw serial text at address 0, GenCP registers at
// every other address, both through the one CLProtocol port.
#include <cstring>

#include "nqxcl/module_settings.h"
#include "nqxcl/nqxcl.h"

using nqxcl::CopyInfoText;
using nqxcl::LogEvent;

CDeviceCL::CDeviceCL(CInterfaceCL* interface, const GenTL::GRABBER::INTERFACE_INFO* info,
                     NQXEventLog* eventLog)
    : interface_(interface), eventLog_(eventLog) {
  if (info)
    info_ = *info;
  LogEvent(eventLog_, 4, "The constructor of CDeviceCL class has been called.", "DeviceCL",
           "CDeviceCL::CDeviceCL", __LINE__);
}

CDeviceCL::~CDeviceCL() {
  LogEvent(eventLog_, 4, "The destructor of CDeviceCL class has been called.", "DeviceCL",
           "CDeviceCL::~CDeviceCL", __LINE__);
}

int CDeviceCL::Connect() {
  if (!interface_)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  if (info_.portId[0] == '\0')
    return GenTL::GC_ERR_ERROR;
  try {
    port_.Connect(info_.portId, nqxcl::GenCpDriverTemplate());
    const uint32_t supported = port_.SupportedBaudrates();
    for (uint32_t rate : {16u, 8u, 4u, 2u, 1u}) {
      if (supported & rate) {
        port_.SetDeviceBauderate(rate);
        break;
      }
    }
    const uint8_t open[4] = {0, 0, 0, 1};
    port_.Write(open, kMessageChannelRegister, 4);
    return 0;
  } catch (const GenICam::GenericException& e) {
    nqxcl::DebugOut(std::string("Exception ") + e.GetDescription());
  } catch (...) {
    nqxcl::DebugOut("Exception");
  }
  return GenTL::GC_ERR_ERROR;
}

int CDeviceCL::Close() {
  if (!interface_)
    return GenTL::GC_ERR_INVALID_HANDLE;
  interface_->RemoveDevice(this); // destroys this object
  return 0;
}

int CDeviceCL::GetInfo(int command, int32_t* type, void* buffer, size_t* size) {
  switch (command) {
  case 3:
    return CopyInfoText("CL", type, buffer, size);
  case 0:
  case 1:
  case 2:
  case 4:
  case 5:
  case 1002:
  case 1003:
    return GenTL::GC_ERR_NOT_IMPLEMENTED;
  default:
    return GenTL::GC_ERR_INVALID_PARAMETER;
  }
}

int CDeviceCL::ReadPort(uint64_t address, void* buffer, size_t* size) {
  if (!buffer || !size)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  try {
    if (address == 0) {
      uint32_t count = static_cast<uint32_t>(*size);
      int32_t rc =
          port_.ClSerialRead(static_cast<uint8_t*>(buffer), &count, port_.GetSerialTimeout());
      *size = count;
      return rc;
    }
    port_.Read(buffer, static_cast<int64_t>(address), static_cast<int64_t>(*size));
    return 0;
  } catch (const GenICam::GenericException& e) {
    nqxcl::DebugOut(e.GetDescription());
    return GenTL::GC_ERR_ERROR;
  }
}

int CDeviceCL::WritePort(uint64_t address, const void* buffer, size_t* size) {
  if (!buffer || !size)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  try {
    if (address == 0) {
      uint32_t count = static_cast<uint32_t>(*size);
      int32_t rc = port_.ClSerialWrite(static_cast<const uint8_t*>(buffer), &count,
                                       port_.GetSerialTimeout());
      *size = count;
      return rc == 0 ? 0 : GenTL::GC_ERR_ERROR;
    }
    port_.Write(buffer, static_cast<int64_t>(address), static_cast<int64_t>(*size));
    return 0;
  } catch (const GenICam::GenericException& e) {
    nqxcl::DebugOut(e.GetDescription());
    return GenTL::GC_ERR_ERROR;
  }
}

int CDeviceCL::GetPortInfo(int command, int32_t* type, void* buffer, size_t* size) {
  if (!type || !size)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  if (command == 3)
    return CopyInfoText("CL", type, buffer, size);
  if (command >= 0 && command <= 12)
    return GenTL::GC_ERR_NOT_IMPLEMENTED;
  return GenTL::GC_ERR_ERROR;
}

int CDeviceCL::GetPort(void** handle) {
  if (!handle)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  *handle = &port_;
  return 0;
}
