// Flat-field, dark and PRNU data: the commands and what they tell the operator, the ".ffc",
// PRNU and linearity files as the camera is sent them, and what an upload makes of its bytes.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editors/flat_field.h"
#include "transfer/zlib_codec.h"

using namespace kelpax;

namespace {

// Records every command and answers it as scripted (accepted with "OK" unless told otherwise).
struct ScriptedSender {
  struct Sent {
    std::string command;
    uint32_t timeoutMs;
  };
  std::vector<Sent> sent;
  bool refuse = false;
  std::string answerText = "OK";

  FlatFieldSender sender() {
    return [this](const std::string& command, uint32_t timeoutMs) {
      sent.push_back({command, timeoutMs});
      Answer answer;
      answer.result = refuse ? CommandResult::CameraError : CommandResult::Ok;
      answer.text = command + "\r\n" + (refuse ? "Error : command failed" : answerText) + "\r\n>";
      return answer;
    };
  }
};

std::vector<uint8_t> inflateAll(const std::vector<uint8_t>& payload) {
  const InflateResult inflated = Inflate(payload, 1 << 24);
  EXPECT_TRUE(inflated.ok()) << inflated.detail;
  return inflated.bytes;
}

std::string repeatLines(const std::string& line, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i)
    text += line + "\n";
  return text;
}

// --- Commands ------------------------------------------------------------------------------

TEST(FlatFieldCommands, FlashButtonsSendTheirCommandWithTheirTimeOutAndMessage) {
  struct Row {
    FlashAction action;
    const char* command;
    uint32_t timeoutMs;
    std::string_view message;
  };
  for (const Row& row : {Row{FlashAction::Generate, "gfd", 30000, kFfcGenerated},
                         Row{FlashAction::SaveToFlash, "sfd", 300000, kFfcSaved},
                         Row{FlashAction::LoadFromFlash, "lfd", 30000, kFfcLoaded}}) {
    ScriptedSender camera;
    CommandOutcome outcome = runFlashAction(row.action, camera.sender());
    ASSERT_EQ(camera.sent.size(), 1u);
    EXPECT_EQ(camera.sent[0].command, row.command);
    EXPECT_EQ(camera.sent[0].timeoutMs, row.timeoutMs) << row.command;
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(outcome.message, row.message);

    // A refusal tells the operator nothing beyond the status line.
    camera.refuse = true;
    outcome = runFlashAction(row.action, camera.sender());
    EXPECT_TRUE(outcome.sent);
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.message, "") << row.command;
  }
}

TEST(FlatFieldCommands, OffsetAndFramesOutsideTheirRangeAreNeverSent) {
  ScriptedSender camera;
  // 4096 is one past the largest offset; a failure would send "sfo 4096".
  for (std::optional<int64_t> level : {std::optional<int64_t>(4096), std::optional<int64_t>(-1),
                                       std::optional<int64_t>(INT64_MAX), std::optional<int64_t>()})
    EXPECT_FALSE(setOffsetLevel(level, camera.sender()).sent);
  for (std::optional<int64_t> index : {std::optional<int64_t>(5), std::optional<int64_t>(-1)})
    EXPECT_FALSE(setFrameIndex(index, camera.sender()).sent);
  EXPECT_TRUE(camera.sent.empty());

  EXPECT_TRUE(setOffsetLevel(4095, camera.sender()).accepted);
  EXPECT_TRUE(setOffsetLevel(0, camera.sender()).accepted);
  EXPECT_TRUE(setFrameIndex(4, camera.sender()).accepted);
  EXPECT_TRUE(setFrameIndex(0, camera.sender()).accepted);
  ASSERT_EQ(camera.sent.size(), 4u);
  EXPECT_EQ(camera.sent[0].command, "sfo 4095");
  EXPECT_EQ(camera.sent[1].command, "sfo 0");
  EXPECT_EQ(camera.sent[2].command, "sfi 4");
  EXPECT_EQ(camera.sent[3].command, "sfi 0");
  EXPECT_EQ(camera.sent[0].timeoutMs, 3000u);
  EXPECT_EQ(framesOfIndex(4), 16);
}

