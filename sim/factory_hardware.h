// The hardware behind the factory commands of a simulated camera: a cooled sensor whose
// temperature drifts towards its target while the Peltier element is on and the fan runs, and
// a two-axis piezo stage whose drive voltage follows the position, the DAC and the POT.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/parameter_store.h"

namespace sim {

// Stage drive voltage: volts per count of the 16-bit ADC word and its offset.
inline constexpr double kPztVoltsPerCount = 0.010975;
inline constexpr double kPztVoltsOffset = 22.34;
// The DAC value at which the stage's zero was trimmed, and what one POT step moves it by.
inline constexpr int kStageZeroDac = 13000;
inline constexpr double kVoltsPerPotStep = 0.8;
inline constexpr double kVoltsPerNanometre = 0.005;
inline constexpr int kStageTravelNm = 30000;

class FactoryHardware {
public:
  // The parameter store holds the set values ("tt", "tc"/"ptm", "ft"/"fm", "np x"/"np y");
  // this class keeps what the hardware does with them.
  explicit FactoryHardware(ParameterStore& parameters);

  // Moves the sensor temperature on to `seconds` (a steady clock).
  void advanceTo(double seconds);

  // The answer lines of a factory command, or nothing when the command is not one of these.
  std::optional<std::vector<std::string>>
  answer(std::string_view command, std::span<const std::string_view> args, bool privileged);

  double sensorTemperature() const { return sensorC_; }
  // The drive voltage of axis 0 (X) or 1 (Y) as the ADC reads it, before its word is formed.
  double pztVolts(int axis) const;
  int pot(int axis) const { return axes_[size_t(axis)].pot; }

  // Housing temperature ("gct"), and where the sensor settles without cooling.
  static constexpr double kHousingC = 42.5;
  static constexpr double kUncooledC = 35.0;

private:
  struct Axis {
    int dac = kStageZeroDac;
    int pot = 128;
    // The POT value at which the axis sits at 5 V with the DAC at its trimmed zero.
    int potZero = 128;
    double gain = 1.0;
    int rcf = 0;
  };

  bool flag(std::string_view stem) const;
  double target() const;
  bool hasStage() const;
  int position(int axis) const;
  void setPosition(int axis, int nm);
  uint32_t voltageWord();
  std::optional<std::vector<std::string>> calibrationAnswer(std::string_view command,
                                                            std::span<const std::string_view> args);
  std::optional<std::vector<std::string>>
  stageAnswer(std::string_view command, std::span<const std::string_view> args, bool privileged);
  std::optional<std::vector<std::string>>
  tuningAnswer(std::string_view command, std::span<const std::string_view> args, bool privileged);

  ParameterStore& parameters_;
  double sensorC_ = kUncooledC;
  std::optional<double> lastSeconds_;
  std::array<Axis, 2> axes_{};
  int drivingRate_ = 50;
  // Stitch gains per segment and channel, column offset points, FPGA registers.
  std::array<std::array<double, 4>, 8> stitchGains_{};
  std::array<std::string, 32> columnPoints_{};
  std::map<uint32_t, uint32_t> registers_;
  uint64_t noiseState_ = 7;
  // The CCD clock edges: thirteen six-bit words each for width and offset, in the order the
  // "stw" and "sto" commands carry them.
  std::array<int, 13> timingWidth_{};
  std::array<int, 13> timingOffset_{};
  bool offsetClamp_ = false;
  // Board and sensor serial numbers by key ("bd1" ... "vsub").
  std::map<std::string, std::string, std::less<>> serials_;
  double vsub_ = 12.5;
  int afeDelay_ = 14;
  int gainOffset_ = 40;
  int gainRange_ = 800;
  int gainDifference_ = 0;
  int gainPreset_ = 512;
  std::array<int, 4> quadrantOffsets_{64, 64, 64, 64};
  std::array<int, 2> linearity_{127, 127};

public:
  const std::array<int, 13>& timingWidth() const { return timingWidth_; }
  const std::array<int, 13>& timingOffset() const { return timingOffset_; }
};

} // namespace sim
