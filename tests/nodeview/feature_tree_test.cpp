// The walk over a node map and the traffic between rows and the camera, without a window.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "nodeview/feature_tree.h"
#include "nodeview/file_transfer.h"
#include "tests/nodeview/test_camera.h"

namespace nodeview {
namespace {

using namespace nodeview::testing;

struct Note {
  std::string category;
  std::string line;
};

// A tree over the test camera that records what it says and what it asks.
class TreeTest : public ::testing::Test {
protected:
  explicit TreeTest(const char* file = "browser_camera.xml") : camera(file), tree(hooks()) {
    tree.setNodeMap(camera.map());
  }

  TreeHooks hooks() {
    TreeHooks h;
    h.notify = [this](const char* category, const std::string& line) {
      notes.push_back({category, line});
    };
    h.startPollTimer = [this](std::int64_t ms) { pollTimes.push_back(ms); };
    h.ask = [this](const std::string& caption, const std::string& text) {
      questions.push_back(caption + ": " + text);
      return answer;
    };
    h.error = [this](const std::string& caption, const std::string& text) {
      boxes.push_back(caption + ": " + text);
    };
    return h;
  }

  int count(const std::string& category, const std::string& line) const {
    int n = 0;
    for (const auto& note : notes) {
      n += note.category == category && note.line == line;
    }
    return n;
  }

  PropertyRow& row(const char* name) {
    PropertyRow* r = tree.rowNamed(name);
    EXPECT_NE(r, nullptr) << name;
    static PropertyRow none;
    return r ? *r : none;
  }

