// The flat-field pages and the line-scan correction controls against simulated cameras,
// offscreen: what each control sends, what it shows afterwards, and files moved both ways.
#include <QFile>
#include <filesystem>
#include <fstream>

#include "editors/ffc_setting_page.h"
#include "editors/flat_field.h"
#include "editors/line_scan_correction_widget.h"
#include "tests/pages/declared_page_rig.h"

namespace {

using namespace kelpax;
using namespace pagetest;

std::string tempPath(const std::string& name) {
  return testing::TempDir() + "ffc-page-" + std::to_string(getpid()) + "-" + name;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Dialogs answered by the test: the next file names and every message shown.
struct ScriptedDialogs {
  QString openName;
  QString saveName;
  std::vector<std::string> messages;
  QStringList filters;

  void attach(PageDialogs& dialogs) {
    dialogs.openFile = [this](const QString& filter) {
      filters << filter;
      return openName;
    };
    dialogs.saveFile = [this](const QString& filter) {
      filters << filter;
      return saveName;
    };
    dialogs.message = [this](const QString& text) { messages.push_back(text.toStdString()); };
  }
};

class FFCSettingPage : public DeclaredPageTest<CFFCSetting> {
protected:
  FFCSettingPage() : DeclaredPageTest("Ki-25M-M65") { dialogs.attach(page.dialogs()); }
  std::string stored(const char* command) {
    return rig.host().sendCommand(std::string("simstore ") + command, {.timeoutMs = 3000}).token();
  }
  ScriptedDialogs dialogs;
};

TEST_F(FFCSettingPage, OffsetAndFramesOutsideTheirRangeSendNothingAndShowTheCamera) {
  type("fo", "4096");
  EXPECT_TRUE(sent().empty()) << sent().front();
  EXPECT_EQ(shown("fo"), "0");

  type("fo", "4095");
  EXPECT_EQ(sent(), Commands{"sfo 4095"});
  EXPECT_EQ(cached("fo"), 4095);
  EXPECT_EQ(shown("fo"), "4095");
  EXPECT_EQ(page.value("fo")->slider->value(), 4095);

  clearSent();
  type("fi", "5");
  EXPECT_TRUE(sent().empty());
  spin("fi", true); // the camera starts at index 1
  EXPECT_EQ(sent(), Commands{"sfi 2"});
  EXPECT_EQ(shown("fi"), "2");
}

TEST_F(FFCSettingPage, FlashButtonsTellTheirOutcomeOnlyWhenTheCameraAccepts) {
  click(page.button("Generate"));
  click(page.button("Save to Flash"));
  click(page.button("Load from Flash"));
  ASSERT_EQ(rig.host().sent.size(), 3u);
  EXPECT_EQ(sent(), (Commands{"gfd", "sfd", "lfd"}));
  EXPECT_EQ(rig.host().sent[1].timeoutMs, 300000u);
  EXPECT_EQ(dialogs.messages, (std::vector<std::string>{" Generated !", " Saved !", " loaded!"}));

  rig.refuseEverything(true);
  click(page.button("Generate"));
  EXPECT_EQ(dialogs.messages.size(), 3u) << dialogs.messages.back();
  rig.refuseEverything(false);
  // The plain page has no selector.
  EXPECT_FALSE(page.selector()->isVisible());
}

TEST_F(FFCSettingPage, FfcFileOfOddLengthGoesToTheCameraAndComesBackIdentical) {
  std::string bytes;
  for (int i = 0; i < 5001; ++i)
    bytes.push_back(char((i * 7919) >> 3));
  const std::string source = tempPath("in.ffc");
  const std::string target = tempPath("out"); // ".ffc" is added
  writeAll(source, bytes);

  dialogs.openName = QString::fromStdString(source);
  click(page.button("Download to camera"));
  EXPECT_NE(stored("0400"), "0/0");
  dialogs.saveName = QString::fromStdString(target);
  click(page.button("Upload to PC"));
  EXPECT_EQ(readAll(target + ".ffc"), bytes);
  EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  EXPECT_EQ(dialogs.filters,
            (QStringList{"FFC data File(*.ffc) (*.ffc)", "FFC data files(*.ffc) (*.ffc)"}));
  std::filesystem::remove(source);
  std::filesystem::remove(target + ".ffc");
}

TEST_F(FFCSettingPage, AFileThatCannotBeReadSendsNothingAndTheLinkStaysUsable) {
  for (const std::string& path : {tempPath("missing.ffc"), std::string("/proc/self")}) {
    dialogs.openName = QString::fromStdString(path);
    click(page.button("Download to camera"));
  }
  const std::string empty = tempPath("empty.ffc");
  writeAll(empty, "");
  dialogs.openName = QString::fromStdString(empty);
  click(page.button("Download to camera"));
  EXPECT_EQ(dialogs.messages.size(), 3u);
  EXPECT_EQ(stored("0400"), "0/0");
  type("fo", "100");
  EXPECT_EQ(cached("fo"), 100);
  std::filesystem::remove(empty);
}

// While the main window scans its ports or runs a transfer, no button of the page sends a
// command, asks for a file or starts a transfer; once it is done, the same clicks work.
TEST_F(FFCSettingPage, ButtonsDoNothingWhileTheMainWindowIsBusy) {
  bool busy = true;
  page.setBusyCheck([&busy] { return busy; });
  const std::string source = tempPath("busy.ffc");
  const std::string target = tempPath("busy-out.ffc");
  writeAll(source, std::string(64, '\x5a'));
  dialogs.openName = QString::fromStdString(source);
  dialogs.saveName = QString::fromStdString(target);
  for (const char* label :
       {"Generate", "Save to Flash", "Load from Flash", "Download to camera", "Upload to PC"})
    click(page.button(label));
  EXPECT_TRUE(sent().empty()) << sent().front();
  EXPECT_TRUE(dialogs.filters.isEmpty()) << "no file was asked for";
  EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  EXPECT_EQ(stored("0400"), "0/0");
  EXPECT_FALSE(std::filesystem::exists(target));

  clearSent();
  busy = false;
  click(page.button("Generate"));
  click(page.button("Download to camera"));
  EXPECT_EQ(sent(), Commands{"gfd"});
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{" Generated !"});
  EXPECT_NE(stored("0400"), "0/0");
  std::filesystem::remove(source);
}

class FFCSelectorPage : public DeclaredPageTest<CFFCSelectorSetting> {
protected:
  FFCSelectorPage() : DeclaredPageTest("Ko-50M-C5") { dialogs.attach(page.dialogs()); }
  void choose(int index) {
    page.selector()->setCurrentIndex(index);
    Q_EMIT page.selector()->activated(index);
    settle();
  }
  ScriptedDialogs dialogs;
};

TEST_F(FFCSelectorPage, ARefusedSelectorShowsThePreviousOneAgain) {
  ASSERT_TRUE(page.selector()->isVisible());
  EXPECT_EQ(page.selector()->itemText(2), "Selector2");
  choose(2);
  EXPECT_EQ(sent(), Commands{"sfds 2"});
  EXPECT_EQ(cached("fds"), 2);

  rig.refuseEverything(true);
  choose(1);
  EXPECT_EQ(page.selector()->currentIndex(), 2);
  rig.refuseEverything(false);
  // Another window changed the selector: the page follows the camera.
  onCamera({"sfds 3"});
  EXPECT_EQ(page.selector()->currentIndex(), 3);
}

class FFCSettingXMLPage : public DeclaredPageTest<CFFCSettingXML> {
protected:
  FFCSettingXMLPage() : DeclaredPageTest("Ko-4MC2-C80") {}
};

TEST_F(FFCSettingXMLPage, LevelsAreHiddenAndGenerateStillWorks) {
  EXPECT_TRUE(page.offsetGroup()->isHidden());
  EXPECT_TRUE(page.framesGroup()->isHidden());
  EXPECT_TRUE(page.button("Generate")->isVisible());
  std::vector<std::string> messages;
  page.dialogs().message = [&](const QString& text) { messages.push_back(text.toStdString()); };
  click(page.button("Generate"));
  EXPECT_EQ(sent(), Commands{"gfd"});
  EXPECT_EQ(messages, std::vector<std::string>{" Generated !"});
}

class KoKiFFCPage : public DeclaredPageTest<CKoKi101_151MC_FFC> {
protected:
  KoKiFFCPage() : DeclaredPageTest("Ki-101M-M5") {}
};

TEST_F(KoKiFFCPage, SequencerControlsSendTheirCommandsAndFollowTheCamera) {
  EXPECT_TRUE(page.selector()->isVisible());
  click(radio("sqm", 0)); // "On"
  click(page.checkBox("sqcm")->box);
  type("sqss", "5");
  type("sqsc", "4");
  EXPECT_EQ(sent(), (Commands{"ssqm 1", "ssqcm 1", "ssqss 5", "ssqsc 4"}));
  EXPECT_EQ(cached("sqss"), 5);
  type("sqsc", "99"); // the camera counts at most 16
  EXPECT_EQ(shown("sqsc"), "4");
  onCamera({"ssqm 0"});
  EXPECT_TRUE(radio("sqm", 1)->isChecked());
}

// ---- Line-scan controls --------------------------------------------------------------------

class KuCorrection : public ::testing::Test {
protected:
  KuCorrection() : rig("Ku-16K-M80"), widget(rig.host()) {
    dialogs.attach(widget.dialogs());
    widget.show();
  }
  CameraRig rig;
  CKuCorrectionWidget widget;
  ScriptedDialogs dialogs;
};

TEST_F(KuCorrection, GenerationWarnsFirstThenTellsTheOutcome) {
  widget.generateDark();
  widget.targetCheck()->setChecked(true);
  widget.targetEdit()->setText("1200");
  widget.generatePrnu();
  widget.targetCheck()->setChecked(false);
  widget.generatePrnu();
  EXPECT_EQ(dialogs.messages,
            (std::vector<std::string>{std::string(kDarkCaution), std::string(kPrnuCaution),
                                      "Success to Generate Taget Level :1200",
                                      std::string(kPrnuCaution), "Automatic Generation Success."}));
  EXPECT_EQ(rig.host().commands(), (Commands{"gdd", "gpd 1200", "gpd 0"}));
  EXPECT_TRUE(widget.darkButton()->isEnabled());
  EXPECT_TRUE(widget.prnuButton()->isEnabled());

  // A level the camera cannot take is not sent.
  widget.targetCheck()->setChecked(true);
  widget.targetEdit()->setText("70000");
  widget.generatePrnu();
  EXPECT_EQ(rig.host().commands().size(), 3u);
}

TEST_F(KuCorrection, CoefficientFilesRoundTripAndBadOnesSendNothing) {
  const std::string bad = tempPath("bad.csv");
  writeAll(bad, "100\n70000\n");
  dialogs.openName = QString::fromStdString(bad);
  widget.downloadCoefficients();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0], kPrnuRangeError);
  EXPECT_EQ(rig.host().sendCommand("simstore 0400", {.timeoutMs = 3000}).token(), "0/0");

  const std::string good = tempPath("good.csv");
  writeAll(good, "65535\n0\n12345\n");
  dialogs.openName = QString::fromStdString(good);
  widget.downloadCoefficients();
  const std::string back = tempPath("back");
  dialogs.saveName = QString::fromStdString(back);
  widget.uploadCoefficients();
  EXPECT_EQ(readAll(back + ".csv"), "65535\n0\n12345\n");

  writeAll(good, "1\n2\n3\n");
  widget.downloadLinearity();
  EXPECT_NE(rig.host().sendCommand("simstore 0602", {.timeoutMs = 3000}).token(), "0/0");
  EXPECT_EQ(dialogs.messages.size(), 1u) << dialogs.messages.back();
  for (const std::string& path : {bad, good, back + ".csv"})
    std::filesystem::remove(path);
}

TEST(KeCorrection, RefusalsShowTheFailureTexts) {
  CameraRig rig("Ke-4K5C-M40");
  CKeCorrectionWidget widget(rig.host());
  std::vector<std::string> messages;
  widget.dialogs().message = [&](const QString& text) { messages.push_back(text.toStdString()); };
  widget.run(int(KeAction::SaveDark));
  widget.generatePrnu();
  EXPECT_EQ(messages, std::vector<std::string>{"Auto Generated Taget Level :0"});
  rig.refuseEverything(true);
  widget.run(int(KeAction::SaveDark));
  widget.run(int(KeAction::LoadPrnu));
  widget.run(int(KeAction::SavePrnu));
  EXPECT_EQ(messages, (std::vector<std::string>{"Auto Generated Taget Level :0", "Failed to save",
                                                "Falied to load", "Falied to save"}));
}

} // namespace
