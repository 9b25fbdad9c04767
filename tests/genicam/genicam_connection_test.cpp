// The GenICam open against a scripted transport layer (each rule of the open) and against the
// real one loading the Camera Link module on a simulated GenCP camera.
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "GenApi/GenApi.h"
#include "genicam/genicam_connection.h"

namespace {

using namespace kelpax;

constexpr char kXml[] = R"(<?xml version="1.0"?>
<RegisterDescription ModelName="M" VendorName="V" StandardNameSpace="None" SchemaMajorVersion="1"
 SchemaMinorVersion="1" SchemaSubMinorVersion="0" MajorVersion="1" MinorVersion="0"
 SubMinorVersion="0" ProductGuid="1" VersionGuid="2"
 xmlns="http://www.genicam.org/GenApi/Version_1_1">
  <Category Name="Root"><pFeature>Width</pFeature></Category>
  <IntReg Name="Width"><Address>0x100</Address><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Sign>Unsigned</Sign><Endianess>BigEndian</Endianess></IntReg>
  <Port Name="Device"/>
</RegisterDescription>)";

struct FakeDevice {
  std::string id, display;
  int32_t infoRc = 0;
};
struct FakeInterface {
  std::string id, display;
  int32_t updateRc = 0;
  std::vector<FakeDevice> devices;
};
struct FakeTl {
  int32_t initRc = 0, multiRc = 0, updateRc = 0, openDeviceRc = 0;
  uint8_t selector = 0xFF;
  std::vector<FakeInterface> interfaces;
  int closes = 0, libCloses = 0;
  std::string opened;
  std::string xml = kXml;
};
FakeTl fake;

