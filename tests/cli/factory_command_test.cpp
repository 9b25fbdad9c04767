// kelpax-cli's factory verbs (temperature, stage, timing) against kelpax-camsim on a
// pseudo-terminal.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/cli/cli_run.h"

namespace fs = std::filesystem;

namespace {

using clitest::CliRun;

struct FactoryRun {
  FactoryRun(const std::string& model, const std::string& tag) {
    folder =
        fs::temp_directory_path() / ("kelpax-cli-factory-" + tag + "-" + std::to_string(getpid()));
    fs::create_directories(folder);
    link = (folder / "tty").string();
    camsim = std::make_unique<clitest::CamsimProcess>(KELPAX_CAMSIM, link, model);
  }
  ~FactoryRun() {
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

// Catches the new actions breaking the plain verb, a target outside -10 ... 80 that reaches the
// camera or reports success, and a log without its header or with a wrong time column.
TEST(KelpaxCliTemperature, GetTargetAndLog) {
  FactoryRun f("KnP-16M-M4", "temperature");
  CliRun plain = f.run("temperature");
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out, "42.5\n");

  CliRun refused = f.run("temperature target 81");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("nothing was sent"), std::string::npos) << refused.err;
  EXPECT_EQ(f.run("temperature target -11").status, 1);
  EXPECT_EQ(f.run("temperature target 12.5").status, 1);
  CliRun set = f.run("temperature target 12");
  EXPECT_EQ(set.status, 0) << set.err;
  CliRun get = f.run("temperature get");
  EXPECT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(get.out, "35.00\n");

  const std::string csv = (f.folder / "aging").string();
  CliRun log = f.run("temperature log --seconds 3 --interval-ms 10 " + csv);
  EXPECT_EQ(log.status, 0) << log.err;
  EXPECT_EQ(clitest::slurp(csv + ".csv"),
            "Aging Time,Camera Temperature,CCD Temperature, PWM\n"
            "00:00:00,42.50,35.00,000\n00:00:01,42.50,35.00,000\n00:00:02,42.50,35.00,000\n");
  EXPECT_NE(f.run("temperature log").status, 0) << "a log needs its file";
}

// Catches a move outside the travel that reaches the camera, voltages that ignore the move, and
// a check that reports success on an untrimmed stage or leaves no report.
TEST(KelpaxCliStage, ResetMoveVoltagesAndCheck) {
  FactoryRun f("KnP-16M-M4", "stage");
  EXPECT_EQ(f.run("stage reset").out, "OK\n");
  EXPECT_EQ(f.run("stage calibrate").status, 0);
  CliRun far = f.run("stage move 30001 0");
  EXPECT_EQ(far.status, 1);
  EXPECT_NE(far.err.find("nothing was sent"), std::string::npos) << far.err;
  EXPECT_EQ(f.run("stage move 20000 0").status, 0);
  CliRun volts = f.run("stage voltages");
  EXPECT_EQ(volts.status, 0) << volts.err;
  EXPECT_EQ(volts.out.substr(0, 4), "X 11") << volts.out; // 14.6 V at 0 nm, +100 V at 20000 nm

  const std::string report = (f.folder / "check.txt").string();
  CliRun check = f.run("stage check --report " + report);
  EXPECT_EQ(check.status, 1) << "the simulated stage leaves the factory untrimmed";
  const std::string text = clitest::slurp(report);
  EXPECT_EQ(text.rfind("Stage Check \n", 0), 0u) << text;
  EXPECT_NE(text.find("\t:Faild\n"), std::string::npos);
  EXPECT_NE(text.find("Stage Setup Time : "), std::string::npos);
  EXPECT_NE(check.err.find("fault(s)"), std::string::npos) << check.err;
  EXPECT_FALSE(fs::exists(report + ".part"));
}

// A ".tmd" file downloaded and saved again comes back byte for byte: the camera holds the file's
// words. Catches a download in the wrong argument order, a save that writes the dialog's values
// instead of the camera's, and a short file that reaches the camera.
TEST(KelpaxCliTiming, LoadDownloadSaveRoundTrip) {
  FactoryRun f("Kx-4M-M40", "timing");
  CliRun factory = f.run("timing download");
  EXPECT_EQ(factory.status, 0) << factory.err;
  const std::string saved = (f.folder / "factory.tmd").string();
  EXPECT_EQ(f.run("timing save " + saved).status, 0);
  std::string bytes = clitest::slurp(saved);
  ASSERT_EQ(bytes.size(), 104u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\0\0\0\x10", 4));

  // Width RG (entry 6) 40, offset SHP1 (entry 21) 5, offset DCK1 (entry 25) 63.
  bytes[6 * 4 + 3] = 40;
  bytes[21 * 4 + 3] = 5;
  bytes[25 * 4 + 3] = 63;
  const std::string tuned = (f.folder / "tuned.tmd").string();
  std::ofstream(tuned, std::ios::binary) << bytes;
  CliRun load = f.run("timing load " + tuned);
  EXPECT_EQ(load.status, 0) << load.err;
  EXPECT_NE(load.out.find("\nRG       40     34\n"), std::string::npos) << load.out;
  EXPECT_NE(load.out.find("\nDCK1     16     63\n"), std::string::npos) << load.out;
  CliRun download = f.run("timing download " + tuned);
  EXPECT_EQ(download.status, 0) << download.err;
  const std::string back = (f.folder / "back.tmd").string();
  EXPECT_EQ(f.run("timing save " + back).status, 0);
  EXPECT_EQ(clitest::slurp(back), bytes);

  const std::string shortFile = (f.folder / "short.tmd").string();
  std::ofstream(shortFile, std::ios::binary) << bytes.substr(0, 103);
  CliRun refused = f.run("timing download " + shortFile);
  EXPECT_EQ(refused.status, 4);
  EXPECT_NE(refused.err.find("103 bytes"), std::string::npos) << refused.err;
  EXPECT_EQ(f.run("timing save " + back).status, 0);
  EXPECT_EQ(clitest::slurp(back), bytes) << "the short file changed nothing";
  EXPECT_EQ(f.run("timing save").status, 4);
}

} // namespace
