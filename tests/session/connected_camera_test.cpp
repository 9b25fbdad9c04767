// The connected camera: the one writer of its cache, and the main window's operations as core
// calls, against a simulated camera on a pseudo-terminal.
#include <chrono>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "session/connected_camera.h"
#include "tests/session/pty_camera_link.h"

using namespace kelpax;

namespace {

class CameraOnPty : public ::testing::Test {
protected:
  void SetUp() override { connect("Ko-4M-M180"); }
  void connect(const std::string& model) {
    link_.reset();
    link_ = std::make_unique<sessiontest::PtyCameraLink>(model, "connected");
    ASSERT_TRUE(link_->opened);
    link_->connected.identify(model);
  }

  std::unique_ptr<sessiontest::PtyCameraLink> link_;
};

// Would catch a cache that misses an accepted answer, takes a refused one, or a call site
// that cannot tell whether its answer changed the cache.
TEST_F(CameraOnPty, OnlyAcceptedAnswersReachTheCacheAndSaySo) {
  const Answer read = link_->connected.query("get");
  EXPECT_TRUE(read.accepted());
  EXPECT_TRUE(read.cached);
  const int32_t before = link_->connected.cacheInt("et");
  EXPECT_GT(before, 0);

  const Answer set = link_->connected.sendCommand("set 2500", {});
  EXPECT_TRUE(set.cached);
  EXPECT_EQ(link_->connected.cacheInt("et"), 2500);

  const Answer refused = link_->connected.sendCommand("set 1", {});
  EXPECT_EQ(refused.result, CommandResult::CameraError);
  EXPECT_FALSE(refused.cached);
  EXPECT_EQ(link_->connected.cacheInt("et"), 2500);

  // The exchange itself writes no cache: only the camera's own calls do.
  EXPECT_TRUE(link_->exchange.SendCommand("set 3000").accepted());
  EXPECT_EQ(link_->connected.cacheInt("et"), 2500);
  // A command naming no cached value is accepted without touching the cache.
  EXPECT_FALSE(link_->connected.query("gmn").cached);
}

// Would catch an operation sending the wrong space, reporting a refusal as success, or the
// cache not following an accepted start-up choice.
TEST_F(CameraOnPty, SpacesStartUpAndHighSpeed) {
  EXPECT_EQ(link_->connected.startupSpace(), -1) << "never read yet";
  EXPECT_FALSE(link_->connected.highSpeed().has_value());
  EXPECT_TRUE(link_->connected.chooseStartupSpace(1).accepted());
  EXPECT_EQ(link_->connected.startupSpace(), 1);
  EXPECT_EQ(link_->exchange.QueryValue("gci"), "1");
  EXPECT_FALSE(link_->connected.chooseStartupSpace(5).accepted());
  EXPECT_EQ(link_->connected.startupSpace(), 1);

  EXPECT_TRUE(link_->connected.sendCommand("set 4321", {}).accepted());
  EXPECT_TRUE(link_->connected.saveSettingSpace(2).accepted());
  EXPECT_TRUE(link_->connected.sendCommand("set 1000", {}).accepted());
  EXPECT_TRUE(link_->connected.loadSettingSpace(2).accepted());
  EXPECT_EQ(link_->exchange.QueryValue("get"), "4321");
  EXPECT_FALSE(link_->connected.loadSettingSpace(9).accepted());

  // Ko cameras have no high speed: refused, and still unknown.
  EXPECT_FALSE(link_->connected.setHighSpeed(true).accepted());
  EXPECT_FALSE(link_->connected.highSpeed().has_value());

  connect("Kn-11M-M40");
  EXPECT_TRUE(link_->connected.setHighSpeed(true).accepted());
  EXPECT_EQ(link_->connected.highSpeed(), true);
  EXPECT_TRUE(link_->connected.setHighSpeed(false).accepted());
  EXPECT_EQ(link_->connected.highSpeed(), false);
}

// Would catch the camera information keeping its echo or prompt, or the temperature read from
// the wrong place of its answer.
TEST_F(CameraOnPty, TemperatureAndCameraInformation) {
  const std::optional<std::string> temperature = link_->connected.readTemperature();
  ASSERT_TRUE(temperature.has_value());
  EXPECT_EQ(temperature->size(), 4u);
  EXPECT_EQ((*temperature)[2], '.');
  const CameraInfo info = link_->connected.readCameraInfo();
  EXPECT_EQ(info.name, "Ko-4M-M180");
  EXPECT_FALSE(info.serialNumber.empty());
  EXPECT_NE(info.fpgaVersion.find('.'), std::string::npos);
  EXPECT_EQ(info.fpgaVersion.find('>'), std::string::npos);
  EXPECT_EQ(link_->connected.askModelName(), "Ko-4M-M180");
}

sim::Faults faultsFrom(const char* text) {
  sim::Faults faults;
  EXPECT_TRUE(sim::parseFaults(text, faults, nullptr)) << text;
  return faults;
}

// Would catch the cache taking a value from an answer that never reached the prompt: half a
// value from a camera that hung up, a line of a flood, noise at a wrong rate.
TEST_F(CameraOnPty, AnswersCutOffBeforeThePromptLeaveTheCacheAlone) {
  for (const char* fault : {"hang-up=1", "flood", "noise"}) {
    connect("Ko-4M-M180");
    ASSERT_TRUE(link_->connected.sendCommand("set 2500", {}).cached);
    link_->camera->setFaults(faultsFrom(fault));
    const Answer read = link_->connected.query("get", {.timeoutMs = 400});
    EXPECT_EQ(read.result, CommandResult::NoAnswer) << fault;
    EXPECT_FALSE(read.text.empty()) << fault << ": the camera did send something";
    EXPECT_FALSE(read.cached) << fault;
    EXPECT_EQ(link_->connected.cacheInt("et"), 2500) << fault;
    EXPECT_FALSE(link_->connected.readTemperature().has_value()) << fault;
  }
}

// Would catch a fill that waits out one time-out per setting of a camera that went quiet, or
// that reports it as read.
TEST_F(CameraOnPty, FillGivesUpOnASilentCameraAfterFiveUnansweredQueries) {
  const size_t settings = link_->connected.parameterCache().size();
  ASSERT_GT(settings, size_t(kUnansweredBeforeLost));
  link_->camera->setFaults(faultsFrom("silent"));
  int notices = 0;
  const auto start = std::chrono::steady_clock::now();
  const CacheFill fill = link_->connected.fillCache({}, [&] { ++notices; });
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_TRUE(fill.cameraLost);
  EXPECT_TRUE(fill.nothingRead);
  EXPECT_EQ(fill.unanswered, kUnansweredBeforeLost);
  EXPECT_EQ(fill.missing, int(settings));
  EXPECT_EQ(notices, 0);
  EXPECT_LT(seconds, kUnansweredBeforeLost * 3.0 + 1.0);
  EXPECT_NE(lostCameraText(fill).find("no answer to 5 queries in a row"), std::string::npos);
}

// Would catch the Camera Info fields keeping the prompt or the echo, or a temperature taken
// from an answer without one.
TEST(CameraAnswers, InfoFieldsAndTemperature) {
  EXPECT_EQ(cameraInfoField("gsn piece\r\n12345\r\n>", 11), "12345");
  EXPECT_EQ(cameraInfoField("gfv\r\n 2.04 \r\n>", 5), "2.04");
  EXPECT_EQ(cameraInfoField("gfv\r\n", 5), "");
  EXPECT_EQ(cameraInfoField("", 5), "");
  EXPECT_EQ(temperatureFrom("gct\r\n42.50\r\n>"), "42.5");
  EXPECT_EQ(temperatureFrom("gct\r\nError\r\n>"), std::nullopt);
}

} // namespace
