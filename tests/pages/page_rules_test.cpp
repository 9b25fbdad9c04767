// Radio selection from the cache, slider jumps, integer edit text and trigger enabling.
#include <climits>

#include <gtest/gtest.h>

#include "pages/page_rules.h"

using namespace kelpax;

namespace {

// Would catch a negative remainder indexing before the first radio (a cache that was never
// read holds -1) or the source offset of 1 forgotten.
TEST(RadioIndexFromCache, ModuloWithNegativeAsFirst) {
  struct Case {
    int32_t cached;
    int32_t first;
    int count;
    int index;
  };
  const Case cases[] = {
      {0, 0, 5, 0},  {4, 0, 5, 4}, {5, 0, 5, 0},         {7, 0, 5, 2},         {-1, 0, 5, 0},
      {-6, 0, 5, 0}, {1, 1, 2, 0}, {2, 1, 2, 1},         {3, 1, 2, 0},         {0, 1, 2, 0},
      {-1, 1, 2, 0}, {1, 0, 2, 1}, {INT32_MIN, 1, 2, 0}, {INT32_MAX, 0, 5, 2}, {3, 0, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(radioIndexFromCache(c.cached, c.first, c.count), c.index)
        << c.cached << " first " << c.first << " of " << c.count;
}

// Would catch the 9-pixel ends ignored (a click 3 px from the left must give the minimum),
// floating rounding, overflow on wide ranges, or a division by zero on a tiny slider.
TEST(SliderJump, PointerToValue) {
  struct Case {
    int x;
    int width;
    int min;
    int max;
    int value;
  };
  const Case cases[] = {
      {3, 200, 0, 1000, 0},
      {-5, 200, 0, 1000, 0},
      {8, 200, 0, 1000, 0},
      {9, 200, 0, 1000, 0},
      {10, 200, 0, 1000, 5},
      {100, 200, 0, 1000, 500},
      {191, 200, 0, 1000, 1000},
      {192, 200, 0, 1000, 1000},
      {500, 200, 0, 1000, 1000},
      {59, 118, 10, 20, 15},
      {3, 118, 10, 20, 10},
      {9, 18, 0, 100, 100},
      {100, 200, 0, INT32_MAX, 1073741823},
  };
  for (const auto& c : cases)
    EXPECT_EQ(sliderJumpValue(c.x, c.width, c.min, c.max), c.value)
        << "x " << c.x << " width " << c.width;
}

// Would catch an empty field read as 0, a sign not taken, or a long number wrapping round to
// a value that passes the range check.
TEST(EditInteger, TextToValue) {
  struct Case {
    const char* text;
    int32_t value;
  };
  const Case cases[] = {
      {"", -1},
      {"0", 0},
      {"123", 123},
      {"+45", 45},
      {"-7", -7},
      {"-", 0},
      {"12-3", 12},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},
      {"99999999999", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"-99999999999", INT32_MIN},
  };
  for (const auto& c : cases)
    EXPECT_EQ(parseEditInteger(c.text), c.value) << '"' << c.text << '"';
}

// The enabling table of the trigger page, one row per mode and continue state. Would catch
// a row swapped (fast and double differ only in the exposure radios) or continue ignored.
TEST(TriggerEnabling, PerMode) {
  struct Case {
    int32_t mode;
    bool continueChecked;
    TriggerEnabling expected;
  };
  const TriggerEnabling none{};
  const TriggerEnabling sync{true, true, true, true, true, true};
  const TriggerEnabling syncContinue{true, true, true, true, true, false};
  const TriggerEnabling fast{true, false, true, false, true, false};
  const TriggerEnabling twice{true, true, true, false, true, false};
  const TriggerEnabling overlap{true, true, true, false, false, false};
  const Case cases[] = {
      {0, false, none},  {0, true, none},  {1, false, sync},  {1, true, syncContinue},
      {2, false, fast},  {2, true, fast},  {3, false, twice}, {4, true, overlap},
      {-1, false, none}, {7, false, fast}, {5, false, none},
  };
  for (const auto& c : cases)
    EXPECT_EQ(triggerEnabling(c.mode, c.continueChecked), c.expected)
        << "mode " << c.mode << " continue " << c.continueChecked;
}

} // namespace