int32_t copy(const std::string& text, char* buffer, size_t* size) {
  if (!buffer) {
    *size = text.size() + 1;
    return 0;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return 0;
}
FakeInterface* iface(void* handle) {
  return static_cast<FakeInterface*>(handle);
}

TransportLayerApi fakeApi() {
  TransportLayerApi api{};
  api.GCInitLib = [] { return fake.initRc; };
  api.GCCloseLib = [] { return ++fake.libCloses, 0; };
  api.TLOpenMultiIF = [](void** s, uint32_t*) {
    *s = &fake;
    return fake.multiRc;
  };
  api.TLUpdateInterfaceList = [](void*, uint8_t* sel, uint64_t) {
    fake.selector = *sel;
    return fake.updateRc;
  };
  api.TLGetNumInterfaces = [](void*, uint32_t* n) {
    *n = uint32_t(fake.interfaces.size());
    return 0;
  };
  api.TLGetInterfaceID = [](void*, uint32_t i, char* b, size_t* s) {
    return copy(fake.interfaces[i].id, b, s);
  };
  api.TLGetInterfaceInfo = [](void*, const char* id, int32_t, int32_t*, void* b, size_t* s) {
    for (auto& f : fake.interfaces)
      if (f.id == id)
        return copy(f.display, static_cast<char*>(b), s);
    return -1009;
  };
  api.TLOpenInterface = [](void*, const char* id, void** h) {
    for (auto& f : fake.interfaces)
      if (f.id == id)
        *h = &f;
    return 0;
  };
  api.TLClose = [](void*) { return ++fake.closes, 0; };
  api.IFUpdateDeviceList = [](void* h, uint8_t*, uint64_t) { return iface(h)->updateRc; };
  api.IFGetNumDevices = [](void* h, uint32_t* n) {
    *n = uint32_t(iface(h)->devices.size());
    return 0;
  };
  api.IFGetDeviceID = [](void* h, uint32_t i, char* b, size_t* s) {
    return copy(iface(h)->devices[i].id, b, s);
  };
  api.IFGetDeviceInfo = [](void* h, const char* id, int32_t, int32_t*, void* b, size_t* s) {
    for (auto& d : iface(h)->devices)
      if (d.id == id) {
        copy(d.display, static_cast<char*>(b), s);
        return d.infoRc;
      }
    return -1009;
  };
  api.IFOpenDevice = [](void*, const char* id, int32_t, void** d) {
    fake.opened = id;
    *d = &fake;
    return fake.openDeviceRc;
  };
  api.DevGetPort = [](void* d, void** p) {
    *p = d;
    return 0;
  };
  return api;
}

class ScriptedOpen : public ::testing::Test {
protected:
  void SetUp() override {
    fake = FakeTl{};
    fake.interfaces = {
        {"I00", "ID:I00 clsergrab#0 Port A#/lib/x.so#0", 0, {{"D0", "ID:Q#Other#1 Q Other 1"}}},
        {"I01", "ID:I01 clsergrab#1 Port B#/lib/x.so#1", 0, {{"D1", "ID:Q#Kg-12M#1 Q Kg-12M 1"}}},
    };
    port_ = GenApi::MemoryPort::ForXml(kXml);
    connection_ = std::make_unique<GenICamConnection>(
        fakeApi(), [](void*) { return fake.xml; },
        [this](void*) -> void* { return static_cast<GenApi::IPort*>(port_.get()); });
  }
  GenICamOpenRequest request(std::string maker = "Matrox", std::string port = "Port B") {
    return {maker, port, "Kg-12M", true};
  }
  std::unique_ptr<GenApi::MemoryPort> port_;
  std::unique_ptr<GenICamConnection> connection_;
};

// The interface whose display name holds the port name is searched; the device whose name
// token is the model is opened, its description loaded; the system handle closed.
TEST_F(ScriptedOpen, MatchingDeviceIsOpenedAndLoaded) {
  EXPECT_EQ(connection_->open(request()), 0);
  EXPECT_TRUE(connection_->matched());
  EXPECT_EQ(fake.opened, "D1");
  EXPECT_EQ(fake.selector, 0);
  EXPECT_EQ(fake.closes, 1);
  ASSERT_NE(connection_->nodeMap(), nullptr);
  EXPECT_NE(connection_->nodeMap()->_GetNode("Width"), nullptr);
  EXPECT_EQ(connection_->deviceToken(), "Kg-12M");
  connection_.reset();
  EXPECT_EQ(fake.libCloses, 1) << "the library is closed with the connection";
}

// "Active Silicon" makes every interface qualify and asks for the other port kind.
TEST_F(ScriptedOpen, ActiveSiliconQualifiesEveryInterface) {
  EXPECT_EQ(connection_->open(request("Active Silicon", "no such port")), 0);
  EXPECT_EQ(fake.selector, 1);
  EXPECT_EQ(fake.opened, "D1");
  GenICamOpenRequest com = request("Matrox");
  com.cameraLink = false;
  connection_->open(com);
  EXPECT_EQ(fake.selector, 1);
}

// A display name without two "#" ends the open even when a later device would match; -1003
// from the device info counts as success.
TEST_F(ScriptedOpen, DisplayNameRules) {
  fake.interfaces[1].devices.insert(fake.interfaces[1].devices.begin(), {"Dx", "no hash here"});
  EXPECT_EQ(connection_->open(request()), kOpenDeviceListError);
  EXPECT_EQ(fake.opened, "");
  fake.interfaces[1].devices = {{"D1", "ID:Q#Kg-12M#1 Q Kg-12M 1", -1003}};
  EXPECT_EQ(connection_->open(request()), 0);
  EXPECT_EQ(fake.opened, "D1");
}

// Access denied on one interface does not stop the search; it decides the result only when
// nothing is opened afterwards.
TEST_F(ScriptedOpen, AccessDeniedDecidesOnlyWithoutAMatch) {
  fake.interfaces[0].updateRc = -1005;
  EXPECT_EQ(connection_->open(request("Active Silicon")), 0);
  EXPECT_EQ(fake.opened, "D1");
  fake.interfaces[1].devices.clear();
  EXPECT_EQ(connection_->open(request("Active Silicon")), kOpenAccessDenied);
  fake.interfaces[0].updateRc = 0;
  EXPECT_EQ(connection_->open(request("Active Silicon")), 0);
  EXPECT_FALSE(connection_->matched()) << "no match and no failure: the caller decides";
}

// Every failing step has its code, and each of them closes the system handle except the
// library that did not start.
TEST_F(ScriptedOpen, FailingStepsGiveTheirCodes) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    int expected;
  };
  const std::vector<Case> cases = {
      {"modules missing", [] { fake.updateRc = -10020; }, kOpenModulesMissing},
      {"list failed", [] { fake.updateRc = -1001; }, kOpenInterfaceError},
      {"no system", [] { fake.multiRc = -1001; }, kOpenInterfaceError},
      {"device refused", [] { fake.openDeviceRc = -1004; }, kOpenDeviceError},
      {"empty description", [] { fake.xml.clear(); }, kOpenXmlEmpty},
      {"broken description", [] { fake.xml = "<?xml version=\"1.0\"?><Register"; },
       kOpenXmlLoadError},
  };
  for (const Case& c : cases) {
    SetUp();
    c.arrange();
    EXPECT_EQ(connection_->open(request()), c.expected) << c.what;
    EXPECT_EQ(fake.closes, 1) << c.what;
  }
  SetUp();
  fake.initRc = -1001;
  EXPECT_EQ(connection_->open(request()), kOpenNoNodeMap);
  EXPECT_EQ(fake.closes, 0);
  EXPECT_EQ(connection_->debugLines().back(), "GCInitLib Error : (-1)");
}

// A reconnect to the same camera keeps the node map; another description is refused, since
// one node map holds one description.
TEST_F(ScriptedOpen, SecondOpenReusesTheSameDescriptionOnly) {
  ASSERT_EQ(connection_->open(request()), 0);
  GenApi::CNodeMapRef* first = connection_->nodeMap();
  EXPECT_EQ(connection_->open(request()), 0);
  EXPECT_EQ(connection_->nodeMap(), first);
  fake.xml = std::string(kXml).replace(std::string(kXml).find("0x100"), 5, "0x200");
  EXPECT_EQ(connection_->open(request()), kOpenXmlLoadError);
  EXPECT_EQ(connection_->nodeMap(), first);
}

