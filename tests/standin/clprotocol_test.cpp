// GenCP on the serial channel against the simulated GenCP camera: packet coding, register
// access, long reads, pending acknowledges, bad answers, descriptions from camera memory.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "CLProtocol/CLPort.h"
#include "GenApi/GenApi.h"
#include "session_channel.h"
#include "sim/camera_session.h"
#include "sim/gencp_device.h"

namespace {

using namespace CLProtocol;
using Clock = std::chrono::steady_clock;

class GenCpCameraTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetTestChannelFactory(
        [this](const std::string&) { return std::make_unique<SessionChannel>(session_); });
    session_.open(Clock::now());
  }
  void TearDown() override { SetTestChannelFactory(nullptr); }
  sim::GenCpDevice& device() { return *session_.camera().gencp(); }
  void connect() { port_.Connect("test#0", "#libgencp_serial.so#Quorvane#CameraLink01"); }
  void setFaults(const char* text) {
    sim::Faults faults;
    ASSERT_TRUE(sim::parseFaults(text, faults, nullptr));
    session_.setFaults(faults);
  }

  sim::CameraSession session_{"Kg-12M-G40", 115200, false};
  CCLPort port_;
};

// The worked example of a public GenCP serial packet: a WriteMem of 0x000000FF to 0x0020405C,
// request 0x89AB. Catches checksums that cover the wrong fields or fold the carry wrongly.
TEST(GenCpPacket, WriteMemMatchesThePublishedChecksums) {
  uint8_t data[] = {0, 0, 0, 0xFF};
  auto packet = GenCp::WriteMemCommand(0x0020405C, data, 4, 0x89AB);
  const std::vector<uint8_t> expected = {0x01, 0x00, 0x2E, 0x46, 0xEC, 0xCA, 0x00, 0x00, 0x40, 0x00,
                                         0x08, 0x02, 0x00, 0x0C, 0x89, 0xAB, 0x00, 0x00, 0x00, 0x00,
                                         0x00, 0x20, 0x40, 0x5C, 0x00, 0x00, 0x00, 0xFF};
  EXPECT_EQ(packet, expected);
}

// An acknowledge is judged field by field: a flipped bit in the header or in the data is
// caught by its own checksum, a cut packet waits for more, stray bytes are not a packet.
TEST(GenCpPacket, DecodingCatchesEveryDamagedPart) {
  GenCp::Command c;
  c.commandId = GenCp::kReadMemAck; // coded like an acknowledge with status 0x4000
  c.requestId = 7;
  c.scd = {1, 2, 3, 4, 5};
  auto good = GenCp::Encode(c);
  GenCp::Ack ack;
  size_t used = 0;
  ASSERT_EQ(GenCp::DecodeAck(good.data(), good.size(), &ack, &used), GenCp::DecodeResult::Complete);
  EXPECT_EQ(used, good.size());
  EXPECT_EQ(ack.requestId, 7);
  EXPECT_EQ(ack.scd, c.scd);

  auto header = good;
  header[14] ^= 0x10;
  EXPECT_EQ(GenCp::DecodeAck(header.data(), header.size(), &ack, &used),
            GenCp::DecodeResult::BadCcdChecksum);
  auto payload = good;
  payload.back() ^= 0x01;
  EXPECT_EQ(GenCp::DecodeAck(payload.data(), payload.size(), &ack, &used),
            GenCp::DecodeResult::BadScdChecksum);
  EXPECT_EQ(GenCp::DecodeAck(good.data(), good.size() - 1, &ack, &used),
            GenCp::DecodeResult::NeedMore);
  const uint8_t junk[] = {'O', 'K', '\r', '\n', '>'};
  EXPECT_EQ(GenCp::DecodeAck(junk, sizeof junk, &ack, &used), GenCp::DecodeResult::NotAPacket);
}