  TestCamera camera;
  FeatureTree tree;
  std::vector<Note> notes;
  std::vector<std::int64_t> pollTimes;
  std::vector<std::string> questions;
  std::vector<std::string> boxes;
  bool answer = false;
};

struct KindCase {
  const char* name;
  RowKind kind;
};

// Catches a feature given the wrong editor: "Focus" as a slider, an address as a number, a
// float with an increment without its slider.
TEST_F(TreeTest, MakesOneRowKindPerFeature) {
  tree.rebuild();
  const KindCase cases[] = {
      {"Width", RowKind::IntegerSlider},
      {"Focus", RowKind::Integer},
      {"WideCounter", RowKind::IntegerSlider},
      {"DeviceRegister", RowKind::IntegerText},
      {"GevCurrentIPAddress", RowKind::IntegerText},
      {"GevPersistentIPAddress", RowKind::IntegerText},
      {"GevCurrentSubnetMask", RowKind::IntegerText},
      {"GevMACAddress", RowKind::IntegerText},
      {"ReverseX", RowKind::Boolean},
      {"PixelFormat", RowKind::Enumeration},
      {"ExposureTime", RowKind::Float},
      {"BlackLevel", RowKind::FloatSlider},
      {"DeviceUserID", RowKind::String},
      {"AcquisitionStart", RowKind::Command},
      {"NotAvailableFeature", RowKind::Integer}, // no increment read from it
  };
  for (const auto& c : cases) {
    EXPECT_EQ(int(row(c.name).kind), int(c.kind)) << c.name;
  }
  EXPECT_EQ(row("AcquisitionStart").valueText(), "Execute");
  EXPECT_FALSE(row("NotAvailableFeature").readable);
  EXPECT_FALSE(row("NotAvailableFeature").enabled);
  EXPECT_FALSE(row("DeviceModelName").enabled) << "read-only feature";
  EXPECT_TRUE(row("Width").enabled);
}

// Catches rows for an integer with a boolean representation or a feature that is not
// implemented, and a not-implemented category that is dropped.
TEST_F(TreeTest, LeavesOutWhatHasNoRow) {
  tree.rebuild();
  EXPECT_EQ(tree.rowNamed("BinningEnable"), nullptr);
  EXPECT_EQ(tree.rowNamed("NotImplementedFeature"), nullptr);
  ASSERT_NE(tree.root(), nullptr);
  EXPECT_EQ(tree.root()->name, "Root");
  bool groupFound = false;
  for (const auto& group : tree.root()->children) {
    if (group->name == "HiddenControl") {
      for (const auto& child : group->children) {
        groupFound |= child->name == "NotImplementedGroup" && child->kind == RowKind::Group;
      }
    }
  }
  EXPECT_TRUE(groupFound);
  EXPECT_NE(tree.rowNamed("InsideNotImplementedGroup"), nullptr);
}

// Catches a missing or misnamed "Adding" line and a feature without its callback.
TEST_F(TreeTest, AnnouncesEachRowAndRegistersCallbacks) {
  tree.rebuild();
  EXPECT_EQ(count("Info", "Adding IInteger type, Width"), 1);
  EXPECT_EQ(count("Info", "Adding IFloat type, ExposureTime"), 1);
  EXPECT_EQ(count("Info", "Adding IEnumeration type, PixelFormat"), 1);
  EXPECT_EQ(count("Info", "Adding IBoolean type, ReverseX"), 1);
  EXPECT_EQ(count("Info", "Adding IString type, DeviceUserID"), 1);
  EXPECT_EQ(count("Info", "Adding ICommand type, AcquisitionStart"), 1);
  EXPECT_EQ(count("Info", "Adding IInteger type, BinningEnable"), 0);
  // Every implemented feature, rows or not (BinningEnable has none but is watched).
  EXPECT_EQ(tree.callbackCount(), tree.properties().size() + 1);
  tree.rebuild();
  EXPECT_EQ(tree.callbackCount(), tree.properties().size() + 1) << "old callbacks dropped";
}

// Catches a category cut short by one feature whose camera value matches no entry.
TEST_F(TreeTest, BadValueKeepsTheRestOfTheCategory) {
  camera.poke(0x0114, 4, 12345);
  tree.rebuild();
  ASSERT_NE(tree.rowNamed("PixelFormat"), nullptr);
  EXPECT_FALSE(row("PixelFormat").readable);
  EXPECT_NE(tree.rowNamed("PolledValue"), nullptr);
  int errors = 0;
  for (const auto& note : notes) {
    errors += note.category == "Error" &&
              note.line.rfind("PixelFormat : Feature 'PixelFormat' : ", 0) == 0;
  }
  EXPECT_EQ(errors, 1);
}

// Catches event data that never reaches the features named after an available event.
TEST_F(TreeTest, EventFeaturesHearTheirEvents) {
  std::vector<GenApi::INode*> changed;
  TreeHooks h = hooks();
  h.nodeChanged = [&changed](GenApi::INode* node) { changed.push_back(node); };
  FeatureTree events(h);
  events.setNodeMap(camera.map());
  events.rebuild();
  EXPECT_EQ(events.eventNames(), (std::vector<std::string>{"ExposureEnd"}));
  ASSERT_GE(events.eventPortCount(), 1u);
  const std::uint8_t data[12] = {0x44, 0x33, 0x22, 0x11, 0, 0, 0, 0, 7, 0, 0, 0};
  events.eventPort(0)->DeliverMessage(data, sizeof data);
  PropertyRow* timestamp = events.rowNamed("EventExposureEndTimestamp");
  ASSERT_NE(timestamp, nullptr);
  EXPECT_NE(std::find(changed.begin(), changed.end(), timestamp->node), changed.end());
  events.refreshRow(*timestamp);
  EXPECT_EQ(timestamp->intValue, 0x11223344);
}

// Catches enumeration options shown in reverse order or with unavailable entries.
TEST_F(TreeTest, EnumerationOptionsKeepDocumentOrder) {
  camera.poke(0x0114, 4, 0x01100003);
  tree.rebuild();
  EXPECT_EQ(row("PixelFormat").text, "Mono10");
  EXPECT_EQ(row("PixelFormat").options, (std::vector<std::string>{"Mono8", "Mono10", "Mono12"}));
  EXPECT_EQ(row("GainSelector").options, (std::vector<std::string>{"All", "Red", "Blue"}));
}

// Catches a width check that misses 0 or 2 or complains about 4 and 8.
TEST_F(TreeTest, ChecksTheWidth) {
  const std::pair<int, int> cases[] = {{0, 1}, {2, 1}, {4, 0}, {8, 0}, {642, 1}};
  for (auto [width, complaints] : cases) {
    camera.poke(kWidth, 4, width);
    notes.clear();
    tree.rebuild();
    EXPECT_EQ(count("Error", "Width must be a multiple of 4!"), complaints) << width;
    // A refresh checks again.
    notes.clear();
    tree.refreshRow(row("Width"));
    EXPECT_EQ(count("Error", "Width must be a multiple of 4!"), complaints) << "refresh " << width;
  }
}

// Catches "192.168.  0.  1" formatted wrong and a MAC address shown as hexadecimal.
TEST_F(TreeTest, FormatsAddresses) {
  camera.poke(kGevCurrentIP, 4, 3232235521);
  camera.poke(kGevMac, 8, 0x11223344);
  camera.poke(kDeviceRegister, 4, 0xabc);
  tree.rebuild();
  EXPECT_EQ(row("GevCurrentIPAddress").text, "192.168.  0.  1");
  EXPECT_EQ(row("GevMACAddress").text, "00-00-11-22-33-44");
  EXPECT_EQ(row("DeviceRegister").text, "0x00000abc");
}

// Catches a camera left sending extended IDs, or an operator allowed to switch them on.
TEST_F(TreeTest, RefusesExtendedIdMode) {
  camera.poke(kGevExtendedId, 4, 1);
  tree.rebuild();
  EXPECT_EQ(count("Error", "Error 'GevGVSPExtendedIDMode' is not supported"), 1);
  EXPECT_EQ(camera.peek(kGevExtendedId), 0);
  EXPECT_EQ(row("GevGVSPExtendedIDMode").text, "Off");
  notes.clear();
  tree.writeRow(row("GevGVSPExtendedIDMode"), "On");
  EXPECT_EQ(count("Error", "Error 'GevGVSPExtendedIDMode' is not supported"), 1);
  EXPECT_EQ(camera.peek(kGevExtendedId), 0);
}

// Catches a camera that refuses to switch extended IDs off taking the row (and the rest of its
// category) away instead of reporting why.
TEST_F(TreeTest, ExtendedIdModeThatCannotBeSwitchedOffKeepsItsRow) {
  camera.poke(kGevExtendedId, 4, 1);
  camera.port().throwOnWrite(kGevExtendedId, -10010);
  tree.rebuild();
  camera.port().throwOnWrite(-1, 0);
  ASSERT_NE(tree.rowNamed("GevGVSPExtendedIDMode"), nullptr);
  EXPECT_EQ(row("GevGVSPExtendedIDMode").text, "On");
  EXPECT_EQ(count("Error", "Error 'GevGVSPExtendedIDMode' is not supported"), 1);
  EXPECT_EQ(count("Error", "GC Error : Code(-10010) Desc(Write protect)"), 1);
}

struct WriteCase {
  const char* feature;
  const char* text;
  std::int64_t address;
  unsigned length;
  std::int64_t expected;
};

// Catches a value outside the range written, and typed addresses parsed wrong.
TEST_F(TreeTest, WritesClampedAndParsedValues) {
  tree.rebuild();
  const WriteCase cases[] = {
      {"Height", "99999", kHeight, 4, 3072},
      {"Height", "-5", kHeight, 4, 1},
      {"Focus", "250", kFocus, 4, 250},
      {"GevPersistentIPAddress", "192.168.  0.  1", kGevPersistentIP, 4, 3232235521},
      {"GevPersistentIPAddress", "10.0.300.1", kGevPersistentIP, 4, 0x0a00ff01},
      {"GevMACAddress", "0A-1B-2C-3D-4E-5F", kGevMac, 8, 0x0a1b2c3d4e5f},
      {"DeviceRegister", "0x1F", kDeviceRegister, 4, 0x1f},
      {"ReverseX", "1", kReverseX, 4, 1},
      {"ReverseX", "0", kReverseX, 4, 0},
  };
  for (const auto& c : cases) {
    tree.writeRow(row(c.feature), c.text);
    EXPECT_EQ(camera.peek(c.address, c.length), c.expected) << c.feature << " " << c.text;
  }
  tree.writeRow(row("ExposureTime"), "5");
  EXPECT_DOUBLE_EQ(row("ExposureTime").floatValue, 10.0);
  EXPECT_EQ(count("Info", "Updating IInteger type, Height"), 2);
  EXPECT_EQ(count("Info", "Updating IBoolean type, ReverseX = True"), 1);
  EXPECT_EQ(count("Info", "Updating IBoolean type, ReverseX = False"), 1);
  EXPECT_GE(count("Info", "Refreshed Height"), 2);
}

// Catches a text with a missing part written as something, and the old value not shown again.
TEST_F(TreeTest, RefusesAddressTextsWithMissingParts) {
  camera.poke(kGevPersistentIP, 4, 0x0a000001);
  tree.rebuild();
  camera.port().forget();
  for (const char* text : {"10.0.1", "11-22-33", "zz"}) {
    notes.clear();
    PropertyRow& r = row(text[2] == '-' ? "GevMACAddress" : "GevPersistentIPAddress");
    if (text[0] == 'z') {
      tree.writeRow(row("DeviceRegister"), text);
    } else {
      tree.writeRow(r, text);
    }
    EXPECT_EQ(count("Error", "Input value is in invalid format."), 1) << text;
  }
  EXPECT_TRUE(camera.port().writes().empty());
  EXPECT_EQ(row("GevPersistentIPAddress").text, " 10.  0.  0.  1");
}

// Catches a command that is not written, not announced, or a bit command run despite a
// register that cannot be read back.
TEST_F(TreeTest, ExecutesCommands) {
  tree.rebuild();
  camera.port().forget();
  EXPECT_EQ(tree.executeCommand(row("AcquisitionStart")), FeatureTree::AfterCommand::Nothing);
  EXPECT_GE(camera.port().indexOf(kAcquisitionStart, 1), 0);
  EXPECT_EQ(count("Info", "Executing IExecution type, AcquisitionStart"), 1);

  tree.executeCommand(row("LatchCommand"));
  EXPECT_EQ(count("Error", "Execution failed, IExecution"), 1);
  EXPECT_FALSE(camera.port().wrote(kLatch));
}

// Catches a command's polling time lost: the one-shot poll must follow it.
TEST_F(TreeTest, CommandPollingTimeStartsThePoll) {
  tree.rebuild();
  tree.executeCommand(row("TriggerSoftware"));
  EXPECT_EQ(pollTimes, (std::vector<std::int64_t>{20}));
  EXPECT_EQ(tree.lastPollingTime(), 20);
  pollTimes.clear();
  tree.writeRow(row("PolledValue"), "7");
  EXPECT_EQ(pollTimes, (std::vector<std::int64_t>{30})) << "PollingTime of the pValue register";
}

// Catches a command wait that runs past its limit when the camera never clears the register.
TEST_F(TreeTest, CommandWaitEndsAtTheLimit) {
  tree.rebuild();
  tree.setWaitLimitMs(300);
  // A register that never clears: done never comes.
  camera.port().memory().emulateSelfClearing(kAcquisitionStart, 4, 1000000);
  auto start = std::chrono::steady_clock::now();
  tree.executeCommand(row("AcquisitionStart"));
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(300));
  EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
}

// Catches the self-clearing wait not running on its own thread or not reading the camera.
TEST_F(TreeTest, SelfClearingEnumerationIsWatched) {
  tree.rebuild();
  camera.port().memory().emulateSelfClearing(kCalibrationMode, 4, 3);
  std::uint64_t readsBefore = camera.port().memory().readCount();
  tree.writeRow(row("CalibrationMode"), "Run");
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (camera.port().memory().readCount() < readsBefore + 4 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_GE(camera.port().memory().readCount(), readsBefore + 4);
  tree.waitForWorkers();
  EXPECT_EQ(camera.peek(kCalibrationMode), 0);
}

// Catches a selected feature saved once instead of per entry, a selector left on the last
// entry after saving, and a selector item written before the values it selects.
TEST_F(TreeTest, CollectsSelectedValuesAndRestoresTheSelector) {
  camera.poke(kGainBase + 0, 4, 10);
  camera.poke(kGainBase + 4, 4, 20);
  camera.poke(kGainBase + 8, 4, 30);
  camera.poke(kGainSelector, 4, 1);
  tree.rebuild();
  std::vector<FeatureItem> selected;
  std::vector<std::size_t> selectedAt;
  std::size_t selectorAt = 0;
  auto items = tree.collectItems();
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].hasSelector && items[i].selectorName == "GainSelector") {
      selected.push_back(items[i]);
      selectedAt.push_back(i);
    } else if (items[i].name == "GainSelector") {
      selectorAt = i;
    }
  }
  // One item per entry, and the Gain row's own item under the entry the selector is on.
  ASSERT_EQ(selected.size(), 4u);
  const char* entries[] = {"All", "Red", "Blue", "Red"};
  const char* values[] = {"10", "20", "30", "20"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(selected[std::size_t(i)].name, "Gain");
    EXPECT_EQ(selected[std::size_t(i)].selectorValue, entries[i]);
    EXPECT_EQ(selected[std::size_t(i)].value, values[i]);
  }
  EXPECT_EQ(camera.peek(kGainSelector), 1);
  EXPECT_EQ(items[selectorAt].value, "Red");
  EXPECT_GT(selectorAt, selectedAt[2]) << "the selector's own value follows the entries' values";
}

