// The Peltier, fan and monitor windows against simulated cooled cameras, offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QtCharts/QLineSeries>

#include <gtest/gtest.h>

#include "../session/pty_camera_link.h"
#include "tools/peltier_page.h"
#include "tools/temperature_chart.h"

namespace kelpax {
namespace {

struct CooledCamera {
  explicit CooledCamera(const std::string& model) : link(model, "peltier-page") {
    link.connected.identify(model);
    EXPECT_EQ(link.connected.fillCache().missing, 0);
  }
  void refuse(bool on) {
    sim::Faults faults;
    faults.errorAnswers = on;
    link.camera->setFaults(faults);
  }
  int received() const { return link.camera->commandsReceived(); }
  sessiontest::PtyCameraLink link;
};

std::vector<std::string> lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);)
    out.push_back(line);
  return out;
}

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

// Catches the Peltier-off rule applied to the wrong generation: the classic page locks its
// target edit, the newer one keeps it editable.
TEST(PeltierPage, PeltierOffLocksTargetOnlyOnTheClassicPage) {
  {
    CooledCamera camera("KnP-16M-M4");
    CPeltierCtrlDlg page(camera.link.connected);
    page.show();
    page.peltierRadio(true)->click();
    EXPECT_TRUE(page.targetEdit()->isEnabled());
    EXPECT_TRUE(page.peltierPicture()->isOn());
    page.peltierRadio(false)->click();
    EXPECT_TRUE(page.peltierRadio(false)->isChecked());
    EXPECT_FALSE(page.targetEdit()->isEnabled());
    EXPECT_FALSE(page.peltierPicture()->isOn());
  }
  {
    CooledCamera camera("Ki-101M-M5");
    CNewPeltierCtrlDlg page(camera.link.connected);
    page.show();
    page.peltierRadio(true)->click();
    page.peltierRadio(false)->click();
    EXPECT_TRUE(page.peltierRadio(false)->isChecked());
    EXPECT_EQ(camera.link.connected.parameterCache().intValue("ptm"), 0);
    EXPECT_TRUE(page.targetEdit()->isEnabled());
  }
}

// Catches a target outside -10 ... 80 reaching the camera, text that is no number sent as 0,
// and an edit left showing a value the camera does not hold.
TEST(PeltierPage, TargetOutOfRangeIsNotSentAndSnapsBack) {
  CooledCamera camera("KnP-16M-M4");
  CPeltierCtrlDlg page(camera.link.connected);
  page.show();
  page.peltierRadio(true)->click();
  typeAndEnter(page.targetEdit(), QStringLiteral("25"));
  EXPECT_EQ(page.targetEdit()->text(), QStringLiteral("25.00"));
  const int before = camera.received();
  for (const char* bad : {"81", "-11", "abc", ""})
    typeAndEnter(page.targetEdit(), QString::fromLatin1(bad));
  EXPECT_EQ(camera.received(), before);
  EXPECT_EQ(page.targetEdit()->text(), QStringLiteral("25.00"));
}

// Catches radios and pictures switched before (or without regard to) the camera's answer.
TEST(PeltierPage, RefusedSwitchesLeaveRadiosAndPictures) {
  CooledCamera camera("KnP-16M-M4");
  CPeltierCtrlDlg page(camera.link.connected);
  page.show();
  page.fanRadio(true)->click();
  EXPECT_TRUE(page.fanPicture()->isAnimating());
  camera.refuse(true);
  page.fanRadio(false)->click();
  page.peltierRadio(true)->click();
  EXPECT_TRUE(page.fanRadio(true)->isChecked());
  EXPECT_TRUE(page.fanPicture()->isAnimating());
  EXPECT_FALSE(page.peltierRadio(true)->isChecked());
  EXPECT_FALSE(page.peltierPicture()->isOn());
  page.sensorButton()->click();
  EXPECT_TRUE(page.sensorField()->text().isEmpty());
  camera.refuse(false);
  page.sensorButton()->click();
  EXPECT_TRUE(page.sensorField()->text().endsWith(QLatin1Char(' ')));
}

// Catches the fan page sending the wrong index, or animating after a refusal.
TEST(FanPage, ModeFollowsTheCamerasAnswer) {
  CooledCamera camera("Ki-101M-M5");
  CFanControlDlg page(camera.link.connected);
  page.show();
  page.radio(1)->click();
  EXPECT_EQ(camera.link.connected.parameterCache().intValue("fm"), 1);
  EXPECT_TRUE(page.fanPicture()->isAnimating());
  camera.refuse(true);
  page.radio(0)->click();
  EXPECT_TRUE(page.radio(1)->isChecked());
  EXPECT_TRUE(page.fanPicture()->isAnimating());
  camera.refuse(false);
  page.radio(0)->click();
  EXPECT_TRUE(page.radio(0)->isChecked());
  EXPECT_FALSE(page.fanPicture()->isAnimating());
}

