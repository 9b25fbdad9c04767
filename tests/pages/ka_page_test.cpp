// The Ka 43M and Ka 47M pages against simulated Ka cameras: every control's command and the
// page's state afterwards, the 43M gain slider's scale at both ends, the column data buttons,
// the flat-field flag, a camera changed behind the page's back and a hostile camera.
#include <QApplication>
#include <QCheckBox>

#include <gtest/gtest.h>

#include "pages/bayer_gain.h"
#include "pages/ka/ka_setting.h"
#include "tests/pages/declared_page_rig.h"

using namespace kelpax;
using pagetest::Commands;

namespace {

template <class Page> class Quiet : public Page {
public:
  using Page::Page;
  std::vector<QString> messages;

protected:
  void showMessage(const QString& text) override { messages.push_back(text); }
};

class Ka43MPage : public pagetest::DeclaredPageTest<Quiet<CKa43M_Setting>> {
protected:
  Ka43MPage() : DeclaredPageTest("Ka-43M-C40") {}
};

class Ka47MPage : public pagetest::DeclaredPageTest<Quiet<CKa47M_Setting>> {
protected:
  Ka47MPage() : DeclaredPageTest("Ka-47M-M40") {}
};

// Would catch a group wired to another stem, a button index sent where the camera takes its
// own number (bits, binning factor, source), a radio that moves before the camera agreed, or
// the trigger's choices left enabled while the camera runs free.
TEST_F(Ka43MPage, EveryChoiceAndSwitchSendsItsCommand) {
  onCamera({"stm 1"});
  struct Case {
    int section;
    const char* stem;
    size_t index;
    const char* command;
  };
  const Case cases[] = {
      {0, "ti", 2, "sti 2"},   {0, "cl", 3, "scl 3"}, {0, "db", 1, "sdb 10"},
      {0, "bh", 2, "sbh 4"},   {0, "bv", 1, "sbv 2"}, {1, "es", 1, "ses 1"},
      {1, "ts", 1, "sts 2"},   {1, "tp", 1, "stp 1"}, {1, "tts", 2, "stts 2"},
      {1, "tta", 1, "stta 1"}, {3, "fm", 2, "sfm 2"}, {4, "los", 3, "slos 3"},
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
  EXPECT_FALSE(page.radioGroup("ts")->box->isEnabled()) << "free run";

  // Pressing the choice the camera already has sends nothing.
  clearSent();
  click(radio("tm", 0));
  EXPECT_TRUE(sent().empty());

  showSection(0);
  clearSent();
  for (const char* stem : {"dc", "fc", "hf", "ii"})
    click(page.checkBox(stem)->box);
  showSection(4);
  for (const char* stem : {"loi", "uov"})
    click(page.checkBox(stem)->box);
  EXPECT_EQ(sent(), (Commands{"sdc 1", "sfc 1", "shf 1", "sii 1", "sloi 1", "suov 1"}));
  for (const char* stem : {"dc", "fc", "hf", "ii", "loi", "uov"})
    EXPECT_TRUE(checked(stem)) << stem;
  clearSent();
  click(page.checkBox("loi")->box);
  EXPECT_EQ(sent(), Commands{"sloi 0"});
  EXPECT_FALSE(checked("loi"));
}

// Typing, spinning and sliding each go through the range check and show what the camera
// kept. Would catch a window edit that accepts a size of 0 or one past the sensor, a real
// sent with other than three decimals, or an out-of-range value sent anyway.
TEST_F(Ka43MPage, ValuesAreTypedSpunAndSlidWithinTheirRanges) {
  const int32_t width = rig.host().modelDescriptor().sensorWidth;
  ASSERT_GT(width, 0);
  showSection(0);
  type("wx", "100");
  type("ww", "0");
  type("ww", std::to_string(width + 1).c_str());
  spin("wy", true);
  type("wh", "480");
  EXPECT_EQ(sent(), (Commands{"swx 100", "swy 1", "swh 480"}));
  EXPECT_EQ(shown("wx"), "100");
  EXPECT_EQ(shown("ww"), QString::number(cached("ww"))) << "snapped back";
  EXPECT_EQ(shown("wy"), "1");

  showSection(1);
  clearSent();
  type("et", "5000");
  type("fr", "30.5");
  type("fr", "1001");
  type("tdl", "250");
  spin("tdu", false);
  type("tdu", "0");
  EXPECT_EQ(sent(), (Commands{"set 5000", "sfr 30.500", "stdl 250", "stdu 990"}));
  EXPECT_EQ(page.exposureLabel()->text(), "5.00 ms");
  EXPECT_EQ(shown("fr"), "30.500");
  EXPECT_EQ(cached("tdu"), 990);

  // The exposure slider's ends are the model's range.
  clearSent();
  slide("et", 0.0);
  slide("et", 1.0);
  const ValueRange range = rig.host().modelDescriptor().exposureUs;
  EXPECT_EQ(sent(),
            (Commands{"set " + std::to_string(range.min), "set " + std::to_string(range.max)}));

  showSection(2);
  clearSent();
  type("bl", "300");
  type("bl", "32");
  slide("bl", 1.0);
  EXPECT_EQ(sent(), (Commands{"sbl 32", "sbl 255"}));
  EXPECT_EQ(shown("bl"), "255");

  showSection(3);
  clearSent();
  type("tt", "45");
  type("tt", "81");
  EXPECT_EQ(sent(), Commands{"stt 45"});
  EXPECT_EQ(shown("tt"), "45");
}

// Both ends of the Ka 43M gain slider and a value between: position p is gain p / step + 1,
// gain g is at (g to tenths - 1) x step. Would catch the scale of the 47M's plain slider on
// this page, or a gain shown on the slider without rounding it to tenths first.
TEST_F(Ka43MPage, GainSliderMapsBothEnds) {
  showSection(2);
  QSlider* slider = page.realValue("g")->slider;
  EXPECT_EQ(slider->minimum(), 0);
  EXPECT_EQ(slider->maximum(), 150);
  slide("g", 0.0);
  EXPECT_EQ(sent(), Commands{"sg 1.000"});
  EXPECT_EQ(slider->value(), 0);
  clearSent();
  slide("g", 1.0);
  EXPECT_EQ(sent(), Commands{"sg 16.000"});
  EXPECT_EQ(slider->value(), 150);
  EXPECT_EQ(shown("g"), "16.000");
  clearSent();
  type("g", "3.14");
  EXPECT_EQ(sent(), Commands{"sg 3.140"});
  EXPECT_EQ(slider->value(), 21) << "3.14 is 3.1 on the slider";
  clearSent();
  type("g", "0.5");
  EXPECT_TRUE(sent().empty()) << "below unity";
  EXPECT_EQ(shown("g"), "3.140");
}

// A command the camera refuses leaves radio, box and value as the camera has them. Would
// catch a control that believes the operator instead of the camera.
TEST_F(Ka43MPage, RefusedCommandsSnapBack) {
  showSection(0);
  rig.refuseEverything(true);
  click(radio("ti", 1));
  click(page.checkBox("dc")->box);
  type("wx", "64");
  showSection(2);
  type("g", "2.5");
  EXPECT_EQ(sent(), (Commands{"sti 1", "sdc 1", "swx 64", "sg 2.500"}));
  EXPECT_TRUE(radio("ti", 0)->isChecked());
  EXPECT_FALSE(checked("dc"));
  EXPECT_EQ(shown("wx"), "0");
  EXPECT_EQ(shown("g"), "1.000");
}

// The column PRNU switch is read from the camera, set only when it agrees; the data is
// generated and saved with the long waits and the page says how it went. Would catch a
// saving reported as done when the camera refused it, or a switch the camera never heard of.
TEST_F(Ka43MPage, ColumnPrnuSwitchAndData) {
  QCheckBox* prnu = page.columnPrnu();
  // A click on the box's indicator, at its left end.
  auto clickBox = [&] {
    QTest::mouseClick(prnu, Qt::LeftButton, {}, QPoint(6, prnu->height() / 2));
    pagetest::settle();
  };
  EXPECT_TRUE(prnu->isEnabled());
  EXPECT_FALSE(prnu->isChecked());
  clickBox();
  EXPECT_EQ(sent(), (Commands{"sprnuc 1", "gprnuc"}));
  EXPECT_TRUE(prnu->isChecked());

  // The camera has generated nothing yet: it refuses to save.
  clearSent();
  click(page.button("Save Data"));
  click(page.button("Generate Data"));
  click(page.button("Save Data"));
  EXPECT_EQ(sent(), (Commands{"spdc", "gpdc", "spdc"}));
  EXPECT_EQ(page.messages, (std::vector<QString>{"Saving failed!", " Generation completed!",
                                                 "Saving completed!"}));
  ASSERT_EQ(rig.host().sent.size(), 3u);
  EXPECT_EQ(rig.host().sent[1].timeoutMs, CKa43M_Setting::kGenerateTimeoutMs);
  EXPECT_EQ(rig.host().sent[2].timeoutMs, CKa43M_Setting::kSaveTimeoutMs);

  rig.refuseEverything(true);
  clearSent();
  click(page.button("Generate Data"));
  EXPECT_EQ(page.lastMessage(), " Generation failed!");
  clickBox();
  EXPECT_FALSE(prnu->isChecked());
  EXPECT_FALSE(prnu->isEnabled()) << "a camera that will not tell";
}

// Values set by another window show after the reload. Would catch a page that keeps its
// own copies, or a gain slider placed from the typed text rather than the camera's value.
TEST_F(Ka43MPage, RefreshShowsWhatChangedBehindItsBack) {
  onCamera({"sti 3", "swx 64", "sg 4.5", "sbl 20", "stm 1", "ses 1", "sfm 1", "sloi 1"});
  EXPECT_TRUE(radio("ti", 3)->isChecked());
  EXPECT_TRUE(radio("fm", 1)->isChecked());
  EXPECT_TRUE(checked("loi"));
  EXPECT_EQ(shown("wx"), "64");
  EXPECT_EQ(shown("g"), "4.500");
  EXPECT_EQ(page.realValue("g")->slider->value(), 35);
  EXPECT_EQ(shown("bl"), "20");
  EXPECT_FALSE(page.value("et")->edit->isEnabled()) << "the trigger's width exposes";
  EXPECT_TRUE(sent().empty());
}

// The Ka 47M: its FFC flag comes from the camera's FPGA version, its correction group is the
// dark image's, and its gain slider is the plain linear one. Would catch a flag set for a
// camera that does not tell its version, or the 43M's extras on this page.
TEST_F(Ka47MPage, SelectorFlagDarkImageAndPlainGain) {
  EXPECT_TRUE(page.readFfcSelectorFlag()) << "the simulated FPGA is version 2.04";
  EXPECT_EQ(sent(), Commands{"gfv"});
  rig.refuseEverything(true);
  EXPECT_FALSE(page.readFfcSelectorFlag());
  rig.refuseEverything(false);

  for (QCheckBox* box : page.findChildren<QCheckBox*>())
    EXPECT_NE(box->text(), "Column PRNU");
  EXPECT_NE(page.button("Generate Data"), nullptr);
  showSection(2);
  clearSent();
  slide("g", 1.0);
  EXPECT_EQ(sent(), Commands{"sg 16.000"});
}

// A camera that refuses every query, or answers garbage and values outside every range: the
// fields are empty or show the camera's value, nothing is set on the page's own accord, and
// a typed value is still range-checked. Would catch -1 shown as a value, a made-up default
// sent, or a crash on a number that does not fit.
TEST(KaPageHostile, ErrorsGarbageAndOutOfRange) {
  pagetest::HostileHost errors("Ka-43M-M40", Series::Ka);
  for (const char* stem : {"g", "et", "wx", "bl", "tm", "fr"})
    errors.answered(stem, "Error : command failed");
  Quiet<CKa43M_Setting> empty(errors);
  empty.setControlsFromCache();
  empty.refreshAll();
  pagetest::settle();
  for (const std::string& command : errors.sent)
    EXPECT_EQ(command.front(), 'g') << command;
  EXPECT_TRUE(empty.realValue("g")->edit->text().isEmpty());
  EXPECT_TRUE(empty.realValue("fr")->edit->text().isEmpty());
  EXPECT_TRUE(empty.value("et")->edit->text().isEmpty());
  EXPECT_TRUE(empty.value("wx")->edit->text().isEmpty());
  EXPECT_TRUE(empty.exposureLabel()->text().isEmpty());
  EXPECT_FALSE(empty.columnPrnu()->isEnabled());

  pagetest::HostileHost garbage("Ka-47M-C40", Series::Ka);
  garbage.answered("g", "\x1b[2J#@!");
  garbage.answered("et", "99999999999999999999");
  garbage.answered("wx", "-40");
  garbage.answered("db", "9");
  garbage.answered("bl", "4000");
  Quiet<CKa47M_Setting> odd(garbage);
  odd.resize(900, 600);
  odd.show();
  odd.setControlsFromCache();
  odd.refreshAll();
  for (int section = 0; section < odd.sectionCount(); ++section)
    odd.showSection(section);
  pagetest::settle();
  for (const std::string& command : garbage.sent)
    EXPECT_EQ(command.front(), 'g') << command;
  EXPECT_EQ(odd.value("wx")->edit->text(), "-40") << "the camera's value, as it is";
  EXPECT_EQ(odd.value("bl")->edit->text(), "4000");
  for (CMButton* button : odd.radioGroup("db")->buttons)
    EXPECT_FALSE(button->isChecked()) << "9 bits is no format of ours";
  EXPECT_FALSE(odd.readFfcSelectorFlag());
  // Typing next to values out of range still goes through the range check.
  garbage.sent.clear();
  odd.showSection(2);
  odd.value("bl")->edit->setFocus();
  QTest::keyClicks(odd.value("bl")->edit, "\b\b\b\b9999");
  QTest::keyClick(odd.value("bl")->edit, Qt::Key_Return);
  pagetest::settle();
  EXPECT_TRUE(garbage.sent.empty());
}

} // namespace
