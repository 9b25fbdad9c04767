// The simulated camera's side of binary transfers, in process: the bytes it answers each frame
// with and what it keeps.
#include <gtest/gtest.h>

#include "sim/binary_frames.h"
#include "sim/camera.h"

namespace {

// Frames are built here by hand, not with the program's coder, so a fault shared by both
// sides cannot hide.
std::string frame(uint16_t command, uint16_t block, const std::string& data, int sumDelta = 0) {
  std::string body = {char(command >> 8), char(command),          char(block >> 8),
                      char(block),        char(data.size() >> 8), char(data.size())};
  body += data;
  unsigned sum = 0;
  for (char c : body)
    sum += uint8_t(c);
  return "\x02" + body + char(sum + unsigned(sumDelta)) + "\x03";
}

std::string u32(uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string ack(char second, char fifth, uint16_t block = 0) {
  return {0x02, second, char(block >> 8), char(block), fifth, 0x03};
}

const std::string kStored = ack(0x06, 0x08);

sim::Faults faultsFrom(const char* text) {
  sim::Faults faults;
  EXPECT_TRUE(sim::parseFaults(text, faults, nullptr)) << text;
  return faults;
}

// Would catch CR or LF inside a frame taken as a line end, blocks accepted out of order, a
// closing size not checked, or the ASCII commands broken after a transfer.
TEST(SimFrames, DownloadChecksOrderSizeAndChecksum) {
  sim::Camera camera("Ko-25MC-C65");
  const std::string first(512, '\r');
  const std::string second = "\n\n>";
  EXPECT_EQ(camera.receive(frame(0x5000, 0, first)), ack(0x06, 0x08, 0));
  EXPECT_EQ(camera.receive(frame(0x5000, 2, second)), ack(0x06, 0x28, 2)) << "block 1 skipped";
  EXPECT_EQ(camera.receive(frame(0x5000, 1, second, 1)), ack(0x15, 0x28, 1)) << "bad checksum";
  EXPECT_EQ(camera.receive(frame(0x5000, 1, second)), ack(0x06, 0x08, 1));
  EXPECT_EQ(camera.receive(frame(0x5001, 0, u32(514))), ack(0x06, 0x28)) << "wrong total";
  EXPECT_EQ(camera.frames().stored(0x5000), nullptr);

  EXPECT_EQ(camera.receive(frame(0x5000, 0, first)), kStored);
  EXPECT_EQ(camera.receive(frame(0x5000, 1, second)), ack(0x06, 0x08, 1));
  EXPECT_EQ(camera.receive(frame(0x5001, 0, u32(515))), kStored);
  ASSERT_NE(camera.frames().stored(0x5000), nullptr);
  EXPECT_EQ(
      std::string(camera.frames().stored(0x5000)->begin(), camera.frames().stored(0x5000)->end()),
      first + second);
  EXPECT_EQ(camera.receive("gmn\r"), "gmn\r\nKo-25MC-C65\r\n>");
}

// Would catch an upload reply without the three leading characters, a wrong checksum, blocks
// served from the wrong offset, or the last block padded.
TEST(SimFrames, UploadServesWhatWasDownloaded) {
  sim::Camera camera("Ko-25MC-C65");
  std::vector<uint8_t> data(600);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = uint8_t(i);
  camera.frames().store(0x0200, data);
  std::string reply = camera.receive(frame(0x0202, 0, u32(0)));
  EXPECT_EQ(reply.substr(3), frame(0x0202, 0, u32(600)));
  reply = camera.receive(frame(0x0203, 1, u32(88)));
  EXPECT_EQ(reply.substr(3), frame(0x0203, 1, std::string(data.begin() + 512, data.end())));
  EXPECT_EQ(reply.size(), 88u + 12u);
}

// Would catch a fault that never fires, fires on every frame, or leaves the camera unusable.
TEST(SimFrames, BinaryFaults) {
  {
    sim::Camera camera("Ko-25MC-C65");
    camera.setFaults(faultsFrom("nak-at=1"));
    EXPECT_EQ(camera.receive(frame(0x0200, 0, "ab")), kStored);
    EXPECT_EQ(camera.receive(frame(0x0200, 1, "cd")), ack(0x15, 0x28, 1));
  }
  {
    sim::Camera camera("Ko-25MC-C65");
    camera.setFaults(faultsFrom("frame-drop=1"));
    EXPECT_EQ(camera.receive(frame(0x0200, 0, "ab")), "") << "waits for the lost byte";
    EXPECT_TRUE(camera.inFrame());
    camera.abandonPartialFrame();
    EXPECT_EQ(camera.receive(frame(0x0200, 0, "ab")), kStored);
  }
  {
    sim::Camera camera("Ko-25MC-C65");
    camera.setFaults(faultsFrom("frame-corrupt=2,bad-ack"));
    EXPECT_EQ(camera.receive(frame(0x0200, 0, "ab")), ack(0x06, 0x44));
    EXPECT_EQ(camera.receive(frame(0x0200, 1, "ab")), ack(0x15, 0x44, 1));
  }
  {
    sim::Camera camera("Ko-25MC-C65");
    camera.setFaults(faultsFrom("huge-upload,reply-checksum=1"));
    const std::string reply = camera.receive(frame(0x0202, 0, u32(0)));
    EXPECT_EQ(reply.substr(3, 11), frame(0x0202, 0, u32(sim::kHugeUpload)).substr(0, 11));
    EXPECT_NE(reply.substr(3), frame(0x0202, 0, u32(sim::kHugeUpload)));
  }
  {
    sim::Camera camera("Ko-25MC-C65");
    camera.setFaults(faultsFrom("frame-close=2"));
    EXPECT_EQ(camera.receive(frame(0x0200, 0, "ab")), kStored);
    EXPECT_EQ(camera.receive(frame(0x0200, 1, "ab")), "");
    EXPECT_TRUE(camera.linkClosed());
  }
  // A length no PC frame has is refused at once instead of eating the next 65535 bytes.
  sim::Camera camera("Ko-25MC-C65");
  EXPECT_EQ(camera.receive(std::string("\x02\x02\x00\x00\x00\xFF\xFF", 7)), ack(0x15, 0x28));
  EXPECT_EQ(camera.receive("gmn\r"), "gmn\r\nKo-25MC-C65\r\n>");
}

} // namespace
