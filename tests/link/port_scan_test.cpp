// The port scan against simulated cameras on pseudo-terminals (named by device path in
// portlist.ini) and against the scripted Camera Link library copied into search folders.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "camera/debug_output.h"
#include "link/port_scan.h"
#include "link/port_settings.h"
#include "sim/pty_camera.h"

using namespace kelpax;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// One dot of a booting camera's wait: ten of them outlast the simulated camera's start-up text.
constexpr uint32_t kTestBootTickMs = 100;

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
    offThread = offThread || std::this_thread::get_id() != owner;
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
  // Rows belong to the window's thread: a text given from any other is a fault.
  std::thread::id owner = std::this_thread::get_id();
  bool offThread = false;
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
    // The simulated cameras send their start-up text half a second after the echo; the boot
    // wait must outlast it, or the text arrives during the next probe and the outcome depends
    // on the machine's load.
    scanner_->setBootWaitTickMs(kTestBootTickMs);
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
  EXPECT_GE(took, 10 * std::chrono::milliseconds(kTestBootTickMs)); // each dot waited
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

namespace {

// A copy of the simulated cameras' Camera Link library under the scan's library folder. Its
// cameras come from the environment, read again at each reset.
struct SimLibrary {
  explicit SimLibrary(const fs::path& folder) {
    fs::create_directories(folder);
    path = (folder / "libclsersim.so").string();
    fs::copy_file(CLSERSIM_PATH, path, fs::copy_options::overwrite_existing);
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(handle, nullptr) << dlerror();
  }
  // New cameras: `cameras` as KELPAX_SIM_CAMERAS lists them, unpaced, no faults.
  void reset(const std::string& cameras) {
    setenv("KELPAX_SIM_CAMERAS", cameras.c_str(), 1);
    setenv("KELPAX_SIM_PACING", "0", 1);
    unsetenv("KELPAX_SIM_FAULTS");
    reinterpret_cast<void (*)()>(dlsym(handle, "clsersimReset"))();
  }
  void setFaults(uint32_t index, const char* faults) {
    auto set =
        reinterpret_cast<int32_t (*)(uint32_t, const char*)>(dlsym(handle, "clsersimSetFaults"));
    EXPECT_EQ(set(index, faults), 0) << faults;
  }
  // Whether a port can be opened now, i.e. no scan left it open.
  bool portFree(uint32_t index) {
    auto init = reinterpret_cast<int32_t (*)(uint32_t, void**)>(dlsym(handle, "clSerialInit"));
    auto close = reinterpret_cast<void (*)(void*)>(dlsym(handle, "clSerialClose"));
    void* ref = nullptr;
    if (init(index, &ref) != 0)
      return false;
    close(ref);
    return true;
  }
  std::string path;
  void* handle = nullptr;
};

// Everything a scan leaves for the operator and the program to see.
struct ScanRecord {
  std::vector<std::string> rows;
  std::vector<std::vector<std::string>> history;
  std::vector<std::string> entries; // found, model, serial number, rate code per slot
  int chosen = -1;
  std::vector<std::string> debugLines;
};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

} // namespace

class PortScanMix : public PortScan {
protected:
  // Cameras at 115200, 19200 and 9600, a camera still booting, silent ports, a port set to
  // "0" and a path with nothing behind it, on pseudo-terminals; behind the simulated cameras'
  // library (whose ports may be probed side by side) cameras at three rates, one booting and a
  // port with no camera; behind the scripted library (probed one port after another) two ports
  // of one camera at 19200. Everything starts afresh, so two scans meet the same cameras.
  void startMix() {
    cameras_.clear();
    camera("fast", 115200);
    camera("mid", 19200);
    camera("slow", 9600);
    camera("boot", 9600, "boot-echo=2");
    camera("quiet", 115200, "silent");
    camera("off", 115200);
    if (!sim_)
      sim_ = std::make_unique<SimLibrary>(folder_ / "lib");
    sim_->reset("Ka-47M-M40@115200,-,Ko-4M-M180@9600,Ko-12M-M65@19200,Kh-12C@9600");
    sim_->setFaults(4, "boot-echo=2");
    if (!fixture_)
      fixture_ = std::make_unique<ScanLibrary>(folder_ / "lib");
    fixture_->sym<void (*)()>("fixtureReset")();
    fixture_->setPorts(2, 0);
    fixture_->setCameraBaud(2);
    scanner_->setLibraryFolders({(folder_ / "lib").string()});
    writePortList("COMPORT_ONLY=0\nBaudRate=AUTO\n" + linkPath("fast") + "=1\n" + linkPath("mid") +
                  "=1\n" + linkPath("slow") + "=1\n" + linkPath("boot") + "=1\n" +
                  linkPath("quiet") + "=1\n" + linkPath("off") + "=0\n" + linkPath("missing") +
                  "=1\n");
  }

