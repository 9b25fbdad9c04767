// The transfer engine against cameras that answer exactly as a test says, on pseudo-terminals.
#include <atomic>
#include <chrono>
#include <numeric>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/transfer/scripted_camera.h"
#include "tests/transfer/transfer_recorder.h"
#include "transfer/binary_transfer.h"

using namespace kelpax;
using transfertest::ack;
using transfertest::Piece;
using transfertest::ScriptedCamera;

namespace {

// The CCD timing record's command: one frame, acknowledged as a whole.
constexpr uint16_t kTimingRecordCommand = 0x0300;

std::vector<uint8_t> bytes(size_t count) {
  std::vector<uint8_t> data(count);
  for (size_t i = 0; i < count; ++i)
    data[i] = uint8_t(i * 7 + 3);
  return data;
}

uint16_t be16(const std::string& s, size_t i) {
  return uint16_t(uint8_t(s[i]) << 8 | uint8_t(s[i + 1]));
}

// An upload reply: three characters, then the frame.
std::string reply(uint16_t command, uint16_t block, const std::vector<uint8_t>& data) {
  return std::string{0x06, 0, 0} + encodeFrame(command, block, data);
}

std::string announce(uint16_t command, uint32_t total) {
  return std::string{0x06, 0, 0} + encodeFrame(command, 0, total);
}

DownloadPlan plan(size_t size, uint32_t blockMs = 2000, uint32_t finalMs = 2000) {
  DownloadPlan p;
  p.payload = bytes(size);
  p.blockCommand = 0x0200;
  p.finalCommand = 0x0201;
  p.blockTimeoutMs = blockMs;
  p.finalTimeoutMs = finalMs;
  return p;
}

UploadPlan uploadPlan(size_t capacity = 1 << 20) {
  UploadPlan p;
  p.requestCommand = 0x0202;
  p.blockReadCommand = 0x0203;
  p.firstTimeoutMs = 2000;
  p.capacity = capacity;
  return p;
}

// A camera that acknowledges every frame.
ScriptedCamera::Script acksAll() {
  return [](const std::string&, int) { return std::vector<Piece>{{ack()}}; };
}

struct Rig {
  Rig(const std::string& tag, ScriptedCamera::Script script) : camera(tag, std::move(script)) {
    exchange.setEventPump(&recorder);
  }
  ScriptedCamera camera;
  CommandExchange exchange{camera.port};
  transfertest::Recorder recorder;
  BinaryTransfer transfer{exchange, &recorder};
};

TEST(FrameCoding, LayoutChecksumAndBlockCount) {
  const std::vector<uint8_t> data = {0x01, 0xFF, 0x80};
  const std::string frame = encodeFrame(0x0203, 0x0102, data);
  // 0x02+0x03+0x01+0x02+0x00+0x03+0x01+0xFF+0x80 = 0x18B: the checksum keeps the low byte.
  const std::string expected = {0x02, 0x02, 0x03,       0x01,       0x02,       0x00,
                                0x03, 0x01, char(0xFF), char(0x80), char(0x8B), 0x03};
  EXPECT_EQ(frame, expected);
  EXPECT_EQ(encodeFrame(0x5001, 0, 0x01020304u).substr(7, 4), std::string("\x01\x02\x03\x04"));
  EXPECT_EQ(blockCount(1), 1u);
  EXPECT_EQ(blockCount(512), 1u);
  EXPECT_EQ(blockCount(513), 2u);
  EXPECT_EQ(blockCount(1024), 2u);
}

// Would catch blocks numbered from 1, a last block padded to 512, a closing frame with the
// block count instead of the size, or progress computed over the wrong number of rounds.
TEST(SendBinary, BlocksClosingFrameAndProgress) {
  struct Case {
    size_t size;
    std::vector<size_t> lengths;
    std::vector<int> progress;
  };
  for (const Case& c : {Case{512, {512}, {0, 100}}, Case{513, {512, 1}, {0, 50, 100}}}) {
    Rig rig("blocks", acksAll());
    ASSERT_TRUE(rig.camera.opened);
    struct Terminal : TerminalSink {
      void appendReceived(const std::string& text) override { shown += text; }
      std::string shown;
    } terminal;
    TerminalRelay relay(rig.exchange, terminal);
    rig.exchange.setAnswerHandler(&relay);
    const TransferResult result = rig.transfer.SendBinary(plan(c.size));
    EXPECT_EQ(terminal.shown, "") << "acknowledgements stay out of the terminal";
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.status, "Download completed");
    const std::vector<std::string> frames = rig.camera.frames();
    ASSERT_EQ(frames.size(), c.lengths.size() + 1);
    for (size_t i = 0; i < c.lengths.size(); ++i) {
      EXPECT_EQ(be16(frames[i], 1), 0x0200);
      EXPECT_EQ(be16(frames[i], 3), i) << "0-based block numbers";
      EXPECT_EQ(be16(frames[i], 5), c.lengths[i]);
      EXPECT_EQ(frames[i].size(), c.lengths[i] + kFrameOverhead);
    }
    const std::string& last = frames.back();
    EXPECT_EQ(be16(last, 1), 0x0201);
    EXPECT_EQ(be16(last, 3), 0);
    EXPECT_EQ(last.substr(5, 6), std::string({0, 4, 0, 0, char(c.size >> 8), char(c.size)}));
    EXPECT_EQ(rig.recorder.progress, c.progress);
    EXPECT_EQ(rig.recorder.beeps, (std::vector<std::pair<int, int>>{{2000, 200}, {3000, 200}}));
    EXPECT_TRUE(rig.recorder.sawCancel(true, false, "Wait.."))
        << "Cancel is disabled while the camera stores";
    EXPECT_TRUE(rig.recorder.sawStatus("Saving Data ......."));
    EXPECT_FALSE(rig.recorder.active) << "the > button is back";
    EXPECT_FALSE(rig.exchange.transferRunning());
  }
}

