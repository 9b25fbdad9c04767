// The parameter stems each camera family keeps, in registration order: one table for the
// program's cache and the simulator's cameras alike.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "pages/camera_series.h"

namespace kelpax {

struct StemRegistration {
  std::string_view stem;
  uint8_t flags = 1; // see the flag bits of the parameter cache
};

// The family's stems in order. A stem listed twice keeps its first registration when
// registered; the list itself keeps both, as the family's table has them.
std::span<const StemRegistration> stemsForSeries(Series series);

// Parses a list written as the family tables are: "rm, bf, ha (2), g (33)".
std::vector<StemRegistration> parseStemList(std::string_view list);

} // namespace kelpax
