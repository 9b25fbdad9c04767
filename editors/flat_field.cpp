// Flat-field, dark and PRNU data: commands, files and transfer plans.
#include "editors/flat_field.h"

#include <algorithm>

#include "camera/file_io.h"
#include "transfer/data_lines.h"
#include "transfer/zlib_codec.h"

namespace kelpax {
namespace {

struct FlashCommand {
  CommandSpec spec;
  uint32_t timeoutMs;
  std::string_view success;
};

const FlashCommand& flashCommand(FlashAction action) {
  static const FlashCommand kCommands[] = {
      {cmd::kFfcGenerate, kFfcGenerateTimeoutMs, kFfcGenerated},
      {cmd::kFfcSaveToFlash, kFfcSaveTimeoutMs, kFfcSaved},
      {cmd::kFfcLoadFromFlash, kFfcLoadTimeoutMs, kFfcLoaded},
  };
  return kCommands[static_cast<size_t>(action)];
}

CommandOutcome sendOne(const std::string& command, uint32_t timeoutMs,
                       const FlatFieldSender& send) {
  CommandOutcome outcome;
  if (command.empty())
    return outcome;
  outcome.sent = true;
  outcome.accepted = send(command, timeoutMs).accepted();
  return outcome;
}

CommandOutcome sendInRange(const CommandSpec& spec, std::optional<int64_t> value, int64_t max,
                           const FlatFieldSender& send) {
  if (!value || *value < 0 || *value > max)
    return {};
  return sendOne(formatCommand(spec, {double(*value)}), kFfcSettingTimeoutMs, send);
}

bool answerSaysOk(const Answer& answer) {
  return answer.accepted() && answer.text.find("OK") != std::string::npos;
}

// A field of nothing but an optional sign and digits: a number, perhaps too large for any type.
bool allDigits(std::string_view field) {
  if (!field.empty() && (field.front() == '-' || field.front() == '+'))
    field.remove_prefix(1);
  return !field.empty() &&
         std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct CsvValues {
  bool ok = false;
  std::vector<uint16_t> values;
  size_t dropped = 0;
  std::string message;
};

// The first comma-separated field of each line, as a value 0-65535; blank lines are skipped,
// and reading stops after `limit` values. Anything else refuses the whole file.
CsvValues readCsvValues(std::string_view text, size_t limit, std::string_view rangeMessage) {
  CsvValues out;
  size_t lineNumber = 0;
  for (std::string_view line : splitLines(text)) {
    ++lineNumber;
    if (line.size() > kCsvLineLengthLimit) {
      out.message = "Line " + std::to_string(lineNumber) +
                    " of the file is too long to hold a value; nothing was sent.";
      return out;
    }
    if (trimBlanks(line).empty())
      continue;
    if (out.values.size() == limit) {
      ++out.dropped;
      continue;
    }
    const std::string_view field = trimBlanks(line.substr(0, line.find(',')));
    const std::optional<int64_t> value = parseDecimalInteger(field);
    if (!value && !allDigits(field)) {
      out.message =
          "Line " + std::to_string(lineNumber) + " of the file holds no number; nothing was sent.";
      return out;
    }
    // A number too large for any integer is out of range like 70000 is.
    if (!value || *value < 0 || *value > kCoefficientMax) {
      out.message = std::string(rangeMessage);
      return out;
    }
    out.values.push_back(uint16_t(*value));
  }
  if (out.values.empty()) {
    out.message = "The file holds no values; nothing was sent.";
    return out;
  }
  out.ok = true;
  return out;
}

bool compressInto(const std::vector<uint8_t>& raw, FlatFieldDownload& download) {
  if (!Compress(raw, download.plan.payload)) {
    download.message = "The data could not be compressed; nothing was sent.";
    return false;
  }
  return true;
}

} // namespace

CommandOutcome runFlashAction(FlashAction action, const FlatFieldSender& send) {
  const FlashCommand& command = flashCommand(action);
  CommandOutcome outcome = sendOne(formatCommand(command.spec), command.timeoutMs, send);
  if (outcome.accepted)
    outcome.message = std::string(command.success);
  return outcome;
}

CommandOutcome setOffsetLevel(std::optional<int64_t> level, const FlatFieldSender& send) {
  return sendInRange(cmd::kFfcOffsetLevel, level, kFfcOffsetMax, send);
}

CommandOutcome setFrameIndex(std::optional<int64_t> index, const FlatFieldSender& send) {
  return sendInRange(cmd::kFfcFrames, index, kFfcFrameIndexMax, send);
}

CommandOutcome chooseSelector(int index, int listSize, const FlatFieldSender& send) {
  return sendInRange(cmd::kFfcSelector, index, int64_t(listSize) - 1, send);
}

std::string blankAnswer(std::string_view answer) {
  std::string text(answer);
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '>'; }, ' ');
  return text;
}

