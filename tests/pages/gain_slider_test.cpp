// The Ka 43M gain slider's scale, without a window.
#include <cmath>

#include <gtest/gtest.h>

#include "pages/ka/gain_slider.h"

using kelpax::KaGainSlider;

namespace {

// Both ends, tenths and values outside the slider. Would catch a step counted over the ticks
// rather than the gaps between them, a gain not rounded to tenths before it is placed, or a
// position outside the slider for a camera's odd value.
TEST(KaGainSlider, MapsBothEndsAndRoundsToTenths) {
  const KaGainSlider slider{};
  EXPECT_DOUBLE_EQ(slider.step(), 10.0);
  EXPECT_DOUBLE_EQ(slider.gainAt(0), 1.0);
  EXPECT_DOUBLE_EQ(slider.gainAt(150), 16.0);
  EXPECT_DOUBLE_EQ(slider.gainAt(37), 4.7);
  EXPECT_EQ(slider.positionOf(1.0), 0);
  EXPECT_EQ(slider.positionOf(16.0), 150);
  EXPECT_EQ(slider.positionOf(3.14), 21);
  EXPECT_EQ(slider.positionOf(3.16), 22);
  EXPECT_EQ(slider.positionOf(0.2), 0) << "below unity stays on the slider";
  EXPECT_EQ(slider.positionOf(90.0), 150);
  EXPECT_EQ(slider.positionOf(NAN), 0);
  for (int p = 0; p <= 150; ++p)
    EXPECT_EQ(slider.positionOf(slider.gainAt(p)), p) << p;

  // Another slider: 0-40 over 5 ticks is 10 positions per whole factor, 1 to 5.
  const KaGainSlider other{.minimum = 0, .maximum = 40, .ticks = 5};
  EXPECT_DOUBLE_EQ(other.gainAt(40), 5.0);
  EXPECT_EQ(other.positionOf(5.0), 40);
  // One tick: no gaps, the span is one factor.
  const KaGainSlider single{.minimum = 0, .maximum = 10, .ticks = 1};
  EXPECT_DOUBLE_EQ(single.gainAt(10), 2.0);
}

} // namespace
