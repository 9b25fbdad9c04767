// Fault soak: many downloads and uploads against a simulated camera on a pseudo-terminal, each
// with a fault drawn at random, counting what must never happen.
//
//   transfer_soak [--transfers N] [--seed S] [--timeout MS] [--wait-limit R] [--folder DIR]
//
// Counts: transfers reported successful whose data the camera did not store intact (or whose
// upload differs from what the camera holds), upload files left half-written, and waits that
// outlived their time-out by more than 10 % (R = 1.1; a test on a busy machine allows more).
// A crash ends the program (and the test running it).
// Exits 0 when the first two counts are 0 and no wait overran.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "camera/file_io.h"
#include "link/camera_port.h"
#include "link/command_exchange.h"
#include "sim/binary_frames.h"
#include "sim/faults.h"
#include "sim/pty_camera.h"
#include "transfer/binary_transfer.h"

using namespace kelpax;

namespace {

struct Rig {
  explicit Rig(const std::string& path) {
    sim::PtyOptions options;
    options.model = "Ko-25MC-C65";
    options.linkPath = path;
    options.baud = 115200;
    options.pacing = false;
    camera = std::make_unique<sim::PtyCamera>(options);
    std::string error;
    if (!camera->start(&error)) {
      std::fprintf(stderr, "transfer_soak: %s\n", error.c_str());
      std::exit(3);
    }
    PortEntry entry;
    entry.portName = path;
    port.addPort(entry);
    if (port.OpenPort(0, 16) != 0) {
      std::fprintf(stderr, "transfer_soak: cannot open %s\n", path.c_str());
      std::exit(3);
    }
  }
  ~Rig() { port.ClosePort(); }
  std::unique_ptr<sim::PtyCamera> camera;
  CameraPort port;
  CommandExchange exchange{port};
  BinaryTransfer transfer{exchange};
};

struct Pair {
  uint16_t block;
  uint16_t final;
  uint16_t request; // 0: no upload serves this data
  uint16_t read;
};
constexpr Pair kPairs[] = {
    {0x0200, 0x0201, 0x0202, 0x0203}, {0x0400, 0x0401, 0x0402, 0x0403}, {0x5000, 0x5001, 0, 0},
    {0x6000, 0x6001, 0, 0},           {0x0000, 0x0001, 0, 0},
};

std::string digestText(const std::vector<uint8_t>& data) {
  char text[32];
  std::snprintf(text, sizeof text, "%zu/%08x", data.size(), sim::storeDigest(data));
  return text;
}

std::string hex4(uint16_t command) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", command);
  return text;
}

} // namespace

