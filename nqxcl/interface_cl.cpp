// One Camera Link port as a transport-layer interface: the probe for its camera and the open.
#include <algorithm>
#include <cstring>

#include "nqxcl/module_settings.h"
#include "nqxcl/nqxcl.h"

using nqxcl::CopyInfoText;
using nqxcl::LogEvent;

CInterfaceCL::CInterfaceCL(CNQXCL* module, NQXEventLog* eventLog)
    : module_(module), eventLog_(eventLog), optionFolders_(nqxcl::SettingOptionsFolders()) {
  LogEvent(eventLog_, 4, "The constructor of CInterfaceCL class has been called.", "InterfaceCL",
           "CInterfaceCL::CInterfaceCL", __LINE__);
}

CInterfaceCL::~CInterfaceCL() {
  for (auto& device : openDevices_)
    if (device)
      device->DetachFromInterface();
  openDevices_.clear();
  LogEvent(eventLog_, 4, "The destructor of CInterfaceCL class has been called.", "InterfaceCL",
           "CInterfaceCL::~CInterfaceCL", __LINE__);
}

void CInterfaceCL::SetInterfaceInfo(const GenTL::GRABBER::INTERFACE_INFO& info) {
  info_ = std::make_unique<GenTL::GRABBER::INTERFACE_INFO>(info);
}

int CInterfaceCL::UpdateDeviceList(bool* changed, int64_t /*timeout*/) {
  if (!info_)
    return GenTL::GC_ERR_INVALID_HANDLE;
  deviceTable_.clear();
  std::vector<std::string> templates;
  module_->GetDeviceTemplate(templates);
  if (templates.empty())
    return GenTL::GC_ERR_ERROR;
  const std::string& deviceTemplate = templates.front();
  const uint32_t mask = nqxcl::ProbeBaudMask(optionFolders_);
  std::string answer;
  try {
    answer = CLProtocol::CCLPort::FastProbeDevice(info_->portId, deviceTemplate, 500, mask);
  } catch (const GenICam::GenericException& e) {
    nqxcl::DebugOut(e.GetDescription());
    listed_ = true;
    return GenTL::GC_ERR_ACCESS_DENIED;
  }
  listed_ = true;
  if (answer.empty())
    return GenTL::GC_ERR_NOT_AVAILABLE;
  std::string id;
  try {
    id = nqxcl::DeviceIdFromProbe(answer);
  } catch (const GenICam::GenericException& e) {
    nqxcl::DebugOut(e.GetDescription());
    return GenTL::GC_ERR_NOT_AVAILABLE;
  }
  if (!deviceTable_.count(id)) {
    GenTL::GRABBER::DEVICE_INFO info{};
    std::strncpy(info.deviceId, id.c_str(), sizeof info.deviceId - 1);
    std::strncpy(info.deviceTemplate, deviceTemplate.c_str(), sizeof info.deviceTemplate - 1);
    deviceTable_[id] = info;
    if (changed)
      *changed = true;
  }
  return 0;
}

int CInterfaceCL::GetNumDevices(uint32_t* count) {
  if (!listed_)
    UpdateDeviceList(nullptr, 100);
  if (!listed_)
    return GenTL::GC_ERR_ERROR;
  if (count)
    *count = static_cast<uint32_t>(deviceTable_.size());
  return 0;
}

int CInterfaceCL::GetDeviceID(uint32_t index, std::string* id) {
  if (!listed_)
    UpdateDeviceList(nullptr, 100);
  if (deviceTable_.empty())
    return GenTL::GC_ERR_ERROR;
  if (index >= deviceTable_.size() || !id)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  auto it = deviceTable_.begin();
  std::advance(it, index);
  *id = it->first;
  return 0;
}

int CInterfaceCL::GetDeviceInfo(const char* id, int command, int32_t* type, void* buffer,
                                size_t* size) {
  if (command == 1006)
    return GenTL::GC_ERR_NOT_IMPLEMENTED;
  if (command != 4)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  if (!id || !deviceTable_.count(id)) {
    LogEvent(eventLog_, 1, "GC_ERR_INVALID_PARAMETER", "InterfaceCL",
             "CInterfaceCL::GetDeviceInfoInternal", __LINE__);
    return GenTL::GC_ERR_INVALID_PARAMETER;
  }
  std::string spaced = id;
  std::replace(spaced.begin(), spaced.end(), '#', ' ');
  return CopyInfoText("ID:" + std::string(id) + " " + spaced, type, buffer, size);
}

int CInterfaceCL::OpenDevice(const char* id, int /*accessFlags*/, IDevice** handle) {
  if (!listed_)
    UpdateDeviceList(nullptr, 100);
  if (!id)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  if (openDeviceTable_.count(id))
    return GenTL::GC_ERR_RESOURCE_IN_USE;
  auto device = std::make_unique<CDeviceCL>(this, info_.get(), eventLog_);
  if (!deviceTable_.count(id))
    return GenTL::GC_ERR_INVALID_PARAMETER;
  CDeviceCL* raw = device.get();
  auto slot = std::find(openDevices_.begin(), openDevices_.end(), nullptr);
  if (slot != openDevices_.end())
    *slot = std::move(device);
  else
    openDevices_.push_back(std::move(device));
  int rc = raw->Connect();
  if (rc != 0) {
    for (auto& open : openDevices_)
      if (open.get() == raw)
        open.reset();
    return rc;
  }
  openDeviceTable_[id] = raw;
  if (handle)
    *handle = raw;
  return 0;
}

void CInterfaceCL::RemoveDevice(CDeviceCL* device) {
  for (auto it = openDeviceTable_.begin(); it != openDeviceTable_.end();)
    it = it->second == device ? openDeviceTable_.erase(it) : std::next(it);
  for (auto& open : openDevices_)
    if (open.get() == device)
      open.reset();
}

int CInterfaceCL::GetInfo(int command, int32_t* type, void* buffer, size_t* size) {
  if (!info_)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  switch (command) {
  case 0:
    return CopyInfoText(info_->id, type, buffer, size);
  case 1:
    return CopyInfoText("ID:" + std::string(info_->id) + " " + info_->portId, type, buffer, size);
  case 2:
    return CopyInfoText("CL", type, buffer, size);
  case 1005:
    return CopyInfoText(info_->portId, type, buffer, size);
  default:
    return GenTL::GC_ERR_INVALID_PARAMETER;
  }
}

int CInterfaceCL::GetPortURL(char* buffer, size_t* size) {
  const std::string& url = module_->portUrl();
  if (url.empty() || !size)
    return GenTL::GC_ERR_ERROR;
  int32_t type = 0;
  return CopyInfoText(url, &type, buffer, size);
}

int CInterfaceCL::GetParent(INQX** module) {
  if (!module)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  *module = module_;
  return 0;
}
