// Transfers against the simulated camera on a pseudo-terminal: what it stores, what it serves,
// how each of its binary faults ends a transfer, and the link afterwards.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "sim/binary_frames.h"
#include "sim/faults.h"
#include "tests/session/pty_camera_link.h"
#include "tests/transfer/transfer_recorder.h"
#include "transfer/binary_transfer.h"

using namespace kelpax;

namespace {

// The CCD timing record's command: one frame, acknowledged as a whole.
constexpr uint16_t kTimingRecordCommand = 0x0300;

std::vector<uint8_t> noise(size_t count, uint32_t seed) {
  std::vector<uint8_t> data(count);
  for (uint8_t& b : data) {
    seed = seed * 1664525u + 1013904223u;
    b = uint8_t(seed >> 24);
  }
  return data;
}

sim::Faults faultsFrom(const char* text) {
  sim::Faults faults;
  EXPECT_TRUE(sim::parseFaults(text, faults, nullptr)) << text;
  return faults;
}

class TransferOnSim : public ::testing::Test {
protected:
  void SetUp() override {
    link_ = std::make_unique<sessiontest::PtyCameraLink>("Ko-25MC-C65", "xfer");
    ASSERT_TRUE(link_->opened);
    link_->exchange.setEventPump(&recorder_);
    transfer_ = std::make_unique<BinaryTransfer>(link_->exchange, &recorder_);
    transfer_->setUploadBlockTimeoutMs(600);
  }

  DownloadPlan plan(std::vector<uint8_t> payload, uint16_t block = 0x0200,
                    uint16_t final = 0x0201) {
    DownloadPlan p;
    p.payload = std::move(payload);
    p.blockCommand = block;
    p.finalCommand = final;
    p.blockTimeoutMs = 600;
    p.finalTimeoutMs = 600;
    return p;
  }
  UploadPlan upload(size_t capacity = 1 << 20) {
    UploadPlan p;
    p.requestCommand = 0x0202;
    p.blockReadCommand = 0x0203;
    p.firstTimeoutMs = 600;
    p.capacity = capacity;
    return p;
  }
  // The camera's own account of what a download under `command` left in it.
  std::string stored(const char* command) {
    return link_->exchange.Query(std::string("simstore ") + command).token();
  }
  static std::string digestOf(const std::vector<uint8_t>& data) {
    char text[32];
    std::snprintf(text, sizeof text, "%zu/%08x", data.size(), sim::storeDigest(data));
    return text;
  }
  void expectLinkUsable() {
    EXPECT_EQ(link_->exchange.Query("gmn").token(), "Ko-25MC-C65") << "the link after a transfer";
  }