// A feature file saved from one camera and loaded into another: catches per-entry values
// written over each other and the selector left on its last entry (Red = 20, Blue = 30 with
// the selector on Red came back as Blue = 20 with the selector on Blue).
TEST_F(TreeTest, FeatureFileRoundTripRestoresEverySelectedValueAndTheSelector) {
  camera.poke(kGainBase + 0, 4, 10);
  camera.poke(kGainBase + 4, 4, 20);
  camera.poke(kGainBase + 8, 4, 30);
  camera.poke(kGainSelector, 4, 1);
  camera.poke(kHeight, 4, 480);
  tree.rebuild();
  std::string json = featureFileJson(tree.collectItems());

  TestCamera other;
  FeatureTree otherTree(hooks());
  otherTree.setNodeMap(other.map());
  otherTree.rebuild();
  auto read = parseFeatureFileJson(json);
  ASSERT_EQ(read.error, "");
  otherTree.applyItems(read.items);
  EXPECT_EQ(other.peek(kGainBase + 0), 10);
  EXPECT_EQ(other.peek(kGainBase + 4), 20);
  EXPECT_EQ(other.peek(kGainBase + 8), 30);
  EXPECT_EQ(other.peek(kGainSelector), 1);
  EXPECT_EQ(other.peek(kHeight), 480);
  otherTree.rebuild();
  EXPECT_EQ(featureFileJson(otherTree.collectItems()), json);
}

