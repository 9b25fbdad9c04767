// What a camera's model name says: series, size class, colour, rate code, and the ranges
// its settings take. Shared by the program and the simulator.
#include "camera/tables/model_rules.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace kelpax {
namespace {

std::string_view leadingDigits(std::string_view text) {
  size_t n = 0;
  while (n < text.size() && std::isdigit(static_cast<unsigned char>(text[n])))
    ++n;
  return text.substr(0, n);
}

// Numbers in a model name are a few digits; a longer run of digits saturates here, so the
// rate value (ten times the number) and the rate code (276 plus it) stay inside an int.
constexpr int kNameNumberLimit = 99999999;

int toInt(std::string_view digits) {
  int value = 0;
  for (char c : digits) {
    if (value > (kNameNumberLimit - (c - '0')) / 10)
      return kNameNumberLimit;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

int rateCodeOf(std::string_view rateDigits, std::string_view sizeSegment) {
  static constexpr std::pair<std::string_view, int> kRates[] = {
      {"64", 256},  {"68", 257},  {"40", 258},  {"80", 259},  {"75", 260}, {"150", 261},
      {"160", 262}, {"110", 263}, {"180", 264}, {"340", 265}, {"5", 266},  {"52", 267},
      {"65", 268},  {"4", 269},   {"7", 270},   {"35", 271},  {"70", 272}};
  for (const auto& [digits, code] : kRates) {
    if (rateDigits == digits)
      return code;
  }
  if (sizeSegment.size() > 1) {
    std::string_view tail = sizeSegment.substr(1);
    if (contains(tail, "110"))
      return 263;
    if (contains(tail, "160"))
      return 262;
    if (contains(tail, "180"))
      return 264;
  }
  return 0;
}

int keRateCodeOf(std::string_view rateDigits) {
  if (rateDigits.empty())
    return 0;
  const int n = toInt(rateDigits);
  switch (n) {
  case 40:
    return 273;
  case 60:
    return 274;
  case 80:
    return 275;
  case 120:
    return 276;
  default:
    return 276 + n;
  }
}

void describeKe(std::string_view sizeSegment, std::string_view rateSegment,
                ModelDescriptor& model) {
  if (contains(rateSegment, "M"))
    model.colour = 2;
  else if (contains(rateSegment, "C"))
    model.colour = 1;
  if (contains(rateSegment, "H"))
    model.letterFlag = 'H';
  else if (contains(rateSegment, "E"))
    model.letterFlag = 'E';

  const size_t k = sizeSegment.find('K');
  if (k != std::string_view::npos) {
    model.sizeClass = std::string(leadingDigits(sizeSegment.substr(0, k)));
    const size_t c = sizeSegment.find('C', k + 1);
    std::string_view between =
        sizeSegment.substr(k + 1, c == std::string_view::npos ? std::string_view::npos : c - k - 1);
    // The whole part only: "4K5C" gives 50, "4K7.5C" 70.
    model.rateValue = toInt(leadingDigits(between)) * 10;
  }

  const std::string& cls = model.sizeClass;
  if (model.isMonochrome())
    model.kePage = (cls == "3" || cls == "6" || (cls == "4" && model.rateValue == 50))
                       ? KePage::Newer
                       : KePage::Normal;
  else
    model.kePage = KePage::Colour;
}

} // namespace

void describeModelName(std::string_view modelName, ModelDescriptor& model) {
  const ValueRange gain = model.gain;
  const ValueRange offset = model.offset;
  const ValueRange exposure = model.exposureUs;
  const int32_t width = model.sensorWidth;
  const int32_t height = model.sensorHeight;
  model = ModelDescriptor{};
  model.gain = gain;
  model.offset = offset;
  model.exposureUs = exposure;
  model.sensorWidth = width;
  model.sensorHeight = height;
  model.modelName = std::string(modelName);

  const std::vector<std::string_view> segments = modelSegments(modelName);
  const std::string_view sizeSegment = segments.size() > 1 ? segments[1] : std::string_view{};
  const std::string_view rateSegment = segments.size() > 2 ? segments[2] : std::string_view{};

  model.series = seriesOfModel(modelName);
  if (model.series == Series::Ke)
    describeKe(sizeSegment, rateSegment, model);
  else
    model.sizeClass = sizeClassOfSegment(sizeSegment);

  model.c2 = contains(sizeSegment, "C2");
  if (contains(rateSegment, "M"))
    model.colour = 2;
  else if (contains(rateSegment, "C"))
    model.colour = 1;

  const std::string_view rateDigits =
      rateSegment.empty() ? std::string_view{} : leadingDigits(rateSegment.substr(1));
  model.rateCode =
      model.series == Series::Ke ? keRateCodeOf(rateDigits) : rateCodeOf(rateDigits, sizeSegment);
}

void applyModelRanges(ModelDescriptor& model) {
  model.exposureUs = {10, 7000000};
  model.gain.min = 0;
  model.offset.min = 0;
  // The generic maxima, which most models keep; those that no rule below sets (Kw, Ko 4M
  // with C2, the Ka 47M gain) keep them too, so a previous camera's limits never apply.
  model.gain.max = 899;
  model.offset.max = 255;
  auto longExposure = [&] {
    model.exposureUs = {1, 60000000};
    model.offset = {0, 60000000};
    model.gain = {1, 30};
  };
  const std::string& size = model.sizeClass;
  const bool longExposureSize = size == "101M" || size == "151M";
  switch (model.series) {
  case Series::Kw:
    if (size == "4M")
      model.exposureUs = {10, 6000000};
    break;
  case Series::Ko:
    if (size == "10M") {
      model.gain.max = 127;
      model.offset.max = 63;
    } else if (size == "4M" && model.c2) {
      model.exposureUs = {10, 6000000};
    } else if (size == "50M" || longExposureSize) {
      longExposure();
    } else {
      model.gain.max = 63;
      model.offset.max = 63;
    }
    break;
  case Series::Ki:
  case Series::Ku:
    if (size == "71M" || size == "25M") {
      model.gain.max = 63;
      model.offset.max = 63;
    } else if (longExposureSize) {
      longExposure();
    }
    break;
  case Series::Ke:
    model.sensorWidth = 131072;
    model.sensorHeight = 32;
    model.exposureUs = {1, model.kePage == KePage::Newer ? 20000 : 10000};
    model.gain = {1, 32};
    model.offset = {0, 2048};
    break;
  case Series::Ka:
    if (size == "47M") {
      model.exposureUs = {1, 60000000};
      model.offset = {1, 60000000};
    }
    break;
  case Series::Kx:
  case Series::Kh:
  case Series::Kn:
  case Series::KnP:
  case Series::Ky:
  case Series::None:
    break;
  }
}

std::optional<ValueRange> modelRange(const ModelDescriptor& model, std::string_view stem) {
  const std::string_view base = stem.substr(0, stem.find(' '));
  if (base == "et")
    return model.exposureUs;
  if (base == "ag")
    return model.gain;
  if (base == "ao")
    return model.offset;
  if (base == "lr") {
    // Ke cameras take the line rate in Hz up to their rate value in kHz; Ku cameras the line
    // period in microseconds.
    if (model.series == Series::Ke)
      return ValueRange{100, model.rateValue > 0
                                 ? static_cast<int32_t>(std::clamp<int64_t>(
                                       int64_t{model.rateValue} * 1000, 1000, 1000000))
                                 : 200000};
    if (model.series == Series::Ku)
      return ValueRange{10, 10000};
  }
  return std::nullopt;
}

} // namespace kelpax
