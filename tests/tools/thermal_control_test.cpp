// The cooled sensor's commands and the aging log, against a simulated camera.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "../session/pty_camera_link.h"
#include "tools/thermal_control.h"

namespace kelpax {
namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct ScratchFolder {
  ScratchFolder() {
    path = std::filesystem::temp_directory_path() /
           ("kelpax-aging-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path); }
  std::string file(const std::string& name) const { return (path / name).string(); }
  std::filesystem::path path;
};

// Catches an hours/minutes field taken from the wrong division (k/60 not wrapped at 60, or
// seconds counted from 1).
TEST(AgingLogFormat, PassesCountAsSecondsOfElapsedTime) {
  EXPECT_EQ(agingTime(0), "00:00:00");
  EXPECT_EQ(agingTime(59), "00:00:59");
  EXPECT_EQ(agingTime(60), "00:01:00");
  EXPECT_EQ(agingTime(3599), "00:59:59");
  EXPECT_EQ(agingTime(3661), "01:01:01");
  EXPECT_EQ(agingTime(86399), "23:59:59");
  EXPECT_EQ(agingCsvLine({.pass = 3661, .cameraC = 42.5, .sensorC = -3.456, .pwm = 7}),
            "01:01:01,42.50,-3.46,007\n");
}

// Catches a header written on every pass, the two generations' headers swapped, or a log that
// rewrites the file instead of appending to it.
TEST(AgingLogFile, HeaderOnceThenOneLinePerPassAppended) {
  ScratchFolder folder;
  for (auto [generation, header] :
       {std::pair{PeltierGeneration::Classic,
                  "Aging Time,Camera Temperature,CCD Temperature, PWM\n"},
        std::pair{PeltierGeneration::Newer,
                  "Aging Time,Camera Temperature,CCD Temperature,PWM\n"}}) {
    const std::string path =
        folder.file(generation == PeltierGeneration::Classic ? "a.csv" : "b.csv");
    {
      std::ofstream earlier(path);
      earlier << "earlier run\n";
    }
    AgingLog log(path, generation);
    for (int pass = 0; pass < 3; ++pass)
      EXPECT_TRUE(log.append({.pass = pass, .cameraC = 40, .sensorC = 20.0 - pass, .pwm = 90}));
    EXPECT_EQ(readFile(path), std::string("earlier run\n") + header +
                                  "00:00:00,40.00,20.00,090\n00:00:01,40.00,19.00,090\n"
                                  "00:00:02,40.00,18.00,090\n");
  }
}

// Catches a monitor that stops (or crashes) when its file cannot be written: the line is
// skipped, counted, and the next one is tried again.
TEST(AgingLogFile, UnwritableFileSkipsTheLineAndGoesOn) {
  ScratchFolder folder;
  // A file in a folder that does not exist (yet) cannot be opened, whoever runs the test.
  const std::string path = folder.file("later/aging.csv");
  AgingLog log(path, PeltierGeneration::Classic);
  EXPECT_FALSE(log.append({.pass = 0}));
  EXPECT_FALSE(log.append({.pass = 1}));
  EXPECT_EQ(log.linesSkipped(), 2);
  std::filesystem::create_directory(folder.path / "later");
  EXPECT_TRUE(log.append({.pass = 2, .cameraC = 41, .sensorC = 12, .pwm = 3}));
  EXPECT_EQ(readFile(path), "00:00:02,41.00,12.00,003\n");
  EXPECT_EQ(withCsvSuffix("/tmp/run"), "/tmp/run.csv");
  EXPECT_EQ(withCsvSuffix("/tmp/run.csv"), "/tmp/run.csv");
}

class ThermalCamera : public ::testing::Test {
protected:
  void connect(const std::string& model) {
    link = std::make_unique<sessiontest::PtyCameraLink>(model, "thermal");
    link->connected.identify(model);
    ASSERT_EQ(link->connected.fillCache().missing, 0);
  }
  std::unique_ptr<sessiontest::PtyCameraLink> link;
};

// Catches a range check at the wrong bounds (or none): 81 and -11 never reach the camera, the
// bounds themselves do.
TEST_F(ThermalCamera, TargetsOutsideMinus10To80AreNotSent) {
  connect("KnP-16M-M4");
  ThermalControl control(link->connected, PeltierGeneration::Classic);
  const int before = link->camera->commandsReceived();
  EXPECT_FALSE(control.setTarget(81).has_value());
  EXPECT_FALSE(control.setTarget(-11).has_value());
  EXPECT_EQ(link->camera->commandsReceived(), before);
  ASSERT_TRUE(control.setTarget(-10).has_value());
  EXPECT_TRUE(control.setTarget(80)->accepted());
  EXPECT_EQ(control.cachedTarget(), 80.0);
}

// Catches the newer cameras' sensor read not falling back to "gst", or the classic page asking
// "gsnt" at all; and a refused answer read as a temperature of 0.
TEST_F(ThermalCamera, SensorTemperatureOfEachGeneration) {
  connect("Ki-101M-M5");
  ThermalControl newer(link->connected, PeltierGeneration::Newer);
  const std::optional<double> viaGsnt = newer.readSensorTemperature();
  ASSERT_TRUE(viaGsnt.has_value());
  EXPECT_NEAR(*viaGsnt, 35.0, 1.0);

  sim::Faults refusing;
  refusing.errorAnswers = true;
  link->camera->setFaults(refusing);
  EXPECT_FALSE(newer.readSensorTemperature().has_value());
  std::string why;
  EXPECT_FALSE(newer.readSample(0, &why).has_value());
  EXPECT_NE(why.find("gct"), std::string::npos) << why;
}

TEST_F(ThermalCamera, ClassicCameraWithoutGsntStillReadsTheSensor) {
  connect("KnP-16M-M4");
  ThermalControl newer(link->connected, PeltierGeneration::Newer);
  // "gsnt" is refused by this camera; "gst" answers.
  EXPECT_TRUE(newer.readSensorTemperature().has_value());
  ThermalControl classic(link->connected, PeltierGeneration::Classic);
  EXPECT_TRUE(classic.readSensorTemperature().has_value());
  EXPECT_TRUE(classic.readPwm().has_value());
}

// Catches a simulated sensor that ignores the Peltier element or the fan: it cools towards the
// target only with both on, and warms above the housing with the fan stopped.
TEST_F(ThermalCamera, SensorDriftsTowardsTargetWithPeltierAndFan) {
  connect("KnP-16M-M4");
  ThermalControl control(link->connected, PeltierGeneration::Classic);
  ASSERT_TRUE(control.setTarget(5)->accepted());
  ASSERT_TRUE(control.setPeltier(true).accepted());
  ASSERT_TRUE(control.setFan(true).accepted());
  const double start = *control.readSensorTemperature();
  link->camera->advanceClock(15);
  const double later = *control.readSensorTemperature();
  link->camera->advanceClock(120);
  const double settled = *control.readSensorTemperature();
  EXPECT_LT(later, start - 10);
  EXPECT_NEAR(settled, 5.0, 0.5);
  EXPECT_GT(*control.readPwm(), 0);

  ASSERT_TRUE(control.setFan(false).accepted());
  link->camera->advanceClock(600);
  EXPECT_GT(*control.readSensorTemperature(), 42.5);
  ASSERT_TRUE(control.setPeltier(false).accepted());
  EXPECT_EQ(*control.readPwm(), 0);
  EXPECT_EQ(control.peltierOn(), false);
}

} // namespace
} // namespace kelpax
