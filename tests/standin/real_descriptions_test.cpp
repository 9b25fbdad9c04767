// What real cameras' descriptions do that our first test camera did not (real_constructs.xml),
// and descriptions made to break the program: each must end in a clear error.
#include <cfloat>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../../standin/genapi/src/xml_model.h"
#include "GenICam/BoundedFile.h"
#include "test_camera.h"

using namespace GenApi;
using kelpax::test::TestCamera;

namespace {

TestCamera realConstructs() {
  return TestCamera(0, "real_constructs.xml");
}

TEST(RealConstructs, EntryNamesBelongToTheirEnumeration) {
  // Catches "Node 'Off' is defined twice" for two enumerations with an entry "Off", and an entry
  // named like a feature taken for the feature (or the feature for the entry).
  TestCamera cam = realConstructs();
  EXPECT_EQ(cam.map._GetNode("AcquisitionStart")->GetPrincipalInterfaceType(), intfICommand);
  EXPECT_EQ(cam.map._GetNode("Off"), nullptr) << "entries have no global name";
  auto* selector = cam.get<IEnumeration>("TriggerSelector");
  IEnumEntry* entry = selector->GetEntryByName("AcquisitionStart");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->GetNode()->GetPrincipalInterfaceType(), intfIEnumEntry);
  EXPECT_EQ(entry->GetValue(), 0);
  EXPECT_EQ(selector->ToString(), "AcquisitionStart");
  selector->FromString("FrameStart");
  EXPECT_EQ(cam.port->peekInteger(0x0004, 4), 1);
  for (const char* name : {"TriggerMode", "ExposureAuto"}) {
    StringList_t symbolics;
    cam.get<IEnumeration>(name)->GetSymbolics(symbolics);
    ASSERT_FALSE(symbolics.empty()) << name;
    EXPECT_EQ(symbolics.front(), "Off") << name << ": document order";
  }
  cam.get<IEnumeration>("ExposureAuto")->FromString("Continuous");
  EXPECT_EQ(cam.get<IEnumeration>("TriggerMode")->ToString(), "Off");
}

TEST(RealConstructs, MissingIncrementIsOneAndMissingLimitsAreTheTypes) {
  // Catches "<Inc> node not found" and "<Min> node not found" from value chains through a
  // MaskedIntReg, an IntSwissKnife, a Converter and a SwissKnife.
  TestCamera cam = realConstructs();
  cam.port->pokeInteger(0x0100, 4, 0x12340200); // Width in bits 0..15
  cam.port->pokeInteger(0x0104, 4, 300);
  cam.port->pokeInteger(0x0108, 4, 40);
  cam.port->pokeInteger(0x0200, 4, 680);
  struct Case {
    const char* name;
    int64_t value, min, max;
  };
  const Case integers[] = {
      {"Width", 0x200, 4, 4096},
      {"Height", 600, INT64_MIN, INT64_MAX},
      {"SensorWidth", 0x200 + 64, INT64_MIN, INT64_MAX},
  };
  for (const Case& c : integers) {
    auto* n = cam.get<IInteger>(c.name);
    EXPECT_EQ(n->GetValue(), c.value) << c.name;
    EXPECT_EQ(n->GetMin(), c.min) << c.name;
    EXPECT_EQ(n->GetMax(), c.max) << c.name;
    EXPECT_EQ(n->GetInc(), 1) << c.name;
  }
  auto* offsetX = cam.get<IInteger>("OffsetX");
  EXPECT_EQ(offsetX->GetValue(), 10) << "the converter divides by 4";
  EXPECT_EQ(offsetX->GetInc(), 1);
  offsetX->SetValue(25);
  EXPECT_EQ(cam.port->peekInteger(0x0108, 4), 100);
  auto* temperature = cam.get<IFloat>("DeviceTemperature");
  EXPECT_DOUBLE_EQ(temperature->GetValue(), 42.5);
  EXPECT_EQ(temperature->GetMin(), -DBL_MAX);
  EXPECT_EQ(temperature->GetMax(), DBL_MAX);
  EXPECT_FALSE(temperature->HasInc());
}

