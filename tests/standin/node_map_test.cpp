// Loading descriptions, finding and listing nodes, and what each node tells about itself.
#include <algorithm>

#include <gtest/gtest.h>

#include "test_camera.h"

using namespace GenApi;
using kelpax::test::readData;
using kelpax::test::TestCamera;

namespace {

const char* kSmall = R"(<?xml version="1.0"?>
<RegisterDescription ModelName="S" VendorName="K" SchemaMajorVersion="1" SchemaMinorVersion="1"
  SchemaSubMinorVersion="0" MajorVersion="1" MinorVersion="0" SubMinorVersion="0">
  <Category Name="Root"><pFeature>A</pFeature></Category>
  <Integer Name="A"><Value>7</Value></Integer>
  <Port Name="Device"/>
</RegisterDescription>)";

// Loading: what is accepted and what is refused with a clear error.
TEST(NodeMapLoad, TextBeforeTheXmlDeclarationIsSkipped) {
  // Catches a loader that hands the camera's leading line to the parser.
  CNodeMapRef map;
  ASSERT_NO_THROW(map._LoadXMLFromString(readData("leading_line.xml")));
  auto port = MemoryPort::ForXml(readData("leading_line.xml"));
  ASSERT_TRUE(map._Connect(port.get()));
  CIntegerPtr gain = map._GetNode("Gain");
  ASSERT_TRUE(gain.IsValid());
  gain->SetValue(42);
  EXPECT_EQ(port->peekInteger(0x10, 4), 42); // big-endian register at 0x10
  uint8_t raw[4];
  port->peek(0x10, raw, 4);
  EXPECT_EQ(raw[3], 42);
}

TEST(NodeMapLoad, ASecondDescriptionIsRefused) {
  // Catches a node map that silently replaces a loaded description.
  CNodeMapRef map;
  map._LoadXMLFromString(kSmall);
  try {
    map._LoadXMLFromString(kSmall);
    FAIL() << "second load accepted";
  } catch (const GenICam::RuntimeException& e) {
    EXPECT_NE(std::string(e.GetDescription()).find("already loaded"), std::string::npos);
  }
  EXPECT_NE(map._GetNode("A"), nullptr);
}

TEST(NodeMapLoad, BadDescriptionsThrowWithAReason) {
  // Catches a loader that crashes on, or silently accepts, text that is no description.
  struct Case {
    const char* what;
    std::string xml;
    const char* inMessage;
  };
  const Case cases[] = {
      {"empty", "", "empty"},
      {"no XML", "just a line of text", "no XML"},
      {"not well-formed", readData("broken.xml"), "line"},
      {"wrong root", "<?xml version=\"1.0\"?><Other/>", "register description"},
      {"duplicate name",
       "<RegisterDescription><Integer Name=\"A\"><Value>1</Value></Integer>"
       "<Integer Name=\"A\"><Value>2</Value></Integer></RegisterDescription>",
       "twice"},
  };
  for (const Case& c : cases) {
    CNodeMapRef map;
    try {
      map._LoadXMLFromString(c.xml);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const GenICam::GenericException& e) {
      EXPECT_NE(std::string(e.GetDescription()).find(c.inMessage), std::string::npos)
          << c.what << ": " << e.GetDescription();
    }
    EXPECT_FALSE(map._IsLoaded()) << c.what;
  }
}

TEST(NodeMapLoad, MissingFileThrows) {
  CNodeMapRef map;
  EXPECT_THROW(map._LoadXMLFromFile("/nonexistent/camera.xml"), GenICam::RuntimeException);
}

TEST(NodeMapConnect, UnknownPortNameAndUnloadedMapAreRefused) {
  // Catches a connect that accepts any port name, or works on an empty node map.
  MemoryPort port;
  CNodeMapRef empty;
  EXPECT_THROW(empty._Connect(&port), GenICam::AccessException);
  CNodeMapRef map;
  map._LoadXMLFromString(kSmall);
  EXPECT_FALSE(map._Connect(&port, "Stream"));
  EXPECT_TRUE(map._Connect(&port, "Device"));
  EXPECT_THROW(map._Connect(nullptr, "Device"), GenICam::InvalidArgumentException);
}

