// kelpax-cli ffc end to end: the real program against kelpax-camsim cameras on pseudo-terminals.
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

const std::string cli = KELPAX_CLI;

class FfcCli : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kelpax-cli-ffc-" + std::to_string(getpid()) + "-" +
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
  std::string on() const { return " --port " + link() + " --baud 16"; }
  CliRun ffc(const std::string& args) const { return run(cli + " ffc " + args + on()); }

  fs::path dir_;
};

// Would catch a byte pair left unswapped one way, an odd last byte lost, a missing ".ffc" on
// the written name, or the flash commands reported without the camera's word.
TEST_F(FfcCli, FfcFileRoundTripAndFlashCommandsOnAnAreaCamera) {
  clitest::CamsimProcess camera(KELPAX_CAMSIM, link(), "Ko-25MC-C65");
  std::string bytes(4097, '\0');
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = char(i * 13 + (i >> 7));
  write("flat.ffc", bytes);
  CliRun r = ffc("download " + path("flat.ffc"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("100 %"), std::string::npos) << r.err;
  r = ffc("upload " + path("back"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(path("back.ffc")), bytes);

  r = ffc("generate");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Generated !\n"), std::string::npos) << r.out << r.err;
  r = ffc("save");
  EXPECT_NE(r.out.find("Saved !\n"), std::string::npos) << r.out << r.err;
  r = ffc("load");
  EXPECT_NE(r.out.find("loaded!\n"), std::string::npos) << r.out << r.err;
}

// Would catch a bad file reaching the camera, a refusal reported as success, or a file
// written half when the camera's data is refused.
TEST_F(FfcCli, PrnuFilesOnALineScanCameraAndBadFiles) {
  clitest::CamsimProcess camera(KELPAX_CAMSIM, link(), "Ku-16K-M80");
  write("coeff.csv", "65535\n0\n4242\n");
  CliRun r = ffc("download-prnu " + path("coeff.csv"));
  ASSERT_EQ(r.status, 0) << r.err;
  r = ffc("upload-prnu " + path("back.csv"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(path("back.csv")), "65535\n0\n4242\n");

  write("bad.csv", "1\n70000\n");
  r = ffc("download-prnu " + path("bad.csv"));
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("0 ~ 65535"), std::string::npos) << r.err;
  write("binary.csv", std::string("\x00\x01\x02\xff\n", 5));
  r = ffc("download-linearity " + path("binary.csv"));
  EXPECT_EQ(r.status, 4) << r.err;
  r = ffc("download-linearity " + path("missing.csv"));
  EXPECT_EQ(r.status, 4) << r.err;
  write("lin.csv", "0\n512\n65535\n");
  r = ffc("download-linearity " + path("lin.csv"));
  EXPECT_EQ(r.status, 0) << r.err;
  // The coefficients the camera holds are still the good ones.
  r = ffc("upload-prnu " + path("again.csv"));
  EXPECT_EQ(slurp(path("again.csv")), "65535\n0\n4242\n");

  // A Ku camera keeps no flat-field data of its own: the refusal is an error.
  r = ffc("generate");
  EXPECT_EQ(r.status, 1) << r.out;
}

} // namespace
