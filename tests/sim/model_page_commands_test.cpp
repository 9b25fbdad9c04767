// What the simulated Ka and Ky cameras answer to the commands of their own pages: column data,
// the column PRNU switch, the Ky lens motors and the ranges of the pages' stems.
#include <gtest/gtest.h>

#include "sim/camera.h"

namespace {

std::string answerTo(sim::Camera& camera, const std::string& command) {
  const std::string reply = camera.receive(command + "\r");
  const std::string echo = command + "\r\n";
  if (reply.rfind(echo, 0) != 0 || reply.size() < echo.size() + 3)
    return "no answer: " + reply;
  return reply.substr(echo.size(), reply.size() - echo.size() - 3);
}

// Would catch saving column data that was never generated reported as done, a switch that
// takes any number, or these commands answered by a camera that has no such data.
TEST(ModelPageCommands, KaColumnDataAndColumnPrnu) {
  sim::Camera ka43("Ka-43M-C40");
  EXPECT_EQ(answerTo(ka43, "spdc"), "Error : no data generated");
  EXPECT_EQ(answerTo(ka43, "gpdc"), "OK");
  EXPECT_EQ(answerTo(ka43, "spdc"), "OK");
  EXPECT_EQ(answerTo(ka43, "gpdc 1"), "Error : wrong number of parameters");
  EXPECT_EQ(answerTo(ka43, "gprnuc"), "0");
  EXPECT_EQ(answerTo(ka43, "sprnuc 1"), "OK");
  EXPECT_EQ(answerTo(ka43, "gprnuc"), "1");
  for (const char* bad : {"sprnuc 2", "sprnuc -1", "sprnuc", "sprnuc x", "sprnuc 1 1"})
    EXPECT_EQ(answerTo(ka43, bad).rfind("Error", 0), 0u) << bad;
  EXPECT_EQ(answerTo(ka43, "gprnuc"), "1");

  // The Ka 47M generates column data but has no column PRNU switch; a Ko camera neither.
  sim::Camera ka47("Ka-47M-M40");
  EXPECT_EQ(answerTo(ka47, "gpdc"), "OK");
  EXPECT_EQ(answerTo(ka47, "sprnuc 1"), "Error : unknown command");
  sim::Camera ko("Ko-25MC-C65");
  EXPECT_EQ(answerTo(ko, "gpdc"), "Error : unknown command");
}

// Would catch a focus move past either end taken, a relative move counted from zero instead
// of the lens's position, or an aperture outside 0 to 100 percent.
TEST(ModelPageCommands, KyLensMotors) {
  sim::Camera ky("Ky-29M-C5");
  EXPECT_EQ(answerTo(ky, "gfp"), "0");
  EXPECT_EQ(answerTo(ky, "mfa 300"), "OK");
  EXPECT_EQ(answerTo(ky, "mfi -50"), "OK");
  EXPECT_EQ(answerTo(ky, "gfp"), "250");
  EXPECT_EQ(answerTo(ky, "mfi -251").rfind("Error", 0), 0u);
  EXPECT_EQ(answerTo(ky, "mfa 1001").rfind("Error", 0), 0u);
  EXPECT_EQ(answerTo(ky, "gfp"), "250");
  EXPECT_EQ(answerTo(ky, "mfl"), "OK");
  EXPECT_EQ(answerTo(ky, "gfp"), "1000");
  EXPECT_EQ(answerTo(ky, "mfi 1").rfind("Error", 0), 0u);
  EXPECT_EQ(answerTo(ky, "mfz"), "OK");
  EXPECT_EQ(answerTo(ky, "gfp"), "0");

  EXPECT_EQ(answerTo(ky, "mpa 40"), "OK");
  EXPECT_EQ(answerTo(ky, "mpi 60"), "OK");
  EXPECT_EQ(answerTo(ky, "mpi 1").rfind("Error", 0), 0u) << "already fully open";
  EXPECT_EQ(answerTo(ky, "mpa 101").rfind("Error", 0), 0u);
  EXPECT_EQ(answerTo(ky, "mpc"), "OK");
  EXPECT_EQ(answerTo(ky, "mpi -1").rfind("Error", 0), 0u) << "already closed";
  EXPECT_EQ(answerTo(ky, "mpo"), "OK");
  EXPECT_EQ(answerTo(ky, "mpo 1").rfind("Error", 0), 0u);
}

// The ranges of the stems the Ka and Ky pages set: both ends taken, one past refused. Would
// catch a switch stem left at the catch-all 0-65535, or a window that may start off the
// sensor or be empty.
TEST(ModelPageCommands, PageStemsKeepPlausibleRanges) {
  struct Case {
    const char* model;
    const char* stem;
    const char* low;
    const char* high;
    const char* beyond;
  };
  const Case cases[] = {
      {"Ka-43M-C40", "g", "1", "16", "16.5"},    {"Ka-43M-C40", "los", "0", "3", "4"},
      {"Ka-43M-C40", "tts", "0", "2", "3"},      {"Ka-43M-C40", "tdu", "1", "10000000", "0"},
      {"Ka-43M-C40", "wx", "0", "7919", "7920"}, {"Ky-29M-C5", "rd", "0", "3", "4"},
      {"Ky-29M-C5", "ea", "0", "2", "3"},        {"Ky-29M-C5", "ss", "0", "3", "4"},
      {"Ky-29M-C5", "fw", "1", "6576", "0"},     {"Ky-29M-C5", "eh", "1", "4384", "0"},
      {"Ky-29M-C5", "pw", "1", "1000000", "0"},  {"Ky-29M-C5", "gu", "0", "24", "24.5"},
      {"Ky-29M-C5", "mc", "0", "1", "2"},
  };
  for (const Case& c : cases) {
    sim::Camera camera(c.model);
    const std::string set = std::string("s") + c.stem + " ";
    EXPECT_EQ(answerTo(camera, set + c.low), "OK") << c.model << " " << set << c.low;
    EXPECT_EQ(answerTo(camera, set + c.high), "OK") << c.model << " " << set << c.high;
    EXPECT_EQ(answerTo(camera, set + c.beyond).rfind("Error", 0), 0u)
        << c.model << " " << set << c.beyond;
  }
}

} // namespace
