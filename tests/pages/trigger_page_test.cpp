// The trigger pages against a simulated camera on a pseudo-terminal: what the operator's
// clicks and typing send, and what the page shows afterwards.
#include <QApplication>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "link/command_exchange.h"
#include "pages/exposure_format.h"
#include "pages/page_rules.h"
#include "pages/trigger_page.h"
#include "session/connected_camera.h"
#include "sim/pty_camera.h"
#include "tests/pages/page_rig.h"

using namespace kelpax;

namespace {

using pagetest::CameraRig;
using pagetest::Commands;
using pagetest::RecordingHost;
using pagetest::settle;

template <class Page> class TriggerPageTest : public ::testing::Test {
protected:
  explicit TriggerPageTest(const char* model) : rig(model), page(rig.host()) {
    page.resize(760, 600);
    page.show();
    page.activateWindow();
    loadFromCache();
  }

  // What the main window does after connecting: controls from the cache, then RefreshAll.
  void loadFromCache() {
    page.setControlsFromCache();
    page.postRefreshAll();
    settle();
    rig.host().sent.clear();
  }

  CMButton* radio(const char* stem, size_t index) {
    return page.radioGroup(stem)->buttons.at(index);
  }
  void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
    settle();
  }
  void type(const char* stem, const char* text, bool enter = true) {
    CIntegerEdit* edit = page.value(stem)->edit;
    edit->setFocus();
    edit->selectAll();
    if (*text == '\0')
      QTest::keyClick(edit, Qt::Key_Backspace); // an empty field
    QTest::keyClicks(edit, text);
    if (enter)
      QTest::keyClick(edit, Qt::Key_Return);
    settle();
  }
  void spin(const char* stem, bool up) {
    CMySpinCtrl* spinCtrl = page.value(stem)->spin;
    click(up ? spinCtrl->upButton() : spinCtrl->downButton());
  }
  QString shown(const char* stem) { return page.value(stem)->edit->text(); }
  int32_t cached(const char* stem) { return rig.host().cacheInt(stem); }
  Commands sent() { return rig.host().commands(); }
  // Trigger mode set on the camera directly, then the page reloaded.
  void modeOnCamera(int mode) {
    ASSERT_TRUE(rig.direct("stm " + std::to_string(mode)));
    loadFromCache();
  }

  CameraRig rig;
  Page page;
};

class KoTriggerPage : public TriggerPageTest<CKo_TriggerSetting> {
protected:
  KoTriggerPage() : TriggerPageTest("Ko-25MC-C65") {}
};

class OlderTriggerPage : public TriggerPageTest<CTriggerSetting> {
protected:
  OlderTriggerPage() : TriggerPageTest("Kx-4M-C30") {}
};

TEST_F(KoTriggerPage, ShowsTheCamerasSettings) {
  EXPECT_TRUE(radio("tm", 0)->isChecked());
  EXPECT_EQ(radio("tm", 1)->text(), "External Sync");
  EXPECT_EQ(radio("ts", 0)->text(), "CC1 port");
  EXPECT_EQ(radio("ts", 1)->text(), "External Port");
  EXPECT_TRUE(radio("ts", 0)->isChecked()) << "the camera's source 1 is the first radio";
  ASSERT_NE(page.radioGroup("st"), nullptr);
  EXPECT_EQ(radio("st", 1)->text(), "Wide Output");
  EXPECT_EQ(shown("et"), QString::number(cached("et")));
  EXPECT_EQ(page.rangeMinLabel()->text(), "10 us");
  EXPECT_EQ(page.rangeMaxLabel()->text(), "7 s");
  EXPECT_TRUE(page.shutterLabel()->isHidden());
  EXPECT_TRUE(sent().empty()) << "showing the page sends nothing";
}

// Would catch the radio moving before (or despite) the camera's answer.
TEST_F(KoTriggerPage, RefusedRadioKeepsTheOldButton) {
  rig.refuseEverything(true);
  click(radio("tm", 2));
  rig.refuseEverything(false);
  EXPECT_EQ(sent(), Commands{"stm 2"});
  EXPECT_FALSE(rig.host().sent.at(0).accepted);
  EXPECT_TRUE(radio("tm", 0)->isChecked());
  EXPECT_FALSE(radio("tm", 2)->isChecked());
  EXPECT_EQ(cached("tm"), 0);
  EXPECT_FALSE(page.radioGroup("ts")->box->isEnabled()) << "still free run";
}

