// The Ke pages against simulated Ke cameras: every control's command, what a refusal leaves,
// what the page shows of a camera changed behind its back, the trigger statistics and the
// colour coefficients, and cameras that answer nothing sensible.
#include <QApplication>
#include <cmath>

#include <gtest/gtest.h>

#include "pages/ke/ke_setting.h"
#include "tests/pages/declared_page_rig.h"

using namespace kelpax;
using pagetest::Commands;
using pagetest::settle;

namespace {

template <class Page> class Quiet : public Page {
public:
  using Page::Page;
  std::vector<QString> messages;

protected:
  void showMessage(const QString& text) override { messages.push_back(text); }
};

class NewKePage : public pagetest::DeclaredPageTest<Quiet<CNewKe_Setting>> {
protected:
  NewKePage() : DeclaredPageTest("Ke-4K5C-M40") {}
};

class ColourKePage : public pagetest::DeclaredPageTest<Quiet<CKe_Color_Setting>> {
protected:
  ColourKePage() : DeclaredPageTest("Ke-9K2C-C50") {}
};

// Each radio choice and check box sends its own command with the choice's value, and the
// page shows the camera's setting afterwards. Would catch a group wired to another stem, an
// index sent instead of the camera's value (stages, binning, source), or a box that moves
// before the camera agreed.
TEST_F(NewKePage, EveryChoiceSendsItsCommand) {
  onCamera({"stm 1", "ssm 1"});
  struct Case {
    int section;
    const char* stem;
    size_t index;
    const char* command;
  };
  const Case cases[] = {
      {0, "cl", 2, "scl 2"}, {0, "ti", 3, "sti 3"}, {0, "db", 1, "sdb 10"},
      {0, "bh", 1, "sbh 2"}, {0, "bv", 1, "sbv 2"}, {0, "prnu", 2, "sprnu 2"},
      {1, "om", 1, "som 1"}, {1, "tm", 0, "stm 0"}, {1, "tm", 1, "stm 1"},
      {1, "ts", 1, "sts 2"}, {1, "ta", 2, "sta 2"}, {1, "sd", 3, "ssd 3"},
      {1, "sm", 0, "ssm 0"}, {3, "sp", 1, "ssp 1"},
  };
  for (const Case& c : cases) {
    showSection(c.section);
    clearSent();
    click(radio(c.stem, c.index));
    EXPECT_EQ(sent(), Commands{c.command}) << c.stem;
    EXPECT_TRUE(radio(c.stem, c.index)->isChecked()) << c.command;
  }
  // TDI stages are chosen in TDI mode; the camera's value, not the index, goes out.
  showSection(1);
  click(radio("om", 0));
  clearSent();
  click(radio("td", 3));
  EXPECT_EQ(sent(), Commands{"std 128"});
  EXPECT_EQ(cached("td"), 128);

  showSection(0);
  for (const auto& [stem, command] : {std::pair{"hf", "shf 1"}, {"rf", "srf 1"}, {"pe", "spe 1"}}) {
    clearSent();
    click(page.checkBox(stem)->box);
    EXPECT_EQ(sent(), Commands{command});
    EXPECT_TRUE(checked(stem)) << stem;
  }
  clearSent();
  click(page.checkBox("pe")->box);
  EXPECT_EQ(sent(), Commands{"spe 0"});
  EXPECT_FALSE(checked("pe"));
}

// Typing, spinning and sliding the real values send them with three decimals, and the edit
// shows the camera's value as the format writes it. Would catch a real sent as a whole
// number, the wrong precision, or a spin that steps from the edit's text instead of the
// camera's value.
TEST_F(NewKePage, RealValuesTypeSpinAndSlide) {
  showSection(1);
  type("lr", "20000.5");
  EXPECT_EQ(sent(), Commands{"slr 20000.500"});
  EXPECT_EQ(shown("lr"), "20000.500");
  clearSent();
  spin("lr", true);
  spin("lr", false);
  spin("lr", false);
  EXPECT_EQ(sent(), (Commands{"slr 20100.500", "slr 20000.500", "slr 19900.500"}));
  EXPECT_FLOAT_EQ(cachedReal("lr"), 19900.5f);
  clearSent();
  slide("lr", 0.0); // the left end: the range's minimum
  EXPECT_EQ(sent(), Commands{"slr 100.000"});
  clearSent();
  slide("lr", 1.0); // the right end: the model's 50 kHz
  EXPECT_EQ(sent(), Commands{"slr 50000.000"});
  EXPECT_EQ(shown("lr"), "50000.000");
  EXPECT_EQ(page.realValue("lr")->slider->value(), page.realValue("lr")->slider->maximum());

  // Area mode: the exposure time, within the newer Ke cameras' 1 .. 20000 us.
  click(radio("om", 1));
  clearSent();
  type("et", "250.25");
  spin("et", true);
  EXPECT_EQ(sent(), (Commands{"set 250.250", "set 251.250"}));
  clearSent();
  type("et", "20000.001");
  EXPECT_TRUE(sent().empty()) << "beyond the exposure range";
  EXPECT_EQ(shown("et"), "251.250");

  // The rescaler rate, with the rescaler on.
  click(radio("sm", 1));
  clearSent();
  type("rr", "0.5");
  EXPECT_EQ(sent(), Commands{"srr 0.500"});

  showSection(2);
  clearSent();
  type("dg", "2.5");
  spin("dg", false);
  type("ag", "12");
  spin("ag", true);
  type("dbl", "64");
  slide("dbl", 1.0);
  EXPECT_EQ(sent(),
            (Commands{"sdg 2.500", "sdg 2.400", "sag 12", "sag 13", "sdbl 64", "sdbl 255"}));

  showSection(3);
  clearSent();
  type("to", "12.5");
  EXPECT_EQ(sent(), Commands{"sto 12.500"});

  showSection(0);
  clearSent();
  type("ox", "128");
  type("iw", "2048");
  EXPECT_EQ(sent(), (Commands{"sox 128", "siw 2048"}));
}

// What the camera refuses or the page's range drops snaps back to the camera's value.
// Would catch an edit keeping the refused text, a radio moving on a refusal, or a value
// beyond the camera's sensor sent anyway and shown as if kept.
TEST_F(NewKePage, RefusalsSnapBack) {
  showSection(2);
  const QString gain = shown("dg");
  rig.refuseEverything(true);
  type("dg", "3.25");
  showSection(1);
  click(radio("om", 1));
  rig.refuseEverything(false);
  EXPECT_EQ(sent(), (Commands{"sdg 3.250", "som 1"}));
  EXPECT_EQ(shown("dg"), gain);
  EXPECT_TRUE(radio("om", 0)->isChecked());

  clearSent();
  type("lr", "60000"); // above the model's 50 kHz: dropped without a word
  type("dg", "16.5");
  type("lr", "");
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(shown("lr"), "10000.000");

  // The width the camera refuses (wider than its 4096 columns) is not shown as kept.
  showSection(0);
  clearSent();
  type("iw", "5000");
  EXPECT_EQ(sent(), Commands{"siw 5000"});
  EXPECT_FALSE(rig.host().sent.back().accepted);
  EXPECT_EQ(shown("iw"), "4096");
}

// A camera changed by another window: the page shows its values after a refresh, and the
// enabling follows its operation mode. Would catch a control read from the wrong stem, a
// real shown with the wrong decimals, or enabling that keeps the page's old mode.
TEST_F(NewKePage, RefreshShowsTheCameraChangedBehindItsBack) {
  EXPECT_FALSE(page.realValue("et")->edit->isEnabled()) << "TDI mode: no exposure time";
  EXPECT_TRUE(page.realValue("lr")->edit->isEnabled());
  onCamera({"slr 12345.5", "som 1", "std 128", "sdg 4.25", "sto 7.125", "sdb 12", "shf 1", "stm 1",
            "sts 2", "sta 1", "ssd 2", "srr 2.5", "ssm 1", "sag 20", "sdbl 33"});
  EXPECT_EQ(shown("lr"), "12345.500");
  EXPECT_EQ(shown("dg"), "4.250");
  EXPECT_EQ(shown("to"), "7.125");
  EXPECT_EQ(shown("rr"), "2.500");
  EXPECT_EQ(shown("ag"), "20");
  EXPECT_EQ(shown("dbl"), "33");
  EXPECT_TRUE(radio("om", 1)->isChecked());
  EXPECT_TRUE(radio("td", 3)->isChecked());
  EXPECT_TRUE(radio("db", 2)->isChecked());
  EXPECT_TRUE(radio("ts", 1)->isChecked());
  EXPECT_TRUE(radio("ta", 1)->isChecked());
  EXPECT_TRUE(radio("sd", 2)->isChecked());
  EXPECT_TRUE(checked("hf"));
  EXPECT_TRUE(page.realValue("et")->edit->isEnabled());
  EXPECT_FALSE(page.realValue("lr")->edit->isEnabled());
  EXPECT_FALSE(page.radioGroup("td")->box->isEnabled());
  EXPECT_TRUE(page.radioGroup("ts")->box->isEnabled());
  EXPECT_TRUE(page.realValue("rr")->edit->isEnabled());
  // The digital gain's slider sits at the camera's value.
  const auto& dg = *page.realValue("dg");
  EXPECT_EQ(dg.slider->value(), std::lround((4.25 - 1.0) / 15.0 * dg.slider->maximum()));
}

// "Generate All" runs the camera's dark generation with its long time-out and says how it
// went. Would catch the 3 s default time-out cutting the generation short.
TEST_F(NewKePage, GenerateAllWaitsForTheCamera) {
  click(page.button("Generate All"));
  ASSERT_EQ(sent(), Commands{"gdda"});
  EXPECT_EQ(rig.host().sent[0].timeoutMs, 20000u);
  EXPECT_EQ(page.messages, std::vector<QString>{"Generation completed!"});
  rig.refuseEverything(true);
  click(page.button("Generate All"));
  rig.refuseEverything(false);
  EXPECT_EQ(page.messages.back(), "Generation failed!");
}

// The statistics page asks the six figures in order and shows them as the camera wrote them;
// a refusal shows nothing rather than the last figure. Would catch a figure under another
// caption or a stale figure left standing.
TEST_F(NewKePage, TriggerStatisticsQueries) {
  CKe_TRIGGER_STATICS_Dlg* statistics = page.triggerStatistics();
  ASSERT_NE(statistics, nullptr);
  showSection(3);
  ASSERT_TRUE(rig.direct("slr 12000"));
  ASSERT_TRUE(rig.direct("srr 0.5"));
  clearSent();
  click(statistics->button("Refresh"));
  EXPECT_EQ(sent(), (Commands{"gitr", "gitrh", "gitj", "gitd", "grtr", "grtj"}));
  EXPECT_EQ(statistics->figure(0)->text(), "12000.000");
  EXPECT_EQ(statistics->figure(1)->text(), "12240.000");
  EXPECT_EQ(statistics->figure(4)->text(), "6000.000");
  rig.refuseEverything(true);
  click(statistics->button("Refresh"));
  rig.refuseEverything(false);
  for (size_t i = 0; i < CKe_TRIGGER_STATICS_Dlg::kFigures; ++i)
    EXPECT_TRUE(statistics->figure(i)->text().isEmpty()) << i;
}

// The colour page: one tap choice, "scl 4"; the colour coefficients and balance read and set
// by index. Would catch the coefficient sent with the wrong index, a value outside the
// camera's range sent, or a refused value left in the field.
TEST_F(ColourKePage, TapsAndColourCoefficients) {
  ASSERT_EQ(page.radioGroup("cl")->buttons.size(), 1u);
  EXPECT_TRUE(radio("cl", 0)->isChecked());
  click(radio("cl", 0));
  EXPECT_TRUE(sent().empty()) << "the camera outputs RGB already";
  // A camera left on a monochrome tap mode: nothing checked, and the choice goes out.
  onCamera({"scl 0"});
  EXPECT_FALSE(radio("cl", 0)->isChecked());
  click(radio("cl", 0));
  EXPECT_EQ(sent(), Commands{"scl 4"});
  EXPECT_EQ(cached("cl"), 4);

  showSection(CKe_Setting::kVideo);
  EXPECT_TRUE(page.colourBox()->isVisible());
  clearSent();
  page.coefficientIndex()->setValue(4);
  settle();
  EXPECT_EQ(sent(), Commands{"gscc 4"});
  EXPECT_EQ(page.coefficientEdit()->text(), "1024");
  clearSent();
  typeInto(page.coefficientEdit(), "900");
  EXPECT_EQ(sent(), (Commands{"sscc 4 900", "gscc 4"}));
  EXPECT_EQ(page.coefficientEdit()->text(), "900");
  clearSent();
  typeInto(page.coefficientEdit(), "5000");
  EXPECT_EQ(sent(), Commands{"gscc 4"}) << "beyond the coefficients' range: only re-read";
  EXPECT_EQ(page.coefficientEdit()->text(), "900");
  clearSent();
  page.balanceIndex()->setValue(2);
  settle();
  typeInto(page.balanceEdit(), "2048");
  EXPECT_EQ(sent(), (Commands{"gscb 2", "sscb 2 2048", "gscb 2"}));
  EXPECT_EQ(page.balanceEdit()->text(), "2048");
}

// The monochrome pages keep the colour group hidden and never ask for coefficients.
TEST_F(NewKePage, MonochromeHasNoColourCorrection) {
  showSection(CKe_Setting::kVideo);
  EXPECT_FALSE(page.colourBox()->isVisible());
  EXPECT_TRUE(sent().empty());
}

// Cameras that answer every query with "Error", with garbage, or with values outside every
// range: the page shows empty fields or the camera's own value, selects a choice without
// sending anything, and never crashes. Would catch a made-up number shown for an unread
// value, an out-of-range radio index, or a command sent while filling the page.
TEST(KePageHostile, ErrorsGarbageAndOutOfRange) {
  pagetest::HostileHost errors("Ke-4K7C-M40", Series::Ke);
  for (const char* stem : {"lr", "et", "dg", "om", "td"})
    errors.answered(stem, "Error : command failed");
  Quiet<CNormalKe_Setting> empty(errors);
  empty.setControlsFromCache();
  empty.refreshAll();
  pagetest::settle();
  EXPECT_TRUE(errors.sent.empty());
  EXPECT_TRUE(empty.realValue("lr")->edit->text().isEmpty());
  EXPECT_TRUE(empty.realValue("et")->edit->text().isEmpty());
  EXPECT_TRUE(empty.value("ag")->edit->text().isEmpty());

  pagetest::HostileHost garbage("Ke-9K2C-C50", Series::Ke);
  garbage.answered("lr", "\x1b[2J#@!");
  garbage.answered("dg", "99999999999999999999");
  garbage.answered("td", "7");
  garbage.answered("cl", "-3");
  garbage.answered("om", "1e9");
  garbage.answered("to", "-5.5");
  Quiet<CKe_Color_Setting> odd(garbage);
  odd.setControlsFromCache();
  odd.refreshAll();
  for (int section = 0; section < odd.sectionCount(); ++section)
    odd.showSection(section);
  pagetest::settle();
  EXPECT_TRUE(garbage.sent.empty()) << garbage.sent.front();
  EXPECT_TRUE(odd.radioGroup("td")->buttons[0]->isChecked()) << "7 stages: no choice of ours";
  EXPECT_FALSE(odd.radioGroup("cl")->buttons[0]->isChecked()) << "-3 is no output of ours";
  EXPECT_EQ(odd.realValue("to")->edit->text(), "-5.500") << "the camera's value, as it is";
  // Typing next to values out of range still goes through the range check.
  odd.realValue("dg")->edit->setFocus();
  QTest::keyClicks(odd.realValue("dg")->edit, "\b\b\b\b\b\b\b\b");
  QTest::keyClick(odd.realValue("dg")->edit, Qt::Key_Return);
  pagetest::settle();
  EXPECT_TRUE(garbage.sent.empty());
}

} // namespace
