// The transport-layer library: loads the transport modules with dlopen and drives them
// through their interfaces.
#include "nqx/nqx.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <syslog.h>

#include "nqx/NqxModule.h"

#define NQX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

void reportToSyslog(void*, int level, uint32_t, const char* text) {
  int priority = level == 1 ? LOG_ERR : level == 2 ? LOG_WARNING : LOG_INFO;
  syslog(LOG_USER | priority, "%s", text);
}
NQXEventLog eventLog{reportToSyslog, nullptr};

struct System {
  void* library = nullptr; // the module's dlopen handle; null when it could not be loaded
  INQX* module = nullptr;
};

struct Library {
  std::mutex mutex;
  bool initialised = false;
  std::vector<std::unique_ptr<System>> systems; // kept until GCCloseLib: their interfaces live on
  std::map<void*, IDevice*> ports;              // port handle -> device
};

Library& lib() {
  static Library instance;
  return instance;
}

// The folder transport modules are loaded from: $NQX_MODULE_DIR, else this library's folder.
std::string moduleFolder() {
  if (const char* dir = std::getenv("NQX_MODULE_DIR"); dir && *dir)
    return dir;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&moduleFolder), &info) && info.dli_fname)
    return std::filesystem::path(info.dli_fname).parent_path().string();
  return ".";
}

int32_t copyText(const std::string& text, char* buffer, size_t* size) {
  if (!size)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  if (!buffer) {
    *size = text.size() + 1;
    return 0;
  }
  if (*size < text.size() + 1)
    return GenTL::GC_ERR_INVALID_BUFFER;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  *size = text.size() + 1;
  return 0;
}

System* systemOf(TL_HANDLE handle) {
  for (auto& s : lib().systems)
    if (s.get() == handle)
      return s.get();
  return nullptr;
}

IDevice* deviceOfPort(PORT_HANDLE port) {
  auto it = lib().ports.find(port);
  return it == lib().ports.end() ? nullptr : it->second;
}

} // namespace

NQX_EXPORT int32_t GCInitLib(void) {
  std::lock_guard lock(lib().mutex);
  lib().initialised = true;
  return 0;
}

NQX_EXPORT int32_t GCCloseLib(void) {
  std::lock_guard lock(lib().mutex);
  if (!lib().initialised)
    return GenTL::GC_ERR_NOT_INITIALIZED;
  lib().ports.clear();
  for (auto& s : lib().systems) {
    delete s->module; // its interfaces and devices go with it
    if (s->library)
      dlclose(s->library);
  }
  lib().systems.clear();
  lib().initialised = false;
  return 0;
}

NQX_EXPORT int32_t TLOpenMultiIF(TL_HANDLE* system, uint32_t* mode) {
  std::lock_guard lock(lib().mutex);
  if (!lib().initialised)
    return GenTL::GC_ERR_NOT_INITIALIZED;
  if (!system || !mode)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  auto s = std::make_unique<System>();
  std::string path = moduleFolder() + "/libnqxcl.so";
  s->library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (s->library) {
    auto allocate = reinterpret_cast<AllocateNQXFunc_t>(dlsym(s->library, "AllocateNQXFunc"));
    s->module = allocate ? allocate(&eventLog) : nullptr;
    if (s->module)
      s->module->InitObject();
  } else {
    syslog(LOG_USER | LOG_ERR, "transport module %s cannot be loaded: %s", path.c_str(), dlerror());
  }
  *system = s.get();
  lib().systems.push_back(std::move(s));
  return 0;
}

NQX_EXPORT int32_t TLUpdateInterfaceList(TL_HANDLE system, uint8_t* selector, uint64_t timeoutMs) {
  std::lock_guard lock(lib().mutex);
  System* s = systemOf(system);
  if (!s)
    return GenTL::GC_ERR_INVALID_HANDLE;
  if (!selector)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  if (!s->module)
    return GenTL::NQX_ERR_MODULES_MISSING;
  bool wanted = *selector != 0;
  if (s->module->UpdateInterfaceList(&wanted, static_cast<int64_t>(timeoutMs)) == 1)
    return 0;
  return s->module->GetLastError() == GenTL::NQX_ERR_MODULES_MISSING
             ? GenTL::NQX_ERR_MODULES_MISSING
             : GenTL::GC_ERR_ERROR;
}

NQX_EXPORT int32_t TLGetNumInterfaces(TL_HANDLE system, uint32_t* count) {
  std::lock_guard lock(lib().mutex);
  System* s = systemOf(system);
  if (!s || !count)
    return s ? GenTL::GC_ERR_INVALID_PARAMETER : GenTL::GC_ERR_INVALID_HANDLE;
  *count = 0;
  if (s->module)
    s->module->GetInterfacesNum(count);
  return 0;
}

NQX_EXPORT int32_t TLGetInterfaceID(TL_HANDLE system, uint32_t index, char* id, size_t* size) {
  std::lock_guard lock(lib().mutex);
  System* s = systemOf(system);
  if (!s || !s->module)
    return GenTL::GC_ERR_INVALID_HANDLE;
  std::string text;
  int rc = s->module->GetInterfaceID(index, &text);
  return rc != 0 ? rc : copyText(text, id, size);
}