TEST(NodeMapConnect, ReadingBeforeConnectThrows) {
  // Catches a node map that reads garbage (or crashes) without a port.
  CNodeMapRef map;
  map._LoadXMLFromString(readData("kelpax_camera.xml"));
  CIntegerPtr width = map._GetNode("Width");
  ASSERT_TRUE(width.IsValid());
  EXPECT_THROW(width->GetValue(), GenICam::AccessException);
}

// Listing and finding.
TEST(NodeMapNodes, ListInDocumentOrderAndFindByName) {
  TestCamera cam;
  NodeList_t nodes;
  cam.map._GetNodes(nodes);
  ASSERT_GT(nodes.size(), 150u);
  EXPECT_EQ(nodes.front()->GetName(), "Root");
  EXPECT_EQ(nodes.back()->GetName(), "Device");
  auto pos = [&](const char* name) {
    return std::find_if(nodes.begin(), nodes.end(),
                        [&](INode* n) { return n->GetName() == name; }) -
           nodes.begin();
  };
  EXPECT_LT(pos("Width"), pos("Height"));
  EXPECT_EQ(pos("EnumEntry_PixelFormat_Mono8"), pos("PixelFormat") + 1);
  EXPECT_EQ(cam.map._GetNode("NoSuchFeature"), nullptr);
  EXPECT_EQ(cam.map.GetNode("Width"), cam.map._GetNode("Width"));
}

TEST(NodeMapNodes, CategoryFeaturesInDocumentOrder) {
  // Catches categories listed in the engine's (reversed) order.
  TestCamera cam;
  FeatureList_t features;
  cam.get<ICategory>("ImageFormatControl")->GetFeatures(features);
  std::vector<std::string> names;
  for (IValue* f : features)
    names.push_back(f->GetNode()->GetName());
  EXPECT_EQ(names, (std::vector<std::string>{"Width", "Height", "WidthMax", "OffsetX",
                                             "PixelFormat", "ReverseX", "TestPattern",
                                             "BinningHorizontal", "TestImageSelector"}));
  EXPECT_EQ(cam.get<IValue>("Root")->ToString(), "Root");
}

TEST(NodeMapNodes, EnumEntriesInDocumentOrderWithSymbolicsAndValues) {
  // Catches entries handed out reversed, as the engine keeps them.
  TestCamera cam;
  NodeList_t entries;
  cam.get<IEnumeration>("PixelFormat")->GetEntries(entries);
  std::vector<std::pair<std::string, int64_t>> got;
  for (INode* n : entries) {
    auto* e = dynamic_cast<IEnumEntry*>(n);
    ASSERT_NE(e, nullptr);
    got.emplace_back(e->GetSymbolic(), e->GetValue());
  }
  EXPECT_EQ(got, (std::vector<std::pair<std::string, int64_t>>{{"Mono8", 0x01080001},
                                                               {"Mono10", 0x01100003},
                                                               {"Mono12", 0x01100005},
                                                               {"Mono16", 0x01100007}}));
}