CommandOutcome generateKuDark(const FlatFieldSender& send) {
  CommandOutcome outcome;
  outcome.sent = true;
  const Answer answer = send(formatCommand(cmd::kDarkGenerate), 10000);
  outcome.accepted = answerSaysOk(answer);
  if (!outcome.accepted)
    outcome.message = blankAnswer(answer.text);
  return outcome;
}

CommandOutcome generateKuPrnu(std::optional<int32_t> targetLevel, const FlatFieldSender& send) {
  CommandOutcome outcome;
  const std::string command = formatCommand(cmd::kPrnuGenerate, {double(targetLevel.value_or(0))});
  if (command.empty())
    return outcome;
  outcome.sent = true;
  const Answer answer = send(command, 10000);
  outcome.accepted = answerSaysOk(answer);
  if (!outcome.accepted)
    outcome.message = blankAnswer(answer.text);
  else if (targetLevel && *targetLevel != 0)
    outcome.message = std::string(kPrnuGeneratedAtLevel) + std::to_string(*targetLevel);
  else
    outcome.message = std::string(kPrnuGeneratedAutomatically);
  return outcome;
}

CommandOutcome runKeAction(KeAction action, const FlatFieldSender& send) {
  struct KeCommand {
    CommandSpec spec;
    uint32_t timeoutMs;
    std::string_view failure;
  };
  static const KeCommand kCommands[] = {
      {cmd::kGenerateAllDark, 20000, kKeGenerateFailed},
      {cmd::kDarkGenerate, 30000, kKeGenerateFailed},
      {cmd::kDarkSave, 30000, kKeDarkSaveFailed},
      {cmd::kDarkLoad, 30000, kKeLoadFailed},
      {cmd::kPrnuSave, 30000, kKePrnuSaveFailed},
      {cmd::kPrnuLoad, 30000, kKeLoadFailed},
  };
  const KeCommand& command = kCommands[static_cast<size_t>(action)];
  CommandOutcome outcome = sendOne(formatCommand(command.spec), command.timeoutMs, send);
  if (!outcome.accepted)
    outcome.message = std::string(command.failure);
  return outcome;
}

CommandOutcome generateKePrnu(int32_t level, const FlatFieldSender& send) {
  CommandOutcome outcome = sendOne(formatCommand(cmd::kPrnuGenerate, {double(level)}), 1000, send);
  outcome.message = outcome.accepted ? std::string(kKePrnuGenerated) + std::to_string(level)
                                     : std::string(kKeGenerateFailed);
  return outcome;
}

std::vector<uint8_t> swapBytePairs(std::span<const uint8_t> bytes) {
  std::vector<uint8_t> out(bytes.begin(), bytes.end());
  for (size_t i = 0; i + 1 < out.size(); i += 2)
    std::swap(out[i], out[i + 1]);
  return out;
}

FlatFieldDownload planFfcDownload(std::span<const uint8_t> fileBytes) {
  FlatFieldDownload download;
  if (fileBytes.empty()) {
    download.message = "The FFC data file is empty; nothing was sent.";
    return download;
  }
  if (!compressInto(swapBytePairs(fileBytes), download))
    return download;
  download.plan.blockCommand = kFfcDownloadCommand;
  download.plan.finalCommand = kFfcDownloadFinal;
  download.plan.finalTimeoutMs = kFfcFinalTimeoutMs;
  download.values = (fileBytes.size() + 1) / 2;
  download.ok = true;
  return download;
}

FlatFieldDownload planPrnuDownload(std::string_view fileText) {
  FlatFieldDownload download;
  const CsvValues csv = readCsvValues(fileText, kPrnuValueLimit, kPrnuRangeError);
  if (!csv.ok) {
    download.message = csv.message;
    return download;
  }
  std::vector<uint8_t> raw;
  raw.reserve(csv.values.size() * 4);
  for (uint16_t value : csv.values) {
    const uint32_t word = uint32_t(value) * kPrnuScale;
    for (int shift = 24; shift >= 0; shift -= 8)
      raw.push_back(uint8_t(word >> shift));
  }
  if (!compressInto(raw, download))
    return download;
  download.plan.blockCommand = kFfcDownloadCommand;
  download.plan.finalCommand = kFfcDownloadFinal;
  download.plan.finalTimeoutMs = kFfcFinalTimeoutMs;
  download.values = csv.values.size();
  download.valuesDropped = csv.dropped;
  download.ok = true;
  return download;
}

