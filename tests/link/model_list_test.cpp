// Judging "gmn" answers, makers from library names, and DeviceModelList.ini.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "link/model_list.h"

using namespace kelpax;
namespace fs = std::filesystem;

TEST(JudgeModelAnswer, ByMarkersAndEcho) {
  struct Case {
    const char* answer;
    ModelAnswer verdict;
  } cases[] = {
      {"", ModelAnswer::NotFound},
      {"Ko-25MC-C65", ModelAnswer::Identified},
      {"OM-12", ModelAnswer::Identified}, // a camera sold under another name
      {"gmn", ModelAnswer::Booting},      // the echo alone: still booting
      {"Error", ModelAnswer::Other},
      {"ko-25mc", ModelAnswer::Other}, // markers are case-sensitive
      {"om-12", ModelAnswer::Other},
      {"x", ModelAnswer::Other},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JudgeModelAnswer(c.answer), c.verdict) << c.answer;
  }
}

TEST(makerFromLibraryName, ByTheLettersAfterClser) {
  struct Case {
    const char* path;
    const char* maker;
  } cases[] = {
      {"clsermtx.dll", "Matrox"},
      {"clsermtx64.dll", "Unknown"}, // the whole remainder must match
      {"CLSEREMC.DLL", "Euresys"},
      {"/opt/cameralink/serial/libclsercor.so", "Teledyne Dalsa"},
      {"/usr/lib/libclserasl.so.2.1", "Active Silicon"},
      {"clsernat.so", "National Instruments"},
      {"libclsersim.so", "Unknown"},
      {"clser.so", "Unknown"},
      {"/opt/clsermtx/libfoo.so", "Unknown"}, // the folder's name does not count
      {"", "Unknown"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(makerFromLibraryName(c.path), c.maker) << c.path;
  }
}

TEST(DeviceModelListPath, BesideTheProgram) {
  const std::string path = deviceModelListPath();
  EXPECT_EQ(fs::path(path).filename(), "DeviceModelList.ini");
  EXPECT_EQ(fs::path(path).parent_path(), fs::read_symlink("/proc/self/exe").parent_path());
}

namespace {

const std::string kBanner(50, '#');
const std::string kBanners = kBanner + "\n" + kBanner + "\n" + kBanner + "\n";
const std::string kHeader = "\nModels below cannot be used with previous version.\n"
                            "Please place models here that will only be used in version 3.0.\n\n";

std::string layout(const std::string& sectionA, const std::string& sectionB) {
  return kBanners + kHeader + sectionA + "\n" + kBanners + "\n" + sectionB;
}

class ModelListFile : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() /
              ("kelpax-models-" + std::to_string(getpid()) + "-" + info->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string path() const { return (folder_ / "DeviceModelList.ini").string(); }
  std::string contents() const {
    std::ifstream in(path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void write(const std::string& text, unsigned mode = 0444) const {
    if (fs::exists(path())) {
      fs::permissions(path(), fs::perms(0644));
    }
    std::ofstream(path(), std::ios::binary) << text;
    fs::permissions(path(), fs::perms(mode));
  }
  unsigned mode() const {
    struct stat st {};
    return ::stat(path().c_str(), &st) == 0 ? unsigned(st.st_mode & 0777) : 0;
  }
  size_t filesInFolder() const {
    return size_t(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
  }

  fs::path folder_;
};

} // namespace

// Would catch a second line for a model already listed in either section.
TEST_F(ModelListFile, AddingNeverDuplicates) {
  write(layout("Ko-25MC\nKa-47M\n", "Kh-12C\n"));
  DeviceModelList list(path());
  EXPECT_EQ(list.AddModelToList("Kn-5M"), DeviceModelList::Result::Done);
  EXPECT_EQ(contents(), layout("Ko-25MC\nKa-47M\n", "Kh-12C\nKn-5M"));
  EXPECT_EQ(list.AddModelToList("Kn-5M"), DeviceModelList::Result::Unchanged);
  EXPECT_EQ(list.AddModelToList("Ko-25MC"), DeviceModelList::Result::Unchanged);
  EXPECT_EQ(list.AddModelToList("Kh-12C"), DeviceModelList::Result::Unchanged);
  EXPECT_EQ(contents(), layout("Ko-25MC\nKa-47M\n", "Kh-12C\nKn-5M\n"));
  EXPECT_EQ(list.AddModelToList("Ky-29C"), DeviceModelList::Result::Done);
  EXPECT_EQ(contents(), layout("Ko-25MC\nKa-47M\n", "Kh-12C\nKn-5M\nKy-29C"));
  EXPECT_EQ(filesInFolder(), 1u);
}

// Would catch duplicates removed by a search of the sections per line: a list near its size
// limit holds some 80,000 models and took seconds to read.
TEST_F(ModelListFile, LongListIsReadQuicklyAndEachModelOnce) {
  std::string models;
  for (int i = 0; i < 80000; ++i)
    models += "Kx-" + std::to_string(i) + "\n";
  write(layout("Kx-0\n", models + "Kx-5\n"));
  DeviceModelList list(path());
  DeviceModelList::Sections sections;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(list.read(sections));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(sections.compatible, std::vector<std::string>{"Kx-0"});
  ASSERT_EQ(sections.newOnly.size(), 79999u);
  EXPECT_EQ(sections.newOnly.front(), "Kx-1");
  EXPECT_EQ(sections.newOnly.back(), "Kx-79999");
}

// Would catch a delete reaching into the first section, or leaving a copy behind.
TEST_F(ModelListFile, DeleteOnlyFromTheSecondSection) {
  write(layout("Ko-25MC\n", "Kh-12C\nKo-25MC\nKh-12C\nKn-5M"));
  DeviceModelList list(path());
  EXPECT_EQ(list.DeleteModelFromList("Kh-12C"), DeviceModelList::Result::Done);
  EXPECT_EQ(contents(), layout("Ko-25MC\n", "Kn-5M\n"));
  EXPECT_EQ(list.DeleteModelFromList("Ko-25MC"), DeviceModelList::Result::Unchanged);
  EXPECT_TRUE(list.contains("Ko-25MC"));
  EXPECT_EQ(list.DeleteModelFromList("Nothing"), DeviceModelList::Result::Unchanged);
}

// Would catch a list left writable after a change, or a write refused by its read-only bits.
TEST_F(ModelListFile, ReadOnlyBetweenWrites) {
  write(layout("", ""), 0444);
  DeviceModelList list(path());
  EXPECT_EQ(list.AddModelToList("Ko-25MC"), DeviceModelList::Result::Done);
  EXPECT_EQ(mode() & 0222, 0u);
  EXPECT_EQ(mode() & 0400, 0400u);
  write(contents(), 0664);
  EXPECT_EQ(list.DeleteModelFromList("Ko-25MC"), DeviceModelList::Result::Done);
  EXPECT_EQ(mode(), 0444u);
  EXPECT_EQ(contents(), layout("", ""));
}

// Would catch the models of a file without banner lines being dropped (they are in use: any
// whole line counts when opening a camera) or repeated.
TEST_F(ModelListFile, FileWithoutBannersKeepsItsModels) {
  write("Ko-25MC\r\nOM-3\n\nKo-25MC\nKa-47M");
  DeviceModelList list(path());
  EXPECT_TRUE(list.contains("OM-3"));
  EXPECT_EQ(list.AddModelToList("Ka-47M"), DeviceModelList::Result::Unchanged);
  EXPECT_EQ(contents(), layout("", "Ko-25MC\nOM-3\nKa-47M\n"));
  EXPECT_EQ(list.AddModelToList("Kn-5M"), DeviceModelList::Result::Done);
  EXPECT_EQ(contents(), layout("", "Ko-25MC\nOM-3\nKa-47M\nKn-5M"));
}

// A file with only the first banner block: its models are kept too.
TEST_F(ModelListFile, FileWithHalfItsBannersKeepsItsModels) {
  write(kBanners + kHeader + "Ko-25MC\nOM-3\n");
  DeviceModelList list(path());
  EXPECT_EQ(list.AddModelToList("Ka-47M"), DeviceModelList::Result::Done);
  EXPECT_EQ(contents(), layout("Ko-25MC\n", "OM-3\nKa-47M"));
}

// Would catch lines ending CR CR LF (text-mode writers) read with a CR left on: a banner so
// ended was no banner until the list was written back, and the models moved section.
TEST_F(ModelListFile, LinesEndingInSeveralCarriageReturnsReadAsWrittenBack) {
  std::string text = layout("Ko-25MC\n", "Kh-12C\nOM-3\n");
  std::string doubled;
  for (char c : text)
    doubled += c == '\n' ? std::string("\r\r\n") : std::string(1, c);
  write(doubled);
  DeviceModelList list(path());
  DeviceModelList::Sections before;
  ASSERT_TRUE(list.read(before));
  EXPECT_EQ(before.compatible, std::vector<std::string>{"Ko-25MC"});
  EXPECT_EQ(before.newOnly, (std::vector<std::string>{"Kh-12C", "OM-3"}));
  EXPECT_EQ(list.DeleteModelFromList("none"), DeviceModelList::Result::Unchanged);
  DeviceModelList::Sections after;
  ASSERT_TRUE(list.read(after));
  EXPECT_EQ(after.compatible, before.compatible);
  EXPECT_EQ(after.newOnly, before.newOnly);
  EXPECT_TRUE(list.contains("OM-3"));
}

// In the usual layout, lines outside the two sections are dropped on rewrite, as before.
TEST_F(ModelListFile, UsualLayoutDropsStrayLines) {
  write("junk before\n" + kBanners + kHeader + "Ko-25MC\nnot a model\n\n" + kBanners +
        "\nKh-12C\n" + kBanner + "\n");
  DeviceModelList list(path());
  DeviceModelList::Sections sections;
  ASSERT_TRUE(list.read(sections));
  EXPECT_EQ(sections.compatible, std::vector<std::string>{"Ko-25MC"});
  EXPECT_EQ(sections.newOnly, std::vector<std::string>{"Kh-12C"});
}

TEST_F(ModelListFile, ContainsWholeLinesOnly) {
  write(layout("Ko-25MC\n", "Kh-12C\r\n"));
  DeviceModelList list(path());
  bool openFailed = true;
  EXPECT_TRUE(list.contains("Kh-12C", &openFailed));
  EXPECT_FALSE(openFailed);
  EXPECT_TRUE(list.contains("Ko-25MC"));
  EXPECT_FALSE(list.contains("Ko-25"));
  EXPECT_FALSE(list.contains("ko-25mc"));
  EXPECT_TRUE(list.contains(kBanner)); // any whole line, as the open path asks
}

// Would catch a missing list being created by a menu action, or reported as listing nothing
// without saying why.
// Would catch a program without its list never able to list a model, or a delete creating one.
TEST_F(ModelListFile, MissingFileListsNothingAndTheFirstAddCreatesIt) {
  DeviceModelList list(path());
  bool openFailed = false;
  EXPECT_FALSE(list.contains("Ko-25MC", &openFailed));
  EXPECT_TRUE(openFailed);
  EXPECT_EQ(list.DeleteModelFromList("Ko-25MC"), DeviceModelList::Result::OpenFailed);
  EXPECT_FALSE(fs::exists(path()));
  EXPECT_EQ(list.AddModelToList("Ko-25MC"), DeviceModelList::Result::Done);
  EXPECT_TRUE(list.contains("Ko-25MC", &openFailed));
  EXPECT_FALSE(openFailed);
}

// Would catch a failed rewrite reported as done.
TEST(ModelListRewrite, FolderThatTakesNoNewFileFails) {
  // Nothing, not even root, creates a file in /proc/self; its status file reads as lines.
  DeviceModelList list("/proc/self/status");
  EXPECT_EQ(list.AddModelToList("Kn-5M"), DeviceModelList::Result::WriteFailed);
  EXPECT_EQ(list.DeleteModelFromList("Kn-5M"), DeviceModelList::Result::WriteFailed);
}

// Would catch a failed rewrite that loses the list or leaves it writable.
TEST_F(ModelListFile, FailedRewriteLeavesTheFileAsItWas) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root writes into read-only folders";
  }
  const std::string text = layout("Ko-25MC\n", "Kh-12C\n");
  write(text, 0444);
  fs::permissions(folder_, fs::perms(0555));
  DeviceModelList list(path());
  EXPECT_EQ(list.AddModelToList("Kn-5M"), DeviceModelList::Result::WriteFailed);
  fs::permissions(folder_, fs::perms(0755));
  EXPECT_EQ(contents(), text);
  EXPECT_EQ(mode(), 0444u);
}

TEST(IsGenICamModel, ChosenIdentifiedPortWithAListedModel) {
  const fs::path file =
      fs::temp_directory_path() / ("kelpax-genicam-" + std::to_string(getpid()) + ".ini");
  std::ofstream(file) << layout("", "Ko-25MC-C65\n");
  DeviceModelList list(file.string());
  CameraPort port;
  PortEntry entry;
  entry.portName = "/tmp/x";
  entry.modelName = "Ko-25MC-C65";
  port.addPort(entry);
  EXPECT_FALSE(IsGenICamModel(port, list)); // no port chosen
  port.setCurrentIndex(0);
  EXPECT_FALSE(IsGenICamModel(port, list)); // not identified
  port.ports()[0].found = 1;
  EXPECT_TRUE(IsGenICamModel(port, list));
  port.ports()[0].modelName = "Ko-25MC";
  EXPECT_FALSE(IsGenICamModel(port, list));
  port.setCurrentIndex(5); // beyond the filled slots
  EXPECT_FALSE(IsGenICamModel(port, list));
  fs::remove(file);
}