// Catches a selector with several pSelected elements saved for its first one only.
TEST_F(TreeTest, CollectsEverySelectedFeature) {
  tree.rebuild();
  std::set<std::string> names;
  int items = 0;
  for (const auto& item : tree.collectItems()) {
    if (item.hasSelector && item.selectorName == "FileSelector") {
      names.insert(item.name);
      ++items;
    }
  }
  EXPECT_EQ(names,
            (std::set<std::string>{"FileOperationSelector", "FileOpenMode", "FileAccessOffset",
                                   "FileAccessLength", "FileOperationStatus", "FileOperationResult",
                                   "FileSize"}));
  // Seven features for each of three files, and each feature's own row under the file the
  // selector is on.
  EXPECT_EQ(items, 7 * 3 + 7);
}

// Catches invisible, not-implemented, command and CoaXPress features in a feature file.
TEST_F(TreeTest, FeatureFileLeavesOutWhatCannotBeRestored) {
  tree.rebuild();
  auto items = tree.collectItems();
  auto read = parseFeatureFileJson(featureFileJson(items));
  ASSERT_EQ(read.error, "");
  std::vector<std::string> names;
  for (const auto& item : read.items) {
    names.push_back(item.name);
  }
  auto has = [&names](const char* name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  EXPECT_TRUE(has("Width"));
  EXPECT_TRUE(has("ExposureTime"));
  EXPECT_FALSE(has("InvisibleFeature"));
  EXPECT_FALSE(has("NotImplementedFeature"));
  EXPECT_FALSE(has("AcquisitionStart"));
  EXPECT_FALSE(has("UserSetLoad"));
  EXPECT_FALSE(has("CxpLinkConfiguration"));
  EXPECT_NE(featureListing(items).find("CxpLinkConfiguration"), std::string::npos);
}

// Catches a load that skips the reset to the default user set or applies items out of order.
TEST_F(TreeTest, LoadResetsThenAppliesInOrder) {
  tree.rebuild();
  camera.poke(kUserSetSelector, 4, 2);
  camera.port().forget();
  ASSERT_TRUE(tree.resetToDefaultUserSet());
  tree.applyItems({{"Height", "100", false, "", "", "RW"},
                   {"Gain", "7", true, "GainSelector", "Blue", "RW"},
                   {"Height", "200", false, "", "", "RW"}});
  int selector = camera.port().indexOf(kUserSetSelector, 0);
  int load = camera.port().indexOf(kUserSetLoad, 1);
  int first = camera.port().indexOf(kHeight, 100);
  int gainSelector = camera.port().indexOf(kGainSelector, 2);
  int gain = camera.port().indexOf(kGainBase + 8, 7);
  int second = camera.port().indexOf(kHeight, 200);
  EXPECT_GE(selector, 0);
  EXPECT_LT(selector, load);
  EXPECT_LT(load, first);
  EXPECT_LT(first, gainSelector);
  EXPECT_LT(gainSelector, gain);
  EXPECT_LT(gain, second);
  EXPECT_EQ(camera.peek(kHeight), 200);
}

// The texts of integer items: catches a MAC text or an IPv4 text loaded as 0, a float outside
// its range written, and an unknown entry written as something.
TEST_F(TreeTest, LoadReadsIntegerTextsAndChecksRanges) {
  tree.rebuild();
  notes.clear();
  tree.applyItems({{"GevMACAddress", "00-1A-2B-3C-4D-5E", false, "", "", "RW"},
                   {"GevPersistentIPAddress", "192.168.  0.  1", false, "", "", "RW"},
                   {"DeviceRegister", "0x0000abcd", false, "", "", "RW"},
                   {"ExposureTime", "1000000", false, "", "", "RW"},
                   {"PixelFormat", "Mono99", false, "", "", "RW"},
                   {"Focus", "seven", false, "", "", "RW"},
                   {"ReverseX", "TRUE", false, "", "", "RW"}});
  EXPECT_EQ(camera.peek(kGevMac, 8), 0x001a2b3c4d5e);
  EXPECT_EQ(camera.peek(kGevPersistentIP), 3232235521);
  EXPECT_EQ(camera.peek(kDeviceRegister), 0xabcd);
  EXPECT_FALSE(camera.port().wrote(kExposureTime));
  EXPECT_FALSE(camera.port().wrote(kFocus));
  EXPECT_EQ(camera.peek(kReverseX), 1);
  int errors = 0;
  for (const auto& note : notes) {
    errors += note.category == "Error";
  }
  EXPECT_EQ(errors, 3);
}

// Catches a command in a file run without asking, or run after "No".
TEST_F(TreeTest, CommandsInAFileAskFirst) {
  tree.rebuild();
  camera.port().forget();
  answer = false;
  tree.applyItems({{"AcquisitionStart", "Execute", false, "", "", "WO"}});
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], "Warning: Are you sure you want to execute Command Node?");
  EXPECT_FALSE(camera.port().wrote(kAcquisitionStart));
  answer = true;
  tree.applyItems({{"AcquisitionStart", "Execute", false, "", "", "WO"}});
  EXPECT_TRUE(camera.port().wrote(kAcquisitionStart));
}