// Would catch an acknowledgement judged before it is whole, a longer answer taken as an
// acknowledgement, or a failure that shows nothing.
TEST(SendBinary, AcknowledgementsJudged) {
  struct Case {
    std::vector<Piece> answer;
    TransferCode code;
    std::string status;
  };
  const std::string ok = ack();
  const Case cases[] = {
      {{{ok.substr(0, 5)}, {ok.substr(5), 150}}, TransferCode::Ok, "Download completed"},
      {{{ok + "x"}}, TransferCode::Unknown, "Download failed(UNKNOWN)"},
      {{{ack(0x15)}}, TransferCode::Nak, "Download failed(NAK)"},
      {{{ack(0x06, 0x28)}}, TransferCode::NotDone, "Download failed(NODONE)"},
      {{{ack(0x06, 0x44)}}, TransferCode::BadAck, "Download failed(UNKNOWN)"},
  };
  for (const Case& c : cases) {
    Rig rig("ack", [&](const std::string&, int) { return c.answer; });
    const TransferResult result = rig.transfer.SendBinary(plan(10));
    EXPECT_EQ(result.code, c.code) << c.status;
    EXPECT_EQ(result.status, c.status);
    EXPECT_TRUE(rig.recorder.sawStatus(c.status));
    if (c.code != TransferCode::Ok) {
      EXPECT_EQ(rig.recorder.beeps, (std::vector<std::pair<int, int>>{{1000, 100}}));
    }
  }
}

// Would catch a wait that restarts its full time-out for every byte, or never ends.
TEST(SendBinary, SilentCameraTimesOutOnTime) {
  Rig rig("silent", [](const std::string&, int index) {
    // Two characters now and then, never six.
    return index == 0 ? std::vector<Piece>{{"\x02"}, {"\x06", 200}} : std::vector<Piece>{};
  });
  const auto start = std::chrono::steady_clock::now();
  const TransferResult result = rig.transfer.SendBinary(plan(10, 400));
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(result.status, "Download failed(TimeOut)");
  EXPECT_LT(ms, 400 * 1.1 + 600) << "the time-out plus the late-answer drain";
  EXPECT_LE(rig.transfer.longestWaitRatio(), 1.1);
}

