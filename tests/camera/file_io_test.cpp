// The file module: reads bounded before they start, writes that replace a file whole or not
// at all, and the line and word helpers.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "camera/file_io.h"

using namespace kelpax;
namespace fs = std::filesystem;

namespace {

class FileIo : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("kelpax-file-io-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(folder_);
  }
  std::string path(const std::string& name) const { return (folder_ / name).string(); }
  static void put(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }
  static std::string contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Everything in the folder but `keep`: a temporary file left behind shows up here.
  size_t entriesBeside() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder_), {}));
  }

  fs::path folder_;
};

// Would catch a reader that loads a huge or endless file before checking its size, or that
// blocks on a FIFO with no writer.
TEST_F(FileIo, OversizedAndSpecialFilesAreRefusedBeforeReading) {
  std::string bytes = "left over";
  put(path("big.ini"), std::string(2048, 'x'));
  FileStatus status = readFileBounded(path("big.ini"), 1024, bytes);
  EXPECT_EQ(status.error, FileError::TooLarge);
  EXPECT_NE(status.detail.find("big.ini"), std::string::npos) << status.detail;
  EXPECT_TRUE(bytes.empty());

  EXPECT_EQ(readFileBounded("/dev/zero", 1024, bytes).error, FileError::NotRegular);
  EXPECT_EQ(readFileBounded(folder_.string(), 1024, bytes).error, FileError::NotRegular);
  ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
  EXPECT_EQ(readFileBounded(path("fifo"), 1024, bytes).error, FileError::NotRegular);

  EXPECT_EQ(readFileBounded(path("absent.ini"), 1024, bytes).error, FileError::Missing);

  put(path("exact.ini"), std::string(1024, 'y'));
  status = readFileBounded(path("exact.ini"), 1024, bytes);
  EXPECT_TRUE(status.ok()) << status.detail;
  EXPECT_EQ(bytes, std::string(1024, 'y'));
}

// Would catch a write that truncates the old file first, or leaves its temporary file behind
// when the rename cannot happen.
TEST_F(FileIo, FailedWriteKeepsTheOldFileAndLeavesNothingBehind) {
  put(path("portlist.ini"), "COMPORT_ONLY=2\n");
  // A folder in the file's place cannot be replaced by a file.
  fs::create_directories(folder_ / "busy" / "inner");
  FileStatus status = writeFileAtomically(path("busy"), "new text");
  EXPECT_EQ(status.error, FileError::Io);
  EXPECT_TRUE(fs::is_directory(folder_ / "busy"));
  EXPECT_EQ(entriesBeside(), 2u);

  if (::geteuid() != 0) {
    fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::remove);
    status = writeFileAtomically(path("portlist.ini"), "BaudRate=AUTO\n");
    EXPECT_FALSE(status.ok());
    fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add);
  }
  EXPECT_EQ(contents(path("portlist.ini")), "COMPORT_ONLY=2\n");
  EXPECT_FALSE(writeFileAtomically(path("") + "/", "x").ok());
}

// Would catch a replaced file losing its permissions, or a requested mode being ignored.
TEST_F(FileIo, WriteReplacesWholeAndKeepsOrSetsTheMode) {
  put(path("list.ini"), "old and much longer text\n");
  ::chmod(path("list.ini").c_str(), 0640);
  ASSERT_TRUE(writeFileAtomically(path("list.ini"), "new\n").ok());
  EXPECT_EQ(contents(path("list.ini")), "new\n");
  struct stat info {};
  ASSERT_EQ(::stat(path("list.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);

  ASSERT_TRUE(writeFileAtomically(path("list.ini"), "read-only\n", 0444).ok());
  ASSERT_EQ(::stat(path("list.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0444u);
  EXPECT_EQ(entriesBeside(), 1u);
}

// Would catch a CR kept in a value, a lost last line without line end, or an empty line
// invented at the end of a file.
TEST(FileText, LinesWordsAndCase) {
  const std::vector<std::string_view> lines = splitLines("a=1\r\nb=2\n\nlast");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "a=1");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "last");
  EXPECT_EQ(splitLines("one\r\n").size(), 1u);
  EXPECT_TRUE(splitLines("").empty());

  // Every line end a setting or list file may carry: LF, CR LF, the older program's CR CR LF,
  // and CR alone, each as one line end; mixed in one file too.
  using Lines = std::vector<std::string_view>;
  const struct {
    const char* text;
    Lines lines;
  } ends[] = {
      {"sag 1\nstm 2\n", {"sag 1", "stm 2"}},
      {"sag 1\r\nstm 2\r\n", {"sag 1", "stm 2"}},
      {"sag 1\r\r\nstm 2\r\r\n", {"sag 1", "stm 2"}},
      {"sag 1\rstm 2\r", {"sag 1", "stm 2"}},
      {"sag 1\rstm 2", {"sag 1", "stm 2"}},
      {"a\rb\nc\r\nd\r\r\ne", {"a", "b", "c", "d", "e"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"\r", {""}},
  };
  for (const auto& c : ends)
    EXPECT_EQ(splitLines(c.text), c.lines) << c.text;

  EXPECT_EQ(trimBlanks(" \t BaudRate = AUTO\r\n"), "BaudRate = AUTO");
  EXPECT_EQ(trimBlanks(" \t\r\n"), "");
  EXPECT_EQ(lowerCase("COMPORT_Only \xC9"), "comport_only \xC9");
  EXPECT_TRUE(containsIgnoringCase("Settings.CSF", ".csf"));
  EXPECT_FALSE(containsIgnoringCase("settings.cs", ".csf"));
}

} // namespace