  std::unique_ptr<sessiontest::PtyCameraLink> link_;
  transfertest::Recorder recorder_;
  std::unique_ptr<BinaryTransfer> transfer_;
};

// Would catch data lost or reordered on the way in or out, a last block padded, or the link
// left in binary mode after the transfer.
TEST_F(TransferOnSim, DownloadThenUploadIsByteIdentical) {
  for (size_t size : {1u, 512u, 513u, 5000u}) {
    const std::vector<uint8_t> data = noise(size, uint32_t(size));
    ASSERT_TRUE(transfer_->SendBinary(plan(data)).ok()) << size;
    EXPECT_EQ(stored("0200"), digestOf(data));
    std::vector<uint8_t> back;
    const TransferResult result = transfer_->ReceiveBinary(upload(), back);
    ASSERT_TRUE(result.ok()) << result.status;
    EXPECT_EQ(back, data) << size;
  }
  // The timing record: one frame, acknowledged.
  const std::vector<uint8_t> record = noise(64, 7);
  EXPECT_TRUE(transfer_->SendSingleFrame(kTimingRecordCommand, record).ok());
  EXPECT_EQ(stored("0300"), digestOf(record));
  expectLinkUsable();
}

// Each binary fault of the camera ends the transfer with its own outcome, keeps what the
// camera stored before intact, and leaves the link usable for the next transfer.
TEST_F(TransferOnSim, FaultsEndTransfersCleanly) {
  const std::vector<uint8_t> before = noise(1500, 1);
  ASSERT_TRUE(transfer_->SendBinary(plan(before)).ok());
  const std::vector<uint8_t> data = noise(1500, 2);
  struct Case {
    const char* faults;
    bool upload;
    TransferCode code;
  };
  const Case cases[] = {
      {"nak-at=1", false, TransferCode::Nak},
      {"frame-corrupt=2", false, TransferCode::Nak},
      {"frame-drop=2", false, TransferCode::TimedOut},
      {"bad-ack", false, TransferCode::BadAck},
      {"slow=700", false, TransferCode::TimedOut},
      {"reply-checksum=2", true, TransferCode::BadReply},
      {"huge-upload", true, TransferCode::TooLarge},
      {"frame-drop=1", true, TransferCode::TimedOut},
  };
  for (const Case& c : cases) {
    link_->camera->setFaults(faultsFrom(c.faults));
    std::vector<uint8_t> out;
    const TransferResult result =
        c.upload ? transfer_->ReceiveBinary(upload(), out) : transfer_->SendBinary(plan(data));
    EXPECT_EQ(result.code, c.code) << c.faults << ": " << result.status;
    EXPECT_TRUE(out.empty()) << c.faults;
    EXPECT_LE(transfer_->longestWaitRatio(), 1.1) << c.faults;
    link_->camera->setFaults({});
    EXPECT_EQ(stored("0200"), digestOf(before)) << c.faults << ": a failed download stores nothing";
    expectLinkUsable();
  }
  ASSERT_TRUE(transfer_->SendBinary(plan(data)).ok());
  std::vector<uint8_t> back;
  ASSERT_TRUE(transfer_->ReceiveBinary(upload(), back).ok());
  EXPECT_EQ(back, data);
}

// Would catch an upload of nothing failing or reading a block.
TEST_F(TransferOnSim, NothingStoredUploadsNothing) {
  std::vector<uint8_t> out = {1};
  const TransferResult result = transfer_->ReceiveBinary(upload(), out);
  EXPECT_TRUE(result.ok()) << result.status;
  EXPECT_TRUE(out.empty());
}

// A camera that drops the link in the middle: the transfer ends on its time-out, not in a hang.
TEST_F(TransferOnSim, LinkClosingMidTransfer) {
  link_->camera->setFaults(faultsFrom("frame-close=2"));
  const TransferResult result = transfer_->SendBinary(plan(noise(2000, 3)));
  EXPECT_EQ(result.code, TransferCode::TimedOut) << result.status;
  EXPECT_FALSE(link_->exchange.transferRunning());
}

// The same round trip through the simulated Camera Link serial library, where a burst ends at
// 6 or 524 characters instead of when the line falls quiet; and a NAK from it.
TEST(TransferOnClserSim, RoundTripAndNak) {
  setenv("KELPAX_SIM_CAMERAS", "Ko-25MC-C65", 1);
  setenv("KELPAX_SIM_PACING", "0", 1);
  setenv("KELPAX_SIM_BAUD", "115200", 1);
  setenv("KELPAX_SIM_FAULTS", "nak-at=3", 1);
  void* handle = dlopen(CLSERSIM_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr);
  reinterpret_cast<void (*)()>(dlsym(handle, "clsersimReset"))();
  CameraPort port;
  PortEntry entry;
  entry.isLibrary = 1;
  entry.libraryPath = CLSERSIM_PATH;
  port.addPort(entry);
  ASSERT_EQ(port.OpenPort(0, 16), 0);
  CommandExchange exchange(port);
  BinaryTransfer transfer(exchange);

  DownloadPlan plan{noise(3000, 9), 0x0400, 0x0401, 2000, 2000};
  EXPECT_EQ(transfer.SendBinary(plan).code, TransferCode::Nak) << "block 3 refused";
  plan.payload.resize(1500); // blocks 0 to 2 only
  ASSERT_TRUE(transfer.SendBinary(plan).ok());
  std::vector<uint8_t> back;
  const TransferResult result = transfer.ReceiveBinary({0x0402, 0x0403, 0, 2000, 1 << 20}, back);
  ASSERT_TRUE(result.ok()) << result.status;
  EXPECT_EQ(back, plan.payload);
  const std::vector<uint8_t> record = noise(56, 4);
  EXPECT_TRUE(transfer.SendSingleFrame(kTimingRecordCommand, record).ok());
  char digest[32];
  std::snprintf(digest, sizeof digest, "56/%08x", sim::storeDigest(record));
  EXPECT_EQ(exchange.Query("simstore 0300").token(), digest);
  port.ClosePort();
  unsetenv("KELPAX_SIM_FAULTS");
  reinterpret_cast<void (*)()>(dlsym(handle, "clsersimReset"))();
  dlclose(handle);
}

} // namespace
