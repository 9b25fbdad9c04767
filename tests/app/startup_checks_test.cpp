// Working-folder and GenICam guard checks, with the message box, quit hook, folder and OS
// version replaced by recorders.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "app/startup_checks.h"
#include "camera/debug_output.h"

namespace kelpax {
namespace {

struct ShownMessage {
  std::string caption;
  std::string text;
  MessageIcon icon;
};

class RecordingMessageBox : public MessageBoxSink {
public:
  void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) override {
    shown.push_back({std::string(caption), std::string(text), icon});
  }
  std::vector<ShownMessage> shown;
};

class RecordingQuit : public QuitHook {
public:
  void quit(int exitCode) override { codes.push_back(exitCode); }
  std::vector<int> codes;
};

class RecordingDialog : public GenICamConnectDialog {
public:
  int connect(const std::string& id1, const std::string& id2, const std::string& id3,
              int value) override {
    calls.push_back(id1 + "|" + id2 + "|" + id3 + "|" + std::to_string(value));
    return result;
  }
  int result = 0;
  std::vector<std::string> calls;
};

class StartupChecks : public ::testing::Test {
protected:
  StartupEnvironment envFor(const std::string& folder, OsVersion version = {}) {
    StartupEnvironment env{box_, quit_};
    env.currentDirectory = [folder] { return folder; };
    env.osVersion = version;
    return env;
  }

