// The camera on a real pseudo-terminal, reached through its link as the program would.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "sim/pty_camera.h"
#include "sim/tty_rate.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string uniqueLinkPath() {
  static int counter = 0;
  return "/tmp/kelpax-simtest-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

// The PC's end of the link: raw 8N1 at a chosen rate.
class PcPort {
public:
  PcPort(const std::string& path, int baud) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0)
      return;
    struct termios tio {};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd_, TCSANOW, &tio);
    if (baud > 0)
      sim::setTtyBaud(fd_, baud);
  }
  ~PcPort() {
    if (fd_ >= 0)
      close(fd_);
  }
  PcPort(const PcPort&) = delete;
  PcPort& operator=(const PcPort&) = delete;

  int fd() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }

  bool send(const std::string& bytes) {
    return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Reads until the prompt or the time-out.
  std::string readAnswer(std::chrono::milliseconds timeout = 2000ms) {
    return readFor(timeout, '>');
  }

  // Everything that comes within the time (or up to and including stop).
  std::string readFor(std::chrono::milliseconds timeout, int stop = -1) {
    std::string out;
    Clock::time_point deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      struct pollfd pfd {
        fd_, POLLIN, 0
      };
      if (poll(&pfd, 1, static_cast<int>(left.count()) + 1) <= 0)
        break;
      char buffer[256];
      ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0)
        break;
      out.append(buffer, static_cast<size_t>(n));
      if (stop >= 0 && out.find(static_cast<char>(stop)) != std::string::npos)
        break;
    }
    return out;
  }

private:
  int fd_ = -1;
};

struct ServedCamera {
  explicit ServedCamera(sim::PtyOptions options) : camera(withLink(std::move(options))) {
    std::string error;
    started = camera.start(&error);
    EXPECT_TRUE(started) << error;
  }
  static sim::PtyOptions withLink(sim::PtyOptions options) {
    options.linkPath = uniqueLinkPath();
    if (options.model.empty())
      options.model = "Ko-25MC-C65";
    return options;
  }
  sim::PtyCamera camera;
  bool started = false;
};

sim::PtyOptions unpaced(int baud = 115200) {
  sim::PtyOptions options;
  options.baud = baud;
  options.pacing = false;
  return options;
}

TEST(PtyCameraTest, AnswersThroughTheLink) {
  ServedCamera served(unpaced());
  ASSERT_TRUE(served.started);
  EXPECT_EQ(std::filesystem::read_symlink(served.camera.linkPath()), served.camera.slavePath());
  PcPort pc(served.camera.linkPath(), 115200);
  ASSERT_TRUE(pc.isOpen());
  ASSERT_TRUE(pc.send("gmn\r"));
  EXPECT_EQ(pc.readAnswer(), "gmn\r\nKo-25MC-C65\r\n>");
  ASSERT_TRUE(pc.send("sag 9999\r"));
  EXPECT_EQ(pc.readAnswer(), "sag 9999\r\nError : value out of range\r\n>");
  EXPECT_EQ(served.camera.commandsReceived(), 2);
}

// Catches answers that come faster than the line could carry them.
TEST(PtyCameraTest, PacedAnswerTakesAtLeastItsWireTime) {
  sim::PtyOptions options;
  options.baud = 9600;
  ServedCamera served(options);
  ASSERT_TRUE(served.started);
  PcPort pc(served.camera.linkPath(), 9600);
  ASSERT_TRUE(pc.isOpen());
  Clock::time_point sent = Clock::now();
  ASSERT_TRUE(pc.send("gmn\r"));
  std::string answer = pc.readAnswer();
  auto elapsed = Clock::now() - sent;
  ASSERT_EQ(answer, "gmn\r\nKo-25MC-C65\r\n>");
  // 4 bytes there, 19 back, 10 bits each at 9600: 24 ms at the least.
  EXPECT_GE(elapsed, std::chrono::microseconds((4 + 19) * 10 * 1'000'000 / 9600));
}

// A PC at the wrong rate gets nothing back; at the right rate on the same terminal it does,
// so the silence is the rate's doing.
TEST(PtyCameraTest, WrongRateOnTheSlaveGetsNoAnswer) {
  ServedCamera served(unpaced(115200));
  ASSERT_TRUE(served.started);
  PcPort pc(served.camera.linkPath(), 0);
  ASSERT_TRUE(pc.isOpen());
  struct termios tio {};
  ASSERT_EQ(tcgetattr(pc.fd(), &tio), 0);
  cfsetispeed(&tio, B9600);
  cfsetospeed(&tio, B9600);
  ASSERT_EQ(tcsetattr(pc.fd(), TCSANOW, &tio), 0);
  ASSERT_TRUE(pc.send("gmn\r"));
  EXPECT_EQ(pc.readFor(300ms), "");
  EXPECT_EQ(served.camera.commandsReceived(), 0);

  cfsetispeed(&tio, B115200);
  cfsetospeed(&tio, B115200);
  ASSERT_EQ(tcsetattr(pc.fd(), TCSANOW, &tio), 0);
  ASSERT_TRUE(pc.send("gmn\r"));
  EXPECT_EQ(pc.readAnswer(), "gmn\r\nKo-25MC-C65\r\n>");
}

