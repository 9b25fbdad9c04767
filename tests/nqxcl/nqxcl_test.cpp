// The Camera Link module against simulated GenCP cameras: the port list, the probe, the open,
// the port's two kinds of access, and the records and texts the transport layer reads.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "../standin/session_channel.h"
#include "nqxcl/module_settings.h"
#include "nqxcl/nqxcl.h"
#include "sim/gencp_device.h"

namespace {

namespace fs = std::filesystem;

struct Event {
  int level;
  uint32_t id;
  std::string text;
};

struct Recorder {
  std::vector<Event> events;
  NQXEventLog log{[](void* self, int level, uint32_t id, const char* text) {
                    static_cast<Recorder*>(self)->events.push_back({level, id, text});
                  },
                  this};
  bool has(int level, const std::string& part) const {
    for (const Event& e : events)
      if (e.level == level && e.text.find(part) != std::string::npos)
        return true;
    return false;
  }
};

class TempFolder {
public:
  TempFolder() {
    char pattern[] = "/tmp/nqxcl-test-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempFolder() { fs::remove_all(path_); }
  const std::string& path() const { return path_; }
  void write(const std::string& name, const std::string& text) const {
    fs::create_directories(fs::path(path_ / fs::path(name)).parent_path());
    std::ofstream(path_ + "/" + name) << text;
  }

private:
  std::string path_;
};

class ModuleTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
    unsetenv("QNGENICAM_ROOT_V2_4");
    CLProtocol::SetTestPortIds(
        {"test#0", "COM_Port#COM1", "COM_Port#COM2", "clsersim#1 X#/opt/windows/libclserx.so#1"});
    CLProtocol::SetTestChannelFactory([this](const std::string& id) {
      return std::make_unique<SessionChannel>(id == "test#0" ? camera_ : other_);
    });
    camera_.open(std::chrono::steady_clock::now());
    module_ = std::make_unique<CNQXCL>(&recorder_.log);
  }
  void TearDown() override {
    module_.reset();
    CLProtocol::SetTestPortIds({});
    CLProtocol::SetTestChannelFactory(nullptr);
  }
  IInterface* openFirst() {
    bool grabbers = false;
    EXPECT_EQ(module_->UpdateInterfaceList(&grabbers, 100), 1);
    std::string id;
    EXPECT_EQ(module_->GetInterfaceID(0, &id), 0);
    IInterface* handle = nullptr;
    EXPECT_EQ(module_->OpenInterface(id.c_str(), &handle), 0);
    return handle;
  }

  TempFolder config_;
  Recorder recorder_;
  sim::CameraSession camera_{"Kg-12M-G40", 115200, false};
  sim::CameraSession other_{"Kg-12M-G40", 9600, false};
  std::unique_ptr<CNQXCL> module_;
};

// The selector picks grabber ports or PC ports; COM1 only when the setting allows it; the
// interface IDs count up in insertion order.
TEST_F(ModuleTest, InterfaceListFollowsSelectorAndComPort1Setting) {
  bool grabbers = false;
  ASSERT_EQ(module_->UpdateInterfaceList(&grabbers, 100), 1);
  uint32_t count = 0;
  module_->GetInterfacesNum(&count);
  EXPECT_EQ(count, 1u) << "COM ports and ports with WINDOWS in their ID are no grabber ports";

  bool com = true;
  ASSERT_EQ(module_->UpdateInterfaceList(&com, 100), 1);
  module_->GetInterfacesNum(&count);
  ASSERT_EQ(count, 1u) << "COM1 needs COMPort1Usable";
  config_.write("Quorvane/Lumeris Suite 7.conf", "[Application_Data]\nCOMPort1Usable=1\n");
  ASSERT_EQ(module_->UpdateInterfaceList(&com, 100), 1);
  module_->GetInterfacesNum(&count);
  ASSERT_EQ(count, 2u);
  std::string first, second;
  EXPECT_EQ(module_->GetInterfaceID(0, &first), 0);
  EXPECT_EQ(module_->GetInterfaceID(1, &second), 0);
  EXPECT_EQ(first, "I00");
  EXPECT_EQ(second, "I01");
  int32_t type = 0;
  char text[64];
  size_t size = sizeof text;
  EXPECT_EQ(module_->GetInterfaceInfo("I00", 1, &type, text, &size), 0);
  EXPECT_STREQ(text, "ID:I00 COM_Port#COM1");
  EXPECT_EQ(module_->UpdateInterfaceList(nullptr, 100), 0);
}

