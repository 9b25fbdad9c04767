// The COM side of the port layer and the command exchange, over real pseudo-terminals
// with a scripted camera at the other end.
#include <atomic>
#include <chrono>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include "camera/debug_output.h"
#include "link/camera_port.h"
#include "link/command_exchange.h"
#include "tests/link/tty_rate.h"

using namespace kelpax;
using namespace std::chrono_literals;

namespace {

// The camera end of a pseudo-terminal, driven by the test.
class ScriptedPeer {
public:
  ScriptedPeer() {
    int slave = -1;
    char name[256] = {};
    EXPECT_EQ(openpty(&master_, &slave, name, nullptr, nullptr), 0);
    path_ = name;
    close(slave);
  }
  ~ScriptedPeer() {
    if (master_ >= 0) {
      close(master_);
    }
  }
  const std::string& path() const { return path_; }
  int master() const { return master_; }
  void send(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  // Reads what the program wrote until `count` bytes or the time-out.
  std::string receive(size_t count, int timeoutMs = 1000) {
    std::string got;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count && std::chrono::steady_clock::now() < until) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 10) > 0) {
        char buf[4096];
        ssize_t n = read(master_, buf, sizeof buf);
        if (n > 0) {
          got.append(buf, size_t(n));
        }
      }
    }
    return got;
  }
  void hangUp() {
    close(master_);
    master_ = -1;
  }

private:
  int master_ = -1;
  std::string path_;
};

class FakeStatus : public StatusLine {
public:
  void showStatus(const std::string& text) override { lines.push_back(text); }
  std::vector<std::string> lines;
};

