// The port scan against simulated cameras on pseudo-terminals (named by device path in
// portlist.ini) and against the scripted Camera Link library copied into search folders.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "link/port_scan.h"
#include "link/port_settings.h"
#include "sim/pty_camera.h"

using namespace kelpax;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

struct ViewRecorder : ScanView {
  void clearRows() override {
    rows.clear();
    history.clear();
    ++clears;
  }
  void addRow(const std::string& portName) override {
    rows.push_back(portName);
    history.emplace_back();
  }
  void setCameraText(int row, const std::string& text) override {
    ASSERT_GE(row, 0);
    ASSERT_LT(size_t(row), history.size());
    history[size_t(row)].push_back(text);
  }
  std::string text(int row) const {
    const auto& h = history.at(size_t(row));
    return h.empty() ? "(never set)" : h.back();
  }
  std::vector<std::string> rows;
  std::vector<std::vector<std::string>> history; // every text each row was given
  int clears = 0;
};

// A copy of the scripted scan library under a name of our choosing, with its test controls.
struct ScanLibrary {
  ScanLibrary(const fs::path& folder, const std::string& name = "libclserscan.so") {
    fs::create_directories(folder);
    path = (folder / name).string();
    fs::copy_file(CLSER_SCAN_FIXTURE_PATH, path, fs::copy_options::overwrite_existing);
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(handle, nullptr) << dlerror();
    sym<void (*)()>("fixtureReset")();
  }
  template <typename F> F sym(const char* name) {
    F f = reinterpret_cast<F>(dlsym(handle, name));
    EXPECT_NE(f, nullptr) << name;
    return f;
  }
  void setPorts(uint32_t count, int32_t result) {
    sym<void (*)(uint32_t, int32_t)>("fixtureSetPorts")(count, result);
  }
  void setIdentifier(uint32_t index, const char* id) {
    sym<void (*)(uint32_t, const char*)>("fixtureSetIdentifier")(index, id);
  }
  void setCameraBaud(uint32_t code) { sym<void (*)(uint32_t)>("fixtureSetCameraBaud")(code); }
  std::vector<uint32_t> baudHistory() {
    std::vector<uint32_t> codes;
    const uint32_t n = sym<uint32_t (*)()>("fixtureBaudCount")();
    for (uint32_t i = 0; i < n; ++i) {
      codes.push_back(sym<uint32_t (*)(uint32_t)>("fixtureBaud")(i));
    }
    return codes;
  }
  int inits(uint32_t index) { return sym<int (*)(uint32_t)>("fixtureInits")(index); }

  std::string path;
  void* handle = nullptr;
};

class PortScan : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    tag_ = std::to_string(getpid()) + "-" + info->name();
    folder_ = fs::temp_directory_path() / ("kelpax-scan-" + tag_);
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    settings_ = std::make_unique<PortSettings>(folder_.string());
    scanner_ = std::make_unique<PortScanner>(exchange_, *settings_);
    scanner_->setView(&view_);
    // Only the ports a test names: no serial ports of this machine, no installed libraries.
    scanner_->setComPortLister([] { return std::vector<std::string>{}; });
    scanner_->setLibraryFolders({});
    scanner_->setBootWaitTickMs(20);
  }
  void TearDown() override {
    port_.ClosePort();
    cameras_.clear();
    fs::remove_all(folder_);
  }

  std::string linkPath(const std::string& name) const {
    return "/tmp/kelpax-scan-" + tag_ + "-" + name;
  }
  // A camera on a pseudo-terminal, without pacing unless the rate matters.
  sim::PtyCamera& camera(const std::string& name, int baud = 115200,
                         const std::string& faults = {}) {
    sim::PtyOptions options;
    options.model = "Ko-25MC-C65";
    options.linkPath = linkPath(name);
    options.baud = baud;
    options.pacing = false;
    std::string error;
    EXPECT_TRUE(sim::parseFaults(faults, options.faults, &error)) << error;
    cameras_.push_back(std::make_unique<sim::PtyCamera>(options));
    EXPECT_TRUE(cameras_.back()->start(&error)) << error;
    return *cameras_.back();
  }
  void writePortList(const std::string& text) {
    std::ofstream(folder_ / "portlist.ini", std::ios::binary) << text;
  }
  std::string portList() const {
    std::ifstream in(folder_ / "portlist.ini", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  const PortEntry& slot(int i) const { return port_.ports()[size_t(i)]; }
  std::optional<InterfaceMode> scan(bool first = true,
                                    InterfaceMode combo = InterfaceMode::ClserOnly) {
    return scanner_->ScanPorts(first, combo);
  }

  std::string tag_;
  fs::path folder_;
  CameraPort port_;
  CommandExchange exchange_{port_};
  std::unique_ptr<PortSettings> settings_;
  std::unique_ptr<PortScanner> scanner_;
  ViewRecorder view_;
  std::vector<std::unique_ptr<sim::PtyCamera>> cameras_;
};

} // namespace