// Index equal to the count, a display-name buffer one byte short (left untouched), unknown IDs
// and commands.
TEST_F(ModuleTest, InterfaceQueriesRefuseBadArguments) {
  bool grabbers = false;
  ASSERT_EQ(module_->UpdateInterfaceList(&grabbers, 100), 1);
  std::string id;
  EXPECT_EQ(module_->GetInterfaceID(1, &id), GenTL::GC_ERR_INVALID_PARAMETER);
  EXPECT_EQ(module_->GetInterfaceID(0, nullptr), GenTL::GC_ERR_INVALID_PARAMETER);

  const std::string expected = "ID:I00 test#0";
  char buffer[64];
  std::memset(buffer, 'x', sizeof buffer);
  int32_t type = 0;
  size_t size = expected.size(); // one byte short of the terminating zero
  EXPECT_EQ(module_->GetInterfaceInfo("I00", 1, &type, buffer, &size),
            GenTL::GC_ERR_INVALID_PARAMETER);
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, 'x'));
  size = 0;
  EXPECT_EQ(module_->GetInterfaceInfo("I00", 1, &type, nullptr, &size), 0);
  EXPECT_EQ(size, expected.size() + 1);
  EXPECT_EQ(module_->GetInterfaceInfo("I00", 1, nullptr, buffer, &size),
            GenTL::GC_ERR_INVALID_PARAMETER);
  EXPECT_EQ(module_->GetInterfaceInfo("I99", 1, &type, buffer, &size), GenTL::GC_ERR_ERROR);
  EXPECT_EQ(module_->GetInterfaceInfo("I00", 3, &type, buffer, &size), GenTL::GC_ERR_ERROR);

  IInterface* unknown = reinterpret_cast<IInterface*>(1);
  EXPECT_EQ(module_->OpenInterface("I42", &unknown), 0);
  EXPECT_EQ(unknown, reinterpret_cast<IInterface*>(1)) << "no handle for an unknown ID";

  uint8_t order = 9;
  size = 1;
  EXPECT_EQ(module_->GetPortInfo(6, &type, &order, &size), 0);
  EXPECT_EQ(order, 1);
  EXPECT_EQ(type, GenTL::INFO_DATATYPE_BOOL8);
  EXPECT_EQ(module_->GetPortInfo(7, &type, &order, &size), GenTL::GC_ERR_NOT_IMPLEMENTED);
  EXPECT_EQ(module_->GetPortInfo(13, &type, &order, &size), GenTL::GC_ERR_ERROR);
  size = sizeof buffer;
  EXPECT_EQ(module_->GCGetInfo(1, &type, buffer, &size), 0);
  EXPECT_STREQ(buffer, "Quorvane Co., Ltd.");
  EXPECT_EQ(module_->GetInfo(8, &type, buffer, &size), GenTL::GC_ERR_INVALID_PARAMETER);
}

// Without the CLProtocol installation (its GenCP driver) the list is empty, the update fails
// and the module says its modules are missing.
TEST_F(ModuleTest, MissingClProtocolGivesModulesMissing) {
  setenv("QNGENICAM_ROOT_V2_4", (config_.path() + "/nothing").c_str(), 1);
  bool grabbers = false;
  EXPECT_EQ(module_->UpdateInterfaceList(&grabbers, 100), 0);
  uint32_t count = 7;
  module_->GetInterfacesNum(&count);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(module_->GetLastError(), GenTL::NQX_ERR_MODULES_MISSING);
  EXPECT_TRUE(recorder_.has(1, "GenCP serial driver"));
  unsetenv("QNGENICAM_ROOT_V2_4");
}

// The line-rate option file: MAX_BAUDRATE 3 gives 8, no key 16, no file 16; the system folder
// wins over the program's.
TEST(ProbeBaudMask, ReadsTheOptionFileInOrder) {
  TempFolder system, program;
  EXPECT_EQ(nqxcl::ProbeBaudMask({system.path(), program.path()}), 16u);
  program.write("CLSettingOptions.ini", "[BAUDRATE]\nMAX_BAUDRATE=1\n");
  EXPECT_EQ(nqxcl::ProbeBaudMask({system.path(), program.path()}), 2u);
  system.write("CLSettingOptions.ini", "[BAUDRATE]\nMAX_BAUDRATE=3\n");
  EXPECT_EQ(nqxcl::ProbeBaudMask({system.path(), program.path()}), 8u);
  system.write("CLSettingOptions.ini", "[BAUDRATE]\nMAX_BAUDRATE=\n");
  EXPECT_EQ(nqxcl::ProbeBaudMask({system.path()}), 16u);
  system.write("CLSettingOptions.ini", "[OTHER]\nMAX_BAUDRATE=1\n");
  EXPECT_EQ(nqxcl::ProbeBaudMask({system.path()}), 16u);
  system.write("CLSettingOptions.ini", "[BAUDRATE]\nMAX_BAUDRATE=35\n");
  EXPECT_EQ(nqxcl::ProbeBaudMask({system.path()}), 8u) << "taken modulo 32";
}