// Device IDs: full IDs name the driver, short ones start at the manufacturer, and a template
// may stop early.
// A zipped description is taken only when its text is whole: a checksum that disagrees with
// the text, or a stated size that is not the text's, refuses it with a reason.
TEST(DescriptionArchive, DamagedTextIsRefused) {
  const std::string xml = "<?xml version=\"1.0\"?><RegisterDescription ModelName=\"Kg\"/>";
  const std::string archive = sim::zipText("camera.xml", xml);
  ASSERT_EQ(std::string(UnzipFirstFile(archive, 1 << 16)), xml);

  auto field = [](std::string& bytes, const char* signature, std::size_t offset) {
    std::size_t header = bytes.find(signature, 0, 4);
    EXPECT_NE(header, std::string::npos) << "no " << signature + 2 << " header";
    return header == std::string::npos ? nullptr : &bytes[header + offset];
  };
  auto refused = [](const std::string& bytes) {
    try {
      UnzipFirstFile(bytes, 1 << 16);
      return std::string("unzipped");
    } catch (const GenICam::RuntimeException& e) {
      return std::string(e.GetDescription());
    }
  };

  // The same checksum, changed in the local and the central header alike.
  std::string badChecksum = archive;
  for (auto [signature, offset] : {std::pair{"PK\x03\x04", 14}, std::pair{"PK\x01\x02", 16}}) {
    if (char* crc = field(badChecksum, signature, offset))
      crc[0] = static_cast<char>(crc[0] ^ 0x5a);
  }
  EXPECT_NE(refused(badChecksum).find("CRC"), std::string::npos) << refused(badChecksum);

  // A stated size one short of the text: the text goes on past it.
  std::string shortSize = archive;
  for (auto [signature, offset] : {std::pair{"PK\x03\x04", 22}, std::pair{"PK\x01\x02", 24}}) {
    if (char* size = field(shortSize, signature, offset))
      size[0] = static_cast<char>(size[0] - 1);
  }
  EXPECT_NE(refused(shortSize), "unzipped");
}

TEST(DeviceId, FullShortAndTemplateForms) {
  auto full = CDeviceID::FromString("/opt/gencp#libgencp_serial.so#Quorvane#Kelpax Line#Kg-12M"
                                    "#1.0#S123");
  EXPECT_EQ(full.directory, "/opt/gencp");
  EXPECT_EQ(full.GetShortDeviceID(), "Quorvane#Kelpax Line#Kg-12M#1.0#S123");
  auto shortId = CDeviceID::FromString("Quorvane#Family1#ModelA");
  EXPECT_EQ(shortId.model, "ModelA");
  EXPECT_EQ(shortId.GetShortDeviceID(), "Quorvane#Family1#ModelA");
  EXPECT_EQ(CDeviceID::FromString("#libgencp_serial.so#Quorvane#CameraLink01").GetShortDeviceID(),
            "Quorvane#CameraLink01");
  EXPECT_THROW(CDeviceID::FromString(""), GenICam::InvalidArgumentException);
  EXPECT_THROW(CDeviceID::FromString("a#b#c#d#e#f"), GenICam::InvalidArgumentException);
}

// The whole path a GenICam open takes: find the camera, fetch and unzip its description from
// its memory, build the node map on the port, and a feature write lands in the register.
TEST_F(GenCpCameraTest, DescriptionFromMemoryDrivesTheCameraRegisters) {
  connect();
  auto id = CDeviceID::FromString(port_.GetDeviceID());
  EXPECT_EQ(id.manufacturer, "Quorvane");
  EXPECT_EQ(id.family, "Kg-12M-G40");
  EXPECT_EQ(id.model, "Kg-12M-G40");
  std::string xml = port_.GetXML(true);
  EXPECT_EQ(xml, sim::gencpDescriptionXml());
  EXPECT_NE(port_.GetXML(false).substr(0, 2), "<?") << "unzip=false gives the archive";

  GenApi::CNodeMapRef map;
  map._LoadXMLFromString(xml);
  ASSERT_TRUE(map._Connect(&port_, "Device"));
  GenApi::CFloatPtr exposure = map._GetNode("ExposureTime");
  ASSERT_TRUE(exposure);
  exposure->SetValue(2500.0);
  EXPECT_FLOAT_EQ(device().readFloat(sim::gencp_map::kExposureTime), 2500.0f);
  GenApi::CIntegerPtr width = map._GetNode("Width");
  EXPECT_EQ(width->GetValue(), 4096);
  GenApi::CStringPtr model = map._GetNode("DeviceModelName");
  EXPECT_EQ(model->GetValue(), "Kg-12M-G40");
}