// Catches values lost between saving and loading a feature file.
TEST_F(TreeTest, SavedFileRestoresValues) {
  camera.poke(kHeight, 4, 480);
  camera.poke(kFocus, 4, 35);
  camera.poke(kGevPersistentIP, 4, 0xc0a80a02);
  tree.rebuild();
  std::string json = featureFileJson(tree.collectItems());
  camera.poke(kHeight, 4, 2);
  camera.poke(kFocus, 4, 0);
  camera.poke(kGevPersistentIP, 4, 0);
  tree.applyItems(parseFeatureFileJson(json).items);
  EXPECT_EQ(camera.peek(kHeight), 480);
  EXPECT_EQ(camera.peek(kFocus), 35);
  EXPECT_EQ(camera.peek(kGevPersistentIP), 0xc0a80a02);
}

// "UserSetSave" needs a selector it can read: catches a save run with a write-only one.
class WriteOnlyUserSetTest : public TreeTest {
protected:
  WriteOnlyUserSetTest() : TreeTest("write_only_user_set.xml") {}
};

TEST_F(WriteOnlyUserSetTest, UserSetSaveDoesNothing) {
  tree.rebuild();
  camera.port().forget();
  tree.executeCommand(row("UserSetSave"));
  EXPECT_FALSE(camera.port().wrote(kUserSetSave));
  EXPECT_EQ(count("Info", "Executing IExecution type, UserSetSave"), 0);
}

