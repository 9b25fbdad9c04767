// The settings pages' speed with a camera connected: switching between the two largest tabs
// of a Ke camera (its image and its mode/exposure sections), each switch shown and painted,
// and filling every page of the program from the value cache, as a full refresh does.
// Reports the median and worst of each against its target (16 ms, one frame; 50 ms) as a
// ratio; below 1 is within target. As at a connection, the first tab is on screen and the other
// drawn ahead before the switches are timed. Runs on the platform Qt picks (set
// QT_QPA_PLATFORM=offscreen without a display). The camera is a simulated Ke-4K5C-M40, or the
// model named on the command line (Ko-101M-C40: the Ko area pages), on a pseudo-terminal
// without pacing.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/page_area.h"
#include "camera/model_catalog.h"
#include "link/command_exchange.h"
#include "pages/settings_page.h"
#include "session/connected_camera.h"
#include "sim/pty_camera.h"
#include "tests/resident_memory.h"

using namespace kelpax;

namespace {

constexpr double kSwitchTargetMs = 16.0;
constexpr double kRefreshTargetMs = 50.0;
constexpr int kRounds = 50;

using kelpax::probe::residentMiB;

void report(const char* what, std::vector<double> ms, double targetMs) {
  std::sort(ms.begin(), ms.end());
  const double median = ms[ms.size() / 2];
  std::printf("%-44s median %7.2f ms (ratio %.2f), worst %7.2f ms (ratio %.2f)\n", what, median,
              median / targetMs, ms.back(), ms.back() / targetMs);
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::string model = argc > 1 ? argv[1] : "Ke-4K5C-M40";
  sim::PtyOptions options;
  options.model = model;
  options.linkPath = "/tmp/kelpax-page-bench-" + std::to_string(getpid());
  options.baud = 115200;
  options.pacing = false;
  sim::PtyCamera camera(options);
  std::string error;
  if (!camera.start(&error)) {
    std::fprintf(stderr, "simulated camera: %s\n", error.c_str());
    return 1;
  }
  CameraPort port;
  PortEntry entry;
  entry.portName = options.linkPath;
  port.addPort(entry);
  if (port.OpenPort(0, 16) != 0) {
    std::fprintf(stderr, "cannot open %s\n", options.linkPath.c_str());
    return 1;
  }
  CommandExchange exchange(port);
  ConnectedCamera connected(exchange);
  connected.identify(model);
  connected.fillCache();

  CPageArea area(connected);
  area.resize(1000, 700);
  area.show();
  QApplication::processEvents();

  std::vector<double> refresh;
  for (int round = 0; round < kRounds; ++round) {
    QElapsedTimer timer;
    timer.start();
    for (SettingsPage* page : area.genericPages()) {
      page->setControlsFromCache();
      page->refreshAll();
    }
    refresh.push_back(double(timer.nsecsElapsed()) / 1e6);
  }

  const ModelDescriptor& m = connected.modelDescriptor();
  const TabPage view = pageForTab(m, connected.parameterCache(), 0);
  const TabPage modeExp = pageForTab(m, connected.parameterCache(), 1);
  // As at a connection: the first tab on screen, the others drawn ahead while it is looked at,
  // one page for each turn of the event loop.
  area.showTab(view, true);
  QApplication::processEvents();
  std::vector<TabPage> others;
  const size_t tabCount = tabCaptions(m, connected.parameterCache()).size();
  for (size_t index = 1; index < tabCount; ++index)
    others.push_back(pageForTab(m, connected.parameterCache(), int(index)));
  area.prepareTabs(others);
  double longestTurn = 0;
  double drawingAhead = 0;
  for (size_t turn = 0; turn < tabCount + 5; ++turn) {
    QElapsedTimer timer;
    timer.start();
    QApplication::processEvents();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    longestTurn = std::max(longestTurn, ms);
    drawingAhead += ms;
  }
  std::vector<double> switches;
  for (int round = 0; round < kRounds; ++round) {
    for (const TabPage& tab : {view, modeExp}) {
      QElapsedTimer timer;
      timer.start();
      area.showTab(tab, true);
      area.repaint(); // painted, as the next frame would be
      QApplication::processEvents();
      switches.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
  }

  std::printf("%s, %zu pages built\n", model.c_str(), area.genericPages().size());
  report("tab switch VIEW <-> MODE/EXP, shown and painted", switches, kSwitchTargetMs);
  report("every page filled from the cache", refresh, kRefreshTargetMs);
  std::printf("%d pages drawn ahead in %.1f ms; the longest turn of the event loop %.1f ms\n",
              area.preparedCount(), drawingAhead, longestTurn);
  std::printf("resident memory with every page built: %.1f MiB (ratio %.2f)\n", residentMiB(),
              residentMiB() / 80.0);
  return 0;
}
