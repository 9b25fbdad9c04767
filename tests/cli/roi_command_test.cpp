// kelpax-cli roi against kelpax-camsim on a pseudo-terminal, and the regions through
// save-settings / load-settings.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/cli/cli_run.h"

namespace fs = std::filesystem;

namespace {

using clitest::CliRun;

struct RoiRun {
  RoiRun(const std::string& model, const std::string& tag, const std::string& faults = {}) {
    folder = fs::temp_directory_path() / ("kelpax-cli-roi-" + tag + "-" + std::to_string(getpid()));
    fs::create_directories(folder);
    link = (folder / "tty").string();
    camsim = std::make_unique<clitest::CamsimProcess>(KELPAX_CAMSIM, link, model, faults);
  }
  ~RoiRun() {
    camsim.reset();
    fs::remove_all(folder);
  }
  CliRun run(const std::string& args) {
    return clitest::runShell(
        std::string(KELPAX_CLI) + " " + args + " --port " + link + " --baud 16", folder);
  }
  fs::path folder;
  std::string link;
  std::unique_ptr<clitest::CamsimProcess> camsim;
};

// Would catch a verb that reports success for a region the camera never got, a region outside
// the sensor that reaches the camera, or an enable state lost between runs.
TEST(KelpaxCliRoi, ListSetEnableDisableReset) {
  RoiRun r("Ko-25MC-C65", "verbs");
  CliRun list = r.run("roi list");
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out.substr(0, list.out.find('\n')),
            "Region Offset X Offset Y  Width Height Status");
  EXPECT_NE(list.out.find("\n0             0        0   5120   5120 On\n"), std::string::npos)
      << list.out;
  EXPECT_NE(list.out.find("\n7             0        0   5120   5120 \n"), std::string::npos)
      << list.out;

  CliRun set = r.run("roi set 2 400 300 1000 800");
  ASSERT_EQ(set.status, 0) << set.err;
  ASSERT_EQ(r.run("roi enable 2").status, 0);
  list = r.run("roi list");
  EXPECT_NE(list.out.find("\n2           400      300   1000    800 On\n"), std::string::npos)
      << list.out;

  CliRun outside = r.run("roi set 2 4500 0 1000 800");
  EXPECT_EQ(outside.status, 1);
  EXPECT_NE(outside.err.find("nothing was sent"), std::string::npos) << outside.err;
  CliRun noRow = r.run("roi set 8 0 0 100 100");
  EXPECT_EQ(noRow.status, 1);
  EXPECT_NE(noRow.err.find("no region 8"), std::string::npos) << noRow.err;
  CliRun first = r.run("roi disable 0");
  EXPECT_EQ(first.status, 1);
  EXPECT_NE(first.err.find("Error : region 0 cannot be disabled, Check ROI domain"),
            std::string::npos)
      << first.err;
  EXPECT_EQ(r.run("roi set 2 1 2").status, 1);

  CliRun reset = r.run("roi reset");
  ASSERT_EQ(reset.status, 0) << reset.err;
  EXPECT_NE(reset.out.find("\n0             0        0   5120   5120 On\n"), std::string::npos);
  EXPECT_NE(reset.out.find("\n2           400      300   5120    800 \n"), std::string::npos)
      << reset.out;
  EXPECT_NE(r.run("roi list").out.find("\n2           400      300   5120    800 \n"),
            std::string::npos);
}

// A camera without regions says so instead of pretending to have a table.
TEST(KelpaxCliRoi, OneRegionCameraIsTold) {
  RoiRun r("Ka-47M-M40", "none");
  CliRun list = r.run("roi list");
  EXPECT_EQ(list.status, 1);
  EXPECT_NE(list.err.find("one region only"), std::string::npos) << list.err;
}

// The regions travel in the setting file: saved from one camera, loaded into a fresh one, the
// list matches. Would catch a save that leaves them out or a load that refuses its own lines.
TEST(KelpaxCliRoi, RegionsTravelInSettingFiles) {
  std::string file;
  std::string listed;
  fs::path keep = fs::temp_directory_path() / ("kelpax-cli-roi-keep-" + std::to_string(getpid()));
  fs::create_directories(keep);
  {
    RoiRun a("Ko-50M-C5", "save");
    ASSERT_EQ(a.run("roi set 3 64 32 512 256").status, 0);
    ASSERT_EQ(a.run("roi enable 3").status, 0);
    listed = a.run("roi list").out;
    file = (keep / "regions.csf").string();
    CliRun saved = a.run("save-settings " + file);
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_NE(clitest::slurp(file).find("srs 3\r\nsrw 512\r\nsrh 256\r\nsrx 64\r\nsry 32\r\nsrc 1"),
              std::string::npos);
  }
  RoiRun b("Ko-50M-C5", "load");
  ASSERT_NE(b.run("roi list").out, listed);
  CliRun loaded = b.run("load-settings " + file);
  EXPECT_EQ(loaded.status, 0) << loaded.out << loaded.err;
  EXPECT_EQ(b.run("roi list").out, listed);
  fs::remove_all(keep);
}

} // namespace
