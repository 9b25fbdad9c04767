// kelpax-cli download and upload end to end: the real program against kelpax-camsim cameras on
// pseudo-terminals and the simulated Camera Link library.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/cli/cli_run.h"

namespace fs = std::filesystem;

namespace {

using clitest::CliRun;
using clitest::slurp;

class TransferCli : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kelpax-cli-xfer-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  CliRun run(const std::string& line) const { return clitest::runShell(line, dir_); }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string link() const { return path("ttyCAM"); }
  std::string on() const { return " --port " + link() + " --baud 16 "; }

  fs::path dir_;
};

const std::string cli = KELPAX_CLI;

std::string binaryBytes(size_t count) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i)
    bytes[i] = char(i * 31 + 7);
  return bytes;
}

// Would catch data changed on the way, an upload file that is not exactly what the camera
// holds, or a progress line missing when stderr is no terminal.
TEST_F(TransferCli, RawRoundTripOverAPseudoTerminal) {
  clitest::CamsimProcess camera(KELPAX_CAMSIM, link(), "Ko-25MC-C65");
  write("data.bin", binaryBytes(2000));
  CliRun r = run(cli + " download raw " + path("data.bin") + on() + "--commands 0x0200,0x0201");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("100 %"), std::string::npos) << r.err;
  r = run(cli + " upload raw " + path("back.bin") + on() + "--commands 0x0202,0x0203");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(path("back.bin")), binaryBytes(2000));
}

// Exit codes tell the camera's refusal, its silence, a file problem and Ctrl-C apart, and a
// failed upload leaves neither the file nor a temporary one behind.
TEST_F(TransferCli, OutcomesAndExitCodes) {
  write("data.bin", binaryBytes(1200));
  {
    clitest::CamsimProcess camera(KELPAX_CAMSIM, link(), "Ko-25MC-C65", "nak-at=1");
    const CliRun r =
        run(cli + " download raw " + path("data.bin") + on() + "--commands 0x5000,0x5001");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Download failed(NAK)"), std::string::npos) << r.err;
  }
  {
    clitest::CamsimProcess camera(KELPAX_CAMSIM, link(), "Ko-25MC-C65", "reply-checksum=1");
    const CliRun r =
        run(cli + " upload raw " + path("out.bin") + on() + "--commands 0x0202,0x0203");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_FALSE(fs::exists(path("out.bin")));
  }
  {
    clitest::CamsimProcess camera(KELPAX_CAMSIM, link(), "Ko-25MC-C65", "frame-drop=1");
    const CliRun r = run(cli + " upload raw " + path("out.bin") + on() +
                         "--commands 0x0202,0x0203 --final-timeout 500");
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("TimeOut"), std::string::npos) << r.err;
  }
  {
    clitest::CamsimProcess camera(KELPAX_CAMSIM, link(), "Ko-25MC-C65", "slow=5000");
    // Ctrl-C during the wait for the first acknowledgement cancels like the Cancel button. The
    // camera answers after 5 s; the interrupt comes after 2.5 s, time enough for a program built
    // with the sanitizers to start on a loaded machine and reach that wait.
    const CliRun r = run("timeout --preserve-status -s INT 2.5 " + cli + " download raw " +
                         path("data.bin") + on() + "--commands 0x5000,0x5001");
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_NE(r.err.find("Download Canceled"), std::string::npos) << r.err;
  }
  {
    clitest::CamsimProcess camera(KELPAX_CAMSIM, link(), "Ko-25MC-C65");
    CliRun r = run(cli + " download raw " + path("missing.bin") + on() + "--commands 1,2");
    EXPECT_EQ(r.status, 4) << r.err;
    write("empty.bin", "");
    r = run(cli + " download raw " + path("empty.bin") + on() + "--commands 1,2");
    EXPECT_EQ(r.status, 4) << r.err;
    r = run(cli + " download nonsense " + path("data.bin") + on());
    EXPECT_EQ(r.status, 4) << r.err;
    // A folder that cannot take the file: nothing is left there.
    r = run(cli + " upload raw " + path("no/such/folder/out.bin") + on() +
            "--commands 0x0202,0x0203");
    EXPECT_EQ(r.status, 4) << r.err;
  }
  for (const auto& entry : fs::directory_iterator(dir_)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "data.bin" || name == "empty.bin" || name == "out" || name == "err")
        << "left behind: " << name;
  }
}

} // namespace
