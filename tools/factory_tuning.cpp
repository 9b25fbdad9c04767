// Factory tuning of CCD cameras.
#include "tools/factory_tuning.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "camera/file_io.h"
#include "transfer/binary_transfer.h"
#include "transfer/ccd_timing.h"
#include "transfer/data_lines.h"
#include "transfer/defect_pixels.h"

namespace kelpax {
namespace {

using C = TimingChannel;

constexpr std::array<C, kTimingChannels> kDialogOrder = {
    C::H1A,  C::H1B,  C::H2A,  C::H2B,  C::HL,   C::NA, C::SHP0,
    C::SHP1, C::SHD0, C::SHD1, C::DCK0, C::DCK1, C::RG};
// The camera takes the thirteen words of "stw" and "sto" in this order.
constexpr std::array<C, kTimingChannels> kSendOrder = {C::NA,   C::H2A,  C::H2B,  C::H1A,  C::HL,
                                                       C::H1B,  C::RG,   C::SHP1, C::SHP0, C::SHD1,
                                                       C::SHD0, C::DCK0, C::DCK1};
// Each half of a ".tmd" file holds its set in this order.
constexpr std::array<C, kTimingChannels> kFileOrder = {C::H1A,  C::H1B,  C::H2A,  C::H2B,  C::HL,
                                                       C::NA,   C::RG,   C::SHP0, C::SHP1, C::SHD0,
                                                       C::SHD1, C::DCK0, C::DCK1};

constexpr std::string_view kCaptions[kTimingChannels] = {
    "H1A", "H1B", "H2A", "H2B", "HL", "NA", "SHP0", "SHP1", "SHD0", "SHD1", "DCK0", "DCK1", "RG"};
constexpr std::string_view kKa29MCaptions[kTimingChannels] = {
    "H1B", "H1T", "H2B", "H2T", "HLB", "HLT", "SHPB", "SHPT", "SHDB", "SHDT", "RGB", "RGT", "NA"};

constexpr std::string_view kSerialKeys[kSerialFields] = {"bd1",   "bd2", "bd3", "bd4",
                                                         "piece", "ccd", "vsub"};

size_t at(C channel) {
  return size_t(channel);
}

std::optional<long> parseLong(std::string_view text) {
  if (text.empty() || text.size() > 10)
    return std::nullopt;
  const std::string copy(text);
  char* end = nullptr;
  const long value = std::strtol(copy.c_str(), &end, 10);
  if (end != copy.c_str() + copy.size())
    return std::nullopt;
  return value;
}

// The value line of an answer: the first non-empty line after the echo, prompt removed.
std::string valueLine(const Answer& answer) {
  const std::vector<std::string_view> lines = splitLines(answer.text);
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string_view line = trimBlanks(lines[i]);
    if (!line.empty() && line.back() == kPrompt)
      line = trimBlanks(line.substr(0, line.size() - 1));
    if (!line.empty())
      return std::string(line);
  }
  return {};
}

std::string hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

} // namespace

TimingSets TimingSets::defaults() {
  TimingSets sets;
  //               H1A H1B H2A H2B HL NA  RG  DCK0 DCK1 SHP0 SHP1 SHD0 SHD1
  sets.width = {16, 16, 16, 16, 16, 16, 12, 16, 16, 16, 16, 16, 16};
  sets.offset = {0, 0, 0, 0, 0, 0, 34, 24, 24, 62, 62, 24, 24};
  return sets;
}

std::array<TimingChannel, kTimingChannels> timingDialogOrder() {
  return kDialogOrder;
}

std::string_view timingCaption(int dialogRow, bool ka29m) {
  if (dialogRow < 0 || dialogRow >= kTimingChannels)
    return {};
  return ka29m ? kKa29MCaptions[dialogRow] : kCaptions[dialogRow];
}

bool isKa29M(const ModelDescriptor& model) {
  return model.is(Series::Ka, "29M");
}

std::string timingCommand(TimingSetKind kind, const TimingSet& set) {
  std::string command = kind == TimingSetKind::Width ? "stw" : "sto";
  for (C channel : kSendOrder)
    command += " " + std::to_string(int(set[at(channel)]));
  return command;
}

std::optional<TimingSet> parseTimingAnswer(std::string_view line) {
  TimingSet set{};
  size_t index = 0;
  size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
      ++pos;
    if (pos >= line.size())
      break;
    size_t end = pos;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t')
      ++end;
    const std::optional<long> value = parseLong(line.substr(pos, end - pos));
    if (!value || *value < 0 || *value >= kTimingValues || index >= kSendOrder.size())
      return std::nullopt;
    set[at(kSendOrder[index++])] = uint8_t(*value);
    pos = end;
  }
  if (index != kSendOrder.size())
    return std::nullopt;
  return set;
}

