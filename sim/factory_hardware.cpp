// The cooled sensor and the piezo stage of the simulated cameras.
#include "sim/factory_hardware.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sim {
namespace {

constexpr std::string_view kErrorValue = "Error : invalid parameter";
constexpr std::string_view kErrorCount = "Error : wrong number of parameters";
constexpr std::string_view kErrorAccess = "Error : access denied";

// Time constants of the sensor's drift, in seconds: cooled with the fan carrying the heat
// away, cooled with the fan stopped (the heat stays in the housing), and left alone.
constexpr double kCooledSeconds = 15;
constexpr double kNoFanSeconds = 60;
constexpr double kUncooledSeconds = 30;
// Without the fan the Peltier element's hot side heats the sensor above the housing.
constexpr double kNoFanRiseC = 6;

std::optional<long> parseInteger(std::string_view text) {
  if (text.empty() || text.size() > 9)
    return std::nullopt;
  long value = 0;
  size_t i = 0;
  const bool negative = text[0] == '-';
  if (negative && text.size() == 1)
    return std::nullopt;
  for (i = negative ? 1 : 0; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9')
      return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

std::optional<double> parseReal(std::string_view text) {
  if (text.empty() || text.size() > 24)
    return std::nullopt;
  std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<int> axisOf(std::string_view word) {
  if (word == "0" || word == "x")
    return 0;
  if (word == "1" || word == "y")
    return 1;
  return std::nullopt;
}

std::string formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

} // namespace

FactoryHardware::FactoryHardware(ParameterStore& parameters) : parameters_(parameters) {
  // Each axis was trimmed at the factory with its own POT; a fresh camera starts mid-scale.
  axes_[0].potZero = 140;
  axes_[1].potZero = 116;
  axes_[0].gain = 1.0;
  axes_[1].gain = 1.0;
  axes_[0].rcf = 12;
  axes_[1].rcf = 14;
  for (auto& segment : stitchGains_)
    segment.fill(1.0);
  // Three trimmed column offset points; the rest unused.
  columnPoints_.fill("16383 0 0");
  columnPoints_[0] = "128 12 0";
  columnPoints_[1] = "2048 -7 1";
  columnPoints_[2] = "4000 3 0";
  // Two register groups enabled; their registers hold trimmed values.
  registers_ = {{0x151, 0x0003}, {0x160, 0x10}, {0x161, 0x2A}, {0x170, 0x400}, {0x171, 0x0}};
  // The factory's timing words, in the order of "stw"/"sto": NA, H2A, H2B, H1A, HL, H1B, RG,
  // SHP1, SHP0, SHD1, SHD0, DCK0, DCK1.
  timingWidth_ = {16, 16, 16, 16, 16, 16, 12, 16, 16, 16, 16, 16, 16};
  timingOffset_ = {0, 0, 0, 0, 0, 0, 34, 62, 62, 24, 24, 24, 24};
  serials_ = {{"bd1", "B1-0001"}, {"bd2", "B2-0001"},  {"bd3", "B3-0001"},
              {"bd4", "B4-0001"}, {"ccd", "CCD-7731"}, {"vsub", "12.50"}};
}

std::optional<std::vector<std::string>>
FactoryHardware::tuningAnswer(std::string_view command, std::span<const std::string_view> args,
                              bool privileged) {
  using Lines = std::vector<std::string>;
  auto ok = [] { return Lines{"OK"}; };
  auto error = [](std::string_view text) { return Lines{std::string(text)}; };
  // Reads one integer argument within [min, max].
  auto integer = [](std::string_view text, long min, long max) -> std::optional<int> {
    const std::optional<long> value = parseInteger(text);
    if (!value || *value < min || *value > max)
      return std::nullopt;
    return int(*value);
  };

  if (command == "gstw" || command == "gsto") {
    if (!args.empty())
      return error(kErrorCount);
    if (!privileged)
      return error(kErrorAccess);
    std::string line;
    for (int value : command == "gstw" ? timingWidth_ : timingOffset_)
      line += (line.empty() ? "" : " ") + std::to_string(value);
    return Lines{line};
  }
  // Ke cameras keep their trigger offset under "to": "sto" with one value is that setting.
  if (command == "sto" && args.size() != 13 && parameters_.find("to"))
    return std::nullopt;
  if (command == "stw" || command == "sto") {
    if (!privileged)
      return error(kErrorAccess);
    if (args.size() != 13)
      return error(kErrorCount);
    std::array<int, 13> values{};
    for (size_t i = 0; i < values.size(); ++i) {
      const std::optional<int> value = integer(args[i], 0, 63);
      if (!value)
        return error(kErrorValue);
      values[i] = *value;
    }
    (command == "stw" ? timingWidth_ : timingOffset_) = values;
    return ok();
  }
  if (command == "snc" || command == "gnc") {
    if (command == "gnc")
      return args.empty() ? Lines{offsetClamp_ ? "1" : "0"} : error(kErrorCount);
    if (args.size() != 1)
      return error(kErrorCount);
    const std::optional<int> on = integer(args[0], 0, 1);
    if (!on)
      return error(kErrorValue);
    offsetClamp_ = *on == 1;
    return ok();
  }
  if ((command == "gsn" || command == "ssn") && !args.empty()) {
    auto found = serials_.find(args[0]);
    if (found == serials_.end())
      return error(kErrorValue);
    if (command == "gsn")
      return args.size() == 1 ? Lines{found->second} : error(kErrorCount);
    if (!privileged)
      return error(kErrorAccess);
    if (args.size() != 2 || args[1].size() > 32)
      return error(args.size() != 2 ? kErrorCount : kErrorValue);
    found->second = std::string(args[1]);
    return ok();
  }
  if (command == "ssv" || command == "gsv") {
    if (command == "gsv")
      return args.empty() ? Lines{formatted("%.2f", vsub_)} : error(kErrorCount);
    if (!privileged)
      return error(kErrorAccess);
    if (args.size() != 1)
      return error(kErrorCount);
    const std::optional<double> volts = parseReal(args[0]);
    // 0-25 V, as the factory dialog offers.
    if (!volts || *volts < 0 || *volts > 25.0)
      return error(kErrorValue);
    vsub_ = *volts;
    return ok();
  }
  if (command == "gfg" || command == "sfg") {
    if (command == "gfg")
      return args.empty() ? Lines{std::to_string(gainOffset_) + " " + std::to_string(gainRange_)}
                          : error(kErrorCount);
    if (!privileged)
      return error(kErrorAccess);
    if (args.size() != 2)
      return error(kErrorCount);
    const std::optional<int> offset = integer(args[0], 0, 300);
    const std::optional<int> range = integer(args[1], 500, 1024);
    if (!offset || !range)
      return error(kErrorValue);
    gainOffset_ = *offset;
    gainRange_ = *range;
    return ok();
  }
  // One-value calibration words: the gain difference (which never takes the gain offset below
  // zero), the AFE sampling delay and the gain preset.
  struct Word {
    std::string_view stem;
    int* value;
    long min, max;
  };
  const Word words[] = {{"gt", &gainDifference_, -100, 100},
                        {"ad", &afeDelay_, 9, 25},
                        {"gp", &gainPreset_, 0, 1024}};
  for (const Word& word : words) {
    if (command.size() != 3 || command.substr(1) != word.stem)
      continue;
    if (command[0] == 'g')
      return args.empty() ? Lines{std::to_string(*word.value)} : error(kErrorCount);
    if (command[0] != 's')
      break;
    if (!privileged)
      return error(kErrorAccess);
    if (args.size() != 1)
      return error(kErrorCount);
    const std::optional<int> value = integer(args[0], word.min, word.max);
    if (!value || (word.stem == "gt" && gainOffset_ + *value < 0))
      return error(kErrorValue);
    *word.value = *value;
    return ok();
  }
  // Quadrant offsets 1..4, unless the family keeps them as settings ("oo 1" ...).
  if ((command == "soo" || command == "goo") && !parameters_.find("oo 1")) {
    if (args.size() != (command == "goo" ? 1u : 2u))
      return error(kErrorCount);
    const std::optional<int> quadrant = integer(args[0], 1, 4);
    if (!quadrant)
      return error(kErrorValue);
    int& value = quadrantOffsets_[size_t(*quadrant - 1)];
    if (command == "goo")
      return Lines{std::to_string(value)};
    const std::optional<int> offset = integer(args[1], 0, 127);
    if (!offset)
      return error(kErrorValue);
    value = *offset;
    return ok();
  }
  // The linearity potentiometers: 0 the high-gain one, 1 the low-gain one.
  if (command == "spot" || command == "gpot") {
    if (args.size() != (command == "gpot" ? 1u : 2u))
      return error(kErrorCount);
    const std::optional<int> which = integer(args[0], 0, 1);
    if (!which)
      return error(kErrorValue);
    int& value = linearity_[size_t(*which)];
    if (command == "gpot")
      return Lines{std::to_string(value)};
    if (!privileged)
      return error(kErrorAccess);
    const std::optional<int> pot = integer(args[1], 0, 255);
    if (!pot)
      return error(kErrorValue);
    value = *pot;
    return ok();
  }
  return std::nullopt;
}

std::optional<std::vector<std::string>>
FactoryHardware::calibrationAnswer(std::string_view command,
                                   std::span<const std::string_view> args) {
  using Lines = std::vector<std::string>;
  auto error = [](std::string_view text) { return Lines{std::string(text)}; };
  auto hexNumber = [](std::string_view text) -> std::optional<uint32_t> {
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)
      text.remove_prefix(2);
    if (text.empty() || text.size() > 8)
      return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0)
        return std::nullopt;
      value = value << 4 | uint32_t(digit);
    }
    return value;
  };
  if (command == "gsg" || command == "ssg") {
    if (!parameters_.find("sc"))
      return std::nullopt;
    if (args.size() != (command == "gsg" ? 2u : 3u))
      return error(kErrorCount);
    const std::optional<long> segment = parseInteger(args[0]);
    const std::optional<long> channel = parseInteger(args[1]);
    if (!segment || !channel || *segment < 0 || *segment > 7 || *channel < 0 || *channel > 3)
      return error(kErrorValue);
    double& gain = stitchGains_[size_t(*segment)][size_t(*channel)];
    if (command == "gsg")
      return Lines{formatted("%.3f", gain)};
    const std::optional<double> value = parseReal(args[2]);
    if (!value || *value < 0 || *value > 4.0)
      return error(kErrorValue);
    gain = *value;
    return Lines{"OK"};
  }
  if (command == "gccp" || command == "sccp") {
    if (args.empty())
      return error(kErrorCount);
    const std::optional<long> index = parseInteger(args[0]);
    if (!index || *index < 0 || *index > 31)
      return error(kErrorValue);
    if (command == "gccp")
      return args.size() == 1 ? Lines{columnPoints_[size_t(*index)]} : error(kErrorCount);
    if (args.size() < 2 || args.size() > 9)
      return error(kErrorCount);
    std::string joined;
    for (size_t i = 1; i < args.size(); ++i) {
      const std::optional<long> value = parseInteger(args[i]);
      if (!value || *value < -16384 || *value > 65535)
        return error(kErrorValue);
      joined += (i > 1 ? " " : "") + std::to_string(*value);
    }
    columnPoints_[size_t(*index)] = joined;
    return Lines{"OK"};
  }
  if (command == "rfpga" || command == "wfpga") {
    if (args.size() != (command == "rfpga" ? 1u : 2u))
      return error(kErrorCount);
    const std::optional<uint32_t> address = hexNumber(args[0]);
    if (!address)
      return error(kErrorValue);
    if (command == "rfpga") {
      char text[16];
      std::snprintf(text, sizeof text, "0x%08x", registers_[*address]);
      return Lines{text};
    }
    std::optional<uint32_t> value;
    if (args[1].rfind("0x", 0) == 0)
      value = hexNumber(args[1]);
    else if (std::optional<long> decimal = parseInteger(args[1]); decimal && *decimal >= 0)
      value = uint32_t(*decimal);
    if (!value)
      return error(kErrorValue);
    registers_[*address] = *value;
    return Lines{"OK"};
  }
  return std::nullopt;
}

