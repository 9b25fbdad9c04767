// The parameter stems each camera family keeps, in registration order: one table for the
// program's cache and the simulator's cameras alike.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "camera/tables/camera_series.h"
#include "camera/tables/model_descriptor.h"

namespace kelpax {

// Flag byte of a registration: bits 0-3 value count, bit 4 not saved for monochrome
// models, bit 5 real values, bit 6 never saved to a setting file.
inline constexpr uint8_t kFlagCountMask = 0x0f;
inline constexpr uint8_t kFlagVariantNoSave = 0x10;
inline constexpr uint8_t kFlagIsFloat = 0x20;
inline constexpr uint8_t kFlagNoFileSave = 0x40;

struct StemRegistration {
  std::string_view stem;
  uint8_t flags = 1; // the flag bits above
};

// The family's stems in order. A stem listed twice keeps its first registration when
// registered; the list itself keeps both, as the family's table has them.
std::span<const StemRegistration> stemsForSeries(Series series);

// What the identified model registers: its family's stems, then the few a model keeps beyond
// its family because it shares another family's page (the Kn 47M's region window, the Ko
// 101M and 151M cameras' acquisition state).
std::vector<StemRegistration> stemsForModel(const ModelDescriptor& model);

// Parses a list written as the family tables are: "rm, bf, ha (2), g (33)".
std::vector<StemRegistration> parseStemList(std::string_view list);

} // namespace kelpax
