// The Ko area cameras' pages against simulated Ko cameras: every control's command, what a
// refusal leaves, what the page shows of a camera changed behind its back, the ten-tap rule,
// the model pages' own switches, and cameras that answer nothing sensible.
#include <QApplication>

#include <gtest/gtest.h>

#include "pages/ko/ko12m52_setting.h"
#include "pages/ko/ko_area_pages.h"
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

class Ko4MC2Page : public pagetest::DeclaredPageTest<Quiet<CKo4MC2_Setting>> {
protected:
  Ko4MC2Page() : DeclaredPageTest("Ko-4MC2-M40") {}
};
class Ko101MPage : public pagetest::DeclaredPageTest<Quiet<CKoKi101_151MC_Setting>> {
protected:
  Ko101MPage() : DeclaredPageTest("Ko-101M-C40") {}
};
class Ko50MPage : public pagetest::DeclaredPageTest<Quiet<CKo50C_SettingDlg>> {
protected:
  Ko50MPage() : DeclaredPageTest("Ko-50M-C40") {}
};
class Ko155MPage : public pagetest::DeclaredPageTest<Quiet<CKo155M_Setting>> {
protected:
  Ko155MPage() : DeclaredPageTest("Ko-155M-M40") {}
};
class Ko12MPage : public pagetest::DeclaredPageTest<Quiet<CKo12M52_SettingDlg>> {
protected:
  Ko12MPage() : DeclaredPageTest("Ko-12M-M65") {}
};

struct Choice {
  int section;
  const char* stem;
  size_t index;
  const char* command;
};

// Each radio choice and check box sends its own command with the choice's value, and the
// page shows the camera's setting afterwards. Would catch a group wired to another stem, an
// index sent where the camera takes a value (source, binning), or a box that moves before
// the camera agreed.
TEST_F(Ko4MC2Page, EveryChoiceSendsItsCommand) {
  const Choice choices[] = {
      {0, "ti", 2, "sti 2"},   {0, "cl", 1, "scl 1"}, {0, "pf", 2, "spf 2"},
      {0, "bh", 1, "sbh 2"},   {0, "bv", 1, "sbv 2"}, {1, "tm", 1, "stm 1"},
      {1, "ts", 1, "sts 2"},   {1, "tp", 1, "stp 1"}, {1, "tts", 2, "stts 2"},
      {1, "tta", 1, "stta 1"}, {1, "em", 1, "sem 1"}, {3, "fm", 2, "sfm 2"},
      {4, "los", 3, "slos 3"}, {1, "em", 0, "sem 0"},
  };
  for (const Choice& c : choices) {
    showSection(c.section);
    clearSent();
    click(radio(c.stem, c.index));
    EXPECT_EQ(sent(), Commands{c.command}) << c.stem;
    EXPECT_TRUE(radio(c.stem, c.index)->isChecked()) << c.command;
  }
  const std::pair<int, const char*> boxes[] = {{0, "dc"},  {0, "fc"},  {0, "hf"}, {2, "lni"},
                                               {2, "lnc"}, {4, "loi"}, {4, "uov"}};
  for (const auto& [section, stem] : boxes) {
    showSection(section);
    clearSent();
    click(page.checkBox(stem)->box);
    EXPECT_EQ(sent(), Commands{"s" + std::string(stem) + " 1"});
    EXPECT_TRUE(checked(stem)) << stem;
  }
  // The line-noise mode, chosen with the correction on.
  showSection(2);
  ASSERT_TRUE(page.radioGroup("lnm")->box->isEnabled());
  clearSent();
  click(radio("lnm", 2));
  EXPECT_EQ(sent(), Commands{"slnm 2"});
  clearSent();
  click(page.checkBox("lni")->box);
  EXPECT_EQ(sent(), Commands{"slni 0"});
  EXPECT_FALSE(page.radioGroup("lnm")->box->isEnabled()) << "correction off: no mode to choose";
  // An already checked choice sends nothing.
  clearSent();
  click(radio("fm", 2));
  EXPECT_TRUE(sent().empty());
}