TEST(RealConstructs, RegistersAboveFourGiBCostOnlyTheirPage) {
  // Catches a memory port that allocates up to the highest address, or refuses it.
  TestCamera cam = realConstructs();
  EXPECT_GT(cam.port->size(), uint64_t{0x1F0000010});
  EXPECT_EQ(cam.port->heldBytes(), 0u);
  auto* counter = cam.get<IInteger>("HighAddressCounter");
  counter->SetValue(123456);
  EXPECT_EQ(counter->GetValue(), 123456);
  EXPECT_EQ(cam.port->peekInteger(0x1F0000010, 4), 123456);
  EXPECT_EQ(cam.port->heldBytes(), MemoryPort::kPageSize);
  uint8_t far[4] = {1, 2, 3, 4};
  EXPECT_THROW(cam.port->Read(far, 0x7FFFFFFFFFFFFFF0, 4), GenICam::AccessException);
  EXPECT_THROW(cam.port->Read(far, -4, 4), GenICam::AccessException);
  EXPECT_THROW(cam.port->Write(far, 0, -1), GenICam::AccessException);
}

TEST(RealConstructs, SelectedRegistersFollowTheSelector) {
  TestCamera cam = realConstructs();
  auto* selector = cam.get<IEnumeration>("GainSelector");
  auto* gain = cam.get<IInteger>("Gain");
  selector->FromString("Tap1");
  gain->SetValue(100);
  selector->FromString("Tap2");
  gain->SetValue(200);
  EXPECT_EQ(cam.port->peekInteger(0x0310, 4), 100);
  EXPECT_EQ(cam.port->peekInteger(0x0314, 4), 200);
}

// A description around `nodes`, with a Root category listing `feature`.
std::string description(const std::string& nodes, const std::string& feature = "A") {
  return "<?xml version=\"1.0\"?>\n<RegisterDescription ModelName=\"M\" VendorName=\"V\">"
         "<Category Name=\"Root\"><pFeature>" +
         feature + "</pFeature></Category>" + nodes +
         "<Port Name=\"Device\"/></RegisterDescription>";
}

std::string intReg(const std::string& name, const std::string& address, const std::string& length,
                   const std::string& extra = "") {
  return "<IntReg Name=\"" + name + "\"><Address>" + address + "</Address>" + extra + "<Length>" +
         length + "</Length><AccessMode>RW</AccessMode><pPort>Device</pPort></IntReg>";
}

struct Hostile {
  const char* what;
  std::string xml;
  const char* message; // part of the error
};

std::string deeplyNested(int levels) {
  std::string x = "<?xml version=\"1.0\"?><RegisterDescription>";
  for (int i = 0; i < levels; ++i)
    x += "<a>";
  for (int i = 0; i < levels; ++i)
    x += "</a>";
  return x + "</RegisterDescription>";
}

std::string nestedBelowLibxmlLimit() {
  std::string x = "<?xml version=\"1.0\"?><RegisterDescription><Integer Name=\"A\">";
  for (int i = 0; i < 100; ++i)
    x += "<Extension>";
  for (int i = 0; i < 100; ++i)
    x += "</Extension>";
  return x + "<Value>1</Value></Integer></RegisterDescription>";
}

// A chain of pValue links longer than the engine may follow by recursion.
std::string longChain(int links) {
  std::string nodes;
  for (int i = 0; i < links; ++i)
    nodes += "<Integer Name=\"N" + std::to_string(i) + "\"><pValue>N" + std::to_string(i + 1) +
             "</pValue></Integer>";
  nodes += "<Integer Name=\"N" + std::to_string(links) + "\"><Value>1</Value></Integer>";
  return description(nodes, "N0");
}

// Categories each listing the next: the feature tree is walked along them.
std::string deepCategories(int levels) {
  std::string nodes;
  for (int i = 0; i < levels; ++i)
    nodes += "<Category Name=\"C" + std::to_string(i) + "\"><pFeature>C" + std::to_string(i + 1) +
             "</pFeature></Category>";
  nodes += "<Category Name=\"C" + std::to_string(levels) + "\"/>";
  return description(nodes, "C0");
}

