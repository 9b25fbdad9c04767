// What a settings page needs from the main window: the command channel, the cache of the
// camera's values and the model's ranges. The main window implements it; tests may too.
#pragma once

#include <cstdint>
#include <string_view>

#include "camera/tables/model_descriptor.h"
#include "camera/parameter_cache.h"

namespace kelpax {

class PageHost {
public:
  virtual ~PageHost() = default;

  // One ASCII command; true when the camera accepted it. Accepted answers reach the cache.
  virtual bool sendCommand(std::string_view command, uint32_t timeoutMs, bool showStatus) = 0;
  virtual const ParameterCache& parameterCache() const = 0;
  virtual const ModelDescriptor& modelDescriptor() const = 0;

  int32_t cacheInt(std::string_view name, int index = 0) const {
    return parameterCache().intValue(name, index);
  }
  float cacheFloat(std::string_view name) const { return parameterCache().floatValue(name); }
};

} // namespace kelpax