// Would catch the module hanging on a settings file that is a FIFO, or reading a huge one
// whole: either counts as no setting.
TEST_F(ModuleTest, SettingsFilesThatCannotBeReadGiveTheDefaults) {
  const std::string settings = config_.path() + "/Quorvane/Lumeris Suite 7.conf";
  fs::create_directories(fs::path(settings).parent_path());
  ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0);
  EXPECT_EQ(nqxcl::ComPort1Usable(), 0u);
  EXPECT_EQ(nqxcl::GenCpCtiFilePath(), "");
  fs::remove(settings);
  config_.write("Quorvane/Lumeris Suite 7.conf",
                "[Application_Data]\nCOMPort1Usable=1\n" + std::string(1 << 20, ';'));
  EXPECT_EQ(nqxcl::ComPort1Usable(), 0u);
  config_.write("Quorvane/Lumeris Suite 7.conf", "[Application_Data]\nCOMPort1Usable=1\n");
  EXPECT_EQ(nqxcl::ComPort1Usable(), 1u);

  TempFolder system;
  system.write("CLSettingOptions.ini", "[BAUDRATE]\nMAX_BAUDRATE=1\n" + std::string(1 << 20, ';'));
  EXPECT_EQ(nqxcl::ProbeBaudMask({system.path()}), 16u);
}

// A family name of two words gets a "-"; the manufacturer keeps its blank; empty pieces go.
TEST(DeviceIdFromProbe, TwoWordFamilyGetsADash) {
  EXPECT_EQ(
      nqxcl::DeviceIdFromProbe("/x#libgencp_serial.so# Quorvane Co #Kelpax Line# Kg-12M G40 ##S 1"),
      "Quorvane Co#Kelpax-Line#Kg-12M-G40#S-1");
}

// The driver template: CLProtocol's own driver first, then the setting, then the GenICam root.
TEST_F(ModuleTest, DriverTemplateRules) {
  EXPECT_EQ(nqxcl::GenCpDriverTemplate(),
            CLProtocol::DriverFolder() + "#libgencp_serial.so#Quorvane#CameraLink01");
  setenv("QNGENICAM_ROOT_V2_4", config_.path().c_str(), 1);
  EXPECT_EQ(nqxcl::GenCpDriverTemplate(),
            "$(QNGENICAM_ROOT_V2_4)/Bin/Linux64_x64/CLProtocol/#libgencp_serial.so#TestVendor#"
            "Family1#ModelA");
  config_.write("Quorvane/Lumeris Suite 7.conf",
                "[Application_Data]\nGenCPCTIFilePath=/opt/g#libgencp_serial.so#Q#F\n");
  EXPECT_EQ(nqxcl::GenCpDriverTemplate(), "/opt/g#libgencp_serial.so#Q#F");
  unsetenv("QNGENICAM_ROOT_V2_4");
}