  RecordingMessageBox box_;
  RecordingQuit quit_;
  RecordingDialog dialog_;
};

// A folder of exactly n characters under /opt.
std::string folderOfLength(std::size_t n) {
  std::string folder = "/opt/";
  folder.append(n - folder.size(), 'k');
  return folder;
}

TEST_F(StartupChecks, HashInWorkingFolderIsRefusedWithExactTextAndCode18) {
  auto env = envFor("/home/line a#b/kelpax");
  EXPECT_FALSE(checkWorkingFolder(env));
  ASSERT_EQ(box_.shown.size(), 1u);
  EXPECT_EQ(box_.shown[0].caption, "Error");
  EXPECT_EQ(box_.shown[0].text, "Kelpax 3.x doesn't allow to use '#' charactor in the execution "
                                "file path.\n\rCurrent path : /home/line a#b/kelpax");
  EXPECT_EQ(box_.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(quit_.codes, std::vector<int>{18});
}

// Only '#' is refused at start-up; other unusual characters wait for the GenICam guard.
TEST_F(StartupChecks, WorkingFolderWithoutHashPassesSilently) {
  for (const char* folder : {"/home/line ab/kelpax", "/tmp/caf\xc3\xa9", "/"}) {
    auto env = envFor(folder);
    EXPECT_TRUE(checkWorkingFolder(env)) << folder;
  }
  EXPECT_TRUE(box_.shown.empty());
  EXPECT_TRUE(quit_.codes.empty());
}

// Catches a check that looks at a cached or made-up path instead of the process's folder.
TEST_F(StartupChecks, RealCurrentDirectoryWithHashIsRefused) {
  auto base = std::filesystem::temp_directory_path() / ("kelpax-start-" + std::to_string(getpid()));
  auto hashed = base / "a#b";
  std::filesystem::create_directories(hashed);
  auto previous = std::filesystem::current_path();
  std::filesystem::current_path(hashed);

  StartupEnvironment env{box_, quit_};
  const bool accepted = checkWorkingFolder(env);
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(base);

  EXPECT_FALSE(accepted);
  ASSERT_EQ(box_.shown.size(), 1u);
  EXPECT_NE(box_.shown[0].text.find("Current path : " + hashed.string()), std::string::npos);
  EXPECT_EQ(quit_.codes, std::vector<int>{18});
}

TEST_F(StartupChecks, FolderReadIsCutAt256Characters) {
  auto base = std::filesystem::temp_directory_path() / ("kelpax-long-" + std::to_string(getpid()));
  auto deep = base / std::string(120, 'd') / std::string(120, 'e') / std::string(40, 'f');
  std::filesystem::create_directories(deep);
  auto previous = std::filesystem::current_path();
  std::filesystem::current_path(deep);
  const std::string read = readCurrentDirectory();
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(base);

  ASSERT_GT(deep.string().size(), kFolderReadLimit);
  EXPECT_EQ(read, deep.string().substr(0, kFolderReadLimit));
}

TEST_F(StartupChecks, GuardWithoutDialogFailsAndSaysSo) {
  char logName[] = "/tmp/kelpax-debug-XXXXXX";
  int fd = mkstemp(logName);
  ASSERT_GE(fd, 0);
  close(fd);
  ASSERT_TRUE(openTrafficLog(logName));
  auto env = envFor("/opt/kelpax");
  const int result = guardedGenICamConnect(nullptr, env, "a", "b", "c", 1);
  closeTrafficLog();

  std::ifstream log(logName);
  std::stringstream content;
  content << log.rdbuf();
  std::remove(logName);

  EXPECT_EQ(result, -1001);
  EXPECT_NE(content.str().find("_pDlgNewKelpax == NULL"), std::string::npos);
  EXPECT_TRUE(box_.shown.empty());
  EXPECT_TRUE(quit_.codes.empty());
}

TEST_F(StartupChecks, GuardForwardsArgumentsAndResultWhenFolderIsFine) {
  dialog_.result = 7;
  auto env = envFor(folderOfLength(200), {10, 0});
  EXPECT_EQ(guardedGenICamConnect(&dialog_, env, "CL0", "Ka-47M-M40", "SN0042", 115200), 7);
  EXPECT_EQ(dialog_.calls, std::vector<std::string>{"CL0|Ka-47M-M40|SN0042|115200"});
  EXPECT_TRUE(box_.shown.empty());
}

TEST_F(StartupChecks, GuardRefusesFoldersOutsidePrintableAscii) {
  const std::string refused[] = {"/tmp/caf\xc3\xa9", std::string("/tmp/tab\there"), "/tmp/del\x7f"};
  for (const auto& folder : refused) {
    auto env = envFor(folder);
    EXPECT_EQ(guardedGenICamConnect(&dialog_, env, "a", "b", "c", 0), -1001) << folder;
  }
  ASSERT_EQ(box_.shown.size(), 3u);
  EXPECT_EQ(box_.shown[0].caption, "Error");
  EXPECT_EQ(box_.shown[0].text,
            "The file path must be alphanumeric.\n\nCurrent path: /tmp/caf\xc3\xa9");
  EXPECT_EQ(quit_.codes, (std::vector<int>{18, 18, 18}));
  EXPECT_TRUE(dialog_.calls.empty());
}

TEST_F(StartupChecks, GuardAcceptsEdgesOfPrintableAscii) {
  auto env = envFor("/tmp/ ~!$%()[]{}");
  EXPECT_EQ(guardedGenICamConnect(&dialog_, env, "a", "b", "c", 0), 0);
  EXPECT_EQ(dialog_.calls.size(), 1u);
}

// Off-by-one at the 50-character limit is the fault this table catches.
TEST_F(StartupChecks, GuardPathLengthRuleAppliesOnlyToWindows61) {
  struct Case {
    std::size_t length;
    OsVersion version;
    bool refused;
  };
  const Case cases[] = {
      {49, {6, 1}, false}, {50, {6, 1}, true},    {51, {6, 1}, true},   {50, {6, 0}, false},
      {50, {6, 2}, false}, {200, {10, 0}, false}, {200, {0, 0}, false}, {256, {5, 1}, false},
  };
  for (const auto& c : cases) {
    box_.shown.clear();
    quit_.codes.clear();
    dialog_.calls.clear();
    const std::string folder = folderOfLength(c.length);
    auto env = envFor(folder, c.version);
    const int result = guardedGenICamConnect(&dialog_, env, "a", "b", "c", 0);
    SCOPED_TRACE(std::to_string(c.length) + " on " + std::to_string(c.version.major) + "." +
                 std::to_string(c.version.minor));
    if (c.refused) {
      EXPECT_EQ(result, -1001);
      ASSERT_EQ(box_.shown.size(), 1u);
      EXPECT_EQ(box_.shown[0].text, "The file path is too long. Please use a shorter folder name "
                                    "or file path, and then try again.\n\nCurrent path: " +
                                        folder);
      EXPECT_EQ(quit_.codes, std::vector<int>{18});
      EXPECT_TRUE(dialog_.calls.empty());
    } else {
      EXPECT_EQ(result, 0);
      EXPECT_TRUE(box_.shown.empty());
      EXPECT_EQ(dialog_.calls.size(), 1u);
    }
  }
}

// Non-ASCII is reported even where the length rule would also refuse: the order is fixed.
TEST_F(StartupChecks, GuardChecksCharactersBeforeLength) {
  std::string folder = folderOfLength(60) + "\xc3\xa9";
  auto env = envFor(folder, {6, 1});
  EXPECT_EQ(guardedGenICamConnect(&dialog_, env, "a", "b", "c", 0), -1001);
  ASSERT_EQ(box_.shown.size(), 1u);
  EXPECT_EQ(box_.shown[0].text.rfind("The file path must be alphanumeric.", 0), 0u);
}

} // namespace
} // namespace kelpax
