// Command round trips to a simulated camera on a pseudo-terminal.
// Paced at 115200 baud, the figure of merit is achieved/ideal wire time: ideal is the bytes
// on the wire both ways x 10 bits / baud, achieved the measured round trip. Without pacing
// the figure is the program's own overhead per command.
#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "link/command_exchange.h"
#include "sim/pty_camera.h"

using namespace kelpax;

namespace {

constexpr int kBaud = 115200;
constexpr unsigned kBaudCode = 16;

struct Bench {
  explicit Bench(bool pacing) : exchange(port) {
    sim::PtyOptions options;
    options.model = "Ko-25MC-C65";
    options.linkPath = "/tmp/kelpax-bench-" + std::to_string(getpid()) + (pacing ? "p" : "u");
    options.baud = kBaud;
    options.pacing = pacing;
    camera = std::make_unique<sim::PtyCamera>(options);
    std::string error;
    if (!camera->start(&error)) {
      throw std::runtime_error(error);
    }
    PortEntry entry;
    entry.portName = camera->linkPath();
    port.addPort(entry);
    if (port.OpenPort(0, kBaudCode) != 0) {
      throw std::runtime_error("cannot open " + entry.portName);
    }
  }
  std::unique_ptr<sim::PtyCamera> camera;
  CameraPort port;
  CommandExchange exchange;
};

void roundTrip(benchmark::State& state, const std::string& command, bool pacing) {
  Bench bench(pacing);
  size_t wireBytes = 0;
  double idealSeconds = 0;
  double achievedSeconds = 0;
  std::vector<double> times;
  times.reserve(size_t(state.max_iterations));
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const std::string answer = bench.exchange.Query(command, {.timeoutMs = 3000}).text;
    const auto end = std::chrono::steady_clock::now();
    if (answer.empty() || answer.back() != '>') {
      state.SkipWithError("no complete answer");
      return;
    }
    wireBytes = command.size() + 1 + answer.size();
    idealSeconds += double(wireBytes) * 10.0 / kBaud;
    const double seconds = std::chrono::duration<double>(end - start).count();
    achievedSeconds += seconds;
    times.push_back(seconds);
    state.SetIterationTime(seconds);
  }
  state.counters["wire_bytes"] = double(wireBytes);
  if (pacing) {
    state.counters["achieved/ideal"] = idealSeconds / achievedSeconds;
  } else {
    std::nth_element(times.begin(), times.begin() + long(times.size() / 2), times.end());
    state.counters["median_ms"] = times[times.size() / 2] * 1000.0;
  }
}

} // namespace

BENCHMARK_CAPTURE(roundTrip, paced_gmn, std::string("gmn"), true)->UseManualTime()->Iterations(200);
BENCHMARK_CAPTURE(roundTrip, paced_set_1000, std::string("set 1000"), true)
    ->UseManualTime()
    ->Iterations(200);
BENCHMARK_CAPTURE(roundTrip, paced_five_lines, std::string("simlines 5"), true)
    ->UseManualTime()
    ->Iterations(200);
BENCHMARK_CAPTURE(roundTrip, unpaced_gmn, std::string("gmn"), false)
    ->UseManualTime()
    ->Iterations(5000);
BENCHMARK_CAPTURE(roundTrip, unpaced_set_1000, std::string("set 1000"), false)
    ->UseManualTime()
    ->Iterations(5000);

BENCHMARK_MAIN();
