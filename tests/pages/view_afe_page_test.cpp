// The image and analog front-end pages against a simulated camera on a pseudo-terminal:
// what the operator's clicks and typing send, what the pages refuse, and what they show
// from the camera's value cache.
#include <QApplication>
#include <QTest>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "camera/tables/model_rules.h"
#include "link/command_exchange.h"
#include "pages/afe_page.h"
#include "pages/dark_image.h"
#include "pages/image_rules.h"
#include "pages/view_page.h"
#include "session/connected_camera.h"
#include "sim/pty_camera.h"
#include "tests/pages/declared_page_rig.h"
#include "tests/pages/page_rig.h"

using namespace kelpax;

namespace {

using pagetest::CameraRig;
using pagetest::Commands;
using pagetest::RecordingHost;
using pagetest::settle;

// The page with its message boxes caught instead of shown.
template <class Page> class Capturing : public Page {
public:
  using Page::Page;
  std::vector<QString> messages;

protected:
  void showMessage(const QString& text) override { messages.push_back(text); }
};

template <class Page> using PageTest = pagetest::DeclaredPageTest<Page>;

// ---- The Ko image page ------------------------------------------------------------------

class KoViewPage : public PageTest<Capturing<CKo_ViewSetting>> {
protected:
  KoViewPage() : DeclaredPageTest("Ko-3M-M40") {}
};

class Ko25MViewPage : public PageTest<Capturing<CKo_ViewSetting>> {
protected:
  Ko25MViewPage() : DeclaredPageTest("Ko-25MC-C65") {}
};

// Would catch ten taps sent while the camera reads out 10 bits, or either group moving.
TEST_F(KoViewPage, TenTapsRefusedWithTenBits) {
  onCamera({"sdb 10"});
  ASSERT_TRUE(radio("db", 1)->isChecked());
  ASSERT_TRUE(radio("cl", 0)->isChecked());
  click(radio("cl", 3));
  EXPECT_EQ(page.messages, std::vector<QString>{kTenTapsText});
  EXPECT_TRUE(sent().empty());
  EXPECT_TRUE(radio("cl", 0)->isChecked());
  EXPECT_FALSE(radio("cl", 3)->isChecked());
  EXPECT_TRUE(radio("db", 1)->isChecked());
  EXPECT_EQ(cached("cl"), 0);
}

// The same rule from the other side: 10 bits while the camera outputs ten taps. Would
// catch the data-bit group letting the camera into the combination it cannot output.
TEST_F(KoViewPage, TenBitsRefusedWithTenTaps) {
  onCamera({"scl 3"});
  click(radio("db", 1));
  EXPECT_EQ(page.messages, std::vector<QString>{kTenTapsText});
  EXPECT_TRUE(sent().empty());
  EXPECT_TRUE(radio("db", 0)->isChecked());
  EXPECT_TRUE(radio("cl", 3)->isChecked());
}

// Would catch the rule refusing ten taps at 8 bits, or the data bits sent as an index.
TEST_F(KoViewPage, TenTapsAndBitsAtEightBits) {
  click(radio("cl", 3));
  EXPECT_TRUE(radio("cl", 3)->isChecked());
  click(radio("cl", 0));
  click(radio("db", 1));
  click(radio("db", 0));
  EXPECT_EQ(sent(), (Commands{"scl 3", "scl 0", "sdb 10", "sdb 8"}));
  EXPECT_TRUE(page.messages.empty());
  EXPECT_EQ(radio("cl", 0)->text(), "2 Tap (Base)");
  EXPECT_EQ(radio("cl", 3)->text(), "10 Tap (Full)");
  EXPECT_EQ(radio("db", 1)->text(), "10 Bit");
}

// Radios at the cached value's position, check boxes on when the cache is not 0, the region
// edits from the two-value stems, and a stem the camera does not keep ("ii") unchecked.
// Would catch a group read from another stem, or the second value of "ha"/"va" lost.
TEST_F(KoViewPage, RefreshFromTheCache) {
  onCamera({"srm 1", "sbf 1", "sti 2", "sdc 1", "sfc 1", "shf 1", "sha 16 1023", "sva 8 767"});
  EXPECT_TRUE(radio("rm", 1)->isChecked());
  EXPECT_TRUE(radio("bf", 1)->isChecked());
  EXPECT_TRUE(radio("ti", 2)->isChecked());
  EXPECT_EQ(radio("ti", 2)->text(), "Test #2");
  EXPECT_TRUE(checked("dc"));
  EXPECT_TRUE(checked("fc"));
  EXPECT_TRUE(checked("hf"));
  EXPECT_FALSE(checked("ii"));
  EXPECT_EQ(shown("ha", 0), "16");
  EXPECT_EQ(shown("ha", 1), "1023");
  EXPECT_EQ(shown("va", 0), "8");
  EXPECT_EQ(shown("va", 1), "767");
  onCamera({"srm 0", "sdc 0", "sfc 0"});
  EXPECT_TRUE(radio("rm", 0)->isChecked());
  EXPECT_FALSE(checked("dc"));
  EXPECT_FALSE(checked("fc"));
  EXPECT_TRUE(sent().empty());
}

// Each region edit sends its end with the other end as cached, only inside the sensor and
// at least 16 columns or 1 line wide. Would catch the other end sent as 0, or a region
// beyond the 2048 x 1536 sensor reaching the camera.
TEST_F(KoViewPage, RegionEditsKeepTheOtherEnd) {
  type(page.value("ha", 0)->edit, "100");
  type(page.value("va", 1)->edit, "1000");
  EXPECT_EQ(sent(), (Commands{"sha 100 2047", "sva 0 1000"}));
  EXPECT_EQ(shown("ha", 0), "100");
  EXPECT_EQ(shown("va", 1), "1000");
  rig.host().sent.clear();
  type(page.value("ha", 0)->edit, "2040"); // 7 columns
  type(page.value("va", 1)->edit, "1536"); // past the last line
  type(page.value("va", 0)->edit, "1000"); // no line left
  type(page.value("ha", 1)->edit, "-5");
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(shown("ha", 0), "100") << "a dropped value snaps back";
  EXPECT_EQ(shown("va", 1), "1000");
  QTest::mouseClick(page.value("ha", 1)->spin->upButton(), Qt::LeftButton);
  settle();
  EXPECT_TRUE(sent().empty()) << "column 2048 does not exist";
  QTest::mouseClick(page.value("va", 0)->spin->upButton(), Qt::LeftButton);
  settle();
  EXPECT_EQ(sent(), Commands{"sva 1 1000"}) << "the spin steps by 1";
}

// Would catch "Full" sending the size rather than the last column and line.
TEST_F(KoViewPage, FullSendsTheWholeSensor) {
  onCamera({"sha 100 1023", "sva 8 767"});
  click(page.fullButton());
  EXPECT_EQ(sent(), (Commands{"sha 0 2047", "sva 0 1535"}));
  EXPECT_EQ(shown("ha", 1), "2047");
  EXPECT_EQ(shown("va", 0), "0");
}

// Would catch a radio or region edit keeping a value the camera refused.
TEST_F(KoViewPage, RefusedChoicesSnapBack) {
  rig.refuseEverything(true);
  click(radio("bf", 1));
  type(page.value("ha", 0)->edit, "64");
  rig.refuseEverything(false);
  EXPECT_EQ(sent(), (Commands{"sbf 1", "sha 64 2047"}));
  EXPECT_TRUE(radio("bf", 0)->isChecked());
  EXPECT_EQ(shown("ha", 0), "0");
}

// A camera without regions gets no "Multi ROI" read-out; a 25M camera keeps regions. Would
// catch the layout not following the model.
TEST_F(KoViewPage, NoRegionLayoutWithoutRegions) {
  EXPECT_FALSE(page.regionLayout());
  EXPECT_TRUE(radio("rm", 2)->isHidden());
  page.showRegionNumber(3);
  EXPECT_TRUE(page.regionNumberLabel()->isHidden());
}

TEST_F(Ko25MViewPage, RegionLayoutAndItsLabels) {
  EXPECT_TRUE(page.regionLayout());
  EXPECT_FALSE(radio("rm", 2)->isHidden());
  page.showPointer(1023.4, 12.6);
  EXPECT_EQ(page.pointerLabel()->text(), "X: 1023, Y: 13");
  page.showRegionNumber(3);
  EXPECT_EQ(page.regionNumberLabel()->text(), "ROI Number: 3");
  EXPECT_FALSE(page.regionNumberLabel()->isHidden());
  page.showRegionNumber(std::nullopt);
  EXPECT_TRUE(page.regionNumberLabel()->isHidden());
}

// Choosing "Multi ROI" asks for the region table once the camera took the mode, and again when
// it is pressed while already chosen; a refused mode or another mode does not. Would catch the
// table asked for before the camera agreed, or never.
TEST_F(Ko25MViewPage, MultiRoiModeAsksForTheRegionTable) {
  int requests = 0;
  QObject::connect(&page, &CKo_ViewSetting::multiRoiRequested, [&requests] { ++requests; });
  click(radio("rm", 1));
  EXPECT_EQ(requests, 0);
  rig.refuseEverything(true);
  click(radio("rm", 2));
  rig.refuseEverything(false);
  EXPECT_EQ(requests, 0);
  EXPECT_TRUE(radio("rm", 1)->isChecked());
  click(radio("rm", 2));
  EXPECT_EQ(requests, 1);
  EXPECT_TRUE(radio("rm", 2)->isChecked());
  click(radio("rm", 2));
  EXPECT_EQ(requests, 2);
  EXPECT_EQ(sent(), (Commands{"srm 1", "srm 2", "srm 2"}));
  EXPECT_EQ(cached("rm"), 2);
}

// The Ko 25M numbers its outputs 0, 4, 2, 3. Would catch the button index sent instead, or
// the cached value read back as an index.
TEST_F(Ko25MViewPage, TapLabelsAndValuesBothWays) {
  const char* labels[] = {"2 Tap", "3 Tap", "8 Tap", "10 Tap"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(radio("cl", i)->text(), labels[i]);
    EXPECT_TRUE(radio("cl", i)->isEnabled());
  }
  click(radio("cl", 1));
  click(radio("cl", 2));
  click(radio("cl", 3));
  click(radio("cl", 0));
  EXPECT_EQ(sent(), (Commands{"scl 4", "scl 2", "scl 3", "scl 0"}));
  struct Case {
    const char* command;
    size_t index;
  };
  for (const Case& c : {Case{"scl 4", 1}, Case{"scl 2", 2}, Case{"scl 3", 3}, Case{"scl 0", 0},
                        Case{"scl 1", 0}, Case{"scl 5", 0}}) {
    onCamera({c.command});
    EXPECT_TRUE(radio("cl", c.index)->isChecked()) << c.command;
  }
}

// ---- Dark-image data --------------------------------------------------------------------

// Runs a dark-image button on a page of the given model with the data commands scripted.
struct DarkRun {
  Commands commands;
  std::vector<uint32_t> timeouts;
  std::vector<QString> messages;
  bool buttonsDisabledWhileRunning = true;
  bool buttonsEnabledAfter = false;
  int32_t gainAfter = -1; // the camera's cached gain and offset once the button is done
  int32_t offsetAfter = -1;
};

DarkRun runDark(const char* model, bool generate, std::map<std::string, bool> scripted,
                std::initializer_list<const char*> before = {}) {
  CameraRig rig(model);
  for (const char* command : before)
    EXPECT_TRUE(rig.direct(command)) << command;
  Capturing<CKo_ViewSetting> page(rig.host());
  page.show();
  page.setControlsFromCache();
  page.refreshAll();
  DarkRun run;
  rig.host().scripted = std::move(scripted);
  rig.host().onSend = [&](const std::string&) {
    if (page.generateButton()->isEnabled() || page.saveButton()->isEnabled())
      run.buttonsDisabledWhileRunning = false;
  };
  QTest::mouseClick(generate ? page.generateButton() : page.saveButton(), Qt::LeftButton);
  settle();
  for (const RecordingHost::Sent& s : rig.host().sent) {
    run.commands.push_back(s.command);
    run.timeouts.push_back(s.timeoutMs);
  }
  run.messages = page.messages;
  run.buttonsEnabledAfter = page.generateButton()->isEnabled() && page.saveButton()->isEnabled();
  run.gainAfter = rig.host().cacheInt("ag");
  run.offsetAfter = rig.host().cacheInt("ao");
  return run;
}

// Rate code 262 (the 160 cameras): gain and offset zeroed only when not 0, put back after.
// Would catch a zero gain sent, the old values not restored, or the short time-outs.
TEST(KoDarkImage, Rate160ZeroesAndRestores) {
  const DarkRun run = runDark("Ko-12M-M160", true, {{"gcp", true}, {"gdd", true}}, {"sag 5"});
  EXPECT_EQ(run.commands, (Commands{"sag 0", "sao 0", "gcp", "gdd", "sag 5", "sao 10"}));
  EXPECT_EQ(run.timeouts, (std::vector<uint32_t>{3000, 3000, 15000, 15000, 3000, 3000}));
  EXPECT_EQ(run.messages, (std::vector<QString>{kCoverCameraText, " Generation completed!"}));
  EXPECT_TRUE(run.buttonsDisabledWhileRunning);
  EXPECT_TRUE(run.buttonsEnabledAfter);
  EXPECT_EQ(run.gainAfter, 5);
  EXPECT_EQ(run.offsetAfter, 10);

  const DarkRun zeroGain = runDark("Ko-12M-M160", true, {{"gcp", true}, {"gdd", true}});
  EXPECT_EQ(zeroGain.commands, (Commands{"sao 0", "gcp", "gdd", "sao 10"}));
}

// Would catch a refused generation reported as completed, or the gain left at 0.
TEST(KoDarkImage, Rate160RefusedIsNoSuccess) {
  const DarkRun run = runDark("Ko-12M-M160", true, {{"gcp", false}}, {"sag 5", "sao 0"});
  EXPECT_EQ(run.commands, (Commands{"sag 0", "gcp", "sag 5"}));
  EXPECT_EQ(run.messages, std::vector<QString>{kCoverCameraText});
  EXPECT_TRUE(run.buttonsEnabledAfter);
  EXPECT_EQ(run.gainAfter, 5) << "the operator's gain is the camera's again";
}

// Rate code 263 (the 110 cameras): offset 63 for the capture, then offset and gain back.
TEST(KoDarkImage, Rate110CapturesAtOffset63) {
  const DarkRun run = runDark("Ko-12M-M110", true, {{"gcp", true}}, {"sag 7"});
  EXPECT_EQ(run.commands, (Commands{"sao 63", "sag 0", "gcp", "sao 10", "sag 7"}));
  EXPECT_EQ(run.timeouts, (std::vector<uint32_t>{3000, 3000, 30000, 3000, 3000}));
  EXPECT_EQ(run.messages, (std::vector<QString>{kCoverCameraText, "Generation completed!"}));
  EXPECT_EQ(run.gainAfter, 7);
  EXPECT_EQ(run.offsetAfter, 10);
}

// Other cameras: "god"; refused, "lod" and the error text. Would catch a refusal reported
// as completed or the old data not loaded back.
TEST(KoDarkImage, OtherCamerasGenerateOnTheirOwn) {
  const DarkRun accepted = runDark("Ko-25MC-C65", true, {{"god", true}});
  EXPECT_EQ(accepted.commands, Commands{"god"});
  EXPECT_EQ(accepted.timeouts, std::vector<uint32_t>{30000});
  EXPECT_EQ(accepted.messages, (std::vector<QString>{kCoverCameraText, "Generation completed!"}));

  const DarkRun refused = runDark("Ko-25MC-C65", true, {{"god", false}, {"lod", true}});
  EXPECT_EQ(refused.commands, (Commands{"god", "lod"}));
  EXPECT_EQ(refused.timeouts, (std::vector<uint32_t>{30000, 2000}));
  EXPECT_EQ(refused.messages, (std::vector<QString>{kCoverCameraText, kDarkImageNotDetectedText}));
}

// Would catch the saving sequences mixed up between models, or a refusal shown as saved.
TEST(KoDarkImage, SavingPerRateCode) {
  EXPECT_EQ(runDark("Ko-12M-M160", false, {{"scp", true}, {"sdd", true}}).messages,
            std::vector<QString>{"Saving completed!"});
  EXPECT_EQ(runDark("Ko-12M-M110", false, {{"scp", true}}).commands, Commands{"scp"});
  const DarkRun other = runDark("Ko-25MC-C65", false, {{"sod", true}});
  EXPECT_EQ(other.commands, Commands{"sod"});
  EXPECT_EQ(other.timeouts, std::vector<uint32_t>{120000});
  EXPECT_EQ(other.messages, std::vector<QString>{"  Saving completed!"});
  EXPECT_TRUE(runDark("Ko-25MC-C65", false, {{"sod", false}}).messages.empty());
}

// ---- The Ko 10M and the older image pages -----------------------------------------------

class Ko3ViewPage : public PageTest<Capturing<CKo3_ViewSetting>> {
protected:
  Ko3ViewPage() : DeclaredPageTest("Ko-10M-M40") {}
};

// Would catch the Ko 10M's three-tap and 12-bit choices numbered by their position, or its
// flips sent with the plain flip command.
TEST_F(Ko3ViewPage, OutputsBitsAndFlips) {
  EXPECT_EQ(radio("cl", 1)->text(), "3 Tap");
  EXPECT_EQ(radio("db", 2)->text(), "12 Bit");
  EXPECT_EQ(radio("ccs", 0)->text(), "80 MHz");
  EXPECT_EQ(radio("ccs", 1)->text(), "60 MHz");
  EXPECT_EQ(page.checkBox("ry")->box->text(), "Vertical Flip");
  click(radio("cl", 1));
  click(radio("db", 2));
  EXPECT_EQ(sent(), (Commands{"scl 4", "sdb 12"}));
  click(radio("cl", 4));
  EXPECT_EQ(page.messages, std::vector<QString>{kTenTapsText}) << "ten taps at 12 bits";
  EXPECT_EQ(sent().size(), 2u);
  EXPECT_TRUE(radio("cl", 1)->isChecked());
  rig.host().scripted = {{"srx 1", true}, {"sry 1", true}};
  rig.host().sent.clear();
  click(page.checkBox("rx")->box);
  click(page.checkBox("ry")->box);
  EXPECT_EQ(sent(), (Commands{"srx 1", "sry 1"}));
  EXPECT_TRUE(checked("ry"));
}

class OlderViewPage : public PageTest<CViewSetting> {
protected:
  OlderViewPage() : DeclaredPageTest("Kx-4M-C30") {}
};

// Would catch the channel or data-bit radios read as indexes, or stems the camera does not
// keep ("dsnu", "mc") shown as on.
TEST_F(OlderViewPage, ChannelsBitsAndChecksFromTheCache) {
  onCamera({"scm 4", "sdb 12", "sii 1", "sls 2"});
  EXPECT_TRUE(radio("cm", 3)->isChecked());
  EXPECT_EQ(radio("cm", 3)->text(), "4 Tap");
  EXPECT_TRUE(radio("db", 2)->isChecked());
  EXPECT_EQ(radio("db", 2)->text(), "12 BIT");
  EXPECT_TRUE(radio("ls", 2)->isChecked());
  EXPECT_TRUE(checked("ii"));
  EXPECT_FALSE(checked("dsnu"));
  EXPECT_FALSE(checked("mc"));
  click(radio("cm", 0));
  click(radio("db", 0));
  click(page.checkBox("ii")->box);
  EXPECT_EQ(sent(), (Commands{"scm 1", "sdb 8", "sii 0"}));
  EXPECT_FALSE(checked("ii"));
}

// ---- Analog front ends ------------------------------------------------------------------

class KoAfePage : public PageTest<CKo_AFESetting> {
protected:
  KoAfePage() : DeclaredPageTest("Ko-3M-M40") {}
};

// Would catch a gain beyond the model's 0..63 reaching the camera, or a refused value kept.
TEST_F(KoAfePage, GainWithinTheModelAndSnapBack) {
  const int32_t before = cached("ag");
  type("ag", "64");
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(shown("ag"), QString::number(before));
  rig.refuseEverything(true);
  type("ag", "20");
  rig.refuseEverything(false);
  EXPECT_EQ(sent(), Commands{"sag 20"});
  EXPECT_EQ(shown("ag"), QString::number(before));
  type("ag", "63");
  type("ao", "5");
  EXPECT_EQ(page.value("ag")->slider->value(), 63);
  EXPECT_EQ(page.value("ag")->slider->maximum(), 63);
  EXPECT_EQ(sent(), (Commands{"sag 20", "sag 63", "sao 5"}));
  ASSERT_EQ(page.gainMarks()->marks().size(), 3u);
  EXPECT_EQ(page.gainMarks()->marks()[2].text, "12 dB");
}

// The page sends exactly what the model range lookup allows, the lookup the command line and
// the simulated cameras use too: would catch a page with a range of its own.
TEST_F(KoAfePage, SendsExactlyWhatTheModelRangeAllows) {
  ModelDescriptor model;
  describeModelName("Ko-3M-M40", model);
  applyModelRanges(model);
  for (const char* stem : {"ag", "ao"}) {
    const ValueRange range = *modelRange(model, stem);
    for (const int64_t value :
         {int64_t(range.min) - 1, int64_t(range.min), int64_t(range.max), int64_t(range.max) + 1}) {
      const size_t before = sent().size();
      type(stem, std::to_string(value).c_str());
      EXPECT_EQ(sent().size() - before, range.contains(value) ? 1u : 0u) << stem << " " << value;
    }
  }
}

// Would catch the background click not committing the typed gain on a front-end page.
TEST_F(KoAfePage, BackgroundClickCommits) {
  CIntegerEdit* edit = page.value("ao")->edit;
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, "12");
  ASSERT_EQ(page.childAt(2, 2), nullptr);
  QTest::mouseClick(&page, Qt::LeftButton, {}, QPoint(2, 2));
  settle();
  EXPECT_EQ(sent(), Commands{"sao 12"});
}

