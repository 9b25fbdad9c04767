// Look-up tables: generating a gamma table and compressing it for the camera (vs_target: the
// 2 ms we allow divided by the CPU time taken, 1.0 or more meets it), for the 4096- and the
// 16384-entry table; then, after the timed cases, a table's download to a simulated camera paced
// at 115200 baud, as achieved / ideal: the wire time of every frame and acknowledgement at
// 11,520 bytes/s over the measured time (target 0.92 or more).
//
//   lut_bench [benchmark options] [--paced-runs=N]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "editors/lut_file.h"
#include "editors/lut_transfer.h"
#include "link/camera_port.h"
#include "link/command_exchange.h"
#include "sim/pty_camera.h"
#include "transfer/binary_transfer.h"

using namespace kelpax;

namespace {

constexpr double kTargetSeconds = 0.002;
constexpr double kLineBytesPerSecond = 11520.0;

void gammaAndCompress(benchmark::State& state) {
  LutTable table(state.range(0) == 14 ? LutType::Bits14 : LutType::Bits12);
  size_t wire = 0;
  for (auto _ : state) {
    if (!generateGammaTable(table, 0.45)) {
      state.SkipWithError("gamma refused");
      return;
    }
    const LutDownload download = planLutDownload(table, 1);
    if (!download.ok) {
      state.SkipWithError("the table did not compress");
      return;
    }
    wire = download.plan.payload.size();
    benchmark::DoNotOptimize(download.plan.payload.data());
  }
  state.counters["entries"] = double(table.size());
  state.counters["compressed_bytes"] = double(wire);
  state.counters["vs_target"] =
      benchmark::Counter(double(state.iterations()) * kTargetSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(gammaAndCompress)->Arg(12)->Arg(14)->Unit(benchmark::kMicrosecond);

// Bytes on the wire of a download: every data frame and the closing frame, each answered by a
// 6-byte acknowledgement.
size_t wireBytes(size_t payload) {
  size_t bytes = 0;
  for (size_t left = payload; left > 0;) {
    const size_t block = std::min(left, kTransferBlockSize);
    bytes += block + kFrameOverhead + kAckLength;
    left -= block;
  }
  return bytes + 4 + kFrameOverhead + kAckLength;
}

int pacedDownloads(int runs) {
  sim::PtyOptions options;
  options.model = "Ky-29C-M40";
  options.linkPath = "/tmp/kelpax-lutbench-" + std::to_string(getpid());
  options.baud = 115200;
  options.pacing = true;
  sim::PtyCamera camera(options);
  std::string error;
  if (!camera.start(&error)) {
    std::fprintf(stderr, "lut_bench: %s\n", error.c_str());
    return 2;
  }
  CameraPort port;
  PortEntry entry;
  entry.portName = options.linkPath;
  port.addPort(entry);
  if (port.OpenPort(0, 16) != 0) {
    std::fprintf(stderr, "lut_bench: cannot open %s\n", options.linkPath.c_str());
    return 2;
  }
  CommandExchange exchange(port);
  BinaryTransfer transfer(exchange);
  for (LutType type : {LutType::Bits12, LutType::Bits14}) {
    LutTable table(type);
    generateGammaTable(table, 0.45);
    const LutDownload download = planLutDownload(table, 2);
    for (int run = 0; run < runs; ++run) {
      const auto start = std::chrono::steady_clock::now();
      const TransferResult sent = transfer.SendBinary(download.plan);
      const double took =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (!sent.ok()) {
        std::fprintf(stderr, "lut_bench: paced download failed: %s\n", sent.status.c_str());
        return 1;
      }
      const double ideal = double(wireBytes(download.plan.payload.size())) / kLineBytesPerSecond;
      std::printf("paced 115200, %d-entry gamma table (%zu bytes compressed): download %.3f s, "
                  "ideal %.3f s, achieved/ideal %.3f (target 0.92)\n",
                  table.size(), download.plan.payload.size(), took, ideal, ideal / took);
    }
  }
  port.ClosePort();
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  int runs = 3;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--paced-runs=", 13) == 0)
      runs = std::max(1, std::atoi(argv[i] + 13));
    else
      rest.push_back(argv[i]);
  }
  int count = int(rest.size());
  benchmark::Initialize(&count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return pacedDownloads(runs);
}
