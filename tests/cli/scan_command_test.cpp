// kelpax-cli scan end to end: the real program scanning cameras on pseudo-terminals named in a
// portlist.ini, and the simulated Camera Link library found through CLSERIALPATH.
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "link/port_settings.h"
#include "sim/pty_camera.h"
#include "tests/cli/cli_run.h"

namespace fs = std::filesystem;

namespace {

using clitest::CliRun;
using clitest::runShell;
using clitest::slurp;

class ScanCli : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() /
              ("kelpax-cli-scan-" + std::to_string(getpid()) + "-" + info->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    cameras_.clear();
    fs::remove_all(folder_);
  }

  std::string link(const std::string& name) const { return (folder_ / name).string(); }
  void camera(const std::string& name, const std::string& model, int baud,
              const std::string& faults = {}) {
    sim::PtyOptions options;
    options.model = model;
    options.linkPath = link(name);
    options.baud = baud;
    options.pacing = false;
    ASSERT_TRUE(sim::parseFaults(faults, options.faults, nullptr));
    cameras_.push_back(std::make_unique<sim::PtyCamera>(options));
    std::string error;
    ASSERT_TRUE(cameras_.back()->start(&error)) << error;
  }
  void portList(const std::string& text) const {
    std::ofstream(folder_ / "portlist.ini", std::ios::binary) << text;
  }
  CliRun run(const std::string& args, const std::string& env = {}) const {
    return runShell(env + " " + KELPAX_CLI + " scan " + args, folder_);
  }

  fs::path folder_;
  std::vector<std::unique_ptr<sim::PtyCamera>> cameras_;
};

} // namespace

// Would catch a wrong column (rate, maker, camera text), a disabled port probed, or the ports
// probed side by side printed otherwise than one after another; the machine's own serial ports
// may add lines of their own.
TEST_F(ScanCli, OneLinePerPortFromTheFolderNamed) {
  camera("fast", "Ko-25MC-C65", 115200);
  camera("slow", "Ka-47M-M40", 9600);
  camera("off", "Kh-12C", 115200);
  portList("COMPORT_ONLY=1\nBaudRate=AUTO\n" + link("fast") + "=1\n" + link("slow") + "=1\n" +
           link("off") + "=0\n" + link("missing") + "=1\n");
  const CliRun r = run("--folder " + folder_.string());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(link("fast") + "\tCOM\t115200\tKo-25MC-C65\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(link("slow") + "\tCOM\t9600\tKa-47M-M40\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(link("off") + "\tCOM\t-\t\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(link("missing") + "\tCOM\t-\tError : -21000\n"), std::string::npos) << r.out;

  // The ports probed one after another: the same lines, in the same order.
  const CliRun one = run("--one-at-a-time --folder " + folder_.string());
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out, r.out);
}

// Would catch a scan that does not create portlist.ini as the window would, or that misses
// the Camera Link ports the default mode asks for.
TEST_F(ScanCli, CurrentFolderFileCreatedAndCameraLinkScanned) {
  const std::string env = "cd " + folder_.string() +
                          " && CLSERIALPATH=" + fs::path(CLSERSIM_PATH).parent_path().string() +
                          " KELPAX_SIM_CAMERAS=Ko-25MC-C65 KELPAX_SIM_BAUD=19200"
                          " KELPAX_SIM_PACING=0 KELPAX_SIM_FAULTS=";
  const CliRun r = run("", env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("clsersim#0 Ko-25MC-C65\tUnknown\t19200\tKo-25MC-C65\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(slurp(folder_ / "portlist.ini"), kelpax::portListCommentBlock() +
                                                 "COMPORT_ONLY=2\n"
                                                 "clsersim#0 Ko-25MC-C65=1\n"
                                                 "BaudRate=AUTO\n");
}

// Would catch success reported when no camera answered, or a bad folder taken as empty.
TEST_F(ScanCli, ExitCodesWithoutACamera) {
  camera("quiet", "Ko-25MC-C65", 115200, "silent");
  portList("COMPORT_ONLY=1\nBaudRate=115200\n" + link("quiet") + "=1\n");
  const CliRun none = run("--folder " + folder_.string());
  EXPECT_EQ(none.status, 2) << none.err;
  EXPECT_NE(none.out.find(link("quiet") + "\tCOM\t-\tNot found\n"), std::string::npos) << none.out;

  const CliRun bad = run("--folder " + (folder_ / "nowhere").string());
  EXPECT_EQ(bad.status, 3);
  EXPECT_NE(bad.err.find("no folder"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder_ / "nowhere"));
}

// Would catch a portlist.ini too large to read reported only as "no ports to scan" (the ports
// it names by path are not listed at all), or the file rewritten and its lines lost.
TEST_F(ScanCli, PortListTooLargeToReadSaysWhy) {
  camera("cam", "Ko-25MC-C65", 115200);
  std::string text = "COMPORT_ONLY=1\nBaudRate=115200\n" + link("cam") + "=1\n";
  text += ":" + std::string(kelpax::PortSettings::kMaxFileSize, '-') + "\n";
  portList(text);
  // Unread, the file leaves the default: Camera Link ports only, and there are none.
  const CliRun r = run("--folder " + folder_.string(), "CLSERIALPATH=");
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("portlist.ini is too large to read"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(std::to_string(text.size()) + " bytes"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("no ports to scan"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(folder_ / "portlist.ini"), text);

  // A file of a readable size again: no complaint, the camera it names is found.
  portList("COMPORT_ONLY=1\nBaudRate=115200\n" + link("cam") + "=1\n");
  const CliRun fine = run("--folder " + folder_.string());
  EXPECT_EQ(fine.status, 0) << fine.err;
  EXPECT_EQ(fine.err.find("portlist.ini"), std::string::npos) << fine.err;
  EXPECT_NE(fine.out.find(link("cam") + "\tCOM\t115200\tKo-25MC-C65\n"), std::string::npos);
}