// Would catch a zero-length download sending a closing frame with size 0, or a second
// transfer starting while one runs.
TEST(SendBinary, RefusedBeforeAnythingIsSent) {
  Rig rig("refused", acksAll());
  TransferResult result = rig.transfer.SendBinary(plan(0));
  EXPECT_EQ(result.code, TransferCode::NoData);
  EXPECT_FALSE(result.status.empty());
  rig.exchange.setBinaryAckMode(true);
  result = rig.transfer.SendBinary(plan(10));
  EXPECT_EQ(result.code, TransferCode::Busy);
  rig.exchange.setBinaryAckMode(false);
  rig.exchange.setBinaryBlockMode(true);
  std::vector<uint8_t> out;
  EXPECT_EQ(rig.transfer.ReceiveBinary(uploadPlan(), out).code, TransferCode::Busy);
  rig.exchange.setBinaryBlockMode(false);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(rig.camera.bytesReceived(), 0u);
}

// A camera that announces `data` on an upload request, serves its blocks and acknowledges
// downloaded frames; `damage` may spoil a reply.
ScriptedCamera::Script serves(std::vector<uint8_t> data,
                              std::function<void(std::string&, int)> damage = {}) {
  return [data, damage](const std::string& frame, int index) {
    std::string answer;
    const uint16_t command = be16(frame, 1);
    if (command == 0x0202) {
      answer = announce(command, uint32_t(data.size()));
    } else if (command == 0x0203) {
      const size_t offset = size_t(be16(frame, 3)) * 512;
      const size_t length = be16(frame, 9);
      answer = reply(
          command, be16(frame, 3),
          std::vector<uint8_t>(data.begin() + long(offset), data.begin() + long(offset + length)));
    } else {
      answer = ack();
    }
    if (damage)
      damage(answer, index);
    return std::vector<Piece>{{answer}};
  };
}

// Would catch blocks read in the wrong order or length, data taken with the reply's header, or a
// last block asked for 512 bytes.
TEST(ReceiveBinary, ReadsAnnouncedBlocks) {
  const std::vector<uint8_t> data = bytes(1025);
  Rig rig("upload", serves(data));
  std::vector<uint8_t> out;
  const TransferResult result = rig.transfer.ReceiveBinary(uploadPlan(), out);
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(result.status, "Upload completed!");
  EXPECT_EQ(out, data);
  const std::vector<std::string> frames = rig.camera.frames();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(be16(frames[0], 1), 0x0202);
  EXPECT_EQ(be16(frames[3], 1), 0x0203);
  EXPECT_EQ(be16(frames[3], 3), 2);
  EXPECT_EQ(be16(frames[3], 9), 1) << "the last block's length";
  EXPECT_EQ(rig.recorder.progress, (std::vector<int>{0, 25, 50, 75}));
  EXPECT_FALSE(rig.exchange.transferRunning());
}

