// The transport layer's C calls, loading the Camera Link module as the program will, on a
// simulated GenCP camera behind libclsersim.so.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "CLProtocol/CLPort.h"
#include "GenApi/GenApi.h"
#include "nqx/NqxModule.h"
#include "nqx/nqx.h"

namespace {

class TransportLayer : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("CLSERIALPATH", CLSERSIM_FOLDER, 1);
    setenv("KELPAX_SIM_CAMERAS", "Ko-25MC-C65@9600,Kg-12M-G40@115200", 1);
    unsetenv("NQX_MODULE_DIR");
    unsetenv("QNGENICAM_ROOT_V2_4");
    ASSERT_EQ(GCInitLib(), 0);
  }
  void TearDown() override {
    GCCloseLib();
    unsetenv("NQX_MODULE_DIR");
  }
  std::string text(int32_t rc, const std::string& value) { return rc == 0 ? value : "(fail)"; }
};

// The sequence the program's open runs, step by step, ending in a node map on the port.
TEST_F(TransportLayer, OpenSequenceReachesTheCamerasDescription) {
  TL_HANDLE system = nullptr;
  uint32_t mode = 1;
  ASSERT_EQ(TLOpenMultiIF(&system, &mode), 0);
  uint8_t grabbers = 0;
  ASSERT_EQ(TLUpdateInterfaceList(system, &grabbers, 100), 0);
  uint32_t count = 0;
  ASSERT_EQ(TLGetNumInterfaces(system, &count), 0);
  DEV_HANDLE device = nullptr;
  for (uint32_t i = 0; i < count && !device; ++i) {
    size_t size = 0;
    ASSERT_EQ(TLGetInterfaceID(system, i, nullptr, &size), 0);
    std::string id(size, '\0');
    ASSERT_EQ(TLGetInterfaceID(system, i, id.data(), &size), 0);
    char display[512];
    size = sizeof display;
    int32_t type = 0;
    ASSERT_EQ(TLGetInterfaceInfo(system, id.c_str(), 1, &type, display, &size), 0);
    if (std::string(display).find("clsersim#1 Kg-12M-G40") == std::string::npos)
      continue;
    IF_HANDLE interface = nullptr;
    ASSERT_EQ(TLOpenInterface(system, id.c_str(), &interface), 0);
    uint8_t changed = 0;
    ASSERT_EQ(IFUpdateDeviceList(interface, &changed, 100), 0);
    char deviceId[512];
    size = sizeof deviceId;
    ASSERT_EQ(IFGetDeviceID(interface, 0, deviceId, &size), 0);
    ASSERT_EQ(IFOpenDevice(interface, deviceId, 3, &device), 0);
  }
  ASSERT_NE(device, nullptr) << "the GenCP camera behind libclsersim.so was not found";
  EXPECT_EQ(TLClose(system), 0);

  PORT_HANDLE port = nullptr;
  ASSERT_EQ(DevGetPort(device, &port), 0);
  auto* clPort = static_cast<CLProtocol::CCLPort*>(port);
  std::string xml = clPort->GetXML(true);
  GenApi::CNodeMapRef map;
  map._LoadXMLFromString(xml);
  ASSERT_TRUE(map._Connect(static_cast<GenApi::IPort*>(clPort), "Device"));
  GenApi::CFloatPtr gain = map._GetNode("Gain");
  gain->SetValue(6.0);

  // The terminal's way: text at address 0 of the same port.
  const char command[] = "gmn\r";
  size_t size = 4;
  ASSERT_EQ(GCWritePort(port, 0, command, &size), 0);
  std::string answer;
  for (int i = 0; i < 20 && answer.find('>') == std::string::npos; ++i) {
    char buffer[256];
    size_t got = sizeof buffer;
    int32_t rc = GCReadPort(port, 0, buffer, &got);
    if (rc == 0)
      answer.append(buffer, got);
  }
  EXPECT_NE(answer.find("Kg-12M-G40"), std::string::npos) << answer;
  map._InvalidateNodes();
  EXPECT_DOUBLE_EQ(gain->GetValue(), 6.0);
}

// Without its module the transport layer reports the missing modules; a closed library has no
// systems left.
TEST_F(TransportLayer, MissingModuleGivesModulesMissing) {
  setenv("NQX_MODULE_DIR", "/no/such/folder", 1);
  TL_HANDLE system = nullptr;
  uint32_t mode = 1;
  ASSERT_EQ(TLOpenMultiIF(&system, &mode), 0);
  uint8_t grabbers = 0;
  EXPECT_EQ(TLUpdateInterfaceList(system, &grabbers, 100), GenTL::NQX_ERR_MODULES_MISSING);
  uint32_t count = 9;
  EXPECT_EQ(TLGetNumInterfaces(system, &count), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(GCCloseLib(), 0);
  EXPECT_EQ(TLUpdateInterfaceList(system, &grabbers, 100), GenTL::GC_ERR_INVALID_HANDLE);
  EXPECT_EQ(GCInitLib(), 0);
}

// Without the GenCP driver the module loads but lists nothing, which is the same code.
TEST_F(TransportLayer, MissingDriverGivesModulesMissing) {
  setenv("QNGENICAM_ROOT_V2_4", "/no/such/root", 1);
  TL_HANDLE system = nullptr;
  uint32_t mode = 1;
  ASSERT_EQ(TLOpenMultiIF(&system, &mode), 0);
  uint8_t grabbers = 0;
  EXPECT_EQ(TLUpdateInterfaceList(system, &grabbers, 100), GenTL::NQX_ERR_MODULES_MISSING);
  unsetenv("QNGENICAM_ROOT_V2_4");
}

} // namespace
