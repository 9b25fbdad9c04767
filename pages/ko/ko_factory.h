// What the Ko factory page does without a window: the board and sensor serial numbers, the
// CMOS bias voltages and the black-level offset read inside the camera's privileged level
// (always closed again), FPGA register reads and writes, the register aging run, and the
// sensor information file sent as one frame.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "camera/answer.h"

namespace kelpax {

// One command and the camera's answer.
using FactorySend = std::function<Answer(const std::string& command)>;

// Serial numbers by the selector the camera knows them by, with the page's captions.
struct KoSerialField {
  std::string_view selector; // "gsn bd1" / "ssn bd1 %s"
  std::string_view caption;
};
inline constexpr std::array<KoSerialField, 5> kKoSerialFields{{{"piece", "S/N:"},
                                                               {"bd1", "B1(CMOS):"},
                                                               {"bd2", "B2(FPGA):"},
                                                               {"bd3", "B3(IO):"},
                                                               {"ccd", "CCD S/N:"}}};
// The sensor's bias voltages, as "gvref vrst" / "svref vrst %d".
inline constexpr std::array<std::string_view, 6> kBiasVoltages{"vrst", "vln1", "vrf2",
                                                               "vlp",  "vln2", "vcl3"};
inline constexpr int32_t kBiasMax = 255;
inline constexpr int32_t kBlackOffsetMax = 4095;
inline constexpr int32_t kGainPieceMax = 15;
inline constexpr size_t kSerialMax = 32;

inline constexpr const char* kSensorInfoOk = "Download OK";
inline constexpr const char* kSensorInfoFailed = "Download Faild";

struct KoFactoryReadings {
  std::array<std::optional<std::string>, kKoSerialFields.size()> serials{};
  std::array<std::optional<int32_t>, kBiasVoltages.size()> bias{};
  std::optional<int32_t> blackOffset;
  // The camera opened its privileged level; nothing was read otherwise.
  bool opened = false;
};

// Runs `work` inside the privileged level; "aar off" follows whatever `work` did. False when
// the camera would not open the level (then `work` does not run).
bool withPrivilegedLevel(const FactorySend& send, const std::function<void()>& work);

// Everything the factory page shows, read in one privileged session. Values the camera
// refuses or answers with something other than a number stay empty.
KoFactoryReadings readFactorySettings(const FactorySend& send);

// A serial number the camera keeps: 1 to 32 printable characters without blanks.
bool serialTextValid(std::string_view text);

// Register numbers are typed as hexadecimal with "0x" ("0x02") or as decimal ("2"), up to
// 32 bits; none for anything else.
std::optional<uint32_t> parseRegisterNumber(std::string_view text);
// "rfpga 0x00000002", "wfpga 0x00000002 0x0000001F".
std::string registerReadCommand(uint32_t address);
std::string registerWriteCommand(uint32_t address, uint32_t value);
// The register value of an accepted read; none when the camera refused or sent no number.
std::optional<uint32_t> registerValueOf(const Answer& answer);

// The aging run: `count` reads of one register. A read fails when the camera refuses it,
// does not answer or answers no number; it differs when it reads another value than the
// first good read.
struct AgingResult {
  int reads = 0;
  int failures = 0;
  int differing = 0;
};
AgingResult runRegisterAging(const FactorySend& send, uint32_t address, int count);
std::string agingSummary(const AgingResult& result);

// The sensor information file sent as one frame; the text the operator is shown: "Download
// OK", "Download Faild", or why the file was refused (nothing was sent then).
struct SensorInfoOutcome {
  bool sent = false;
  bool ok = false;
  std::string message;
};
using SingleFrameSender = std::function<bool(uint16_t command, std::span<const uint8_t> data)>;
SensorInfoOutcome downloadSensorInfo(const std::string& path, const SingleFrameSender& sendFrame);

} // namespace kelpax