void stepTimingChannels(TimingSet& set, const std::array<bool, kTimingChannels>& checked,
                        int delta) {
  for (size_t i = 0; i < set.size(); ++i) {
    if (!checked[i])
      continue;
    const int moved = (int(set[i]) + delta) % kTimingValues;
    set[i] = uint8_t(moved < 0 ? moved + kTimingValues : moved);
  }
}

std::string encodeTimingFile(const TimingSets& sets) {
  std::string bytes;
  bytes.reserve(kTimingFileBytes);
  for (const TimingSet* set : {&sets.width, &sets.offset}) {
    for (C channel : kFileOrder) {
      bytes.append(3, '\0');
      bytes.push_back(char((*set)[at(channel)]));
    }
  }
  return bytes;
}

TimingFileRead decodeTimingFile(std::string_view bytes) {
  TimingFileRead read;
  if (bytes.size() != kTimingFileBytes) {
    read.error = "Not a timing file: it holds " + std::to_string(bytes.size()) + " bytes, not " +
                 std::to_string(kTimingFileBytes) + ".";
    return read;
  }
  TimingSets sets;
  for (size_t entry = 0; entry < 2 * kFileOrder.size(); ++entry) {
    const auto* word = reinterpret_cast<const unsigned char*>(bytes.data() + 4 * entry);
    const uint32_t value =
        uint32_t(word[0]) << 24 | uint32_t(word[1]) << 16 | uint32_t(word[2]) << 8 | word[3];
    if (value >= uint32_t(kTimingValues)) {
      read.error = "Not a timing file: entry " + std::to_string(entry) + " holds " +
                   std::to_string(value) + ", more than 63.";
      return read;
    }
    TimingSet& set = entry < kFileOrder.size() ? sets.width : sets.offset;
    set[at(kFileOrder[entry % kFileOrder.size()])] = uint8_t(value);
  }
  read.sets = sets;
  return read;
}

TimingFileRead loadTimingFile(const std::string& path) {
  std::string bytes;
  // One byte over the size is enough to tell a longer file.
  const FileStatus status = readFileBounded(path, kTimingFileBytes, bytes);
  if (status.error == FileError::TooLarge) {
    TimingFileRead read;
    read.error = "Not a timing file: " + path + " is longer than " +
                 std::to_string(kTimingFileBytes) + " bytes.";
    return read;
  }
  if (!status) {
    TimingFileRead read;
    read.error = "Cannot open " + path + ": " + status.detail;
    return read;
  }
  return decodeTimingFile(bytes);
}

std::string saveTimingFile(const std::string& path, const TimingSets& sets) {
  const FileStatus status = writeFileAtomically(path, encodeTimingFile(sets));
  return status ? std::string() : "Cannot write " + path + ": " + status.detail;
}

std::string_view serialKey(SerialField field) {
  return kSerialKeys[size_t(field)];
}

bool validSerialText(std::string_view text) {
  if (text.empty() || text.size() > 32)
    return false;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= ' ' || u >= 0x7f)
      return false;
  }
  return true;
}

// --- FactoryTuning -----------------------------------------------------------------------------

Answer FactoryTuning::send(const std::string& command, uint32_t timeoutMs) {
  return host_.sendCommand(command, {.timeoutMs = timeoutMs, .shown = true});
}

std::optional<int> FactoryTuning::queryInt(const std::string& command, int token) {
  const Answer answer = host_.sendCommand(command, {.timeoutMs = kDefaultTimeoutMs});
  if (!answer.accepted() || answer.text.find("Error") != std::string::npos)
    return std::nullopt;
  const std::optional<long> value = parseLong(answer.token(token));
  if (!value)
    return std::nullopt;
  return int(*value);
}

std::optional<double> FactoryTuning::queryReal(const std::string& command) {
  const Answer answer = host_.sendCommand(command, {.timeoutMs = kDefaultTimeoutMs});
  if (!answer.accepted() || answer.text.find("Error") != std::string::npos)
    return std::nullopt;
  const std::optional<double> value = parseDecimalReal(answer.token(0));
  if (!value || !std::isfinite(*value))
    return std::nullopt;
  return value;
}

