// Range checks of the grid's editors and the trackbar scaling of sliders.
#include <gtest/gtest.h>

#include "nodeview/edit_checks.h"

namespace nodeview {
namespace {

struct FloatCase {
  const char* text;
  double minimum;
  double maximum;
  bool accept;
  const char* shown;
  const char* message;
};

// Catches an outside value that reaches the camera, a message shown for a maximum of 0, and
// bounds printed unrounded.
TEST(EditChecks, FloatEditsFollowTheTable) {
  const FloatCase cases[] = {
      {"5", 0, 10, true, "5", ""},
      {"11", 0, 10, false, "10.000000", "Value must be between 0.000000 and 10.000000."},
      {"-1", 0.1234567, 10, false, "0.123457", "Value must be between 0.123457 and 10.000000."},
      {"-5", -1, 0, true, "-1.000000", ""},
      {"3", -10, -1, true, "-1.000000", ""},
      {"x", 0, 10, false, "x", "Value must be a number."},
  };
  for (const auto& c : cases) {
    EditCheck check = checkFloatEdit(c.text, c.minimum, c.maximum);
    EXPECT_EQ(check.accept, c.accept) << c.text;
    EXPECT_EQ(check.text, c.shown) << c.text;
    EXPECT_EQ(check.message, c.message) << c.text;
  }
}

struct IntegerCase {
  const char* text;
  std::int64_t minimum;
  std::int64_t maximum;
  bool accept;
  const char* shown;
  const char* message;
};

// Catches integer edits let through beyond their bounds and the unsigned upper bound.
TEST(EditChecks, IntegerEditsFollowTheTable) {
  const IntegerCase cases[] = {
      {"16", 4, 4096, true, "16", ""},
      {"2", 4, 4096, false, "4", "Value must be between 4 and 4096."},
      {"5000", 4, 4096, false, "4096", "Value must be between 4 and 4096."},
      {"-3", -2, 0, true, "-2", ""},
      {"99999999999", 0, 9000000000, false, "9000000000",
       "Value must be between 0 and 9000000000."},
      {"1.5", 0, 10, false, "1.5", "Value must be a whole number."},
  };
  for (const auto& c : cases) {
    EditCheck check = checkIntegerEdit(c.text, c.minimum, c.maximum);
    EXPECT_EQ(check.accept, c.accept) << c.text;
    EXPECT_EQ(check.text, c.shown) << c.text;
    EXPECT_EQ(check.message, c.message) << c.text;
  }
}

// Catches the 32-bit form used for a maximum that does not fit in it.
TEST(EditChecks, SliderMessagesChooseTheirForm) {
  EXPECT_EQ(sliderRangeMessage(std::int64_t(0), std::int64_t(100)),
            "Value must be between 0 and 100.");
  EXPECT_EQ(sliderRangeMessage(std::int64_t(-5), std::int64_t(0x1ffffffff)),
            "Value must be between -5 and 8589934591.");
  EXPECT_EQ(sliderRangeMessage(0.5, 2.0), "Value must be between 0.500000 and 2.000000.");
}

TEST(EditChecks, RoundsBoundsToSixDecimals) {
  EXPECT_DOUBLE_EQ(roundTo6Decimals(1.0000004), 1.0);
  EXPECT_DOUBLE_EQ(roundTo6Decimals(1.0000005), 1.000001);
  EXPECT_DOUBLE_EQ(roundTo6Decimals(-0.0000004), 0.0);
}

// A narrow range needs no scale: catches positions that are not plain increments.
TEST(EditChecks, NarrowIntegerSliderUsesSteps) {
  IntegerSliderScale slider(0, 100, 4);
  EXPECT_EQ(slider.scale(), 0);
  EXPECT_FALSE(slider.wide());
  EXPECT_EQ(slider.rangeMax(), 25);
  EXPECT_EQ(slider.positionFor(40), 10);
  EXPECT_EQ(slider.valueAt(10), 40);
  EXPECT_EQ(slider.valueAt(25), 100);
  EXPECT_EQ(slider.valueAt(0), 0);
}

// A range wider than 2^31 is scaled: catches a 32-bit overflow of the trackbar and ends that
// do not reach the bounds exactly.
TEST(EditChecks, WideIntegerSliderScales) {
  const std::int64_t minimum = 0;
  const std::int64_t maximum = 0xffffffffffLL; // 40 bits
  IntegerSliderScale slider(minimum, maximum, 1);
  EXPECT_TRUE(slider.wide());
  EXPECT_EQ(slider.scale(), maximum / 2147483647);
  EXPECT_EQ(slider.rangeMax(), 2147483647);
  EXPECT_EQ(slider.valueAt(0), minimum);
  EXPECT_EQ(slider.valueAt(2147483647), maximum);
  std::int64_t middle = maximum / 2;
  int position = slider.positionFor(middle);
  EXPECT_GT(position, 0);
  EXPECT_LT(position, 2147483647);
  EXPECT_LE(std::llabs(slider.valueAt(position) - middle), slider.scale());

  IntegerSliderScale full(INT64_MIN, INT64_MAX, 1);
  EXPECT_EQ(full.valueAt(0), INT64_MIN);
  EXPECT_EQ(full.valueAt(full.rangeMax()), INT64_MAX);
  EXPECT_GE(full.positionFor(0), 0);
}

// Catches snapping that keeps odd values for an increment of 2, or that drops small values
// below the minimum.
TEST(EditChecks, SnapsToTheIncrement) {
  IntegerSliderScale slider(2, 1000, 8);
  EXPECT_EQ(slider.snap(16), 16);
  EXPECT_EQ(slider.snap(17), 24);
  EXPECT_EQ(slider.snap(5), 2);
  EXPECT_EQ(slider.snap(999), 1000);
}

TEST(EditChecks, FloatSliderSteps) {
  FloatSliderScale slider(10.0, 20.0, 0.5);
  EXPECT_EQ(slider.rangeMax(), 20);
  EXPECT_EQ(slider.positionFor(12.5), 5);
  EXPECT_DOUBLE_EQ(slider.valueAt(5), 12.5);
  EXPECT_DOUBLE_EQ(slider.valueAt(20), 20.0);
  EXPECT_DOUBLE_EQ(slider.valueAt(99), 20.0);
}

} // namespace
} // namespace nodeview
