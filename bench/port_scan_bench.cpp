// The whole port scan over eight paced ports with BaudRate=AUTO: four on pseudo-terminals named
// by device path in portlist.ini (cameras at 115200, 19200 and 9600, one that never answers) and
// four behind the simulated cameras' Camera Link library (a camera at 115200, one at 19200, one
// at 9600 that is still booting, and a port with no camera).
//
// Each port's ideal is what its probe cannot avoid: every time-out that must expire (200 ms for
// each "gmn" at a rate the camera does not use or while it only echoes, 300 ms for the model
// query of a booting camera, 10 ms for stray input before each model query, the ten boot waits)
// plus the wire time of each exchange that ends with the prompt (command and carriage return
// out, echo, answer and prompt back, 10 bits a byte at the camera's rate). Probed side by side,
// the scan can be no faster than its slowest port: the figure is the whole scan against that
// port's ideal, 1.00 at best. The same scan with the ports one after another is measured too;
// its floor is the sum of all ports' ideals.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <dlfcn.h>
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
constexpr int kSequentialRuns = 2;
// Shorter than the program's 1000 ms, so that the other ports still count next to the booting one.
constexpr uint32_t kBootTickMs = 100;
constexpr int kBootEchoes = 2; // the rate check's "gmn" and the model query get only the echo

struct PortPlan {
  const char* model; // nullptr: nothing answers
  int baud;
  bool library; // behind the simulated Camera Link library, else on a pseudo-terminal
  bool booting;
};

constexpr PortPlan kPorts[] = {
    {"Ko-25MC-C65", 115200, false, false}, {"Ka-47M-M40", 19200, false, false},
    {"Ko-12M-M65", 9600, false, false},    {nullptr, 115200, false, false},
    {"Ko-4M-M180", 115200, true, false},   {"Ko-25MC-C65", 19200, true, false},
    {"Kh-12C", 9600, true, true},          {nullptr, 9600, true, false},
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

// The rate check: each rate tried before the camera's own waits out its time-out; at its own
// rate the camera answers, or (booting) sends its echo without a prompt, which waits it out too.
double rateCheckMs(const PortPlan& plan, bool echoOnly) {
  double ms = 0;
  for (unsigned code : kScanBaudCodes) {
    if (plan.model && comRateForBaudCode(code) == plan.baud) {
      return ms + (echoOnly ? kRateProbeTimeoutMs : exchangeMs(plan.model, "gmn", plan.baud));
    }
    ms += kRateProbeTimeoutMs;
  }
  return ms;
}

double idealMs(const PortPlan& plan) {
  if (!plan.model) {
    return rateCheckMs(plan, false);
  }
  double ms = 0;
  if (plan.booting) {
    ms += rateCheckMs(plan, true) + kStrayInputWaitMs + kModelQueryTimeoutMs;
    ms += kBootWaitTicks * double(kBootTickMs);
  }
  ms += rateCheckMs(plan, false) + kStrayInputWaitMs;
  ms += exchangeMs(plan.model, "gmn", plan.baud);
  ms += exchangeMs(plan.model, "gsn piece", plan.baud);
  return ms;
}

// Notes when each row got its last text: the end of that port's probe.
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

// The eight ports, started afresh before each scan (a booting camera boots once).
class Bench {
public:
  explicit Bench(const fs::path& folder) : folder_(folder) {
    fs::create_directories(folder_ / "lib");
    const std::string library = (folder_ / "lib" / "libclsersim.so").string();
    fs::copy_file(CLSERSIM_PATH, library, fs::copy_options::overwrite_existing);
    library_ = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    std::string cameras;
    for (const PortPlan& plan : kPorts) {
      if (plan.library) {
        cameras += std::string(cameras.empty() ? "" : ",") +
                   (plan.model ? std::string(plan.model) + "@" + std::to_string(plan.baud) : "-");
      }
    }
    setenv("KELPAX_SIM_CAMERAS", cameras.c_str(), 1);
    unsetenv("KELPAX_SIM_PACING");
    unsetenv("KELPAX_SIM_FAULTS");
  }
  ~Bench() {
    cameras_.clear();
    fs::remove_all(folder_);
  }

  bool start(std::string& error) {
    if (!library_) {
      error = dlerror();
      return false;
    }
    cameras_.clear();
    reinterpret_cast<void (*)()>(dlsym(library_, "clsersimReset"))();
    auto setFaults =
        reinterpret_cast<int32_t (*)(uint32_t, const char*)>(dlsym(library_, "clsersimSetFaults"));
    std::string portList = "COMPORT_ONLY=0\nBaudRate=AUTO\n";
    uint32_t libraryIndex = 0;
    for (size_t i = 0; i < std::size(kPorts); ++i) {
      const PortPlan& plan = kPorts[i];
      const std::string faults = "boot-echo=" + std::to_string(kBootEchoes);
      if (plan.library) {
        if (plan.booting && setFaults(libraryIndex, faults.c_str()) != 0) {
          error = "the simulated library refuses the boot faults";
          return false;
        }
        ++libraryIndex;
        continue;
      }
      sim::PtyOptions options;
      options.model = plan.model ? plan.model : "Ko-25MC-C65";
      options.linkPath = (folder_ / ("tty" + std::to_string(i))).string();
      options.baud = plan.baud;
      options.pacing = true;
      options.faults.silent = !plan.model;
      options.faults.bootEchoOnly = plan.booting ? kBootEchoes : 0;
      cameras_.push_back(std::make_unique<sim::PtyCamera>(options));
      if (!cameras_.back()->start(&error)) {
        return false;
      }
      portList += options.linkPath + "=1\n";
    }
    std::ofstream(folder_ / kPortListFileName) << portList;
    return true;
  }

  const fs::path& folder() const { return folder_; }

private:
  fs::path folder_;
  void* library_ = nullptr;
  std::vector<std::unique_ptr<sim::PtyCamera>> cameras_;
};

// The camera column the scan must end with, port by port.
std::string expectedText(const PortPlan& plan) {
  return plan.model ? plan.model : "Not found";
}

struct Measured {
  std::vector<double> wholeMs;
  std::vector<double> portMs = std::vector<double>(std::size(kPorts), 0); // summed over runs
};

bool measure(Bench& bench, ProbeOrder order, int runs, Measured& measured) {
  PortSettings settings(bench.folder().string());
  CameraPort port;
  CommandExchange exchange(port);
  PortScanner scanner(exchange, settings);
  TimedView view;
  scanner.setView(&view);
  scanner.setProbeOrder(order);
  scanner.setBootWaitTickMs(kBootTickMs);
  // Only the eight ports: none of this machine's serial ports or Camera Link libraries.
  scanner.setComPortLister([] { return std::vector<std::string>{}; });
  scanner.setLibraryFolders({(bench.folder() / "lib").string()});

  for (int run = 0; run < runs; ++run) {
    std::string error;
    if (!bench.start(error)) {
      std::fprintf(stderr, "port_scan_bench: %s\n", error.c_str());
      return false;
    }
    const Clock::time_point start = Clock::now();
    scanner.ScanPorts(true, InterfaceMode::All);
    const double achieved = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

    bool right = view.texts.size() == std::size(kPorts);
    for (size_t i = 0; right && i < std::size(kPorts); ++i) {
      right = view.texts[i] == expectedText(kPorts[i]) &&
              (!kPorts[i].model || comRateForBaudCode(port.ports()[i].baudCode) == kPorts[i].baud);
    }
    if (!right) {
      std::fprintf(stderr, "port_scan_bench: run %d found the wrong cameras:", run + 1);
      for (const std::string& text : view.texts) {
        std::fprintf(stderr, " [%s]", text.c_str());
      }
      std::fprintf(stderr, "\n");
      return false;
    }
    measured.wholeMs.push_back(achieved);
    for (size_t i = 0; i < std::size(kPorts); ++i) {
      measured.portMs[i] +=
          std::chrono::duration<double, std::milli>(view.times[i] - start).count();
    }
  }
  return true;
}

std::string portLabel(const PortPlan& plan) {
  std::string label = plan.library ? "library " : "pty     ";
  label += plan.model ? std::to_string(plan.baud) : "silent";
  if (plan.booting) {
    label += " booting";
  }
  return label;
}

} // namespace

