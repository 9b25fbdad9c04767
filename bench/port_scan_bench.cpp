// The whole port scan over four paced pseudo-terminal cameras: two at 115200, one at 9600 and
// one that never answers, named by device path in a portlist.ini with BaudRate=AUTO.
//
// The ideal is what the scan cannot avoid: every time-out that must expire (200 ms for each
// "gmn" at a rate the camera does not use, 10 ms for stray input before the model query) plus
// the wire time of each exchange (command and carriage return out, echo, answer and prompt
// back, 10 bits a byte at the camera's rate). The figure is achieved/ideal, 1.00 at best.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "link/port_scan.h"
#include "link/port_settings.h"
#include "sim/camera.h"
#include "sim/pty_camera.h"

using namespace kelpax;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 5;

struct CameraPlan {
  const char* model;
  int baud;
  bool silent;
};

constexpr CameraPlan kCameras[] = {
    {"Ko-25MC-C65", 115200, false},
    {"Ka-47M-M40", 115200, false},
    {"Ko-12M-M65", 9600, false},
    {"Ko-25MC-C65", 115200, true},
};

double wireMs(size_t bytes, int baud) {
  return double(bytes) * 10.0 * 1000.0 / baud;
}

// One command and its whole answer on the wire, as the simulated camera answers it.
double exchangeMs(const char* model, const std::string& command, int baud) {
  sim::Camera camera(model);
  const std::string reply = camera.receive(command + "\r");
  return wireMs(command.size() + 1 + reply.size(), baud);
}

double idealMs(const CameraPlan& plan) {
  if (plan.silent) {
    return std::size(kScanBaudCodes) * double(kRateProbeTimeoutMs);
  }
  double ms = 0;
  // The rate check tries the fastest rates first; each wrong one waits out its time-out.
  for (unsigned code : kScanBaudCodes) {
    if (comRateForBaudCode(code) == plan.baud) {
      ms += exchangeMs(plan.model, "gmn", plan.baud);
      break;
    }
    ms += kRateProbeTimeoutMs;
  }
  ms += kStrayInputWaitMs;
  ms += exchangeMs(plan.model, "gmn", plan.baud);
  ms += exchangeMs(plan.model, "gsn piece", plan.baud);
  return ms;
}

// A row shows its camera before the serial number is asked, so the time between two rows'
// texts holds the previous camera's serial number query instead of its own.
double segmentIdealMs(size_t i) {
  auto serialMs = [](const CameraPlan& plan) {
    return plan.silent ? 0.0 : exchangeMs(plan.model, "gsn piece", plan.baud);
  };
  double ms = idealMs(kCameras[i]) - serialMs(kCameras[i]);
  if (i > 0) {
    ms += serialMs(kCameras[i - 1]);
  }
  return ms;
}

// Notes when each row got its text: the end of that port's probe.
struct TimedView : ScanView {
  void clearRows() override {
    texts.clear();
    times.clear();
  }
  void addRow(const std::string&) override {
    texts.emplace_back();
    times.emplace_back();
  }
  void setCameraText(int row, const std::string& text) override {
    texts.at(size_t(row)) = text;
    times.at(size_t(row)) = Clock::now();
  }
  std::vector<std::string> texts;
  std::vector<Clock::time_point> times;
};

} // namespace

int main() {
  const std::string tag = std::to_string(getpid());
  const fs::path folder = fs::temp_directory_path() / ("kelpax-scan-bench-" + tag);
  fs::create_directories(folder);

  std::vector<std::unique_ptr<sim::PtyCamera>> cameras;
  std::string portList = "COMPORT_ONLY=1\nBaudRate=AUTO\n";
  for (size_t i = 0; i < std::size(kCameras); ++i) {
    sim::PtyOptions options;
    options.model = kCameras[i].model;
    options.linkPath = "/tmp/kelpax-scan-bench-" + tag + "-" + std::to_string(i);
    options.baud = kCameras[i].baud;
    options.pacing = true;
    options.faults.silent = kCameras[i].silent;
    cameras.push_back(std::make_unique<sim::PtyCamera>(options));
    std::string error;
    if (!cameras.back()->start(&error)) {
      std::fprintf(stderr, "port_scan_bench: %s\n", error.c_str());
      return 1;
    }
    portList += options.linkPath + "=1\n";
  }
  std::ofstream(folder / kPortListFileName) << portList;

  double ideal = 0;
  for (const CameraPlan& plan : kCameras) {
    ideal += idealMs(plan);
  }

  PortSettings settings(folder.string());
  CameraPort port;
  CommandExchange exchange(port);
  PortScanner scanner(exchange, settings);
  TimedView view;
  scanner.setView(&view);
  // Only the four cameras: none of this machine's serial ports, no Camera Link libraries.
  scanner.setComPortLister([] { return std::vector<std::string>{}; });
  scanner.setLibraryFolders({});

  std::printf("port scan, 4 paced ports (115200, 115200, 9600, silent), BaudRate=AUTO\n");
  std::printf("ideal %.1f ms\n", ideal);
  std::vector<double> ratios;
  std::vector<double> perPort(std::size(kCameras), 0);
  for (int run = 0; run < kRuns; ++run) {
    const Clock::time_point start = Clock::now();
    scanner.ScanPorts(run == 0, InterfaceMode::ComOnly);
    const double achieved = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

    const bool right = view.texts.size() == 4 && view.texts[0] == kCameras[0].model &&
                       view.texts[1] == kCameras[1].model && view.texts[2] == kCameras[2].model &&
                       view.texts[3] == "Not found" && port.ports()[2].baudCode == 1;
    if (!right) {
      std::fprintf(stderr, "port_scan_bench: run %d found the wrong cameras\n", run + 1);
      return 1;
    }
    Clock::time_point previous = start;
    for (size_t i = 0; i < perPort.size(); ++i) {
      perPort[i] += std::chrono::duration<double, std::milli>(view.times[i] - previous).count();
      previous = view.times[i];
    }
    ratios.push_back(achieved / ideal);
    std::printf("run %d: achieved %.1f ms, achieved/ideal %.3f\n", run + 1, achieved,
                achieved / ideal);
  }
  for (size_t i = 0; i < perPort.size(); ++i) {
    // From the previous row's text to this row's.
    const double mean = perPort[i] / kRuns;
    std::printf("  port %zu (%s): %.1f ms per scan, ideal %.1f ms, ratio %.3f\n", i,
                kCameras[i].silent ? "silent" : std::to_string(kCameras[i].baud).c_str(), mean,
                segmentIdealMs(i), mean / segmentIdealMs(i));
  }
  std::sort(ratios.begin(), ratios.end());
  std::printf("achieved/ideal: best %.3f, median %.3f, worst %.3f (target <= 1.05)\n",
              ratios.front(), ratios[ratios.size() / 2], ratios.back());

  cameras.clear();
  fs::remove_all(folder);
  return 0;
}