// Would catch an accepted choice not shown, or the enabling not following the new mode.
TEST_F(KoTriggerPage, AcceptedRadioChangesAndEnables) {
  EXPECT_FALSE(page.radioGroup("es")->box->isEnabled());
  click(radio("tm", 1));
  EXPECT_EQ(sent(), Commands{"stm 1"});
  EXPECT_TRUE(radio("tm", 1)->isChecked());
  EXPECT_FALSE(radio("tm", 0)->isChecked());
  EXPECT_EQ(cached("tm"), 1);
  EXPECT_TRUE(page.radioGroup("ts")->box->isEnabled());
  EXPECT_TRUE(page.radioGroup("es")->box->isEnabled());
  click(radio("tm", 2)); // fast: no exposure source
  EXPECT_FALSE(page.radioGroup("es")->box->isEnabled());
  EXPECT_TRUE(page.radioGroup("tp")->box->isEnabled());
}

// Would catch a command for a setting the camera already has.
TEST_F(KoTriggerPage, CheckedRadioSendsNothing) {
  click(radio("tm", 0));
  click(radio("sp", 0));
  EXPECT_TRUE(sent().empty());
}

// Would catch the source sent as the button index (0, 1) instead of the camera's 1, 2.
TEST_F(KoTriggerPage, SourceRadiosSendOneAndTwo) {
  modeOnCamera(1);
  click(radio("ts", 1));
  click(radio("ts", 0));
  EXPECT_EQ(sent(), (Commands{"sts 2", "sts 1"}));
  ASSERT_TRUE(rig.direct("sts 2"));
  loadFromCache();
  EXPECT_TRUE(radio("ts", 1)->isChecked());
}

// Each radio group sends its own command with the button's value, and each is set from its
// own cached stem. Would catch a group wired to another group's command or stem.
TEST_F(KoTriggerPage, EveryRadioGroupSendsItsCommand) {
  modeOnCamera(1);
  struct Case {
    const char* stem;
    size_t index;
    const char* command;
  };
  const Case cases[] = {
      {"es", 1, "ses 1"}, {"tp", 1, "stp 1"}, {"sp", 1, "ssp 1"}, {"st", 1, "sst 1"},
      {"es", 0, "ses 0"}, {"tp", 0, "stp 0"}, {"sp", 0, "ssp 0"}, {"st", 0, "sst 0"},
      {"tm", 3, "stm 3"}, {"tm", 4, "stm 4"}, {"ts", 1, "sts 2"},
  };
  for (const Case& c : cases) {
    rig.host().sent.clear();
    click(radio(c.stem, c.index));
    EXPECT_EQ(sent(), Commands{c.command}) << c.stem << " " << c.index;
    EXPECT_TRUE(radio(c.stem, c.index)->isChecked()) << c.command;
  }
  // Values set behind the page's back select the radios at their positions.
  for (const char* command : {"ses 1", "stp 0", "ssp 1", "sst 0", "stm 2", "sts 1"})
    ASSERT_TRUE(rig.direct(command)) << command;
  loadFromCache();
  EXPECT_TRUE(radio("es", 1)->isChecked());
  EXPECT_TRUE(radio("tp", 0)->isChecked());
  EXPECT_TRUE(radio("sp", 1)->isChecked());
  EXPECT_TRUE(radio("st", 0)->isChecked());
  EXPECT_TRUE(radio("tm", 2)->isChecked());
  EXPECT_TRUE(radio("ts", 0)->isChecked());
}

