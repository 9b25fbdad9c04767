// The parameter stems a camera answers: one row per stem, read by the simulator's store.
#pragma once

#include <span>
#include <string_view>

namespace sim {

enum class StemType { Integer, Real };

// A stem "xx" is queried with "gxx [channel]" and set with "sxx [channel] value...".
// Values are checked against [min, max]; a channel, when the stem has one, against
// [channelMin, channelMax], and each channel keeps its own values.
struct StemDef {
  std::string_view stem;
  StemType type = StemType::Integer;
  int valueCount = 1; // values after the channel
  double min = 0;
  double max = 0;
  double defaultValue = 0;
  bool hasChannel = false;
  int channelMin = 0;
  int channelMax = 0;
};

// The stems of a model. Every model shares a small common table for now; each family's full
// list goes here as it is written.
std::span<const StemDef> stemsForModel(std::string_view model);

} // namespace sim
