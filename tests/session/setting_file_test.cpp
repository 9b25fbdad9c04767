// Camera setting files: what a save writes, what a failed save leaves, and what a load
// sends to a simulated camera on a pseudo-terminal.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "camera/tables/stem_lists.h"
#include "session/connected_camera.h"
#include "session/setting_file.h"
#include "sim/pty_camera.h"
#include "tests/session/pty_camera_link.h"

using namespace kelpax;
namespace fs = std::filesystem;

namespace {

// A folder of its own per test, removed afterwards.
class ScratchFolder {
public:
  ScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() / ("kelpax-csf-" + std::to_string(getpid()) + "-" +
                                         info->test_suite_name() + "-" + info->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
  fs::path path_;
};

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// One entry of each kind the writer treats differently, with values as the camera's
// answers would leave them.
ParameterCache mixedCache() {
  ParameterCache cache;
  cache.registerEntry("et", 1);
  cache.registerEntry("ha", 2);    // two values
  cache.registerEntry("dg", 33);   // real
  cache.registerEntry("go 2", 65); // never written
  cache.registerEntry("wx", 17);   // not written for monochrome cameras
  cache.registerEntry("ag 1", 1);
  cache.registerEntry("tm", 1);  // never read: still -1
  cache.registerEntry("bl", 33); // real, never read
  EXPECT_TRUE(cache.takeFromTraffic("get\r\n2500\r\n>"));
  EXPECT_TRUE(cache.takeFromTraffic("sha 8 1023\r\nOK\r\n>"));
  EXPECT_TRUE(cache.takeFromTraffic("gdg\r\n1.25\r\n>"));
  EXPECT_TRUE(cache.takeFromTraffic("ggo 2\r\n17\r\n>"));
  EXPECT_TRUE(cache.takeFromTraffic("gwx\r\n640\r\n>"));
  EXPECT_TRUE(cache.takeFromTraffic("sag 1 100\r\nOK\r\n>"));
  return cache;
}

ModelDescriptor modelNamed(const char* name, int colour) {
  ModelDescriptor model;
  model.modelName = name;
  model.colour = colour;
  return model;
}

} // namespace

// The whole file, byte for byte, for a monochrome and a colour camera. Would catch a wrong
// header (the blank before the line end, the model block), the white-balance entries kept
// for a monochrome camera or dropped for a colour one, a never-saved entry written, a value
// never read written as anything but -1, a second value lost, or reals not in " %0.5f".
TEST(SettingFileSave, WholeFileForMonochromeAndColourCameras) {
  struct Case {
    int colour;
    const char* expected;
  };
  const Case cases[] = {
      {2, "--Quorvane Camera Setting File \r\n--Model Name :Ki-71M-M5\r\n--\r\n"
          "set 2500\r\nsha 8 1023\r\nsdg 1.25000\r\nsag 1 100\r\nstm -1\r\nsbl -1.00000\r\n"},
      {1, "--Quorvane Camera Setting File \r\n--Model Name :Ki-71M-M5\r\n--\r\n"
          "set 2500\r\nsha 8 1023\r\nsdg 1.25000\r\nswx 640\r\nsag 1 100\r\nstm -1\r\n"
          "sbl -1.00000\r\n"},
      // Colour not stated: only monochrome cameras leave entries out.
      {0, "--Quorvane Camera Setting File \r\n--Model Name :Ki-71M-M5\r\n--\r\n"
          "set 2500\r\nsha 8 1023\r\nsdg 1.25000\r\nswx 640\r\nsag 1 100\r\nstm -1\r\n"
          "sbl -1.00000\r\n"},
  };
  ScratchFolder folder;
  const ParameterCache cache = mixedCache();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.colour);
    const std::string chosen = folder / ("colour" + std::to_string(c.colour));
    const SettingSaveResult saved =
        saveSettingFile(chosen, cache, modelNamed("Ki-71M-M5", c.colour));
    ASSERT_TRUE(saved.saved) << saved.detail;
    EXPECT_EQ(saved.path, chosen + ".csf");
    EXPECT_EQ(slurp(saved.path), c.expected);
    EXPECT_EQ(saved.lines, c.colour == 2 ? 6u : 7u);
    EXPECT_TRUE(saved.message.empty());
  }
}

