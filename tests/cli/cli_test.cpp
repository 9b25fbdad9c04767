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

#include "camera/tables/model_rules.h"
#include "cli/trace.h"
#include "tests/cli/cli_run.h"

extern char** environ;

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using clitest::CliRun;
using clitest::runShell;
using clitest::slurp;

const fs::path& scratch() {
  static const fs::path dir = clitest::freshScratchFolder("kelpax-cli-test-");
  return dir;
}

// Runs a shell line with stdout and stderr captured.
CliRun run(const std::string& line) {
  return runShell(line, scratch());
}

struct CamsimProcess : clitest::CamsimProcess {
  CamsimProcess(const std::string& link, const std::string& model)
      : clitest::CamsimProcess(KELPAX_CAMSIM, link, model) {}
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

// Would catch identification or the cache not reaching the command line: wrong tabs, a
// value not re-read after a set, an out-of-range value sent to the camera.
TEST(KelpaxCli, InfoGetAndSetThroughTheValueCache) {
  const std::string link = (scratch() / "ttyCAM1").string();
  CamsimProcess camsim(link, "Ko-12M-M65");
  ASSERT_TRUE(fs::exists(link));
  const std::string on = " --port " + link + " --baud 16 ";

  CliRun info = run(cli + " info" + on);
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("series       Ko\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("rate code    268\n"), std::string::npos);
  EXPECT_NE(info.out.find("sensor       4096 x 3072\n"), std::string::npos);
  EXPECT_NE(info.out.find("gain         0 .. 63\n"), std::string::npos);
  EXPECT_NE(info.out.find("tab 0        VIEW         CKo12M52_SettingDlg section 0\n"),
            std::string::npos);
  EXPECT_NE(info.out.find("tab 3        FFC          CFFCSetting\n"), std::string::npos);
  EXPECT_NE(info.out.find(", 0 not answered"), std::string::npos);

  CliRun set = run(cli + " set" + on + "ha 10 100");
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out, "OK\nha 10 100\n");
  EXPECT_EQ(run(cli + " get" + on + "ha").out, "10 100\n");

  // The model's exposure range is checked before anything is sent.
  CliRun outside = run(cli + " set --trace" + on + "et 9");
  EXPECT_EQ(outside.status, 1);
  EXPECT_NE(outside.err.find("outside 10 .. 7000000"), std::string::npos) << outside.err;
  EXPECT_EQ(outside.err.find("TX set"), std::string::npos);

  // A value the camera refuses: its reason, and what it keeps instead.
  CliRun refused = run(cli + " set" + on + "tm 9");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "CAMERA ERROR\ntm 0\n");
  EXPECT_NE(refused.err.find("Error : value out of range"), std::string::npos);
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

// Would catch --version refused for want of a subcommand, or a version other than the build's.
TEST(KelpaxCli, VersionNeedsNoSubcommand) {
  const CliRun version = run(cli + " --version");
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out, std::string("kelpax-cli ") + KELPAX_VERSION + "\n");
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

// The command line and the pages check a value against the same model range: every value the
// shared lookup refuses is refused before anything is sent, every value it allows goes out.
// Would catch the command line keeping a range table of its own that drifts from the pages'.
TEST(KelpaxCli, RefusesExactlyWhatTheModelRangeRefuses) {
  const std::string model = "Ko-25MC-C65";
  const std::string link = (scratch() / "ttyCAM4").string();
  CamsimProcess camsim(link, model);
  const std::string on = " --port " + link + " --baud 16 ";
  kelpax::ModelDescriptor descriptor;
  kelpax::describeModelName(model, descriptor);
  kelpax::applyModelRanges(descriptor);
  for (const char* stem : {"ag", "ao"}) {
    const kelpax::ValueRange range = *kelpax::modelRange(descriptor, stem);
    for (const int64_t value :
         {int64_t(range.min) - 1, int64_t(range.min), int64_t(range.max), int64_t(range.max) + 1}) {
      CliRun set = run(cli + " set --trace" + on + stem + " " + std::to_string(value));
      const bool sent = set.err.find("TX s" + std::string(stem)) != std::string::npos;
      EXPECT_EQ(sent, range.contains(value)) << stem << " " << value << "\n" << set.err;
      EXPECT_EQ(set.status, range.contains(value) ? 0 : 1) << stem << " " << value;
    }
  }
}

// The main window's operations from a shell, on the same session code: would catch a verb
// that reports success for a refused space or never reaches the camera.
TEST(KelpaxCli, CameraOperationsReachTheCamera) {
  const std::string link = (scratch() / "ttyCAM5").string();
  CamsimProcess camsim(link, "Ko-4M-M180");
  const std::string on = " --port " + link + " --baud 16 ";

  EXPECT_EQ(run(cli + " startup" + on + "2").status, 0);
  EXPECT_EQ(run(cli + " startup" + on).out, "2\n");
  EXPECT_EQ(run(cli + " space" + on + "save 1").out, "OK\n");
  CliRun refused = run(cli + " space" + on + "load 7");
  EXPECT_NE(refused.status, 0) << "space 7 is no setting space";
  EXPECT_EQ(run(cli + " high-speed" + on + "on").status, 1) << "Ko cameras have no high speed";

  CliRun temperature = run(cli + " temperature" + on);
  EXPECT_EQ(temperature.status, 0) << temperature.err;
  EXPECT_NE(temperature.out.find('.'), std::string::npos) << temperature.out;
  CliRun info = run(cli + " camera-info" + on);
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("name    Ko-4M-M180\n"), std::string::npos) << info.out;
}