FactoryReadings FactoryTuning::readPage() {
  FactoryReadings readings;
  // The level stays open while the page is in use: its commands need it.
  readings.privileged = send("aar qelmarst").accepted();
  readings.width = readSet(TimingSetKind::Width);
  readings.offset = readSet(TimingSetKind::Offset);
  readings.afeDelay = queryInt("gad");
  readings.gainOffset = queryInt("gfg", 0);
  readings.gainRange = queryInt("gfg", 1);
  readings.gainDifference = queryInt("ggt");
  readings.gainPreset = queryInt("ggp");
  // A voltage the edit could not send back is not shown either.
  if (const std::optional<double> volts = queryReal("gsv");
      volts && *volts >= kVsubMin && *volts <= kVsubMax)
    readings.vsub = volts;
  // The clamp is on (1) or off (0); any other answer leaves the box as it is.
  if (const std::optional<int> clamp = queryInt("gnc"); clamp && (*clamp == 0 || *clamp == 1))
    readings.offsetClamp = *clamp == 1;
  // The quadrants are numbered 1 to 4 for reading as for writing.
  for (int q = 0; q < kQuadrants; ++q)
    readings.quadrants[size_t(q)] = queryInt("goo " + std::to_string(q + 1));
  if (host_.modelDescriptor().series == Series::Ky) {
    if (std::optional<int> high = queryInt("gpot 0"))
      readings.highGain = *high - 127;
    if (std::optional<int> low = queryInt("gpot 1"))
      readings.lowGain = *low - 127;
  }
  return readings;
}

std::optional<TimingSet> FactoryTuning::readSet(TimingSetKind kind) {
  const Answer answer = host_.sendCommand(kind == TimingSetKind::Width ? "gstw" : "gsto",
                                          {.timeoutMs = kDefaultTimeoutMs});
  if (!answer.accepted())
    return std::nullopt;
  return parseTimingAnswer(valueLine(answer));
}

Answer FactoryTuning::sendSet(TimingSetKind kind, const TimingSet& set) {
  return send(timingCommand(kind, set));
}

Answer FactoryTuning::update(const TimingSets& sets) {
  const Answer width = sendSet(TimingSetKind::Width, sets.width);
  if (!width.accepted())
    return width;
  return sendSet(TimingSetKind::Offset, sets.offset);
}

Answer FactoryTuning::toggleOffsetClamp(bool checkedNow) {
  return send(checkedNow ? "snc 0" : "snc 1");
}

std::optional<std::string> FactoryTuning::readSerial(SerialField field) {
  const Answer answer =
      host_.sendCommand("gsn " + std::string(serialKey(field)), {.timeoutMs = kDefaultTimeoutMs});
  if (!answer.accepted())
    return std::nullopt;
  const std::string line = valueLine(answer);
  if (line.empty() || line.find("Error") != std::string::npos)
    return std::nullopt;
  return line;
}

std::optional<Answer> FactoryTuning::setSerial(SerialField field, std::string_view text) {
  if (!validSerialText(text))
    return std::nullopt;
  return send("ssn " + std::string(serialKey(field)) + " " + std::string(text));
}

std::optional<Answer> FactoryTuning::setVsub(double volts) {
  if (!std::isfinite(volts) || volts < kVsubMin || volts > kVsubMax)
    return std::nullopt;
  char command[32];
  std::snprintf(command, sizeof command, "ssv %2.2f", volts);
  return send(command);
}

std::optional<Answer> FactoryTuning::setGainCalibration(int gainOffset, int gainRange) {
  if (!kGainOffsetRange.holds(gainOffset) || !kGainRangeRange.holds(gainRange))
    return std::nullopt;
  return send("sfg " + std::to_string(gainOffset) + " " + std::to_string(gainRange));
}

FactoryTuning::GainDifferenceOutcome
FactoryTuning::setGainDifference(int difference, int gainOffset, int gainRange) {
  GainDifferenceOutcome outcome;
  if (!kGainDifferenceRange.holds(difference))
    return outcome;
  if (gainOffset + difference < 0) {
    // The offset follows first, so that offset plus difference is never negative.
    const std::optional<Answer> offset = setGainCalibration(-difference, gainRange);
    if (!offset || !offset->accepted())
      return outcome;
    outcome.gainOffset = -difference;
  }
  outcome.answer = send("sgt " + std::to_string(difference));
  return outcome;
}

std::optional<Answer> FactoryTuning::setAfeDelay(int delay) {
  if (!kAfeDelayRange.holds(delay))
    return std::nullopt;
  return send("sad " + std::to_string(delay));
}

std::optional<Answer> FactoryTuning::setGainPreset(int preset) {
  if (!kGainPresetRange.holds(preset))
    return std::nullopt;
  return send("sgp " + std::to_string(preset));
}

std::optional<Answer> FactoryTuning::setQuadrantOffset(int quadrant, int value) {
  if (quadrant < 1 || quadrant > kQuadrants || !kQuadrantOffsetRange.holds(value))
    return std::nullopt;
  return send("soo " + std::to_string(quadrant) + " " + std::to_string(value), kQuadrantTimeoutMs);
}