// Would catch a model name from the camera that carries a line end turning into a line the
// loader would send.
TEST(SettingFileSave, ModelNameCannotStartALine) {
  EXPECT_EQ(settingFileHeader("Ko-25MC-C65\r\nset 1"),
            "--Quorvane Camera Setting File \r\n--Model Name :Ko-25MC-C65??set 1\r\n--\r\n");
}

// Would catch the extension doubled, missed in another letter case, taken from a folder
// name, or a path lower-cased so that a folder with capitals is no longer found.
TEST(SettingFilePath, ExtensionAppendedOnlyWhenTheNameLacksIt) {
  struct Case {
    const char* chosen;
    const char* path;
  };
  const Case cases[] = {
      {"front", "front.csf"},
      {"front.csf", "front.csf"},
      {"FRONT.CSF", "FRONT.CSF"},
      {"Front.Csf", "Front.Csf"},
      {"/Home/Line 2/Cams/Front", "/Home/Line 2/Cams/Front.csf"},
      {"/data/old.csf.d/front", "/data/old.csf.d/front.csf"},
      {"front.csf.bak", "front.csf.bak"},
      {"front.txt", "front.txt.csf"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(settingFilePath(c.chosen), c.path) << c.chosen;

  ScratchFolder folder;
  fs::create_directories(folder.path() / "Cams");
  const SettingSaveResult saved =
      saveSettingFile(folder / "Cams/Front", mixedCache(), modelNamed("Ko-25MC-C65", 1));
  EXPECT_TRUE(saved.saved) << saved.detail;
  EXPECT_TRUE(fs::is_regular_file(folder.path() / "Cams" / "Front.csf"));
}

// A save that cannot finish leaves the file that was there and no half-written file beside
// it. Would catch a save that truncates the old file before it knows it can write the new.
TEST(SettingFileSave, FailedSaveLeavesTheOldFileIntact) {
  ScratchFolder folder;
  const ParameterCache cache = mixedCache();
  const ModelDescriptor model = modelNamed("Ko-25MC-C65", 1);
  const std::string old = "--Quorvane Camera Setting File \r\nset 1000\r\n";
  auto checkFailed = [&](const SettingSaveResult& saved, const fs::path& folderOfFile) {
    EXPECT_FALSE(saved.saved);
    EXPECT_EQ(saved.message, "Cannot save camera setting file!");
    EXPECT_FALSE(saved.detail.empty());
    // No half-written file left beside the others.
    for (const auto& item : fs::directory_iterator(folderOfFile))
      EXPECT_NE(item.path().filename().string().front(), '.') << item.path();
  };

  // The chosen name is a folder.
  fs::create_directories(folder.path() / "taken.csf");
  checkFailed(saveSettingFile(folder / "taken.csf", cache, model), folder.path());
  EXPECT_TRUE(fs::is_directory(folder.path() / "taken.csf"));

  // The folder is a file.
  writeBytes(folder.path() / "plain", "x");
  EXPECT_FALSE(saveSettingFile(folder / "plain/front", cache, model).saved);

  // The disk fills up half-way through the new file (a file-size limit stands in for it).
  writeBytes(folder.path() / "keep.csf", old);
  struct rlimit before {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = before;
  small.rlim_cur = 40;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const SettingSaveResult full = saveSettingFile(folder / "keep", cache, model);
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, previous);
  checkFailed(full, folder.path());
  EXPECT_EQ(slurp(folder.path() / "keep.csf"), old);

  // A folder the user may not write to (root may write anywhere, so only for others).
  if (geteuid() != 0) {
    fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
    checkFailed(saveSettingFile(folder / "keep", cache, model), folder.path());
    fs::permissions(folder.path(), fs::perms::owner_all);
    EXPECT_EQ(slurp(folder.path() / "keep.csf"), old);
  }

  // A save that works replaces the old file and keeps its permissions.
  fs::permissions(folder.path() / "keep.csf", fs::perms::owner_read | fs::perms::owner_write);
  const SettingSaveResult saved = saveSettingFile(folder / "keep", cache, model);
  ASSERT_TRUE(saved.saved) << saved.detail;
  EXPECT_NE(slurp(saved.path), old);
  EXPECT_EQ(fs::status(saved.path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

namespace {

struct SentRecorder : TrafficObserver {
  void bytesSent(std::string_view bytes) override { sent += bytes; }
  void bytesReceived(std::string_view) override {}
  std::string sent;
};

// A simulated camera on a pseudo-terminal, its family's stems registered in a cache.
class LoadOnPty : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(link_.opened);
    for (const StemRegistration& stem : stemsForSeries(Series::Ko))
      cache_.registerEntry(stem.stem, stem.flags);
    port_.setTrafficObserver(&wire_);
  }
  void TearDown() override { port_.setTrafficObserver(nullptr); }
  // Writes `bytes` as a setting file and loads it, recording the pauses asked for.
  SettingLoadResult load(std::string_view bytes, uint32_t lineTimeoutMs = kSettingLineTimeoutMs) {
    const std::string path = folder_ / "load.csf";
    writeBytes(path, bytes);
    SettingLoadOptions options;
    options.lineTimeoutMs = lineTimeoutMs;
    options.sleep = [this](int ms) { pauses_.push_back(ms); };
    options.progress = [this](int percent) { progress_.push_back(percent); };
    return loadSettingFile(path, connected_, options);
  }

  ScratchFolder folder_;
  sessiontest::PtyCameraLink link_{"Ko-25MC-C65", "csf"};
  std::unique_ptr<sim::PtyCamera>& camera_ = link_.camera;
  CameraPort& port_ = link_.port;
  CommandExchange& exchange_ = link_.exchange;
  ConnectedCamera& connected_ = link_.connected;
  ParameterCache& cache_ = connected_.cache();
  SentRecorder wire_;
  std::vector<int> pauses_;
  std::vector<int> progress_;
};

} // namespace

// Would catch a header or comment line sent, a short line sent, the blanks before a command
// trimmed, or a line end (CR LF or the older CR CR LF) reaching the camera.
TEST_F(LoadOnPty, CommentsAndShortLinesStayHomeOtherLinesGoAsWritten) {
  const SettingLoadResult result = load("--Quorvane Camera Setting File \r\r\n"
                                        "--Model Name :Ko-25MC-C65\r\r\n--\r\r\n"
                                        "ab\r\r\n"
                                        "ab\r\n"
                                        "x\n"
                                        "\n"
                                        "set 1500 : a note\r\n"
                                        "  sag 77\r\n"
                                        "stm 1\r\r\n"
                                        "sao 5");
  EXPECT_TRUE(result.opened);
  EXPECT_EQ(wire_.sent, "  sag 77\rstm 1\rsao 5\r");
  EXPECT_EQ(result.sent, 3u);
  EXPECT_TRUE(result.skipped.empty());
  // The camera took the last two; what it says of the first shows in the result.
  EXPECT_EQ(cache_.intValue("tm"), 1);
  EXPECT_EQ(cache_.intValue("ao"), 5);
}

// Would catch a file whose lines end in CR alone (as some editors write them) sent as one
// line of all its commands run together, or its header taken for a command.
TEST_F(LoadOnPty, LinesEndingInCarriageReturnAloneAreSentOneByOne) {
  const SettingLoadResult result = load("--Quorvane Camera Setting File \r"
                                        "--Model Name :Ko-25MC-C65\r--\r"
                                        "sag 9\r"
                                        "stm 1\r"
                                        "Sleep 20\r"
                                        "sao 5");
  EXPECT_EQ(wire_.sent, "sag 9\rstm 1\rsao 5\r");
  EXPECT_EQ(result.sent, 3u);
  EXPECT_EQ(result.accepted, 3u);
  EXPECT_EQ(pauses_, std::vector<int>{20});
  EXPECT_EQ(cache_.intValue("ag"), 9);
  EXPECT_EQ(cache_.intValue("tm"), 1);
  EXPECT_EQ(cache_.intValue("ao"), 5);
}

// Pause lines in any letter case send nothing. Would catch a pause line sent to the camera,
// a malformed length pausing at random, or a huge one freezing the program.
TEST_F(LoadOnPty, PauseLinesSendNothing) {
  struct Case {
    const char* line;
    int pausedMs;
    bool noted;
  };
  const Case cases[] = {
      {"Sleep 500", 500, false},    {"SLEEP 20", 20, false},
      {"  sleep  7 ms", 7, false},  {"sleep", 0, true},
      {"sleep abc", 0, true},       {"sleep -5", 0, true},
      {"sleep 12x", 0, true},       {"sleep 60000", 60000, false},
      {"sleep 60001", 60000, true}, {"sleep 99999999999999999999999", 60000, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    pauses_.clear();
    wire_.sent.clear();
    const SettingLoadResult result = load(std::string(c.line) + "\r\nstm 1\r\n");
    EXPECT_EQ(wire_.sent, "stm 1\r");
    EXPECT_EQ(result.sent, 1u);
    EXPECT_EQ(result.pauses, 1u);
    EXPECT_EQ(pauses_, std::vector<int>{c.pausedMs});
    EXPECT_EQ(result.pausedMs, c.pausedMs);
    ASSERT_EQ(result.pauseNotes.size(), c.noted ? 1u : 0u);
    if (c.noted) {
      EXPECT_EQ(result.pauseNotes[0].lineNumber, 1u);
    }
  }
}

// Would catch a file that loads as a success while it holds nothing to send: an empty file,
// one of comments, one of pauses only (which would pause for nothing), one of junk.
TEST_F(LoadOnPty, FileWithoutACommandLineIsReportedNotLoaded) {
  const char* const files[] = {"", "--Quorvane Camera Setting File \r\n--\r\n", "\r\n\r\n",
                               "Sleep 500\r\nsleep 20\r\n", "s\x01t 1\r\n"};
  for (const char* file : files) {
    SCOPED_TRACE(file);
    pauses_.clear();
    const SettingLoadResult result = load(file);
    EXPECT_TRUE(result.opened);
    EXPECT_TRUE(result.noCommands);
    EXPECT_FALSE(result.allAccepted());
    EXPECT_FALSE(result.detail.empty());
    EXPECT_TRUE(pauses_.empty());
    EXPECT_EQ(result.sent, 0u);
    EXPECT_EQ(wire_.sent, "");
  }
  EXPECT_NE(load("").detail.find("empty"), std::string::npos);
}

// Would catch pauses summed without a limit: each line is capped, but a 4 MiB file of them
// would pause for months. The total stops at the limit, noted once where it is reached.
TEST(SettingFilePlan, PausesTogetherStopAtTheTotalLimit) {
  std::string file;
  for (int i = 0; i < 100000; ++i)
    file += "Sleep 60000\r\n";
  file += "set 1000\r\n";
  SettingLoadResult result;
  const std::vector<SettingLoadStep> steps = planSettingLoad(file, result);
  ASSERT_EQ(steps.size(), 100001u);
  long total = 0;
  for (const SettingLoadStep& step : steps)
    total += step.pause ? step.pauseMs : 0;
  EXPECT_EQ(total, kSettingTotalPauseLimitMs);
  EXPECT_EQ(steps[4].pauseMs, 60000);
  EXPECT_EQ(steps[5].pauseMs, 0);
  EXPECT_EQ(steps.back().command, "set 1000");
  ASSERT_EQ(result.pauseNotes.size(), 1u);
  EXPECT_EQ(result.pauseNotes[0].lineNumber, 6u);
  EXPECT_NE(result.pauseNotes[0].reason.find("in all"), std::string::npos);

  // A partly spent budget shortens the line that crosses it.
  SettingLoadResult partial;
  const std::vector<SettingLoadStep> two =
      planSettingLoad("sleep 60000\nsleep 60000\nsleep 60000\nsleep 60000\nsleep 59999\n"
                      "sleep 7\nsleep 3\n",
                      partial);
  ASSERT_EQ(two.size(), 7u);
  EXPECT_EQ(two[4].pauseMs, 59999);
  EXPECT_EQ(two[5].pauseMs, 1);
  EXPECT_EQ(two[6].pauseMs, 0);
  ASSERT_EQ(partial.pauseNotes.size(), 1u);
  EXPECT_EQ(partial.pauseNotes[0].lineNumber, 6u);
}

// Would catch garbage reaching the camera: control bytes, bytes outside ASCII, or the
// remains of an overlong line; and a load that stops at the first bad line.
TEST_F(LoadOnPty, BinaryJunkAndOverlongLinesAreSkippedAndReported) {
  std::string file = "set 1200\r\n";
  file += std::string("s\0et 5\r\n", 8);   // line 2
  file += "sag\x01 3\r\n";                 // line 3
  file += std::string(2000, 'a') + "\r\n"; // line 4
  file += "s\xff\xfe"
          "et 7\r\n";                      // line 5
  file += std::string(1000, 'b') + "\r\n"; // line 6: at the limit, sent (and refused)
  file += "sag 9\r\n";                     // line 7
  const SettingLoadResult result = load(file);
  EXPECT_EQ(wire_.sent, "set 1200\r" + std::string(1000, 'b') + "\rsag 9\r");
  ASSERT_EQ(result.skipped.size(), 4u);
  const size_t lines[] = {2, 3, 4, 5};
  for (size_t i = 0; i < 4; ++i)
    EXPECT_EQ(result.skipped[i].lineNumber, lines[i]);
  EXPECT_NE(result.skipped[0].reason.find("0x00"), std::string::npos) << result.skipped[0].reason;
  EXPECT_NE(result.skipped[2].reason.find("longer than 1000"), std::string::npos);
  EXPECT_EQ(result.accepted, 2u);
  EXPECT_EQ(result.refused.size(), 1u);
  EXPECT_EQ(cache_.intValue("et"), 1200);
  EXPECT_EQ(cache_.intValue("ag"), 9);
}

// A file of random bytes: no crash, and nothing but plain command text and the carriage
// returns that end commands goes out.
TEST_F(LoadOnPty, RandomBytesNeverReachTheCameraAsGarbage) {
  std::mt19937 random(7);
  std::string file(16384, '\0');
  for (char& c : file)
    c = static_cast<char>(random() & 0xff);
  const SettingLoadResult result = load(file);
  EXPECT_TRUE(result.opened);
  EXPECT_FALSE(result.skipped.empty());
  for (char c : wire_.sent)
    EXPECT_TRUE(c == '\r' || (c >= 0x20 && c < 0x7f)) << int(static_cast<unsigned char>(c));
}

// Would catch a refused line repeated, a load that stops at it, or a refused value stored.
TEST_F(LoadOnPty, RefusedLineIsReportedAndLoadingGoesOn) {
  const SettingLoadResult result = load("set 0\r\nset 1300\r\nsqq 1\r\n");
  EXPECT_EQ(wire_.sent, "set 0\rset 1300\rsqq 1\r");
  EXPECT_EQ(result.sent, 3u);
  EXPECT_EQ(result.accepted, 1u);
  ASSERT_EQ(result.refused.size(), 2u);
  EXPECT_EQ(result.refused[0].lineNumber, 1u);
  EXPECT_EQ(result.refused[0].text, "set 0");
  EXPECT_EQ(result.refused[0].reason, "Error : value out of range");
  EXPECT_EQ(result.refused[1].lineNumber, 3u);
  EXPECT_FALSE(result.allAccepted());
  EXPECT_EQ(cache_.intValue("et"), 1300);
  EXPECT_EQ(exchange_.QueryValue("get"), "1300");
}

// Would catch a load that waits out the time-out of every remaining line once the camera has
// stopped answering, or one that gives up on a camera that still answers now and then.
TEST_F(LoadOnPty, CameraThatStopsAnsweringEndsTheLoadAfterFiveUnansweredLines) {
  sim::Faults faults;
  faults.silentAfterCommands = 2;
  camera_->setFaults(faults);
  std::string file;
  for (int i = 0; i < 12; ++i)
    file += "stm " + std::to_string(i % 3) + "\r\nSleep 10\r\n";
  const SettingLoadResult result = load(file, 300);
  EXPECT_TRUE(result.cameraLost);
  EXPECT_EQ(result.sent, 2u + kUnansweredBeforeLost);
  EXPECT_EQ(result.accepted, 2u);
  EXPECT_EQ(result.unanswered.size(), size_t(kUnansweredBeforeLost));
  EXPECT_EQ(result.notSent, 12u - result.sent);
  // The pause after the last line sent is skipped with the rest.
  EXPECT_EQ(pauses_.size(), result.sent - 1);

  // Unanswered lines with answers between them are no lost camera.
  camera_->setFaults({});
  port_.receiveBuffer().clear();
  const SettingLoadResult mixed = load("stm 1\r\nstm 2\r\n");
  EXPECT_FALSE(mixed.cameraLost);
  EXPECT_EQ(mixed.notSent, 0u);
}

// Would catch a progress past 100 % when the file holds more lines than the camera has
// entries, or a division by an empty cache.
TEST_F(LoadOnPty, ProgressStandsAtTheEndOnceTheLinesOutnumberTheEntries) {
  cache_.clear();
  cache_.registerEntry("et", 1);
  cache_.registerEntry("ag", 1);
  load("set 1100\r\nsleep 1\r\nsag 2\r\nsag 3\r\nset 1200\r\nset 1300\r\n");
  EXPECT_EQ(progress_, (std::vector<int>{50, 100, 100, 100, 100}));

  cache_.clear();
  progress_.clear();
  load("set 1100\r\nset 1200\r\n");
  EXPECT_EQ(progress_, (std::vector<int>{100, 100}));
}

// Would catch a load that sends anything from a file it cannot read, or that breaks into a
// binary transfer.
TEST_F(LoadOnPty, UnreadableFileOrBusyPortSendsNothing) {
  const std::string missing = folder_ / "missing.csf";
  SettingLoadResult result = loadSettingFile(missing, connected_);
  EXPECT_FALSE(result.opened);
  EXPECT_EQ(result.message, "Cannot open camera setting file!");
  EXPECT_NE(result.detail.find("missing.csf"), std::string::npos);

  result = loadSettingFile(folder_.path().string(), connected_);
  EXPECT_FALSE(result.opened);
  EXPECT_EQ(result.message, "Cannot open camera setting file!");

  exchange_.setBinaryAckMode(true);
  result = load("set 1100\r\n");
  exchange_.setBinaryAckMode(false);
  EXPECT_TRUE(result.opened);
  EXPECT_TRUE(result.blocked);
  EXPECT_EQ(wire_.sent, "");
}

namespace {

// A handler as a model's own writer would be: every entry but the never-saved ones, then
// lines of its own.
struct RegionFileHandler : CControlFile {
  SettingSaveResult save(std::string_view chosen, const ParameterCache& cache,
                         const ModelDescriptor& model) override {
    const std::vector<std::string> lines = settingCacheLines(cache, false);
    std::string text = settingFileHeader(model.modelName);
    for (const std::string& line : lines)
      text += line + std::string(kSettingLineEnd);
    text += "srs 2\r\n";
    return writeSettingFile(chosen, text, lines.size() + 1);
  }
  void connect(ConnectedCamera&) override { sentBeforeConnect = wire->sent; }
  const SentRecorder* wire = nullptr;
  std::string sentBeforeConnect = "unset";
};

} // namespace

// Would catch the generic writer running instead of the model's handler, or its connect
// step run before the file's lines were sent (or not at all).
TEST_F(LoadOnPty, ModelHandlerWritesItsFileAndConnectsAfterTheLoad) {
  RegionFileHandler handler;
  handler.wire = &wire_;
  ParameterCache cache = mixedCache();
  const SettingSaveResult saved =
      saveSettingFile(folder_ / "regions", cache, modelNamed("Ko-12M-M65", 2), &handler);
  ASSERT_TRUE(saved.saved) << saved.detail;
  const std::string text = slurp(saved.path);
  EXPECT_NE(text.find("swx 640\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 7), "srs 2\r\n");

  SettingLoadOptions options;
  options.handler = &handler;
  loadSettingFile(saved.path, connected_, options);
  EXPECT_EQ(handler.sentBeforeConnect, wire_.sent);
  EXPECT_NE(wire_.sent.find("srs 2\r"), std::string::npos);
}

// Save from one camera, load into another of the same family: the second camera ends with
// the first one's values, in the camera and in its cache. Would catch a file whose lines the
// camera does not take back, or values lost between the two.
TEST(SettingFileRoundTrip, SavedValuesReplayIntoAnotherCamera) {
  ScratchFolder folder;
  struct Link : sessiontest::PtyCameraLink {
    explicit Link(const std::string& tag) : PtyCameraLink("Ko-25MC-C65", "csf-" + tag) {
      connected.identify("Ko-25MC-C65");
    }
  };

  std::string path;
  {
    Link first("first");
    ASSERT_TRUE(first.connected.sendCommand("set 4321", {.timeoutMs = 3000}).accepted());
    ASSERT_TRUE(first.connected.sendCommand("sag 33", {.timeoutMs = 3000}).accepted());
    ASSERT_TRUE(first.connected.sendCommand("sha 16 2047", {.timeoutMs = 3000}).accepted());
    ASSERT_EQ(first.connected.fillCache().missing, 0);
    const SettingSaveResult saved = saveSettingFile(
        folder / "first", first.connected.parameterCache(), first.connected.modelDescriptor());
    ASSERT_TRUE(saved.saved) << saved.detail;
    path = saved.path;
  }

  Link second("second");
  ASSERT_EQ(second.connected.fillCache().missing, 0);
  ASSERT_NE(second.connected.cacheInt("et"), 4321);
  std::vector<int> progress;
  SettingLoadOptions options;
  options.progress = [&](int percent) { progress.push_back(percent); };
  const SettingLoadResult result = loadSettingFile(path, second.connected, options);
  EXPECT_TRUE(result.allAccepted())
      << (result.refused.empty() ? "" : result.refused[0].text + ": " + result.refused[0].reason);
  EXPECT_GT(result.sent, 10u);
  ASSERT_FALSE(progress.empty());
  EXPECT_LE(progress.back(), 100);

  EXPECT_EQ(second.connected.cacheInt("et"), 4321);
  EXPECT_EQ(second.connected.cacheInt("ag"), 33);
  EXPECT_EQ(second.connected.cacheInt("ha", 0), 16);
  EXPECT_EQ(second.connected.cacheInt("ha", 1), 2047);
  // The camera itself, not only the cache.
  EXPECT_EQ(second.exchange.QueryValue("get"), "4321");
  EXPECT_EQ(second.exchange.QueryToken("gha", 1, 3000), "2047");
}
