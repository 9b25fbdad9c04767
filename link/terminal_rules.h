// What the serial terminal does with received text: the keywords that switch the main
// window into its tuning, factory or calibration modes or send it back to the port scan,
// and the output box's overflow trim.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelpax {

enum class TerminalAction {
  None,
  TuningMode,       // "quarvelint": tuning-mode flag, then Factory Setting
  FactoryMode,      // "bastion4829163": factory-sized panel, then Factory Setting
  ColorCalibration, // "color calibration"
  ChangePort,       // "sbr " with "OK" (new baud rate), or a start-up text of another model
  Stitch,           // "stitch"
  Refresh,          // a start-up text of the connected model
};

inline constexpr std::string_view kTuningAccessCode = "quarvelint";
inline constexpr std::string_view kFactoryAccessCode = "bastion4829163";
inline constexpr std::string_view kColorCalibrationKeyword = "color calibration";
inline constexpr std::string_view kBaudRateKeyword = "sbr ";
inline constexpr std::string_view kAcceptedKeyword = "OK";
inline constexpr std::string_view kStitchKeyword = "stitch";
inline constexpr std::string_view kStartUpKeyword = "Initializing";

// A check string this long or longer is a start-up text, not a command's echo.
inline constexpr std::size_t kStartUpTextLength = 51;
// Characters dropped from the front of the output box when it is full.
inline constexpr std::size_t kOverflowTrim = 3000;

// Characters that count for the keyword check: decimal codes 21 to 126, so the space that
// "sbr " and "color calibration" need is in, and carriage returns and line feeds are out.
constexpr bool isCheckCharacter(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code >= 21 && code <= 126;
}

// The received text's check characters, in order.
std::string checkStringOf(std::string_view received);

// What a received text asks for. Only a complete answer (check string ending with the
// prompt) counts. Short ones are tested for the first five keywords in order, the first
// match wins; long ones only for the start-up text, which refreshes when it names the
// connected model and rescans the ports otherwise (an unknown, empty model name included).
TerminalAction terminalActionFor(std::string_view checkString, std::string_view modelName);

// Whether the action brings its own rescan or refresh, so the pages are not read again after
// the command that caused it (at a rate the camera may have left, each read would time out).
bool actionReplacesReread(TerminalAction action);

// Whether the action empties the output box.
bool actionEmptiesOutput(TerminalAction action);

// Feeds received text into the output box's text, carriage returns dropped. Whenever the
// box holds `limit` characters, its first kOverflowTrim characters go before the next one
// is added, so no received character is lost. Returns how many times it trimmed.
int feedTerminalText(std::string& boxText, std::string_view received, std::size_t limit);

} // namespace kelpax
