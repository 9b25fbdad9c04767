// The Ku line-scan pages against simulated Ku cameras: every control's command, the line
// period shown as a line rate, refusals, and a camera changed behind the page's back.
#include <QApplication>

#include <gtest/gtest.h>

#include "pages/ku/ku_setting.h"
#include "tests/pages/declared_page_rig.h"

using namespace kelpax;
using pagetest::Commands;

namespace {

class KuPage : public pagetest::DeclaredPageTest<CKu_Basic_SettingDlg> {
protected:
  KuPage() : DeclaredPageTest("Ku-8K2C-M80") {}
};

class KuColourPage : public pagetest::DeclaredPageTest<CKu_Color_SettingDlg> {
protected:
  KuColourPage() : DeclaredPageTest("Ku-8KC-C40") {}
};

// Each choice sends the camera's own number: the tap outputs are numbered 0-5 for 2, 4, 8,
// 10, 3 and 6 taps whatever order the page shows them in. Would catch a tap choice sent as
// its button index, or a group wired to another stem.
TEST_F(KuPage, EveryChoiceSendsItsCommand) {
  onCamera({"stm 1"});
  struct Case {
    int section;
    const char* stem;
    size_t index;
    const char* command;
  };
  const Case cases[] = {
      {0, "ti", 2, "sti 2"}, {0, "db", 2, "sdb 12"}, {0, "cl", 1, "scl 4"}, {0, "cl", 3, "scl 5"},
      {0, "cl", 5, "scl 3"}, {0, "cl", 2, "scl 1"},  {0, "im", 5, "sim 5"}, {0, "id", 2, "sid 2"},
      {1, "es", 2, "ses 2"}, {1, "ts", 1, "sts 2"},  {1, "tp", 1, "stp 1"}, {1, "tm", 2, "stm 2"},
      {1, "tm", 0, "stm 0"},
  };
  for (const Case& c : cases) {
    showSection(c.section);
    clearSent();
    click(radio(c.stem, c.index));
    EXPECT_EQ(sent(), Commands{c.command}) << c.stem;
    EXPECT_TRUE(radio(c.stem, c.index)->isChecked()) << c.command;
  }
  EXPECT_FALSE(page.radioGroup("es")->box->isEnabled()) << "free run";
  showSection(0);
  clearSent();
  click(page.checkBox("hf")->box);
  showSection(2);
  click(page.checkBox("af")->box);
  EXPECT_EQ(sent(), (Commands{"shf 1", "saf 1"}));
  EXPECT_TRUE(checked("af"));
}

// The reals go out with two decimals; the line period shows as a rate in kHz. Would catch
// the rate computed from the typed text instead of what the camera kept, or "%0.2f" lost.
TEST_F(KuPage, RealValuesAndTheLineRate) {
  showSection(1);
  EXPECT_EQ(page.lineRateLabel()->text(), "10.00 KHz") << "the camera's 100 us";
  type("lr", "40");
  EXPECT_EQ(sent(), Commands{"slr 40.00"});
  EXPECT_EQ(shown("lr"), "40.00");
  EXPECT_EQ(page.lineRateLabel()->text(), "25.00 KHz");
  clearSent();
  spin("lr", true);
  slide("lr", 1.0);
  EXPECT_EQ(sent(), (Commands{"slr 41.00", "slr 10000.00"}));
  EXPECT_EQ(page.lineRateLabel()->text(), "0.10 KHz");
  clearSent();
  type("lr", "5"); // below the 10 us the cameras run at
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(shown("lr"), "10000.00");

  clearSent();
  type("et", "33.333");
  spin("et", false);
  EXPECT_EQ(sent(), (Commands{"set 33.33", "set 32.33"}));

  showSection(2);
  clearSent();
  type("dg", "1.5");
  spin("dg", true);
  type("do", "12");
  spin("do", false);
  type("do", "256");
  EXPECT_EQ(sent(), (Commands{"sdg 1.50", "sdg 1.51", "sdo 12", "sdo 11"}));
  EXPECT_EQ(shown("do"), "11");

  showSection(0);
  clearSent();
  type("io", "512");
  type("iw", "4096");
  spin("iw", true);
  EXPECT_EQ(sent(), (Commands{"sio 512", "siw 4096", "siw 4112"}));
}

// Refused values snap back; a camera changed behind the page's back is shown as it is.
// Would catch the rate label left at the refused period, or an exposure left enabled for an
// exposure the trigger's pulse sets.
TEST_F(KuPage, RefusalAndRefresh) {
  showSection(1);
  rig.refuseEverything(true);
  type("lr", "50");
  click(radio("tm", 1));
  rig.refuseEverything(false);
  EXPECT_EQ(sent(), (Commands{"slr 50.00", "stm 1"}));
  EXPECT_EQ(shown("lr"), "100.00");
  EXPECT_EQ(page.lineRateLabel()->text(), "10.00 KHz");
  EXPECT_TRUE(radio("tm", 0)->isChecked());

  onCamera({"slr 250", "stm 1", "ses 1", "sim 3", "sid 1", "scl 5", "sdg 2.25", "sdo 40", "saf 1",
            "sio 64"});
  EXPECT_EQ(shown("lr"), "250.00");
  EXPECT_EQ(page.lineRateLabel()->text(), "4.00 KHz");
  EXPECT_EQ(shown("dg"), "2.25");
  EXPECT_EQ(shown("do"), "40");
  EXPECT_EQ(shown("io"), "64");
  EXPECT_TRUE(radio("im", 3)->isChecked());
  EXPECT_TRUE(radio("id", 1)->isChecked());
  EXPECT_TRUE(radio("cl", 3)->isChecked()) << "output 5 is six taps";
  EXPECT_TRUE(checked("af"));
  EXPECT_FALSE(page.realValue("et")->edit->isEnabled()) << "the pulse width exposes";
}

// The colour page is the same page: it shows the line rate too.
TEST_F(KuColourPage, ShowsTheLineRate) {
  onCamera({"slr 125"});
  EXPECT_EQ(page.lineRateLabel()->text(), "8.00 KHz");
  EXPECT_EQ(page.sectionCount(), 3);
}

// Errors, garbage and out-of-range answers: nothing sent, nothing made up, no crash.
TEST(KuPageHostile, ErrorsGarbageAndOutOfRange) {
  pagetest::HostileHost host("Ku-8K2C-M80", Series::Ku);
  host.answered("lr", "Error : command failed");
  host.answered("dg", "#!?");
  host.answered("cl", "77");
  host.answered("im", "-1");
  host.answered("io", "99999999");
  CKu_Basic_SettingDlg page(host);
  page.setControlsFromCache();
  page.refreshAll();
  pagetest::settle();
  EXPECT_TRUE(host.sent.empty());
  EXPECT_TRUE(page.realValue("lr")->edit->text().isEmpty());
  EXPECT_TRUE(page.lineRateLabel()->text().isEmpty());
  EXPECT_EQ(page.value("io")->edit->text(), "99999999") << "the camera's value, as it is";
  EXPECT_TRUE(page.radioGroup("im")->buttons[0]->isChecked());
  // Spinning a value the camera never gave has nothing to step from.
  page.showSection(CKu_Basic_SettingDlg::kModeExposure);
  QTest::mouseClick(page.realValue("lr")->spin->upButton(), Qt::LeftButton);
  pagetest::settle();
  EXPECT_TRUE(host.sent.empty());
}

} // namespace