// Typing, spinning and sliding every value: the command carries the camera's unit and
// precision (six decimals for this model's digital gain), and the edit shows the cached
// value. Would catch a spin stepping from the text instead of the cache, the wrong
// precision, or a window edit bounded by the wrong sensor side or taking an empty window.
TEST_F(Ko4MC2Page, ValuesTypeSpinAndSlide) {
  showSection(0);
  type("wx", "16");
  type("wy", "8");
  type("ww", "1024");
  type("wh", "2048");
  type("wh", "2049"); // beyond the sensor's 2048 lines
  type("ww", "0");    // a window of no columns
  type("wy", "2048"); // starting below the last line
  EXPECT_EQ(sent(), (Commands{"swx 16", "swy 8", "sww 1024", "swh 2048"}));
  EXPECT_EQ(shown("wh"), "2048");
  EXPECT_EQ(shown("ww"), "1024");

  showSection(1);
  clearSent();
  type("et", "5000");
  spin("et", true);
  spin("et", false);
  spin("et", false);
  EXPECT_EQ(sent(), (Commands{"set 5000", "set 5010", "set 5000", "set 4990"}));
  EXPECT_EQ(cached("et"), 4990);
  clearSent();
  slide("et", 0.0);
  EXPECT_EQ(sent(), Commands{"set 10"}) << "the slider's left end: the model's minimum";
  clearSent();
  type("fr", "25.5");
  spin("fr", true);
  slide("fr", 1.0);
  EXPECT_EQ(sent(), (Commands{"sfr 25.500", "sfr 26.500", "sfr 1000.000"}));
  EXPECT_EQ(shown("fr"), "1000.000");
  clearSent();
  type("tdl", "100");
  spin("tdl", true);
  const int timerShown = shown("tdu").toInt();
  type("tdu", "0"); // a timer of no duration: refused here, the camera's value comes back
  spin("tdu", true);
  EXPECT_EQ(sent(), (Commands{"stdl 100", "stdl 110", "stdu " + std::to_string(timerShown + 10)}));

  showSection(2);
  clearSent();
  type("ag", "100");
  spin("ag", false);
  type("bl", "32");
  slide("bl", 1.0);
  type("dg", "2.5");
  spin("dg", false);
  EXPECT_EQ(sent(),
            (Commands{"sag 100", "sag 99", "sbl 32", "sbl 255", "sdg 2.500000", "sdg 2.400000"}));
  EXPECT_EQ(shown("dg"), "2.400000");

  showSection(3);
  clearSent();
  type("tt", "45");
  type("tt", "81");
  spin("tt", false);
  EXPECT_EQ(sent(), (Commands{"stt 45", "stt 44"}));
  EXPECT_EQ(shown("tt"), "44");
}

// What the camera refuses or the page's range drops snaps back to the camera's value. Would
// catch an edit keeping the refused text or a radio moving on a refusal.
TEST_F(Ko4MC2Page, RefusalsSnapBack) {
  showSection(2);
  const QString gain = shown("dg");
  rig.refuseEverything(true);
  type("dg", "3.25");
  type("ag", "7");
  showSection(1);
  click(radio("tm", 1));
  showSection(4);
  click(page.checkBox("uov")->box);
  rig.refuseEverything(false);
  EXPECT_EQ(sent(), (Commands{"sdg 3.250000", "sag 7", "stm 1", "suov 1"}));
  EXPECT_EQ(shown("dg"), gain);
  EXPECT_EQ(shown("ag"), "0");
  EXPECT_TRUE(radio("tm", 0)->isChecked());
  EXPECT_FALSE(checked("uov"));
  clearSent();
  showSection(2);
  type("dg", "16.5"); // above the digital gain's range: dropped without a word
  showSection(1);
  type("et", "6000001");
  EXPECT_TRUE(sent().empty());
}

// Ten taps carry 8-bit pixels only: choosing ten taps at 10 bits, or 10 bits at ten taps,
// says so, sends nothing and leaves both groups as they were. Would catch the check made on
// the index instead of the camera's values, or one of the two directions left open.
TEST_F(Ko4MC2Page, TenTapsWithMoreThanEightBitsIsRefused) {
  showSection(0);
  onCamera({"spf 1", "scl 1"});
  click(radio("cl", 3));
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(page.messages, std::vector<QString>{"10 tap is only supported 8 bit."});
  EXPECT_TRUE(radio("cl", 1)->isChecked());
  EXPECT_TRUE(radio("pf", 1)->isChecked());

  onCamera({"spf 0", "scl 3"});
  click(radio("pf", 2));
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(page.messages.size(), 2u);
  EXPECT_TRUE(radio("cl", 3)->isChecked());
  EXPECT_TRUE(radio("pf", 0)->isChecked());
  click(radio("cl", 2));
  click(radio("pf", 2));
  EXPECT_EQ(sent(), (Commands{"scl 2", "spf 2"}));
}

