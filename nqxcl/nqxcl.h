// The Camera Link module: lists Camera Link serial ports (and PC serial ports) as interfaces of
// the transport layer, probes the GenCP camera on a port and opens it as a device whose port
// gives raw serial text at address 0 and GenCP registers everywhere else.
#pragma once

#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CLProtocol/CLPort.h"
#include "nqx/NqxModule.h"

#define NQXCL_EXPORT __attribute__((visibility("default")))

class CInterfaceCL;
class CDeviceCL;

class NQXCL_EXPORT CNQXCL : public INQX {
public:
  CNQXCL();
  explicit CNQXCL(NQXEventLog* eventLog);
  ~CNQXCL() override;
  const char* GetRuntimeClassName() const override { return "CNQXCL"; }

  int InitObject() override { return 1; }
  int ExitObject() override { return 1; }
  int GetInterfacesNum(uint32_t* count) override;
  int UpdateInterfaceList(bool* selector, int64_t timeout) override;
  int GetInterfaceID(uint32_t index, std::string* id) override;
  int GetInterfaceInfo(const char* id, int command, int32_t* type, void* buffer,
                       size_t* size) override;
  int GetPortInfo(int command, int32_t* type, void* buffer, size_t* size) override;
  int GetPortURLInfo(uint32_t index, int command, int32_t* type, void* buffer,
                     size_t* size) override;
  int OpenInterface(const char* id, IInterface** handle) override;
  int GetInfo(int command, int32_t* type, void* buffer, size_t* size) override;
  int GetPortURL(char*, size_t*) override { return GenTL::GC_ERR_ERROR; }
  int ReadPort(uint64_t, void*, size_t*) override { return GenTL::GC_ERR_ERROR; }
  int WritePort(uint64_t, const void*, size_t*) override { return GenTL::GC_ERR_ERROR; }
  int GCGetInfo(int command, int32_t* type, void* buffer, size_t* size) override;
  int CloseInterface(IInterface*) override { return 0; }
  int GetLastError() const override { return lastError_; }

  void AddInterface(CInterfaceCL* interface);
  int GetDeviceTemplate(std::vector<std::string>& templates) const;
  // The module-wide port URL (none is set by this module).
  const std::string& portUrl() const { return portUrl_; }
  NQXEventLog* eventLog() const { return eventLog_; }
  // The four values the host reads (time-outs and counts of its own).
  int hostSettings[4] = {3000, 1, 5000, 100};

private:
  void* RegOpenKeyNQXData() { return nullptr; }

  int lastError_ = 0;
  NQXEventLog* eventLog_ = nullptr;
  std::vector<std::string> templates_;
  std::map<std::string, GenTL::GRABBER::INTERFACE_INFO> interfaceTable_;
  std::list<std::unique_ptr<CInterfaceCL>> openInterfaces_;
  std::string portUrl_;
  bool ready_ = false;
};

class NQXCL_EXPORT CInterfaceCL : public IInterface {
public:
  CInterfaceCL(CNQXCL* module, NQXEventLog* eventLog);
  ~CInterfaceCL() override;
  const char* GetRuntimeClassName() const override { return "CInterfaceCL"; }

  int Close() override { return GenTL::GC_ERR_NOT_IMPLEMENTED; }
  int GetDeviceID(uint32_t index, std::string* id) override;
  int GetNumDevices(uint32_t* count) override;
  int UpdateDeviceList(bool* changed, int64_t timeout) override;
  int GetDeviceInfo(const char* id, int command, int32_t* type, void* buffer,
                    size_t* size) override;
  int OpenDevice(const char* id, int accessFlags, IDevice** handle) override;
  int GetInfo(int command, int32_t* type, void* buffer, size_t* size) override;
  int GetPortInfo(int, int32_t*, void*, size_t*) override { return kNotImplemented; }
  int GetPortURL(char* buffer, size_t* size) override;
  int GetPortURLInfo(uint32_t, int, int32_t*, void*, size_t*) override { return kNotImplemented; }
  int ReadPort(uint64_t, void*, size_t*) override { return kNotImplemented; }
  int WritePort(uint64_t, const void*, size_t*) override { return kNotImplemented; }
  int RegisterEvent(int) override { return kNotImplemented; }
  int UnregisterEvent(int) override { return kNotImplemented; }
  int GetNumPortURLs(uint32_t*) override { return kNotImplemented; }
  int GetParent(INQX** module) override;

