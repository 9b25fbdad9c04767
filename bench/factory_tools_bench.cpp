// The factory tools' speed against their targets, each reported as a ratio:
// - the aging monitor's CPU while it logs once per second (target at most 2 % of one core):
//   the window thread's CPU time over the wall time of the run, the camera simulated on a
//   thread of its own whose time is not counted;
// - the temperature chart redrawn with 24 hours of points, 86,400 per line (target 16 ms, one
//   frame): one point added and the chart painted;
// - "Stage Setup Time" against the simulated stage at 115200 baud with the line paced: the
//   ideal wire time of the 60 move commands and their answers over the measured time (target
//   at least 0.9).
// Options: --seconds N (aging run, 10 by default; 60 is the full minute). Runs on the platform
// Qt picks (QT_QPA_PLATFORM=offscreen without a display).
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <QtCharts/QChartView>

#include <unistd.h>

#include "link/command_exchange.h"
#include "session/connected_camera.h"
#include "sim/pty_camera.h"
#include "tools/peltier_page.h"
#include "tools/stage_control.h"
#include "tools/temperature_chart.h"
#include "tools/thermal_control.h"

using namespace kelpax;

namespace {

constexpr double kAgingCpuTarget = 0.02;
constexpr double kRedrawTargetMs = 16.0;
constexpr double kSetupRatioTarget = 0.9;
constexpr int kBaud = 115200;

double threadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// A camera on a pseudo-terminal and the program's port open on it.
struct Link {
  Link(const std::string& model, bool pacing) {
    sim::PtyOptions options;
    options.model = model;
    options.linkPath = "/tmp/kelpax-factory-bench-" + std::to_string(getpid());
    options.baud = kBaud;
    options.pacing = pacing;
    camera = std::make_unique<sim::PtyCamera>(options);
    std::string error;
    if (!camera->start(&error)) {
      std::fprintf(stderr, "simulated camera: %s\n", error.c_str());
      return;
    }
    PortEntry entry;
    entry.portName = options.linkPath;
    port.addPort(entry);
    opened = port.OpenPort(0, 16) == 0;
    if (opened)
      connected.identify(model);
  }
  ~Link() { port.ClosePort(); }
  std::unique_ptr<sim::PtyCamera> camera;
  CameraPort port;
  CommandExchange exchange{port};
  ConnectedCamera connected{exchange};
  bool opened = false;
};

int agingCpu(int seconds) {
  Link link("KnP-16M-M4", true);
  if (!link.opened)
    return 1;
  ThermalControl control(link.connected, PeltierGeneration::Classic);
  const std::string csv = (std::filesystem::temp_directory_path() /
                           ("kelpax-aging-bench-" + std::to_string(getpid()) + ".csv"))
                              .string();
  CAgingMonitor monitor(control, csv, nullptr);
  monitor.chart()->show();
  const double cpuStart = threadCpuSeconds();
  QElapsedTimer wall;
  wall.start();
  monitor.start(1000);
  while (wall.elapsed() < qint64(seconds) * 1000)
    QTest::qWait(50);
  const double cpu = threadCpuSeconds() - cpuStart;
  const double elapsed = double(wall.elapsed()) / 1000.0;
  const int passes = monitor.passes();
  monitor.stop(QStringLiteral("done"));
  std::filesystem::remove(csv);
  const double share = cpu / elapsed;
  std::printf("aging monitor, %d s measured, %d passes: CPU %.3f s = %.2f %% of one core "
              "(ratio to the 2 %% target %.2f)\n",
              seconds, passes, cpu, share * 100, share / kAgingCpuTarget);
  return 0;
}

int chartRedraw() {
  CTwoLineChart chart({.title = QStringLiteral("TEC Temperature Monitor"),
                       .firstLine = QStringLiteral("Horizontal :"),
                       .secondLine = QStringLiteral("Vertical :"),
                       .xTitle = QStringLiteral("Time (s)"),
                       .yTitle = QStringLiteral("Temperature (\u2103)")});
  chart.resize(800, 500);
  chart.show();
  constexpr int kDay = 86400;
  std::vector<QPointF> first, second;
  first.reserve(kDay);
  second.reserve(kDay);
  for (int s = 0; s < kDay - 100; ++s) {
    // A slow drift with a little noise, as a day of cooling looks.
    first.emplace_back(s, 20 + 5 * std::sin(s / 3000.0) + (s % 7) * 0.01);
    second.emplace_back(s, 42 + 0.5 * std::cos(s / 500.0));
  }
  chart.appendPoints(first, second);
  QApplication::processEvents();
  std::vector<double> ms, updateMs;
  for (int s = kDay - 100; s < kDay; ++s) {
    QElapsedTimer timer;
    timer.start();
    chart.addPoints(s, 20.0, 42.0);
    updateMs.push_back(double(timer.nsecsElapsed()) / 1e6);
    const QPixmap frame = chart.chartView()->grab();
    ms.push_back(double(timer.nsecsElapsed()) / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  std::sort(updateMs.begin(), updateMs.end());
  std::printf("chart redraw at %zu points per line: median %.2f ms (ratio %.2f), worst %.2f ms "
              "(ratio %.2f) against %.0f ms; of it the decimated lines' update %.2f ms median\n",
              chart.pointCount(), ms[ms.size() / 2], ms[ms.size() / 2] / kRedrawTargetMs, ms.back(),
              ms.back() / kRedrawTargetMs, kRedrawTargetMs, updateMs[updateMs.size() / 2]);
  return 0;
}

int stageSetup() {
  Link link("KnP-16M-M4", true);
  if (!link.opened)
    return 1;
  StageControl stage(link.connected);
  constexpr int kRounds = 30;
  const std::optional<double> perMoveMs = stage.setupTimeMs(kRounds);
  if (!perMoveMs) {
    std::fprintf(stderr, "Stage Setup Time: the camera refused a move\n");
    return 1;
  }
  // Each move: the command and its carriage return out, then echo, answer and prompt back.
  double bits = 0;
  for (const char* command : {"snp 5000 5000", "snp 0 0"}) {
    const std::string sent = std::string(command) + "\r";
    const std::string answer = std::string(command) + "\r\nOK\r\n>";
    bits += double(sent.size() + answer.size()) * 10; // start, 8 data bits, stop
  }
  const double idealPerMoveMs = bits / 2 / kBaud * 1000;
  std::printf("Stage Setup Time, %d moves at %d baud paced: %.2f ms per move, ideal wire time "
              "%.2f ms: ratio %.2f (target at least %.1f)\n",
              2 * kRounds, kBaud, *perMoveMs, idealPerMoveMs, idealPerMoveMs / *perMoveMs,
              kSetupRatioTarget);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  int seconds = 10;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--seconds") == 0)
      seconds = std::max(1, std::atoi(argv[i + 1]));
  QApplication app(argc, argv);
  int rc = chartRedraw();
  rc |= stageSetup();
  rc |= agingCpu(seconds);
  return rc;
}