// A camera changed by another window: the page shows its values after a refresh, and the
// enabling follows the camera's exposure mode and line-noise switch. Would catch a control
// read from the wrong stem or enabling that keeps the page's old state.
TEST_F(Ko4MC2Page, RefreshShowsTheCameraChangedBehindItsBack) {
  EXPECT_TRUE(page.value("et")->edit->isEnabled());
  onCamera({"set 250000", "sdg 3.5", "sbl 17", "sag 40", "stdl 500", "sfr 12.25", "sem 1", "stts 1",
            "slos 2", "sfm 1", "stt 55", "swx 64", "slni 1", "slnm 1", "sloi 1"});
  EXPECT_EQ(shown("et"), "250000");
  EXPECT_EQ(shown("dg"), "3.500000");
  EXPECT_EQ(shown("bl"), "17");
  EXPECT_EQ(shown("ag"), "40");
  EXPECT_EQ(shown("tdl"), "500");
  EXPECT_EQ(shown("fr"), "12.250");
  EXPECT_EQ(shown("tt"), "55");
  EXPECT_EQ(shown("wx"), "64");
  EXPECT_TRUE(radio("em", 1)->isChecked());
  EXPECT_TRUE(radio("tts", 1)->isChecked());
  EXPECT_TRUE(radio("los", 2)->isChecked());
  EXPECT_TRUE(radio("fm", 1)->isChecked());
  EXPECT_TRUE(radio("lnm", 1)->isChecked());
  EXPECT_TRUE(checked("loi"));
  EXPECT_FALSE(page.value("et")->edit->isEnabled()) << "trigger width: no exposure time";
  EXPECT_TRUE(page.radioGroup("lnm")->box->isEnabled());
  const auto& ag = *page.value("ag");
  EXPECT_EQ(ag.slider->value(), 40);
}

// The 101M / 151M page: its own switches, the dark black target with two decimals, and the
// pixel-offset calibration whose labels show what the camera measured. Would catch the
// offsets shown before the camera was asked again, or the long-exposure models' gain range
// (1 to 30) not applied.
TEST_F(Ko101MPage, OwnSwitchesAndPixelOffset) {
  showSection(1);
  click(page.checkBox("tg")->box);
  showSection(0);
  click(page.checkBox("ddc")->box);
  showSection(2);
  type("dbt", "12.5");
  type("dbt", "100.5");
  type("dg", "1.234567");
  type("ag", "31");
  type("ag", "30");
  EXPECT_EQ(sent(), (Commands{"stg 1", "sddc 1", "sdbt 12.50", "sdg 1.234567", "sag 30"}));
  EXPECT_EQ(shown("dbt"), "12.50");

  EXPECT_EQ(page.columnOffsetLabel()->text(), "0.00");
  clearSent();
  click(page.button("Measure"));
  EXPECT_EQ(sent(), (Commands{"shpo", "gcpo", "ghpo"}));
  EXPECT_EQ(page.columnOffsetLabel()->text(), "1.25");
  EXPECT_EQ(page.hotPixelOffsetLabel()->text(), "0.75");
  clearSent();
  click(page.button("Clear"));
  EXPECT_EQ(sent(), (Commands{"scpo -", "gcpo", "ghpo"}));
  EXPECT_EQ(page.columnOffsetLabel()->text(), "0.00");
  click(page.button("Measure"));
  rig.refuseEverything(true);
  clearSent();
  click(page.button("Clear"));
  rig.refuseEverything(false);
  EXPECT_EQ(sent(), Commands{"scpo -"}) << "a refused clear asks nothing more";
  EXPECT_EQ(page.columnOffsetLabel()->text(), "1.25") << "the camera kept its offsets";
}