int main(int argc, char** argv) {
  int transfers = 10000;
  uint32_t seed = 20261207;
  uint32_t timeoutMs = 400;
  std::string folder = "/tmp/kelpax-soak-" + std::to_string(getpid());
  // Every transfer with these faults instead of random ones.
  std::string fixedFaults;
  double waitLimit = 1.1;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    if (key == "--transfers")
      transfers = std::atoi(argv[i + 1]);
    else if (key == "--seed")
      seed = uint32_t(std::strtoul(argv[i + 1], nullptr, 10));
    else if (key == "--timeout")
      timeoutMs = uint32_t(std::atoi(argv[i + 1]));
    else if (key == "--wait-limit")
      waitLimit = std::atof(argv[i + 1]);
    else if (key == "--folder")
      folder = argv[i + 1];
    else if (key == "--faults")
      fixedFaults = argv[i + 1];
  }
  std::filesystem::create_directories(folder);
  const std::string linkPath = folder + "/ttySOAK";

  std::mt19937 random(seed);
  auto pick = [&](int n) { return int(random() % unsigned(n)); };
  auto rig = std::make_unique<Rig>(linkPath);
  auto setUp = [&](Rig& r) {
    r.transfer.setUploadBlockTimeoutMs(timeoutMs);
    r.transfer.setDrainQuietMs(50);
  };
  setUp(*rig);

  // What the camera holds, by block command, as far as the soak knows.
  std::map<uint16_t, std::vector<uint8_t>> held;
  int ok = 0, failed = 0, badSuccess = 0, halfWritten = 0, overruns = 0, badStore = 0;
  double worstRatio = 0;
  std::map<std::string, int> outcomes;
  const auto start = std::chrono::steady_clock::now();

  for (int n = 0; n < transfers; ++n) {
    const Pair& pair = kPairs[size_t(pick(int(std::size(kPairs))))];
    const bool upload = pair.request != 0 && pick(3) == 0;
    // A fault in about half the transfers.
    std::string faults;
    switch (pick(20)) {
    case 0:
      faults = "nak-at=" + std::to_string(pick(4));
      break;
    case 1:
      faults = "bad-ack";
      break;
    case 2:
      faults = "frame-drop=" + std::to_string(1 + pick(5));
      break;
    case 3:
      faults = "frame-corrupt=" + std::to_string(1 + pick(5));
      break;
    case 4:
      faults = "reply-checksum=" + std::to_string(1 + pick(5));
      break;
    case 5:
      faults = "huge-upload";
      break;
    case 6:
      faults = "slow=" + std::to_string(pick(int(timeoutMs * 2)));
      break;
    case 7:
      faults = "drop=0.002,seed=" + std::to_string(pick(1000));
      break;
    case 8:
      faults = "corrupt=0.002,seed=" + std::to_string(pick(1000));
      break;
    case 9:
      faults = "frame-close=" + std::to_string(1 + pick(5));
      break;
    default:
      break;
    }
    if (!fixedFaults.empty())
      faults = fixedFaults;
    sim::Faults parsed;
    sim::parseFaults(faults, parsed, nullptr);
    rig->camera->setFaults(parsed);

    TransferResult result;
    std::vector<uint8_t> payload;
    const std::string outFile = folder + "/upload-" + std::to_string(n) + ".bin";
    if (upload) {
      UploadPlan plan{pair.request, pair.read, 0, timeoutMs, 1u << 20};
      std::vector<uint8_t> received;
      result = rig->transfer.ReceiveBinary(plan, received);
      if (result.ok()) {
        writeFileAtomically(outFile, std::string(received.begin(), received.end()));
        const auto it = held.find(pair.block);
        const std::vector<uint8_t> expected =
            it == held.end() ? std::vector<uint8_t>{} : it->second;
        if (received != expected) {
          ++badSuccess;
          size_t differ = 0;
          for (size_t i = 0; i < std::min(received.size(), expected.size()); ++i)
            differ += received[i] != expected[i];
          std::printf("transfer %d: upload reported done with other data (faults \"%s\", %zu "
                      "bytes differ of %zu, %zu expected)\n",
                      n, faults.c_str(), differ, received.size(), expected.size());
        }
      }
    } else {
      payload.resize(1 + size_t(pick(4000)));
      for (uint8_t& b : payload)
        b = uint8_t(random());
      DownloadPlan plan{payload, pair.block, pair.final, timeoutMs, timeoutMs};
      result = rig->transfer.SendBinary(plan);
    }
    worstRatio = std::max(worstRatio, rig->transfer.longestWaitRatio());
    if (rig->transfer.longestWaitRatio() > waitLimit) {
      ++overruns;
      std::printf("transfer %d: a wait lasted %.3f of its time-out (faults \"%s\")\n", n,
                  rig->transfer.longestWaitRatio(), faults.c_str());
    }
    ++outcomes[(upload ? "upload " : "download ") + std::to_string(int(result.code))];
    result.ok() ? ++ok : ++failed;

    // A camera that closed its link is a new link; the data it held stays known.
    const bool linkGone = faults.rfind("frame-close", 0) == 0 && rig->camera->linkDropped();
    if (linkGone || faults.rfind("frame-close", 0) == 0) {
      // The simulated camera's store goes with it; start a fresh camera and forget it.
      rig.reset();
      rig = std::make_unique<Rig>(linkPath);
      setUp(*rig);
      held.clear();
      continue;
    }
    rig->camera->setFaults({});
    if (faults.rfind("slow=", 0) == 0) {
      // An answer given up on may still be on its way: let it come and go.
      std::this_thread::sleep_for(std::chrono::milliseconds(parsed.slowAnswerMs + 20));
      rig->exchange.WaitMsg(20, kWaitForBurst, false);
      rig->port.receiveBuffer().clear();
    }
    // What the camera really holds now.
    const std::string truth = rig->exchange.Query("simstore " + hex4(pair.block)).token();
    if (!upload) {
      if (result.ok()) {
        if (truth != digestText(payload)) {
          ++badSuccess;
          std::printf("transfer %d: download reported done, camera holds %s (faults \"%s\")\n", n,
                      truth.c_str(), faults.c_str());
        }
        held[pair.block] = payload;
      } else {
        // A refused download leaves the old data; a camera that stored and then answered
        // badly holds the new. Anything else is damaged data.
        const auto it = held.find(pair.block);
        const std::string old = it == held.end() ? "0/0" : digestText(it->second);
        if (truth == digestText(payload))
          held[pair.block] = payload;
        else if (truth != old)
          ++badStore;
      }
    }
    if (!result.ok() && std::filesystem::exists(outFile))
      ++halfWritten;
  }
  // Nothing but finished upload files may be in the folder: no temporary files.
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name != "ttySOAK" && name.rfind("upload-", 0) != 0)
      ++halfWritten;
    else if (name.rfind("upload-", 0) == 0 && name.size() > 4 &&
             name.substr(name.size() - 4) != ".bin")
      ++halfWritten;
  }
  rig.reset();
  std::filesystem::remove_all(folder);

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("transfers %d (seed %u) in %.1f s: %d succeeded, %d failed\n", transfers, seed,
              seconds, ok, failed);
  for (const auto& [outcome, count] : outcomes)
    std::printf("  %-16s %d\n", outcome.c_str(), count);
  std::printf("crashes 0\nsuccess with data not intact %d\ndamaged camera data %d\n"
              "half-written files %d\nwaits past time-out +10%% %d (worst %.3f of the time-out)\n",
              badSuccess, badStore, halfWritten, overruns, worstRatio);
  return badSuccess == 0 && halfWritten == 0 && badStore == 0 && overruns == 0 ? 0 : 1;
}
