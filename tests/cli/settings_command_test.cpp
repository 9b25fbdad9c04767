// kelpax-cli save-settings and load-settings end to end: the real program against two
// kelpax-camsim cameras on pseudo-terminals.
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

extern char** environ;

#include "tests/cli/cli_run.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using clitest::CliRun;
using clitest::runShell;
using clitest::slurp;

class Scratch {
public:
  Scratch() {
    path_ = fs::temp_directory_path() / ("kelpax-cli-csf-" + std::to_string(getpid()));
    fs::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
  fs::path path_;
};

const Scratch& scratch() {
  static const Scratch dir;
  return dir;
}

CliRun run(const std::string& line) {
  return runShell(line, fs::path(scratch() / "."));
}

struct Camsim : clitest::CamsimProcess {
  Camsim(const std::string& link, const std::string& model, const std::string& faults = {})
      : clitest::CamsimProcess(KELPAX_CAMSIM, link, model, faults) {}
};

const std::string cli = KELPAX_CLI;

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

// Would catch a save that writes no file or another name than it prints, or a load that
// does not carry the first camera's values into the second.
TEST(KelpaxCliSettings, SaveFromOneCameraLoadIntoAnother) {
  const std::string first = scratch() / "ttyFirst", second = scratch() / "ttySecond";
  Camsim a(first, "Ko-12M-M65");
  Camsim b(second, "Ko-12M-M65");
  ASSERT_TRUE(fs::exists(first) && fs::exists(second));
  const std::string onA = " --port " + first + " --baud 16 ";
  const std::string onB = " --port " + second + " --baud 16 ";

  ASSERT_EQ(run(cli + " set" + onA + "et 2345").status, 0);
  ASSERT_EQ(run(cli + " set" + onA + "ha 12 345").status, 0);
  const CliRun saved = run(cli + " save-settings" + onA + (scratch() / "Front"));
  ASSERT_EQ(saved.status, 0) << saved.err;
  const std::string path = scratch() / "Front.csf";
  EXPECT_EQ(saved.out.rfind("wrote " + path + " (", 0), 0u) << saved.out;
  const std::string file = slurp(path);
  EXPECT_EQ(file.rfind("--Quorvane Camera Setting File \r\n--Model Name :Ko-12M-M65\r\n--\r\n", 0),
            0u);
  EXPECT_NE(file.find("\r\nset 2345\r\n"), std::string::npos) << file;

  const CliRun loaded = run(cli + " load-settings" + onB + path);
  EXPECT_EQ(loaded.status, 0) << loaded.out << loaded.err;
  EXPECT_NE(loaded.out.find(" accepted, 0 refused, 0 not answered, 0 skipped"), std::string::npos)
      << loaded.out;
  EXPECT_EQ(run(cli + " get" + onB + "et").out, "2345\n");
  EXPECT_EQ(run(cli + " get" + onB + "ha").out, "12 345\n");
}

// The exit code tells a script what went wrong. Would catch a refused line, a bad line or a
// missing file reported as success, or a load that stops at the first refusal.
TEST(KelpaxCliSettings, LoadOutcomesAndExitCodes) {
  const std::string link = scratch() / "ttyOutcomes";
  Camsim camera(link, "Ko-12M-M65");
  ASSERT_TRUE(fs::exists(link));
  const std::string on = " --port " + link + " --baud 16 ";

  const std::string refusing = scratch() / "refusing.csf";
  writeFile(refusing, "set 0\r\nset 1500\r\n");
  const CliRun refused = run(cli + " load-settings" + on + refusing);
  EXPECT_EQ(refused.status, 1) << refused.out << refused.err;
  EXPECT_NE(refused.out.find("line 1 refused: set 0: Error : value out of range\n"),
            std::string::npos)
      << refused.out;
  EXPECT_NE(refused.out.find("2 lines sent, 1 accepted, 1 refused"), std::string::npos);
  EXPECT_EQ(run(cli + " get" + on + "et").out, "1500\n");

  const std::string junk = scratch() / "junk.csf";
  writeFile(junk, std::string("set 1600\r\ns\0et 9\r\n", 18));
  const CliRun skipped = run(cli + " load-settings" + on + junk);
  EXPECT_EQ(skipped.status, 3);
  EXPECT_NE(skipped.out.find("line 2 skipped: s<00>et 9: byte 0x00 at column 2"), std::string::npos)
      << skipped.out;
  EXPECT_EQ(run(cli + " get" + on + "et").out, "1600\n");

  // An empty file is no success: nothing was loaded.
  const std::string empty = scratch() / "empty.csf";
  writeFile(empty, "");
  const CliRun nothing = run(cli + " load-settings" + on + empty);
  EXPECT_EQ(nothing.status, 3);
  EXPECT_NE(nothing.err.find("nothing loaded"), std::string::npos) << nothing.err;
  EXPECT_NE(nothing.err.find("the file is empty"), std::string::npos) << nothing.err;

  const CliRun missing = run(cli + " load-settings" + on + (scratch() / "none.csf"));
  EXPECT_EQ(missing.status, 3);
  EXPECT_NE(missing.err.find("Cannot open camera setting file!"), std::string::npos);

  fs::create_directories(scratch() / "folder.csf");
  const CliRun unsaved = run(cli + " save-settings" + on + (scratch() / "folder.csf"));
  EXPECT_EQ(unsaved.status, 3);
  EXPECT_NE(unsaved.err.find("Cannot save camera setting file!"), std::string::npos);
}

// Would catch a camera that never answers counted as one that accepted the file.
TEST(KelpaxCliSettings, SilentCameraExitsTwo) {
  const std::string link = scratch() / "ttySilent";
  Camsim camera(link, "Ko-12M-M65", "silent");
  ASSERT_TRUE(fs::exists(link));
  const std::string file = scratch() / "any.csf";
  writeFile(file, "set 1500\r\n");
  const CliRun silent =
      run(cli + " load-settings --timeout 200 --port " + link + " --baud 16 " + file);
  EXPECT_EQ(silent.status, 2);
  EXPECT_NE(silent.err.find("Camera connection error!"), std::string::npos) << silent.err;
}
