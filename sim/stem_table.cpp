// Stem tables of the simulated cameras.
#include "sim/stem_table.h"

namespace sim {
namespace {

constexpr StemDef kCommonStems[] = {
    // exposure time, µs
    {.stem = "et", .min = 10, .max = 10000000, .defaultValue = 1000},
    // analogue gain per channel (1 = all, 2..4 = R, G, B)
    {.stem = "ag",
     .min = 0,
     .max = 480,
     .defaultValue = 0,
     .hasChannel = true,
     .channelMin = 1,
     .channelMax = 4},
    // digital gain, times
    {.stem = "dg", .type = StemType::Real, .min = 1.0, .max = 16.0, .defaultValue = 1.0},
    // trigger mode: 0 free run, 1 edge, 2 pulse width, 3 reset-continuous
    {.stem = "tm", .min = 0, .max = 3, .defaultValue = 0},
    // area of interest: x, y, width, height
    {.stem = "ar", .valueCount = 4, .min = 0, .max = 8192, .defaultValue = 0},
};

} // namespace

std::span<const StemDef> stemsForModel(std::string_view) {
  return kCommonStems;
}

} // namespace sim
