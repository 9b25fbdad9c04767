// Stem tables of the simulated cameras, built from the families' stem lists and ranges.
#include "sim/stem_table.h"

#include <algorithm>
#include <unordered_map>

#include "camera/tables/model_rules.h"
#include "camera/tables/stem_lists.h"

namespace sim {
namespace {

struct Limits {
  double min;
  double max;
  double defaultValue;
};

// Plausible limits per stem for the cameras' switches and levels; the model's own ranges
// (exposure, gain, offset, sensor size) are filled in from the model below.
const std::unordered_map<std::string_view, Limits>& stemLimits() {
  static const std::unordered_map<std::string_view, Limits> limits = {
      {"tm", {0, 4, 0}},
      {"ts", {1, 2, 1}},
      {"es", {0, 1, 0}},
      {"tp", {0, 1, 0}},
      {"sp", {0, 1, 0}},
      {"st", {0, 1, 0}},
      {"ar", {0, 1, 0}},
      {"fn", {0, 255, 1}},
      {"so", {0, 10000, 0}},
      {"db", {8, 12, 8}},
      {"ti", {0, 3, 0}},
      {"dc", {0, 1, 0}},
      {"fc", {0, 1, 0}},
      {"ii", {0, 1, 0}},
      {"hf", {0, 1, 0}},
      {"rx", {0, 1, 0}},
      {"ry", {0, 1, 0}},
      {"ls", {0, 2, 0}},
      {"ci", {0, 2, 0}},
      {"fo", {0, 4095, 0}},
      {"fi", {0, 4, 1}},
      // Flat-field data selector and the Ko-Ki sequencer: on, configuration, index, count.
      {"fds", {0, 3, 0}},
      {"sqm", {0, 1, 0}},
      {"sqcm", {0, 1, 0}},
      {"sqss", {0, 15, 0}},
      {"sqsc", {1, 16, 1}},
      {"rm", {0, 2, 0}},
      {"bf", {0, 1, 0}},
      {"cm", {1, 4, 1}},
      {"cl", {0, 5, 0}},
      {"ps", {0, 1, 0}},
      {"bv", {1, 8, 1}},
      {"bh", {1, 8, 1}},
      {"fm", {0, 2, 0}},
      {"tt", {-10, 80, 40}},
      {"go 2", {-128, 127, 0}},
      {"go 3", {-128, 127, 0}},
      {"go 4", {-128, 127, 0}},
      {"oo 1", {-128, 127, 0}},
      {"oo 2", {-128, 127, 0}},
      {"oo 3", {-128, 127, 0}},
      {"oo 4", {-128, 127, 0}},
      {"dg", {1, 16, 1}},
      // The Ka gain is a factor from unity up.
      {"g", {1, 16, 1}},
      {"bl", {0, 255, 0}},
      {"fr", {1, 1000, 30}},
      {"lr", {1, 200000, 10000}},
      {"rr", {0.001, 100, 1}},
      {"sr", {0, 1, 0}},
      {"to", {0, 100, 0}},
      {"dbl", {0, 255, 0}},
      {"dbt", {0, 100, 0}},
      {"cpo", {0, 100, 0}},
      {"hpo", {0, 100, 0}},
      {"ast", {0, 1, 1}}, // acquiring from power-up
      {"np x", {0, 30000, 0}},
      {"np y", {0, 30000, 0}},
      {"ptm", {0, 1, 0}},
      // Ke line-scan switches: operation mode (TDI, area), scan direction, TDI stages,
      // trigger activation, PRNU set, filter, pre-emphasis, rescaler.
      {"om", {0, 1, 0}},
      {"sd", {0, 3, 1}},
      {"td", {16, 256, 64}},
      {"ta", {0, 2, 0}},
      {"prnu", {0, 3, 0}},
      {"rf", {0, 1, 0}},
      {"pe", {0, 1, 0}},
      {"sm", {0, 5, 0}}, // Ke rescaler on/off; the nano-stage sequence modes 0..5
      {"pi", {0, 1, 0}},
      {"pt", {0, 1, 0}},
      // Ku line-scan image mode and direction, advanced filter, digital offset.
      {"im", {0, 5, 0}},
      {"id", {0, 2, 0}},
      {"af", {0, 1, 0}},
      {"do", {0, 255, 0}},
      // Nano-stage and cooling switches.
      {"tc", {0, 1, 0}},
      {"ft", {0, 1, 0}},
      {"me", {0, 1, 0}},
      {"rp", {0, 1, 0}},
      // Ka area cameras: line out, timer (microseconds), user output, flat-field data set.
      {"loi", {0, 1, 0}},
      {"los", {0, 3, 0}},
      {"uov", {0, 1, 0}},
      {"tdl", {0, 10000000, 0}},
      {"tdu", {1, 10000000, 1000}},
      {"tts", {0, 2, 0}},
      {"tta", {0, 1, 0}},
      {"fds", {0, 3, 0}},
      // Ky 29C: window choice, automatic functions (off, once, continuous) and their limits,
      // focus position, outputs and the pulse generator (microseconds), switches.
      {"rd", {0, 3, 0}},
      {"ea", {0, 2, 0}},
      {"fa", {0, 2, 0}},
      {"ga", {0, 2, 0}},
      {"pa", {0, 2, 0}},
      {"el", {10, 7000000, 100}},
      {"eu", {10, 7000000, 100000}},
      {"tl", {0, 100, 5}},
      {"at", {0, 255, 128}},
      {"fp", {0, 1000, 0}},
      {"gl", {0, 24, 0}},
      {"gu", {0, 24, 24}},
      {"pl", {0, 100, 0}},
      {"pu", {0, 100, 100}},
      {"li", {0, 1, 0}},
      {"ss", {0, 3, 0}},
      {"uo", {0, 1, 0}},
      {"pp", {1, 1000000, 1000}},
      {"pw", {1, 1000000, 100}},
      {"de", {0, 1, 0}},
      {"ol", {0, 1, 0}},
      {"ks", {0, 1, 0}},
      {"mc", {0, 1, 0}},
      // Ko and Ki area cameras: exposure mode, line-noise correction, high-speed read-out,
      // pixel clock, noise filter, trigger filter, defect correction, binning mode, sensor
      // gain, the line output and the timer, the global shutter's reset.
      {"em", {0, 1, 0}},
      {"lni", {0, 1, 0}},
      {"lnc", {0, 1, 0}},
      {"lnm", {0, 2, 0}},
      {"hsm", {0, 1, 0}},
      {"ccs", {0, 1, 0}},
      {"nfe", {0, 1, 0}},
      {"tg", {0, 1, 0}},
      {"ddc", {0, 1, 0}},
      {"bm", {0, 1, 0}},
      {"sc", {0, 1, 0}},
      {"pf", {0, 2, 0}},
      {"fag", {0, 1, 0}},
  };
  return limits;
}

struct SensorSize {
  std::string_view sizeClass;
  int width;
  int height;
};

constexpr SensorSize kSensorSizes[] = {
    {"1M", 1024, 1024},      {"2M", 1920, 1080},  {"3M", 2048, 1536},    {"4M", 2048, 2048},
    {"5M", 2448, 2048},      {"6M", 3072, 2048},  {"8M", 3296, 2472},    {"10M", 3664, 2748},
    {"11M", 4008, 2672},     {"12M", 4096, 3072}, {"16M", 4864, 3232},   {"25M", 5120, 5120},
    {"29M", 6576, 4384},     {"43M", 7920, 5440}, {"47M", 8856, 5280},   {"50M", 7920, 6004},
    {"71M", 10000, 7096},    {"90M", 9568, 9512}, {"101M", 11648, 8742}, {"151M", 14192, 10640},
    {"155M", 14192, 10920},  {"16K", 16384, 1},   {"8KC", 8192, 1},      {"8K2C", 8192, 2},
    {"18KC", 18432, 1},      {"12KC", 12288, 1},  {"9KC", 9216, 1},      {"4KC", 4096, 1},
    {"generic", 1392, 1040},
};

std::string_view baseOf(std::string_view stem) {
  return stem.substr(0, stem.find(' '));
}

StemDef stemFor(const kelpax::StemRegistration& reg, const kelpax::ModelDescriptor& model,
                const SimModel& sim) {
  StemDef def;
  def.stem = std::string(reg.stem);
  def.valueCount = std::max(1, reg.flags & kelpax::kFlagCountMask);
  def.type = (reg.flags & kelpax::kFlagIsFloat) ? StemType::Real : StemType::Integer;

  Limits limits{0, 65535, 0};
  const std::string_view base = baseOf(reg.stem);
  if (auto it = stemLimits().find(reg.stem); it != stemLimits().end())
    limits = it->second;
  else if (auto baseIt = stemLimits().find(base); baseIt != stemLimits().end())
    limits = baseIt->second;

  const double width = std::max(1, sim.sensorWidth);
  const double height = std::max(1, sim.sensorHeight);
  // The model's own ranges, from the same lookup the program's pages and command line use.
  if (const std::optional<kelpax::ValueRange> range = kelpax::modelRange(model, reg.stem)) {
    const double start = base == "et"   ? std::min<int32_t>(range->max, 1000)
                         : base == "ao" ? std::min<int32_t>(range->max, range->min + 10)
                         : base == "lr"
                             ? std::clamp<int32_t>(model.series == kelpax::Series::Ku ? 100 : 10000,
                                                   range->min, range->max)
                             : range->min;
    limits = {static_cast<double>(range->min), static_cast<double>(range->max), start};
  } else if (base == "iw" || base == "ww" || base == "wx" || base == "ox" || base == "io" ||
             base == "ew" || base == "ex" || base == "fw" || base == "fx") {
    // A window is at least one pixel wide and starts on the sensor.
    const bool size = base == "iw" || base == "ww" || base == "ew" || base == "fw";
    limits = {size ? 1.0 : 0.0, size ? width : std::max(0.0, width - 1), size ? width : 0};
  } else if (base == "ih" || base == "wh" || base == "wy" || base == "oy" || base == "eh" ||
             base == "ey" || base == "fh" || base == "fy") {
    const bool size = base == "ih" || base == "wh" || base == "eh" || base == "fh";
    limits = {size ? 1.0 : 0.0, size ? height : std::max(0.0, height - 1), size ? height : 0};
  }
  def.min = limits.min;
  def.max = limits.max;
  def.defaults.assign(static_cast<size_t>(def.valueCount), limits.defaultValue);
  // Ku cameras take their exposure from the program, the pulse width or the trigger's edge.
  if (base == "es" && model.series == kelpax::Series::Ku)
    def.max = 2;
  // The Ko cameras bin 1x1, 2x2 or 4x4.
  if (base == "bf" && model.series == kelpax::Series::Ko)
    def.max = 2;
  // Colour Ke cameras come up outputting RGB.
  if (base == "cl" && model.series == kelpax::Series::Ke && model.isColour())
    def.defaults = {4};

  // Areas: first and last column or line of the sensor.
  if (base == "ha" && def.valueCount == 2) {
    def.max = width - 1;
    def.defaults = {0, width - 1};
  } else if (base == "va" && def.valueCount == 2) {
    def.max = height - 1;
    def.defaults = {0, height - 1};
  }
  return def;
}

} // namespace

SimModel simModelFor(std::string_view modelName) {
  SimModel sim;
  sim.name = std::string(modelName);

  kelpax::ModelDescriptor model;
  kelpax::describeModelName(modelName, model);
  for (const SensorSize& size : kSensorSizes) {
    if (model.sizeClass == size.sizeClass) {
      sim.sensorWidth = size.width;
      sim.sensorHeight = size.height;
    }
  }
  if (model.series == kelpax::Series::Ke && !model.sizeClass.empty()) {
    // A Ke size class is the sensor's width in thousands of pixels: "4" is 4096 wide.
    int thousands = 0;
    for (char c : model.sizeClass)
      thousands =
          (c >= '0' && c <= '9' && thousands < 100) ? thousands * 10 + (c - '0') : thousands;
    if (thousands > 0) {
      sim.sensorWidth = thousands * 1024;
      sim.sensorHeight = 1;
    }
  }
  if (sim.sensorWidth == 0) {
    sim.sensorWidth = 1392;
    sim.sensorHeight = 1040;
  }
  kelpax::applyModelRanges(model);

  using kelpax::Series;
  sim.colour = model.isColour();
  sim.lineScanTdi = model.series == Series::Ke;
  sim.columnData = model.series == Series::Ka;
  sim.columnPrnu = model.is(Series::Ka, "43M");
  sim.motorLens = model.series == Series::Ky;
  sim.lineScanKu = model.series == Series::Ku;
  sim.answersSensorSize = model.series != Series::Kx && model.series != Series::Kh;
  sim.supportsRegions = (model.series == Series::Ko || model.sizeClass == "25M") &&
                        model.sizeClass != "2M" && model.sizeClass != "3M" &&
                        model.sizeClass != "4M";
  // Multi-region read-out: the 12M and 25M cameras with eight regions of one shared width, the
  // 4M C2 and 50M cameras with sixteen regions of their own.
  const bool rate4MC2 = model.rateCode == 258 || model.rateCode == 259 || model.rateCode == 264;
  if ((model.series == Series::Ko && (model.sizeClass == "12M" || model.sizeClass == "25M")) ||
      (model.series == Series::Ki && model.sizeClass == "25M")) {
    sim.regionCommands = RegionCommands::OffsetSize;
    sim.regionCount = 8;
  } else if ((model.series == Series::Ko && model.sizeClass == "50M") ||
             (model.series == Series::Ko && model.sizeClass == "4M" && rate4MC2) ||
             (model.series == Series::Kw && model.sizeClass == "4M")) {
    sim.regionCommands = RegionCommands::RegionXY;
    sim.regionCount = 16;
  }

  for (const kelpax::StemRegistration& reg : kelpax::stemsForModel(model)) {
    const bool known = std::any_of(sim.stems.begin(), sim.stems.end(),
                                   [&](const StemDef& def) { return def.stem == reg.stem; });
    if (!known)
      sim.stems.push_back(stemFor(reg, model, sim));
  }
  // Ke cameras keep look-up tables and choose them with "sls" like the other families, though
  // the program keeps no "ls" value for them.
  if (model.series == Series::Ke &&
      std::none_of(sim.stems.begin(), sim.stems.end(),
                   [](const StemDef& def) { return def.stem == "ls"; }))
    sim.stems.push_back(stemFor({"ls", 1}, model, sim));
  sim.flatField = std::any_of(sim.stems.begin(), sim.stems.end(),
                              [](const StemDef& def) { return def.stem == "fo"; });
  // A camera of no known family still keeps the common exposure and gain.
  if (sim.stems.empty()) {
    for (std::string_view stem : {"et", "ag", "tm"})
      sim.stems.push_back(stemFor({stem, 1}, model, sim));
  }
  return sim;
}

} // namespace sim
