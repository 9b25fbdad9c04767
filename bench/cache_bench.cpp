// The value cache: taking answers from the traffic, and filling it from a camera.
// Cache update reports answers/s and its ratio to the 1,000,000 answers/s we aim for.
// Filling the largest family's cache over a paced 115200 baud link reports achieved/ideal
// wire time: ideal is every byte both ways x 10 bits / baud.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "camera/parameter_cache.h"
#include "camera/tables/stem_lists.h"
#include "session/connected_camera.h"
#include "sim/pty_camera.h"

using namespace kelpax;

namespace {

constexpr double kTargetAnswersPerSecond = 1e6;

void cacheUpdate(benchmark::State& state) {
  ParameterCache cache;
  for (const StemRegistration& stem : stemsForSeries(Series::Ki))
    cache.registerEntry(stem.stem, stem.flags);
  // A mix of what the camera sends: accepted sets, queries with one and two values, reals,
  // refusals and stems the family does not keep.
  const std::vector<std::string> answers = {
      "set 2500\r\nOK\r\n>",  "gtm\r\n1\r\n>",       "sha 8 1023\r\nOK\r\n>",
      "gdg\r\n1.750000\r\n>", "sgo 2 12\r\nOK\r\n>", "set 0\r\nError : range\r\n>",
      "gva\r\n0 767\r\n>",    "sxyz 1\r\nOK\r\n>",   "gwh\r\n3072\r\n>",
      "stdu 100\r\nOK\r\n>",
  };
  size_t i = 0;
  for (auto _ : state) {
    cache.takeFromTraffic(answers[i]);
    if (++i == answers.size())
      i = 0;
  }
  benchmark::DoNotOptimize(cache.intValue("et"));
  state.SetItemsProcessed(state.iterations());
  state.counters["answers/s"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["vs_target"] = benchmark::Counter(
      double(state.iterations()) / kTargetAnswersPerSecond, benchmark::Counter::kIsRate);
}

struct WireCounter : TrafficObserver {
  void bytesSent(std::string_view bytes) override { total += bytes.size(); }
  void bytesReceived(std::string_view bytes) override { total += bytes.size(); }
  size_t total = 0;
};

void fillLargestFamily(benchmark::State& state) {
  constexpr int kBaud = 115200;
  sim::PtyOptions options;
  options.model = "Ki-16M-M5";
  options.linkPath = "/tmp/kelpax-bench-fill-" + std::to_string(getpid());
  options.baud = kBaud;
  options.pacing = true;
  sim::PtyCamera camera(options);
  std::string error;
  if (!camera.start(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  CameraPort port;
  PortEntry entry;
  entry.portName = camera.linkPath();
  port.addPort(entry);
  if (port.OpenPort(0, 16) != 0) {
    state.SkipWithError("cannot open the camera's link");
    return;
  }
  CommandExchange exchange(port);
  ConnectedCamera connected(exchange);
  connected.identify(options.model);
  WireCounter wire;
  port.setTrafficObserver(&wire);

  double ideal = 0;
  double achieved = 0;
  for (auto _ : state) {
    wire.total = 0;
    const auto start = std::chrono::steady_clock::now();
    const int failures = connected.fillCache().missing;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (failures != 0) {
      state.SkipWithError("the camera left stems unanswered");
      return;
    }
    achieved += seconds;
    ideal += double(wire.total) * 10.0 / kBaud;
    state.SetIterationTime(seconds);
  }
  port.setTrafficObserver(nullptr);
  state.counters["stems"] = double(connected.parameterCache().size());
  state.counters["achieved/ideal"] = ideal / achieved;
}

} // namespace

BENCHMARK(cacheUpdate);
BENCHMARK(fillLargestFamily)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
