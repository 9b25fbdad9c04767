// kelpax-cli against cameras that misbehave: one that goes quiet after it was identified, one
// that hangs up in the middle of an answer, one that floods, one that sends noise as at a
// wrong rate, and one whose answers hold terminal control sequences.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include "tests/cli/cli_run.h"

namespace fs = std::filesystem;
using clitest::CliRun;

namespace {

const fs::path& scratch() {
  static const fs::path dir = clitest::freshScratchFolder("kelpax-hostile-");
  return dir;
}

// Each test captures its output in a folder of its own, so tests can run side by side.
CliRun run(const std::string& line, const std::string& tag) {
  const fs::path folder = scratch() / tag;
  fs::create_directories(folder);
  return clitest::runShell(line, folder);
}

const std::string cli = KELPAX_CLI;

struct Camsim : clitest::CamsimProcess {
  Camsim(const std::string& link, const std::string& faults)
      : clitest::CamsimProcess(KELPAX_CAMSIM, link, "Ko-4M-M180", faults) {}
};

std::string linkFor(const std::string& tag) {
  return (scratch() / ("tty-" + tag)).string();
}

// Commands kelpax-cli sends to open and identify a camera before its first setting query:
// the camera goes quiet right after them.
int identificationCommands(const std::string& link) {
  CliRun traced = run(cli + " get --trace --port " + link + " --baud 16 et", "count");
  int sent = 0;
  for (size_t at = traced.err.find(" TX "); at != std::string::npos;
       at = traced.err.find(" TX ", at + 1))
    ++sent;
  return sent - 1;
}

// Would catch a fill that waits out one time-out per setting of a camera that went quiet, and
// info, save-settings or load-settings then reporting success or writing values never read.
TEST(HostileCamera, QuietAfterIdentificationFailsTheCacheVerbsQuickly) {
  int quietAfter = 0;
  {
    const std::string link = linkFor("count");
    Camsim healthy(link, "");
    quietAfter = identificationCommands(link);
  }
  ASSERT_GT(quietAfter, 0);
  const std::string faults = "silent-after=" + std::to_string(quietAfter);
  const fs::path file = scratch() / "quiet.csf";

  {
    const std::string link = linkFor("quiet-info");
    Camsim quiet(link, faults);
    const auto start = std::chrono::steady_clock::now();
    CliRun info = run(cli + " info --port " + link + " --baud 16", "quiet");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(info.status, 2) << info.err;
    EXPECT_NE(info.err.find("Camera lost: no answer to 5 queries in a row"), std::string::npos)
        << info.err;
    EXPECT_LT(took, std::chrono::seconds(5 * 3 + 3));
  }
  {
    const std::string link = linkFor("quiet-save");
    Camsim quiet(link, faults);
    CliRun save =
        run(cli + " save-settings --port " + link + " --baud 16 " + file.string(), "quiet");
    EXPECT_EQ(save.status, 2) << save.err;
    EXPECT_NE(save.err.find("nothing written"), std::string::npos) << save.err;
    EXPECT_FALSE(fs::exists(file));
  }
  {
    // Asked for: the file is written with what is missing as -1, and the verb still fails.
    const std::string link = linkFor("quiet-allow");
    Camsim quiet(link, faults);
    CliRun save =
        run(cli + " save-settings --allow-missing --port " + link + " --baud 16 " + file.string(),
            "quiet");
    EXPECT_EQ(save.status, 2) << save.err;
    EXPECT_TRUE(fs::exists(file));
    EXPECT_NE(clitest::slurp(file).find("-1"), std::string::npos);
  }
  {
    const std::string link = linkFor("quiet-load");
    Camsim quiet(link, faults);
    CliRun load =
        run(cli + " load-settings --port " + link + " --baud 16 " + file.string(), "quiet");
    EXPECT_EQ(load.status, 2) << load.err;
    EXPECT_NE(load.err.find("Camera lost"), std::string::npos) << load.err;
  }
}

// Would catch "OK" and exit 0 for text that never reached the prompt: a hang-up after half an
// answer, a flood, noise as at a wrong rate.
TEST(HostileCamera, CutOffAnswersAreNeitherOkNorExitZero) {
  for (const char* fault : {"hang-up=1", "flood", "noise"}) {
    {
      const std::string link = linkFor(std::string("send-") + fault);
      Camsim camera(link, fault);
      // A value query: half of "OK" would still be read as the camera's "OK".
      CliRun send = run(cli + " send --timeout 500 --port " + link + " --baud 16 get", "cut");
      EXPECT_EQ(send.status, 2) << fault << "\n" << send.err;
      EXPECT_EQ(send.out.rfind("OK", 0), std::string::npos) << fault << "\n" << send.out;
      EXPECT_EQ(send.out.find('\x1b'), std::string::npos) << fault;
    }
    {
      const std::string link = linkFor(std::string("query-") + fault);
      Camsim camera(link, fault);
      CliRun query = run(cli + " query --timeout 500 --port " + link + " --baud 16 get", "cut");
      EXPECT_EQ(query.status, 2) << fault << "\n" << query.err;
      EXPECT_EQ(query.out, "") << fault;
    }
  }
}

// A camera on a pseudo-terminal whose answer lines a test scripts: each command line is echoed,
// followed by the scripted answer line and the prompt. Keeps the command lines it heard.
class ScriptedPeer {
public:
  explicit ScriptedPeer(std::function<std::string(const std::string&)> answerFor)
      : answerFor_(std::move(answerFor)) {
    int slave = -1;
    char name[256] = {};
    EXPECT_EQ(openpty(&master_, &slave, name, nullptr, nullptr), 0);
    path_ = name;
    close(slave);
    thread_ = std::thread([this] { serve(); });
  }
  ~ScriptedPeer() {
    stop_ = true;
    thread_.join();
    close(master_);
  }
  const std::string& path() const { return path_; }
  std::vector<std::string> heard() const {
    std::lock_guard lock(mutex_);
    return heard_;
  }

private:
  void serve() {
    std::string line;
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 10) <= 0)
        continue;
      char buf[256];
      const ssize_t n = read(master_, buf, sizeof buf);
      for (ssize_t i = 0; i < n; ++i) {
        if (buf[i] != '\r') {
          line += buf[i];
          continue;
        }
        {
          std::lock_guard lock(mutex_);
          heard_.push_back(line);
        }
        const std::string out = line + "\r\n" + answerFor_(line) + "\r\n>";
        if (write(master_, out.data(), out.size()) < 0)
          return;
        line.clear();
      }
    }
  }
  std::function<std::string(const std::string&)> answerFor_;
  int master_ = -1;
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex mutex_; // protects heard_
  std::vector<std::string> heard_;
};