TEST_F(TreeTest, UserSetSaveRunsWithAReadableSelector) {
  tree.rebuild();
  camera.port().forget();
  tree.executeCommand(row("UserSetSave"));
  EXPECT_TRUE(camera.port().wrote(kUserSetSave));
}

// "UserSetSave" without any "UserSetSelector": catches a save run anyway.
TEST(UserSetSave, DoesNothingWithoutASelector) {
  TestCamera camera("browser_camera.xml", {{"UserSetSelector", "UserSetChooser"}});
  std::vector<std::string> lines;
  TreeHooks hooks;
  hooks.notify = [&lines](const char*, const std::string& line) { lines.push_back(line); };
  FeatureTree tree(hooks);
  tree.setNodeMap(camera.map());
  tree.rebuild();
  ASSERT_EQ(camera.map()->_GetNode("UserSetSelector"), nullptr);
  PropertyRow* save = tree.rowNamed("UserSetSave");
  ASSERT_NE(save, nullptr);
  camera.port().forget();
  tree.executeCommand(*save);
  EXPECT_FALSE(camera.port().wrote(kUserSetSave));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Executing IExecution type, UserSetSave"), 0);
}

// A pane in mode 4 is read-only: catches a row the operator can still edit there.
TEST_F(TreeTest, ReadOnlyModeDisablesEveryRow) {
  for (std::uint32_t mode : {1u, kModeReadOnly}) {
    tree.setMode(mode);
    tree.rebuild();
    EXPECT_EQ(row("Width").enabled, mode == 1) << mode;
    EXPECT_EQ(row("AcquisitionStart").enabled, mode == 1) << mode;
    if (mode == kModeReadOnly) {
      for (const PropertyRow* each : tree.properties()) {
        EXPECT_FALSE(each->enabled) << each->name;
      }
    }
  }
}

