// What a camera's model name says, and the ranges its settings take.
#pragma once

#include <optional>
#include <string_view>

#include "camera/tables/model_descriptor.h"

namespace kelpax {

// Everything that follows from the name alone: series, size class, colour, C2, letter flag,
// rate code and value, the Ke page. Every field but the sensor size and the ranges starts
// again from none or 0.
void describeModelName(std::string_view modelName, ModelDescriptor& model);

// The model ranges for the series and size. Ke cameras also get their fixed sensor size.
void applyModelRanges(ModelDescriptor& model);

// The range the model gives a stem's values: exposure "et", gain "ag" (and "ag 1", "ag 2"),
// offset "ao" (and its taps). Pages, the command line and the simulated cameras all check
// against it; nullopt for stems the model sets no range for.
std::optional<ValueRange> modelRange(const ModelDescriptor& model, std::string_view stem);

} // namespace kelpax
