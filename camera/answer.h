// A camera's answer to one command line as a value: how it went, its text (echo, answer lines,
// prompt) and how long it took; and the rules that judge and read such a text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelpax {

enum class CommandResult { Ok, CameraError, NoAnswer, Blocked };

inline constexpr uint32_t kDefaultTimeoutMs = 3000;
inline constexpr char kPrompt = '>';

// "OK" after the echo's first three characters: the camera accepted a set command.
bool holdsOkFromFourth(std::string_view answer);
// The answer ran up to the camera's prompt (the wait stops there) rather than into the time-out.
bool endsWithPrompt(std::string_view answer);
// Judging an answer (echo, answer lines, prompt) without a port: "OK" accepts, "Error" is the
// camera's refusal, text cut off before the prompt is no answer, any other complete answer
// is accepted.
CommandResult judgeAnswer(std::string_view answer);
// The camera's error text: from "Error" up to the carriage return (empty when absent).
std::string errorTextOf(std::string_view answer);
// The status-line text of an accepted answer.
std::string acceptedStatusText(std::string_view answer, long elapsedMs);
// Piece `tokenIndex` of the first non-empty line after the echo.
std::string answerToken(std::string_view answer, int tokenIndex);

struct Answer {
  CommandResult result = CommandResult::NoAnswer;
  std::string text;
  long elapsedMs = 0;
  // The connected camera stored a value from this answer in its cache.
  bool cached = false;

  bool accepted() const { return result == CommandResult::Ok; }
  // Piece `index` of the value line ("gag 1" answered "1 250": piece 1 is "250").
  std::string token(int index = 0) const { return answerToken(text, index); }
  std::string errorText() const { return errorTextOf(text); }
};

// How one exchange runs.
struct ExchangeOptions {
  uint32_t timeoutMs = kDefaultTimeoutMs;
  // The operator sees the exchange: a command's outcome goes to the status line, and the
  // completed answer to the terminal.
  bool shown = false;
};

} // namespace kelpax