struct MonitorRun {
  explicit MonitorRun(const std::string& model) : camera(model) {
    folder =
        std::filesystem::temp_directory_path() / ("kelpax-monitor-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    csv = (folder / "aging").string();
  }
  ~MonitorRun() { std::filesystem::remove_all(folder); }
  CooledCamera camera;
  std::filesystem::path folder;
  std::string csv;
};

// A minute of aging against the simulated sensor: the log has the header and one line per
// second, and its sensor column falls towards the target. Catches a monitor that blocks the
// window, logs passes it did not read, or writes times that skip or repeat.
TEST(AgingMonitor, OneMinuteLogApproachesTheTarget) {
  MonitorRun run("KnP-16M-M4");
  CPeltierCtrlDlg page(run.camera.link.connected);
  page.setTuningForm(true);
  page.show();
  page.fanRadio(true)->click();
  page.peltierRadio(true)->click();
  typeAndEnter(page.targetEdit(), QStringLiteral("10"));
  page.setCsvFileChooser([&] { return QString::fromStdString(run.csv); });
  page.setMonitorPacing(1, [&] { run.camera.link.camera->advanceClock(1.0); });
  ASSERT_TRUE(page.monitorButton()->isVisible());
  page.monitorButton()->click();
  ASSERT_NE(page.monitor(), nullptr);
  ASSERT_TRUE(waitFor([&] { return page.monitor()->passes() >= 61; }));
  page.monitor()->chart()->close();
  EXPECT_FALSE(page.monitor()->running());

  const std::vector<std::string> log = lines(run.csv + ".csv");
  ASSERT_GE(log.size(), 62u);
  EXPECT_EQ(log[0], "Aging Time,Camera Temperature,CCD Temperature, PWM");
  EXPECT_EQ(log[1].substr(0, 9), "00:00:00,");
  EXPECT_EQ(log[61].substr(0, 9), "00:01:00,");
  auto sensorOf = [](const std::string& line) {
    return std::stod(line.substr(line.find(',', 9) + 1));
  };
  const double first = sensorOf(log[1]);
  const double last = sensorOf(log[61]);
  EXPECT_GT(first, 30.0);
  EXPECT_LT(last, 11.5);
  EXPECT_GT(last, 9.5);
  for (size_t i = 2; i < 62; ++i)
    EXPECT_LE(sensorOf(log[i]), sensorOf(log[i - 1]) + 0.01) << log[i];
  EXPECT_EQ(page.monitor()->chart()->pointCount(), size_t(page.monitor()->passes()));
  EXPECT_TRUE(page.monitor()->chart()->caption().startsWith(QStringLiteral("Aging Time : 00:01")));
}

// Catches a run that logs zeros (or hangs) once the camera refuses: it stops with a reason and
// the lines already written stay whole.
TEST(AgingMonitor, CameraRefusingMidRunStopsCleanly) {
  MonitorRun run("Ki-101M-M5");
  CNewPeltierCtrlDlg page(run.camera.link.connected);
  page.setTuningForm(true);
  page.show();
  page.setCsvFileChooser([&] { return QString::fromStdString(run.csv + ".csv"); });
  int passes = 0;
  page.setMonitorPacing(1, [&] {
    if (++passes == 5)
      run.camera.refuse(true);
  });
  page.monitorButton()->click();
  ASSERT_TRUE(waitFor([&] { return !page.monitor()->running(); }));
  EXPECT_TRUE(page.monitor()->chart()->state().contains(QStringLiteral("stopped")))
      << page.monitor()->chart()->state().toStdString();
  const std::vector<std::string> log = lines(run.csv + ".csv");
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0], "Aging Time,Camera Temperature,CCD Temperature,PWM");
  EXPECT_EQ(log[5].substr(0, 9), "00:00:04,");
  EXPECT_EQ(std::count(log[5].begin(), log[5].end(), ','), 3);
}

// Catches decimation that drops a spike or draws more points than it promises.
TEST(TwoLineChart, LongRunsAreDrawnDecimatedWithTheirExtremes) {
  CTwoLineChart chart({.title = QStringLiteral("t")});
  std::vector<QPointF> day;
  for (int i = 0; i < 86400; ++i)
    day.emplace_back(i, i == 50000 ? 99.0 : 20.0);
  const std::vector<QPointF> drawn = decimateForDrawing(day);
  EXPECT_LE(drawn.size(), kDrawnPointsPerLine);
  EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](QPointF p) { return p.y() == 99.0; }));
  EXPECT_EQ(drawn.front().x(), 0);
  for (int i = 0; i < 3000; ++i)
    chart.addPoints(i, 20, i == 1234 ? -40 : 30);
  EXPECT_EQ(chart.pointCount(), 3000u);
  EXPECT_LE(size_t(chart.secondSeries()->count()), kDrawnPointsPerLine);
}

} // namespace
} // namespace kelpax