TEST(HostileDescription, EachEndsInAClearErrorBeforeTheEngineSeesIt) {
  // Catches stack overflows, 2^64-byte allocations, endless link walks and entity expansion:
  // each of these once crashed, hung or exhausted the program.
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
      "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
      "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
      "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">]>"
      "<RegisterDescription ModelName=\"&h;\"><Port Name=\"Device\"/></RegisterDescription>";
  const Hostile cases[] = {
      {"40,000 levels deep", deeplyNested(40000), "parse"},
      {"100 levels deep", nestedBelowLibxmlLimit(), "nests elements more than 64"},
      {"entity expansion", laughs, "document type or entities"},
      {"negative IntReg length", description(intReg("A", "0x10", "-8")), "<Length> -8"},
      {"IntReg longer than 8 bytes", description(intReg("A", "0x10", "16")), "<Length> 16"},
      {"StringReg of 2^63 bytes",
       description("<StringReg Name=\"A\"><Address>0</Address><Length>0x8000000000000000</Length>"
                   "<AccessMode>RO</AccessMode><pPort>Device</pPort></StringReg>"),
       "<Length> 0x8000000000000000"},
      {"address INT64_MIN", description(intReg("A", "-0x8000000000000000", "4")),
       "outside the port's address space"},
      {"address not a number", description(intReg("A", "0x10zz", "4")), "is no number"},
      {"pIndex naming itself", description(intReg("A", "0x10", "4", "<pIndex>A</pIndex>")),
       "A -> A"},
      {"pValue naming itself", description("<Integer Name=\"A\"><pValue>A</pValue></Integer>"),
       "depends on itself"},
      {"pValue cycle of two",
       description("<Integer Name=\"A\"><pValue>B</pValue></Integer>"
                   "<Integer Name=\"B\"><pValue>A</pValue></Integer>"),
       "A -> B -> A"},
      {"SwissKnife variable cycle",
       description("<IntSwissKnife Name=\"A\"><pVariable Name=\"X\">B</pVariable>"
                   "<Formula>X</Formula></IntSwissKnife>"
                   "<Integer Name=\"B\"><pValue>A</pValue></Integer>"),
       "depends on itself"},
      {"a node inside another naming itself",
       description("<Integer Name=\"X\"><pValue>A</pValue>"
                   "<Integer Name=\"A\"><pValue>A</pValue></Integer></Integer>"),
       "A <Integer> element stands inside <Integer>"},
      {"a node without a name inside another",
       description("<Integer Name=\"A\"><pValue>B</pValue></Integer><Integer Name=\"X\">"
                   "<Integer><Max>1</Max></Integer><pValue>A</pValue></Integer>"),
       "stands inside <Integer>"},
      {"a node inside an element without a name",
       description("<Integer><Value>2</Value><Integer Name=\"A\"><pValue>A</pValue></Integer>"
                   "</Integer>"),
       "stands inside <Integer>"},
      {"an address's IntSwissKnife naming itself",
       description("<IntReg Name=\"A\"><IntSwissKnife Name=\"S\"><pVariable Name=\"V\">S"
                   "</pVariable><Formula>V</Formula></IntSwissKnife><Length>4</Length>"
                   "<AccessMode>RO</AccessMode><pPort>Device</pPort></IntReg>"),
       "S -> S"},
      {"an address's IntSwissKnife taking a top-level node's name",
       description("<Integer Name=\"S\"><Value>1</Value></Integer><IntReg Name=\"A\">"
                   "<IntSwissKnife Name=\"S\"><Formula>4</Formula></IntSwissKnife>"
                   "<Length>4</Length><AccessMode>RO</AccessMode><pPort>Device</pPort></IntReg>"),
       "Node 'S' is defined twice"},
      {"pValue naming no node, another node leading to it",
       description("<Integer Name=\"A\"><pValue>B</pValue></Integer>"
                   "<Integer Name=\"0\"><pValue>A</pValue></Integer>"),
       "Node 'A' (Integer): <pValue> names 'B', which is no node of the description"},
      {"pValueIndexed naming a node the engine has no kind for",
       description("<Integer Name=\"A\"><pIndex>I</pIndex><pValueIndexed Index=\"1\">K"
                   "</pValueIndexed><ValueDefault>0</ValueDefault></Integer>"
                   "<Integer Name=\"I\"><Value>1</Value></Integer><IntKey Name=\"K\"/>"),
       "<pValueIndexed> names 'K'"},
      {"pValueDefault naming no node",
       description("<Float Name=\"A\"><pIndex>I</pIndex><pValueIndexed Index=\"2\">I"
                   "</pValueIndexed><pValueDefault>Gone</pValueDefault></Float>"
                   "<Integer Name=\"I\"><Value>1</Value></Integer>"),
       "<pValueDefault> names 'Gone'"},
      {"chain of 1000 links", longChain(1000), "more than 256 nodes"},
      {"category listing itself",
       description("<Category Name=\"A\"><pFeature>B</pFeature></Category>"
                   "<Category Name=\"B\"><pFeature>A</pFeature></Category>"),
       "the category lists itself (A -> B -> A)"},
      {"categories 20,000 deep", deepCategories(20000), "categories nest more than 64 levels"},
      {"a node defined twice",
       description("<Integer Name=\"A\"><Value>1</Value></Integer>"
                   "<Integer Name=\"A\"><Value>2</Value></Integer>"),
       "defined twice"},
  };
  for (const Hostile& c : cases) {
    CNodeMapRef map;
    try {
      map._LoadXMLFromString(c.xml);
      ADD_FAILURE() << c.what << ": loaded";
    } catch (const GenICam::RuntimeException& e) {
      EXPECT_NE(std::string(e.GetDescription()).find(c.message), std::string::npos)
          << c.what << ": " << e.GetDescription();
    }
    EXPECT_FALSE(map._IsLoaded()) << c.what;
  }
}