FlatFieldDownload planLinearityDownload(std::string_view fileText) {
  FlatFieldDownload download;
  const CsvValues csv = readCsvValues(fileText, kLinearityValueLimit, kLinearityRangeError);
  if (!csv.ok) {
    download.message = csv.message;
    return download;
  }
  std::vector<uint8_t> raw;
  raw.reserve(csv.values.size() * 2);
  for (uint16_t value : csv.values) {
    raw.push_back(uint8_t(value >> 8));
    raw.push_back(uint8_t(value));
  }
  if (!compressInto(raw, download))
    return download;
  download.plan.blockCommand = kLinearityDownloadCommand;
  download.plan.finalCommand = kLinearityDownloadFinal;
  download.plan.finalTimeoutMs = kFfcFinalTimeoutMs;
  download.values = csv.values.size();
  download.valuesDropped = csv.dropped;
  download.ok = true;
  return download;
}

size_t ffcBufferSize(const ModelDescriptor& model) {
  const size_t width = size_t(std::max<int32_t>(0, model.sensorWidth));
  const size_t height = size_t(std::max<int32_t>(0, model.sensorHeight));
  return width * height / 32 + 2048;
}

UploadPlan planFfcUpload(const ModelDescriptor& model) {
  UploadPlan plan;
  plan.requestCommand = kFfcUploadRequest;
  plan.blockReadCommand = kFfcUploadBlockRead;
  plan.parameter = 0;
  plan.firstTimeoutMs = kFfcFinalTimeoutMs;
  // Compressed data that does not shrink grows by a few bytes per block.
  plan.capacity = ffcBufferSize(model) + kCompressSlack;
  return plan;
}

UploadPlan planPrnuUpload() {
  UploadPlan plan;
  plan.requestCommand = kFfcUploadRequest;
  plan.blockReadCommand = kFfcUploadBlockRead;
  plan.parameter = 0;
  plan.firstTimeoutMs = kFfcFinalTimeoutMs;
  plan.capacity = kPrnuValueLimit * 4 + kCompressSlack;
  return plan;
}

FlatFieldFile ffcFileFromUpload(std::span<const uint8_t> received, size_t bufferSize) {
  FlatFieldFile file;
  const InflateResult inflated = Inflate(received, bufferSize);
  if (!inflated.ok()) {
    file.message = inflated.error == InflateError::TooLarge
                       ? "The camera's FFC data is larger than its sensor allows; no file "
                         "was written."
                       : std::string(inflated.message());
    return file;
  }
  const std::vector<uint8_t> swapped = swapBytePairs(inflated.bytes);
  file.bytes.assign(swapped.begin(), swapped.end());
  file.values = (swapped.size() + 1) / 2;
  file.ok = true;
  return file;
}

FlatFieldFile prnuFileFromUpload(std::span<const uint8_t> received) {
  FlatFieldFile file;
  const InflateResult inflated = Inflate(received, kPrnuValueLimit * 4);
  if (!inflated.ok()) {
    file.message = inflated.error == InflateError::TooLarge
                       ? "The camera sent more than 16384 PRNU coefficients; no file was written."
                       : std::string(inflated.message());
    return file;
  }
  if (inflated.bytes.size() % 4 != 0) {
    file.message = "The camera's PRNU data is not a whole number of coefficients; no file was "
                   "written.";
    return file;
  }
  for (size_t i = 0; i < inflated.bytes.size(); i += 4) {
    const uint32_t word = uint32_t(inflated.bytes[i]) << 24 |
                          uint32_t(inflated.bytes[i + 1]) << 16 |
                          uint32_t(inflated.bytes[i + 2]) << 8 | uint32_t(inflated.bytes[i + 3]);
    file.bytes += std::to_string(word / kPrnuScale) + "\n";
  }
  file.values = inflated.bytes.size() / 4;
  file.ok = true;
  return file;
}

std::string flatFieldFilePath(std::string_view chosen, std::string_view extension) {
  std::string path(chosen);
  if (path.find(extension) == std::string::npos)
    path += extension;
  return path;
}

bool readFlatFieldFile(const std::string& path, size_t limit, std::string& bytes,
                       std::string& message) {
  const FileStatus status = readFileBounded(path, limit, bytes);
  if (status)
    return true;
  message = status.error == FileError::TooLarge
                ? "The file " + path + " is too large to be camera data; nothing was sent."
                : "Cannot open " + path + ": " + status.detail;
  return false;
}

bool writeFlatFieldFile(const std::string& path, std::string_view bytes, std::string& message) {
  const FileStatus status = writeFileAtomically(path, bytes);
  if (!status)
    message = "Cannot write " + path + ": " + status.detail;
  return bool(status);
}

} // namespace kelpax