  ScanRecord scanMix(ProbeOrder order) {
    startMix();
    scanner_->setProbeOrder(order);
    const std::string log = (folder_ / "debug.log").string();
    fs::remove(log);
    EXPECT_TRUE(openTrafficLog(log));
    scan();
    closeTrafficLog();
    ScanRecord record;
    record.rows = view_.rows;
    record.history = view_.history;
    for (int i = 0; i < port_.portCount(); ++i)
      record.entries.push_back(std::to_string(slot(i).found) + " " + slot(i).modelName + " " +
                               slot(i).serialNumber + " " + std::to_string(slot(i).baudCode));
    record.chosen = port_.currentIndex();
    std::ifstream in(log, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    record.debugLines = linesOf(text.str());
    return record;
  }

  std::unique_ptr<SimLibrary> sim_;
  std::unique_ptr<ScanLibrary> fixture_;
};

// Would catch a concurrent scan that differs from the one-after-another scan in anything the
// operator or the program sees: a row text or its order of texts (the booting dots), a rate, a
// model or serial number, the chosen port, a port set to "0" opened, the scripted library's
// ports (one camera behind both) probed side by side, or diagnostic lines lost or interleaved.
TEST_F(PortScanMix, ConcurrentScanEqualsTheOneAfterAnotherScan) {
  const auto start = std::chrono::steady_clock::now();
  const ScanRecord one = scanMix(ProbeOrder::OneAfterAnother);
  const auto sequential = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(fixture_->baudHistory(), (std::vector<uint32_t>{16, 2, 2, 16, 2, 2}));

  const auto middle = std::chrono::steady_clock::now();
  const ScanRecord all = scanMix(ProbeOrder::Concurrent);
  const auto concurrent = std::chrono::steady_clock::now() - middle;
  // One port after the other, in table order, on the scripted library's one worker.
  EXPECT_EQ(fixture_->baudHistory(), (std::vector<uint32_t>{16, 2, 2, 16, 2, 2}));

  EXPECT_EQ(all.rows, one.rows);
  ASSERT_EQ(all.history.size(), one.history.size());
  for (size_t row = 0; row < one.history.size(); ++row)
    EXPECT_EQ(all.history[row], one.history[row]) << one.rows[row];
  EXPECT_EQ(all.entries, one.entries);
  EXPECT_EQ(all.chosen, one.chosen);
  EXPECT_EQ(all.debugLines, one.debugLines);

  // What both found, so that two scans broken alike cannot pass.
  ASSERT_EQ(one.rows.size(), 14u);
  const std::vector<std::string> finalTexts = {
      "Ko-25MC-C65",    "Ko-25MC-C65", "Ko-25MC-C65", "Ko-25MC-C65", "Not found", "",
      "Error : -21000", "Ko-25MC-C65", "Ko-25MC-C65", "Ka-47M-M40",  "Not found", "Ko-4M-M180",
      "Ko-12M-M65",     "Kh-12C"};
  for (size_t row = 0; row < finalTexts.size(); ++row)
    EXPECT_EQ(all.history[row].back(), finalTexts[row]) << all.rows[row];
  EXPECT_EQ(all.history[3].front(), "Booting");
  EXPECT_EQ(all.history[13].front(), "Booting");
  EXPECT_EQ(all.history[5], std::vector<std::string>{""}); // set to "0": never probed
  EXPECT_EQ(all.entries[2].substr(0, 2), "1 ");
  EXPECT_EQ(all.entries[2].back(), '1');  // found at 9600
  EXPECT_EQ(all.entries[12].back(), '2'); // found at 19200
  EXPECT_EQ(all.chosen, 0);
  EXPECT_FALSE(one.debugLines.empty());
  EXPECT_FALSE(view_.offThread);

  // The concurrent scan waits for its slowest port, not for all of them in turn.
  EXPECT_LT(concurrent, sequential * 2 / 3);
}

namespace {

// A window whose operator asks for the scan to stop once it has run for a while.
struct StoppingWindow : EventPump {
  bool pumpEvents() override {
    ++calls;
    if (!asked && std::chrono::steady_clock::now() - start >= after) {
      asked = true;
      return true;
    }
    return false;
  }
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::chrono::milliseconds after{300};
  bool asked = false;
  int calls = 0;
};

} // namespace

// Would catch a stop request that reaches only one port (the others would go on waiting out
// their rate checks and ten-second boot waits), a port left open behind a stopped scan, or a
// row left saying "Booting".
TEST_F(PortScanMix, StopRequestEndsEveryPortPromptly) {
  for (ProbeOrder order : {ProbeOrder::Concurrent, ProbeOrder::OneAfterAnother}) {
    startMix();
    scanner_->setProbeOrder(order);
    scanner_->setBootWaitTickMs(1000); // each booting camera alone would take over ten seconds
    StoppingWindow window;
    exchange_.setEventPump(&window);
    scan();
    const auto took = std::chrono::steady_clock::now() - window.start;
    exchange_.setEventPump(nullptr);
    const bool concurrent = order == ProbeOrder::Concurrent;

    EXPECT_TRUE(window.asked);
    // A booting camera alone would hold an unstopped scan for over ten seconds.
    EXPECT_LT(took, 300ms + 3000ms) << concurrent;
    EXPECT_TRUE(scanner_->cancelled());
    EXPECT_FALSE(scanner_->running());
    EXPECT_FALSE(port_.scanning());
    EXPECT_FALSE(port_.isOpen());
    for (uint32_t index = 0; index < 5; ++index)
      EXPECT_TRUE(sim_->portFree(index)) << index << " " << concurrent;
    EXPECT_EQ(fixture_->sym<int (*)()>("fixtureOpenCount")(), 0);
    for (size_t row = 0; row < view_.rows.size(); ++row) {
      EXPECT_EQ(view_.text(int(row)).rfind("Booting", 0), std::string::npos) << view_.rows[row];
      // Side by side, every port with a worker of its own was under way and shows how it
      // ended. The scripted library's second port waits for its first (they share a worker),
      // and one after another the ports after the one cut short are never reached.
      if (concurrent && row != 8) {
        EXPECT_NE(view_.text(int(row)), "(never set)") << view_.rows[row];
      }
    }
    if (!concurrent) {
      EXPECT_EQ(view_.text(int(view_.rows.size()) - 1), "(never set)");
    }
  }
}

// Would catch a scan that still waits for its ports one after another: six ports with nobody
// behind them (pseudo-terminals and simulated library ports) each wait out three rate checks.
TEST_F(PortScanMix, SilentPortsAreWaitedForTogether) {
  std::string list = "COMPORT_ONLY=0\nBaudRate=AUTO\n";
  for (const char* name : {"q1", "q2", "q3"})
    list += camera(name, 115200, "silent").linkPath() + "=1\n";
  writePortList(list);
  sim_ = std::make_unique<SimLibrary>(folder_ / "lib");
  sim_->reset("-,-,-");
  scanner_->setLibraryFolders({(folder_ / "lib").string()});
  const auto start = std::chrono::steady_clock::now();
  scan();
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(view_.rows.size(), 6u);
  for (size_t row = 0; row < 6; ++row)
    EXPECT_EQ(view_.text(int(row)), "Not found") << view_.rows[row];
  const auto onePort = std::size(kScanBaudCodes) * std::chrono::milliseconds(kRateProbeTimeoutMs);
  EXPECT_GE(took, onePort);
  EXPECT_LT(took, 4 * onePort); // one after another: 6 x 600 ms
  EXPECT_EQ(port_.currentIndex(), -1);
}