TEST(HostileDescription, LengthsComputedAtRunTimeAreBoundedToo) {
  // A StringReg whose pLength gives 2^62 bytes: the engine would allocate them before reading.
  const std::string xml =
      description("<StringReg Name=\"A\"><Address>0</Address><pLength>Huge</pLength>"
                  "<AccessMode>RO</AccessMode><pPort>Device</pPort></StringReg>"
                  "<Integer Name=\"Huge\"><Value>0x4000000000000000</Value></Integer>");
  CNodeMapRef map;
  map._LoadXMLFromString(xml);
  MemoryPort port;
  map._Connect(&port, "Device");
  auto* text = dynamic_cast<IString*>(map._GetNode("A"));
  ASSERT_NE(text, nullptr);
  EXPECT_THROW(text->GetValue(), GenICam::OutOfRangeException);
}

// A camera whose length register answers 4 the first time it is read and 2^62 after: the
// layer checks the first answer, the engine evaluates the length again before it allocates.
class ChangingLengthPort : public IPort {
public:
  void Read(void* buffer, int64_t address, int64_t length) override {
    std::memset(buffer, 0, static_cast<size_t>(length));
    if (address == 0x100 && length == 8) {
      const uint64_t answer = lengthReads_++ == 0 ? 4 : uint64_t{1} << 62;
      std::memcpy(buffer, &answer, sizeof answer);
    }
  }
  void Write(const void*, int64_t, int64_t) override { ++writes_; }
  EAccessMode GetAccessMode() const override { return RW; }
  int lengthReads_ = 0;
  int writes_ = 0;
};