bool FactoryHardware::flag(std::string_view stem) const {
  const std::optional<std::vector<double>> values = parameters_.values(stem);
  return values && !values->empty() && values->front() != 0;
}

double FactoryHardware::target() const {
  const std::optional<std::vector<double>> values = parameters_.values("tt");
  return values && !values->empty() ? values->front() : kUncooledC;
}

void FactoryHardware::advanceTo(double seconds) {
  if (!lastSeconds_ || seconds < *lastSeconds_) {
    lastSeconds_ = seconds;
    return;
  }
  const double dt = seconds - *lastSeconds_;
  lastSeconds_ = seconds;
  const bool peltier = flag("tc") || flag("ptm");
  const bool fan = flag("ft") || flag("fm");
  double towards = kUncooledC;
  double tau = kUncooledSeconds;
  if (peltier && fan) {
    towards = target();
    tau = kCooledSeconds;
  } else if (peltier) {
    towards = kHousingC + kNoFanRiseC;
    tau = kNoFanSeconds;
  }
  sensorC_ = towards + (sensorC_ - towards) * std::exp(-dt / tau);
}

bool FactoryHardware::hasStage() const {
  return parameters_.find("np x") != nullptr;
}

int FactoryHardware::position(int axis) const {
  const std::optional<std::vector<double>> values = parameters_.values(axis == 0 ? "np x" : "np y");
  return values && !values->empty() ? int(values->front()) : 0;
}