TEST(FlatFieldCommands, SelectorSendsOnlyIndexesOfTheList) {
  ScriptedSender camera;
  EXPECT_FALSE(chooseSelector(4, 4, camera.sender()).sent);
  EXPECT_FALSE(chooseSelector(-1, 4, camera.sender()).sent);
  EXPECT_TRUE(chooseSelector(3, 4, camera.sender()).accepted);
  ASSERT_EQ(camera.sent.size(), 1u);
  EXPECT_EQ(camera.sent[0].command, "sfds 3");
  camera.refuse = true;
  EXPECT_FALSE(chooseSelector(1, 4, camera.sender()).accepted);
}

TEST(FlatFieldCommands, KuGenerationShowsTheAnswerUnlessItSaysOk) {
  ScriptedSender camera;
  CommandOutcome dark = generateKuDark(camera.sender());
  EXPECT_TRUE(dark.accepted);
  EXPECT_EQ(dark.message, "");
  EXPECT_EQ(camera.sent.back().command, "gdd");
  EXPECT_EQ(camera.sent.back().timeoutMs, 10000u);

  // An answer that is accepted but does not say OK is shown, its line ends and prompt blanked.
  camera.answerText = "Too bright";
  dark = generateKuDark(camera.sender());
  EXPECT_FALSE(dark.accepted);
  EXPECT_EQ(dark.message, "gdd  Too bright   ");

  camera.answerText = "OK";
  CommandOutcome prnu = generateKuPrnu(200, camera.sender());
  EXPECT_EQ(camera.sent.back().command, "gpd 200");
  EXPECT_EQ(prnu.message, "Success to Generate Taget Level :200");
  prnu = generateKuPrnu(std::nullopt, camera.sender());
  EXPECT_EQ(camera.sent.back().command, "gpd 0");
  EXPECT_EQ(prnu.message, kPrnuGeneratedAutomatically);

  camera.refuse = true;
  prnu = generateKuPrnu(100, camera.sender());
  EXPECT_FALSE(prnu.accepted);
  EXPECT_NE(prnu.message.find("Error : command failed"), std::string::npos);
}

TEST(FlatFieldCommands, KeButtonsShowTheirFailureTextOnRefusal) {
  struct Row {
    KeAction action;
    const char* command;
    uint32_t timeoutMs;
    std::string_view failure;
  };
  for (const Row& row : {Row{KeAction::GenerateAllDark, "gdda", 20000, kKeGenerateFailed},
                         Row{KeAction::GenerateDark, "gdd", 30000, kKeGenerateFailed},
                         Row{KeAction::SaveDark, "sdd", 30000, kKeDarkSaveFailed},
                         Row{KeAction::LoadDark, "ldd", 30000, kKeLoadFailed},
                         Row{KeAction::SavePrnu, "spd", 30000, kKePrnuSaveFailed},
                         Row{KeAction::LoadPrnu, "lpd", 30000, kKeLoadFailed}}) {
    ScriptedSender camera;
    EXPECT_EQ(runKeAction(row.action, camera.sender()).message, "");
    camera.refuse = true;
    EXPECT_EQ(runKeAction(row.action, camera.sender()).message, row.failure);
    ASSERT_EQ(camera.sent.size(), 2u);
    EXPECT_EQ(camera.sent[0].command, row.command);
    EXPECT_EQ(camera.sent[0].timeoutMs, row.timeoutMs);
  }
  ScriptedSender camera;
  EXPECT_EQ(generateKePrnu(0, camera.sender()).message, "Auto Generated Taget Level :0");
  EXPECT_EQ(camera.sent.back().command, "gpd 0");
  EXPECT_EQ(camera.sent.back().timeoutMs, 1000u);
}

