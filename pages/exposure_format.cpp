// Exposure and strobe-offset arithmetic of the trigger pages.
#include "pages/exposure_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kelpax {
namespace {

// Truncates a slider position. The logarithms leave exact positions a hair short
// (10000 us comes out as 999.9999...), so a position within 1e-9 of the next whole
// number counts as that number.
int clampPosition(double position, int maxPosition) {
  if (!(position > 0)) // also catches NaN
    return 0;
  position += 1e-9;
  if (position >= maxPosition)
    return maxPosition;
  return static_cast<int>(position);
}

int32_t clampToInt32(double value) {
  if (!(value > 0))
    return 0;
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

std::string printed(const char* format, int a, int b = 0) {
  char text[48];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(text, sizeof text, format, a, b);
#pragma GCC diagnostic pop
  return text;
}

} // namespace

int exposureSliderPosition(int32_t exposureUs, int32_t minUs, int32_t maxUs) {
  if (minUs <= 0 || maxUs <= minUs || exposureUs <= 0)
    return 0;
  const double l0 = std::log2(static_cast<double>(minUs));
  const double l1 = std::log2(static_cast<double>(maxUs));
  const double position = (std::log2(static_cast<double>(exposureUs)) - l0) * 1000.0 / (l1 - l0);
  return clampPosition(position, kExposureSliderMax);
}

int32_t exposureFromSliderPosition(int position, int32_t minUs, int32_t maxUs) {
  if (minUs <= 0 || maxUs <= minUs)
    return minUs;
  const double l0 = std::log2(static_cast<double>(minUs));
  const double l1 = std::log2(static_cast<double>(maxUs));
  const int32_t value = clampToInt32(std::exp2(position * (l1 - l0) / 1000.0 + l0));
  const int32_t lastDigit = value % 10;
  const int64_t rounded = static_cast<int64_t>(value) - lastDigit + (lastDigit >= 5 ? 10 : 0);
  return static_cast<int32_t>(std::min<int64_t>(rounded, std::numeric_limits<int32_t>::max()));
}

namespace {
// Slider steps from the offset 0 to the strobe maximum: ln(10000) / ln(1.001).
double strobeSteps() {
  return std::log(static_cast<double>(kStrobeOffsetMax)) / std::log(1.001);
}
} // namespace

int strobeSliderPosition(int32_t offsetUs) {
  if (offsetUs <= 0)
    return 0;
  const double m = strobeSteps();
  const double position =
      (std::log(static_cast<double>(offsetUs)) / std::log(1.001) + 1.0) * 1000.0 / (m + 1.0);
  return clampPosition(position, kStrobeSliderMax);
}

int32_t strobeFromSliderPosition(int position, int32_t cachedOffsetUs) {
  const double m = strobeSteps();
  double value = std::pow(1.001, position * (m + 1.0) / 1000.0 - 1.0);
  if (value < 0)
    value = 0;
  if (value > cachedOffsetUs && value - cachedOffsetUs < 1.0)
    value += 1.0;
  return clampToInt32(value);
}

std::string exposureTimeText(int32_t exposureUs) {
  if (exposureUs < 1000)
    return printed("%d us", exposureUs);
  if (exposureUs < 1000000)
    return printed("%d.%02d ms", exposureUs / 1000, exposureUs % 1000 / 10);
  return printed("%d.%02d s", exposureUs / 1000000, exposureUs % 1000000 / 10000);
}

std::string shutterText(int32_t exposureUs) {
  if (exposureUs <= 0)
    return {};
  const double frequency = 1000000.0 / exposureUs;
  if (frequency >= 2.99)
    return printed("1 / %d s", static_cast<int>(frequency));
  // Whole seconds of 1/f and the tenths digit of 10/f, taken from the time itself so that
  // 2.5 s does not come out as 2.4 s through the division.
  const int seconds = exposureUs / 1000000;
  const int tenths = exposureUs / 100000 % 10;
  return printed("%d.%d s", seconds, tenths);
}

std::string rangeMinText(int32_t minUs) {
  return printed("%d us", minUs);
}

std::string rangeMaxText(int32_t maxUs) {
  return printed("%d s", maxUs / 1000000);
}

std::string strobeOffsetText(int32_t offsetUs) {
  if (offsetUs < 1000)
    return printed("%d us", offsetUs);
  return printed("%d.%02d ms", offsetUs / 1000, offsetUs % 1000 / 10);
}

} // namespace kelpax
