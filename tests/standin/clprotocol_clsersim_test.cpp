// CLProtocol through libclsersim.so: the GenCP camera's bytes cross the Camera Link serial
// library the way a frame grabber's would, paced at the camera's rate.
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include <gtest/gtest.h>

#include "CLProtocol/CLPort.h"
#include "GenApi/GenApi.h"
#include "sim/gencp_device.h"

namespace {

using namespace CLProtocol;

class ClserSimGenCp : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("CLSERIALPATH", CLSERSIM_FOLDER, 1);
    setenv("KELPAX_SIM_CAMERAS", "Kg-12M-G40@115200,Ko-25MC-C65@9600", 1);
    unsetenv("KELPAX_SIM_FAULTS");
    unsetenv("KELPAX_SIM_PACING");
  }
  // The port ID of the simulated port whose identifier holds text.
  std::string portWith(const std::string& text) {
    gcstring_vector ids;
    CCLPort::GetPortIDs(ids);
    auto it = std::find_if(ids.begin(), ids.end(), [&](const std::string& id) {
      return id.find(text) != std::string::npos && id.find("libclsersim.so") != std::string::npos;
    });
    return it == ids.end() ? std::string() : *it;
  }
};

// The port IDs name every simulated port; the GenCP camera is found at its own rate, the
// ASCII-only camera is not taken for one.
TEST_F(ClserSimGenCp, ProbeFindsTheGenCpCameraOnly) {
  std::string gencp = portWith("Kg-12M-G40");
  std::string ascii = portWith("Ko-25MC-C65");
  ASSERT_FALSE(gencp.empty());
  ASSERT_FALSE(ascii.empty());
  EXPECT_TRUE(gencp.starts_with("clsersim#0 Kg-12M-G40#")) << gencp;

  gcstring_vector templates;
  CCLPort::GetDeviceIDTemplates(templates);
  ASSERT_FALSE(templates.empty());
  std::string shortTemplate = CDeviceID::FromString(templates[0]).GetShortDeviceID();
  std::string found = CCLPort::FastProbeDevice(gencp, shortTemplate, 500, 16);
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(CDeviceID::FromString(found).GetShortDeviceID().substr(0, 20), "Quorvane#Kg-12M-G40#");
  EXPECT_EQ(CCLPort::FastProbeDevice(ascii, shortTemplate, 200, 16), "");
}

// Connect, take the line to the fastest rate, fetch the description at that rate and change a
// feature, all through the serial library.
TEST_F(ClserSimGenCp, OpenAtFullRateAndEditAFeature) {
  std::string id = portWith("Kg-12M-G40");
  ASSERT_FALSE(id.empty());
  CCLPort port;
  port.Connect(id, "#libgencp_serial.so#Quorvane#CameraLink01");
  EXPECT_EQ(port.GetCurrentBaudrate(), 16u);
  EXPECT_EQ(port.SupportedBaudrates() & 16u, 16u);
  port.SetDeviceBauderate(16);
  auto start = std::chrono::steady_clock::now();
  std::string xml = port.GetXML(true);
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(xml, sim::gencpDescriptionXml());
  EXPECT_LT(took, std::chrono::seconds(5));

  GenApi::CNodeMapRef map;
  map._LoadXMLFromString(xml);
  ASSERT_TRUE(map._Connect(&port, "Device"));
  GenApi::CFloatPtr exposure = map._GetNode("ExposureTime");
  exposure->SetValue(1234.0);
  map._InvalidateNodes();
  EXPECT_DOUBLE_EQ(exposure->GetValue(), 1234.0);
}

// A port ID that names nothing is refused with a reason.
TEST_F(ClserSimGenCp, BadPortIdsAreRefused) {
  CCLPort port;
  EXPECT_THROW(port.Connect("no hash at all", "#libgencp_serial.so#Quorvane"),
               GenICam::InvalidArgumentException);
  EXPECT_THROW(port.Connect("x#/no/such/libclserxyz.so#0", "#libgencp_serial.so#Quorvane"),
               GenICam::RuntimeException);
  EXPECT_THROW(port.Connect(portWith("Kg-12M-G40"), "/no/such/folder#libgencp_serial.so#Q"),
               GenICam::RuntimeException);
  uint8_t buffer[4];
  EXPECT_THROW(port.Read(buffer, 0, 4), GenICam::AccessException);
  uint32_t size = 4;
  EXPECT_EQ(port.ClSerialRead(buffer, &size, 10), -10003);
}

} // namespace

namespace {

// An installation without its GenCP driver lists nothing and says why with the system error
// the transport module turns into "modules missing"; so does a template naming an unset root.
TEST_F(ClserSimGenCp, MissingDriverOrRootIsReported) {
  setenv("QNGENICAM_ROOT_V2_4", "/no/such/genicam/root", 1);
  gcstring_vector ids;
  EXPECT_THROW(CCLPort::GetPortIDs(ids), GenICam::RuntimeException);
  EXPECT_EQ(GetLastSystemError(), kErrorModNotFound);
  unsetenv("QNGENICAM_ROOT_V2_4");
  EXPECT_NO_THROW(CCLPort::GetPortIDs(ids));
  EXPECT_EQ(GetLastSystemError(), 0);

  CCLPort port;
  EXPECT_THROW(port.Connect(portWith("Kg-12M-G40"),
                            "$(QNGENICAM_ROOT_V2_4)/Bin/Linux64_x64/CLProtocol/#"
                            "libgencp_serial.so#TestVendor#Family1#ModelA"),
               GenICam::RuntimeException);
  EXPECT_EQ(GetLastSystemError(), kErrorEnvVarNotFound);
}

} // namespace