// The colour cameras' AWB tab holds the colour gains: showing it reads them from the camera,
// and a typed gain goes out as the colour dialog sends it. Would catch the tab left empty or
// gains shown that were never read.
TEST_F(Ko101MPage, ColourTabShowsTheColourGains) {
  ASSERT_NE(page.colourGains(), nullptr);
  showSection(CKoKi101_151MC_Setting::kColour);
  EXPECT_TRUE(page.colourGains()->isVisible());
  EXPECT_EQ(sent(), (Commands{"grg r", "grg g", "grg b"}));
  clearSent();
  QLineEdit* red = page.colourGains()->realValue("rg r")->edit;
  typeInto(red, "1.5");
  EXPECT_EQ(sent(), (Commands{"srg r 1.500000", "grg r"}));
  EXPECT_EQ(red->text(), "1.500000");
}

// The 50M page sends its digital black level inside the privileged level, which is closed again
// whether or not the camera took the value; its digital gain has two decimals. Would catch
// the level left open or the value sent outside it.
TEST_F(Ko50MPage, DigitalBlackLevelInsideThePrivilegedLevel) {
  showSection(2);
  clearSent();
  type("dbl", "40");
  EXPECT_EQ(sent(), (Commands{"aar qelmarst", "sdbl 40", "aar off"}));
  EXPECT_EQ(cached("dbl"), 40);
  EXPECT_EQ(shown("dbl"), "40");
  EXPECT_FALSE(rig.direct("gblo")) << "the level was closed again";
  clearSent();
  type("dbl", "256");
  type("dg", "2.5");
  EXPECT_EQ(sent(), Commands{"sdg 2.50"});
  showSection(0);
  clearSent();
  click(radio("bm", 1));
  EXPECT_EQ(sent(), Commands{"sbm 1"});
}

// The Ko area pages share the Ka 47M page's tabs but keep what their cameras do: the edges
// listed falling first, pixel format numbers, an integer analog gain, their own timer and
// line-out choices, trigger choices open while the camera runs free, and none of the Ka
// cameras' invert switch, exposure source, real gain or correction data buttons. Would catch
// a Ko page that took over a Ka choice its camera does not know, or an edge sent reversed.
TEST_F(Ko50MPage, KeepsTheKoCamerasChoicesOnTheKaPage) {
  EXPECT_EQ(page.radioGroup("tp")->decl.labels, (QStringList{"Falling Edge", "Rising Edge"}));
  EXPECT_EQ(page.radioGroup("tts")->decl.labels, (QStringList{"CC1", "External", "Software"}));
  EXPECT_EQ(page.radioGroup("los")->decl.labels,
            (QStringList{"Exposure Active", "Frame Valid", "Timer Out", "User Output"}));
  EXPECT_EQ(page.radioGroup("bh")->decl.labels, (QStringList{"x1", "x2"}));
  EXPECT_EQ(page.radioGroup("db"), nullptr);
  EXPECT_EQ(page.radioGroup("es"), nullptr);
  EXPECT_EQ(page.checkBox("ii"), nullptr);
  EXPECT_EQ(page.realValue("g"), nullptr);
  EXPECT_EQ(page.button("Generate Data"), nullptr);
  EXPECT_EQ(page.exposureLabel(), nullptr);

  onCamera({"stm 0", "stp 0"});
  showSection(CKo50C_SettingDlg::kModeExposure);
  EXPECT_TRUE(radio("tp", 0)->isChecked());
  EXPECT_EQ(radio("tp", 1)->text(), "Rising Edge");
  ASSERT_TRUE(page.radioGroup("ts")->box->isEnabled()) << "free running leaves the source open";
  click(radio("tp", 1));
  click(radio("ts", 1));
  showSection(CKo50C_SettingDlg::kView);
  click(radio("pf", 1));
  showSection(CKo50C_SettingDlg::kAnalog);
  type("ag", "12");
  EXPECT_EQ(sent(), (Commands{"stp 1", "sts 2", "spf 1", "sag 12"}));
}

// The 90M / 155M page's own switches and its frame-rate caption. Would catch the pixel
// clock or high-speed switch wired to another stem.
TEST_F(Ko155MPage, HighSpeedClockAndFilter) {
  showSection(0);
  click(page.checkBox("hsm")->box);
  click(radio("ccs", 1));
  showSection(2);
  click(page.checkBox("nfe")->box);
  type("dg", "3");
  EXPECT_EQ(sent(), (Commands{"shsm 1", "sccs 1", "snfe 1", "sdg 3.00"}));
  EXPECT_TRUE(checked("hsm"));
  EXPECT_TRUE(radio("ccs", 1)->isChecked());
  onCamera({"shsm 0", "sccs 0", "snfe 0"});
  EXPECT_FALSE(checked("hsm"));
  EXPECT_TRUE(radio("ccs", 0)->isChecked());
  EXPECT_FALSE(checked("nfe"));
  bool captioned = false;
  for (QLabel* label : page.section(1)->findChildren<QLabel*>())
    captioned = captioned || label->text() == "Frame rate :";
  EXPECT_TRUE(captioned);
}

