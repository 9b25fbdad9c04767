// The factory settings of a simulated Ko camera behind its privileged level: board and
// sensor serial numbers, the CMOS bias voltages, the black-level offset and gain piece, the
// frame-rate register, and the pixel-offset calibration.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/parameter_store.h"

namespace sim {

class KoFactorySettings {
public:
  explicit KoFactorySettings(ParameterStore& parameters) : parameters_(parameters) {}

  // The answer lines of one of these commands, or nothing when it is not one of them.
  std::optional<std::vector<std::string>>
  answer(std::string_view command, std::span<const std::string_view> args, bool privileged);

  // The bias DACs and the black-level offset are 8 and 12 bits wide.
  static constexpr int kBiasMax = 255;
  static constexpr int kBlackOffsetMax = 4095;
  static constexpr int kGainPieceMax = 15;

private:
  double frameRate() const;

  ParameterStore& parameters_;
  std::map<std::string, int, std::less<>> bias_{{"vrst", 180}, {"vln1", 96}, {"vrf2", 140},
                                                {"vlp", 60},   {"vln2", 88}, {"vcl3", 120}};
  int blackOffset_ = 256;
  int gainPiece_ = 4;
};

} // namespace sim