class KnAfePage : public PageTest<KaAFESetting> {
protected:
  KnAfePage() : DeclaredPageTest("Kn-8M-M40") {}
};

// Would catch the dB text missing on the Kn 8M or not following the camera's gain, and the
// fine trims sent with the wrong quadrant.
TEST_F(KnAfePage, GainInDbAndFineTrims) {
  EXPECT_FALSE(page.gainDbLabel()->isHidden());
  EXPECT_EQ(page.gainDbLabel()->text(), "0.0dB,x1.00");
  type("ag", "100");
  EXPECT_EQ(page.gainDbLabel()->text(), "3.5dB,x1.50");
  type("go 3", "-4");
  type("oo 1", "7");
  type("oo 4", "-2");
  EXPECT_EQ(sent(), (Commands{"sag 100", "sgo 3 -4", "soo 1 7", "soo 4 -2"}));
  EXPECT_EQ(cached("go 3"), -4);
  EXPECT_EQ(cached("oo 4"), -2);
  EXPECT_EQ(page.value("go 1"), nullptr) << "the first quadrant is the gain reference";
}

TEST(KnAfePageModels, ElevenMegapixelCountsFrom85) {
  CameraRig rig("Kn-11M-M40");
  KaAFESetting page(rig.host());
  ASSERT_TRUE(rig.direct("sag 185"));
  page.setControlsFromCache();
  page.refreshAll();
  EXPECT_EQ(page.gainDbLabel()->text(), "3.5dB,x1.50");

  CameraRig other("Kn-4M-M40");
  KaAFESetting plain(other.host());
  ASSERT_TRUE(other.direct("sag 185"));
  plain.setControlsFromCache();
  plain.refreshAll();
  EXPECT_TRUE(plain.gainDbLabel()->isHidden());
  EXPECT_EQ(plain.value("ag")->edit->text(), "185");
}