// The 12M / 71M page: every choice, the binning factors, the global reset, values with the
// 12M's long exposure time-out, the frame rate read at the privileged level, "Full" regions,
// the ten-tap rule and the dark data. Would catch a 3 s time-out cutting the 12M's exposure
// short, the frame-rate read leaving the level open, or a region beyond the sensor.
TEST_F(Ko12MPage, EveryControlAndItsRules) {
  const Choice choices[] = {
      {0, "rm", 1, "srm 1"},  {0, "bf", 2, "sbf 2"}, {0, "ti", 1, "sti 1"}, {0, "cl", 2, "scl 2"},
      {0, "db", 2, "sdb 12"}, {1, "tm", 3, "stm 3"}, {1, "ts", 1, "sts 2"}, {1, "tp", 1, "stp 1"},
      {1, "tm", 1, "stm 1"},  {1, "es", 1, "ses 1"}, {1, "sp", 1, "ssp 1"}, {2, "sc", 1, "ssc 1"},
  };
  for (const Choice& c : choices) {
    showSection(c.section);
    clearSent();
    click(radio(c.stem, c.index));
    EXPECT_EQ(sent(), Commands{c.command}) << c.stem;
    EXPECT_TRUE(radio(c.stem, c.index)->isChecked()) << c.command;
  }
  for (const auto& [section, stem] :
       {std::pair{0, "dc"}, {0, "fc"}, {0, "hf"}, std::pair{1, "fag"}}) {
    showSection(section);
    clearSent();
    click(page.checkBox(stem)->box);
    EXPECT_EQ(sent(), Commands{"s" + std::string(stem) + " 1"});
  }

  showSection(1);
  clearSent();
  type("et", "20000");
  ASSERT_EQ(sent(), Commands{"set 20000"});
  EXPECT_EQ(rig.host().sent[0].timeoutMs, 10000u);
  clearSent();
  type("so", "500");
  spin("so", true);
  type("so", "10001");
  EXPECT_EQ(sent(), (Commands{"sso 500", "sso 510"}));
  clearSent();
  click(page.button("Read"));
  EXPECT_EQ(sent(), (Commands{"aar qelmarst", "rur 0x10002028 f", "aar off"}));
  EXPECT_EQ(page.frameRateLabel()->text(), "30.000");
  // A longer exposure slows the camera down: the shown rate follows it.
  clearSent();
  type("et", "100000");
  EXPECT_EQ(sent(), (Commands{"set 100000", "aar qelmarst", "rur 0x10002028 f", "aar off"}));
  EXPECT_EQ(page.frameRateLabel()->text(), "10.000");
  rig.refuseEverything(true);
  click(page.button("Read"));
  rig.refuseEverything(false);
  EXPECT_TRUE(page.frameRateLabel()->text().isEmpty()) << "no old rate left standing";

  showSection(2);
  clearSent();
  type("ag", "63");
  type("ag", "64");
  type("ao", "10");
  slide("ao", 1.0);
  EXPECT_EQ(sent(), (Commands{"sag 63", "sao 10", "sao 63"}));

  // "Full": columns and lines of the whole 4096 x 3072 sensor.
  showSection(0);
  clearSent();
  click(page.fullButton());
  EXPECT_EQ(sent(), (Commands{"sha 0 4095", "sva 0 3071"}));
  EXPECT_EQ(cached("ha", 1), 4095);
  EXPECT_EQ(page.value("va", 1)->edit->text(), "3071");

  // Ten taps at 12 bits: refused with its message, both groups unchanged.
  clearSent();
  click(radio("cl", 3));
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(page.messages.back(), "10 tap is only supported 8 bit.");
  EXPECT_TRUE(radio("cl", 2)->isChecked());
  EXPECT_TRUE(radio("db", 2)->isChecked());

  // Dark data of the 65 camera: the camera generates and saves it itself.
  page.messages.clear();
  rig.host().scripted = {{"god", true}, {"sod", true}};
  clearSent();
  click(page.button("Generate Data"));
  click(page.button("Save Data"));
  EXPECT_EQ(sent(), (Commands{"god", "sod"}));
  ASSERT_EQ(page.messages.size(), 3u);
  EXPECT_EQ(page.messages[1], "Generation completed!");
  EXPECT_TRUE(page.button("Generate Data")->isEnabled());
}