TEST(HostileCamera, ALengthReadTwiceInOneCallIsTheSameLength) {
  // Caught the engine allocating 2^62 bytes (an abort) for a register whose length this layer
  // had already found to be 4.
  const std::string xml =
      description("<Register Name=\"A\"><Address>0</Address><pLength>Len</pLength>"
                  "<AccessMode>RW</AccessMode><pPort>Device</pPort></Register>"
                  "<StringReg Name=\"S\"><Address>0x40</Address><pLength>Len</pLength>"
                  "<AccessMode>RO</AccessMode><pPort>Device</pPort></StringReg>" +
                  intReg("Len", "0x100", "8", "<Endianess>LittleEndian</Endianess>"));
  CNodeMapRef map;
  map._LoadXMLFromString(xml);
  ChangingLengthPort port;
  map._Connect(&port, "Device");
  auto* reg = dynamic_cast<IRegister*>(map._GetNode("A"));
  ASSERT_NE(reg, nullptr);
  uint8_t bytes[4] = {1, 1, 1, 1};
  EXPECT_NO_THROW(reg->Get(bytes, 4));
  EXPECT_EQ(bytes[0], 0);
  EXPECT_THROW(reg->Get(bytes, 4), GenICam::OutOfRangeException) << "2^62 from now on";

  port.lengthReads_ = 0;
  auto* text = dynamic_cast<IString*>(map._GetNode("S"));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->GetValue(), "");
  EXPECT_THROW(text->GetValue(), GenICam::OutOfRangeException);

  // A write in between is not answered from what was read before it.
  port.lengthReads_ = 0;
  const uint8_t four[4] = {1, 2, 3, 4};
  EXPECT_NO_THROW(reg->Set(four, 4));
  EXPECT_EQ(port.writes_, 1);
  EXPECT_THROW(reg->GetLength(), GenICam::OutOfRangeException);
}

TEST(XmlInteger, TheMostNegativeNumberIsReadWithoutOverflow) {
  // Catches -0x8000000000000000 negated as an int64_t (undefined behaviour).
  int64_t v = 0;
  EXPECT_TRUE(kelpax::genapi::parseXmlInteger("-0x8000000000000000", v));
  EXPECT_EQ(v, INT64_MIN);
  EXPECT_TRUE(kelpax::genapi::parseXmlInteger("-9223372036854775808", v));
  EXPECT_EQ(v, INT64_MIN);
  EXPECT_FALSE(kelpax::genapi::parseXmlInteger("-0x8000000000000001", v));
  EXPECT_FALSE(kelpax::genapi::parseXmlInteger("0x", v));
  EXPECT_FALSE(kelpax::genapi::parseXmlInteger("- 5", v));
}

// A scratch folder that removes itself.
struct Scratch {
  Scratch() {
    char pattern[] = "/tmp/kelpax-bounded-XXXXXX";
    path = ::mkdtemp(pattern);
  }
  ~Scratch() { std::filesystem::remove_all(path); }
  std::string file(const char* name) const { return path + "/" + name; }
  std::string path;
};

TEST(BoundedFile, OnlyRegularFilesWithinTheLimitAreRead) {
  // Catches a description, feature file or options file that is a FIFO (a hang), /dev/zero or
  // a huge file (memory without end) read as if it were a file.
  Scratch scratch;
  std::string fifo = scratch.file("fifo.xml");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string small = scratch.file("small.xml");
  std::FILE* f = std::fopen(small.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("0123456789", f);
  std::fclose(f);

  std::string bytes = "untouched";
  EXPECT_NE(GenICam::readBoundedFile(fifo, 1024, bytes).find("not a regular file"),
            std::string::npos);
  EXPECT_NE(GenICam::readBoundedFile("/dev/zero", 1024, bytes).find("not a regular file"),
            std::string::npos);
  EXPECT_NE(GenICam::readBoundedFile(scratch.path, 1024, bytes).find("not a regular file"),
            std::string::npos);
  EXPECT_NE(GenICam::readBoundedFile(small, 9, bytes).find("larger than 9 bytes"),
            std::string::npos);
  EXPECT_NE(GenICam::readBoundedFile(scratch.file("none"), 9, bytes).find("cannot open"),
            std::string::npos);
  EXPECT_EQ(bytes, "untouched") << "a refused file leaves the buffer alone";
  EXPECT_EQ(GenICam::readBoundedFile(small, 10, bytes), "");
  EXPECT_EQ(bytes, "0123456789");

  CNodeMapRef map;
  EXPECT_THROW(map._LoadXMLFromFile(fifo), GenICam::RuntimeException);
  EXPECT_THROW(MemoryPort::ForXmlFile("/dev/zero"), GenICam::RuntimeException);
}

} // namespace