// --- Files ---------------------------------------------------------------------------------

TEST(FlatFieldFiles, FfcDownloadSwapsBytePairsAndKeepsAnOddLastByte) {
  const std::vector<uint8_t> file = {0x01, 0x02, 0x03, 0x04, 0x05};
  const FlatFieldDownload download = planFfcDownload(file);
  ASSERT_TRUE(download.ok) << download.message;
  EXPECT_EQ(inflateAll(download.plan.payload),
            (std::vector<uint8_t>{0x02, 0x01, 0x04, 0x03, 0x05}));
  EXPECT_EQ(download.plan.blockCommand, 1024);
  EXPECT_EQ(download.plan.finalCommand, 1025);
  EXPECT_EQ(download.plan.blockTimeoutMs, 10000u);
  EXPECT_EQ(download.plan.finalTimeoutMs, 200000u);

  const FlatFieldDownload empty = planFfcDownload({});
  EXPECT_FALSE(empty.ok);
  EXPECT_FALSE(empty.message.empty());
}

TEST(FlatFieldFiles, FfcUploadUndoesTheSwapAndRefusesMoreThanTheSensorHolds) {
  ModelDescriptor model;
  model.sensorWidth = 1024;
  model.sensorHeight = 1024;
  EXPECT_EQ(ffcBufferSize(model), 1024u * 1024 / 32 + 2048);
  const UploadPlan plan = planFfcUpload(model);
  EXPECT_EQ(plan.requestCommand, 1026);
  EXPECT_EQ(plan.blockReadCommand, 1027);
  EXPECT_EQ(plan.parameter, 0u);
  EXPECT_EQ(plan.firstTimeoutMs, 200000u);

  const std::vector<uint8_t> file = {0xAA, 0xBB, 0xCC};
  const FlatFieldDownload download = planFfcDownload(file);
  const FlatFieldFile back = ffcFileFromUpload(download.plan.payload, ffcBufferSize(model));
  ASSERT_TRUE(back.ok) << back.message;
  EXPECT_EQ(back.bytes, std::string("\xAA\xBB\xCC"));

  const FlatFieldFile tooLarge = ffcFileFromUpload(download.plan.payload, 2);
  EXPECT_FALSE(tooLarge.ok);
  EXPECT_FALSE(tooLarge.message.empty());
  const std::vector<uint8_t> garbage = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(ffcFileFromUpload(garbage, 100).message, kInflateDataError);
}

TEST(FlatFieldFiles, PrnuCoefficientsAreSentTimes64BigEndian) {
  const FlatFieldDownload download = planPrnuDownload("65535\r\n0\n\n  1 ,ignored\n");
  ASSERT_TRUE(download.ok) << download.message;
  EXPECT_EQ(download.values, 3u);
  // 65535 x 64 = 4194240 = 0x003FFFC0.
  EXPECT_EQ(inflateAll(download.plan.payload),
            (std::vector<uint8_t>{0x00, 0x3F, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0x40}));
  EXPECT_EQ(download.plan.blockCommand, 1024);
  EXPECT_EQ(download.plan.finalCommand, 1025);

  const FlatFieldFile back = prnuFileFromUpload(download.plan.payload);
  ASSERT_TRUE(back.ok) << back.message;
  EXPECT_EQ(back.bytes, "65535\n0\n1\n");
}

