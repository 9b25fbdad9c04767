// The nano-stage's voltages, commands and long runs, against a scripted host and against the
// simulated stage.
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include <gtest/gtest.h>

#include "../session/pty_camera_link.h"
#include "tools/stage_control.h"

namespace kelpax {
namespace {

// Answers as scripted; records every command.
class ScriptedHost : public PageHost {
public:
  Answer sendCommand(std::string_view command, ExchangeOptions) override {
    sent.emplace_back(command);
    Answer answer;
    auto it = answers.find(std::string(command));
    if (it == answers.end()) {
      answer.result = CommandResult::CameraError;
      answer.text = std::string(command) + "\r\nError : unknown command\r\n>";
    } else {
      answer.result = CommandResult::Ok;
      answer.text = std::string(command) + "\r\n" + it->second + "\r\n>";
    }
    return answer;
  }
  const ParameterCache& parameterCache() const override { return cache; }
  const ModelDescriptor& modelDescriptor() const override { return model; }
  std::map<std::string, std::string> answers;
  std::vector<std::string> sent;
  ParameterCache cache;
  ModelDescriptor model;
};

// Catches a decoding that swaps the halves, forgets the 160 V limit or the -22.34 V offset, or
// reads a damaged answer as voltages.
TEST(PztVoltageWord, DecodesBothAxes) {
  const std::optional<PztVoltages> top = decodePztVoltages("FFFF0000");
  ASSERT_TRUE(top.has_value());
  EXPECT_DOUBLE_EQ(top->x, 160.0);
  EXPECT_NEAR(top->y, -22.34, 1e-9);
  const std::optional<PztVoltages> spaced = decodePztVoltages("0x0A2C 0B96");
  ASSERT_TRUE(spaced.has_value());
  EXPECT_NEAR(spaced->x, 0x0A2C * 0.010975 - 22.34, 1e-9);
  EXPECT_NEAR(spaced->y, 0x0B96 * 0.010975 - 22.34, 1e-9);
  for (const char* bad : {"", "0x", "Error", "12345678A", "12G4", "-1"})
    EXPECT_FALSE(decodePztVoltages(bad).has_value()) << bad;
}

// Catches a fall-back that never happens, or that is asked again on every reading once "gpv"
// failed, and an "Error" answer read as a voltage word.
TEST(PztVoltageRead, FallsBackToTheFpgaRegisterAndRemembers) {
  ScriptedHost host;
  host.answers["rfpga 0x49"] = "0x0A2C0B96";
  StageControl stage(host);
  ASSERT_TRUE(stage.readPztVoltages().has_value());
  ASSERT_TRUE(stage.readPztVoltages().has_value());
  EXPECT_EQ(host.sent, (std::vector<std::string>{"gpv", "rfpga 0x49", "rfpga 0x49"}));
  EXPECT_TRUE(stage.usesFpgaRegister());
  host.answers["rfpga 0x49"] = "Error : busy";
  EXPECT_FALSE(stage.readPztVoltages().has_value());
}

// Catches ranges checked at the wrong bounds or not at all: none of these reaches the camera.
TEST(StageCommands, ValuesOutsideTheirRangesAreNotSent) {
  ScriptedHost host;
  StageControl stage(host);
  EXPECT_FALSE(stage.setPosition(0, 30001));
  EXPECT_FALSE(stage.setPosition(1, -1));
  EXPECT_FALSE(stage.setDac(0, 65536));
  EXPECT_FALSE(stage.setPot(1, 256));
  EXPECT_FALSE(stage.setPot(1, -1));
  EXPECT_FALSE(stage.setGain(0, 0.0005));
  EXPECT_FALSE(stage.setGain(1, 10.0001));
  EXPECT_FALSE(stage.setDrivingRate(0));
  EXPECT_FALSE(stage.setDrivingRate(101));
  EXPECT_TRUE(host.sent.empty());
  host.answers["snp x 30000"] = "OK";
  host.answers["spg y 0.0005"] = "OK";
  EXPECT_TRUE(stage.setPosition(0, 30000)->accepted());
  EXPECT_TRUE(stage.setGain(1, 0.0005)->accepted());
}

class SimulatedStage : public ::testing::Test {
protected:
  void SetUp() override {
    link = std::make_unique<sessiontest::PtyCameraLink>("KnP-16M-M4", "stage");
    link->connected.identify("KnP-16M-M4");
    ASSERT_EQ(link->connected.fillCache().missing, 0);
    ASSERT_TRUE(stage.openPrivileged().accepted());
  }
  std::unique_ptr<sessiontest::PtyCameraLink> link;