// Probe, list, open: the device's name as the program matches it, a second open refused, and
// raw text and registers through the one port.
TEST_F(ModuleTest, OpenedDeviceSharesOnePortForTextAndRegisters) {
  IInterface* interface = openFirst();
  ASSERT_NE(interface, nullptr);
  uint32_t count = 0;
  ASSERT_EQ(interface->GetNumDevices(&count), 0);
  ASSERT_EQ(count, 1u);
  std::string id;
  ASSERT_EQ(interface->GetDeviceID(0, &id), 0);
  EXPECT_EQ(interface->GetDeviceID(1, &id), GenTL::GC_ERR_INVALID_PARAMETER);
  EXPECT_TRUE(id.starts_with("Quorvane#Kg-12M-G40#")) << id;
  char name[256];
  size_t size = sizeof name;
  int32_t type = 0;
  ASSERT_EQ(interface->GetDeviceInfo(id.c_str(), 4, &type, name, &size), 0);
  std::string display = name;
  EXPECT_TRUE(display.starts_with("ID:" + id + " Quorvane Kg-12M-G40 ")) << display;
  EXPECT_EQ(interface->GetDeviceInfo(id.c_str(), 1006, &type, name, &size),
            GenTL::GC_ERR_NOT_IMPLEMENTED);
  EXPECT_EQ(interface->GetDeviceInfo("nobody", 4, &type, name, &size),
            GenTL::GC_ERR_INVALID_PARAMETER);
  EXPECT_TRUE(recorder_.has(1, "CInterfaceCL::GetDeviceInfoInternal"));

  IDevice* device = nullptr;
  ASSERT_EQ(interface->OpenDevice(id.c_str(), 3, &device), 0);
  IDevice* again = nullptr;
  EXPECT_EQ(interface->OpenDevice(id.c_str(), 3, &again), GenTL::GC_ERR_RESOURCE_IN_USE);
  EXPECT_EQ(camera_.camera().gencp()->readUint32(sim::gencp_map::kMessageChannel), 1u);

  const char command[] = "gmn\r";
  size = 4;
  ASSERT_EQ(device->WritePort(0, command, &size), 0);
  std::string answer;
  for (int i = 0; i < 10 && answer.find('>') == std::string::npos; ++i) {
    char buffer[128];
    size_t got = sizeof buffer;
    device->ReadPort(0, buffer, &got);
    answer.append(buffer, got);
  }
  EXPECT_NE(answer.find("Kg-12M-G40"), std::string::npos) << answer;
  uint8_t width[4] = {};
  size = 4;
  ASSERT_EQ(device->ReadPort(0x30000, width, &size), 0);
  EXPECT_EQ(width[2], 0x10) << "4096 big-endian";
  uint8_t exposure[4] = {0x45, 0x00, 0x00, 0x00}; // 2048.0f
  ASSERT_EQ(device->WritePort(sim::gencp_map::kExposureTime, exposure, &size), 0);
  EXPECT_FLOAT_EQ(camera_.camera().gencp()->readFloat(sim::gencp_map::kExposureTime), 2048.0f);
  void* port = nullptr;
  ASSERT_EQ(device->GetPort(&port), 0);
  EXPECT_TRUE(static_cast<CLProtocol::CCLPort*>(port)->IsConnected());
  EXPECT_EQ(device->ReadPort(0x30000, nullptr, &size), GenTL::GC_ERR_INVALID_PARAMETER);
  EXPECT_EQ(device->ReadPort(sim::gencp_map::kAddressSpace, width, &size), GenTL::GC_ERR_ERROR);

  ASSERT_EQ(device->Close(), 0);
  ASSERT_EQ(interface->OpenDevice(id.c_str(), 3, &device), 0) << "a closed device opens again";
}

// A port whose camera keeps silent lists no device; the interface counts as listed.
TEST_F(ModuleTest, SilentCameraListsNoDevice) {
  sim::Faults silent;
  silent.silent = true;
  camera_.setFaults(silent);
  IInterface* interface = openFirst();
  bool changed = false;
  EXPECT_EQ(interface->UpdateDeviceList(&changed, 100), GenTL::GC_ERR_NOT_AVAILABLE);
  uint32_t count = 5;
  EXPECT_EQ(interface->GetNumDevices(&count), 0);
  EXPECT_EQ(count, 0u);
  std::string id;
  EXPECT_EQ(interface->GetDeviceID(0, &id), GenTL::GC_ERR_ERROR);
}

// Constructors and destructors log at level 4 in the module's event format.
TEST(ModuleLog, LifecycleEventsInTheEventFormat) {
  Recorder recorder;
  INQX* module = AllocateNQXFunc(&recorder.log);
  ASSERT_NE(module, nullptr);
  delete module;
  ASSERT_EQ(recorder.events.size(), 2u);
  EXPECT_EQ(recorder.events[0].id, 0x40020004u);
  EXPECT_TRUE(recorder.events[0].text.starts_with(
      "\n\rThe constructor of CNQXCL class has been called.\n\rlibnqxcl.so\n\rNQXCL\n\r"
      "CNQXCL::CNQXCL\n\r"));
  EXPECT_TRUE(recorder.events[1].text.find("The destructor of CNQXCL class") != std::string::npos);
  nqxcl::LogEvent(&recorder.log, 3, "not logged", "NQXCL", "f", 1);
  EXPECT_EQ(recorder.events.size(), 2u);
}

} // namespace