// Would catch a garbled echo taken for a model name, an answer that only echoes or only
// prompts taken for a camera, or a value line not shown as the camera sent it.
TEST_F(PortScan, ModelAnswersAsTheScanJudgesThem) {
  struct Case {
    const char* reply;
    const char* shown; // the final camera column
    uint8_t found;
  } cases[] = {
      {"gmn\r\nKo-25MC-C65\r\n>", "Ko-25MC-C65", 1},
      {"gmn\r\nOM-5 rev2\r\n>", "OM-5", 1}, // the first word of the value line
      {"gmn\r\nhello\r\n>", "hello", 0},    // no marker: shown, not a camera
      {"Kgm\r\n", "Kgm", 0},                // a garbled echo alone never names a model
      {"\r\n>", "Not found", 0},
      {"gmn\r\n>", "gmn", 0}, // echo and prompt, no model: booting, twice
  };
  ScanLibrary library(folder_ / "lib");
  scanner_->setLibraryFolders({(folder_ / "lib").string()});
  writePortList("COMPORT_ONLY=2\nBaudRate=19200\n");
  for (const Case& c : cases) {
    library.sym<void (*)()>("fixtureReset")();
    library.setPorts(1, 0);
    library.setCameraBaud(2);
    library.sym<void (*)(const char*)>("fixtureSetGmnReply")(c.reply);
    scan();
    EXPECT_EQ(view_.text(0), c.shown) << c.reply;
    EXPECT_EQ(slot(0).found, c.found) << c.reply;
    EXPECT_EQ(slot(0).modelName, c.found ? c.shown : "") << c.reply;
  }
}

// Would catch a first scan that leaves the interface mode unwritten or lists PC serial ports
// although the default is Camera Link only; also the keys written, in their order.
TEST_F(PortScan, FirstScanWithoutInterfaceModeWritesTwoAndScansCameraLinkOnly) {
  ScanLibrary library(folder_ / "lib");
  library.setCameraBaud(16);
  scanner_->setLibraryFolders({(folder_ / "lib").string()});
  scanner_->setComPortLister([] { return std::vector<std::string>{"/dev/ttyKELPAX-NONE"}; });

  EXPECT_EQ(scan(), InterfaceMode::ClserOnly);
  EXPECT_EQ(portList(), portListCommentBlock() + "COMPORT_ONLY=2\n"
                                                 "fixture port 0=1\n"
                                                 "fixture port 1=1\n"
                                                 "BaudRate=AUTO\n");
  EXPECT_EQ(view_.rows, (std::vector<std::string>{"fixture port 0", "fixture port 1"}));
  EXPECT_EQ(view_.text(0), "Ko-25MC-C65");
  EXPECT_EQ(view_.text(1), "Ko-25MC-C65");
  EXPECT_EQ(slot(0).found, 1);
  EXPECT_EQ(slot(0).baudCode, 16);
  EXPECT_EQ(slot(0).serialNumber, "20931");
  EXPECT_EQ(slot(0).maker, "Unknown");
  EXPECT_EQ(port_.currentIndex(), 0);
  EXPECT_FALSE(port_.isOpen());
  EXPECT_FALSE(port_.scanning());
}

