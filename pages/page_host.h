// What a settings page needs from the camera session: the command channel, the cache of the
// camera's values and the model's ranges. The connected camera implements it; tests may too.
#pragma once

#include <cstdint>
#include <string_view>

#include "camera/answer.h"
#include "camera/parameter_cache.h"
#include "camera/tables/model_descriptor.h"

namespace kelpax {

class BinaryTransfer;

class PageHost {
public:
  virtual ~PageHost() = default;

  // One ASCII command and the camera's answer. Accepted answers reach the cache.
  virtual Answer sendCommand(std::string_view command, ExchangeOptions options) = 0;
  virtual const ParameterCache& parameterCache() const = 0;
  virtual const ModelDescriptor& modelDescriptor() const = 0;
  // The binary transfers of the camera's channel, for pages that move data files; none where
  // the host has no such channel.
  virtual BinaryTransfer* binaryTransfer() { return nullptr; }

  int32_t cacheInt(std::string_view name, int index = 0) const {
    return parameterCache().intValue(name, index);
  }
  float cacheFloat(std::string_view name) const { return parameterCache().floatValue(name); }
};

} // namespace kelpax
