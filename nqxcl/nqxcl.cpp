// The Camera Link module object: the port list as interfaces, and the transport-layer
// information.
#include "nqxcl/nqxcl.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "nqxcl/module_settings.h"

using nqxcl::CopyInfoText;
using nqxcl::LogEvent;

namespace {

std::string upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

} // namespace

CNQXCL::CNQXCL() : CNQXCL(nullptr) {}

CNQXCL::CNQXCL(NQXEventLog* eventLog) : eventLog_(eventLog), ready_(true) {
  LogEvent(eventLog_, 4, "The constructor of CNQXCL class has been called.", "NQXCL",
           "CNQXCL::CNQXCL", __LINE__);
}

CNQXCL::~CNQXCL() {
  LogEvent(eventLog_, 4, "The destructor of CNQXCL class has been called.", "NQXCL",
           "CNQXCL::~CNQXCL", __LINE__);
  openInterfaces_.clear();
  interfaceTable_.clear();
}

int CNQXCL::GetInterfacesNum(uint32_t* count) {
  if (count)
    *count = static_cast<uint32_t>(interfaceTable_.size());
  return 1;
}

int CNQXCL::UpdateInterfaceList(bool* selector, int64_t /*timeout*/) {
  if (!selector)
    return 0;
  interfaceTable_.clear();
  const unsigned char wanted = *reinterpret_cast<const unsigned char*>(selector);
  GenICam::gcstring_vector portIds;
  GenICam::gcstring_vector templates;
  try {
    CLProtocol::CCLPort::GetPortIDs(portIds);
    CLProtocol::CCLPort::GetDeviceIDTemplates(templates);
  } catch (const GenICam::RuntimeException& e) {
    LogEvent(eventLog_, 1, e.GetDescription(), "NQXCL", "CNQXCL::UpdateInterfaceList", __LINE__);
    int error = CLProtocol::GetLastSystemError();
    nqxcl::DebugOut("Debug:" + std::to_string(error));
    lastError_ = error == CLProtocol::kErrorEnvVarNotFound || error == CLProtocol::kErrorModNotFound
                     ? GenTL::NQX_ERR_MODULES_MISSING
                     : GenTL::GC_ERR_ERROR;
    return 0;
  } catch (const GenICam::GenericException& e) {
    LogEvent(eventLog_, 1, e.GetDescription(), "NQXCL", "CNQXCL::UpdateInterfaceList", __LINE__);
    return 0;
  } catch (...) {
    std::string text = "ErrorCode : " + std::to_string(errno);
    LogEvent(eventLog_, 1, text.c_str(), "NQXCL", "CNQXCL::UpdateInterfaceList", __LINE__);
    return 0;
  }
  const uint32_t com1Usable = portIds.empty() ? 0 : nqxcl::ComPort1Usable();
  for (const std::string& portId : portIds) {
    const std::string id = upper(portId);
    const bool isCom = id.find("COM_PORT") != std::string::npos;
    if (wanted == 0 && (isCom || id.find("WINDOWS") != std::string::npos))
      continue;
    if (wanted != 0 && !isCom)
      continue;
    if (com1Usable == 0 && id == "COM_PORT#COM1")
      continue;
    bool listed = std::any_of(interfaceTable_.begin(), interfaceTable_.end(),
                              [&](auto& entry) { return portId == entry.second.portId; });
    if (listed || portId.size() >= sizeof(GenTL::GRABBER::INTERFACE_INFO::portId))
      continue;
    GenTL::GRABBER::INTERFACE_INFO info{};
    std::snprintf(info.id, sizeof info.id, "I%02d", static_cast<int>(interfaceTable_.size() % 100));
    std::memcpy(info.portId, portId.c_str(), portId.size() + 1);
    info.flags = 0x00100000;
    interfaceTable_[info.id] = info;
  }
  if (!templates.empty()) {
    templates_.clear();
    for (const std::string& t : templates) {
      try {
        templates_.push_back(CLProtocol::CDeviceID::FromString(t).GetShortDeviceID());
      } catch (const GenICam::GenericException& e) {
        LogEvent(eventLog_, 2, e.GetDescription(), "NQXCL", "CNQXCL::UpdateInterfaceList",
                 __LINE__);
      }
    }
  }
  return 1;
}