// Would catch an upload of nothing reading a block, a bad checksum or a missing STX accepted,
// or a huge announcement allocated or read.
TEST(ReceiveBinary, AnnouncementsAndDamagedReplies) {
  {
    Rig rig("empty", serves({}));
    std::vector<uint8_t> out = {1, 2, 3};
    EXPECT_TRUE(rig.transfer.ReceiveBinary(uploadPlan(), out).ok());
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(rig.camera.frames().size(), 1u);
  }
  {
    Rig rig("checksum", serves(bytes(600), [](std::string& answer, int index) {
              if (index == 2)
                answer[answer.size() - 2] ^= 1;
            }));
    std::vector<uint8_t> out = {9};
    const TransferResult result = rig.transfer.ReceiveBinary(uploadPlan(), out);
    EXPECT_EQ(result.code, TransferCode::BadReply);
    EXPECT_EQ(result.status, "Download failed(UNKNOWN)");
    EXPECT_EQ(out, std::vector<uint8_t>{9}) << "nothing of a failed upload reaches the caller";
  }
  {
    Rig rig("nostx", serves(bytes(10), [](std::string& answer, int) { answer[3] = 'x'; }));
    std::vector<uint8_t> out;
    EXPECT_EQ(rig.transfer.ReceiveBinary(uploadPlan(), out).code, TransferCode::SendFailed);
  }
  {
    Rig rig("huge", [](const std::string& frame, int) {
      return std::vector<Piece>{{announce(be16(frame, 1), 0xFFFFFFFFu)}};
    });
    std::vector<uint8_t> out;
    const TransferResult result = rig.transfer.ReceiveBinary(uploadPlan(1 << 20), out);
    EXPECT_EQ(result.code, TransferCode::TooLarge);
    EXPECT_NE(result.status.find("4294967295 bytes"), std::string::npos) << result.status;
    EXPECT_EQ(rig.camera.frames().size(), 1u) << "no block read";
  }
}

// Cancel during the request, the blocks and the final wait: the transfer says so and the
// camera's late answer does not spoil the next transfer on the link.
TEST(Cancel, EveryPhaseLeavesTheLinkUsable) {
  struct Case {
    bool upload;
    int cancelAtFrame;
    std::string status;
  };
  for (const Case& c : {Case{true, 0, "UpLoad Canceled"}, Case{true, 1, "UpLoad Canceled"},
                        Case{false, 1, "Download Canceled"}, Case{false, 2, "Download Canceled"}}) {
    std::atomic<int> cancelAt{c.cancelAtFrame};
    transfertest::Recorder* recorder = nullptr;
    const std::vector<uint8_t> data = bytes(700);
    auto upload = serves(data);
    Rig rig("cancel", [&](const std::string& frame, int index) {
      std::vector<Piece> answer = upload(frame, index);
      if (index == cancelAt.load()) {
        recorder->abort = true;
        // The camera still answers, late.
        answer.front().delayMs = 100;
      }
      return answer;
    });
    recorder = &rig.recorder;
    std::vector<uint8_t> out;
    TransferResult result = c.upload ? rig.transfer.ReceiveBinary(uploadPlan(), out)
                                     : rig.transfer.SendBinary(plan(700));
    EXPECT_EQ(result.code, TransferCode::Canceled) << c.status;
    EXPECT_EQ(result.status, c.status);
    EXPECT_FALSE(rig.exchange.transferRunning());
    cancelAt = -1;
    const size_t before = rig.camera.frames().size();
    if (c.upload) {
      result = rig.transfer.ReceiveBinary(uploadPlan(), out);
      EXPECT_TRUE(result.ok()) << result.status;
      EXPECT_EQ(out, data);
    } else {
      result = rig.transfer.SendBinary(plan(700));
      EXPECT_TRUE(result.ok()) << result.status;
    }
    EXPECT_GT(rig.camera.frames().size(), before);
  }
}

// Would catch the timing record going out in blocks, a 7-character answer accepted, or the
// record's acknowledgement relayed to the terminal.
TEST(SingleFrame, AcknowledgedAsAWhole) {
  std::vector<uint8_t> record = bytes(56);
  {
    Rig rig("single", acksAll());
    const TransferResult result = rig.transfer.SendSingleFrame(kTimingRecordCommand, record);
    EXPECT_TRUE(result.ok());
    ASSERT_EQ(rig.camera.frames().size(), 1u);
    EXPECT_EQ(rig.camera.frames()[0], encodeFrame(0x0300, 0, record));
    EXPECT_EQ(rig.recorder.beeps, (std::vector<std::pair<int, int>>{{1500, 100}}));
    EXPECT_TRUE(rig.recorder.progress.empty());
  }
  {
    Rig rig("single7", [](const std::string&, int) { return std::vector<Piece>{{ack() + "!"}}; });
    const TransferResult result = rig.transfer.SendSingleFrame(kTimingRecordCommand, record);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.status, "Download Failed!");
  }
}

} // namespace