// A press inside the slider reports on release, and the position goes through the
// logarithmic maps. Would catch a slider position sent as the value, or the strobe offset
// read with the exposure's map.
TEST_F(KoTriggerPage, SliderPressesSendTheMappedValue) {
  const ValueRange range = rig.host().modelDescriptor().exposureUs;
  CMySlierCtrl* exposure = page.value("et")->slider;
  const int x = exposure->width() / 3;
  const int y = exposure->height() / 2;
  exposure->setValue(exposure->maximum()); // the thumb away from the press
  QTest::mouseClick(exposure, Qt::LeftButton, {}, QPoint(x, y));
  settle();
  const int position = sliderJumpValue(x, exposure->width(), 0, kExposureSliderMax);
  const int32_t us = exposureFromSliderPosition(position, range.min, range.max);
  ASSERT_GT(us, range.min);
  EXPECT_EQ(sent(), Commands{"set " + std::to_string(us)});
  EXPECT_EQ(shown("et"), QString::number(us));

  rig.host().sent.clear();
  CMySlierCtrl* strobe = page.value("so")->slider;
  const int32_t before = cached("so");
  strobe->setValue(0);
  const int sx = strobe->width() * 3 / 4;
  QTest::mouseClick(strobe, Qt::LeftButton, {}, QPoint(sx, strobe->height() / 2));
  settle();
  const int32_t offset =
      strobeFromSliderPosition(sliderJumpValue(sx, strobe->width(), 0, kStrobeSliderMax), before);
  ASSERT_GT(offset, 100);
  EXPECT_EQ(sent(), Commands{"sso " + std::to_string(offset)});
  EXPECT_EQ(shown("so"), QString::number(offset));
}

// The wheel over the exposure edit posts a value past the model's maximum; the page drops
// it and shows the camera's value again. Would catch the page trusting the edit's value.
TEST_F(KoTriggerPage, WheelPastTheMaximumIsDropped) {
  type("et", "7000000");
  ASSERT_EQ(cached("et"), 7000000);
  rig.host().sent.clear();
  CIntegerEdit* edit = page.value("et")->edit;
  QWheelEvent up(QPointF(5, 5), edit->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                 Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(edit, &up);
  EXPECT_EQ(shown("et"), "7000010") << "the edit moves first";
  settle();
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(shown("et"), "7000000");
  QWheelEvent down(QPointF(5, 5), edit->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(edit, &down);
  settle();
  EXPECT_EQ(sent(), Commands{"set 6999990"}) << "the wheel moves by the spin step";
}

// Would catch an out-of-range typed exposure reaching the camera, or the edit keeping the
// refused number instead of the camera's.
TEST_F(KoTriggerPage, ExposureEditSendsOnlyInRange) {
  const int32_t before = cached("et");
  for (const char* typed : {"5", "9", "7000001", ""}) {
    type("et", typed);
    EXPECT_EQ(shown("et"), QString::number(before)) << typed;
  }
  EXPECT_TRUE(sent().empty());
  type("et", "1050");
  ASSERT_EQ(sent(), Commands{"set 1050"});
  EXPECT_EQ(rig.host().sent[0].timeoutMs, 3000u);
  EXPECT_EQ(shown("et"), "1050");
  EXPECT_EQ(page.exposureTimeLabel()->text(), "1.05 ms");
  EXPECT_EQ(page.value("et")->slider->value(), 345);
}

// Would catch wrong label formats on the page (unit boundaries, hundredths, seconds).
TEST_F(KoTriggerPage, LabelsFollowTheCamerasValue) {
  struct Case {
    const char* typed;
    const char* time;
    const char* shutter;
  };
  const Case cases[] = {
      {"999", "999 us", "1 / 1001 s"},
      {"250", "250 us", "1 / 4000 s"},
      {"500000", "500.00 ms", "0.5 s"},
      {"2500000", "2.50 s", "2.5 s"},
  };
  for (const Case& c : cases) {
    type("et", c.typed);
    EXPECT_EQ(page.exposureTimeLabel()->text(), c.time) << c.typed;
    EXPECT_EQ(page.shutterLabel()->text(), c.shutter) << c.typed;
  }
  EXPECT_EQ(sent().size(), 4u);
}

// Would catch a spin step beyond the maximum being sent.
TEST_F(KoTriggerPage, SpinAtTheMaximumSendsNothing) {
  type("et", "7000000");
  ASSERT_EQ(cached("et"), 7000000);
  rig.host().sent.clear();
  spin("et", true);
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(shown("et"), "7000000");
  spin("et", false);
  EXPECT_EQ(sent(), Commands{"set 6999990"});
  EXPECT_EQ(shown("et"), "6999990");
}

// Would catch a slider click near the left end sending anything but the minimum.
TEST_F(KoTriggerPage, SliderClickNearTheLeftEdgeSetsTheMinimum) {
  ASSERT_NE(cached("et"), 10);
  CMySlierCtrl* slider = page.value("et")->slider;
  QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(3, slider->height() / 2));
  settle();
  EXPECT_EQ(sent(), Commands{"set 10"});
  EXPECT_EQ(shown("et"), "10");
  EXPECT_EQ(slider->value(), 0);
  EXPECT_EQ(page.exposureTimeLabel()->text(), "10 us");
  QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 3, slider->height() / 2));
  settle();
  EXPECT_EQ(sent(), (Commands{"set 10", "set 7000000"}));
}