void FactoryHardware::setPosition(int axis, int nm) {
  const std::string number = std::to_string(nm);
  const std::string_view arg = number;
  std::string ignored;
  parameters_.set(axis == 0 ? "np x" : "np y", std::span<const std::string_view>(&arg, 1), ignored);
}

double FactoryHardware::pztVolts(int axis) const {
  const Axis& a = axes_[size_t(axis)];
  return 5.0 + (a.dac - kStageZeroDac) * 0.001 + kVoltsPerPotStep * (a.potZero - a.pot) +
         position(axis) * kVoltsPerNanometre * a.gain;
}

uint32_t FactoryHardware::voltageWord() {
  uint32_t word = 0;
  for (int axis = 0; axis < 2; ++axis) {
    // A few millivolts of drive ripple: the ADC's last count or two flicker.
    noiseState_ = noiseState_ * 6364136223846793005ull + 1442695040888963407ull;
    const double ripple = (double((noiseState_ >> 33) % 1000) / 1000.0 - 0.5) * 0.03;
    const double counts = (pztVolts(axis) + ripple + kPztVoltsOffset) / kPztVoltsPerCount;
    const auto clamped = uint32_t(std::clamp(std::lround(counts), 0L, 0xFFFFL));
    word |= axis == 0 ? clamped << 16 : clamped;
  }
  return word;
}