// A description that does not load leaves the node map with the connection, empty, so that the
// next open (the camera fixed, or another camera) loads into it instead of being refused.
TEST_F(ScriptedOpen, FailedLoadKeepsAnEmptyNodeMapForTheNextOpen) {
  fake.xml = "<?xml version=\"1.0\"?><Register";
  ASSERT_EQ(connection_->open(request()), kOpenXmlLoadError);
  GenApi::CNodeMapRef* kept = connection_->nodeMap();
  ASSERT_NE(kept, nullptr);
  fake.xml = kXml;
  EXPECT_EQ(connection_->open(request()), 0);
  EXPECT_EQ(connection_->nodeMap(), kept);
  EXPECT_TRUE(GenApi::CIntegerPtr(connection_->nodeMap()->_GetNode("Width")));
}

// The real transport layer and module, a GenCP camera behind libclsersim.so: the open finds it
// by its port and model name, the node map writes the camera, the terminal talks on the port.
TEST(RealOpen, SimulatedGenCpCameraBehindTheSerialLibrary) {
  setenv("CLSERIALPATH", CLSERSIM_FOLDER, 1);
  setenv("KELPAX_SIM_CAMERAS", "Ko-25MC-C65@9600,Kg-12M-G40@115200", 1);
  GenICamConnection connection;
  ASSERT_EQ(connection.open({"Unknown", "clsersim#1 Kg-12M-G40", "Kg-12M-G40", true}), 0);
  ASSERT_TRUE(connection.matched());
  GenApi::CFloatPtr exposure = connection.nodeMap()->_GetNode("ExposureTime");
  ASSERT_TRUE(exposure);
  exposure->SetValue(4321.0);
  connection.nodeMap()->_InvalidateNodes();
  EXPECT_DOUBLE_EQ(exposure->GetValue(), 4321.0);
  connection.terminalPauseMs = 20;
  std::string answer;
  ASSERT_TRUE(connection.terminalExchange("gmn", answer));
  EXPECT_NE(answer.find("Kg-12M-G40"), std::string::npos) << answer;
}

} // namespace

#include <dlfcn.h>

#include "nodeview/feature_file.h"
#include "nodeview/feature_tree.h"

namespace {

// A feature file saved from one simulated GenCP camera loads into another: the second camera's
// register holds the first camera's value afterwards.
TEST(RealOpen, FeatureFileFromOneCameraLoadsIntoAnother) {
  setenv("CLSERIALPATH", CLSERSIM_FOLDER, 1);
  setenv("KELPAX_SIM_CAMERAS", "Kg-12M-G40@115200,Kg-12M-G40@115200", 1);
  setenv("KELPAX_SIM_PACING", "0", 1);
  void* simulator = dlopen(CLSERSIM_FOLDER "/libclsersim.so", RTLD_NOW);
  ASSERT_NE(simulator, nullptr);
  reinterpret_cast<void (*)()>(dlsym(simulator, "clsersimReset"))();
  auto peek = reinterpret_cast<int32_t (*)(uint32_t, uint64_t, uint8_t*, uint32_t)>(
      dlsym(simulator, "clsersimPeekRegister"));

  nodeview::TreeHooks hooks;
  int errors = 0;
  hooks.notify = [&](const char* category, const std::string&) {
    errors += std::string(category) == "Error";
  };
  std::string json;
  {
    GenICamConnection first;
    ASSERT_EQ(first.open({"Unknown", "clsersim#0 Kg-12M-G40", "Kg-12M-G40", true}), 0);
    GenApi::CFloatPtr(first.nodeMap()->_GetNode("ExposureTime"))->SetValue(777.0);
    GenApi::CEnumerationPtr(first.nodeMap()->_GetNode("TriggerSelector"))->FromString("LineStart");
    GenApi::CEnumerationPtr(first.nodeMap()->_GetNode("TriggerMode"))->FromString("On");
    nodeview::FeatureTree tree(hooks);
    tree.setNodeMap(first.nodeMap());
    tree.rebuild();
    json = nodeview::featureFileJson(tree.collectItems());
  }
  GenICamConnection second;
  ASSERT_EQ(second.open({"Unknown", "clsersim#1 Kg-12M-G40", "Kg-12M-G40", true}), 0);
  auto read = nodeview::parseFeatureFileJson(json);
  ASSERT_TRUE(read.error.empty()) << read.error;
  nodeview::FeatureTree tree(hooks);
  tree.setNodeMap(second.nodeMap());
  tree.rebuild();
  tree.applyItems(read.items);
  EXPECT_EQ(errors, 0);
  uint8_t b[4] = {};
  ASSERT_EQ(peek(1, 0x30014, b, 4), 0);
  EXPECT_EQ((uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3],
            0x44424000u);                   // 777.0f
  ASSERT_EQ(peek(1, 0x30024 + 4, b, 4), 0); // TriggerMode of LineStart
  EXPECT_EQ(b[3], 1);
  dlclose(simulator);
}

} // namespace
