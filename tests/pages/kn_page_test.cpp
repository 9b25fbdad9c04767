// The Kn 47M cameras' use of the Ka 47M page: its region window against a simulated Kn 47M.
#include <QApplication>

#include <gtest/gtest.h>

#include "pages/ka/ka_setting.h"
#include "tests/pages/declared_page_rig.h"

using namespace kelpax;
using pagetest::Commands;

namespace {

class Kn47MPage : public pagetest::DeclaredPageTest<CKa47M_Setting> {
protected:
  Kn47MPage() : DeclaredPageTest("Kn-47M-M40") {}
};

// The window edits show what the camera holds, follow it when it changes behind the page's
// back, and send what the operator types or spins. Would catch a Kn 47M whose cache keeps no
// window (the edits stay empty and nothing is sent), or a camera that does not take them.
TEST_F(Kn47MPage, WindowEditsShowTheCamerasValuesAndSendChanges) {
  const int32_t width = rig.host().modelDescriptor().sensorWidth;
  const int32_t height = rig.host().modelDescriptor().sensorHeight;
  ASSERT_GT(width, 1);
  ASSERT_GT(height, 1);
  showSection(0);
  // A camera at power-up reads out its whole sensor.
  EXPECT_EQ(shown("wx"), "0");
  EXPECT_EQ(shown("wy"), "0");
  EXPECT_EQ(shown("ww"), QString::number(width));
  EXPECT_EQ(shown("wh"), QString::number(height));

  onCamera({"swx 128", "swy 64", "sww 4096", "swh 2048"});
  EXPECT_EQ(shown("wx"), "128");
  EXPECT_EQ(shown("wy"), "64");
  EXPECT_EQ(shown("ww"), "4096");
  EXPECT_EQ(shown("wh"), "2048");

  type("wx", "256");
  spin("wy", true);
  type("ww", "0"); // no window is narrower than a pixel: not sent
  type("ww", "2000");
  type("wh", std::to_string(height + 1).c_str()); // beyond the sensor: not sent
  EXPECT_EQ(sent(), (Commands{"swx 256", "swy 65", "sww 2000"}));
  EXPECT_EQ(cached("wx"), 256);
  EXPECT_EQ(cached("wy"), 65);
  EXPECT_EQ(cached("ww"), 2000);
  EXPECT_EQ(shown("ww"), "2000");
  EXPECT_EQ(shown("wh"), "2048") << "snapped back";

  // A refusal leaves the edit on the camera's value.
  rig.refuseEverything(true);
  clearSent();
  type("wx", "300");
  rig.refuseEverything(false);
  EXPECT_EQ(sent(), Commands{"swx 300"});
  EXPECT_EQ(shown("wx"), "256");
}

} // namespace
