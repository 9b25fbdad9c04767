// kelpax-cli genicam: the verbs on a simulated GenCP camera behind libclsersim.so.
#include <filesystem>

#include <unistd.h>

#include "cli_run.h"
#include "sim/gencp_device.h"

namespace {

namespace fs = std::filesystem;
using clitest::runShell;

class GenICamCli : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("kelpax-cli-genicam-" + std::to_string(getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  // One Ko camera and two GenCP cameras, unpaced.
  clitest::CliRun cli(const std::string& args, const std::string& faults = {}) {
    const std::string env = "CLSERIALPATH=" + fs::path(CLSERSIM_PATH).parent_path().string() +
                            " KELPAX_SIM_CAMERAS=Ko-25MC-C65,Kg-12M-G40@115200,Kg-12M-G40@9600"
                            " KELPAX_SIM_PACING=0 QT_QPA_PLATFORM=offscreen KELPAX_SIM_FAULTS='" +
                            faults + "' ";
    return runShell(env + KELPAX_CLI + std::string(" genicam ") + args, folder_);
  }
  fs::path folder_;
};

// The list shows every port and the GenCP cameras on them; the ASCII camera has none.
TEST_F(GenICamCli, ListShowsInterfacesAndTheirCameras) {
  auto r = cli("list");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("I00\tID:I00 clsersim#0 Ko-25MC-C65#"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\tQuorvane#Kg-12M-G40#Kg-12M-G40#"), std::string::npos) << r.out;
}

// xml gives the camera's own description; set writes and reads back in one run; a feature the
// camera lacks and a port without a GenCP camera are failures with their exit codes.
TEST_F(GenICamCli, XmlGetSetAndTheirFailures) {
  const std::string out = (folder_ / "camera.xml").string();
  auto r = cli("xml --port 'clsersim#1 Kg-12M-G40' --out " + out);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(clitest::slurp(out), sim::gencpDescriptionXml());

  r = cli("set --port 'clsersim#2 Kg-12M-G40' ExposureTime 1500");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1500\n");
  r = cli("get --port 'clsersim#1 Kg-12M-G40' Width");
  EXPECT_EQ(r.out, "4096\n");
  r = cli("set --port 'clsersim#1 Kg-12M-G40' Width 5000");
  EXPECT_EQ(r.status, 1) << "out of range";
  r = cli("get --port 'clsersim#1 Kg-12M-G40' NoSuchFeature");
  EXPECT_EQ(r.status, 1);
  r = cli("get --port 'clsersim#0 Ko-25MC-C65' Width");
  EXPECT_EQ(r.status, 3);
  r = cli("get --port 'clsersim#1 Kg-12M-G40' Width", "gencp-bad-checksum");
  EXPECT_EQ(r.status, 3) << "a camera whose answers fail their checksums is not opened";
}

// features lists the tree; save writes the browser's JSON; load refuses a file that is no JSON.
TEST_F(GenICamCli, FeaturesSaveAndLoad) {
  auto r = cli("features --port 'clsersim#1 Kg-12M-G40'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\tExposureTime "), std::string::npos);
  EXPECT_NE(r.out.find("\tTriggerSelector "), std::string::npos);
  const std::string json = (folder_ / "features.json").string();
  r = cli("save --port 'clsersim#1 Kg-12M-G40' " + json);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string saved = clitest::slurp(json);
  EXPECT_NE(saved.find("\"Name\": \"ExposureTime\""), std::string::npos) << saved;
  r = cli("load --port 'clsersim#2 Kg-12M-G40' " + json);
  EXPECT_EQ(r.status, 0) << r.err;
  std::ofstream(folder_ / "bad.json") << "{ not json";
  r = cli("load --port 'clsersim#2 Kg-12M-G40' " + (folder_ / "bad.json").string());
  EXPECT_EQ(r.status, 1);
}

} // namespace