// Would catch the interface mode read wrongly, rewritten when valid, or read again from the
// file at a later scan instead of taken from the window.
TEST_F(PortScan, InterfaceModeFromFileFirstThenFromTheWindow) {
  ScanLibrary library(folder_ / "lib");
  library.setPorts(1, 0);
  library.setCameraBaud(2);
  scanner_->setLibraryFolders({(folder_ / "lib").string()});
  const std::string missing = linkPath("missing");
  writePortList("COMPORT_ONLY=1\nBaudRate=19200\n" + missing + "=1\n");

  EXPECT_EQ(scan(), InterfaceMode::ComOnly);
  EXPECT_EQ(view_.rows, std::vector<std::string>{missing});
  EXPECT_EQ(view_.text(0), "Error : -21000"); // nothing at that path
  EXPECT_EQ(settings_->ReadPortSetting("COMPORT_ONLY"), "1");

  EXPECT_EQ(scan(false, InterfaceMode::All), InterfaceMode::All);
  EXPECT_EQ(view_.clears, 2);
  EXPECT_EQ(view_.rows, (std::vector<std::string>{missing, "fixture port 0"}));
  EXPECT_EQ(view_.text(1), "Ko-25MC-C65");

  settings_->WritePortSetting("COMPORT_ONLY", "x");
  EXPECT_EQ(scan(true, InterfaceMode::All), InterfaceMode::ClserOnly);
  EXPECT_EQ(settings_->ReadPortSetting("COMPORT_ONLY"), "2");
  EXPECT_EQ(view_.rows, std::vector<std::string>{"fixture port 0"});
}

// Would catch the rates tried in another order, or a rate left out or added.
TEST_F(PortScan, AutoTriesFastestRateFirst) {
  ScanLibrary library(folder_ / "lib");
  library.setPorts(1, 0);
  scanner_->setLibraryFolders({(folder_ / "lib").string()});
  writePortList("COMPORT_ONLY=2\nBaudRate=Auto\n");

  scan(); // a camera that never answers
  EXPECT_EQ(library.baudHistory(), (std::vector<uint32_t>{16, 2, 1}));
  EXPECT_EQ(view_.text(0), "Not found");
  EXPECT_EQ(slot(0).found, 0);
  EXPECT_EQ(port_.currentIndex(), -1);

  library.sym<void (*)()>("fixtureReset")();
  library.setPorts(1, 0);
  library.setCameraBaud(2);
  scan();
  // 115200 unanswered, 19200 answered, then the model query at 19200.
  EXPECT_EQ(library.baudHistory(), (std::vector<uint32_t>{16, 2, 2}));
  EXPECT_EQ(view_.text(0), "Ko-25MC-C65");
  EXPECT_EQ(slot(0).baudCode, 2);
}

// Would catch a scan that stops before 9600 or asks at a rate the camera cannot hear.
TEST_F(PortScan, AutoFindsACameraAt9600OnTheThirdRate) {
  sim::PtyCamera& cam = camera("slow", 9600);
  writePortList("COMPORT_ONLY=1\nBaudRate=AUTO\n" + cam.linkPath() + "=1\n");
  scan();
  EXPECT_EQ(view_.text(0), "Ko-25MC-C65");
  EXPECT_EQ(slot(0).baudCode, 1);
  EXPECT_EQ(slot(0).found, 1);
  // Heard: the rate check's "gmn" at 9600, the model query and the serial number query.
  EXPECT_EQ(cam.commandsReceived(), 3);
}

