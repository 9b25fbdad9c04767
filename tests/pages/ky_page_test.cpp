// The five Ky 29C pages against a simulated Ky 29C: every control's command and the page's
// state afterwards, the window selector of the ROI page, the lens moves of the AUTO page, a
// camera changed behind the pages' backs and a hostile camera.
#include <QApplication>

#include <gtest/gtest.h>

#include "pages/ky/ky29c_pages.h"
#include "tests/pages/declared_page_rig.h"

using namespace kelpax;
using pagetest::Commands;

namespace {

constexpr const char* kModel = "Ky-29M-C5";

class KyView : public pagetest::DeclaredPageTest<CKy29CViewDlg> {
protected:
  KyView() : DeclaredPageTest(kModel) {}
};
class KyTrigger : public pagetest::DeclaredPageTest<CKy29CTRIGGER> {
protected:
  KyTrigger() : DeclaredPageTest(kModel) {}
};
class KyRoi : public pagetest::DeclaredPageTest<CKy29CROIDlg> {
protected:
  KyRoi() : DeclaredPageTest(kModel) {}
};
class KyAuto : public pagetest::DeclaredPageTest<CKy29CAutoCtrlDlg> {
protected:
  KyAuto() : DeclaredPageTest(kModel) {}
};
class KyOutput : public pagetest::DeclaredPageTest<CKy29COutputCtrlDlg> {
protected:
  KyOutput() : DeclaredPageTest(kModel) {}
};

struct RadioCase {
  const char* stem;
  size_t index;
  const char* command;
};

// Binning factors, bits and channels are sent as the camera's numbers, not button indexes.
// Would catch "sbh 4" for the fifth binning button, or a box wired to another stem.
TEST_F(KyView, EveryChoiceSwitchAndRegionEdit) {
  const RadioCase cases[] = {{"bh", 4, "sbh 8"},  {"bv", 2, "sbv 3"}, {"ti", 1, "sti 1"},
                             {"db", 2, "sdb 12"}, {"cm", 2, "scm 4"}, {"ls", 2, "sls 2"},
                             {"cm", 0, "scm 1"}};
  for (const RadioCase& c : cases) {
    clearSent();
    click(radio(c.stem, c.index));
    EXPECT_EQ(sent(), Commands{c.command});
    EXPECT_TRUE(radio(c.stem, c.index)->isChecked()) << c.command;
  }
  clearSent();
  for (const char* stem : {"fc", "dc", "mc", "hf", "ks"})
    click(page.checkBox(stem)->box);
  EXPECT_EQ(sent(), (Commands{"sfc 1", "sdc 1", "smc 1", "shf 1", "sks 1"}));
  for (const char* stem : {"fc", "dc", "mc", "hf", "ks"})
    EXPECT_TRUE(checked(stem)) << stem;

  const ModelDescriptor& m = rig.host().modelDescriptor();
  clearSent();
  type("ox", "16");
  type("ox", std::to_string(m.sensorWidth).c_str());
  type("iw", "640");
  type("iw", "0");
  spin("ih", false);
  EXPECT_EQ(sent(), (Commands{"sox 16", "siw 640", "sih " + std::to_string(m.sensorHeight - 1)}));
  EXPECT_EQ(shown("iw"), "640");
}

// Would catch the overlap or double-exposure switch sent with the trigger mode's command, an
// exposure outside the model's range sent, or a strobe offset above 10000 us let through.
TEST_F(KyTrigger, ModeSwitchesExposureAndStrobe) {
  EXPECT_FALSE(page.radioGroup("ts")->box->isEnabled()) << "runs free at first";
  const RadioCase cases[] = {
      {"tm", 1, "stm 1"}, {"es", 1, "ses 1"}, {"ts", 1, "sts 2"}, {"tp", 1, "stp 1"}};
  for (const RadioCase& c : cases) {
    clearSent();
    click(radio(c.stem, c.index));
    EXPECT_EQ(sent(), Commands{c.command});
    EXPECT_TRUE(radio(c.stem, c.index)->isChecked()) << c.command;
  }
  EXPECT_TRUE(page.radioGroup("ts")->box->isEnabled());
  clearSent();
  click(page.checkBox("ol")->box);
  click(page.checkBox("de")->box);
  EXPECT_EQ(sent(), (Commands{"sol 1", "sde 1"}));

  clearSent();
  type("et", "2000");
  type("et", "5");
  type("so", "100");
  type("so", "20000");
  spin("so", true);
  EXPECT_EQ(sent(), (Commands{"set 2000", "sso 100", "sso 110"}));
  EXPECT_EQ(page.exposureLabel()->text(), "2.00 ms");
  EXPECT_EQ(page.strobeLabel()->text(), "110 us");
  clearSent();
  slide("et", 1.0);
  EXPECT_EQ(sent(), Commands{"set " + std::to_string(rig.host().modelDescriptor().exposureUs.max)});
}

// "srd" chooses which window the four edits show and set. Would catch an edit that sets the
// exposure window while the focus window is chosen, a window shown before the camera agreed,
// or a page that does not show the camera's choice after the tabs were rebuilt.
TEST_F(KyRoi, SelectorChoosesTheWindowTheEditsSet) {
  EXPECT_TRUE(page.initialised());
  EXPECT_EQ(page.shownWindow(), CKy29CROIDlg::kOff);

  click(radio("rd", CKy29CROIDlg::kFocus));
  EXPECT_EQ(page.shownWindow(), CKy29CROIDlg::kFocus);
  typeInto(page.windowValue(CKy29CROIDlg::kFocus, 0)->edit, "8");
  click(radio("rd", CKy29CROIDlg::kExposure));
  EXPECT_EQ(page.shownWindow(), CKy29CROIDlg::kExposure);
  typeInto(page.windowValue(CKy29CROIDlg::kExposure, 2)->edit, "640");
  click(radio("rd", CKy29CROIDlg::kWhiteBalance));
  typeInto(page.windowValue(CKy29CROIDlg::kWhiteBalance, 3)->edit, "480");
  typeInto(page.windowValue(CKy29CROIDlg::kWhiteBalance, 1)->edit, "1");
  click(page.windowValue(CKy29CROIDlg::kWhiteBalance, 1)->spin->upButton());
  EXPECT_EQ(sent(),
            (Commands{"srd 2", "sfx 8", "srd 1", "sew 640", "srd 3", "swh 480", "swy 1", "swy 2"}));
  EXPECT_EQ(page.windowValue(CKy29CROIDlg::kWhiteBalance, 1)->edit->text(), "2");

  // Sizes run from one pixel to the whole sensor, offsets to the last column.
  const ModelDescriptor& m = rig.host().modelDescriptor();
  clearSent();
  typeInto(page.windowValue(CKy29CROIDlg::kWhiteBalance, 2)->edit, "0");
  typeInto(page.windowValue(CKy29CROIDlg::kWhiteBalance, 0)->edit,
           std::to_string(m.aoiMaxX + 1).c_str());
  EXPECT_TRUE(sent().empty());

  // Refused: the window shown stays the camera's.
  rig.refuseEverything(true);
  click(radio("rd", CKy29CROIDlg::kOff));
  EXPECT_EQ(page.shownWindow(), CKy29CROIDlg::kWhiteBalance);
  rig.refuseEverything(false);

  // Another window chose the focus window; after a tab rebuild the page shows it when shown.
  ASSERT_TRUE(rig.direct("srd 2"));
  ASSERT_TRUE(rig.direct("sfw 320"));
  page.hide();
  page.tabsRebuilt();
  EXPECT_FALSE(page.initialised());
  page.show();
  pagetest::settle();
  EXPECT_TRUE(page.initialised());
  EXPECT_EQ(page.shownWindow(), CKy29CROIDlg::kFocus);
  EXPECT_EQ(page.windowValue(CKy29CROIDlg::kFocus, 2)->edit->text(), "320");
}

// Modes, limits and the lens: a move is followed by reading where the lens got to. Would
// catch a focus position assumed rather than read, a move the camera refused shown as done,
// a lens move taken by the value cache for the focus mode's switch, or a gain limit sent
// with other than six decimals.
TEST_F(KyAuto, ModesLimitsAndLensMoves) {
  const RadioCase cases[] = {
      {"ea", 2, "sea 2"}, {"ga", 1, "sga 1"}, {"fa", 1, "sfa 1"}, {"pa", 2, "spa 2"}};
  for (const RadioCase& c : cases) {
    clearSent();
    click(radio(c.stem, c.index));
    EXPECT_EQ(sent(), Commands{c.command});
    EXPECT_TRUE(radio(c.stem, c.index)->isChecked()) << c.command;
  }
  clearSent();
  type("el", "500");
  type("eu", "200000");
  type("tl", "101");
  type("at", "100");
  type("gl", "2.5");
  type("gu", "30");
  type("pl", "10");
  spin("pu", false);
  EXPECT_EQ(sent(),
            (Commands{"sel 500", "seu 200000", "sat 100", "sgl 2.500000", "spl 10", "spu 99"}));
  EXPECT_EQ(shown("gl"), "2.500000");

  clearSent();
  type("fp", "300");
  typeInto(page.focusStep(), "-50");
  EXPECT_EQ(shown("fp"), "250");
  click(page.button("Infinite"));
  EXPECT_EQ(shown("fp"), "1000");
  typeInto(page.focusStep(), "20");
  EXPECT_EQ(shown("fp"), "1000") << "the camera refused to pass its end";
  click(page.button("Zero"));
  EXPECT_EQ(shown("fp"), "0");
  EXPECT_EQ(sent(), (Commands{"mfa 300", "gfp", "mfi -50", "gfp", "mfl", "gfp", "mfi 20", "gfp",
                              "mfz", "gfp"}));
  EXPECT_EQ(cached("fa"), 1) << "a lens move is not the focus mode";
  EXPECT_TRUE(page.focusStep()->text().isEmpty());

  clearSent();
  typeInto(page.apertureTarget(), "40");
  typeInto(page.apertureTarget(), "140");
  typeInto(page.apertureStep(), "-10");
  click(page.button("Open"));
  click(page.button("Close"));
  click(page.button("Execute"));
  EXPECT_EQ(sent(),
            (Commands{"mpa 40", "gfp", "mpi -10", "gfp", "mpo", "gfp", "mpc", "gfp", "arg"}));
  ASSERT_FALSE(rig.host().sent.empty());
  EXPECT_TRUE(rig.host().sent.back().accepted) << "the colour camera balances its white";
}

// Would catch the line source sent as another stem, a pulse of 0 us let through, or a fan
// temperature outside -10 to 80 sent.
TEST_F(KyOutput, LineSourcePulseFanAndTemperature) {
  const RadioCase cases[] = {{"ss", 2, "sss 2"}, {"ss", 3, "sss 3"}, {"fm", 1, "sfm 1"}};
  for (const RadioCase& c : cases) {
    clearSent();
    click(radio(c.stem, c.index));
    EXPECT_EQ(sent(), Commands{c.command});
    EXPECT_TRUE(radio(c.stem, c.index)->isChecked()) << c.command;
  }
  clearSent();
  click(page.checkBox("li")->box);
  click(page.checkBox("uo")->box);
  type("pp", "5000");
  type("pp", "0");
  spin("pw", true);
  type("tt", "50");
  type("tt", "81");
  EXPECT_EQ(sent(), (Commands{"sli 1", "suo 1", "spp 5000", "spw 110", "stt 50"}));
  EXPECT_EQ(shown("pp"), "5000");
  EXPECT_EQ(shown("tt"), "50");
  rig.refuseEverything(true);
  click(radio("ss", 0));
  click(page.checkBox("li")->box);
  EXPECT_TRUE(radio("ss", 3)->isChecked());
  EXPECT_TRUE(checked("li"));
}

// Values set by another window show after the reload, on every Ky page. Would catch a page
// that keeps its own copies of the camera's values.
TEST_F(KyView, RefreshShowsWhatChangedBehindItsBack) {
  onCamera({"sbh 8", "scm 4", "sks 1", "sox 32"});
  EXPECT_TRUE(radio("bh", 4)->isChecked());
  EXPECT_TRUE(radio("cm", 2)->isChecked());
  EXPECT_TRUE(checked("ks"));
  EXPECT_EQ(shown("ox"), "32");
  EXPECT_TRUE(sent().empty());
}

TEST_F(KyAuto, RefreshShowsWhatChangedBehindItsBack) {
  onCamera({"sea 1", "sgu 12.25", "mfa 640", "gfp"});
  EXPECT_TRUE(radio("ea", 1)->isChecked());
  EXPECT_EQ(shown("gu"), "12.250000");
  // The lens position another window read.
  EXPECT_EQ(shown("fp"), "640");
}

TEST_F(KyTrigger, RefreshShowsWhatChangedBehindItsBack) {
  onCamera({"stm 1", "sts 2", "sol 1", "set 25000", "sso 1500"});
  EXPECT_TRUE(radio("tm", 1)->isChecked());
  EXPECT_TRUE(radio("ts", 1)->isChecked());
  EXPECT_TRUE(page.radioGroup("ts")->box->isEnabled()) << "triggered now";
  EXPECT_TRUE(checked("ol"));
  EXPECT_EQ(shown("et"), "25000");
  EXPECT_EQ(page.exposureLabel()->text(), "25.00 ms");
  EXPECT_EQ(page.strobeLabel()->text(), "1.50 ms");
  EXPECT_TRUE(sent().empty());
}

TEST_F(KyOutput, RefreshShowsWhatChangedBehindItsBack) {
  onCamera({"sss 1", "suo 1", "spp 2500", "sfm 2", "stt 30"});
  EXPECT_TRUE(radio("ss", 1)->isChecked());
  EXPECT_TRUE(radio("fm", 2)->isChecked());
  EXPECT_TRUE(checked("uo"));
  EXPECT_EQ(shown("pp"), "2500");
  EXPECT_EQ(shown("tt"), "30");
  EXPECT_TRUE(sent().empty());
}

// A camera that refuses every query, or answers garbage and values outside every range: no
// Ky page sets anything on its own, fields are empty or show the camera's value, and the ROI
// page shows no window for a choice it does not know. Would catch a crash on a window number
// of its own making or -1 shown as a value.
TEST(KyPageHostile, ErrorsGarbageAndOutOfRange) {
  pagetest::HostileHost errors(kModel, Series::Ky);
  for (const char* stem : {"et", "so", "rd", "fp", "gl", "ox", "pp"})
    errors.answered(stem, "Error : command failed");
  pagetest::HostileHost garbage(kModel, Series::Ky);
  garbage.answered("rd", "7");
  garbage.answered("et", "99999999999999999999");
  garbage.answered("gl", "#@!");
  garbage.answered("ox", "-12");
  garbage.answered("bh", "5");
  for (pagetest::HostileHost* host : {&errors, &garbage}) {
    CKy29CViewDlg view(*host);
    CKy29CTRIGGER trigger(*host);
    CKy29CROIDlg roi(*host);
    CKy29CAutoCtrlDlg autoCtrl(*host);
    CKy29COutputCtrlDlg output(*host);
    for (SettingsPage* page :
         std::initializer_list<SettingsPage*>{&view, &trigger, &roi, &autoCtrl, &output}) {
      page->setControlsFromCache();
      page->show();
      page->refreshAll();
    }
    pagetest::settle();
    EXPECT_TRUE(host->sent.empty()) << host->sent.front();
    EXPECT_EQ(roi.shownWindow(), CKy29CROIDlg::kOff);
    if (host == &errors) {
      EXPECT_TRUE(autoCtrl.realValue("gl")->edit->text().isEmpty());
    }
  }
  CKy29CViewDlg view(garbage);
  view.setControlsFromCache();
  view.refreshAll();
  EXPECT_EQ(view.value("ox")->edit->text(), "-12") << "the camera's value, as it is";
  for (CMButton* button : view.radioGroup("bh")->buttons)
    EXPECT_FALSE(button->isChecked()) << "5 is no binning of ours";
  CKy29CTRIGGER trigger(errors);
  trigger.setControlsFromCache();
  trigger.refreshAll();
  EXPECT_TRUE(trigger.value("et")->edit->text().isEmpty());
  EXPECT_TRUE(trigger.exposureLabel()->text().isEmpty());
}

} // namespace