int main() {
  Bench bench(fs::temp_directory_path() / ("kelpax-scan-bench-" + std::to_string(getpid())));

  double slowest = 0;
  double sum = 0;
  for (const PortPlan& plan : kPorts) {
    slowest = std::max(slowest, idealMs(plan));
    sum += idealMs(plan);
  }
  std::printf("port scan, 8 paced ports, BaudRate=AUTO, boot waits of %u ms\n", kBootTickMs);
  std::printf("slowest port's ideal %.1f ms, all ports' ideals together %.1f ms\n", slowest, sum);

  Measured side;
  if (!measure(bench, ProbeOrder::Concurrent, kRuns, side)) {
    return 1;
  }
  for (size_t run = 0; run < side.wholeMs.size(); ++run) {
    std::printf("side by side, run %zu: %.1f ms, against the slowest port's ideal %.3f\n", run + 1,
                side.wholeMs[run], side.wholeMs[run] / slowest);
  }
  for (size_t i = 0; i < std::size(kPorts); ++i) {
    // From the scan's start to the port's last row text.
    const double mean = side.portMs[i] / kRuns;
    std::printf("  port %zu (%s): done after %.1f ms, ideal %.1f ms, ratio %.3f\n", i,
                portLabel(kPorts[i]).c_str(), mean, idealMs(kPorts[i]), mean / idealMs(kPorts[i]));
  }

  Measured one;
  if (!measure(bench, ProbeOrder::OneAfterAnother, kSequentialRuns, one)) {
    return 1;
  }
  for (size_t run = 0; run < one.wholeMs.size(); ++run) {
    std::printf("one after another, run %zu: %.1f ms, against the slowest port's ideal %.3f, "
                "against the sum of ideals %.3f\n",
                run + 1, one.wholeMs[run], one.wholeMs[run] / slowest, one.wholeMs[run] / sum);
  }

  std::sort(side.wholeMs.begin(), side.wholeMs.end());
  std::printf("side by side against the slowest port's ideal: best %.3f, median %.3f, worst %.3f "
              "(target <= 1.1)\n",
              side.wholeMs.front() / slowest, side.wholeMs[side.wholeMs.size() / 2] / slowest,
              side.wholeMs.back() / slowest);
  return 0;
}