// Would catch a fixed rate that still runs the rate check, or probes at another rate.
TEST_F(PortScan, FixedRateProbesOnlyThatRate) {
  ScanLibrary library(folder_ / "lib");
  library.setPorts(1, 0);
  library.setCameraBaud(4);
  scanner_->setLibraryFolders({(folder_ / "lib").string()});
  writePortList("BaudRate=38400\nCOMPORT_ONLY=2\n");
  scan();
  EXPECT_EQ(library.baudHistory(), std::vector<uint32_t>{4});
  EXPECT_EQ(view_.text(0), "Ko-25MC-C65");
  EXPECT_EQ(slot(0).baudCode, 4);

  library.sym<void (*)()>("fixtureReset")();
  library.setPorts(1, 0);
  library.setCameraBaud(16);
  settings_->WritePortSetting("BaudRate", "19200");
  scan();
  EXPECT_EQ(library.baudHistory(), std::vector<uint32_t>{2});
  EXPECT_EQ(view_.text(0), "Not found");
}

// Would catch a disabled port being opened (a camera there would be disturbed).
TEST_F(PortScan, PortSetToZeroIsListedButNeverOpened) {
  ScanLibrary library(folder_ / "lib");
  library.setCameraBaud(16);
  scanner_->setLibraryFolders({(folder_ / "lib").string()});
  writePortList("COMPORT_ONLY=2\nBaudRate=AUTO\nfixture port 0=0\n");
  scan();
  EXPECT_EQ(view_.rows.size(), 2u);
  EXPECT_EQ(view_.history[0], std::vector<std::string>{""});
  EXPECT_EQ(library.inits(0), 0);
  EXPECT_GT(library.inits(1), 0);
  EXPECT_EQ(view_.text(1), "Ko-25MC-C65");
  EXPECT_EQ(port_.currentIndex(), 1);
  EXPECT_EQ(settings_->ReadPortSetting("fixture port 0"), "0");
}

// Would catch COM1 listed from the system's list or from a library's identifiers.
TEST_F(PortScan, Com1IsNeverListed) {
  ScanLibrary library(folder_ / "lib");
  library.setIdentifier(0, "com1");
  scanner_->setLibraryFolders({(folder_ / "lib").string()});
  scanner_->setComPortLister([] {
    return std::vector<std::string>{"COM1", "Com1", "/dev/ttyKELPAX-NONE"};
  });
  writePortList("COMPORT_ONLY=0\n");
  scanner_->BuildPortTable(true, InterfaceMode::ClserOnly);
  EXPECT_EQ(view_.rows, (std::vector<std::string>{"/dev/ttyKELPAX-NONE", "fixture port 1"}));
  EXPECT_EQ(slot(1).portIndex, 1u);
}

// Would catch PC serial ports listed twice when portlist.ini names one the system lists too.
TEST_F(PortScan, DevicePathKeysJoinTheSystemListOnce) {
  scanner_->setComPortLister([] { return std::vector<std::string>{"/dev/ttyS4", "/dev/ttyS5"}; });
  writePortList("COMPORT_ONLY=1\n/dev/ttyS5=1\n/tmp/ttyCAM7=0\n/dev/ttyS4=1\n");
  scanner_->BuildPortTable(true, InterfaceMode::ClserOnly);
  EXPECT_EQ(view_.rows, (std::vector<std::string>{"/dev/ttyS4", "/dev/ttyS5", "/tmp/ttyCAM7"}));
}

// Would catch a search of the list per device-path key: a portlist.ini with 60,000 of them
// made a scan take 24 s. The port table keeps the first ports it can hold.
TEST_F(PortScan, TensOfThousandsOfDevicePathKeysBuildTheTableQuickly) {
  scanner_->setComPortLister([] { return std::vector<std::string>{"/dev/ttyS4"}; });
  std::string text = "COMPORT_ONLY=1\n";
  for (int i = 0; i < 60000; ++i)
    text += "/tmp/cam" + std::to_string(i) + "=0\n";
  writePortList(text);
  const auto start = std::chrono::steady_clock::now();
  scanner_->BuildPortTable(true, InterfaceMode::ClserOnly);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ASSERT_EQ(view_.rows.size(), size_t(kMaxPorts));
  EXPECT_EQ(view_.rows[0], "/dev/ttyS4");
  EXPECT_EQ(view_.rows[1], "/tmp/cam0");
}

