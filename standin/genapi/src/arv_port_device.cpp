// KelpaxPortDevice: the ArvDevice subclass through which the GenICam engine reaches our ports.
#include "arv_port_device.h"

#include <cstring>

#include <arv.h>

namespace {

struct KelpaxPortDevice {
  ArvDevice parent;
  kelpax::genapi::PortBridge* bridge;
};

struct KelpaxPortDeviceClass {
  ArvDeviceClass parent_class;
};

GType kelpaxPortDeviceType();

KelpaxPortDevice* asPortDevice(ArvDevice* device) {
  return reinterpret_cast<KelpaxPortDevice*>(
      g_type_check_instance_cast(reinterpret_cast<GTypeInstance*>(device), kelpaxPortDeviceType()));
}

void setError(GError** error, const std::string& text) {
  g_set_error(error, ARV_DEVICE_ERROR, ARV_DEVICE_ERROR_TRANSFER_ERROR, "%s", text.c_str());
}

// Hands one memory access to the node map's bridge; a refusal becomes the device's transfer
// error.
template <class Access> gboolean accessBridge(ArvDevice* device, GError** error, Access access) {
  KelpaxPortDevice* self = asPortDevice(device);
  if (!self->bridge) {
    setError(error, "The node map is not connected to a port");
    return FALSE;
  }
  std::string why;
  if (access(*self->bridge, why))
    return TRUE;
  setError(error, why);
  return FALSE;
}

gboolean readMemory(ArvDevice* device, guint64 address, guint32 size, void* buffer,
                    GError** error) {
  return accessBridge(device, error, [&](kelpax::genapi::PortBridge& bridge, std::string& why) {
    return bridge.readMemory(address, size, buffer, why);
  });
}

gboolean writeMemory(ArvDevice* device, guint64 address, guint32 size, void* buffer,
                     GError** error) {
  return accessBridge(device, error, [&](kelpax::genapi::PortBridge& bridge, std::string& why) {
    return bridge.writeMemory(address, size, buffer, why);
  });
}

// 32-bit registers of the device, little-endian in memory like the engine's own fake device.
gboolean readRegister(ArvDevice* device, guint64 address, guint32* value, GError** error) {
  guint32 raw = 0;
  if (!readMemory(device, address, sizeof raw, &raw, error))
    return FALSE;
  *value = GUINT32_FROM_LE(raw);
  return TRUE;
}

gboolean writeRegister(ArvDevice* device, guint64 address, guint32 value, GError** error) {
  guint32 raw = GUINT32_TO_LE(value);
  return writeMemory(device, address, sizeof raw, &raw, error);
}

void classInit(gpointer klass, gpointer) {
  auto* deviceClass = static_cast<ArvDeviceClass*>(klass);
  deviceClass->read_memory = readMemory;
  deviceClass->write_memory = writeMemory;
  deviceClass->read_register = readRegister;
  deviceClass->write_register = writeRegister;
}

void instanceInit(GTypeInstance* instance, gpointer) {
  reinterpret_cast<KelpaxPortDevice*>(instance)->bridge = nullptr;
}

GType kelpaxPortDeviceType() {
  static GType type = [] {
    GTypeInfo info{};
    info.class_size = sizeof(KelpaxPortDeviceClass);
    info.class_init = classInit;
    info.instance_size = sizeof(KelpaxPortDevice);
    info.instance_init = instanceInit;
    return g_type_register_static(ARV_TYPE_DEVICE, "KelpaxPortDevice", &info, GTypeFlags(0));
  }();
  return type;
}

} // namespace

namespace kelpax::genapi {

ArvDevice* newPortDevice(PortBridge* bridge) {
  auto* device = static_cast<KelpaxPortDevice*>(g_object_new(kelpaxPortDeviceType(), nullptr));
  device->bridge = bridge;
  return &device->parent;
}

} // namespace kelpax::genapi