// Would catch the strobe offset's own range (0-10000) not applied, or its label wrong.
TEST_F(KoTriggerPage, StrobeOffsetRangeAndLabel) {
  type("so", "10001");
  type("so", "-1");
  EXPECT_TRUE(sent().empty());
  type("so", "10000");
  EXPECT_EQ(sent(), Commands{"sso 10000"});
  EXPECT_EQ(page.strobeOffsetLabel()->text(), "10.00 ms");
  EXPECT_EQ(page.value("so")->slider->value(), 1000);
  spin("so", true);
  EXPECT_EQ(sent().size(), 1u) << "a spin above 10000 is dropped";
  spin("so", false);
  EXPECT_EQ(sent(), (Commands{"sso 10000", "sso 9990"})) << "the strobe spin steps by 10";
  type("so", "999");
  EXPECT_EQ(page.strobeOffsetLabel()->text(), "999 us");
}

// Would catch the edit keeping a value the camera refused.
TEST_F(KoTriggerPage, RefusedValueSnapsBack) {
  const int32_t before = cached("et");
  rig.refuseEverything(true);
  type("et", "2000");
  rig.refuseEverything(false);
  EXPECT_EQ(sent(), Commands{"set 2000"});
  EXPECT_EQ(shown("et"), QString::number(before));
  EXPECT_EQ(page.exposureTimeLabel()->text(), QString::fromStdString(exposureTimeText(before)));
}

// Would catch Escape leaving typed but uncommitted text, or sending it.
TEST_F(KoTriggerPage, EscapeRestoresFromTheCache) {
  const int32_t before = cached("et");
  type("et", "1234", false);
  EXPECT_EQ(shown("et"), "1234");
  QTest::keyClick(page.value("et")->edit, Qt::Key_Escape);
  settle();
  EXPECT_EQ(shown("et"), QString::number(before));
  EXPECT_TRUE(sent().empty());
}

// Would catch RefreshAll sending, or not showing a change made behind the page's back.
TEST_F(KoTriggerPage, RefreshAllShowsWithoutSending) {
  ASSERT_TRUE(rig.direct("set 3000"));
  page.postRefreshAll();
  settle();
  EXPECT_EQ(shown("et"), "3000");
  EXPECT_EQ(page.exposureTimeLabel()->text(), "3.00 ms");
  EXPECT_TRUE(sent().empty());
}

// Would catch the background click not committing the focused edit on front-end pages.
TEST_F(KoTriggerPage, BackgroundClickCommitsTheFocusedEdit) {
  page.setCommitOnBackgroundClick(true);
  type("et", "2000", false);
  ASSERT_EQ(page.childAt(2, 2), nullptr);
  QTest::mouseClick(&page, Qt::LeftButton, {}, QPoint(2, 2));
  settle();
  EXPECT_EQ(sent(), Commands{"set 2000"});
}

// Free run: nothing about the trigger applies. Would catch the free-run row of the table
// not applied after loading from the cache.
TEST_F(KoTriggerPage, FreeRunDisablesTheTriggerControls) {
  EXPECT_FALSE(page.radioGroup("ts")->box->isEnabled());
  EXPECT_FALSE(page.radioGroup("es")->box->isEnabled());
  EXPECT_FALSE(page.radioGroup("tp")->box->isEnabled());
  EXPECT_FALSE(page.continueBox()->isEnabled());
  EXPECT_FALSE(page.checkBox("ar")->box->isEnabled());
  EXPECT_FALSE(page.value("fn")->edit->isEnabled());
  EXPECT_TRUE(page.radioGroup("sp")->box->isEnabled());
  EXPECT_TRUE(page.value("et")->edit->isEnabled());
  modeOnCamera(4);
  EXPECT_TRUE(radio("tm", 4)->isChecked());
  EXPECT_TRUE(page.radioGroup("es")->box->isEnabled());
  EXPECT_FALSE(page.checkBox("ar")->box->isEnabled());
}

