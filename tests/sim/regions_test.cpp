// The simulated cameras' region tables: which commands each kind answers and what it refuses.
#include <gtest/gtest.h>

#include "sim/camera.h"
#include "sim/faults.h"

namespace {

std::string answerOf(sim::Camera& camera, const std::string& command) {
  const std::string out = camera.receive(command + "\r");
  // Echo line, answer line, prompt: the answer is the middle line.
  const size_t start = out.find("\r\n") + 2;
  return out.substr(start, out.find("\r\n", start) - start);
}

} // namespace

// Would catch a camera that lets a region leave the sensor, switches its first region off,
// selects a region past its table, or keeps a width per region where the width is shared.
TEST(SimRegions, SharedWidthCameraRefusesWhatACameraWould) {
  sim::Camera camera("Ko-25MC-C65");
  ASSERT_EQ(camera.regions().count(), 8);
  EXPECT_EQ(answerOf(camera, "groi"), "0 0 5120 5120");
  EXPECT_EQ(answerOf(camera, "grc"), "1");
  EXPECT_EQ(answerOf(camera, "src 0"), "Error : region 0 cannot be disabled");
  EXPECT_EQ(answerOf(camera, "srs 8"), "Error : region out of range");
  EXPECT_EQ(answerOf(camera, "srs 32"), "Error : region out of range");
  EXPECT_EQ(answerOf(camera, "gra"), "Error : unknown command");

  EXPECT_EQ(answerOf(camera, "sox 1"), "Error : region outside the sensor");
  EXPECT_EQ(answerOf(camera, "siw 1000"), "OK");
  EXPECT_EQ(answerOf(camera, "sox 4120"), "OK");
  EXPECT_EQ(answerOf(camera, "siw 1001"), "Error : region outside the sensor");
  EXPECT_EQ(answerOf(camera, "srs 7"), "OK");
  EXPECT_EQ(answerOf(camera, "giw"), "1000");
  EXPECT_EQ(answerOf(camera, "sox 4200"), "Error : region outside the sensor");
  EXPECT_EQ(answerOf(camera, "src 1"), "OK");
  EXPECT_EQ(answerOf(camera, "grs"), "7");
  EXPECT_EQ(camera.regions().region(0).x, 4120);
  EXPECT_TRUE(camera.regions().region(7).on);
}

// Would catch the 4M C2 and 50M cameras sharing a width or taking an enable other than 0 or 1.
TEST(SimRegions, OwnWidthCamerasTellTheirCount) {
  for (const char* model : {"Ko-50M-C5", "Ko-4M-C80"}) {
    SCOPED_TRACE(model);
    sim::Camera camera(model);
    EXPECT_EQ(answerOf(camera, "gra"), "16");
    EXPECT_EQ(answerOf(camera, "srs 3"), "OK");
    EXPECT_EQ(answerOf(camera, "srw 100"), "OK");
    EXPECT_EQ(answerOf(camera, "srs 4"), "OK");
    EXPECT_NE(answerOf(camera, "grw"), "100");
    EXPECT_EQ(answerOf(camera, "src 2"), "Error : invalid parameter");
  }
  sim::Camera plain("Ka-47M-M40");
  EXPECT_EQ(plain.regions().count(), 0);
}

// The fault that refuses one command: that command is not carried out, the next ones are.
TEST(SimRegions, RefusedCommandIsNotCarriedOut) {
  sim::Camera camera("Ko-25MC-C65");
  sim::Faults faults;
  ASSERT_TRUE(sim::parseFaults("refuse-at=2", faults, nullptr));
  camera.setFaults(faults);
  EXPECT_EQ(answerOf(camera, "srs 1"), "OK");
  EXPECT_EQ(answerOf(camera, "src 1"), "Error : command refused");
  EXPECT_EQ(answerOf(camera, "grc"), "0");
  EXPECT_EQ(answerOf(camera, "src 1"), "OK");
  EXPECT_TRUE(camera.regions().region(1).on);
}

// The window of the image pages' "ROI Selection": at least one pixel, starting on the sensor.
// Would catch a camera taking an empty window or one starting past the last column.
TEST(SimRegions, ImageWindowIsNeverEmpty) {
  sim::Camera camera("Ka-47M-M40");
  const int width = std::stoi(answerOf(camera, "gww")); // the whole sensor at power-up
  ASSERT_GT(width, 1);
  EXPECT_NE(answerOf(camera, "sww 0"), "OK");
  EXPECT_NE(answerOf(camera, "swh 0"), "OK");
  EXPECT_EQ(answerOf(camera, "sww 1"), "OK");
  EXPECT_EQ(answerOf(camera, "sww " + std::to_string(width)), "OK");
  EXPECT_EQ(answerOf(camera, "swx " + std::to_string(width - 1)), "OK");
  EXPECT_NE(answerOf(camera, "swx " + std::to_string(width)), "OK");
}