// A read longer than the camera's largest acknowledge goes out in pieces that each fit.
TEST_F(GenCpCameraTest, LongReadIsSplitByTheCamerasPacketLimit) {
  device().setMaxPacketLengths(64, 80); // 64 data bytes an acknowledge
  connect();
  EXPECT_EQ(port_.client()->maxReadChunk(), 64u);
  EXPECT_EQ(port_.client()->maxWriteChunk(), 40u);
  std::vector<uint8_t> pattern(1000);
  for (size_t i = 0; i < pattern.size(); ++i)
    pattern[i] = static_cast<uint8_t>(i * 7);
  auto before = port_.GetStatistics()->transactions;
  port_.Write(pattern.data(), 0x40000, static_cast<int64_t>(pattern.size()));
  EXPECT_EQ(port_.GetStatistics()->transactions - before, 25u); // 1000 / 40
  std::vector<uint8_t> back(pattern.size());
  before = port_.GetStatistics()->transactions;
  port_.Read(back.data(), 0x40000, static_cast<int64_t>(back.size()));
  EXPECT_EQ(port_.GetStatistics()->transactions - before, 16u); // 1000 / 64, rounded up
  EXPECT_EQ(back, pattern);
}

// A camera that announces a pending acknowledge gets the time it asks for, beyond the normal
// response time.
TEST_F(GenCpCameraTest, PendingAcknowledgeIsHonoured) {
  connect();
  setFaults("gencp-pending=700"); // more than the 500 ms the camera's response time allows
  uint8_t value[4] = {0, 0, 0, 9};
  auto start = Clock::now();
  port_.Write(value, 0x3001C, 4);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(650));
  EXPECT_EQ(device().readUint32(0x3001C), 9u);
  EXPECT_GE(port_.GetStatistics()->pendingAcks, 1u);
  EXPECT_EQ(port_.GetStatistics()->resends, 0u);
}

// Broken answers end in the matching exception within the time-outs, never in a hang.
TEST_F(GenCpCameraTest, BadAnswersBecomeExceptionsWithinTheTimeOut) {
  connect();
  uint8_t buffer[16];
  const auto limit = std::chrono::milliseconds(3 * port_.client()->responseTimeoutMs() + 500);

  setFaults("gencp-bad-checksum");
  auto start = Clock::now();
  EXPECT_THROW(port_.Read(buffer, 0x30000, 4), GenICam::RuntimeException);
  EXPECT_EQ(port_.GetStatistics()->resends, 2u);
  EXPECT_GE(port_.GetStatistics()->checksumFailures, 3u);

  setFaults("gencp-garbage");
  EXPECT_THROW(port_.Read(buffer, 0x30000, 4), GenICam::RuntimeException);
  EXPECT_GT(port_.GetStatistics()->junkBytes, 0u);

  setFaults("silent");
  start = Clock::now();
  EXPECT_THROW(port_.Read(buffer, 0x30000, 4), GenICam::TimeoutException);
  EXPECT_LT(Clock::now() - start, limit);

  // The camera recovers: the stale bytes of the failed requests do not spoil the next one.
  setFaults("");
  EXPECT_NO_THROW(port_.Read(buffer, 0x30000, 4));
}

