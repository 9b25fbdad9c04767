// What a camera's model name says, and the ranges its settings take.
#pragma once

#include <string_view>

#include "camera/tables/model_descriptor.h"

namespace kelpax {

// Everything that follows from the name alone: series, size class, colour, C2, letter flag,
// rate code and value, the Ke page. Every field but the sensor size and the ranges starts
// again from none or 0.
void describeModelName(std::string_view modelName, ModelDescriptor& model);

// The model ranges for the series and size. Ke cameras also get their fixed sensor size.
void applyModelRanges(ModelDescriptor& model);

} // namespace kelpax
