// The Ko factory page's work without a window: the privileged level around every session,
// register numbers and commands, the aging count, and readings from a camera that answers
// nonsense.
#include <map>

#include <gtest/gtest.h>

#include "pages/ko/ko_factory.h"

using namespace kelpax;

namespace {

// A camera answering from a table; what is not in it is refused.
struct TableCamera {
  std::map<std::string, std::string> answers;
  bool refuseAll = false;
  std::vector<std::string> sent;

  Answer operator()(const std::string& command) {
    sent.push_back(command);
    Answer answer;
    auto it = answers.find(command);
    if (refuseAll || it == answers.end()) {
      answer.result = CommandResult::CameraError;
      answer.text = command + "\r\nError : command failed\r\n>";
    } else {
      answer.result = CommandResult::Ok;
      answer.text = command + "\r\n" + it->second + "\r\n>";
    }
    return answer;
  }
  FactorySend send() {
    return [this](const std::string& command) { return (*this)(command); };
  }
};

// Would catch a hexadecimal number read as decimal, digits beyond 32 bits wrapping round, or
// letters accepted in a decimal number.
TEST(KoFactory, RegisterNumbers) {
  const std::pair<const char*, std::optional<uint32_t>> cases[] = {
      {"0x02", 2u},
      {"0X1f", 31u},
      {"2", 2u},
      {"4294967295", ~0u},
      {"0xFFFFFFFF", ~0u},
      {"4294967296", std::nullopt},
      {"0x100000000", std::nullopt},
      {"0x", std::nullopt},
      {"", std::nullopt},
      {"1f", std::nullopt},
      {"0x1G", std::nullopt},
      {"-1", std::nullopt},
      {" 2", std::nullopt},
  };
  for (const auto& [text, value] : cases)
    EXPECT_EQ(parseRegisterNumber(text), value) << text;
  EXPECT_EQ(registerReadCommand(0x151), "rfpga 0x00000151");
  EXPECT_EQ(registerWriteCommand(2, 0xABCDEF01), "wfpga 0x00000002 0xABCDEF01");
}

// Would catch a serial number with a blank (the camera would take only its first word) or
// one longer than the camera keeps.
TEST(KoFactory, SerialTexts) {
  EXPECT_TRUE(serialTextValid("B1-0417"));
  EXPECT_TRUE(serialTextValid(std::string(kSerialMax, 'A')));
  EXPECT_FALSE(serialTextValid(std::string(kSerialMax + 1, 'A')));
  EXPECT_FALSE(serialTextValid(""));
  EXPECT_FALSE(serialTextValid("B1 0417"));
  EXPECT_FALSE(serialTextValid("B1\t0417"));
  EXPECT_FALSE(serialTextValid("B1\x80"));
}

// The level is closed after the work, and also when the camera would not open it (then the
// work does not run). Would catch a level left open by a refused opening.
TEST(KoFactory, ThePrivilegedLevelIsAlwaysClosed) {
  TableCamera camera;
  camera.answers = {{"aar qelmarst", "OK"}, {"aar off", "OK"}, {"gblo", "12"}};
  bool ran = false;
  EXPECT_TRUE(withPrivilegedLevel(camera.send(), [&] {
    ran = true;
    camera("gblo");
  }));
  EXPECT_TRUE(ran);
  EXPECT_EQ(camera.sent, (std::vector<std::string>{"aar qelmarst", "gblo", "aar off"}));
  camera.sent.clear();
  camera.answers.erase("aar qelmarst");
  ran = false;
  EXPECT_FALSE(withPrivilegedLevel(camera.send(), [&] { ran = true; }));
  EXPECT_FALSE(ran);
  EXPECT_EQ(camera.sent, (std::vector<std::string>{"aar qelmarst", "aar off"}));
}

// Readings from a camera that answers garbage, out-of-range numbers or errors stay empty;
// good answers are kept. Would catch "999" shown as a bias voltage of an 8-bit DAC or an
// error text shown as a serial number.
TEST(KoFactory, ReadingsKeepOnlyWhatTheCameraToldSensibly) {
  TableCamera camera;
  camera.answers = {{"aar qelmarst", "OK"}, {"aar off", "OK"},       {"gsn piece", "K0001"},
                    {"gsn bd1", ""},        {"gsn bd2", "B2-1"},     {"gvref vrst", "999"},
                    {"gvref vln1", "-1"},   {"gvref vrf2", "12abc"}, {"gvref vlp", "60"},
                    {"gvref vln2", "\x1b"}, {"gblo", "4096"}};
  const KoFactoryReadings readings = readFactorySettings(camera.send());
  EXPECT_TRUE(readings.opened);
  EXPECT_EQ(readings.serials[0], "K0001");
  EXPECT_EQ(readings.serials[1], std::nullopt);
  EXPECT_EQ(readings.serials[2], "B2-1");
  EXPECT_EQ(readings.serials[3], std::nullopt) << "refused";
  EXPECT_EQ(readings.bias[0], std::nullopt);
  EXPECT_EQ(readings.bias[1], std::nullopt);
  EXPECT_EQ(readings.bias[2], std::nullopt);
  EXPECT_EQ(readings.bias[3], 60);
  EXPECT_EQ(readings.bias[4], std::nullopt);
  EXPECT_EQ(readings.blackOffset, std::nullopt);
  EXPECT_EQ(camera.sent.back(), "aar off");
}

// The aging run counts refused reads and reads of another value apart. Would catch failures
// counted as good reads or a changing register going unnoticed.
TEST(KoFactory, AgingCountsFailuresAndDifferingReads) {
  int call = 0;
  const FactorySend flaky = [&](const std::string& command) {
    EXPECT_EQ(command, "rfpga 0x00000049");
    Answer answer;
    ++call;
    answer.result = call % 4 == 0 ? CommandResult::NoAnswer : CommandResult::Ok;
    answer.text = command + "\r\n" + (call == 7 ? "0x00000002" : "0x00000001") + "\r\n>";
    return answer;
  };
  const AgingResult result = runRegisterAging(flaky, 0x49, 10);
  EXPECT_EQ(result.reads, 10);
  EXPECT_EQ(result.failures, 2); // reads 4 and 8
  EXPECT_EQ(result.differing, 1);
  EXPECT_EQ(agingSummary(result), "10 reads, 2 failed, 1 differing");
}

// A missing file is refused with the file's own message before anything is sent.
TEST(KoFactory, AMissingInformationFileSendsNothing) {
  int frames = 0;
  const SensorInfoOutcome outcome =
      downloadSensorInfo("/nonexistent/kelpax/sensor.cif", [&](uint16_t, std::span<const uint8_t>) {
        ++frames;
        return true;
      });
  EXPECT_FALSE(outcome.sent);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(frames, 0);
  EXPECT_FALSE(outcome.message.empty());
  EXPECT_NE(outcome.message, kSensorInfoOk);
}

} // namespace
