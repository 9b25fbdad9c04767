// Factory tuning: timing words and their commands, ".tmd" files, the arrows, the calibration
// edits' ranges, the downloads and the register soak test, in part against a simulated camera.
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "../session/pty_camera_link.h"
#include "camera/file_io.h"
#include "tools/factory_tuning.h"
#include "transfer/binary_transfer.h"
#include "transfer/ccd_timing.h"
#include "transfer/defect_pixels.h"

namespace kelpax {
namespace {

namespace fs = std::filesystem;
using C = TimingChannel;

// Accepts everything except the commands in `refuse` (or those after `loseAfter` commands,
// which get no answer); answers from `answers`; records what was sent.
class ScriptedHost : public PageHost {
public:
  Answer sendCommand(std::string_view command, ExchangeOptions) override {
    sent.emplace_back(command);
    Answer answer;
    if (loseAfter >= 0 && int(sent.size()) > loseAfter) {
      answer.result = CommandResult::NoAnswer;
      answer.text = std::string(command) + "\r\n";
      return answer;
    }
    const bool refused = refuse.count(std::string(command)) > 0;
    answer.result = refused ? CommandResult::CameraError : CommandResult::Ok;
    auto it = answers.find(std::string(command));
    answer.text = std::string(command) + "\r\n" +
                  (refused               ? "Error : refused"
                   : it != answers.end() ? it->second
                                         : "OK") +
                  "\r\n>";
    return answer;
  }
  const ParameterCache& parameterCache() const override { return cache; }
  const ModelDescriptor& modelDescriptor() const override { return model; }
  std::vector<std::string> sent;
  std::set<std::string> refuse;
  std::map<std::string, std::string> answers;
  int loseAfter = -1;
  ParameterCache cache;
  ModelDescriptor model;
};

// A folder of the test's own for its files, removed with everything in it at the end.
struct Scratch {
  Scratch() {
    dir = fs::temp_directory_path() /
          ("kelpax-fs-files-" + std::to_string(getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  fs::path operator()(const std::string& name) const { return dir / name; }
  fs::path dir;
};

std::string fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Every channel a different value: a swapped pair anywhere shows.
TimingSets distinctSets() {
  TimingSets sets;
  for (size_t i = 0; i < size_t(kTimingChannels); ++i) {
    sets.width[i] = uint8_t(i + 1);   // H1A 1, H1B 2, ... SHD1 13
    sets.offset[i] = uint8_t(i + 40); // H1A 40 ... SHD1 52
  }
  return sets;
}

// After "Reset", "Update" sends the factory values in the camera's argument order; catches a
// set sent in storage order or a default that drifted.
TEST(TimingCommands, ResetThenUpdateSendsTheFactoryValues) {
  ScriptedHost host;
  FactoryTuning tuning(host);
  ASSERT_TRUE(tuning.update(TimingSets::defaults()).accepted());
  ASSERT_EQ(host.sent.size(), 2u);
  EXPECT_EQ(host.sent[0], "stw 16 16 16 16 16 16 12 16 16 16 16 16 16");
  EXPECT_EQ(host.sent[1], "sto 0 0 0 0 0 0 34 62 62 24 24 24 24");

  // A refused width set keeps the offset set back.
  ScriptedHost refusing;
  refusing.refuse = {"stw 16 16 16 16 16 16 12 16 16 16 16 16 16"};
  FactoryTuning refused(refusing);
  EXPECT_FALSE(refused.update(TimingSets::defaults()).accepted());
  EXPECT_EQ(refusing.sent.size(), 1u);
}

// The camera's argument order is NA, H2A, H2B, H1A, HL, H1B, RG, SHP1, SHP0, SHD1, SHD0, DCK0,
// DCK1; its read-back answer in that order gives the same set again, and a short, long or
// out-of-range answer is no set.
TEST(TimingCommands, SendOrderAndReadBack) {
  const TimingSets sets = distinctSets();
  const std::string width = timingCommand(TimingSetKind::Width, sets.width);
  // Storage values: H1A 1 H1B 2 H2A 3 H2B 4 HL 5 NA 6 RG 7 DCK0 8 DCK1 9 SHP0 10 SHP1 11 SHD0 12
  // SHD1 13.
  EXPECT_EQ(width, "stw 6 3 4 1 5 2 7 11 10 13 12 8 9");
  EXPECT_EQ(timingCommand(TimingSetKind::Offset, sets.offset).substr(0, 7), "sto 45 ");
  EXPECT_EQ(parseTimingAnswer(width.substr(4)), sets.width);
  EXPECT_FALSE(parseTimingAnswer("6 3 4 1 5 2 7 11 10 13 12 8"));
  EXPECT_FALSE(parseTimingAnswer("6 3 4 1 5 2 7 11 10 13 12 8 9 1"));
  EXPECT_FALSE(parseTimingAnswer("6 3 4 1 5 2 7 11 10 13 12 8 64"));
  EXPECT_FALSE(parseTimingAnswer("6 3 4 1 5 2 7 11 10 13 12 8 x"));
  EXPECT_FALSE(parseTimingAnswer("Error : access denied"));
}

// "▲" on 63 wraps to 0, "▼" on 0 to 63, on checked channels only.
TEST(TimingArrows, WrapOnCheckedChannelsOnly) {
  TimingSet set{};
  set[size_t(C::H1A)] = 63;
  set[size_t(C::H1B)] = 63;
  set[size_t(C::RG)] = 0;
  set[size_t(C::DCK0)] = 0;
  std::array<bool, kTimingChannels> checked{};
  checked[size_t(C::H1A)] = true;
  checked[size_t(C::RG)] = true;
  stepTimingChannels(set, checked, +1);
  EXPECT_EQ(set[size_t(C::H1A)], 0);
  EXPECT_EQ(set[size_t(C::H1B)], 63);
  EXPECT_EQ(set[size_t(C::RG)], 1);
  stepTimingChannels(set, checked, -1);
  EXPECT_EQ(set[size_t(C::H1A)], 63);
  EXPECT_EQ(set[size_t(C::RG)], 0);
  stepTimingChannels(set, checked, -1);
  EXPECT_EQ(set[size_t(C::H1A)], 62);
  EXPECT_EQ(set[size_t(C::RG)], 63);
  EXPECT_EQ(set[size_t(C::DCK0)], 0);
  EXPECT_EQ(set[size_t(C::H1B)], 63);
}

// The Ka 29M names its edges differently; the rows stay the same words.
TEST(TimingCaptions, Ka29MNamesItsEdgesDifferently) {
  const std::array<TimingChannel, kTimingChannels> rows = timingDialogOrder();
  EXPECT_EQ(rows[6], C::SHP0);
  EXPECT_EQ(rows[12], C::RG);
  EXPECT_EQ(timingCaption(0, false), "H1A");
  EXPECT_EQ(timingCaption(0, true), "H1B");
  EXPECT_EQ(timingCaption(5, true), "HLT");
  EXPECT_EQ(timingCaption(10, false), "DCK0");
  EXPECT_EQ(timingCaption(10, true), "RGB");
  EXPECT_EQ(timingCaption(12, true), "NA");
  ModelDescriptor ka29;
  ka29.series = Series::Ka;
  ka29.sizeClass = "29M";
  EXPECT_TRUE(isKa29M(ka29));
  ka29.sizeClass = "47M";
  EXPECT_FALSE(isKa29M(ka29));
}

// A file saved after "Reset" starts 00 00 00 10; each half holds its set in file order
// (H1A H1B H2A H2B HL NA RG SHP0 SHP1 SHD0 SHD1 DCK0 DCK1); save and load give the same sets.
TEST(TimingFile, LayoutAndRoundTrip) {
  Scratch scratch;
  const std::string defaults = encodeTimingFile(TimingSets::defaults());
  ASSERT_EQ(defaults.size(), kTimingFileBytes);
  EXPECT_EQ(defaults.substr(0, 4), std::string("\0\0\0\x10", 4));
  // Entry 6 of the width half is RG (12), entry 13 the offset set's H1A (0), entry 19 its RG.
  EXPECT_EQ(defaults[6 * 4 + 3], 12);
  EXPECT_EQ(defaults[19 * 4 + 3], 34);
  EXPECT_EQ(defaults[20 * 4 + 3], 62); // SHP0 offset

  const TimingSets sets = distinctSets();
  const std::string bytes = encodeTimingFile(sets);
  const int fileOrderValues[] = {1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 8, 9};
  for (int i = 0; i < kTimingChannels; ++i) {
    EXPECT_EQ(bytes.substr(size_t(i) * 4, 3), std::string(3, '\0'));
    EXPECT_EQ(bytes[size_t(i) * 4 + 3], fileOrderValues[i]) << "entry " << i;
    EXPECT_EQ(bytes[size_t(i + 13) * 4 + 3], fileOrderValues[i] + 39) << "entry " << i + 13;
  }
  const fs::path path = scratch("round.tmd");
  ASSERT_EQ(saveTimingFile(path.string(), sets), "");
  EXPECT_EQ(fileBytes(path), bytes);
  const TimingFileRead read = loadTimingFile(path.string());
  ASSERT_TRUE(read.sets) << read.error;
  EXPECT_EQ(*read.sets, sets);
}

// A file of any other length, or one whose entries are no six-bit words, is refused with a
// reason and gives no sets; a missing file says it cannot be opened; a save into a folder that
// does not exist leaves nothing behind.
TEST(TimingFile, BadFilesAreRefused) {
  Scratch scratch;
  const std::string good = encodeTimingFile(distinctSets());
  for (size_t size : {size_t(0), size_t(4), size_t(103), size_t(105), size_t(208)}) {
    std::string bytes = good;
    bytes.resize(size, '\0');
    const fs::path path = scratch("len" + std::to_string(size) + ".tmd");
    writeBytes(path, bytes);
    const TimingFileRead read = loadTimingFile(path.string());
    EXPECT_FALSE(read.sets) << size;
    EXPECT_NE(read.error.find("Not a timing file"), std::string::npos) << read.error;
  }
  std::string highByte = good;
  highByte[4 * 3 + 1] = 1; // entry 3 = 0x0001xxxx
  EXPECT_NE(decodeTimingFile(highByte).error.find("entry 3"), std::string::npos);
  std::string tooBig = good;
  tooBig[4 * 25 + 3] = char(64);
  EXPECT_NE(decodeTimingFile(tooBig).error.find("entry 25"), std::string::npos);

  const TimingFileRead missing = loadTimingFile(scratch("absent.tmd").string());
  EXPECT_FALSE(missing.sets);
  EXPECT_NE(missing.error.find("Cannot open"), std::string::npos);
  const fs::path nowhere = scratch("no-such-folder") / "x.tmd";
  EXPECT_NE(saveTimingFile(nowhere.string(), distinctSets()), "");
  EXPECT_FALSE(fs::exists(nowhere.parent_path()));
}

// Each edit sends its command only within its range, with the edge values taken and the first
// values outside refused before anything is sent.
TEST(CalibrationEdits, RangesAndCommandTexts) {
  ScriptedHost host;
  FactoryTuning tuning(host);
  EXPECT_FALSE(tuning.setAfeDelay(8));
  EXPECT_FALSE(tuning.setAfeDelay(26));
  EXPECT_TRUE(tuning.setAfeDelay(9));
  EXPECT_TRUE(tuning.setAfeDelay(25));
  EXPECT_FALSE(tuning.setGainPreset(-1));
  EXPECT_FALSE(tuning.setGainPreset(1025));
  EXPECT_TRUE(tuning.setGainPreset(1024));
  EXPECT_FALSE(tuning.setGainCalibration(301, 800));
  EXPECT_FALSE(tuning.setGainCalibration(0, 499));
  EXPECT_FALSE(tuning.setGainCalibration(0, 1025));
  EXPECT_TRUE(tuning.setGainCalibration(300, 500));
  EXPECT_FALSE(tuning.setQuadrantOffset(0, 10));
  EXPECT_FALSE(tuning.setQuadrantOffset(1, 128));
  EXPECT_TRUE(tuning.setQuadrantOffset(4, 127));
  EXPECT_FALSE(tuning.setLinearity(false, -128));
  EXPECT_FALSE(tuning.setLinearity(true, 129));
  EXPECT_TRUE(tuning.setLinearity(false, -127));
  EXPECT_TRUE(tuning.setLinearity(true, 128));
  EXPECT_FALSE(tuning.setVsub(-0.01));
  EXPECT_FALSE(tuning.setVsub(std::nan("")));
  EXPECT_TRUE(tuning.setVsub(12.345));
  EXPECT_FALSE(tuning.setSerial(SerialField::Board1, ""));
  EXPECT_FALSE(tuning.setSerial(SerialField::Board1, "two words"));
  EXPECT_TRUE(tuning.setSerial(SerialField::CcdVsub, "V-12.5"));
  EXPECT_EQ(host.sent,
            (std::vector<std::string>{"sad 9", "sad 25", "sgp 1024", "sfg 300 500", "soo 4 127",
                                      "spot 0 0", "spot 1 255", "ssv 12.35", "ssn vsub V-12.5"}));

  // The clamp command asks for the state after the click.
  host.sent.clear();
  tuning.toggleOffsetClamp(false);
  tuning.toggleOffsetClamp(true);
  EXPECT_EQ(host.sent, (std::vector<std::string>{"snc 1", "snc 0"}));
}

// A difference that would take offset plus difference below zero moves the offset first; a
// refused offset keeps the difference back.
TEST(CalibrationEdits, GainDifferencePullsTheOffset) {
  ScriptedHost host;
  FactoryTuning tuning(host);
  FactoryTuning::GainDifferenceOutcome outcome = tuning.setGainDifference(-30, 10, 800);
  ASSERT_TRUE(outcome.answer);
  EXPECT_EQ(outcome.gainOffset, 30);
  EXPECT_EQ(host.sent, (std::vector<std::string>{"sfg 30 800", "sgt -30"}));

  host.sent.clear();
  outcome = tuning.setGainDifference(-30, 40, 800);
  EXPECT_FALSE(outcome.gainOffset);
  EXPECT_EQ(host.sent, (std::vector<std::string>{"sgt -30"}));

  host.sent.clear();
  host.refuse = {"sfg 50 800"};
  outcome = tuning.setGainDifference(-50, 0, 800);
  EXPECT_FALSE(outcome.answer);
  EXPECT_EQ(host.sent, (std::vector<std::string>{"sfg 50 800"}));
  EXPECT_FALSE(tuning.setGainDifference(101, 0, 800).answer);
}

// The soak test writes 0x00000000, 0x00000001, ... and reads each back; the address is checked
// before anything is sent.
TEST(RegisterSoak, AddressesAndTheCommandsOfARound) {
  EXPECT_EQ(RegisterSoak::normaliseAddress("0x1a0"), "0x1A0");
  EXPECT_EQ(RegisterSoak::normaliseAddress(" 151 "), "0x151");
  EXPECT_FALSE(RegisterSoak::normaliseAddress(""));
  EXPECT_FALSE(RegisterSoak::normaliseAddress("0x"));
  EXPECT_FALSE(RegisterSoak::normaliseAddress("0x12G"));
  EXPECT_FALSE(RegisterSoak::normaliseAddress("123456789"));
  EXPECT_FALSE(RegisterSoak::normaliseAddress("0x10; rst"));

  ScriptedHost host;
  host.answers["rfpga 0x20"] = "0x00000000";
  RegisterSoak soak(host, "0x20");
  EXPECT_EQ(soak.step(), RegisterSoak::State::Running);
  EXPECT_EQ(host.sent, (std::vector<std::string>{"wfpga 0x20 0x00000000", "rfpga 0x20"}));
  // The register then reads back 0 where 1 was written.
  EXPECT_EQ(soak.step(), RegisterSoak::State::Mismatch);
  EXPECT_EQ(soak.endBeepHz(), 1000);
  EXPECT_NE(soak.failure().find("0x00000001"), std::string::npos) << soak.failure();
  const size_t sent = host.sent.size();
  EXPECT_EQ(soak.step(), RegisterSoak::State::Mismatch);
  EXPECT_EQ(host.sent.size(), sent);
}

// A lost answer ends the run with the high beep; a refusal mid-run ends it with a message that
// names the refusal.
TEST(RegisterSoak, LostAnswerAndRefusalEndTheRun) {
  ScriptedHost lost;
  lost.loseAfter = 0;
  RegisterSoak lostRun(lost, "0x20");
  EXPECT_EQ(lostRun.step(), RegisterSoak::State::NoAnswer);
  EXPECT_EQ(lostRun.endBeepHz(), 2000);

  ScriptedHost refusing;
  refusing.refuse = {"wfpga 0x20 0x00000000"};
  RegisterSoak refused(refusing, "0x20");
  EXPECT_EQ(refused.step(), RegisterSoak::State::Refused);
  EXPECT_NE(refused.failure().find("refused"), std::string::npos) << refused.failure();
}

// --- against the simulated camera --------------------------------------------------------------

struct CcdRig {
  explicit CcdRig(const std::string& model = "Kx-4M-M40")
      : link(model, "factory"), transfer(link.exchange) {
    link.connected.identify(model);
    transfer.setDrainQuietMs(20);
  }
  sessiontest::PtyCameraLink link;
  BinaryTransfer transfer;
};

// ".tmd" saved, loaded and downloaded: the camera then reports the file's words. The expected
// words are read off the file's bytes here with the file's and the camera's channel orders.
TEST(TimingEndToEnd, SavedLoadedDownloadedFileIsWhatTheCameraHolds) {
  Scratch scratch;
  CcdRig rig;
  ConnectedCamera& camera = rig.link.connected;
  FactoryTuning tuning(camera);
  TimingSets sets = TimingSets::defaults();
  std::array<bool, kTimingChannels> all{};
  all.fill(true);
  stepTimingChannels(sets.width, all, 50); // 16 → 2, RG 12 → 62
  sets.offset = distinctSets().offset;
  const fs::path path = scratch("e2e.tmd");
  ASSERT_EQ(saveTimingFile(path.string(), sets), "");

  const TimingFileRead read = loadTimingFile(path.string());
  ASSERT_TRUE(read.sets) << read.error;
  // Without the privileged level the camera refuses the words.
  EXPECT_FALSE(tuning.update(*read.sets).accepted());
  const FactoryReadings before = tuning.readPage();
  ASSERT_TRUE(before.privileged);
  EXPECT_EQ(before.width, TimingSets::defaults().width);
  ASSERT_TRUE(tuning.update(*read.sets).accepted());

  const std::string bytes = fileBytes(path);
  // File entry index of each word in the camera's order NA H2A H2B H1A HL H1B RG SHP1 SHP0 SHD1
  // SHD0 DCK0 DCK1.
  const int fileEntryOfSent[] = {5, 2, 3, 0, 4, 1, 6, 8, 7, 10, 9, 11, 12};
  for (int half = 0; half < 2; ++half) {
    std::string expected;
    for (int entry : fileEntryOfSent)
      expected += (expected.empty() ? "" : " ") +
                  std::to_string(int(uint8_t(bytes[size_t(half * 13 + entry) * 4 + 3])));
    const Answer answer = camera.sendCommand(half == 0 ? "gstw" : "gsto", {});
    ASSERT_TRUE(answer.accepted()) << answer.text;
    EXPECT_NE(answer.text.find("\r\n" + expected + "\r\n"), std::string::npos)
        << answer.text << " expected " << expected;
  }
  const FactoryReadings after = tuning.readPage();
  EXPECT_EQ(after.width, sets.width);
  EXPECT_EQ(after.offset, sets.offset);
}

// The page's read-back: calibration words, the quadrants numbered 1 to 4, the edits the camera
// refuses afterwards keep the camera's values.
TEST(TimingEndToEnd, PageReadingsAndRefusedValues) {
  CcdRig rig;
  ConnectedCamera& camera = rig.link.connected;
  FactoryTuning tuning(camera);
  ASSERT_TRUE(tuning.readPage().privileged);
  ASSERT_TRUE(tuning.setQuadrantOffset(3, 99)->accepted());
  ASSERT_TRUE(tuning.setAfeDelay(20)->accepted());
  ASSERT_TRUE(tuning.setGainCalibration(12, 900)->accepted());
  EXPECT_TRUE(tuning.setSerial(SerialField::Board2, "B2-7777")->accepted());
  // A value the dialog allows may still be refused by the camera: here the factory level was
  // closed behind the dialog's back.
  ASSERT_TRUE(rig.link.exchange.SendCommand("aar off").accepted());
  EXPECT_FALSE(tuning.setVsub(22.0)->accepted());
  const FactoryReadings readings = tuning.readPage();
  EXPECT_EQ(readings.quadrants[2], 99);
  EXPECT_EQ(readings.quadrants[0], 64);
  EXPECT_EQ(readings.afeDelay, 20);
  EXPECT_EQ(readings.gainOffset, 12);
  EXPECT_EQ(readings.gainRange, 900);
  EXPECT_EQ(tuning.readSerial(SerialField::Board2), "B2-7777");
  EXPECT_FALSE(tuning.readSerial(SerialField::Board1).value_or("").empty());
  EXPECT_FALSE(readings.highGain); // not a Ky camera
  EXPECT_EQ(readings.vsub, 12.5) << "the refused voltage left the camera's";
  EXPECT_EQ(readings.offsetClamp, false);
  ASSERT_TRUE(tuning.setVsub(19.75)->accepted());
  ASSERT_TRUE(tuning.toggleOffsetClamp(false).accepted());
  const FactoryReadings changed = tuning.readPage();
  EXPECT_EQ(changed.vsub, 19.75);
  EXPECT_EQ(changed.offsetClamp, true);
}

// The soak test against the camera: rounds until stopped, then nothing more is sent.
TEST(TimingEndToEnd, SoakRunsUntilStopped) {
  CcdRig rig;
  RegisterSoak soak(rig.link.connected, "0x1A0");
  for (int i = 0; i < 300; ++i)
    ASSERT_EQ(soak.step(), RegisterSoak::State::Running) << soak.failure();
  EXPECT_EQ(soak.rounds(), 300u);
  soak.stop();
  const int received = rig.link.camera->commandsReceived();
  EXPECT_EQ(soak.step(), RegisterSoak::State::Stopped);
  EXPECT_EQ(soak.endBeepHz(), 0);
  EXPECT_EQ(rig.link.camera->commandsReceived(), received);
}

// The sensor information goes out as one frame and the camera restarts; a file one key short is
// refused with its message and nothing is sent.
TEST(TimingEndToEnd, CcdInformationDownload) {
  Scratch scratch;
  CcdRig rig;
  const char* keys[] = {"ActiveH", "ActiveV", "DarkH", "DarkV1", "DarkV2", "BuffH", "BuffV1",
                        "BuffV2",  "DummyH",  "Freq",  "T3p",    "Tv3rd",  "T3d",   "Tvccd",
                        "Thd",     "Tl",      "Tel",   "Ts",     "Tsd"};
  std::string text;
  for (const char* key : keys)
    text += std::string(key) + ",12\r\n";
  const fs::path good = scratch("good.cif");
  writeBytes(good, text);
  const FactoryDownloadOutcome sent =
      downloadCcdInformation(rig.transfer, rig.link.connected, good.string());
  EXPECT_TRUE(sent.ok) << sent.message;
  // The camera restarts: its first commands are only echoed while it boots.
  const int beforeAsking = rig.link.camera->commandsReceived();
  int asked = 0;
  std::string stored;
  for (; asked < 8 && stored.find('/') == std::string::npos; ++asked)
    stored = rig.link.connected.sendCommand("simstore 0300", {.timeoutMs = 500}).token(0);
  EXPECT_EQ(stored.substr(0, 3), "56/") << stored;
  // On a loaded machine an answer can come after its command timed out and be taken for the next
  // command's: that command may still be on its way to the camera. Count from when all are in.
  const int received = beforeAsking + asked;
  for (int waited = 0; rig.link.camera->commandsReceived() < received && waited < 5000;
       waited += 10)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(rig.link.camera->commandsReceived(), received);

  const fs::path shorter = scratch("short.cif");
  writeBytes(shorter, text.substr(0, text.rfind("Tsd")));
  const FactoryDownloadOutcome refused =
      downloadCcdInformation(rig.transfer, rig.link.connected, shorter.string());
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message, kCcdDataError);
  EXPECT_EQ(rig.link.camera->commandsReceived(), received);
}

// "Pixel Gain Down": the three-value list reaches the camera's store; a missing file and a pixel
// outside the sensor are refused with their messages before anything is sent.
TEST(TimingEndToEnd, PixelGainDownload) {
  Scratch scratch;
  CcdRig rig;
  const ModelDescriptor& model = rig.link.connected.modelDescriptor();
  ASSERT_GT(model.sensorWidth, 100);
  const fs::path good = scratch("gains.csv");
  writeBytes(good, "10,20,5\r\n30,40,-2\r\n");
  EXPECT_TRUE(downloadPixelGains(rig.transfer, model, good.string()).ok);
  const std::string stored =
      rig.link.connected.sendCommand("simstore 0206", {.timeoutMs = 1000}).token(0);
  EXPECT_NE(stored.find('/'), std::string::npos) << stored;
  EXPECT_NE(stored.substr(0, 2), "0/") << stored;

  const int received = rig.link.camera->commandsReceived();
  const FactoryDownloadOutcome missing =
      downloadPixelGains(rig.transfer, model, scratch("absent.csv").string());
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.message, kCannotOpenDefectFile);
  const fs::path outside = scratch("outside.csv");
  writeBytes(outside, "10,20,5\n" + std::to_string(model.sensorWidth) + ",1,1\n");
  const FactoryDownloadOutcome refused = downloadPixelGains(rig.transfer, model, outside.string());
  EXPECT_FALSE(refused.ok);
  EXPECT_FALSE(refused.message.empty());
  EXPECT_EQ(rig.link.camera->commandsReceived(), received);
}

} // namespace
} // namespace kelpax
