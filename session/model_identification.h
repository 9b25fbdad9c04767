// Model identification: from the camera's model name and a few queries to a descriptor,
// ranges and the family's cache registration.
#pragma once

#include <optional>
#include <string_view>

#include "camera/parameter_cache.h"
#include "camera/tables/model_descriptor.h"
#include "camera/tables/model_rules.h"
#include "link/command_exchange.h"

namespace kelpax {

// Sensor size from the answers to "gsw" and "gsh": the first word of the second line, or
// nothing when the answer is missing or "error".
std::optional<int32_t> sensorDimensionFrom(std::string_view answer);
// Width and height from a "gccd" answer: the numbers after the first and second "=".
void sensorSizeFromCcdAnswer(std::string_view answer, int32_t& width, int32_t& height);

// Full identification against the connected camera: the name, "groi" where the model may
// support regions, the sensor size (with the privileged "gccd" fallback), the ranges, then
// the cache is emptied and the family's stems registered. Always succeeds.
bool identifyModel(std::string_view modelName, CommandExchange& exchange, ModelDescriptor& model,
                   ParameterCache& cache, StatusLine* statusLine = nullptr);

} // namespace kelpax
