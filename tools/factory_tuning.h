// Factory tuning of CCD cameras: the thirteen clock-edge timing words in their width and offset
// sets, their ".tmd" files, the board and sensor serial numbers, the substrate voltage, the gain
// and offset calibration values, the sensor-information and pixel-gain downloads, and a soak
// test of the command channel on one FPGA register.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "camera/answer.h"
#include "pages/page_host.h"

namespace kelpax {

class BinaryTransfer;

inline constexpr int kTimingChannels = 13;
inline constexpr int kTimingValues = 64; // each word is six bits

// A set's values are stored in this order.
enum class TimingChannel : uint8_t {
  H1A,
  H1B,
  H2A,
  H2B,
  HL,
  NA,
  RG,
  DCK0,
  DCK1,
  SHP0,
  SHP1,
  SHD0,
  SHD1
};

using TimingSet = std::array<uint8_t, kTimingChannels>; // indexed by TimingChannel

enum class TimingSetKind { Width, Offset };

struct TimingSets {
  TimingSet width{};
  TimingSet offset{};
  // The values a camera leaves the factory with; the dialog starts with them and "Reset" puts
  // them back.
  static TimingSets defaults();
  TimingSet& of(TimingSetKind kind) { return kind == TimingSetKind::Width ? width : offset; }
  const TimingSet& of(TimingSetKind kind) const {
    return kind == TimingSetKind::Width ? width : offset;
  }
  bool operator==(const TimingSets&) const = default;
};

// The dialog's rows, top to bottom, and the check-box caption of each (the Ka 29M camera names
// its clock edges differently; the words behind them are the same).
std::array<TimingChannel, kTimingChannels> timingDialogOrder();
std::string_view timingCaption(int dialogRow, bool ka29m);
bool isKa29M(const ModelDescriptor& model);

// "stw ..." or "sto ...": the thirteen values in the order the camera takes them.
std::string timingCommand(TimingSetKind kind, const TimingSet& set);
// The camera's answer to "gstw" / "gsto": thirteen numbers 0..63 in the same order as sent.
std::optional<TimingSet> parseTimingAnswer(std::string_view valueLine);

// "▲" / "▼": every checked channel (`checked` indexed by TimingChannel) moves by `delta`,
// wrapping within 0..63; the others stay.
void stepTimingChannels(TimingSet& set, const std::array<bool, kTimingChannels>& checked,
                        int delta);

// --- ".tmd" files: 26 big-endian 32-bit entries, the value in the low byte; the width set
// first, then the offset set, each in file channel order.
inline constexpr size_t kTimingFileBytes = 104;
inline constexpr std::string_view kTimingFileFilter = "Timing Data (*.tmd)";

std::string encodeTimingFile(const TimingSets& sets);

struct TimingFileRead {
  std::optional<TimingSets> sets;
  std::string error; // why the file was refused; empty when it was read
};
// A file of any length but 104 bytes is refused, and so is an entry whose value is no six-bit
// word (high bytes set, or a low byte above 63): such a file was not written by this program
// and would put values into the camera that the operator never saw.
TimingFileRead decodeTimingFile(std::string_view bytes);
TimingFileRead loadTimingFile(const std::string& path);
// Written beside `path` and renamed over it; the error text, empty on success.
std::string saveTimingFile(const std::string& path, const TimingSets& sets);

// --- serial numbers
enum class SerialField { Board1, Board2, Board3, Board4, Piece, Ccd, CcdVsub };
inline constexpr int kSerialFields = 7;
std::string_view serialKey(SerialField field); // "bd1" ... "vsub"
// A serial number is one word of printable characters, at most 32.
bool validSerialText(std::string_view text);

// --- the integer and real edits and their ranges
struct IntRange {
  int min = 0;
  int max = 0;
  bool holds(long value) const { return value >= min && value <= max; }
};
inline constexpr IntRange kGainOffsetRange{0, 300};
inline constexpr IntRange kGainRangeRange{500, 1024};
inline constexpr IntRange kGainDifferenceRange{-100, 100};
inline constexpr IntRange kAfeDelayRange{9, 25};
inline constexpr IntRange kGainPresetRange{0, 1024};
inline constexpr IntRange kQuadrantOffsetRange{0, 127};
inline constexpr IntRange kLinearityRange{-127, 128};
// The CCD substrate voltage in volts.
inline constexpr double kVsubMin = 0.0;
inline constexpr double kVsubMax = 25.0;
inline constexpr int kQuadrants = 4;
inline constexpr uint32_t kQuadrantTimeoutMs = 1000;

// What the page reads each time it is shown. A value the camera did not report stays empty,
// so its edit keeps what it showed.
struct FactoryReadings {
  bool privileged = false;
  std::optional<TimingSet> width;
  std::optional<TimingSet> offset;
  std::optional<int> afeDelay;
  std::optional<int> gainOffset;
  std::optional<int> gainRange;
  std::optional<int> gainDifference;
  std::optional<int> gainPreset;
  std::array<std::optional<int>, kQuadrants> quadrants; // L-T, R-T, L-B, R-B
  std::optional<int> highGain;                          // Ky cameras only
  std::optional<int> lowGain;
  // The substrate voltage in volts ("gsv") and the offset clamp ("gnc": on when 1).
  std::optional<double> vsub;
  std::optional<bool> offsetClamp;
};

class FactoryTuning {
public:
  explicit FactoryTuning(PageHost& host) : host_(host) {}