struct CodeCase {
  const char* what; // the operation that meets the failing register
  int code;
  const char* line;
  bool box; // "Can't write to a this section."
};

// The transport layer throws its own integer codes: catches a code reported without its text,
// the write-protect message box missing (or shown for other codes), and a failing item that
// stops the rest of a feature file.
TEST_F(TreeTest, TransportLayerCodesAreDescribed) {
  const CodeCase cases[] = {
      {"write", -10010, "GC Error : Code(-10010) Desc(Write protect)", true},
      {"write", -1011, "GC Error : Code(-1011) Desc(Timeout)", false},
      {"write", -4242, "GC Error : Code(-4242) Desc(Unknown error)", false},
      {"execute", -10010, "GC Error : Code(-10010) Desc(Write protect)", true},
      {"execute", -10012, "GC Error : Code(-10012) Desc(Busy)", false},
      {"file", -10010, "GC Error : Code(-10010) Desc(Write protect)", true},
      {"file", -1005, "GC Error : Code(-1005) Desc(Access denied)", false},
  };
  tree.rebuild();
  for (const auto& c : cases) {
    std::string what = c.what;
    notes.clear();
    boxes.clear();
    camera.poke(kFocus, 4, 0);
    std::int64_t address = what == "execute" ? kAcquisitionStart : kHeight;
    camera.port().throwOnWrite(address, c.code);
    if (what == "write") {
      tree.writeRow(row("Height"), "100");
    } else if (what == "execute") {
      tree.executeCommand(row("AcquisitionStart"));
    } else {
      tree.applyItems(
          {{"Height", "100", false, "", "", "RW"}, {"Focus", "15", false, "", "", "RW"}});
      EXPECT_EQ(camera.peek(kFocus), 15) << "the next item is taken";
    }
    camera.port().throwOnWrite(-1, 0);
    EXPECT_EQ(count("Error", c.line), 1) << c.what << " " << c.code;
    EXPECT_EQ(boxes, c.box ? std::vector<std::string>{"Error: Can't write to a this section."}
                           : std::vector<std::string>{})
        << c.what << " " << c.code;
  }
}

// Catches a "UserSetLoad" that leaves stale rows: the grid must be rebuilt after it.
TEST_F(TreeTest, UserSetLoadAsksForARebuild) {
  tree.rebuild();
  EXPECT_EQ(tree.executeCommand(row("UserSetLoad")), FeatureTree::AfterCommand::Rebuild);
}

} // namespace
} // namespace nodeview