// Would catch a library of the same name loaded again from a later folder (its ports would be
// listed twice), or the maker not taken from the library's name.
TEST_F(PortScan, LibraryInTwoFoldersIsLoadedOnceFromTheFirst) {
  ScanLibrary first(folder_ / "a");
  ScanLibrary second(folder_ / "b");
  ScanLibrary matrox(folder_ / "b", "libclsermtx.so");
  matrox.setPorts(1, 0);
  scanner_->setLibraryFolders({(folder_ / "a").string(), (folder_ / "b").string()});
  writePortList("COMPORT_ONLY=2\n");
  scanner_->BuildPortTable(true, InterfaceMode::ClserOnly);
  ASSERT_EQ(port_.portCount(), 3);
  EXPECT_EQ(slot(0).libraryPath, first.path);
  EXPECT_EQ(slot(1).libraryPath, first.path);
  EXPECT_EQ(slot(2).libraryPath, matrox.path);
  EXPECT_EQ(slot(2).maker, "Matrox");
  EXPECT_EQ(slot(0).maker, "Unknown");
}

// Would catch ports listed from a library that could not say how many it has.
TEST_F(PortScan, LibraryFailingItsPortCountIsSkipped) {
  ScanLibrary bad(folder_ / "a", "libclserbad.so");
  bad.setPorts(2, -10001);
  ScanLibrary good(folder_ / "b");
  good.setPorts(1, 0);
  scanner_->setLibraryFolders({(folder_ / "a").string(), (folder_ / "b").string()});
  writePortList("COMPORT_ONLY=2\n");
  scanner_->BuildPortTable(true, InterfaceMode::ClserOnly);
  ASSERT_EQ(port_.portCount(), 1);
  EXPECT_EQ(slot(0).libraryPath, good.path);
}

// Would catch a booting camera (echo without a model) reported as missing, or given no time.
TEST_F(PortScan, EchoOnlyCameraShownBootingThenIdentified) {
  sim::PtyCamera& cam = camera("boot1", 115200, "boot-echo=1");
  writePortList("COMPORT_ONLY=1\nBaudRate=115200\n" + cam.linkPath() + "=1\n");
  const auto start = std::chrono::steady_clock::now();
  scan();
  const auto took = std::chrono::steady_clock::now() - start;
  std::vector<std::string> expected = {"Booting"};
  for (int i = 1; i <= 10; ++i) {
    expected.push_back("Booting" + std::string(size_t(i), '.'));
  }
  expected.push_back("Ko-25MC-C65");
  EXPECT_EQ(view_.history[0], expected);
  EXPECT_EQ(slot(0).found, 1);
  EXPECT_EQ(port_.currentIndex(), 0);
  EXPECT_GE(took, 10 * 20ms); // each dot waited for a prompt
}

// Would catch a second boot wait (a scan that never ends) or a second echo-only answer hidden.
TEST_F(PortScan, SecondEchoOnlyAnswerIsShownAsItCame) {
  sim::PtyCamera& cam = camera("boot2", 115200, "boot-echo=2");
  writePortList("COMPORT_ONLY=1\nBaudRate=115200\n" + cam.linkPath() + "=1\n");
  scan();
  ASSERT_EQ(view_.history[0].size(), 12u);
  EXPECT_EQ(view_.history[0][10], "Booting..........");
  EXPECT_EQ(view_.history[0][11], "gmn");
  EXPECT_EQ(slot(0).found, 0);
  EXPECT_EQ(port_.currentIndex(), -1);
  EXPECT_EQ(cam.commandsReceived(), 2); // one probe, one more after the wait, nothing else
}