int CNQXCL::GetInterfaceID(uint32_t index, std::string* id) {
  if (!id || index >= interfaceTable_.size())
    return GenTL::GC_ERR_INVALID_PARAMETER;
  if (!ready_)
    return GenTL::GC_ERR_ERROR;
  auto it = interfaceTable_.begin();
  std::advance(it, index);
  *id = it->first;
  return 0;
}

int CNQXCL::GetInterfaceInfo(const char* id, int command, int32_t* type, void* buffer,
                             size_t* size) {
  if (!type || !size)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  auto it = id ? interfaceTable_.find(id) : interfaceTable_.end();
  if (it == interfaceTable_.end())
    return GenTL::GC_ERR_ERROR;
  switch (command) {
  case 0:
    return CopyInfoText(it->first, type, buffer, size);
  case 1:
    return CopyInfoText("ID:" + it->first + " " + it->second.portId, type, buffer, size);
  case 2:
    return CopyInfoText("GEV", type, buffer, size);
  default:
    return GenTL::GC_ERR_ERROR;
  }
}

int CNQXCL::GetPortInfo(int command, int32_t* type, void* buffer, size_t* size) {
  if (!type || !buffer || !size || *size == 0)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  if (command == 5 || command == 6) {
    *type = GenTL::INFO_DATATYPE_BOOL8;
    *static_cast<uint8_t*>(buffer) = command == 6 ? 1 : 0; // 5 little-endian, 6 big-endian
    *size = 1;
    return 0;
  }
  return command <= 12 ? GenTL::GC_ERR_NOT_IMPLEMENTED : GenTL::GC_ERR_ERROR;
}

int CNQXCL::GetPortURLInfo(uint32_t index, int, int32_t* type, void* buffer, size_t* size) {
  if (!type || !buffer || !size || index != 0)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  return GenTL::GC_ERR_ERROR;
}

int CNQXCL::OpenInterface(const char* id, IInterface** handle) {
  auto it = id ? interfaceTable_.find(id) : interfaceTable_.end();
  if (it == interfaceTable_.end())
    return 0; // no handle
  for (auto& open : openInterfaces_) {
    if (open->id() == it->first) {
      open->SetInterfaceInfo(it->second);
      if (handle)
        *handle = open.get();
      return 0;
    }
  }
  auto* created = new CInterfaceCL(this, eventLog_);
  created->SetInterfaceInfo(it->second);
  AddInterface(created);
  if (handle)
    *handle = created;
  return 0;
}

void CNQXCL::AddInterface(CInterfaceCL* interface) {
  openInterfaces_.emplace_back(interface);
}

int CNQXCL::GetDeviceTemplate(std::vector<std::string>& templates) const {
  templates.insert(templates.end(), templates_.begin(), templates_.end());
  return 0;
}

int CNQXCL::GetInfo(int command, int32_t* type, void* buffer, size_t* size) {
  if ((command < 0 || command > 7) && command != 1000)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  if (type)
    *type = GenTL::INFO_DATATYPE_STRING;
  return GCGetInfo(command, type, buffer, size);
}

int CNQXCL::GCGetInfo(int command, int32_t* type, void* buffer, size_t* size) {
  if (!type || !size)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  static const char* const answers[] = {
      "TL",
      "Quorvane Co., Ltd.",
      "Quorvane Link Viewer",
      "Beta Build1",
      "GEV",
      "libnqx.so.7",
      "/usr/lib/kelpax",
      "Quorvane Link Viewer / GEV / libnqx.so.7 / Quorvane Co., Ltd.",
  };
  if (command < 0 || command > 7)
    return GenTL::GC_ERR_ERROR;
  return CopyInfoText(answers[command], type, buffer, size);
}

extern "C" INQX* AllocateNQXFunc(NQXEventLog* eventLog) {
  return new (std::nothrow) CNQXCL(eventLog);
}