namespace nodeview {
namespace {

using namespace nodeview::testing;

// The tree over a description with the constructs of real cameras' descriptions.
class RealConstructsTree : public TreeTest {
protected:
  RealConstructsTree() : TreeTest("../../standin/data/real_constructs.xml") {}
};

// Catches a row whose value cannot be read hiding the rows after it, and its error repeated on
// every rebuild.
TEST_F(RealConstructsTree, AnUnreadableRowHidesNothingAndIsReportedOnce) {
  tree.rebuild();
  // PixelFormat holds 0, no entry's value: unreadable. The feature after it has its row.
  PropertyRow& pixelFormat = row("PixelFormat");
  EXPECT_TRUE(pixelFormat.unreadable);
  EXPECT_EQ(pixelFormat.valueText(), kUnreadableValue);
  EXPECT_NE(tree.rowNamed("AFeatureWhoseNameIsLongerThanTheNameColumnOfTheGridWasEverMadeFor"),
            nullptr);
  for (const char* name : {"Width", "Height", "OffsetX", "SensorWidth", "DeviceTemperature",
                           "GevMACAddress", "HighAddressCounter", "Gain"}) {
    ASSERT_NE(tree.rowNamed(name), nullptr) << name;
    EXPECT_FALSE(row(name).unreadable) << name;
  }
  auto errorsAbout = [this](const char* name) {
    int n = 0;
    for (const auto& note : notes) {
      n += note.category == "Error" && note.line.rfind(std::string(name) + " : ", 0) == 0;
    }
    return n;
  };
  EXPECT_EQ(errorsAbout("PixelFormat"), 1);
  tree.rebuild();
  tree.rebuild();
  EXPECT_EQ(errorsAbout("PixelFormat"), 1) << "reported once, not per rebuild";
  camera.poke(0x010C, 4, 0x01080001);
  tree.rebuild();
  EXPECT_EQ(row("PixelFormat").valueText(), "Mono8");
}

// Catches the integers over a MaskedIntReg, an IntSwissKnife and a Converter losing their value
// and range ("<Inc> node not found"), and SwissKnives without Min/Max shown without a value.
TEST_F(RealConstructsTree, ValueChainsWithoutIncOrLimitsShowTheirValues) {
  camera.poke(0x0100, 4, 640);
  camera.poke(0x0104, 4, 240);
  camera.poke(0x0200, 4, 400);
  camera.poke(0x0208, 4, 0x0011);
  camera.poke(0x020C, 4, 0x22334455);
  tree.rebuild();
  EXPECT_EQ(row("Width").kind, RowKind::IntegerSlider);
  EXPECT_EQ(row("Width").intInc, 1);
  EXPECT_EQ(row("Height").valueText(), "480");
  EXPECT_EQ(row("Height").intMax, INT64_MAX);
  EXPECT_EQ(row("SensorWidth").valueText(), "704");
  EXPECT_EQ(row("DeviceTemperature").valueText(), "25");
  EXPECT_EQ(row("GevMACAddress").valueText(), "00-11-22-33-44-55");
  for (const auto& note : notes) {
    EXPECT_EQ(note.line.find("node not found"), std::string::npos) << note.line;
  }
}

// Catches floats listed with an exponent.
TEST_F(RealConstructsTree, FloatsAreListedInPlainDecimal) {
  double exposure = 100000.0;
  std::uint64_t bits = 0;
  std::memcpy(&bits, &exposure, sizeof bits);
  camera.poke(0x0028, 8, std::int64_t(bits));
  tree.rebuild();
  std::string listing = featureListing(tree.collectItems());
  EXPECT_NE(listing.find("ExposureTime                                       100000 "),
            std::string::npos)
      << listing;
  EXPECT_EQ(listing.find("e+"), std::string::npos);
}

// A feature file from one camera into another, over selectors whose entries share names with
// other entries and with a command, and a selected feature with a register per entry.
TEST_F(RealConstructsTree, RoundTripRestoresPerEntryValuesAndSelectors) {
  camera.poke(0x0310, 4, 100); // Gain, Tap1
  camera.poke(0x0314, 4, 200); // Gain, Tap2
  camera.poke(0x0010, 4, 1);   // TriggerMode On for AcquisitionStart
  camera.poke(0x0014, 4, 0);   // Off for FrameStart
  camera.poke(0x0004, 4, 1);   // TriggerSelector on FrameStart
  camera.poke(0x010C, 4, 0x01100005);
  tree.rebuild();
  std::string json = featureFileJson(tree.collectItems());

  TestCamera other("../../standin/data/real_constructs.xml");
  FeatureTree otherTree(hooks());
  otherTree.setNodeMap(other.map());
  otherTree.rebuild();
  otherTree.applyItems(parseFeatureFileJson(json).items);
  EXPECT_EQ(other.peek(0x0310), 100);
  EXPECT_EQ(other.peek(0x0314), 200);
  EXPECT_EQ(other.peek(0x0300), 0) << "GainSelector back on Tap1";
  EXPECT_EQ(other.peek(0x0010), 1);
  EXPECT_EQ(other.peek(0x0014), 0);
  EXPECT_EQ(other.peek(0x0004), 1) << "TriggerSelector back on FrameStart";
  EXPECT_EQ(other.peek(0x010C), 0x01100005);
  otherTree.rebuild();
  EXPECT_EQ(featureFileJson(otherTree.collectItems()), json);
}

} // namespace
} // namespace nodeview

namespace nodeview {
namespace {

// Catches a buffer made for whatever size the camera announces: a FileSize of 4 GiB once
// meant allocating 4 GiB before the first byte was read.
TEST(DeviceFileTransfer, RefusesAFileLargerThanACameraFileCanBe) {
  testing::TestCamera camera("../../standin/data/file_access_by_operation.xml");
  camera.poke(0x31014, 4, 0xFFFFFFFF); // FileSize, big-endian
  DeviceFileRequest request{"/nonexistent/never-written", "UserData",
                            std::uint32_t(DeviceFileMode::Read)};
  EXPECT_EQ(runDeviceFileTransfer(camera.map(), request, {}), kFilePrepareFailed);
}

} // namespace
} // namespace nodeview
