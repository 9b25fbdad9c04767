// The colour calibration dialog against a simulated colour camera: the gains it reads,
// sends with six decimals, the white balance and the reset.
#include <QApplication>

#include <gtest/gtest.h>

#include "pages/bayer_gain.h"
#include "tests/pages/declared_page_rig.h"

using namespace kelpax;
using pagetest::Commands;

namespace {

class BayerGain : public pagetest::DeclaredPageTest<CBayerGain> {
protected:
  BayerGain() : DeclaredPageTest("Ko-50M-C40") {}
};

// Showing the dialog reads the three gains; typing, spinning and sliding send "srg r %f"
// and the dialog shows what the camera kept. Would catch a gain sent with the wrong
// precision, a channel read into another's field, or a refused gain left standing.
TEST_F(BayerGain, GainsReadSetAndSnapBack) {
  page.hide();
  clearSent();
  page.show();
  pagetest::settle();
  EXPECT_EQ(sent(), (Commands{"grg r", "grg g", "grg b"}));
  EXPECT_EQ(shown("rg r"), "1.000000");

  clearSent();
  type("rg r", "1.5");
  EXPECT_EQ(sent(), (Commands{"srg r 1.500000", "grg r"}));
  EXPECT_EQ(shown("rg r"), "1.500000");
  clearSent();
  spin("rg g", true);
  EXPECT_EQ(sent(), (Commands{"srg g 1.010000", "grg g"}));
  clearSent();
  slide("rg b", 1.0);
  EXPECT_EQ(sent(), (Commands{"srg b 8.000000", "grg b"}));
  EXPECT_EQ(shown("rg b"), "8.000000");

  clearSent();
  type("rg r", "9"); // beyond the eightfold gain: not sent, the camera's value again
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(shown("rg r"), "1.500000");
  rig.refuseEverything(true);
  type("rg r", "2");
  rig.refuseEverything(false);
  EXPECT_EQ(sent(), (Commands{"srg r 2.000000", "grg r"}));
  EXPECT_TRUE(shown("rg r").isEmpty()) << "the camera answered no gain";
  // This fault answers "Error" after the camera took the value: read again, the dialog
  // shows what the camera holds, not what it last showed.
  page.readGains();
  EXPECT_EQ(shown("rg r"), "2.000000");
}

// The white balance waits for the camera and shows its new gains; the reset sends unity to
// each channel. Would catch the gains not read back after either.
TEST_F(BayerGain, WhiteBalanceAndReset) {
  clearSent();
  click(page.button("Auto White Balance"));
  EXPECT_EQ(sent(), (Commands{"arg", "grg r", "grg g", "grg b"}));
  EXPECT_EQ(rig.host().sent[0].timeoutMs, 10000u);
  EXPECT_EQ(shown("rg r"), "1.250000");
  EXPECT_EQ(shown("rg b"), "1.500000");
  clearSent();
  click(page.button("Color Reset"));
  EXPECT_EQ(sent(), (Commands{"srg r 1", "srg g 1", "srg b 1", "grg r", "grg g", "grg b"}));
  EXPECT_EQ(shown("rg r"), "1.000000");
  EXPECT_EQ(shown("rg b"), "1.000000");
}

// A monochrome camera has no colour gains: showing the dialog asks nothing.
TEST(BayerGainMonochrome, AsksNothing) {
  pagetest::HostileHost host("Ko-50M-M40", Series::Ko);
  CBayerGain page(host);
  page.show();
  pagetest::settle();
  EXPECT_TRUE(host.sent.empty());
  EXPECT_TRUE(page.realValue("rg r")->edit->text().isEmpty());
}

} // namespace
