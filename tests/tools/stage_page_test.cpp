// The nano-stage page against the simulated stage, offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "../session/pty_camera_link.h"
#include "tools/stage_page.h"

namespace kelpax {
namespace {

struct StageRig {
  StageRig() : link("KnP-16M-M4", "stage-page") {
    link.connected.identify("KnP-16M-M4");
    EXPECT_EQ(link.connected.fillCache().missing, 0);
    page = std::make_unique<CStageCtrlDlg>(link.connected);
    page->setMessageSink([this](const QString& caption, const QString& text) {
      messages.push_back(caption + QStringLiteral(": ") + text);
    });
    page->setStatusSink([this](const QString& text) { status = text; });
    page->setTitleSink([this](const QString& text) { title = text; });
    page->setPauses(0, 1, 0);
    page->setTuningForm(true);
    page->show();
  }
  void refuse(bool on) {
    sim::Faults faults;
    faults.errorAnswers = on;
    link.camera->setFaults(faults);
  }
  int received() const { return link.camera->commandsReceived(); }
  int cached(const char* stem) const { return link.connected.parameterCache().intValue(stem); }

  sessiontest::PtyCameraLink link;
  std::unique_ptr<CStageCtrlDlg> page;
  std::vector<QString> messages;
  QString status;
  QString title;
};

bool waitFor(const std::function<bool()>& done, int ms = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

void typeAndEnter(QLineEdit* edit, const QString& text) {
  edit->setText(text);
  QTest::keyClick(edit, Qt::Key_Return);
}

// Step 0 leaves the position and DAC spins where they are (nothing sent); a step of 30001 is
// refused and the old step stays.
TEST(StagePage, StepZeroAndStepOutOfRange) {
  StageRig rig;
  typeAndEnter(rig.page->stepEdit(), QStringLiteral("30001"));
  EXPECT_EQ(rig.page->stepEdit()->text(), QStringLiteral("100"));
  EXPECT_EQ(rig.page->position(0)->singleStep(), 100);
  rig.page->position(0)->stepUp();
  EXPECT_EQ(rig.cached("np x"), 100);

  typeAndEnter(rig.page->stepEdit(), QStringLiteral("0"));
  EXPECT_EQ(rig.page->stepNm(), 0);
  const int before = rig.received();
  rig.page->position(0)->stepUp();
  rig.page->position(1)->stepUp();
  rig.page->dac(0)->stepUp();
  EXPECT_EQ(rig.received(), before);
  EXPECT_EQ(rig.page->position(0)->value(), 100);
  EXPECT_DOUBLE_EQ(rig.page->gain(0)->singleStep(), 0.0);
}

// Catches a refused move left on screen, and the sequence-mode rule applied the wrong way.
TEST(StagePage, PositionsAndSequenceModeRule) {
  StageRig rig;
  rig.page->position(1)->setValue(12000);
  EXPECT_EQ(rig.cached("np y"), 12000);
  rig.refuse(true);
  rig.page->position(1)->setValue(13000);
  EXPECT_EQ(rig.page->position(1)->value(), 12000);
  rig.refuse(false);

  EXPECT_TRUE(rig.page->position(0)->isEnabled());
  EXPECT_FALSE(rig.page->resetAfterSequence()->isEnabled());
  rig.page->sequenceMode()->button(2)->click();
  EXPECT_EQ(rig.cached("sm"), 2);
  EXPECT_FALSE(rig.page->position(0)->isEnabled());
  EXPECT_FALSE(rig.page->button(QStringLiteral("stageCheck"))->isEnabled());
  EXPECT_FALSE(rig.page->button(QStringLiteral("stageCalibration"))->isEnabled());
  EXPECT_TRUE(rig.page->resetAfterSequence()->isEnabled());
  rig.page->resetAfterSequence()->click();
  EXPECT_EQ(rig.cached("sr"), 1);
  rig.page->sequenceMode()->button(0)->click();
  EXPECT_TRUE(rig.page->position(0)->isEnabled());
  EXPECT_FALSE(rig.page->multiShot()->button(1)->isEnabled());
}

// Reset and calibration put both positions at 0 and say so; a refusal says so in a box.
TEST(StagePage, ResetCalibrationAndTheirRefusals) {
  StageRig rig;
  rig.page->position(0)->setValue(9000);
  rig.page->button(QStringLiteral("stageReset"))->click();
  EXPECT_EQ(rig.status, QStringLiteral("Stage Reset OK!"));
  EXPECT_EQ(rig.page->position(0)->value(), 0);
  EXPECT_EQ(rig.cached("np x"), 0);
  rig.refuse(true);
  rig.page->button(QStringLiteral("stageReset"))->click();
  rig.page->button(QStringLiteral("stageCalibration"))->click();
  EXPECT_EQ(rig.status, QStringLiteral("Stage Calibration Error"));
  EXPECT_EQ(rig.messages,
            (std::vector<QString>{QStringLiteral("Error: Error : Stage reset"),
                                  QStringLiteral("Error: Error : Stage Calibration")}));
  EXPECT_TRUE(rig.page->button(QStringLiteral("stageReset"))->isEnabled());
  rig.refuse(false);
  rig.page->button(QStringLiteral("temperature"))->click();
  EXPECT_EQ(rig.page->temperatureField()->text(), QStringLiteral("34.2"));
}

// Auto zero from the page, the window staying live: converges from a far POT with "OK", and at
// POT 255 with the stage far out ends with "Error : Over range".
TEST(StagePage, AutoZeroConvergesOrGoesOverRange) {
  StageRig rig;
  rig.page->button(QStringLiteral("ReLoad"))->click();
  EXPECT_EQ(rig.page->pot(0)->value(), 128);
  EXPECT_EQ(rig.page->dac(1)->value(), 13000);
  EXPECT_FALSE(rig.page->voltage(0)->text().isEmpty());
  rig.page->pot(0)->setValue(10);
  ASSERT_EQ(rig.page->pot(0)->value(), 10);
  rig.page->findChild<QPushButton*>(QStringLiteral("autoZeroX"))->click();
  ASSERT_TRUE(waitFor([&] { return !rig.page->autoZeroActive(); }));
  ASSERT_EQ(rig.messages.size(), 1u);
  EXPECT_EQ(rig.messages[0], QStringLiteral("Information: OK"));
  EXPECT_GT(rig.page->pot(0)->value(), 130);

  rig.page->position(0)->setValue(20000);
  rig.page->pot(0)->setValue(255);
  rig.page->findChild<QPushButton*>(QStringLiteral("autoZeroX"))->click();
  ASSERT_TRUE(waitFor([&] { return !rig.page->autoZeroActive(); }));
  ASSERT_EQ(rig.messages.size(), 2u);
  EXPECT_EQ(rig.messages[1], QStringLiteral("Error: Error : Over range"));
}

// The voltage chart fills while open, its button stays disabled meanwhile, and it stops on a
// failed reading.
TEST(StagePage, VoltageMonitorChart) {
  StageRig rig;
  QPushButton* monitor = rig.page->button(QStringLiteral("VoltageMonitor"));
  monitor->click();
  ASSERT_NE(rig.page->voltageChart(), nullptr);
  EXPECT_EQ(rig.page->voltageChart()->windowTitle(), QStringLiteral("PZT Voltage Chart"));
  EXPECT_FALSE(monitor->isEnabled());
  ASSERT_TRUE(waitFor([&] { return rig.page->voltageChart()->pointCount() >= 5; }));
  EXPECT_TRUE(rig.page->voltageChart()->caption().startsWith(QStringLiteral("X-PZT : ")));
  rig.refuse(true);
  ASSERT_TRUE(waitFor([&] { return !rig.page->voltageChart()->stopButton()->isEnabled(); }));
  const size_t points = rig.page->voltageChart()->pointCount();
  rig.refuse(false);
  rig.page->voltageChart()->close();
  EXPECT_TRUE(monitor->isEnabled());
  EXPECT_EQ(rig.page->voltageChart()->pointCount(), points);
}

// "More Infomation" takes the page out of its window as a tool window and back again.
TEST(StagePage, MoreInformationLeavesAndReentersTheWindow) {
  QWidget home;
  StageRig rig;
  rig.page->setParent(&home);
  home.show();
  rig.page->button(QStringLiteral("MoreInfomation"))->click();
  EXPECT_TRUE(rig.page->isWindow());
  EXPECT_TRUE(rig.page->detached());
  EXPECT_DOUBLE_EQ(rig.page->gain(1)->value(), 1.0);
  EXPECT_EQ(rig.page->button(QStringLiteral("MoreInfomation"))->text(), QStringLiteral("CLOSE"));
  rig.page->button(QStringLiteral("MoreInfomation"))->click();
  EXPECT_FALSE(rig.page->isWindow());
  EXPECT_EQ(rig.page->parentWidget(), &home);
  rig.page->setParent(nullptr);
}

// The stage check runs step by step with progress and ends with its report; the aging test
// logs until stopped, and Stop leaves a whole log.
TEST(StagePage, StageCheckAndAgingTestRunAndStop) {
  StageRig rig;
  rig.page->button(QStringLiteral("stageCheck"))->click();
  ASSERT_NE(rig.page->runWindow(), nullptr);
  EXPECT_EQ(rig.page->runWindow()->windowTitle(), QStringLiteral("Test Results"));
  ASSERT_TRUE(waitFor([&] { return !rig.page->runActive(); }));
  const QString report = rig.page->runWindow()->text()->toPlainText();
  EXPECT_TRUE(report.startsWith(QStringLiteral("Stage Check \n----"))) << report.toStdString();
  EXPECT_TRUE(report.contains(QStringLiteral("Stage Setup Time : "))) << report.toStdString();
  EXPECT_TRUE(report.endsWith(QStringLiteral("Done."))) << report.toStdString();
  EXPECT_EQ(rig.page->runWindow()->progress()->value(), 100);

  const std::string csv =
      (std::filesystem::temp_directory_path() / ("kelpax-stage-page-" + std::to_string(getpid())))
          .string();
  std::filesystem::remove(csv + ".csv");
  rig.page->setCsvFileChooser([&] { return QString::fromStdString(csv); });
  rig.page->button(QStringLiteral("AgingTest"))->click();
  ASSERT_TRUE(rig.page->runActive());
  auto count = [&] { return rig.title.section(QLatin1Char(' '), 2, 2).toInt(); };
  ASSERT_TRUE(waitFor([&] { return count() >= 20; }))
      << rig.title.toStdString() << rig.page->runWindow()->text()->toPlainText().toStdString();
  rig.page->runWindow()->stopButton()->click();
  EXPECT_FALSE(rig.page->runActive());
  std::ifstream in(csv + ".csv");
  int lines = 0;
  for (std::string line; std::getline(in, line);) {
    ++lines;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 5) << line;
  }
  EXPECT_GE(lines, 20);
  EXPECT_GE(rig.page->voltageChart()->pointCount(), 20u);
  std::filesystem::remove(csv + ".csv");
}

} // namespace
} // namespace kelpax
