// The port layer and command exchange against the camera simulator: on a pseudo-terminal
// and behind the simulated Camera Link serial library found by the library search.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "link/command_exchange.h"
#include "link/port_search.h"
#include "sim/pty_camera.h"

using namespace kelpax;
using namespace std::chrono_literals;

namespace {

std::string linkName(const char* tag) {
  return "/tmp/kelpax-test-" + std::to_string(getpid()) + "-" + tag;
}

std::unique_ptr<sim::PtyCamera> startCamera(const char* tag, const std::string& faults = {},
                                            int baud = 115200, bool pacing = false) {
  sim::PtyOptions options;
  options.model = "Ko-25MC-C65";
  options.linkPath = linkName(tag);
  options.baud = baud;
  options.pacing = pacing;
  std::string error;
  EXPECT_TRUE(sim::parseFaults(faults, options.faults, &error)) << error;
  auto camera = std::make_unique<sim::PtyCamera>(options);
  EXPECT_TRUE(camera->start(&error)) << error;
  return camera;
}

struct StatusRecorder : StatusLine {
  void showStatus(const std::string& text) override { last = text; }
  std::string last;
};

struct TerminalRecorder : TerminalSink {
  void appendReceived(const std::string& text) override { received += text; }
  std::string received;
};

struct PtyLink {
  PtyLink(const std::string& path, unsigned baud) : exchange(port) {
    PortEntry entry;
    entry.portName = path;
    port.addPort(entry);
    opened = port.OpenPort(0, baud);
    exchange.setStatusLine(&status);
  }
  CameraPort port;
  CommandExchange exchange;
  StatusRecorder status;
  int opened = -1;
};

} // namespace

TEST(SimPty, IdentifiesAndSetsValues) {
  auto camera = startCamera("ident");
  PtyLink link(camera->linkPath(), 16);
  ASSERT_EQ(link.opened, 0);
  EXPECT_EQ(link.exchange.QueryValue("gmn"), "Ko-25MC-C65");
  EXPECT_FALSE(link.exchange.QueryValue("gsn piece").empty());
  EXPECT_TRUE(link.exchange.SendCommand("set 2500", {.timeoutMs = 3000, .shown = true}).accepted());
  EXPECT_EQ(link.exchange.QueryValue("get"), "2500");
  // A refused value leaves the camera's value and says why.
  EXPECT_FALSE(link.exchange.SendCommand("set 0", {.timeoutMs = 3000, .shown = true}).accepted());
  EXPECT_EQ(link.status.last.rfind("Error", 0), 0u);
  EXPECT_EQ(link.exchange.QueryValue("get"), "2500");
}

// Would catch a wrong baud mapping: at a rate the camera does not use, nothing is understood.
TEST(SimPty, WrongRateGetsNoAnswer) {
  auto camera = startCamera("rate", "", 9600);
  {
    PtyLink wrong(camera->linkPath(), 16);
    ASSERT_EQ(wrong.opened, 0);
    EXPECT_EQ(wrong.exchange.Query("gmn", {.timeoutMs = 300}).text, "");
  }
  PtyLink right(camera->linkPath(), 1);
  EXPECT_EQ(right.exchange.QueryValue("gmn"), "Ko-25MC-C65");
}