  // Forwards to the connected camera once the link exists.
  struct Proxy : PageHost {
    SimulatedStage* owner;
    explicit Proxy(SimulatedStage* o) : owner(o) {}
    Answer sendCommand(std::string_view command, ExchangeOptions options) override {
      return owner->link->connected.sendCommand(command, options);
    }
    const ParameterCache& parameterCache() const override {
      return owner->link->connected.parameterCache();
    }
    const ModelDescriptor& modelDescriptor() const override {
      return owner->link->connected.modelDescriptor();
    }
  } hostProxy{this};
  StageControl stage{hostProxy};

  AutoZero::State runAutoZero(AutoZero& zero) {
    if (zero.start() != AutoZero::State::Running)
      return zero.state();
    for (int i = 0; i < 600 && zero.step() == AutoZero::State::Running; ++i) {
    }
    return zero.state();
  }
};

// The stage's drive voltage follows the position: catches a simulated stage (or a decoding)
// whose voltage ignores the move.
TEST_F(SimulatedStage, VoltageFollowsThePosition) {
  ASSERT_TRUE(stage.moveBoth(0, 0).accepted());
  const PztVoltages at0 = *stage.readPztVoltages();
  ASSERT_TRUE(stage.moveBoth(20000, 10000).accepted());
  const PztVoltages moved = *stage.readPztVoltages();
  EXPECT_NEAR(moved.x - at0.x, 100.0, 0.2);
  EXPECT_NEAR(moved.y - at0.y, 50.0, 0.2);
  EXPECT_FALSE(stage.usesFpgaRegister());
}

// Auto zero from a POT far off the trimmed value walks the POT step by step until the voltage
// lies between 3 and 7 V. Catches a walk in the wrong direction (it would run into a limit).
TEST_F(SimulatedStage, AutoZeroConvergesFromAFarPot) {
  ASSERT_TRUE(stage.setPot(0, 20)->accepted());
  ASSERT_TRUE(stage.setPot(1, 250)->accepted());
  for (int axis = 0; axis < 2; ++axis) {
    AutoZero zero(stage, axis);
    EXPECT_EQ(runAutoZero(zero), AutoZero::State::Converged) << zero.message();
    EXPECT_EQ(zero.message(), "OK");
    EXPECT_GT(zero.steps(), 50);
    EXPECT_GE(zero.lastVolts(), 3.0);
    EXPECT_LE(zero.lastVolts(), 7.0);
    EXPECT_EQ(stage.readPot(axis), zero.pot());
  }
}

// A POT already at 255 with the voltage above 7 V cannot go further: "Error : Over range", and
// no POT of 256 is sent.
TEST_F(SimulatedStage, AutoZeroAtPot255GoesOverRange) {
  ASSERT_TRUE(stage.setPot(0, 255)->accepted());
  ASSERT_TRUE(stage.setPosition(0, 20000)->accepted());
  AutoZero zero(stage, 0);
  EXPECT_EQ(runAutoZero(zero), AutoZero::State::OverRange);
  EXPECT_EQ(zero.message(), "Error : Over range");
  EXPECT_EQ(stage.readPot(0), 255);
}

// The whole stage check on a zeroed stage: every verdict OK and the report's fixed lines in
// place. Catches a report that loses a block or a limit that fails a sound stage.
TEST_F(SimulatedStage, StageCheckOfAZeroedStagePasses) {
  for (int axis = 0; axis < 2; ++axis) {
    AutoZero zero(stage, axis);
    ASSERT_EQ(runAutoZero(zero), AutoZero::State::Converged);
  }
  StageCheck check(stage);
  int steps = 0;
  while (check.step())
    ++steps;
  EXPECT_FALSE(check.failed()) << check.failure();
  EXPECT_EQ(check.percent(), 100);
  EXPECT_EQ(check.faults(), 0) << check.report();
  const std::string report = check.report();
  for (const char* line :
       {"Stage Check \n---------------------------------------------------------------------\n",
        "Stage Reset            \t:OK\n", "X Position Setting Value: 5000 \t:OK\n",
        "Y Position Setting Value: 5000 \t:OK\n", "X Stage Ripple Voltage: 0 V \t:OK\n",
        "PG : \tX 1.0000 \t Y 1.0000\n", "RCF : \t X 12 \t Y 14\n",
        "Postion Setting  \t X-Volt \t X-Noise  \t Y-Volt \t Y-Noise \n",
        "(Stage Driving Time + Serial Communication Time + Latency)\n"})
    EXPECT_NE(report.find(line), std::string::npos) << line << "\nin\n" << report;
  EXPECT_TRUE(std::regex_search(report, std::regex("X PZT Voltage : [3-6]\\.\\d\\d \t:OK\n")))
      << report;
  EXPECT_TRUE(std::regex_search(report, std::regex("30000 nm\t 1[45]\\d\\.\\d\\d V\t \\d+ mV")))
      << report;
  EXPECT_TRUE(std::regex_search(
      report, std::regex("POT Test : X : 0\\.[78]\\d V/LSB \t Y : 0\\.[78]\\d V/LSB")))
      << report;
}

// An untrimmed stage fails its zero-voltage lines; a camera that starts refusing halfway stops
// the check with its reason, keeping what was measured.
TEST_F(SimulatedStage, StageCheckReportsFaultsAndStopsOnRefusal) {
  {
    StageCheck check(stage);
    while (check.step()) {
    }
    EXPECT_TRUE(
        std::regex_search(check.report(), std::regex("X PZT Voltage : 14\\.\\d\\d \t:Faild\n")))
        << check.report();
    EXPECT_NE(check.report().find("\t:Faild\n"), std::string::npos);
    EXPECT_GT(check.faults(), 0);
  }
  StageCheck check(stage);
  for (int i = 0; i < 4; ++i)
    ASSERT_TRUE(check.step());
  sim::Faults refusing;
  refusing.errorAnswers = true;
  link->camera->setFaults(refusing);
  while (check.step()) {
  }
  EXPECT_TRUE(check.failed());
  EXPECT_LT(check.percent(), 100);
  const std::string report = check.report();
  EXPECT_NE(report.find("Stage Reset            \t:OK\n"), std::string::npos);
  EXPECT_NE(report.find("\nStage Check stopped: "), std::string::npos) << report;
}

// Catches an aging log that misses lines, writes a wrong time column, or keeps going after a
// refusal; the lines before the refusal stay whole.
TEST_F(SimulatedStage, AgingLogOneLinePerStepAndStopsOnRefusal) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("kelpax-stage-aging-" + std::to_string(getpid()) + ".csv"))
                               .string();
  std::filesystem::remove(path);
  {
    StageAging aging(stage, path, 1);
    while (aging.step()) {
    }
    EXPECT_FALSE(aging.failed()) << aging.failure();
    EXPECT_EQ(aging.count(), 7);
    EXPECT_EQ(aging.percent(), 100);
  }
  StageAging more(stage, path);
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(more.step());
  sim::Faults refusing;
  refusing.errorAnswers = true;
  link->camera->setFaults(refusing);
  EXPECT_FALSE(more.step());
  EXPECT_TRUE(more.failed());
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  ASSERT_EQ(lines.size(), 10u);
  const std::regex shape("000:00:0\\d\t\\d+\t(\\d+)\t\\1\t-?\\d+\\.\\d\\d\t-?\\d+\\.\\d\\d");
  for (const std::string& line : lines)
    EXPECT_TRUE(std::regex_match(line, shape)) << line;
  EXPECT_EQ(lines[6].substr(lines[6].find('\t') + 1, 9), "7\t30000\t3");
  EXPECT_EQ(StageAging::elapsedText(3661), "001:01:01\t");
  std::filesystem::remove(path);
}

TEST_F(SimulatedStage, SetupTimeIsTheTimeOfOneMove) {
  const std::optional<double> ms = stage.setupTimeMs(5);
  ASSERT_TRUE(ms.has_value());
  EXPECT_GT(*ms, 0.0);
  EXPECT_LT(*ms, 300.0);
  sim::Faults refusing;
  refusing.errorAnswers = true;
  link->camera->setFaults(refusing);
  EXPECT_FALSE(stage.setupTimeMs(5).has_value());
}

} // namespace
} // namespace kelpax