class TwoChannelAfePage : public PageTest<CAFESetting> {
protected:
  TwoChannelAfePage() : DeclaredPageTest("Kx-4M-C30") {}
};

// Would catch "Tap Link" not carrying the left value to the right channel, the right
// channel changed when the left one was refused, or the 3 dB steps of the wrong size.
TEST_F(TwoChannelAfePage, TapLinkAndThreeDbSteps) {
  type("ag 2", "50");
  type("ag 1", "100");
  EXPECT_EQ(sent(), (Commands{"sag 2 50", "sag 1 100"}));
  rig.host().sent.clear();
  page.tapLinkBox()->setChecked(true);
  EXPECT_FALSE(page.value("ag 2")->edit->isEnabled());
  type("ao 1", "30");
  click(page.plus3DbButton());
  EXPECT_EQ(sent(), (Commands{"sao 1 30", "sao 2 30", "sag 1 184", "sag 2 184"}));
  EXPECT_EQ(shown("ag 2"), "184");
  rig.host().sent.clear();
  rig.refuseEverything(true);
  click(page.minus3DbButton());
  rig.refuseEverything(false);
  EXPECT_EQ(sent(), Commands{"sag 1 100"});
  EXPECT_EQ(shown("ag 1"), "184");
  page.tapLinkBox()->setChecked(false);
  EXPECT_TRUE(page.value("ag 2")->edit->isEnabled());
}

// A page on a camera that keeps none of its stems shows empty fields and sends nothing.
// Would catch -1 or a stale number shown for a value the camera never gave.
TEST(AfePageWithoutStems, ShowsEmptyFields) {
  CameraRig rig("Ko-3M-M40");
  CAFESetting page(rig.host());
  page.setControlsFromCache();
  page.refreshAll();
  for (const char* stem : {"ag 1", "ag 2", "ao 1", "ao 2"})
    EXPECT_EQ(page.value(stem)->edit->text(), "") << stem;
  EXPECT_TRUE(rig.host().sent.empty());
}

} // namespace