TEST(SimPty, BootMessageReachesTheTerminalUnasked) {
  auto camera = startCamera("boot", "boot-message=Booting camera\\r\\n");
  PtyLink link(camera->linkPath(), 16);
  TerminalRecorder terminal;
  TerminalRelay relay(link.exchange, terminal);
  link.exchange.setAnswerHandler(&relay);
  for (int i = 0; i < 20 && terminal.received.empty(); ++i) {
    link.exchange.idlePoll();
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(terminal.received, "Booting camera\r\n");
}

TEST(SimPty, EchoOnlyWhileBootingThenAnswers) {
  auto camera = startCamera("echo", "boot-echo=1");
  PtyLink link(camera->linkPath(), 16);
  EXPECT_EQ(link.exchange.Query("gmn", {.timeoutMs = 200}).text, "gmn\r\n");
  EXPECT_EQ(link.exchange.QueryValue("gmn"), "Ko-25MC-C65");
}

TEST(SimPty, ErrorAnswersAreRefusals) {
  auto camera = startCamera("error", "error");
  PtyLink link(camera->linkPath(), 16);
  const Answer sent114 = link.exchange.SendCommand("set 1000", {.timeoutMs = 3000, .shown = true});
  EXPECT_FALSE(sent114.accepted());
  EXPECT_EQ(sent114.result, CommandResult::CameraError);
  EXPECT_TRUE(link.exchange.linkAlive());
}

// Corrupted and lost bytes must never crash the exchange; each command still ends.
TEST(SimPty, NoisyLineNeverHangs) {
  auto camera = startCamera("noise", "drop=0.2,corrupt=0.2,seed=3");
  PtyLink link(camera->linkPath(), 16);
  for (int i = 0; i < 20; ++i) {
    link.exchange.SendCommand("set 1000", {.timeoutMs = 100, .shown = true});
    EXPECT_FALSE(link.exchange.waitBusy());
  }
}

// The camera drops the link after one command: the next one reports the lost connection.
TEST(SimPty, LinkClosingMidSession) {
  auto camera = startCamera("close", "close-after=1");
  PtyLink link(camera->linkPath(), 16);
  EXPECT_TRUE(link.exchange.SendCommand("set 1000", {.timeoutMs = 3000, .shown = true}).accepted());
  for (int i = 0; i < 100 && !camera->linkDropped(); ++i) {
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_TRUE(camera->linkDropped());
  EXPECT_FALSE(link.exchange.SendCommand("set 2000", {.timeoutMs = 300, .shown = true}).accepted());
  EXPECT_EQ(link.status.last, "Camera connection error!");
  EXPECT_FALSE(link.exchange.linkAlive());
}

class SimClser : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("KELPAX_SIM_CAMERAS", "Ko-25MC-C65,Ka-47M-M40", 1);
    setenv("KELPAX_SIM_PACING", "0", 1);
    setenv("KELPAX_SIM_BAUD", "115200", 1);
    unsetenv("KELPAX_SIM_FAULTS");
    folder_ = std::filesystem::path(CLSERSIM_PATH).parent_path().string();
    setenv("CLSERIALPATH", ("/nonexistent:" + folder_).c_str(), 1);
    // The library reads its environment again after a reset.
    void* handle = dlopen(CLSERSIM_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr);
    auto reset = reinterpret_cast<void (*)()>(dlsym(handle, "clsersimReset"));
    ASSERT_NE(reset, nullptr);
    reset();
  }
  std::string folder_;
};

// The search finds the simulated library through CLSERIALPATH and lists its cameras.
TEST_F(SimClser, SearchFindsSimulatedCameras) {
  const auto folders = clserSearchFolders();
  EXPECT_EQ(folders.back(), folder_);
  EXPECT_EQ(std::count(folders.begin(), folders.end(), folder_), 1);
  const auto libraries = findClserLibraries(folders);
  const auto sim = std::find(libraries.begin(), libraries.end(), std::string(CLSERSIM_PATH));
  ASSERT_NE(sim, libraries.end());

  CameraPort port;
  EXPECT_EQ(EnumClserPorts(port, {CLSERSIM_PATH}), 2);
  EXPECT_EQ(port.ports()[0].maker, "Unknown"); // "sim" is not a frame-grabber maker
  EXPECT_NE(port.ports()[0].portName.find("Ko-25MC-C65"), std::string::npos);
  EXPECT_EQ(port.ports()[1].portIndex, 1u);

  CommandExchange exchange(port);
  ASSERT_EQ(port.OpenPort(1, 16), 0);
  EXPECT_EQ(exchange.QueryValue("gmn"), "Ka-47M-M40");
  EXPECT_TRUE(exchange.SendCommand("stm 1", {.timeoutMs = 3000}).accepted());
  EXPECT_EQ(exchange.QueryValue("gtm"), "1");
  port.ClosePort();
}

// A library without clFlushPort and clSetBaudRate still opens at its own rate.
TEST_F(SimClser, LibraryWithoutRateControlStillOpens) {
  const std::string path = CLSERSIM_NOBAUD_PATH;
  // The camera listens at the library's own default rate, the only one it can use.
  setenv("KELPAX_SIM_BAUD", "9600", 1);
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr);
  reinterpret_cast<void (*)()>(dlsym(handle, "clsersimReset"))();
  CameraPort port;
  const int bits = port.LoadClserLibrary(path);
  EXPECT_EQ(bits & (kHasFlushPort | kHasSetBaudRate), 0);
  PortEntry entry;
  entry.isLibrary = 1;
  entry.libraryPath = path;
  port.addPort(entry);
  ASSERT_EQ(port.OpenPort(0, 16), 0);
  CommandExchange exchange(port);
  EXPECT_EQ(exchange.QueryValue("gmn"), "Ko-25MC-C65");
}

TEST_F(SimClser, SecondOpenOfAPortIsRefused) {
  CameraPort first, second;
  PortEntry entry;
  entry.isLibrary = 1;
  entry.libraryPath = CLSERSIM_PATH;
  first.addPort(entry);
  second.addPort(entry);
  ASSERT_EQ(first.OpenPort(0, 16), 0);
  EXPECT_EQ(second.OpenPort(0, 16), -10003);
  EXPECT_FALSE(second.isOpen());
}
