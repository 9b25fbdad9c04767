// Binary transfer throughput against a simulated camera on a pseudo-terminal.
// Paced at 115200 baud (11,520 bytes/s on the wire) the figure is payload bytes per second over
// the line's bytes per second: stop-and-wait allows at most 512/527 = 0.972 for a download
// (a 521-byte frame, a 6-byte acknowledgement) and 512/537 = 0.953 for an upload (a 13-byte
// request, a 524-byte reply). Without pacing the figure is the time per block: frame coding,
// writing, the wait and judging the answer.
//
//   transfer_bench [--runs N] [--kib K]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "link/camera_port.h"
#include "link/command_exchange.h"
#include "sim/pty_camera.h"
#include "transfer/binary_transfer.h"

using namespace kelpax;

namespace {

constexpr double kLineBytesPerSecond = 11520.0;

struct Rig {
  explicit Rig(bool pacing) {
    sim::PtyOptions options;
    options.model = "Ko-25MC-C65";
    options.linkPath = "/tmp/kelpax-xbench-" + std::to_string(getpid()) + (pacing ? "p" : "u");
    options.baud = 115200;
    options.pacing = pacing;
    camera = std::make_unique<sim::PtyCamera>(options);
    std::string error;
    if (!camera->start(&error)) {
      std::fprintf(stderr, "transfer_bench: %s\n", error.c_str());
      std::exit(2);
    }
    PortEntry entry;
    entry.portName = options.linkPath;
    port.addPort(entry);
    if (port.OpenPort(0, 16) != 0) {
      std::fprintf(stderr, "transfer_bench: cannot open %s\n", options.linkPath.c_str());
      std::exit(2);
    }
  }
  ~Rig() { port.ClosePort(); }
  std::unique_ptr<sim::PtyCamera> camera;
  CameraPort port;
  CommandExchange exchange{port};
  BinaryTransfer transfer{exchange};
};

std::vector<uint8_t> incompressible(size_t size) {
  std::vector<uint8_t> data(size);
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (uint8_t& b : data) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    b = uint8_t(state);
  }
  return data;
}

double seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

} // namespace

int main(int argc, char** argv) {
  int runs = 3;
  size_t kib = 64;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    if (key == "--runs")
      runs = std::max(1, std::atoi(argv[i + 1]));
    else if (key == "--kib")
      kib = size_t(std::max(1, std::atoi(argv[i + 1])));
  }
  const std::vector<uint8_t> data = incompressible(kib * 1024);
  DownloadPlan download{data, 0x0200, 0x0201, 10000, 30000};
  UploadPlan upload{0x0202, 0x0203, 0, 30000, 64u << 20};
  using Clock = std::chrono::steady_clock;

  {
    Rig rig(true);
    for (int run = 0; run < runs; ++run) {
      auto start = Clock::now();
      TransferResult sent = rig.transfer.SendBinary(download);
      const double down = seconds(Clock::now() - start);
      std::vector<uint8_t> back;
      start = Clock::now();
      TransferResult received = rig.transfer.ReceiveBinary(upload, back);
      const double up = seconds(Clock::now() - start);
      if (!sent.ok() || !received.ok() || back != data) {
        std::fprintf(stderr, "transfer_bench: paced transfer failed: %s / %s\n",
                     sent.status.c_str(), received.status.c_str());
        return 1;
      }
      std::printf("paced 115200, %zu KiB: download %.2f s ratio %.3f (ceiling 0.972), "
                  "upload %.2f s ratio %.3f (ceiling 0.953)\n",
                  kib, down, double(data.size()) / down / kLineBytesPerSecond, up,
                  double(data.size()) / up / kLineBytesPerSecond);
    }
  }
  {
    Rig rig(false);
    const std::vector<uint8_t> big = incompressible(1 << 20);
    DownloadPlan fast{big, 0x5000, 0x5001, 10000, 30000};
    for (int run = 0; run < runs; ++run) {
      const auto start = Clock::now();
      const TransferResult sent = rig.transfer.SendBinary(fast);
      const double total = seconds(Clock::now() - start);
      if (!sent.ok()) {
        std::fprintf(stderr, "transfer_bench: unpaced download failed: %s\n", sent.status.c_str());
        return 1;
      }
      const size_t blocks = blockCount(big.size()) + 1;
      std::printf("unpaced, 1 MiB download: %.3f ms per block (%zu frames)\n",
                  total * 1000 / double(blocks), blocks);
    }
  }
  return 0;
}
