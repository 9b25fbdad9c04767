// kelpax-cli lut end to end: tables written, sent to each slot of kelpax-camsim cameras (on a
// pseudo-terminal and through the simulated Camera Link library), read back and chosen.
#include <filesystem>
#include <fstream>
#include <string>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "editors/lut_file.h"
#include "editors/lut_transfer.h"
#include "session/camera_session.h"
#include "tests/cli/cli_run.h"

namespace fs = std::filesystem;

namespace {

using clitest::CliRun;
using clitest::slurp;

const std::string cli = KELPAX_CLI;

class LutCli : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kelpax-cli-lut-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  CliRun run(const std::string& line) const { return clitest::runShell(line, dir_); }
  std::string link() const { return path("ttyCAM"); }
  std::string on() const { return " --port " + link() + " --baud 16 "; }

  fs::path dir_;
};

} // namespace

// Would catch a table changed on its way to a slot and back, the slots mixed up, or a 14-bit
// table cut to 12 bits; the upload's file is byte for byte the generated one.
TEST_F(LutCli, GammaDownloadUploadRoundTrip) {
  clitest::CamsimProcess camera(KELPAX_CAMSIM, link(), "Ky-29C-M40");
  ASSERT_EQ(run(cli + " lut gamma 0.45 --out " + path("g045")).status, 0);
  ASSERT_EQ(run(cli + " lut gamma 2.2 --out " + path("g220.lut")).status, 0);
  ASSERT_EQ(run(cli + " lut gamma 0.6 --type 14 --out " + path("wide")).status, 0);
  EXPECT_EQ(slurp(path("g045.lut")).rfind(":Quorvane Camera LUT Data \n0,0\n1,96\n", 0), 0u);

  CliRun r = run(cli + " lut download --slot 1 " + path("g045.lut") + on());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("100 %"), std::string::npos) << r.err;
  ASSERT_EQ(run(cli + " lut download --slot 2 " + path("g220.lut") + on()).status, 0);
  r = run(cli + " lut upload --slot 1 " + path("back1") + on());
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(run(cli + " lut upload --slot 2 " + path("back2.lut") + on()).status, 0);
  EXPECT_EQ(slurp(path("back1.lut")), slurp(path("g045.lut")));
  EXPECT_EQ(slurp(path("back2.lut")), slurp(path("g220.lut")));

  ASSERT_EQ(run(cli + " lut download --type 14 --slot 2 " + path("wide.lut") + on()).status, 0);
  r = run(cli + " lut upload --type 14 --slot 2 " + path("wideback") + on());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(path("wideback.lut")), slurp(path("wide.lut")));
  // A 14-bit table is no 12-bit one: refused, no file.
  r = run(cli + " lut upload --slot 2 " + path("narrow") + on());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("size"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(path("narrow.lut")));
}

// The Camera Link library keeps its camera in the program that loads it, so the round trip
// runs in this process, through the same plans and transfer engine the command line uses.
// Would catch a table damaged on the library's path, or the slot parameter lost on it.
TEST_F(LutCli, RoundTripThroughTheCameraLinkLibrary) {
  setenv("KELPAX_SIM_CAMERAS", "Kx-4M-M40", 1);
  setenv("KELPAX_SIM_PACING", "0", 1);
  setenv("KELPAX_SIM_BAUD", "115200", 1);
  unsetenv("KELPAX_SIM_FAULTS");
  void* handle = dlopen(CLSERSIM_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr);
  reinterpret_cast<void (*)()>(dlsym(handle, "clsersimReset"))();
  {
    kelpax::CameraSession session;
    kelpax::PortEntry entry;
    entry.isLibrary = 1;
    entry.libraryPath = CLSERSIM_PATH;
    session.port().addPort(entry);
    ASSERT_EQ(session.port().OpenPort(0, 16), 0);
    kelpax::LutTable first, second;
    ASSERT_TRUE(kelpax::generateGammaTable(first, 1.8));
    ASSERT_TRUE(kelpax::generateGammaTable(second, 0.3));
    ASSERT_TRUE(session.transfer().SendBinary(kelpax::planLutDownload(first, 1).plan).ok());
    ASSERT_TRUE(session.transfer().SendBinary(kelpax::planLutDownload(second, 2).plan).ok());
    for (int slot : {2, 1}) {
      std::vector<uint8_t> received;
      ASSERT_TRUE(session.transfer()
                      .ReceiveBinary(kelpax::planLutUpload(slot, kelpax::LutType::Bits12), received)
                      .ok());
      const kelpax::LutUpload back = kelpax::lutFromUpload(received, kelpax::LutType::Bits12);
      ASSERT_TRUE(back.ok) << back.message;
      EXPECT_EQ(back.table, slot == 1 ? first : second) << slot;
    }
    session.closePort();
  }
  dlclose(handle);
}

// The exit codes: a refused value or choice (1), a bad or unwritable file (4), the camera's
// refusal (1); nothing is sent or written in each case.
TEST_F(LutCli, RefusalsAndExitCodes) {
  for (const char* gamma : {"0", "1001", "-1"}) {
    const CliRun r = run(cli + " lut gamma -- " + gamma + " --out " + path("g"));
    EXPECT_NE(r.status, 0) << gamma;
    EXPECT_FALSE(fs::exists(path("g.lut"))) << gamma;
  }
  clitest::CamsimProcess camera(KELPAX_CAMSIM, link(), "Kx-4M-M40");
  std::ofstream(path("skip17.lut")) << ":Quorvane Camera LUT Data \n0,0\n1,1\n18,18\n";
  CliRun r = run(cli + " lut download --slot 1 " + path("skip17.lut") + on());
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find(" LUT file error!"), std::string::npos) << r.err;
  r = run(cli + " lut download --slot 1 " + path("absent.lut") + on());
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("Cannot open LUT file!"), std::string::npos) << r.err;

  r = run(cli + " lut select 3" + on());
  EXPECT_NE(r.status, 0);
  r = run(cli + " lut select 2" + on());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(run(cli + " query gls" + on()).out, "2\n");
  r = run(cli + " lut select off" + on());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(run(cli + " query gls" + on()).out, "0\n");

  // Slot 1 was never written: the camera has no table to give.
  r = run(cli + " lut upload --slot 1 " + path("none") + on());
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(path("none.lut")));
  ASSERT_EQ(run(cli + " lut gamma 0.5 --out " + path("g5")).status, 0);
  ASSERT_EQ(run(cli + " lut download --slot 1 " + path("g5.lut") + on()).status, 0);
  r = run(cli + " lut upload --slot 1 " + path("no/such/dir/out") + on());
  EXPECT_EQ(r.status, 4) << r.err;
}

TEST_F(LutCli, CameraWithoutTablesRefuses) {
  clitest::CamsimProcess camera(KELPAX_CAMSIM, link(), "Kw-4M-C10");
  ASSERT_EQ(run(cli + " lut gamma 0.45 --out " + path("g")).status, 0);
  CliRun r = run(cli + " lut download --slot 1 " + path("g.lut") + on());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Download failed(NAK)"), std::string::npos) << r.err;
  r = run(cli + " lut select 1" + on());
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(run(cli + " query gmn" + on()).out, "Kw-4M-C10\n");
}