// A camera changed behind the page's back. Would catch the region edits left enabled in
// normal read-out or a radio read from another stem.
TEST_F(Ko12MPage, RefreshShowsTheCameraChangedBehindItsBack) {
  onCamera({"srm 0", "sbf 1", "stm 2", "sag 20", "sao 30", "ssc 1", "sfag 1", "sso 1200"});
  EXPECT_TRUE(radio("bf", 1)->isChecked());
  EXPECT_TRUE(radio("tm", 2)->isChecked());
  EXPECT_TRUE(radio("sc", 1)->isChecked());
  EXPECT_TRUE(checked("fag"));
  EXPECT_EQ(shown("ag"), "20");
  EXPECT_EQ(shown("ao"), "30");
  EXPECT_EQ(shown("so"), "1200");
  EXPECT_FALSE(page.fullButton()->isEnabled()) << "normal read-out: no region";
  EXPECT_FALSE(page.radioGroup("es")->box->isEnabled()) << "fast trigger: exposure is timed";
  EXPECT_TRUE(page.radioGroup("ts")->box->isEnabled());
}

// Cameras that answer every query with "Error", with garbage, or with values outside every
// range: the pages show empty fields or the camera's own value, send nothing while filling,
// and never crash. Would catch a made-up number shown for an unread value or an out-of-range
// radio index used.
TEST(KoPagesHostile, ErrorsGarbageAndOutOfRange) {
  pagetest::HostileHost errors("Ko-4MC2-M40", Series::Ko);
  for (const char* stem : {"et", "dg", "ag", "wx", "tm", "cl", "fr"})
    errors.answered(stem, "Error : command failed");
  Quiet<CKo4MC2_Setting> empty(errors);
  empty.setControlsFromCache();
  empty.refreshAll();
  for (int section = 0; section < empty.sectionCount(); ++section)
    empty.showSection(section);
  settle();
  for (const pagetest::Commands::value_type& command : errors.sent)
    EXPECT_EQ(command.front(), 'g') << command; // only the colour gains are asked
  EXPECT_TRUE(empty.value("et")->edit->text().isEmpty());
  EXPECT_TRUE(empty.realValue("dg")->edit->text().isEmpty());
  EXPECT_TRUE(empty.realValue("fr")->edit->text().isEmpty());
  EXPECT_TRUE(empty.value("wx")->edit->text().isEmpty());

  pagetest::HostileHost garbage("Ko-12M-M65", Series::Ko);
  garbage.answered("et", "\x1b[2J#@!");
  garbage.answered("ag", "99999999999999999999");
  garbage.answered("tm", "7");
  garbage.answered("cl", "-3");
  garbage.answered("db", "1e9");
  garbage.answered("so", "-5");
  garbage.answered("ha", "9000 -2");
  Quiet<CKo12M52_SettingDlg> odd(garbage);
  odd.setControlsFromCache();
  odd.refreshAll();
  for (int section = 0; section < odd.sectionCount(); ++section)
    odd.showSection(section);
  settle();
  EXPECT_TRUE(garbage.sent.empty()) << garbage.sent.front();
  EXPECT_EQ(odd.value("so")->edit->text(), "-5") << "the camera's value, as it is";
  // Typing next to values out of range still goes through the range check, and the region's
  // other end out of the sensor keeps the region from going out.
  odd.showSection(0);
  odd.value("ha", 0)->edit->setFocus();
  QTest::keyClicks(odd.value("ha", 0)->edit, "\b\b\b\b0");
  QTest::keyClick(odd.value("ha", 0)->edit, Qt::Key_Return);
  odd.showSection(2);
  odd.value("ag")->edit->setFocus();
  QTest::keyClicks(odd.value("ag")->edit, "\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b1000");
  QTest::keyClick(odd.value("ag")->edit, Qt::Key_Return);
  settle();
  EXPECT_TRUE(garbage.sent.empty()) << garbage.sent.front();
}

} // namespace
