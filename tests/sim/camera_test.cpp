// The camera's command protocol, in process: exact bytes of echo, answers and prompt.
#include <bitset>

#include <gtest/gtest.h>

#include "sim/camera.h"

namespace {

sim::Faults faultsFrom(const char* text) {
  sim::Faults faults;
  EXPECT_TRUE(sim::parseFaults(text, faults, nullptr)) << text;
  return faults;
}

TEST(CameraTest, IdentificationAnswers) {
  sim::Camera camera("Ko-25MC-C65");
  EXPECT_EQ(camera.receive("gmn\r"), "gmn\r\nKo-25MC-C65\r\n>");
  EXPECT_EQ(camera.receive("gsn piece\r"), "gsn piece\r\n" + camera.serialNumber() + "\r\n>");
  EXPECT_EQ(camera.serialNumber().size(), 5u);
  EXPECT_EQ(camera.serialNumber().find_first_not_of("0123456789"), std::string::npos);

  for (const char* command : {"gfv", "gmv", "gct"}) {
    std::string answer = camera.receive(std::string(command) + "\r");
    std::string expectStart = std::string(command) + "\r\n";
    ASSERT_EQ(answer.substr(0, expectStart.size()), expectStart) << command;
    ASSERT_GE(answer.size(), expectStart.size() + 4) << command; // a text, CR LF, prompt
    EXPECT_EQ(answer.substr(answer.size() - 3), "\r\n>") << command;
    EXPECT_EQ(answer.find("Error"), std::string::npos) << command;
  }
  std::string temperature = camera.receive("gct\r");
  EXPECT_NO_THROW((void)std::stod(temperature.substr(5)));
}

TEST(CameraTest, SetThenGetExposure) {
  sim::Camera camera("Ko-25MC-C65");
  EXPECT_EQ(camera.receive("get\r"), "get\r\n1000\r\n>");
  EXPECT_EQ(camera.receive("set 5000\r"), "set 5000\r\nOK\r\n>");
  EXPECT_EQ(camera.receive("get\r"), "get\r\n5000\r\n>");
}

// Catches an off-by-one at either end of a range, and a refused value that still lands.
TEST(CameraTest, ExposureRangeEdges) {
  struct Case {
    const char* value;
    bool accepted;
  };
  const Case cases[] = {{"10", true},  {"9", false},   {"7000000", true}, {"7000001", false},
                        {"-1", false}, {"1.5", false}, {"12ab", false},   {"", false}};
  for (const Case& c : cases) {
    sim::Camera camera("Ko-25MC-C65");
    std::string command = std::string("set ") + c.value;
    std::string answer = camera.receive(command + "\r");
    if (c.accepted) {
      EXPECT_EQ(answer, command + "\r\nOK\r\n>");
      EXPECT_EQ(camera.receive("get\r"), std::string("get\r\n") + c.value + "\r\n>");
    } else {
      EXPECT_EQ(answer.rfind(command + "\r\nError", 0), 0u) << answer;
      EXPECT_EQ(answer.substr(answer.size() - 3), "\r\n>");
      EXPECT_EQ(camera.receive("get\r"), "get\r\n1000\r\n>") << "refused " << c.value;
    }
  }
}

TEST(CameraTest, OutOfRangeGainIsRefusedWithItsText) {
  sim::Camera camera("Ko-25MC-C65");
  EXPECT_EQ(camera.receive("sag 9999\r"), "sag 9999\r\nError : value out of range\r\n>");
  EXPECT_EQ(camera.receive("sag 64\r"), "sag 64\r\nError : value out of range\r\n>");
  EXPECT_EQ(camera.receive("gag\r"), "gag\r\n0\r\n>");
}

// Catches indexed stems sharing one value, or "ag 1" answered as if it were "ag".
TEST(CameraTest, IndexedStemsAreKeptApart) {
  sim::Camera camera("Kx-4M-M40");
  EXPECT_EQ(camera.receive("sag 1 100\r"), "sag 1 100\r\nOK\r\n>");
  EXPECT_EQ(camera.receive("sag 2 250\r"), "sag 2 250\r\nOK\r\n>");
  EXPECT_EQ(camera.receive("gag 1\r"), "gag 1\r\n100\r\n>");
  EXPECT_EQ(camera.receive("gag 2\r"), "gag 2\r\n250\r\n>");

  for (const char* refused : {"gag 9", "gag", "gag x", "sag 9 10", "sag 1", "sag 1 2 3"}) {
    std::string answer = camera.receive(std::string(refused) + "\r");
    EXPECT_NE(answer.find("\r\nError"), std::string::npos) << refused;
  }
  EXPECT_EQ(camera.receive("gag 1\r"), "gag 1\r\n100\r\n>");
}

TEST(CameraTest, RealValuedDigitalGain) {
  sim::Camera camera("Ko-25MC-C65");
  EXPECT_EQ(camera.receive("gdg\r"), "gdg\r\n1.000000\r\n>");
  EXPECT_EQ(camera.receive("sdg 1.500000\r"), "sdg 1.500000\r\nOK\r\n>");
  EXPECT_EQ(camera.receive("gdg\r"), "gdg\r\n1.500000\r\n>");
  EXPECT_NE(camera.receive("sdg 0.5\r").find("Error"), std::string::npos);
  EXPECT_NE(camera.receive("sdg abc\r").find("Error"), std::string::npos);
  EXPECT_EQ(camera.receive("gdg\r"), "gdg\r\n1.500000\r\n>");
}

TEST(CameraTest, SeveralValuesAnswerOnOneLine) {
  sim::Camera camera("Ko-25MC-C65");
  EXPECT_EQ(camera.receive("sha 8 647\r"), "sha 8 647\r\nOK\r\n>");
  EXPECT_EQ(camera.receive("gha\r"), "gha\r\n8 647\r\n>");
  EXPECT_NE(camera.receive("sha 1\r").find("Error"), std::string::npos);
  EXPECT_NE(camera.receive("sha 0 99999\r").find("Error"), std::string::npos);
  EXPECT_EQ(camera.receive("gha\r"), "gha\r\n8 647\r\n>");
  ASSERT_TRUE(camera.parameters().values("ha").has_value());
  EXPECT_EQ(camera.parameters().values("ha")->at(1), 647);
}

// Identification queries: the sensor size where the firmware knows "gsw", the privileged
// "gccd" otherwise, and regions only on the models that have them.
TEST(CameraTest, SensorSizeAndRegionAnswersFollowTheModel) {
  sim::Camera ko("Ko-25MC-C65");
  EXPECT_EQ(ko.receive("gsw\r"), "gsw\r\n5120\r\n>");
  EXPECT_EQ(ko.receive("gsh\r"), "gsh\r\n5120\r\n>");
  EXPECT_EQ(ko.receive("groi\r").find("Error"), std::string::npos);

  sim::Camera small("Ko-2M-M75");
  EXPECT_NE(small.receive("groi\r").find("Error"), std::string::npos);

  sim::Camera kx("Kx-4M-M40");
  EXPECT_NE(kx.receive("gsw\r").find("Error"), std::string::npos);
  EXPECT_NE(kx.receive("gccd\r").find("Error"), std::string::npos);
  kx.receive("aar qelmarst\r");
  const std::string ccd = kx.receive("gccd\r");
  EXPECT_NE(ccd.find("width = 2048\r\n"), std::string::npos) << ccd;
  EXPECT_NE(ccd.find("height = 2048\r\n"), std::string::npos) << ccd;
}

// Every family's stems answer a query, so a connection can fill its cache from any model.
TEST(CameraTest, EveryFamilyAnswersItsStems) {
  for (const char* model :
       {"Kx-4M-M40", "Kh-5M-M15", "Kr-2M-M30", "Ka-47M-M40", "Kn-47M-C35", "KnP-16M-M4",
        "Ki-71M-M5", "Ko-12M-M65", "Kw-4M-C80", "Ku-16K-M80", "Ke-4K5C-MH40", "Ky-29M-C5"}) {
    sim::Camera camera(model);
    ASSERT_FALSE(camera.info().stems.empty()) << model;
    for (const sim::StemDef& def : camera.info().stems) {
      const std::string answer = camera.receive("g" + def.stem + "\r");
      EXPECT_EQ(answer.find("Error"), std::string::npos) << model << " g" << def.stem;
    }
  }
}

TEST(CameraTest, UnknownAndEmptyLines) {
  sim::Camera camera("Ko-25MC-C65");
  EXPECT_EQ(camera.receive("xyz 1\r"), "xyz 1\r\nError : unknown command\r\n>");
  // Stems are lower case only.
  EXPECT_EQ(camera.receive("GMN\r"), "GMN\r\nError : unknown command\r\n>");
  EXPECT_EQ(camera.receive("gzz\r"), "gzz\r\nError : unknown command\r\n>");
  EXPECT_EQ(camera.receive("\r"), "\r\n>");
}

// Catches a camera that answers per chunk instead of per line, or loses a split line.
TEST(CameraTest, LinesSplitAndJoinedAcrossChunks) {
  sim::Camera camera("Ko-25MC-C65");
  EXPECT_EQ(camera.receive("gm"), "");
  EXPECT_EQ(camera.receive("n\rset 2"), "gmn\r\nKo-25MC-C65\r\n>");
  EXPECT_EQ(camera.receive("000\rget\r"), "set 2000\r\nOK\r\n>get\r\n2000\r\n>");
  // A line feed after the CR (a terminal's habit) is not part of the next command.
  EXPECT_EQ(camera.receive("gmn\r\n"), "gmn\r\nKo-25MC-C65\r\n>");
  EXPECT_EQ(camera.receive("get\r"), "get\r\n2000\r\n>");
}

TEST(CameraTest, PrivilegedLevel) {
  sim::Camera camera("Ko-25MC-C65");
  EXPECT_FALSE(camera.privileged());
  EXPECT_NE(camera.receive("aar wrong\r").find("Error"), std::string::npos);
  EXPECT_FALSE(camera.privileged());
  EXPECT_EQ(camera.receive("aar qelmarst\r"), "aar qelmarst\r\nOK\r\n>");
  EXPECT_TRUE(camera.privileged());
  EXPECT_EQ(camera.receive("aar off\r"), "aar off\r\nOK\r\n>");
  EXPECT_FALSE(camera.privileged());
}

TEST(CameraFaultsTest, SilentCameraStillTakesSettings) {
  sim::Camera camera("Ko-25MC-C65");
  camera.setFaults(faultsFrom("silent"));
  EXPECT_EQ(camera.receive("set 3000\rgmn\r"), "");
  EXPECT_EQ(camera.commandsReceived(), 2);
  camera.setFaults({});
  EXPECT_EQ(camera.receive("get\r"), "get\r\n3000\r\n>");
}

TEST(CameraFaultsTest, ErrorAnswersToEveryCommand) {
  sim::Camera camera("Ko-25MC-C65");
  camera.setFaults(faultsFrom("error"));
  for (const char* command : {"gmn", "get", "set 2000", "aar qelmarst"}) {
    std::string answer = camera.receive(std::string(command) + "\r");
    EXPECT_EQ(answer.rfind(std::string(command) + "\r\nError", 0), 0u) << answer;
    EXPECT_EQ(answer.substr(answer.size() - 3), "\r\n>");
    EXPECT_EQ(answer.find("Ko-25MC-C65"), std::string::npos);
  }
}

TEST(CameraFaultsTest, BootingCameraOnlyEchoesFirstCommands) {
  sim::Camera camera("Ko-25MC-C65");
  camera.setFaults(faultsFrom("boot-echo=2"));
  EXPECT_EQ(camera.receive("gmn\r"), "gmn\r\n");
  EXPECT_EQ(camera.receive("gmn\r"), "gmn\r\n");
  EXPECT_EQ(camera.receive("gmn\r"), "gmn\r\nKo-25MC-C65\r\n>");
}

TEST(CameraFaultsTest, BootMessageOnEveryLinkOpening) {
  sim::Camera camera("Ko-25MC-C65");
  EXPECT_EQ(camera.openLink(), "");
  camera.setFaults(faultsFrom("boot-message=Booting..."));
  EXPECT_EQ(camera.openLink(), "Booting...");
  EXPECT_EQ(camera.openLink(), "Booting...");
}

// Catches a link close that comes a command early or late, or a camera that keeps talking.
TEST(CameraFaultsTest, LinkClosesAfterTheNthAnswer) {
  sim::Camera camera("Ko-25MC-C65");
  camera.setFaults(faultsFrom("close-after=2"));
  std::vector<sim::Reply> replies = camera.feed("gmn\rgmn\rgmn\r");
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_FALSE(replies[0].closesLink);
  EXPECT_TRUE(replies[1].closesLink);
  EXPECT_EQ(replies[1].echo + replies[1].answer, "gmn\r\nKo-25MC-C65\r\n>");
  EXPECT_EQ(replies[1].lineEnd, 8u);
  EXPECT_TRUE(camera.linkClosed());
  EXPECT_EQ(camera.receive("gmn\r"), "");

  camera.openLink();
  EXPECT_FALSE(camera.linkClosed());
  EXPECT_EQ(camera.receive("gmn\r"), "gmn\r\nKo-25MC-C65\r\n>");
}

std::string longExchange(sim::Camera& camera) {
  std::string out;
  for (int i = 0; i < 50; ++i)
    out += camera.receive("gmn\r");
  return out;
}

// Lost bytes must repeat from the seed, so a failing test can be run again.
TEST(CameraFaultsTest, DroppedBytesRepeatWithTheSeed) {
  sim::Camera clean("Ko-25MC-C65");
  std::string expected = longExchange(clean);

  sim::Camera first("Ko-25MC-C65"), second("Ko-25MC-C65"), other("Ko-25MC-C65");
  first.setFaults(faultsFrom("drop=0.1,seed=7"));
  second.setFaults(faultsFrom("drop=0.1,seed=7"));
  other.setFaults(faultsFrom("drop=0.1,seed=8"));
  std::string a = longExchange(first), b = longExchange(second), c = longExchange(other);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_LT(a.size(), expected.size() * 95 / 100);
  EXPECT_GT(a.size(), expected.size() * 80 / 100);

  sim::Camera all("Ko-25MC-C65");
  all.setFaults(faultsFrom("drop=1"));
  EXPECT_EQ(longExchange(all), "");
}

TEST(CameraFaultsTest, CorruptedBytesHaveOneBitFlipped) {
  sim::Camera clean("Ko-25MC-C65");
  std::string expected = longExchange(clean);
  sim::Camera camera("Ko-25MC-C65");
  camera.setFaults(faultsFrom("corrupt=0.05,seed=3"));
  std::string got = longExchange(camera);
  ASSERT_EQ(got.size(), expected.size());
  int changed = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    if (got[i] == expected[i])
      continue;
    ++changed;
    EXPECT_EQ(std::bitset<8>(static_cast<unsigned char>(got[i] ^ expected[i])).count(), 1u);
  }
  EXPECT_GT(changed, 0);
  EXPECT_LT(changed, static_cast<int>(got.size()) / 10);
}

} // namespace