// Access modes as the browser filters on them.
TEST(NodeAccessMode, FeaturesOfTheTestCamera) {
  // Catches wrong NI/NA/WO/RO/RW derivation: pIsImplemented, pIsAvailable, register AccessMode
  // seen through pValue, ImposedAccessMode, pIsLocked.
  TestCamera cam;
  cam.port->pokeInteger(0x0110, 4, 0); // Mono12 not available
  const std::pair<const char*, EAccessMode> table[] = {
      {"Root", RO},
      {"LegacyControl", NI},
      {"LegacyGain", NI},
      {"BinningHorizontal", NI},
      {"TestImageSelector", NA},
      {"DeviceVendorName", RO},
      {"DeviceUserID", RW},
      {"DeviceReset", WO},
      {"DeviceTemperature", RO},
      {"Width", RW},
      {"WidthMax", RO},
      {"UserSetSave", NA}, // UserSetSelector is Default
      {"UserSetLoad", RW},
      {"FileOperationStatus", RO},
      {"GevCurrentIPAddress", RO},
      {"GevPersistentIPAddress", RW},
      {"EnumEntry_PixelFormat_Mono8", RO},
      {"EnumEntry_PixelFormat_Mono12", NA},
      {"EnumEntry_PixelFormat_Mono16", NI},
      {"EnumEntry_EventSelector_Overheat", NA},
      {"Device", RW},
  };
  // Entries are found through their enumeration, never by the map's global names.
  auto entry = [&](const char* enumeration, const char* symbolic) {
    return dynamic_cast<IEnumeration*>(cam.map._GetNode(enumeration))
        ->GetEntryByName(symbolic)
        ->GetNode();
  };
  auto node = [&](const std::string& name) -> INode* {
    if (name.rfind("EnumEntry_", 0) != 0)
      return cam.map._GetNode(name);
    EXPECT_EQ(cam.map._GetNode(name), nullptr) << name << " is no global name";
    std::string rest = name.substr(10);
    size_t cut = rest.find('_');
    return entry(rest.substr(0, cut).c_str(), rest.substr(cut + 1).c_str());
  };
  for (const auto& [name, mode] : table) {
    INode* n = node(name);
    ASSERT_NE(n, nullptr) << name;
    EXPECT_EQ(n->GetAccessMode(), mode) << name << " is " << AccessModeName(n->GetAccessMode());
  }
  cam.port->pokeInteger(0x0124, 4, 1); // TestImageAvailable
  cam.port->pokeInteger(0x0110, 4, 1);
  cam.get<IEnumeration>("UserSetSelector")->FromString("UserSet1");
  EXPECT_EQ(cam.map._GetNode("TestImageSelector")->GetAccessMode(), RW);
  EXPECT_EQ(entry("PixelFormat", "Mono12")->GetAccessMode(), RO);
  EXPECT_EQ(cam.map._GetNode("UserSetSave")->GetAccessMode(), RW);
  cam.get<IInteger>("TLParamsLocked")->SetValue(1);
  EXPECT_EQ(cam.map._GetNode("Width")->GetAccessMode(), RO) << "locked while streaming";
}

TEST(NodeAccessMode, FailingPortMakesFeaturesUnavailableNotCrash) {
  // Catches an access-mode query that throws out of a tree walk when the camera is gone.
  TestCamera cam;
  cam.port->setFailing(true);
  EXPECT_EQ(cam.map._GetNode("TestImageSelector")->GetAccessMode(), NA);
  EXPECT_THROW(cam.get<IInteger>("Width")->GetValue(), GenICam::AccessException);
}

TEST(NodeInfo, PrincipalInterfaceTypes) {
  // Catches a node given the wrong interface, which would give it the wrong editor.
  TestCamera cam;
  const std::pair<const char*, EInterfaceType> table[] = {
      {"Width", intfIInteger},
      {"WidthReg", intfIInteger},
      {"OffsetXMax", intfIInteger},
      {"ReverseX", intfIBoolean},
      {"DeviceReset", intfICommand},
      {"Gain", intfIFloat},
      {"DeviceTemperature", intfIFloat},
      {"DeviceUserID", intfIString},
      {"FileAccessBuffer", intfIRegister},
      {"Root", intfICategory},
      {"PixelFormat", intfIEnumeration},
      {"Device", intfIPort},
  };
  for (const auto& [name, type] : table)
    EXPECT_EQ(cam.map._GetNode(name)->GetPrincipalInterfaceType(), type) << name;
  EXPECT_EQ(cam.get<IEnumeration>("PixelFormat")
                ->GetEntryByName("Mono8")
                ->GetNode()
                ->GetPrincipalInterfaceType(),
            intfIEnumEntry);
  EXPECT_EQ(intfIValue, 0);
  EXPECT_EQ(intfIPort, 11);
  EXPECT_STREQ(InterfaceTypeName(intfIEnumeration), "IEnumeration");
}

TEST(NodeInfo, NamesTextsVisibilityAndFeatureFlag) {
  TestCamera cam;
  INode* width = cam.map._GetNode("Width");
  EXPECT_EQ(width->GetToolTip(), "Width of the image in pixels");
  EXPECT_EQ(width->GetDescription(), "Width of the region of interest; a multiple of 4.");
  EXPECT_EQ(width->GetDisplayName(), "Width"); // falls back to the name
  EXPECT_EQ(cam.map._GetNode("ImageFormatControl")->GetDisplayName(), "Image Format Control");
  EXPECT_EQ(width->GetVisibility(), Beginner);
  EXPECT_EQ(cam.map._GetNode("DeviceUserID")->GetVisibility(), Expert);
  EXPECT_EQ(cam.map._GetNode("DeviceReset")->GetVisibility(), Guru);
  EXPECT_EQ(cam.map._GetNode("TLParamsLocked")->GetVisibility(), Invisible);
  EXPECT_TRUE(width->IsFeature());
  EXPECT_FALSE(cam.map._GetNode("WidthReg")->IsFeature());
  EXPECT_EQ(width->GetNameSpace(), Standard);
  EXPECT_EQ(width->GetName(true), "Std::Width");
}

