// An Aravis device whose register reads and writes go to a C++ port bridge.
#pragma once

#include <cstdint>
#include <string>

typedef struct _ArvDevice ArvDevice;

namespace kelpax::genapi {

class PortBridge {
public:
  virtual ~PortBridge() = default;
  // False with a reason in `error` when the access failed.
  virtual bool readMemory(uint64_t address, uint32_t size, void* buffer, std::string& error) = 0;
  virtual bool writeMemory(uint64_t address, uint32_t size, const void* buffer,
                           std::string& error) = 0;
};

// A new device (one reference, release with g_object_unref) that serves `bridge`.
ArvDevice* newPortDevice(PortBridge* bridge);

} // namespace kelpax::genapi