TEST(FlatFieldFiles, BadCoefficientFilesAreRefusedWhole) {
  struct Row {
    const char* what;
    std::string text;
    std::string_view message; // empty: any message
  };
  const Row rows[] = {
      {"70000", "100\n70000\n", kPrnuRangeError},
      {"negative", "100\n-1\n", kPrnuRangeError},
      {"overflowing", "99999999999999999999999999\n", kPrnuRangeError},
      {"a word", "100\nabc\n", {}},
      {"binary bytes",
       std::string("\x7f"
                   "ELF\x01\x00\x00\xff\n",
                   9),
       {}},
      {"a huge line", std::string(100000, '7') + "\n", {}},
      {"a real", "1.5\n", {}},
      {"nothing", "\n\r\n  \n", {}},
  };
  for (const Row& row : rows) {
    const FlatFieldDownload download = planPrnuDownload(row.text);
    EXPECT_FALSE(download.ok) << row.what;
    EXPECT_TRUE(download.plan.payload.empty()) << row.what;
    if (row.message.empty())
      EXPECT_FALSE(download.message.empty()) << row.what;
    else
      EXPECT_EQ(download.message, row.message) << row.what;
  }
  EXPECT_EQ(planLinearityDownload("70000\n").message, kLinearityRangeError);
  EXPECT_FALSE(planLinearityDownload(std::string("1\n\x00\x01\n", 5)).ok);
}

TEST(FlatFieldFiles, ValuesBeyondTheCameraLimitAreCountedAndNotSent) {
  const FlatFieldDownload prnu = planPrnuDownload(repeatLines("7", kPrnuValueLimit + 2));
  ASSERT_TRUE(prnu.ok);
  EXPECT_EQ(prnu.values, kPrnuValueLimit);
  EXPECT_EQ(prnu.valuesDropped, 2u);
  EXPECT_EQ(inflateAll(prnu.plan.payload).size(), kPrnuValueLimit * 4);

  const FlatFieldDownload linearity = planLinearityDownload("258\n" + repeatLines("1", 1024));
  ASSERT_TRUE(linearity.ok);
  EXPECT_EQ(linearity.values, kLinearityValueLimit);
  EXPECT_EQ(linearity.valuesDropped, 1u);
  const std::vector<uint8_t> words = inflateAll(linearity.plan.payload);
  ASSERT_EQ(words.size(), 2048u);
  EXPECT_EQ(words[0], 0x01); // 258, most significant byte first
  EXPECT_EQ(words[1], 0x02);
  EXPECT_EQ(linearity.plan.blockCommand, 1538);
  EXPECT_EQ(linearity.plan.finalCommand, 1540);
}

TEST(FlatFieldFiles, PrnuUploadRefusesDataThatIsNoWholeCoefficients) {
  std::vector<uint8_t> compressed;
  ASSERT_TRUE(Compress(std::vector<uint8_t>{0, 0, 0, 64, 1}, compressed));
  const FlatFieldFile file = prnuFileFromUpload(compressed);
  EXPECT_FALSE(file.ok);
  EXPECT_TRUE(file.bytes.empty());
  EXPECT_FALSE(file.message.empty());
}

TEST(FlatFieldFiles, SavePathsAndAFailedWriteKeepTheOldFile) {
  EXPECT_EQ(flatFieldFilePath("/tmp/a", ".ffc"), "/tmp/a.ffc");
  EXPECT_EQ(flatFieldFilePath("/tmp/a.ffc", ".ffc"), "/tmp/a.ffc");
  EXPECT_EQ(flatFieldFilePath("/tmp/a.ffc.bak", ".ffc"), "/tmp/a.ffc.bak");
  EXPECT_EQ(flatFieldFilePath("/tmp/coeff", ".csv"), "/tmp/coeff.csv");

  std::string message;
  EXPECT_FALSE(writeFlatFieldFile("/nonexistent-folder/x.ffc", "ab", message));
  EXPECT_FALSE(message.empty());

  const std::string path = testing::TempDir() + "ffc-size-limit.ffc";
  ASSERT_TRUE(writeFlatFieldFile(path, std::string(100, 'x'), message)) << message;
  std::string bytes;
  EXPECT_FALSE(readFlatFieldFile(path, 50, bytes, message));
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(readFlatFieldFile(path, 100, bytes, message));
  EXPECT_EQ(bytes.size(), 100u);
  std::filesystem::remove(path);
}

} // namespace
