// kelpax-cli end to end: the real program against kelpax-camsim on a pseudo-terminal and
// against the simulated Camera Link library found by the library search.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/trace.h"

extern char** environ;

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const fs::path& scratch() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("kelpax-cli-test-" + std::to_string(getpid()));
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

// Runs a shell line with stdout and stderr captured.
CliRun run(const std::string& line) {
  const fs::path out = scratch() / "out", err = scratch() / "err";
  CliRun r;
  r.status = std::system((line + " >" + out.string() + " 2>" + err.string()).c_str());
  r.status = WIFEXITED(r.status) ? WEXITSTATUS(r.status) : -1;
  r.out = slurp(out);
  r.err = slurp(err);
  return r;
}

class CamsimProcess {
public:
  CamsimProcess(const std::string& link, const std::string& model) : link_(link) {
    std::vector<std::string> args = {KELPAX_CAMSIM, "--pty",  link,     "--model",
                                     model,         "--baud", "115200", "--no-pacing"};
    std::vector<char*> argv;
    for (auto& a : args) {
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&pid_, KELPAX_CAMSIM, nullptr, nullptr, argv.data(), environ), 0);
    for (int i = 0; i < 200 && !fs::exists(link); ++i) {
      std::this_thread::sleep_for(10ms);
    }
  }
  ~CamsimProcess() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }

private:
  std::string link_;
  pid_t pid_ = -1;
};

const std::string cli = KELPAX_CLI;

} // namespace

TEST(KelpaxCli, QueryAndSendOverPseudoTerminal) {
  const std::string link = (scratch() / "ttyCAM0").string();
  CamsimProcess camsim(link, "Ko-25MC-C65");
  ASSERT_TRUE(fs::exists(link));

  CliRun q = run(cli + " query --port " + link + " --baud 16 gmn");
  EXPECT_EQ(q.status, 0) << q.err;
  EXPECT_EQ(q.out, "Ko-25MC-C65\n");

  CliRun ok = run(cli + " send --port " + link + " --baud 16 set 1200");
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.out.rfind("OK\n", 0), 0u);
  EXPECT_EQ(run(cli + " query --port " + link + " --baud 16 get").out, "1200\n");

  // A refused value: non-zero exit, the camera's reason on stderr.
  CliRun refused = run(cli + " send --port " + link + " --baud 16 set 0");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("Error"), std::string::npos);

  // The trace shows both directions, control bytes in hex.
  CliRun traced = run(cli + " query --trace --port " + link + " --baud 16 gmn");
  EXPECT_NE(traced.err.find("TX gmn<0D>"), std::string::npos) << traced.err;
  EXPECT_NE(traced.err.find("RX "), std::string::npos);
}

TEST(KelpaxCli, FailuresExitNonZeroWithMessage) {
  CliRun missing = run(cli + " query --port /nonexistent/ttyX gmn");
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.err.find("-21000"), std::string::npos) << missing.err;

  CliRun unknown = run(cli + " query --port NoSuchPort gmn");
  EXPECT_NE(unknown.status, 0);
  EXPECT_NE(unknown.err.find("NoSuchPort"), std::string::npos);

  CliRun badBaud = run(cli + " query --port /dev/null --baud 3 gmn");
  EXPECT_NE(badBaud.status, 0);
}

TEST(KelpaxCli, CameraLinkPortsThroughLibrarySearch) {
  const std::string env = "env CLSERIALPATH=" + fs::path(CLSERSIM_PATH).parent_path().string() +
                          " KELPAX_SIM_CAMERAS=Ko-25MC-C65,Ka-47M-M40 KELPAX_SIM_PACING=0 ";
  CliRun ports = run(env + cli + " ports");
  EXPECT_EQ(ports.status, 0) << ports.err;
  EXPECT_NE(ports.out.find("Ka-47M-M40"), std::string::npos) << ports.out;

  CliRun q = run(env + cli + " query --port 'clsersim#1 Ka-47M-M40' gmn");
  EXPECT_EQ(q.status, 0) << q.err;
  EXPECT_EQ(q.out, "Ka-47M-M40\n");
}

TEST(Trace, PrintableForms) {
  EXPECT_EQ(kelpax::printableBytes(std::string("gmn\r\n\0>", 7)), "gmn<0D><0A><00>>");
  EXPECT_EQ(kelpax::printableBytes("a<b"), "a<3C>b");
  EXPECT_EQ(kelpax::printableAnswer("set 1\r\nOK\r\n>"), "set 1\nOK\n>");
}
