// Binary transfers against a camera whose every answer is the input's bytes: an upload, a
// download or a single frame ends within its time-outs; it succeeds only when the camera got
// every frame the data needs and, for a download, each acknowledgement read was a stored one;
// an upload fills the caller's buffer only on success and never beyond what the caller takes;
// the channel is free for commands afterwards.
//
// Input: the operation, a size, then the camera's answers, each a big-endian 16-bit length and
// that many bytes (the last one cut where the input ends).
#include <string>
#include <vector>

#include <dlfcn.h>

#include "link/camera_port.h"
#include "link/command_exchange.h"
#include "tests/fuzz/fuzz_check.h"
#include "transfer/binary_transfer.h"

using namespace kelpax;

namespace {

constexpr uint32_t kWaitMs = 1;

struct Camera {
  Camera() {
    // A handle of our own keeps the library loaded while the port closes and opens again.
    handle = dlopen(BINARY_CAMERA_PATH, RTLD_NOW | RTLD_LOCAL);
    FUZZ_CHECK(handle != nullptr);
    reset = reinterpret_cast<void (*)()>(dlsym(handle, "binaryCameraReset"));
    queue = reinterpret_cast<void (*)(const char*, uint32_t)>(dlsym(handle, "binaryCameraQueue"));
    frames = reinterpret_cast<uint32_t (*)()>(dlsym(handle, "binaryCameraFrames"));
    FUZZ_CHECK(reset && queue && frames);
    PortEntry entry;
    entry.isLibrary = 1;
    entry.libraryPath = BINARY_CAMERA_PATH;
    FUZZ_CHECK(port.addPort(entry));
    transfer.setUploadBlockTimeoutMs(kWaitMs);
    transfer.setDrainQuietMs(kWaitMs);
  }

  void* handle = nullptr;
  void (*reset)() = nullptr;
  void (*queue)(const char*, uint32_t) = nullptr;
  uint32_t (*frames)() = nullptr;
  CameraPort port;
  CommandExchange exchange{port};
  BinaryTransfer transfer{exchange};
};

// The camera's answers in the order it gives them, as the library got them.
std::vector<std::string> queueAnswers(Camera& camera, std::string_view script) {
  std::vector<std::string> answers;
  while (script.size() >= 2) {
    const size_t length = size_t(uint8_t(script[0])) << 8 | uint8_t(script[1]);
    script.remove_prefix(2);
    answers.emplace_back(script.substr(0, length));
    script.remove_prefix(std::min(length, script.size()));
    camera.queue(answers.back().data(), uint32_t(answers.back().size()));
  }
  return answers;
}

// The bytes the camera sent for the first `count` frames, one stream as the line carries them.
std::string sentFor(const std::vector<std::string>& answers, size_t count) {
  std::string stream;
  for (size_t i = 0; i < count && i < answers.size(); ++i)
    stream += answers[i];
  return stream;
}

// Acknowledgements are read six characters at a time from the stream: each of the first `count`
// must say stored.
bool storedAcks(const std::string& stream, size_t count) {
  if (stream.size() < count * kAckLength)
    return false;
  for (size_t i = 0; i < count; ++i) {
    const size_t at = i * kAckLength;
    if (stream[at + 1] != kAckByte || stream[at + 4] != kAckStored)
      return false;
  }
  return true;
}

void upload(Camera& camera, size_t capacity) {
  UploadPlan plan;
  plan.requestCommand = 0x0411;
  plan.blockReadCommand = 0x0412;
  plan.firstTimeoutMs = kWaitMs;
  plan.capacity = capacity;
  const std::vector<uint8_t> untouched{0xee, 0x11};
  std::vector<uint8_t> out = untouched;
  const TransferResult result = camera.transfer.ReceiveBinary(plan, out);
  FUZZ_CHECK(!result.status.empty());
  if (result.ok()) {
    FUZZ_CHECK(out.size() <= capacity);
    FUZZ_CHECK(camera.frames() == blockCount(out.size()) + 1);
  } else {
    FUZZ_CHECK(out == untouched);
  }
}

void download(Camera& camera, const std::vector<std::string>& answers, size_t size) {
  DownloadPlan plan;
  plan.payload.assign(size, 0x5a);
  plan.blockCommand = 0x0301;
  plan.finalCommand = 0x0302;
  plan.blockTimeoutMs = kWaitMs;
  plan.finalTimeoutMs = kWaitMs;
  const TransferResult result = camera.transfer.SendBinary(plan);
  FUZZ_CHECK(!result.status.empty());
  const size_t frames = blockCount(size) + 1;
  if (result.ok()) {
    FUZZ_CHECK(camera.frames() == frames);
    FUZZ_CHECK(storedAcks(sentFor(answers, frames), frames));
  }
}

void singleFrame(Camera& camera, const std::vector<std::string>& answers, size_t size) {
  const std::vector<uint8_t> data(size, 0xa5);
  const TransferResult result = camera.transfer.SendSingleFrame(0x0701, data, kWaitMs);
  FUZZ_CHECK(camera.frames() == 1);
  if (result.ok())
    FUZZ_CHECK(storedAcks(sentFor(answers, 1), 1));
  else
    FUZZ_CHECK(result.status == "Download Failed!");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  static Camera camera;
  if (size < 2)
    return 0;
  camera.reset();
  // A fresh port for each input: nothing the last camera sent is still waiting.
  FUZZ_CHECK(camera.port.OpenPort(0, 1) == 0);
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> answers = queueAnswers(camera, input.substr(2));
  const size_t scale = uint8_t(input[1]);
  switch (uint8_t(input[0]) % 3) {
  case 0:
    upload(camera, 64 + scale * 8);
    break;
  case 1:
    download(camera, answers, 1 + scale * 5);
    break;
  default:
    singleFrame(camera, answers, 1 + scale * 2);
    break;
  }
  FUZZ_CHECK(!camera.exchange.transferRunning());
  FUZZ_CHECK(camera.port.receiveBuffer().size() <= CommandExchange::kReceiveLimit);
  camera.port.ClosePort();
  return 0;
}