  void SetInterfaceInfo(const GenTL::GRABBER::INTERFACE_INFO& info);
  const GenTL::GRABBER::INTERFACE_INFO* interfaceInfo() const { return info_.get(); }
  std::string id() const { return info_ ? info_->id : ""; }
  // Takes an open device out of the tables and destroys it.
  void RemoveDevice(CDeviceCL* device);
  // Where probes look for the line-rate option file (tests point it elsewhere).
  void SetSettingOptionsFolders(std::vector<std::string> folders) {
    optionFolders_ = std::move(folders);
  }

private:
  static constexpr int kNotImplemented = GenTL::GC_ERR_NOT_IMPLEMENTED;

  CNQXCL* module_;
  NQXEventLog* eventLog_;
  std::unique_ptr<GenTL::GRABBER::INTERFACE_INFO> info_;
  std::map<std::string, GenTL::GRABBER::DEVICE_INFO> deviceTable_;
  std::map<std::string, CDeviceCL*> openDeviceTable_;
  std::vector<std::unique_ptr<CDeviceCL>> openDevices_; // a null slot is free
  bool listed_ = false;
  std::vector<std::string> optionFolders_;
};

class NQXCL_EXPORT CDeviceCL : public IDevice {
public:
  CDeviceCL(CInterfaceCL* interface, const GenTL::GRABBER::INTERFACE_INFO* info,
            NQXEventLog* eventLog);
  ~CDeviceCL() override;
  const char* GetRuntimeClassName() const override { return "CDeviceCL"; }

  // Connects the port to the camera, takes the line to the fastest rate both support and
  // opens the camera's message channel. 0, -1009 without interface, -1001 on any failure.
  int Connect();

  int Close() override;
  int GetInfo(int command, int32_t* type, void* buffer, size_t* size) override;
  int ReadPort(uint64_t address, void* buffer, size_t* size) override;
  int WritePort(uint64_t address, const void* buffer, size_t* size) override;
  int GetNumDataStreams(uint32_t*) override { return kNotImplemented; }
  int GetDataStreamID(uint32_t, std::string*) override { return kNotImplemented; }
  int OpenDataStream(const char*, void**) override { return kNotImplemented; }
  int GetRemotePort(void**) override { return kNotImplemented; }
  int GetPortURL(char*, size_t*) override { return kNotImplemented; }
  int GetPortURLInfo(uint32_t, int, int32_t*, void*, size_t*) override { return kNotImplemented; }
  int RegisterEvent(int) override { return kNotImplemented; }
  int UnregisterEvent(int) override { return kNotImplemented; }
  int EventGetData(void*, size_t*, uint64_t) override { return kNotImplemented; }
  int EventFlush() override { return kNotImplemented; }
  int EventKill() override { return kNotImplemented; }
  int GetPortInfo(int command, int32_t* type, void* buffer, size_t* size) override;
  int GetNumPortURLs(uint32_t*) override { return kNotImplemented; }
  int GetParentInterface(IInterface**) override { return kNotImplemented; }
  int GetPort(void** handle) override;
  int Reserved24() override { return kNotImplemented; }
  int Reserved25() override { return kNotImplemented; }
  int Reserved26() override { return kNotImplemented; }
  int IsOpen() override { return 1; }
  int Reserved28() override { return kNotImplemented; }
  int Reserved29() override { return kNotImplemented; }
  int Reset() override { return 0; }

  CLProtocol::CCLPort& port() { return port_; }
  void DetachFromInterface() { interface_ = nullptr; }

  // The camera's message-channel register the module opens after connecting.
  static constexpr int64_t kMessageChannelRegister = 0x1EC;

private:
  static constexpr int kNotImplemented = GenTL::GC_ERR_NOT_IMPLEMENTED;

  CLProtocol::CCLPort port_;
  CInterfaceCL* interface_;
  GenTL::GRABBER::INTERFACE_INFO info_{};
  NQXEventLog* eventLog_;
};

extern "C" NQXCL_EXPORT INQX* AllocateNQXFunc(NQXEventLog* eventLog);