class FakeTerminal : public TerminalSink {
public:
  void appendReceived(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

int openDescriptorCount() {
  int n = 0;
  DIR* d = opendir("/proc/self/fd");
  while (readdir(d)) {
    ++n;
  }
  closedir(d);
  return n;
}

struct Link {
  explicit Link(const std::string& path, unsigned baud = 16) : exchange(port) {
    PortEntry e;
    e.portName = path;
    e.baudCode = uint16_t(baud);
    port.addPort(e);
    EXPECT_EQ(port.OpenPort(0, baud), 0);
    exchange.setStatusLine(&status);
  }
  CameraPort port;
  CommandExchange exchange;
  FakeStatus status;
};

// Answers one command line from a thread, like a camera would.
std::thread answerOnce(ScriptedPeer& peer, const std::string& expectLine,
                       const std::string& answer) {
  return std::thread([&peer, expectLine, answer] {
    std::string got = peer.receive(expectLine.size());
    if (got == expectLine) {
      peer.send(answer);
    }
  });
}

} // namespace

TEST(ComPort, FailedOpenHoldsNothing) {
  CameraPort port;
  PortEntry missing;
  missing.portName = "/nonexistent/ttyCAM";
  PortEntry notATerminal;
  notATerminal.portName = "/dev/null";
  port.addPort(missing);
  port.addPort(notATerminal);
  const int before = openDescriptorCount();
  EXPECT_EQ(port.OpenPort(0, 16), kComPortNotUsable);
  EXPECT_EQ(port.OpenPort(1, 16), kComPortNotUsable);
  EXPECT_EQ(openDescriptorCount(), before);
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(port.WritePort("gmn", true));
}

// Would catch a wrong rate reaching the line: the peer reads the rate the port set.
TEST(ComPort, OpensAtTheCodedRate) {
  ScriptedPeer peer;
  for (auto [code, rate] : {std::pair{8u, 56000}, {16u, 115200}, {1u, 9600}, {77u, 19200}}) {
    Link link(peer.path(), code);
    // The master end reads back the terminal settings of the slave.
    EXPECT_EQ(ttyOutputRate(peer.master()), rate) << "code " << code;
  }
}

TEST(ComExchange, QueryValueAndTokens) {
  ScriptedPeer peer;
  Link link(peer.path());
  auto t = answerOnce(peer, "gsn piece\r", "gsn piece\r\n12345\r\n>");
  EXPECT_EQ(link.exchange.QueryValue("gsn piece"), "12345");
  t.join();
  t = answerOnce(peer, "gag 1\r", "gag 1\r\n1   250\r\n>");
  EXPECT_EQ(link.exchange.QueryToken("gag 1", 1, 1000), "250");
  t.join();
}

// Would catch the prompt not ending the answer: text after it belongs to what follows.
TEST(ComExchange, TextAfterPromptStaysForTheNextExchange) {
  ScriptedPeer peer;
  Link link(peer.path());
  FakeTerminal terminal;
  TerminalRelay relay(link.exchange, terminal);
  link.exchange.setAnswerHandler(&relay);

  auto t = answerOnce(peer, "gmn\r", "gmn\r\nKo-25MC-C65\r\n>Boot");
  EXPECT_EQ(link.exchange.Query("gmn", {.timeoutMs = 1000}).text, "gmn\r\nKo-25MC-C65\r\n>");
  t.join();
  std::this_thread::sleep_for(20ms);
  link.exchange.idlePoll();
  ASSERT_EQ(terminal.texts.size(), 1u);
  EXPECT_EQ(terminal.texts[0], "Boot");
}

TEST(ComExchange, SendCommandOutcomesAndStatusLine) {
  ScriptedPeer peer;
  Link link(peer.path());

  auto t = answerOnce(peer, "set 1000\r", "set 1000\r\nOK\r\n>");
  const Answer sent177 = link.exchange.SendCommand("set 1000", {.timeoutMs = 1000, .shown = true});
  EXPECT_TRUE(sent177.accepted());
  t.join();
  EXPECT_EQ(sent177.result, CommandResult::Ok);
  ASSERT_EQ(link.status.lines.size(), 2u);
  EXPECT_EQ(link.status.lines[0], "Send command......");
  EXPECT_EQ(link.status.lines[1].rfind(" >> set 1000\r\nOK\r\n(", 0), 0u);
  EXPECT_TRUE(link.exchange.linkAlive());

  link.status.lines.clear();
  t = answerOnce(peer, "sag 1 9999\r", "sag 1 9999\r\nError : out of range\r\n>");
  const Answer sent187 =
      link.exchange.SendCommand("sag 1 9999", {.timeoutMs = 1000, .shown = true});
  EXPECT_FALSE(sent187.accepted());
  t.join();
  EXPECT_EQ(sent187.result, CommandResult::CameraError);
  EXPECT_EQ(link.status.lines.back(), "Error : out of range");
  EXPECT_TRUE(link.exchange.linkAlive());

  // Neither OK nor Error: accepted; without showStatus nothing is shown.
  link.status.lines.clear();
  t = answerOnce(peer, "stm 1\r", "stm 1\r\n>");
  EXPECT_TRUE(link.exchange.SendCommand("stm 1", {.timeoutMs = 1000}).accepted());
  t.join();
  EXPECT_TRUE(link.status.lines.empty());

  // The privileged level's answer stays out of the status line.
  t = answerOnce(peer, "aar qelmarst\r", "aar qelmarst\r\nOK\r\n>");
  EXPECT_TRUE(link.exchange.SendCommand("aar qelmarst", {.timeoutMs = 1000}).accepted());
  t.join();
  ASSERT_FALSE(link.status.lines.empty());
  EXPECT_EQ(link.status.lines.back().rfind("OK(", 0), 0u);

  // Silence: no answer within the time-out.
  link.status.lines.clear();
  const Answer sent209 = link.exchange.SendCommand("gmn", {.timeoutMs = 50, .shown = true});
  EXPECT_FALSE(sent209.accepted());
  EXPECT_EQ(sent209.result, CommandResult::NoAnswer);
  EXPECT_EQ(link.status.lines.back(), "Camera connection error!");
  EXPECT_FALSE(link.exchange.linkAlive());
}

// Would catch text that ran into the time-out without the prompt (a hang-up after the echo,
// a flood, noise at a wrong rate) earning the camera's acceptance, or being hidden from the
// terminal that shows whatever arrived.
TEST(ComExchange, TextCutOffBeforeThePromptIsNoAcceptance) {
  ScriptedPeer peer;
  Link link(peer.path());
  FakeTerminal terminal;
  TerminalRelay relay(link.exchange, terminal);
  link.exchange.setAnswerHandler(&relay);
  const std::string noise = "\x80\xf8\x1b[2J\xe0\xfe";
  for (const std::string& cut :
       {std::string("stm 1\r\n"), std::string("stm 1\r\nline\r\nline\r\nli"), noise}) {
    link.status.lines.clear();
    terminal.texts.clear();
    auto t = answerOnce(peer, "stm 1\r", cut);
    const Answer sent = link.exchange.SendCommand("stm 1", {.timeoutMs = 300, .shown = true});
    t.join();
    EXPECT_EQ(sent.result, CommandResult::NoAnswer) << cut;
    EXPECT_EQ(sent.text, cut);
    EXPECT_EQ(link.status.lines.back(), "Camera connection error!") << cut;
    EXPECT_EQ(terminal.texts, std::vector<std::string>{cut});
    EXPECT_FALSE(link.exchange.linkAlive());
  }
  // An "OK" that came before the cut still counts.
  auto t = answerOnce(peer, "set 1000\r", "set 1000\r\nOK\r\n");
  EXPECT_TRUE(link.exchange.SendCommand("set 1000", {.timeoutMs = 300}).accepted());
  t.join();
}

TEST(ComExchange, BlockedDuringBinaryTransfer) {
  ScriptedPeer peer;
  Link link(peer.path());
  link.exchange.setBinaryAckMode(true);
  const Answer sent219 = link.exchange.SendCommand("set 1000", {.timeoutMs = 1000, .shown = true});
  EXPECT_FALSE(sent219.accepted());
  EXPECT_EQ(sent219.result, CommandResult::Blocked);
  EXPECT_TRUE(link.status.lines.empty());
  EXPECT_EQ(peer.receive(1, 50), "");
  link.exchange.setBinaryAckMode(false);
  link.exchange.setBinaryBlockMode(true);
  EXPECT_FALSE(
      link.exchange.SendCommand("set 1000", {.timeoutMs = 1000, .shown = true}).accepted());
  EXPECT_EQ(peer.receive(1, 50), "");
}

TEST(ComExchange, ZeroTimeoutMakesOnePass) {
  ScriptedPeer peer;
  Link link(peer.path());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(link.exchange.WaitMsg(0, kWaitForPrompt, false), kWaitTimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start,
            500ms); // far below any real wait, above a loaded machine's pauses
  EXPECT_FALSE(link.exchange.waitBusy());
}

// A wait started from inside another (through the event pump of a scan) is refused,
// and the abort request ends the outer wait.
TEST(ComExchange, NestedWaitRefusedAndAbortEndsWait) {
  struct Pump : EventPump {
    CommandExchange* exchange = nullptr;
    int nested = 0;
    int calls = 0;
    bool pumpEvents() override {
      nested = exchange->WaitMsg(100, kWaitForPrompt, false);
      nested = nested == kWaitTimedOut ? -1 : nested;
      return ++calls == 3;
    }
  } pump;
  ScriptedPeer peer;
  Link link(peer.path());
  pump.exchange = &link.exchange;
  link.exchange.setEventPump(&pump);
  link.port.setScanning(true);
  EXPECT_EQ(link.exchange.WaitMsg(2000, 0, false), kWaitAborted);
  EXPECT_EQ(pump.nested, -1);
  EXPECT_EQ(pump.calls, 3);
  EXPECT_FALSE(link.exchange.waitBusy());

  // A nested Query gets an empty answer without sending.
  struct QueryPump : EventPump {
    CommandExchange* exchange = nullptr;
    std::string nestedAnswer = "unset";
    bool pumpEvents() override {
      nestedAnswer = exchange->Query("gmn", {.timeoutMs = 10}).text;
      return true;
    }
  } queryPump;
  queryPump.exchange = &link.exchange;
  link.exchange.setEventPump(&queryPump);
  auto t = std::thread([&] { peer.receive(4, 300); });
  EXPECT_EQ(link.exchange.Query("gfv", {.timeoutMs = 1000}).text, "");
  t.join();
  EXPECT_EQ(queryPump.nestedAnswer, "");
  link.port.setScanning(false);
}

// A camera that babbles without ever sending the prompt: the wait ends at its time-out
// and the buffer stays bounded.
TEST(ComExchange, NeverEndingAnswerIsBounded) {
  ScriptedPeer peer;
  Link link(peer.path());
  std::atomic<bool> stop{false};
  std::thread babble([&] {
    const std::string chunk(4096, 'x');
    while (!stop) {
      peer.send(chunk);
    }
  });
  const auto start = std::chrono::steady_clock::now();
  std::string answer = link.exchange.Query("gmn", {.timeoutMs = 400}).text;
  const auto took = std::chrono::steady_clock::now() - start;
  stop = true;
  // Keep reading so the writer is not left blocked on a full queue.
  std::atomic<bool> drained{false};
  std::thread drain([&] {
    babble.join();
    drained = true;
  });
  while (!drained) {
    link.exchange.WaitMsg(20, kWaitForBurst, false);
    link.port.receiveBuffer().clear();
  }
  drain.join();
  EXPECT_GE(took, 400ms);
  EXPECT_LT(took, 2000ms);
  EXPECT_LE(answer.size(), CommandExchange::kReceiveLimit);
  EXPECT_FALSE(answer.empty());
}

// The camera's end goes away in the middle of a command: no crash, a connection error.
TEST(ComExchange, PortVanishingMidCommand) {
  auto peer = std::make_unique<ScriptedPeer>();
  Link link(peer->path());
  std::thread t([&] {
    peer->receive(4);
    peer->send("gmn\r\nKo-");
    // Let the partial answer be read before the end goes away (a hang-up flushes input).
    std::this_thread::sleep_for(50ms);
    peer->hangUp();
  });
  std::string answer = link.exchange.Query("gmn", {.timeoutMs = 300}).text;
  t.join();
  EXPECT_EQ(answer, "gmn\r\nKo-");
  const Answer sent326 = link.exchange.SendCommand("set 1000", {.timeoutMs = 200, .shown = true});
  EXPECT_FALSE(sent326.accepted());
  EXPECT_EQ(sent326.result, CommandResult::NoAnswer);
  EXPECT_EQ(link.status.lines.back(), "Camera connection error!");
}

// Every answer also lands in the traffic log while one is open.
TEST(ComExchange, AnswersGoToTheTrafficLog) {
  const std::string log = "/tmp/kelpax-traffic-" + std::to_string(getpid()) + ".log";
  ASSERT_TRUE(openTrafficLog(log));
  {
    ScriptedPeer peer;
    Link link(peer.path());
    auto t = answerOnce(peer, "set 1000\r", "set 1000\r\nOK\r\n>");
    EXPECT_TRUE(
        link.exchange.SendCommand("set 1000", {.timeoutMs = 1000, .shown = true}).accepted());
    t.join();
  }
  closeTrafficLog();
  FILE* f = fopen(log.c_str(), "r");
  ASSERT_NE(f, nullptr);
  char text[4096] = {};
  size_t n = fread(text, 1, sizeof text - 1, f);
  fclose(f);
  unlink(log.c_str());
  const std::string logged(text, n);
  EXPECT_NE(logged.find("set 1000\r\nOK\r\n>"), std::string::npos) << logged;
  EXPECT_NE(logged.find("CGetPortDlg::WaitMsg"), std::string::npos) << logged;
}
