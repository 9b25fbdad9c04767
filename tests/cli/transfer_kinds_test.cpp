// Every data kind through the command line's own code (file to plan, the transfer, upload to
// file) into a simulated camera and back, on a pseudo-terminal and through libclsersim.so; and
// the real kelpax-cli for a defect list.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/transfer_kinds.h"
#include "session/camera_session.h"
#include "sim/binary_frames.h"
#include "sim/pty_camera.h"
#include "tests/cli/cli_run.h"
#include "transfer/binary_transfer.h"

namespace fs = std::filesystem;
using namespace kelpax;

namespace {

const char kDefectList[] = ":Quorvane Camera Defective Pixel Data\n:H,V\n0,0\n1,3\n5,3\n100,200\n";

std::string ccdFile() {
  std::string text = "-- CCD information\n";
  for (const char* key : {"ActiveH", "ActiveV", "DarkH", "DarkV1", "DarkV2", "BuffH", "BuffV1",
                          "BuffV2", "DummyH", "Freq"})
    text += std::string(key) + ",12\n";
  for (const char* key : {"T3p", "Tv3rd", "T3d", "Tvccd", "Thd", "Tl", "Tel", "Ts", "Tsd"})
    text += std::string(key) + ",1.5\n";
  return text;
}

std::string imageBytes(size_t count, unsigned seed) {
  std::string bytes(count, '\0');
  for (char& c : bytes) {
    seed = seed * 1103515245u + 12345u;
    c = char(seed >> 16);
  }
  return bytes;
}

struct KindCase {
  const char* kind;
  const char* model;
  const char* fileName;
  std::string content;
  const char* storedUnder; // for kinds without an upload: the block command, in hexadecimal
};

std::vector<KindCase> kindCases() {
  return {
      {"defect", "Ko-25MC-C65", "list.csv", kDefectList, nullptr},
      {"defect", "Ko-10M-M40", "map.csv", kDefectList, nullptr},
      {"defect3", "Ko-25MC-C65", "three.csv", "1,2,7\n3,4,9\n", "0206"},
      {"mcu", "Ko-25MC-C65", "image.mcu", imageBytes(3000, 1), "5000"},
      {"fpga", "Ko-25MC-C65", "image.bin", imageBytes(70000, 2), "6000"},
      {"package", "Ko-25MC-C65", "image.pkg", imageBytes(1, 3), "0000"},
      {"ccd", "Ko-25MC-C65", "timing.cif", ccdFile(), "0300"},
  };
}

class Scratch {
public:
  Scratch() {
    dir_ = fs::temp_directory_path() / ("kelpax-kinds-" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string write(const std::string& name, const std::string& bytes) const {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

private:
  fs::path dir_;
};

// Runs one kind over an open port: download the file, then upload it back (or ask the camera
// what it stored), and compare.
void roundTrip(CameraSession& session, const KindCase& c, const Scratch& scratch) {
  SCOPED_TRACE(std::string(c.kind) + " " + c.model);
  session.camera().identify(c.model);
  const CliKind* kind = findCliKind(c.kind);
  ASSERT_NE(kind, nullptr);
  const std::string path = scratch.write(c.fileName, c.content);
  const PreparedDownload down = kind->download(path, session.camera().modelDescriptor(), {});
  ASSERT_TRUE(down.error.empty()) << down.error;
  BinaryTransfer& transfer = session.transfer();
  const TransferResult sent =
      down.singleFrame ? transfer.SendSingleFrame(down.plan.blockCommand, down.plan.payload)
                       : transfer.SendBinary(down.plan);
  ASSERT_TRUE(sent.ok()) << sent.status;
  if (c.storedUnder) {
    char digest[32];
    std::snprintf(digest, sizeof digest, "%zu/%08x", down.plan.payload.size(),
                  sim::storeDigest(down.plan.payload));
    EXPECT_EQ(session.exchange().Query(std::string("simstore ") + c.storedUnder).token(), digest);
    return;
  }
  const PreparedUpload up = kind->upload(session.camera().modelDescriptor(), {});
  ASSERT_TRUE(up.error.empty()) << up.error;
  std::vector<uint8_t> received;
  const TransferResult got = transfer.ReceiveBinary(up.plan, received);
  ASSERT_TRUE(got.ok()) << got.status;
  std::string file, error;
  ASSERT_TRUE(up.toFile(received, file, error)) << error;
  EXPECT_EQ(file, c.content) << "the uploaded file is the downloaded one";
}

TEST(TransferKinds, RoundTripOverAPseudoTerminal) {
  const Scratch scratch;
  for (const KindCase& c : kindCases()) {
    sim::PtyOptions options;
    options.model = c.model;
    options.linkPath = scratch.path("ttyKIND");
    options.baud = 115200;
    options.pacing = false;
    sim::PtyCamera camera(options);
    ASSERT_TRUE(camera.start(nullptr));
    CameraSession session;
    PortEntry entry;
    entry.portName = options.linkPath;
    session.port().addPort(entry);
    ASSERT_EQ(session.port().OpenPort(0, 16), 0);
    roundTrip(session, c, scratch);
    session.closePort();
  }
}

TEST(TransferKinds, RoundTripThroughTheCameraLinkLibrary) {
  const Scratch scratch;
  for (const KindCase& c : kindCases()) {
    setenv("KELPAX_SIM_CAMERAS", c.model, 1);
    setenv("KELPAX_SIM_PACING", "0", 1);
    setenv("KELPAX_SIM_BAUD", "115200", 1);
    unsetenv("KELPAX_SIM_FAULTS");
    void* handle = dlopen(CLSERSIM_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr);
    reinterpret_cast<void (*)()>(dlsym(handle, "clsersimReset"))();
    CameraSession session;
    PortEntry entry;
    entry.isLibrary = 1;
    entry.libraryPath = CLSERSIM_PATH;
    session.port().addPort(entry);
    ASSERT_EQ(session.port().OpenPort(0, 16), 0);
    roundTrip(session, c, scratch);
    session.closePort();
    dlclose(handle);
  }
}

// The real program: a defect list downloaded with kelpax-cli and uploaded again is the same
// file; the upload of a camera that keeps none writes no file.
TEST(TransferKinds, CommandLineDefectListRoundTrip) {
  const Scratch scratch;
  const std::string link = scratch.path("ttyCLI");
  clitest::CamsimProcess camera(KELPAX_CAMSIM, link, "Ko-25MC-C65");
  const std::string on = " --port " + link + " --baud 16";
  const std::string cli = KELPAX_CLI;
  clitest::CliRun r =
      clitest::runShell(cli + " upload defect " + scratch.path("none.csv") + on, scratch.path(""));
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_FALSE(fs::exists(scratch.path("none.csv")));
  const std::string list = scratch.write("list.csv", kDefectList);
  r = clitest::runShell(cli + " download defect " + list + on, scratch.path(""));
  ASSERT_EQ(r.status, 0) << r.err;
  r = clitest::runShell(cli + " upload defect " + scratch.path("back.csv") + on, scratch.path(""));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(clitest::slurp(scratch.path("back.csv")), kDefectList);
}

} // namespace