// 56000 has no Bxxxx code: the camera must read the slave's rate, not just the code.
TEST(PtyCameraTest, RateWithoutACodeIsRecognised) {
  ServedCamera served(unpaced(56000));
  ASSERT_TRUE(served.started);
  {
    PcPort pc(served.camera.linkPath(), 57600);
    ASSERT_TRUE(pc.send("gmn\r"));
    EXPECT_EQ(pc.readFor(300ms), "");
  }
  PcPort pc(served.camera.linkPath(), 56000);
  ASSERT_EQ(sim::ttyBaud(pc.fd()), 56000);
  ASSERT_TRUE(pc.send("gmn\r"));
  EXPECT_EQ(pc.readAnswer(), "gmn\r\nKo-25MC-C65\r\n>");
}

// Catches a server that stops answering once the PC closes its port (a master hang-up).
TEST(PtyCameraTest, PcCanCloseAndReopenThePort) {
  ServedCamera served(unpaced());
  ASSERT_TRUE(served.started);
  for (int round = 0; round < 3; ++round) {
    PcPort pc(served.camera.linkPath(), 115200);
    ASSERT_TRUE(pc.isOpen());
    ASSERT_TRUE(pc.send("gmn\r"));
    EXPECT_EQ(pc.readAnswer(), "gmn\r\nKo-25MC-C65\r\n>") << "round " << round;
  }
}

TEST(PtyCameraTest, BootMessageWaitsInTheTerminal) {
  sim::PtyOptions options = unpaced();
  ASSERT_TRUE(sim::parseFaults("boot-message=Booting...", options.faults, nullptr));
  ServedCamera served(options);
  ASSERT_TRUE(served.started);
  PcPort pc(served.camera.linkPath(), 115200);
  EXPECT_EQ(pc.readFor(300ms), "Booting...");
}

TEST(PtyCameraTest, FaultsChangeWhileServing) {
  ServedCamera served(unpaced());
  ASSERT_TRUE(served.started);
  PcPort pc(served.camera.linkPath(), 115200);
  sim::Faults silent;
  silent.silent = true;
  served.camera.setFaults(silent);
  ASSERT_TRUE(pc.send("set 2000\r"));
  EXPECT_EQ(pc.readFor(300ms), "");
  served.camera.setFaults({});
  ASSERT_TRUE(pc.send("get\r"));
  EXPECT_EQ(pc.readAnswer(), "get\r\n2000\r\n>");
}

// After the camera drops the link the PC's port is dead and the link is gone.
TEST(PtyCameraTest, DroppedLinkFailsThePcAndRemovesTheLink) {
  sim::PtyOptions options = unpaced();
  ASSERT_TRUE(sim::parseFaults("close-after=2", options.faults, nullptr));
  ServedCamera served(options);
  ASSERT_TRUE(served.started);
  PcPort pc(served.camera.linkPath(), 115200);
  ASSERT_TRUE(pc.send("gmn\r"));
  EXPECT_EQ(pc.readAnswer(), "gmn\r\nKo-25MC-C65\r\n>");
  ASSERT_TRUE(pc.send("get\r"));
  EXPECT_EQ(pc.readAnswer(), "get\r\n1000\r\n>");

  Clock::time_point deadline = Clock::now() + 2s;
  while (!served.camera.linkDropped() && Clock::now() < deadline)
    std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(served.camera.linkDropped());
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(served.camera.linkPath())));

  char byte = 0;
  EXPECT_LE(read(pc.fd(), &byte, 1), 0); // end of file or EIO: the far end has hung up
  EXPECT_FALSE(pc.send("gmn\r"));
}

TEST(PtyCameraTest, StopRemovesTheLinkAndLeavesOtherFilesAlone) {
  sim::PtyOptions options = unpaced();
  options.model = "Ka-47M-M40";
  options.linkPath = uniqueLinkPath();
  sim::PtyCamera camera(options);
  ASSERT_TRUE(camera.start(nullptr));
  EXPECT_TRUE(std::filesystem::is_symlink(options.linkPath));
  camera.stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(options.linkPath)));
  camera.stop();

  std::ofstream(options.linkPath) << "not a terminal";
  sim::PtyCamera second(options);
  std::string error;
  EXPECT_FALSE(second.start(&error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(std::filesystem::is_regular_file(options.linkPath));
  std::filesystem::remove(options.linkPath);
}

// "sbr" on the pseudo-terminal: after the "OK" the camera compares the PC's rate with the new
// one. Catches a camera that keeps its start rate.
TEST(PtyCameraTest, RateChangeOnTheTerminal) {
  ServedCamera served(unpaced(9600));
  ASSERT_TRUE(served.started);
  PcPort pc(served.camera.linkPath(), 9600);
  ASSERT_TRUE(pc.isOpen());
  ASSERT_TRUE(pc.send("sbr 56000\r"));
  EXPECT_EQ(pc.readAnswer(), "sbr 56000\r\nOK\r\n>");
  EXPECT_EQ(served.camera.lineRate(), 56000);
  ASSERT_TRUE(pc.send("gmn\r"));
  EXPECT_EQ(pc.readFor(300ms), "");

  ASSERT_TRUE(sim::setTtyBaud(pc.fd(), 56000));
  ASSERT_TRUE(pc.send("gmn\r"));
  EXPECT_EQ(pc.readAnswer(), "gmn\r\nKo-25MC-C65\r\n>");
}

} // namespace