// Would catch a camera's escape sequences reaching the user's terminal through query, get or
// the trace, where they can retitle the window or clear the screen.
TEST(HostileCamera, ControlBytesFromTheCameraAreEscaped) {
  // A camera that names itself and answers every other command with terminal control
  // sequences: a window title, a screen clear, a bell.
  ScriptedPeer peer([](const std::string& line) -> std::string {
    return line == "gmn" ? "Ko-4M-M180" : "\x1b]0;owned\x07\x1b[2J\x1b[31mred\x07";
  });
  const std::string on = " --timeout 1000 --port " + peer.path() + " --baud 16 ";
  const std::string shown = "<1B>]0;owned<07><1B>[2J<1B>[31mred<07>";

  CliRun query = run(cli + " query" + on + "gxx", "escape");
  EXPECT_EQ(query.status, 0) << query.err;
  EXPECT_EQ(query.out, shown + "\n");

  CliRun get = run(cli + " get" + on + "zz", "escape");
  EXPECT_EQ(get.out, shown + "\n") << get.err;

  CliRun traced = run(cli + " query --trace" + on + "gxx", "escape");
  for (const CliRun* r : {&query, &get, &traced}) {
    EXPECT_EQ(r->out.find('\x1b'), std::string::npos);
    EXPECT_EQ(r->err.find('\x1b'), std::string::npos);
    EXPECT_EQ(r->out.find('\x07'), std::string::npos);
  }
  EXPECT_NE(traced.err.find("<1B>]0;owned<07>"), std::string::npos) << traced.err;
}

// Would catch info, get or set driving a device whose answer to "gmn" names no camera of this
// maker (the scan shows such a port but cannot connect it): its settings would be read and
// written by the rules of a family it does not belong to.
TEST(HostileCamera, AnswerThatIsNoModelNameIsRefusedByTheCameraVerbs) {
  const struct {
    const char* gmnAnswer;
    int status;
    const char* says;
  } cases[] = {
      {"hello", 2, "'hello', is not a model name"},
      {"ko-4m-m180", 2, "'ko-4m-m180', is not a model name"}, // markers are case-sensitive
      {"Error : unknown command", 1, "refuses to tell its model name"},
      {"", 2, "does not tell its model name"},
  };
  for (const auto& c : cases) {
    ScriptedPeer peer([&c](const std::string& line) -> std::string {
      return line == "gmn" ? c.gmnAnswer : "OK";
    });
    const std::string on = " --timeout 1000 --port " + peer.path() + " --baud 16 ";
    const std::pair<std::string, std::string> verbs[] = {
        {"info", ""}, {"get", "et"}, {"set", "et 2500"}};
    for (const auto& [verb, args] : verbs) {
      CliRun r = run(cli + " " + verb + on + args, "marker");
      EXPECT_EQ(r.status, c.status) << verb << " / " << c.gmnAnswer << "\n" << r.err;
      EXPECT_NE(r.err.find(c.says), std::string::npos) << verb << "\n" << r.err;
      EXPECT_EQ(r.out, "") << verb;
    }
    // Only the model query ever went out: nothing was read or set.
    for (const std::string& heard : peer.heard())
      EXPECT_EQ(heard, "gmn") << c.gmnAnswer;
  }

  // A model name passes the same check.
  ScriptedPeer camera([](const std::string& line) -> std::string {
    return line == "gmn" ? "Ko-4M-M180" : line == "get" ? "2500" : "OK";
  });
  CliRun get = run(cli + " get --timeout 1000 --port " + camera.path() + " --baud 16 et", "marker");
  EXPECT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(get.out, "2500\n");
}

} // namespace