  // Opens the privileged level and reads the timing sets and calibration values.
  FactoryReadings readPage();

  // The set the camera holds ("gstw" / "gsto", at the privileged level); nullopt when the
  // camera does not tell it or tells something that is no set.
  std::optional<TimingSet> readSet(TimingSetKind kind);
  Answer sendSet(TimingSetKind kind, const TimingSet& set);
  // "Update": the width set, then the offset set; stops at the first refusal.
  Answer update(const TimingSets& sets);
  // The command asks for the new state: 0 when the box is checked now, 1 when it is not.
  Answer toggleOffsetClamp(bool checkedNow);

  std::optional<std::string> readSerial(SerialField field);
  // Nothing is sent (nullopt) for text that is no serial number.
  std::optional<Answer> setSerial(SerialField field, std::string_view text);
  std::optional<Answer> setVsub(double volts);

  // "sfg offset range": both current values each time.
  std::optional<Answer> setGainCalibration(int gainOffset, int gainRange);
  struct GainDifferenceOutcome {
    std::optional<Answer> answer; // of "sgt"; nullopt when out of range or not reached
    // When the gain offset had to follow (offset + difference below 0): the offset now in the
    // camera, or nullopt when it stayed.
    std::optional<int> gainOffset;
  };
  GainDifferenceOutcome setGainDifference(int difference, int gainOffset, int gainRange);
  std::optional<Answer> setAfeDelay(int delay);
  std::optional<Answer> setGainPreset(int preset);
  // `quadrant` 1..4: L-T, R-T, L-B, R-B.
  std::optional<Answer> setQuadrantOffset(int quadrant, int value);
  // `low` picks "Low Gain:" (1), else "High Gain:" (0); the camera keeps value + 127.
  std::optional<Answer> setLinearity(bool low, int value);

private:
  Answer send(const std::string& command, uint32_t timeoutMs = kDefaultTimeoutMs);
  std::optional<int> queryInt(const std::string& command, int token = 0);
  std::optional<double> queryReal(const std::string& command);
  PageHost& host_;
};

// --- the downloads of the dialog, each with what the operator is told
struct FactoryDownloadOutcome {
  bool ok = false;
  std::string caption; // message box caption; may be empty
  std::string message; // empty when there is nothing to say (success, or a silent stop)
};
// "CCD Info Download": the ".cif" file as one record frame, then "rst".
FactoryDownloadOutcome downloadCcdInformation(BinaryTransfer& transfer, PageHost& host,
                                              const std::string& path);
// "Pixel Gain Down": the three-value defect list of the camera's sensor size.
FactoryDownloadOutcome downloadPixelGains(BinaryTransfer& transfer, const ModelDescriptor& model,
                                          const std::string& path);

// --- the soak test: written values 0..255 into one FPGA register, each read back
class RegisterSoak {
public:
  enum class State { Running, NoAnswer, Refused, Mismatch, Stopped };

  // `address` as typed ("0x1A0", "1a0"); nullopt when it is no hexadecimal address.
  static std::optional<std::string> normaliseAddress(std::string_view typed);

  RegisterSoak(PageHost& host, std::string address) : host_(host), address_(std::move(address)) {}

  // One write and its read-back; the state after it. Once not Running, a step sends nothing.
  State step();
  void stop();
  State state() const { return state_; }
  uint64_t rounds() const { return rounds_; }
  // What ended the run, for the status line; empty while it runs or when stopped.
  const std::string& failure() const { return failure_; }
  // The beep the run ends with: 2000 Hz for a lost answer, 1000 Hz for a wrong read-back, none
  // when stopped.
  int endBeepHz() const;

private:
  PageHost& host_;
  std::string address_;
  State state_ = State::Running;
  uint64_t rounds_ = 0;
  std::string failure_;
};

} // namespace kelpax
