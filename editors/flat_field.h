// Flat-field correction: the commands that generate, store and load the camera's correction
// data, its offset level, frame count and data selector; the ".ffc" data file; the line-scan
// cameras' dark and PRNU commands with their PRNU coefficient and linearity ".csv" files.
// No port here: commands go through a sender the caller supplies, transfers as plans.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "camera/answer.h"
#include "camera/tables/command_vocabulary.h"
#include "camera/tables/model_descriptor.h"
#include "transfer/transfer_plan.h"

namespace kelpax {

namespace cmd {
inline constexpr CommandSpec kFfcGenerate{"gfd", ValueKind::None, 0};
inline constexpr CommandSpec kFfcSaveToFlash{"sfd", ValueKind::None, 0};
inline constexpr CommandSpec kFfcLoadFromFlash{"lfd", ValueKind::None, 0};
inline constexpr CommandSpec kFfcOffsetLevel{"sfo"};
inline constexpr CommandSpec kFfcFrames{"sfi"};
inline constexpr CommandSpec kFfcSelector{"sfds"};
inline constexpr CommandSpec kDarkGenerate{"gdd", ValueKind::None, 0};
inline constexpr CommandSpec kDarkSave{"sdd", ValueKind::None, 0};
inline constexpr CommandSpec kDarkLoad{"ldd", ValueKind::None, 0};
inline constexpr CommandSpec kPrnuGenerate{"gpd"};
inline constexpr CommandSpec kPrnuSave{"spd", ValueKind::None, 0};
inline constexpr CommandSpec kPrnuLoad{"lpd", ValueKind::None, 0};
inline constexpr CommandSpec kSequencer{"ssqm"};
inline constexpr CommandSpec kSequencerConfiguration{"ssqcm"};
inline constexpr CommandSpec kSequencerIndex{"ssqss"};
inline constexpr CommandSpec kSequencerCount{"ssqsc"};
} // namespace cmd

// --- Texts the pages and the command line show --------------------------------------------

inline constexpr std::string_view kFfcGenerated = " Generated !";
inline constexpr std::string_view kFfcSaved = " Saved !";
inline constexpr std::string_view kFfcLoaded = " loaded!";
inline constexpr std::string_view kDarkCaution =
    "CAUTION : The camera will be capturing lines in almost complete darkness .";
inline constexpr std::string_view kPrnuCaution =
    "CAUTION : The camera will be capturing lines in 5 ~ 80% gray Level.";
inline constexpr std::string_view kPrnuGeneratedAtLevel = "Success to Generate Taget Level :";
inline constexpr std::string_view kPrnuGeneratedAutomatically = "Automatic Generation Success.";
inline constexpr std::string_view kKePrnuGenerated = "Auto Generated Taget Level :";
inline constexpr std::string_view kKeGenerateFailed = "Failed to generate";
inline constexpr std::string_view kKeDarkSaveFailed = "Failed to save";
inline constexpr std::string_view kKeLoadFailed = "Falied to load";
inline constexpr std::string_view kKePrnuSaveFailed = "Falied to save";
inline constexpr std::string_view kPrnuRangeError =
    "PRNU Data Error Detected!!\r\nthe effective PRNU Coefficient data range is 0 ~ 65535";
inline constexpr std::string_view kLinearityRangeError = " data range is 0 ~ 65535";

// File dialog filters, in the form Qt's file dialogs take.
inline constexpr std::string_view kFfcOpenFilter = "FFC data File(*.ffc) (*.ffc)";
inline constexpr std::string_view kFfcSaveFilter = "FFC data files(*.ffc) (*.ffc)";
inline constexpr std::string_view kPrnuFileFilter = "PRNU coefficient data files(*.csv) (*.csv)";
inline constexpr std::string_view kLinearityFileFilter = "Linearity data files(*.csv) (*.csv)";

// --- Limits, commands and time-outs ---------------------------------------------------------

inline constexpr int32_t kFfcOffsetMax = 4095;
inline constexpr int32_t kFfcFrameIndexMax = 4; // 1, 2, 4, 8 or 16 frames
inline constexpr uint32_t kFfcSettingTimeoutMs = 3000;
inline constexpr uint32_t kFfcGenerateTimeoutMs = 30000;
inline constexpr uint32_t kFfcSaveTimeoutMs = 300000; // writing the flash takes minutes
inline constexpr uint32_t kFfcLoadTimeoutMs = 30000;
inline constexpr uint32_t kFfcFinalTimeoutMs = 200000;

inline constexpr uint16_t kFfcDownloadCommand = 0x0400;       // 1024
inline constexpr uint16_t kFfcDownloadFinal = 0x0401;         // 1025
inline constexpr uint16_t kFfcUploadRequest = 0x0402;         // 1026
inline constexpr uint16_t kFfcUploadBlockRead = 0x0403;       // 1027
inline constexpr uint16_t kLinearityDownloadCommand = 0x0602; // 1538
inline constexpr uint16_t kLinearityDownloadFinal = 0x0604;   // 1540

inline constexpr size_t kPrnuValueLimit = 16384;
inline constexpr size_t kLinearityValueLimit = 1024;
inline constexpr int64_t kCoefficientMax = 65535;
inline constexpr uint32_t kPrnuScale = 64; // the camera keeps coefficients times 64
// A ".ffc" file larger than this is not one: the largest sensor's data is under 5 MB.
inline constexpr size_t kFfcFileSizeLimit = 64u << 20;
// A ".csv" of 16384 coefficients is under 100 KB; lines longer than this are not numbers.
inline constexpr size_t kCsvFileSizeLimit = 8u << 20;
inline constexpr size_t kCsvLineLengthLimit = 256;

// --- Commands -------------------------------------------------------------------------------

// One command with its time-out; the camera's answer back (accepted or not).
using FlatFieldSender = std::function<Answer(const std::string& command, uint32_t timeoutMs)>;

struct CommandOutcome {
  bool sent = false;     // a command went out
  bool accepted = false; // and the camera accepted it
  // What the operator is shown in a message box; empty: nothing beyond the status line.
  std::string message;
};

enum class FlashAction { Generate, SaveToFlash, LoadFromFlash };
// "gfd", "sfd", "lfd" with their time-outs and success messages.
CommandOutcome runFlashAction(FlashAction action, const FlatFieldSender& send);

// "sfo %d" for a level within 0-4095; nothing is sent for any other.
CommandOutcome setOffsetLevel(std::optional<int64_t> level, const FlatFieldSender& send);
// "sfi %d" for a frame index within 0-4; nothing is sent for any other.
CommandOutcome setFrameIndex(std::optional<int64_t> index, const FlatFieldSender& send);
// "sfds %d" with the list index; an index outside the list is not sent.
CommandOutcome chooseSelector(int index, int listSize, const FlatFieldSender& send);
// Frames averaged for a frame index (2 ^ index).
constexpr int framesOfIndex(int index) {
  return 1 << index;
}

// Line-scan (Ku) generation: the answer with CR, LF and ">" blanked. An answer without "OK" is
// shown as it is; with "OK", dark generation shows nothing more and PRNU generation its
// success line. `targetLevel` is the level asked for, none for automatic (sent as 0).
CommandOutcome generateKuDark(const FlatFieldSender& send);
CommandOutcome generateKuPrnu(std::optional<int32_t> targetLevel, const FlatFieldSender& send);
// The answer as the Ku page shows it.
std::string blankAnswer(std::string_view answer);

enum class KeAction { GenerateAllDark, GenerateDark, SaveDark, LoadDark, SavePrnu, LoadPrnu };
// The Ke page's dark and PRNU data buttons: on refusal the page's failure text.
CommandOutcome runKeAction(KeAction action, const FlatFieldSender& send);
// Ke PRNU generation at `level` (0: automatic), "gpd %d" with a 1000 ms time-out.
CommandOutcome generateKePrnu(int32_t level, const FlatFieldSender& send);

// --- Files and transfers --------------------------------------------------------------------

// What turning a file into a download gave. When `ok` is false `message` says why and nothing
// may be sent.
struct FlatFieldDownload {
  bool ok = false;
  DownloadPlan plan;
  size_t values = 0; // coefficients or words taken from the file
  std::string message;
  // Values the file held beyond the camera's limit; they are not sent.
  size_t valuesDropped = 0;
};

// Swaps each pair of bytes; a trailing odd byte stays where it is.
std::vector<uint8_t> swapBytePairs(std::span<const uint8_t> bytes);

// A ".ffc" file as the camera takes it: byte pairs swapped, compressed, 0x0400 / 0x0401.
FlatFieldDownload planFfcDownload(std::span<const uint8_t> fileBytes);
// PRNU coefficients (0-65535, one per line) times 64 as big-endian 32-bit words; at most
// 16384 are read. A value outside the range refuses the file with kPrnuRangeError.
FlatFieldDownload planPrnuDownload(std::string_view fileText);
// Linearity values (0-65535, one per line) as big-endian 16-bit words, at most 1024;
// 0x0602 / 0x0604.
FlatFieldDownload planLinearityDownload(std::string_view fileText);

// The ".ffc" upload: the camera's data fits sensor width x height / 32 + 2048 bytes.
size_t ffcBufferSize(const ModelDescriptor& model);
UploadPlan planFfcUpload(const ModelDescriptor& model);
UploadPlan planPrnuUpload();

struct FlatFieldFile {
  bool ok = false;
  std::string bytes; // the file's contents
  size_t values = 0;
  std::string message; // why no file can be made
};

// What an upload brought, as the file to save.
FlatFieldFile ffcFileFromUpload(std::span<const uint8_t> received, size_t bufferSize);
FlatFieldFile prnuFileFromUpload(std::span<const uint8_t> received);

// The path a save goes to: the extension (".ffc", ".csv") appended when the chosen name does
// not contain it.
std::string flatFieldFilePath(std::string_view chosen, std::string_view extension);

// Reads a whole data file of at most `limit` bytes; false with `message` set when it cannot.
bool readFlatFieldFile(const std::string& path, size_t limit, std::string& bytes,
                       std::string& message);
// Writes a file whole (a new file beside it renamed over it); false with `message` set.
bool writeFlatFieldFile(const std::string& path, std::string_view bytes, std::string& message);

} // namespace kelpax
