// Exposure, strobe-offset and line-rate arithmetic: label texts and the logarithmic slider maps.
#include <gtest/gtest.h>

#include "camera/tables/model_rules.h"
#include "pages/exposure_format.h"
#include "pages/line_rate.h"

using namespace kelpax;

namespace {

struct TextCase {
  int32_t us;
  const char* text;
};

// Would catch a wrong unit boundary, rounding instead of truncating, or missing zero padding.
TEST(ExposureFormat, TimeLabel) {
  const TextCase cases[] = {
      {-1, "-1 us"},       {0, "0 us"},         {10, "10 us"},       {999, "999 us"},
      {1000, "1.00 ms"},   {1009, "1.00 ms"},   {1050, "1.05 ms"},   {999999, "999.99 ms"},
      {1000000, "1.00 s"}, {2500000, "2.50 s"}, {7000000, "7.00 s"}, {10009999, "10.00 s"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(exposureTimeText(c.us), c.text) << c.us;
}

// Would catch the 2.99 threshold taken the wrong way, a rounded fraction, or a division by
// zero for a cache that holds no time.
TEST(ExposureFormat, ShutterLabel) {
  const TextCase cases[] = {
      {250, "1 / 4000 s"},
      {1, "1 / 1000000 s"},
      {334448, "1 / 2 s"}, // f = 2.990003
      {334449, "0.3 s"},
      {500000, "0.5 s"},
      {1000000, "1.0 s"},
      {2500000, "2.5 s"},
      {7000000, "7.0 s"},
      {0, ""},
      {-1, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(shutterText(c.us), c.text) << c.us;
}

// Would catch the maximum shown in microseconds or rounded up to the next second.
TEST(ExposureFormat, RangeAndStrobeLabels) {
  EXPECT_EQ(rangeMinText(10), "10 us");
  EXPECT_EQ(rangeMaxText(7000000), "7 s");
  EXPECT_EQ(rangeMaxText(7999999), "7 s");
  EXPECT_EQ(rangeMaxText(999999), "0 s");
  const TextCase strobe[] = {
      {0, "0 us"}, {999, "999 us"}, {1000, "1.00 ms"}, {1234, "1.23 ms"}, {10000, "10.00 ms"},
  };
  for (const auto& c : strobe)
    EXPECT_EQ(strobeOffsetText(c.us), c.text) << c.us;
}

struct PositionCase {
  int32_t us;
  int position;
};

// Model range 10 us .. 7 s. Would catch a linear map, a rounded position, or a log of zero
// or of a negative time reaching the slider.
TEST(ExposureSlider, PositionOfTime) {
  const PositionCase cases[] = {
      {10, 0}, {1000, 342}, {1050, 345}, {100000, 684},   {7000000, 1000},
      {5, 0},  {0, 0},      {-1, 0},     {8000000, 1000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(exposureSliderPosition(c.us, 10, 7000000), c.position) << c.us;
  // A range without a width or with a minimum of 0 has no logarithmic scale.
  EXPECT_EQ(exposureSliderPosition(100, 0, 1000), 0);
  EXPECT_EQ(exposureSliderPosition(100, 100, 100), 0);
}

// Would catch a missing rounding to 10 us, rounding 5 down, or truncation losing the end
// points (2^log2(10) is 9.999...).
TEST(ExposureSlider, TimeOfPosition) {
  const PositionCase cases[] = {
      {10, 0},      {10, 1},        {10, 30}, // 14 us rounds down
      {20, 31},                               // 15 us rounds up
      {40, 100},    {100, 171},     {1000, 342},     {8370, 500},
      {99550, 684}, {6906420, 999}, {7000000, 1000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(exposureFromSliderPosition(c.position, 10, 7000000), c.us) << c.position;
}

// Every slider position gives a time the camera takes: a multiple of 10, inside the range,
// never going back as the slider moves right. Would catch overflow or a non-monotone map.
TEST(ExposureSlider, EveryPositionIsAUsableTime) {
  int32_t previous = 0;
  for (int position = 0; position <= kExposureSliderMax; ++position) {
    const int32_t us = exposureFromSliderPosition(position, 10, 7000000);
    EXPECT_EQ(us % 10, 0) << position;
    EXPECT_GE(us, 10) << position;
    EXPECT_LE(us, 7000000) << position;
    EXPECT_GE(us, previous) << position;
    previous = us;
  }
}

// Would catch a base other than 1.001, a missing offset of one, or a log of 0.
TEST(StrobeSlider, PositionOfOffset) {
  const PositionCase cases[] = {
      {0, 0}, {-1, 0}, {1, 0}, {100, 500}, {1000, 750}, {10000, 1000}, {20000, 1000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(strobeSliderPosition(c.us), c.position) << c.us;
}

// Would catch the small-move rule missing (a drag that never changes the value) or applied
// below the cached value.
TEST(StrobeSlider, OffsetOfPosition) {
  struct Case {
    int position;
    int32_t cached;
    int32_t us;
  };
  const Case cases[] = {
      {0, 5, 0},    {0, 0, 1},   // 0.999 lies within 1 above 0
      {100, 3, 2},  {100, 2, 3}, // 2.51 lies within 1 above 2
      {500, 0, 99}, {500, 99, 100}, {750, 0, 999}, {1000, 0, 10000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(strobeFromSliderPosition(c.position, c.cached), c.us)
        << c.position << " cached " << c.cached;
}

} // namespace

// The line-scan cameras' line period as a rate, and the line-rate ranges the models give.
// Would catch the rate shown as a period, a period of 0 dividing by zero, or a Ke camera's
// rate limit taken from the wrong digits of its name (or overflowing for a long one).
TEST(LineRate, TextAndRanges) {
  EXPECT_EQ(lineRateText(100), "10.00 KHz");
  EXPECT_EQ(lineRateText(3), "333.33 KHz");
  EXPECT_EQ(lineRateText(10000), "0.10 KHz");
  EXPECT_EQ(lineRateText(0), "");
  EXPECT_EQ(lineRateText(-1), "");

  struct Case {
    const char* model;
    int32_t min, max;
  };
  const Case cases[] = {
      {"Ke-4K5C-M40", 100, 50000},          {"Ke-9K2C-C50", 100, 20000},
      {"Ke-3KC-MH60", 100, 200000}, // no rate in the name
      {"Ke-4K99999999C-M40", 100, 1000000}, {"Ku-8K2C-M80", 10, 10000},
  };
  for (const Case& c : cases) {
    ModelDescriptor model;
    describeModelName(c.model, model);
    applyModelRanges(model);
    const std::optional<ValueRange> range = modelRange(model, "lr");
    ASSERT_TRUE(range.has_value()) << c.model;
    EXPECT_EQ(range->min, c.min) << c.model;
    EXPECT_EQ(range->max, c.max) << c.model;
  }
  ModelDescriptor ko;
  describeModelName("Ko-25MC-C65", ko);
  EXPECT_FALSE(modelRange(ko, "lr").has_value()) << "area cameras have no line rate";
}
