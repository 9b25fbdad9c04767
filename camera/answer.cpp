// Judging and reading a camera's answer: the echo, answer lines and the prompt.
#include "camera/answer.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace kelpax {
bool holdsOkFromFourth(std::string_view answer) {
  return answer.size() > 3 && answer.find("OK", 3) != std::string_view::npos;
}

bool endsWithPrompt(std::string_view answer) {
  return !answer.empty() && answer.back() == kPrompt;
}

CommandResult judgeAnswer(std::string_view answer) {
  if (answer.empty()) {
    return CommandResult::NoAnswer;
  }
  if (holdsOkFromFourth(answer)) {
    return CommandResult::Ok;
  }
  if (answer.find("Error") != std::string_view::npos) {
    return CommandResult::CameraError;
  }
  // Text that ran into the time-out without the prompt (a camera that hung up, flooded or
  // sent noise) confirmed nothing; a complete answer without "OK" or "Error" is accepted.
  if (!endsWithPrompt(answer)) {
    return CommandResult::NoAnswer;
  }
  return CommandResult::Ok;
}

std::string errorTextOf(std::string_view answer) {
  size_t at = answer.find("Error");
  if (at == std::string_view::npos) {
    return {};
  }
  size_t end = answer.find('\r', at);
  return std::string(answer.substr(at, end == std::string_view::npos ? end : end - at));
}

std::string acceptedStatusText(std::string_view answer, long elapsedMs) {
  char timing[32];
  std::snprintf(timing, sizeof timing, "(%ld ms)", elapsedMs);
  // The privileged-level exchange never shows its answer.
  if (holdsOkFromFourth(answer) && answer.find("aar") != std::string_view::npos) {
    return std::string("OK") + timing;
  }
  std::string text = " >> ";
  std::remove_copy(answer.begin(), answer.end(), std::back_inserter(text), kPrompt);
  return text + timing;
}

std::string answerToken(std::string_view answer, int tokenIndex) {
  std::string text;
  std::remove_copy(answer.begin(), answer.end(), std::back_inserter(text), '\r');

  // Line 0 is the echo; the value line is the first non-empty line after it.
  std::string_view rest(text);
  size_t lineEnd = rest.find('\n');
  std::string_view valueLine;
  while (lineEnd != std::string_view::npos) {
    rest.remove_prefix(lineEnd + 1);
    lineEnd = rest.find('\n');
    std::string_view line = rest.substr(0, lineEnd);
    if (!line.empty()) {
      valueLine = line;
      break;
    }
  }
  // The prompt on a line of its own is the end of the answer, not a value.
  if (valueLine == ">") {
    valueLine = {};
  }

  // Piece 0 counts even when empty; later empty pieces (runs of blanks) do not.
  int piece = 0;
  size_t start = 0;
  for (;;) {
    size_t blank = valueLine.find(' ', start);
    std::string_view word = valueLine.substr(
        start, blank == std::string_view::npos ? std::string_view::npos : blank - start);
    if (piece == 0 || !word.empty()) {
      if (piece == tokenIndex) {
        return std::string(word);
      }
      ++piece;
    }
    if (blank == std::string_view::npos) {
      return {};
    }
    start = blank + 1;
  }
}

} // namespace kelpax
