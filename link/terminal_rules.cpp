// The serial terminal's keyword rules and overflow trim.
#include "link/terminal_rules.h"

#include <algorithm>

namespace kelpax {
namespace {

bool contains(std::string_view text, std::string_view word) {
  return text.find(word) != std::string_view::npos;
}

} // namespace

std::string checkStringOf(std::string_view received) {
  std::string check;
  check.reserve(received.size());
  for (const char c : received) {
    if (isCheckCharacter(c))
      check.push_back(c);
  }
  return check;
}

TerminalAction terminalActionFor(std::string_view checkString, std::string_view modelName) {
  if (checkString.empty() || checkString.back() != '>')
    return TerminalAction::None;
  if (checkString.size() < kStartUpTextLength) {
    if (contains(checkString, kTuningAccessCode))
      return TerminalAction::TuningMode;
    if (contains(checkString, kFactoryAccessCode))
      return TerminalAction::FactoryMode;
    if (contains(checkString, kColorCalibrationKeyword))
      return TerminalAction::ColorCalibration;
    if (contains(checkString, kBaudRateKeyword) && contains(checkString, kAcceptedKeyword))
      return TerminalAction::ChangePort;
    if (contains(checkString, kStitchKeyword))
      return TerminalAction::Stitch;
    return TerminalAction::None;
  }
  if (!contains(checkString, kStartUpKeyword))
    return TerminalAction::None;
  // An empty name would be found in any text; without a known model only a scan can tell
  // which camera is starting.
  if (!modelName.empty() && contains(checkString, modelName))
    return TerminalAction::Refresh;
  return TerminalAction::ChangePort;
}

bool actionReplacesReread(TerminalAction action) {
  return action == TerminalAction::ChangePort || action == TerminalAction::Refresh;
}

bool actionEmptiesOutput(TerminalAction action) {
  switch (action) {
  case TerminalAction::TuningMode:
  case TerminalAction::FactoryMode:
  case TerminalAction::ColorCalibration:
  case TerminalAction::Stitch:
    return true;
  case TerminalAction::None:
  case TerminalAction::ChangePort:
  case TerminalAction::Refresh:
    return false;
  }
  return false;
}

int feedTerminalText(std::string& boxText, std::string_view received, std::size_t limit) {
  limit = std::max<std::size_t>(limit, 1);
  int trims = 0;
  for (const char c : received) {
    if (c == '\r')
      continue;
    // A loop, since the limit may have been lowered below what the box already holds.
    while (boxText.size() >= limit) {
      boxText.erase(0, std::min(kOverflowTrim, boxText.size()));
      ++trims;
    }
    boxText.push_back(c);
  }
  return trims;
}

} // namespace kelpax