std::optional<Answer> FactoryTuning::setLinearity(bool low, int value) {
  if (!kLinearityRange.holds(value))
    return std::nullopt;
  return send(std::string(low ? "spot 1 " : "spot 0 ") + std::to_string(value + 127),
              kQuadrantTimeoutMs);
}

// --- downloads ---------------------------------------------------------------------------------

FactoryDownloadOutcome downloadCcdInformation(BinaryTransfer& transfer, PageHost& host,
                                              const std::string& path) {
  FactoryDownloadOutcome outcome;
  const CcdTiming timing = loadCcdTiming(path);
  if (!timing.ok) {
    outcome.caption = timing.caption;
    outcome.message = timing.message;
    return outcome;
  }
  const TransferResult sent = transfer.SendSingleFrame(kCcdTimingCommand, timing.record);
  if (!sent.ok()) {
    outcome.caption = "Error";
    outcome.message = std::string(kCcdDownloadFailed);
    return outcome;
  }
  // The camera takes the new timing at its restart.
  if (!host.sendCommand("rst", {.timeoutMs = kDefaultTimeoutMs, .shown = true}).accepted()) {
    outcome.caption = "Error";
    outcome.message = "The camera took the sensor information but did not restart.";
    return outcome;
  }
  outcome.ok = true;
  return outcome;
}

FactoryDownloadOutcome downloadPixelGains(BinaryTransfer& transfer, const ModelDescriptor& model,
                                          const std::string& path) {
  FactoryDownloadOutcome outcome;
  std::string text, detail;
  if (!readDefectFile(path, text, detail)) {
    outcome.caption = std::string(kCannotOpenDefectFileCaption);
    outcome.message = std::string(kCannotOpenDefectFile);
    return outcome;
  }
  if (model.sensorWidth <= 0 || model.sensorHeight <= 0) {
    outcome.caption = "Error";
    outcome.message = std::string(kDefectSensorSizeUnusable);
    return outcome;
  }
  const DefectDownload download =
      planDefectThreeValueDownload(text, uint32_t(model.sensorWidth), uint32_t(model.sensorHeight));
  if (!download.ok) {
    outcome.caption = download.caption;
    outcome.message = download.message;
    return outcome;
  }
  const TransferResult sent = transfer.SendBinary(download.plan);
  outcome.ok = sent.ok();
  // The transfer's own status line and beeps tell how it went.
  return outcome;
}

// --- the soak test -----------------------------------------------------------------------------

std::optional<std::string> RegisterSoak::normaliseAddress(std::string_view typed) {
  std::string_view text = trimBlanks(typed);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text.remove_prefix(2);
  if (text.empty() || text.size() > 8)
    return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c)))
      return std::nullopt;
    value = value << 4 |
            uint32_t(std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                 : std::tolower(c) - 'a' + 10);
  }
  char normal[16];
  std::snprintf(normal, sizeof normal, "0x%X", value);
  return std::string(normal);
}

RegisterSoak::State RegisterSoak::step() {
  if (state_ != State::Running)
    return state_;
  const std::string written = hex8(uint32_t(rounds_ % 256));
  const Answer write =
      host_.sendCommand("wfpga " + address_ + " " + written, {.timeoutMs = kDefaultTimeoutMs});
  if (write.result == CommandResult::NoAnswer || write.result == CommandResult::Blocked) {
    state_ = State::NoAnswer;
    failure_ = "The camera did not answer writing " + written + " to " + address_ + ".";
    return state_;
  }
  if (!write.accepted()) {
    state_ = State::Refused;
    failure_ =
        "The camera refused writing " + written + " to " + address_ + ": " + write.errorText();
    return state_;
  }
  const Answer read = host_.sendCommand("rfpga " + address_, {.timeoutMs = kDefaultTimeoutMs});
  const std::string back = read.accepted() ? read.token(0) : std::string();
  // The register reads back as hexadecimal digits of either case.
  if (!read.accepted() || lowerCase(back) != lowerCase(written)) {
    if (read.result == CommandResult::NoAnswer) {
      state_ = State::NoAnswer;
      failure_ = "The camera did not answer reading " + address_ + ".";
    } else {
      state_ = State::Mismatch;
      failure_ = address_ + " read back " + (back.empty() ? read.errorText() : back) + " after " +
                 written + " was written.";
    }
    return state_;
  }
  ++rounds_;
  return state_;
}

void RegisterSoak::stop() {
  if (state_ == State::Running)
    state_ = State::Stopped;
}

int RegisterSoak::endBeepHz() const {
  switch (state_) {
  case State::NoAnswer:
    return 2000;
  case State::Refused:
  case State::Mismatch:
    return 1000;
  default:
    return 0;
  }
}

} // namespace kelpax