TEST_F(OlderTriggerPage, HasTheOlderWording) {
  EXPECT_EQ(radio("tm", 1)->text(), "Standard");
  EXPECT_EQ(radio("ts", 0)->text(), "CC1");
  EXPECT_EQ(radio("ts", 1)->text(), "Ext.");
  EXPECT_EQ(page.radioGroup("st"), nullptr) << "no strobe type on the older page";
}

// Would catch frame numbers 0 or 256 being sent, or a spin past 255.
TEST_F(OlderTriggerPage, FrameNumberStaysWithin1To255) {
  modeOnCamera(1);
  ASSERT_TRUE(page.value("fn")->edit->isEnabled());
  const int32_t before = cached("fn");
  for (const char* typed : {"0", "256"}) {
    type("fn", typed);
    EXPECT_EQ(shown("fn"), QString::number(before)) << typed;
  }
  EXPECT_TRUE(sent().empty());
  type("fn", "254");
  spin("fn", true);
  spin("fn", true);
  EXPECT_EQ(sent(), (Commands{"sfn 254", "sfn 255"}));
  EXPECT_EQ(shown("fn"), "255");
}

// " Continue" changes at once, is not turned back on refusal, and rules the frame number.
TEST_F(OlderTriggerPage, ContinueChangesAtOnce) {
  modeOnCamera(1);
  QCheckBox* box = page.continueBox();
  // A check box takes clicks on its mark and text only; its mark sits at the left.
  const QPoint mark(8, box->height() / 2);
  QTest::mouseClick(box, Qt::LeftButton, {}, mark);
  EXPECT_TRUE(box->isChecked()) << "before the camera answered";
  settle();
  EXPECT_EQ(sent(), Commands{"sfn 0"});
  EXPECT_EQ(shown("fn"), "0");
  EXPECT_FALSE(page.value("fn")->edit->isEnabled());
  QTest::mouseClick(box, Qt::LeftButton, {}, mark);
  settle();
  EXPECT_EQ(sent(), (Commands{"sfn 0", "sfn 1"}));
  EXPECT_TRUE(page.value("fn")->edit->isEnabled());

  rig.refuseEverything(true);
  QTest::mouseClick(box, Qt::LeftButton, {}, mark);
  settle();
  rig.refuseEverything(false);
  EXPECT_TRUE(box->isChecked()) << "not turned back";
  EXPECT_EQ(shown("fn"), "1") << "the camera's frame number";
}

// Would catch the check box sending its old state, or changing when the camera refuses.
TEST_F(OlderTriggerPage, AsynchronousResetWaitsForTheCamera) {
  modeOnCamera(1);
  CMCheckBox* reset = page.checkBox("ar")->box;
  ASSERT_FALSE(reset->isChecked());
  rig.refuseEverything(true);
  click(reset);
  rig.refuseEverything(false);
  EXPECT_FALSE(reset->isChecked());
  click(reset);
  EXPECT_TRUE(reset->isChecked());
  click(reset);
  EXPECT_FALSE(reset->isChecked());
  EXPECT_EQ(sent(), (Commands{"sar 1", "sar 1", "sar 0"}));
  EXPECT_EQ(cached("ar"), 0);
}

// Would catch the slow Ko 12M cameras getting the ordinary 3000 ms for an exposure change.
TEST(TriggerPageTimeout, Ko12MWaitsLongerForTheExposure) {
  CameraRig rig("Ko-12M-C30");
  CKo_TriggerSetting page(rig.host());
  EXPECT_EQ(page.exposureTimeoutMs(), 10000u);
  page.setControlsFromCache();
  page.refreshAll();
  page.show();
  CIntegerEdit* edit = page.value("et")->edit;
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, "2000");
  QTest::keyClick(edit, Qt::Key_Return);
  settle();
  ASSERT_EQ(rig.host().sent.size(), 1u);
  EXPECT_EQ(rig.host().sent[0].timeoutMs, 10000u);
  EXPECT_TRUE(rig.host().sent[0].accepted);
}

} // namespace