std::optional<std::vector<std::string>>
FactoryHardware::answer(std::string_view command, std::span<const std::string_view> args,
                        bool privileged) {
  const bool cooled = parameters_.find("tt") != nullptr;
  // Families that keep a stem "st" answer "gst" with it, not with the sensor temperature.
  if (cooled && !parameters_.find("st") && command == "gst" && args.empty())
    return std::vector<std::string>{formatted("%.2f", sensorC_)};
  // Only the newer cooled cameras keep the Peltier mode under "ptm" and know "gsnt".
  if (cooled && parameters_.find("ptm") && command == "gsnt" && args.empty())
    return std::vector<std::string>{formatted("%.2f", sensorC_)};
  if (cooled && command == "gppwm" && args.empty()) {
    const bool peltier = flag("tc") || flag("ptm");
    const double effort = peltier ? std::clamp((kHousingC - target()) * 4.0 + 20, 0.0, 255.0) : 0;
    return std::vector<std::string>{std::to_string(int(effort))};
  }
  if (hasStage()) {
    if (auto lines = stageAnswer(command, args, privileged))
      return lines;
  }
  if (auto lines = tuningAnswer(command, args, privileged))
    return lines;
  return calibrationAnswer(command, args);
}

std::optional<std::vector<std::string>>
FactoryHardware::stageAnswer(std::string_view command, std::span<const std::string_view> args,
                             bool privileged) {
  using Lines = std::vector<std::string>;
  auto ok = [] { return Lines{"OK"}; };
  auto error = [](std::string_view text) { return Lines{std::string(text)}; };

  if (command == "snp" && args.size() == 2 && args[0] != "x" && args[0] != "y") {
    const std::optional<long> x = parseInteger(args[0]);
    const std::optional<long> y = parseInteger(args[1]);
    if (!x || !y || *x < 0 || *y < 0 || *x > kStageTravelNm || *y > kStageTravelNm)
      return error(kErrorValue);
    setPosition(0, int(*x));
    setPosition(1, int(*y));
    return ok();
  }
  if ((command == "rnp" || command == "cnp") && args.empty()) {
    setPosition(0, 0);
    setPosition(1, 0);
    return ok();
  }
  if (command == "gpv" && args.empty()) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", voltageWord());
    return Lines{text};
  }
  if (command == "rfpga" && args.size() == 1 && args[0] == "0x49") {
    if (!privileged)
      return error(kErrorAccess);
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", voltageWord());
    return Lines{text};
  }
  if (command == "gpt" && args.empty())
    return Lines{formatted("%.1f", kHousingC - 8.3)};
  if (command == "gpc" && args.empty())
    return Lines{std::to_string(kStageTravelNm)};
  if (command == "gdt" && args.empty())
    return Lines{"1 " + std::to_string(drivingRate_)};
  if (command == "sdt") {
    if (args.size() != 2)
      return error(kErrorCount);
    const std::optional<long> rate = parseInteger(args[1]);
    if (args[0] != "1" || !rate || *rate < 1 || *rate > 100)
      return error(kErrorValue);
    if (!privileged)
      return error(kErrorAccess);
    drivingRate_ = int(*rate);
    return ok();
  }
  const bool axisCommand = command == "sdac" || command == "gdac" || command == "spot2" ||
                           command == "gpot2" || command == "spg" || command == "gpg" ||
                           command == "gcrf";
  if (!axisCommand)
    return std::nullopt;
  if (args.empty())
    return error(kErrorCount);
  const std::optional<int> axis = axisOf(args[0]);
  if (!axis)
    return error(kErrorValue);
  Axis& a = axes_[size_t(*axis)];
  const bool setter = command[0] == 's';
  if (setter != (args.size() == 2))
    return error(kErrorCount);
  if (!setter) {
    if (command == "gdac")
      return Lines{std::to_string(a.dac)};
    if (command == "gpot2")
      return Lines{std::to_string(a.pot)};
    if (command == "gcrf")
      return Lines{std::to_string(a.rcf)};
    return Lines{formatted("%.4f", a.gain)};
  }
  if (!privileged)
    return error(kErrorAccess);
  if (command == "spg") {
    const std::optional<double> gain = parseReal(args[1]);
    if (!gain || *gain < 0.0001 || *gain > 10.0)
      return error(kErrorValue);
    a.gain = *gain;
    return ok();
  }
  const std::optional<long> value = parseInteger(args[1]);
  const long top = command == "sdac" ? 65535 : 255;
  if (!value || *value < 0 || *value > top)
    return error(kErrorValue);
  (command == "sdac" ? a.dac : a.pot) = int(*value);
  return ok();
}

} // namespace sim