NQX_EXPORT int32_t TLGetInterfaceInfo(TL_HANDLE system, const char* id, int32_t command,
                                      int32_t* type, void* buffer, size_t* size) {
  std::lock_guard lock(lib().mutex);
  System* s = systemOf(system);
  if (!s || !s->module)
    return GenTL::GC_ERR_INVALID_HANDLE;
  return s->module->GetInterfaceInfo(id, command, type, buffer, size);
}

NQX_EXPORT int32_t TLOpenInterface(TL_HANDLE system, const char* id, IF_HANDLE* interface) {
  std::lock_guard lock(lib().mutex);
  System* s = systemOf(system);
  if (!s || !s->module)
    return GenTL::GC_ERR_INVALID_HANDLE;
  if (!interface)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  IInterface* opened = nullptr;
  int rc = s->module->OpenInterface(id, &opened);
  if (rc != 0)
    return rc;
  if (!opened)
    return GenTL::GC_ERR_INVALID_ID;
  *interface = opened;
  return 0;
}

NQX_EXPORT int32_t TLClose(TL_HANDLE system) {
  std::lock_guard lock(lib().mutex);
  return systemOf(system) ? 0 : GenTL::GC_ERR_INVALID_HANDLE;
}

NQX_EXPORT int32_t IFUpdateDeviceList(IF_HANDLE interface, uint8_t* changed, uint64_t timeoutMs) {
  if (!interface)
    return GenTL::GC_ERR_INVALID_HANDLE;
  bool flag = false;
  int rc =
      static_cast<IInterface*>(interface)->UpdateDeviceList(&flag, static_cast<int64_t>(timeoutMs));
  if (changed)
    *changed = flag ? 1 : 0;
  return rc;
}

NQX_EXPORT int32_t IFGetNumDevices(IF_HANDLE interface, uint32_t* count) {
  if (!interface)
    return GenTL::GC_ERR_INVALID_HANDLE;
  return static_cast<IInterface*>(interface)->GetNumDevices(count);
}

NQX_EXPORT int32_t IFGetDeviceID(IF_HANDLE interface, uint32_t index, char* id, size_t* size) {
  if (!interface)
    return GenTL::GC_ERR_INVALID_HANDLE;
  std::string text;
  int rc = static_cast<IInterface*>(interface)->GetDeviceID(index, &text);
  return rc != 0 ? rc : copyText(text, id, size);
}

NQX_EXPORT int32_t IFGetDeviceInfo(IF_HANDLE interface, const char* id, int32_t command,
                                   int32_t* type, void* buffer, size_t* size) {
  if (!interface)
    return GenTL::GC_ERR_INVALID_HANDLE;
  return static_cast<IInterface*>(interface)->GetDeviceInfo(id, command, type, buffer, size);
}

NQX_EXPORT int32_t IFOpenDevice(IF_HANDLE interface, const char* id, int32_t accessFlags,
                                DEV_HANDLE* device) {
  if (!interface)
    return GenTL::GC_ERR_INVALID_HANDLE;
  if (!device)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  IDevice* opened = nullptr;
  int rc = static_cast<IInterface*>(interface)->OpenDevice(id, accessFlags, &opened);
  if (rc == 0)
    *device = opened;
  return rc;
}

NQX_EXPORT int32_t DevClose(DEV_HANDLE device) {
  if (!device)
    return GenTL::GC_ERR_INVALID_HANDLE;
  {
    std::lock_guard lock(lib().mutex);
    for (auto it = lib().ports.begin(); it != lib().ports.end();)
      it = it->second == device ? lib().ports.erase(it) : std::next(it);
  }
  return static_cast<IDevice*>(device)->Close();
}

NQX_EXPORT int32_t DevGetPort(DEV_HANDLE device, PORT_HANDLE* port) {
  if (!device)
    return GenTL::GC_ERR_INVALID_HANDLE;
  if (!port)
    return GenTL::GC_ERR_INVALID_PARAMETER;
  int rc = static_cast<IDevice*>(device)->GetPort(port);
  if (rc == 0) {
    std::lock_guard lock(lib().mutex);
    lib().ports[*port] = static_cast<IDevice*>(device);
  }
  return rc;
}

NQX_EXPORT int32_t GCReadPort(PORT_HANDLE port, uint64_t address, void* buffer, size_t* size) {
  IDevice* device = nullptr;
  {
    std::lock_guard lock(lib().mutex);
    device = deviceOfPort(port);
  }
  return device ? device->ReadPort(address, buffer, size) : GenTL::GC_ERR_INVALID_HANDLE;
}

NQX_EXPORT int32_t GCWritePort(PORT_HANDLE port, uint64_t address, const void* buffer,
                               size_t* size) {
  IDevice* device = nullptr;
  {
    std::lock_guard lock(lib().mutex);
    device = deviceOfPort(port);
  }
  return device ? device->WritePort(address, buffer, size) : GenTL::GC_ERR_INVALID_HANDLE;
}