// A camera that drops the link mid-session ends the next access at once with an error, and
// the port stays usable for nothing but a clean disconnect.
TEST_F(GenCpCameraTest, CameraVanishingMidSessionFailsAtOnce) {
  connect();
  setFaults("close-after=2");
  uint8_t value[4];
  EXPECT_NO_THROW(port_.Read(value, 0x30000, 4));
  EXPECT_NO_THROW(port_.Read(value, 0x30000, 4)); // answered, then the link closes
  auto start = Clock::now();
  EXPECT_THROW(port_.Read(value, 0x30000, 4), GenICam::RuntimeException);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(200));
  port_.Disconnect();
  EXPECT_THROW(port_.Read(value, 0x30000, 4), GenICam::AccessException);
}

// What the camera refuses comes back as the GenICam exception of its status.
TEST_F(GenCpCameraTest, RefusedAccessGivesTheStatusException) {
  connect();
  uint8_t value[4] = {};
  EXPECT_THROW(port_.Write(value, 0x0004, 4), GenICam::AccessException); // the maker's name
  EXPECT_THROW(port_.Read(value, sim::gencp_map::kAddressSpace, 4), GenICam::OutOfRangeException);
}

// Descriptions that cannot be had end in an exception with a reason, not in a crash.
TEST_F(GenCpCameraTest, BadDescriptionsAreRefused) {
  connect();
  device().setManifestAddress(sim::gencp_map::kAddressSpace - 16, 4096);
  EXPECT_THROW(port_.GetXML(true), GenICam::OutOfRangeException);
  device().setManifestAddress(sim::gencp_map::kDescription, 0);
  EXPECT_THROW(port_.GetXML(true), GenICam::RuntimeException);

  device().setDescription("PK\x03\x04 this is no archive at all", true);
  try {
    port_.GetXML(true);
    FAIL() << "a broken zip was unzipped";
  } catch (const GenICam::RuntimeException& e) {
    EXPECT_NE(std::string(e.GetDescription()).find("zip"), std::string::npos);
  }

  device().setDescription(sim::zipText("broken.xml", "<?xml version=\"1.0\"?><Register"), true);
  std::string xml = port_.GetXML(true);
  GenApi::CNodeMapRef map;
  EXPECT_THROW(map._LoadXMLFromString(xml), GenICam::RuntimeException);
}

// The camera's line rate follows the register, the port follows the camera, and register and
// raw text access share the one port afterwards.
TEST_F(GenCpCameraTest, RateChangeAndRawTextShareThePort) {
  session_.camera().setFaults({});
  connect();
  EXPECT_EQ(port_.SupportedBaudrates(), 31u);
  port_.SetDeviceBauderate(2);
  EXPECT_EQ(session_.baud(), 19200);
  uint8_t value[4];
  EXPECT_NO_THROW(port_.Read(value, 0x30000, 4));

  const char command[] = "gmn\r";
  uint32_t size = 4;
  ASSERT_EQ(port_.ClSerialWrite(reinterpret_cast<const uint8_t*>(command), &size, 500), 0);
  std::string answer;
  for (int i = 0; i < 10 && answer.find('>') == std::string::npos; ++i) {
    uint8_t buffer[128];
    uint32_t got = sizeof buffer;
    port_.ClSerialRead(buffer, &got, 100);
    answer.append(reinterpret_cast<char*>(buffer), got);
  }
  EXPECT_NE(answer.find("Kg-12M-G40"), std::string::npos) << answer;
  EXPECT_NO_THROW(port_.Read(value, 0x30000, 4));
}

// A port with no GenCP camera behind it probes empty within the time-out at each rate.
TEST_F(GenCpCameraTest, SilentPortProbesEmpty) {
  setFaults("silent");
  auto start = Clock::now();
  EXPECT_EQ(CCLPort::FastProbeDevice("test#0", "#libgencp_serial.so#Quorvane", 100, 16), "");
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2 * 3 * 100 + 400));
  setFaults("");
  EXPECT_NE(CCLPort::FastProbeDevice("test#0", "#libgencp_serial.so#Quorvane", 100, 16), "");
}

} // namespace
