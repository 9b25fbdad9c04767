// JSON feature files, text listings and "options.ini".
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "nodeview/feature_file.h"

namespace nodeview {
namespace {

namespace fs = std::filesystem;

FeatureItem group(const char* name) {
  return {name, kGroupValue, false, "", "", ""};
}
FeatureItem feature(const char* name, const char* value, const char* access = "RW") {
  return {name, value, false, "", "", access};
}
FeatureItem selected(const char* selector, const char* entry, const char* name, const char* value) {
  return {name, value, true, selector, entry, "RW"};
}

class TempFolder {
public:
  TempFolder() {
    path_ = fs::temp_directory_path() /
            ("nodeview-file-" + std::to_string(getpid()) + "-" + std::to_string(counter_++));
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string file(const char* name) const { return (path_ / name).string(); }
  const fs::path& path() const { return path_; }

private:
  static inline int counter_ = 0;
  fs::path path_;
};

std::string readText(const std::string& path) {
  std::string text;
  EXPECT_EQ(readWholeFile(path, text), "");
  return text;
}

// The exact bytes of a file: catches a changed member order, indent or key numbering.
TEST(FeatureFile, WritesTheExactFormat) {
  std::vector<FeatureItem> items = {
      group("Root"),
      feature("Width", "640"),
      selected("GainSelector", "All", "Gain", "1.5"),
  };
  EXPECT_EQ(featureFileJson(items), "{\n"
                                    "    \"1\": {\n"
                                    "        \"Name\": \"Width\",\n"
                                    "        \"Value\": \"640\",\n"
                                    "        \"AccessMode\": \"RW\"\n"
                                    "    },\n"
                                    "    \"2\": {\n"
                                    "        \"SelectorName\": \"GainSelector\",\n"
                                    "        \"SelectorValue\": \"All\",\n"
                                    "        \"Name\": \"Gain\",\n"
                                    "        \"Value\": \"1.5\",\n"
                                    "        \"AccessMode\": \"RW\"\n"
                                    "    }\n"
                                    "}");
}

// Catches groups, commands or CoaXPress features written to a feature file.
TEST(FeatureFile, LeavesOutGroupsCommandsAndCoaXPress) {
  std::vector<FeatureItem> items = {
      feature("BeforeAnyGroup", "1"),
      group("Root"),
      feature("UserSetLoad", kCommandValue, "WO"),
      group("CoaXPress"),
      feature("CxpLinkConfiguration", "CXP6_X4"),
      group("ImageFormatControl"),
      feature("Height", "480"),
  };
  auto read = parseFeatureFileJson(featureFileJson(items));
  ASSERT_EQ(read.error, "");
  std::vector<std::string> names;
  for (const auto& item : read.items) {
    names.push_back(item.name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"BeforeAnyGroup", "Height"}));
}

// Catches items lost or reordered between writing and reading, and a selector flag not
// restored from "SelectorName".
TEST(FeatureFile, ReadsBackWhatItWrote) {
  std::vector<FeatureItem> items = {feature("Width", "640"),
                                    selected("GainSelector", "Red", "Gain", "2"),
                                    feature("DeviceUserID", "line \"3\" \\ ünï", "RW")};
  auto read = parseFeatureFileJson(featureFileJson(items));
  ASSERT_EQ(read.error, "");
  EXPECT_EQ(read.items, items);
}

// Catches a reader that applies half of a broken file or ignores other keys badly.
TEST(FeatureFile, RejectsBrokenJson) {
  EXPECT_TRUE(parseFeatureFileJson("{\"1\": {\"Name\": \"Width\"").items.empty());
  EXPECT_NE(parseFeatureFileJson("{\"1\": {\"Name\": \"Width\"").error, "");
  EXPECT_NE(parseFeatureFileJson("[1, 2]").error, "");
  auto read = parseFeatureFileJson(
      R"({"1": {"Name": "A", "Value": "1", "Extra": 5}, "2": 7, "3": {"Name": "B", "Value": 2}})");
  ASSERT_EQ(read.error, "");
  ASSERT_EQ(read.items.size(), 2u);
  EXPECT_EQ(read.items[0].name, "A");
  EXPECT_EQ(read.items[1].name, "B");
  EXPECT_EQ(read.items[1].value, "") << "a number where a text belongs is not taken";
}

TEST(FeatureFile, ListsGroupsAndFeatures) {
  EXPECT_EQ(featureListing({}), "No data.");
  std::string text = featureListing({group("Root"), feature("Width", "640")});
  std::string expected =
      "\nRoot\n\tWidth" + std::string(45, ' ') + " 640" + std::string(47, ' ') + "\n";
  EXPECT_EQ(text, expected);
}

// Catches an existing file not replaced, an append that truncates, and a temporary file left
// behind.
TEST(FeatureFile, ReplacesAndAppends) {
  TempFolder folder;
  std::string path = folder.file("features.json");
  EXPECT_EQ(writeFileReplacing(path, "first"), "");
  EXPECT_EQ(writeFileReplacing(path, "second"), "");
  EXPECT_EQ(readText(path), "second");
  EXPECT_EQ(writeFileAppending(path, "+third"), "");
  EXPECT_EQ(readText(path), "second+third");
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

// Catches a failed write reported as success, or one that harms the old file.
TEST(FeatureFile, FailedWriteKeepsTheOldFile) {
  TempFolder folder;
  EXPECT_NE(writeFileReplacing(folder.file("missing/sub/file.json"), "x"), "");
  std::string text;
  EXPECT_NE(readWholeFile(folder.file("nothing.json"), text), "");
}

// Catches a visibility level lost between runs or other settings dropped when it is saved.
TEST(FeatureFile, KeepsTheVisibilityLevel) {
  TempFolder folder;
  EXPECT_EQ(readVisibilityLevel(folder.path().string()), 0);
  ensureOptionsFile(folder.path().string());
  EXPECT_TRUE(fs::exists(folder.file(kOptionsFileName)));
  EXPECT_EQ(readVisibilityLevel(folder.path().string()), 0);
  EXPECT_EQ(writeVisibilityLevel(folder.path().string(), 2), "");
  EXPECT_EQ(readVisibilityLevel(folder.path().string()), 2);

  {
    std::ofstream out(folder.file(kOptionsFileName));
    out << "[Other]\nType=7\n[Visibility]\nType=\n";
  }
  EXPECT_EQ(readVisibilityLevel(folder.path().string()), 0);
  EXPECT_EQ(writeVisibilityLevel(folder.path().string(), 1), "");
  EXPECT_EQ(readVisibilityLevel(folder.path().string()), 1);
  EXPECT_EQ(readText(folder.file(kOptionsFileName)), "[Other]\nType=7\n[Visibility]\nType=1\n");
  ensureOptionsFile(folder.path().string());
  EXPECT_EQ(readVisibilityLevel(folder.path().string()), 1) << "an existing file is kept";
}

// Catches a saved level that grows the options file past what its reader takes: the level
// and the file's other settings were lost on the next start. The old file stays.
TEST(FeatureFile, VisibilityLevelNeverGrowsTheFilePastTheReadLimit) {
  TempFolder folder;
  const std::string head = "[Visibility]\n";
  const std::string full =
      head + std::string(GenICam::kMaxOptionsFileBytes - head.size() - 1, ';') + "\n";
  {
    std::ofstream out(folder.file(kOptionsFileName));
    out << full;
  }
  EXPECT_EQ(readVisibilityLevel(folder.path().string()), 0);
  EXPECT_NE(writeVisibilityLevel(folder.path().string(), 2).find("larger than"), std::string::npos);
  EXPECT_EQ(readText(folder.file(kOptionsFileName)), full);
}

// Catches a hostile feature file overflowing the parser's stack: 150,000 nested "[" once
// crashed the browser. The text is refused, with nothing applied.
TEST(FeatureFile, RefusesDeeplyNestedJson) {
  std::string deep(150000, '[');
  auto read = parseFeatureFileJson(deep);
  EXPECT_TRUE(read.items.empty());
  EXPECT_NE(read.error.find("nests more than"), std::string::npos) << read.error;
  // Brackets inside strings are text, not nesting.
  std::string quoted = "{\"1\": {\"Name\": \"" + std::string(100, '[') + "\", \"Value\": \"1\"}}";
  auto fine = parseFeatureFileJson(quoted);
  EXPECT_EQ(fine.error, "");
  ASSERT_EQ(fine.items.size(), 1u);
  EXPECT_EQ(fine.items[0].name, std::string(100, '['));
}

// Catches feature files and options files that are FIFOs or devices: reading one hung the
// browser (a FIFO) or took all memory (/dev/zero).
TEST(FeatureFile, ReadsOnlyRegularFilesOfBoundedSize) {
  TempFolder folder;
  std::string fifo = folder.file("features.json");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string bytes;
  EXPECT_NE(readWholeFile(fifo, bytes).find("not a regular file"), std::string::npos);
  EXPECT_NE(readWholeFile("/dev/zero", bytes).find("not a regular file"), std::string::npos);

  std::string options = folder.file(kOptionsFileName);
  ASSERT_EQ(::mkfifo(options.c_str(), 0600), 0);
  EXPECT_EQ(readVisibilityLevel(folder.path().string()), 0);
  EXPECT_NE(writeVisibilityLevel(folder.path().string(), 2), "") << "a FIFO is not replaced";
  EXPECT_TRUE(fs::is_fifo(options));

  std::string big = folder.file("big.json");
  std::ofstream(big) << std::string(GenICam::kMaxFeatureFileBytes + 1, ' ');
  EXPECT_NE(readWholeFile(big, bytes).find("larger than"), std::string::npos);
}

// Catches unreadable values written to a feature file as "".
TEST(FeatureFile, LeavesOutUnreadableValues) {
  FeatureItem broken = feature("PixelFormat", "(unreadable)");
  broken.unreadable = true;
  auto read = parseFeatureFileJson(featureFileJson({group("Root"), broken, feature("Width", "8")}));
  ASSERT_EQ(read.items.size(), 1u);
  EXPECT_EQ(read.items[0].name, "Width");
  EXPECT_NE(featureListing({broken}).find("(unreadable)"), std::string::npos);
}

} // namespace
} // namespace nodeview