TEST(NodeInfo, XmlPropertiesByName) {
  // Catches properties the browser reads (pValue, PollingTime, IsSelfClearing, AccessMode,
  // Bit, pSelected, Inc) not reaching it, since the engine keeps none of them.
  TestCamera cam;
  const struct {
    const char* node;
    const char* property;
    const char* value;
  } table[] = {
      {"BalanceWhiteAuto", "pValue", "BalanceWhiteAutoReg"},
      {"BalanceWhiteAutoReg", "PollingTime", "100"},
      {"BalanceWhiteAutoReg", "IsSelfClearing", "Yes"},
      {"ReverseXReg", "AccessMode", "RW"},
      {"ReverseXReg", "Bit", "0"},
      {"TriggerSelector", "pSelected", "TriggerMode\tTriggerSource"},
      {"AcquisitionFrameRate", "Inc", "0.5"},
      {"Focus", "Inc", "5"},
  };
  for (const auto& row : table) {
    gcstring value, attribute;
    EXPECT_TRUE(cam.map._GetNode(row.node)->GetProperty(row.property, value, attribute))
        << row.node << "." << row.property;
    EXPECT_EQ(value, row.value) << row.node << "." << row.property;
  }
  gcstring value, attribute;
  EXPECT_FALSE(cam.map._GetNode("Gain")->GetProperty("Inc", value, attribute));
  EXPECT_TRUE(cam.map._GetNode("TriggerModeReg")->GetProperty("pIndex", value, attribute));
  EXPECT_EQ(value, "TriggerSelector");
  EXPECT_EQ(attribute, "Offset=4");
  EXPECT_EQ(cam.map._GetNode("DeviceTemperatureReg")->GetPollingTime(), 1000);
  EXPECT_EQ(cam.map._GetNode("Width")->GetPollingTime(), -1);
  EXPECT_EQ(cam.map._GetNode("Width")->GetPropertyText("pValue"), "WidthReg");
  gcstring_vector names;
  cam.map._GetNode("Width")->GetPropertyNames(names);
  EXPECT_NE(std::find(names.begin(), names.end(), "pIsLocked"), names.end());
}

TEST(NodeInfo, SelectorsAndTheFeaturesTheySelect) {
  TestCamera cam;
  INode* selector = cam.map._GetNode("UserSetSelector");
  EXPECT_TRUE(selector->IsSelector());
  EXPECT_FALSE(cam.map._GetNode("Width")->IsSelector());
  FeatureList_t selected;
  selector->GetSelectedFeatures(selected);
  ASSERT_EQ(selected.size(), 2u);
  EXPECT_EQ(selected[0]->GetNode()->GetName(), "UserSetLoad");
  EXPECT_EQ(selected[1]->GetNode()->GetName(), "UserSetSave");
  FeatureList_t selecting;
  cam.map._GetNode("TriggerSource")->GetSelectingFeatures(selecting);
  ASSERT_EQ(selecting.size(), 1u);
  EXPECT_EQ(selecting[0]->GetNode()->GetName(), "TriggerSelector");
}

TEST(NodePointers, CheckedPointerRefusesMissingOrWrongInterface) {
  TestCamera cam;
  CIntegerPtr missing = cam.map._GetNode("NoSuchFeature");
  EXPECT_FALSE(missing.IsValid());
  EXPECT_THROW(missing->GetValue(), GenICam::AccessException);
  CFloatPtr wrongKind = cam.map._GetNode("Width");
  EXPECT_FALSE(wrongKind.IsValid());
  CEnumerationPtr pixelFormat = cam.map._GetNode("PixelFormat");
  EXPECT_TRUE(pixelFormat.IsValid());
  CNodePtr back = static_cast<IValue*>(pixelFormat.get());
  EXPECT_EQ(back->GetName(), "PixelFormat");
}

} // namespace