// Would catch an answer without a model marker counted as a camera that can be connected.
TEST_F(PortScan, AnswerWithoutMarkerShownButNotIdentified) {
  sim::PtyCamera& cam = camera("error", 115200, "error");
  writePortList("COMPORT_ONLY=1\nBaudRate=AUTO\n" + cam.linkPath() + "=1\n");
  scan();
  EXPECT_EQ(view_.text(0), "Error");
  EXPECT_EQ(slot(0).found, 0);
  EXPECT_TRUE(slot(0).modelName.empty());
  EXPECT_EQ(port_.currentIndex(), -1);
}

// Would catch the chosen port taken from the last identified port instead of the first, or
// a silent port that stops the scan.
TEST_F(PortScan, FirstIdentifiedPortIsChosen) {
  sim::PtyCamera& quiet = camera("quiet", 115200, "silent");
  sim::PtyCamera& a = camera("a");
  sim::PtyCamera& b = camera("b");
  writePortList("COMPORT_ONLY=1\nBaudRate=115200\n" + quiet.linkPath() + "=1\n" + a.linkPath() +
                "=1\n" + b.linkPath() + "=1\n");
  scan();
  EXPECT_EQ(view_.text(0), "Not found");
  EXPECT_EQ(view_.text(1), "Ko-25MC-C65");
  EXPECT_EQ(view_.text(2), "Ko-25MC-C65");
  EXPECT_EQ(port_.currentIndex(), 1);
  EXPECT_FALSE(slot(1).serialNumber.empty());
  EXPECT_EQ(slot(1).serialNumber.find("gsn"), std::string::npos);
}

// Would catch a rescan keeping an old result for a camera that has gone.
TEST_F(PortScan, RescanForgetsCamerasThatLeft) {
  sim::PtyCamera& cam = camera("gone");
  writePortList("COMPORT_ONLY=1\nBaudRate=115200\n" + cam.linkPath() + "=1\n");
  scan();
  ASSERT_EQ(slot(0).found, 1);
  sim::Faults silent;
  silent.silent = true;
  cam.setFaults(silent);
  scan(false, InterfaceMode::ComOnly);
  EXPECT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.text(0), "Not found");
  EXPECT_EQ(slot(0).found, 0);
  EXPECT_TRUE(slot(0).modelName.empty());
  EXPECT_EQ(port_.currentIndex(), -1);
}

namespace {

// A window that, while the scan waits, tries to start another scan.
struct RescanningPump : EventPump {
  bool pumpEvents() override {
    ++calls;
    sawScanning = sawScanning || port->scanning();
    sawRunning = sawRunning || scanner->running();
    if (scanner->ScanPorts(false, InterfaceMode::All).has_value()) {
      ++nestedScans;
    }
    return false;
  }
  CameraPort* port = nullptr;
  PortScanner* scanner = nullptr;
  int calls = 0;
  int nestedScans = 0;
  bool sawScanning = false;
  bool sawRunning = false;
};

} // namespace

// Would catch a scan that waits without the window's event pump, or that starts a second scan
// from a window event (it would close the port under the first).
TEST_F(PortScan, ScanPumpsEventsAndRefusesASecondScan) {
  sim::PtyCamera& cam = camera("pump");
  writePortList("COMPORT_ONLY=1\nBaudRate=AUTO\n" + cam.linkPath() + "=1\n");
  RescanningPump pump;
  pump.port = &port_;
  pump.scanner = scanner_.get();
  exchange_.setEventPump(&pump);
  EXPECT_EQ(scan(), InterfaceMode::ComOnly);
  EXPECT_GT(pump.calls, 0);
  EXPECT_EQ(pump.nestedScans, 0);
  EXPECT_TRUE(pump.sawScanning);
  EXPECT_TRUE(pump.sawRunning);
  EXPECT_EQ(view_.clears, 1);
  EXPECT_EQ(view_.text(0), "Ko-25MC-C65");
  EXPECT_FALSE(scanner_->running());
  EXPECT_FALSE(port_.scanning());
}
