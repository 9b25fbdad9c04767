// Sending a command line, waiting for the prompt and judging the camera's answer.
#include "link/command_exchange.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "camera/debug_output.h"

namespace kelpax {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kLibraryReadTimeoutMs = 100;
// While a scan or transfer waits, windows get a turn at least this often.
constexpr int kPumpIntervalMs = 5;
constexpr size_t kAckBurst = 6;
constexpr size_t kBlockBurst = 524;
// A burst longer than the wait's time-out (plus this grace) is cut there.
constexpr auto kBurstGrace = std::chrono::milliseconds(100);
constexpr unsigned kDeadlineCheckEvery = 64;

bool holdsOkFromFourth(std::string_view answer) {
  return answer.size() > 3 && answer.find("OK", 3) != std::string_view::npos;
}

long msSince(Clock::time_point start) {
  return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

} // namespace

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

CommandExchange::CommandExchange(CameraPort& port) : port_(port) {}

void CommandExchange::showStatus(const std::string& text) {
  if (statusLine_) {
    statusLine_->showStatus(text);
  }
}

void CommandExchange::appendReceived(char byte) {
  std::string& buffer = port_.receiveBuffer();
  buffer.push_back(byte);
  if (buffer.size() > kReceiveLimit) {
    buffer.erase(0, buffer.size() - kReceiveLimit / 2);
  }
}

void CommandExchange::readLibraryBurst(char byte, Clock::time_point deadline) {
  for (unsigned count = 1;; ++count) {
    appendReceived(byte);
    if (port_.scanning() && byte == '\0') {
      break;
    }
    const size_t have = port_.receiveBuffer().size();
    if (binaryAckMode_) {
      if (have >= kAckBurst) {
        break;
      }
    } else if (binaryBlockMode_) {
      if (have >= kBlockBurst) {
        break;
      }
    } else if (byte == kPrompt) {
      waitBusy_ = false;
      break;
    }
    if (count % kDeadlineCheckEvery == 0 && Clock::now() >= deadline) {
      break;
    }
    if (port_.readLibraryByte(byte, kLibraryReadTimeoutMs) != CameraPort::ReadResult::Byte) {
      break;
    }
  }
  if (debugActive()) {
    debugPrintf("%s, %d, %s\n", "CGetPortDlg::WaitMsg", __LINE__,
                port_.lastReadErrorText().c_str());
  }
}

void CommandExchange::readComBurst(char byte, Clock::time_point deadline) {
  for (unsigned count = 1;; ++count) {
    if (port_.scanning() && byte == '\0') {
      break;
    }
    appendReceived(byte);
    if (byte == kPrompt && !binaryAckMode_ && !binaryBlockMode_) {
      waitBusy_ = false;
      break;
    }
    if (count % kDeadlineCheckEvery == 0 && Clock::now() >= deadline) {
      break;
    }
    if (port_.readComByte(byte) != CameraPort::ReadResult::Byte) {
      break;
    }
  }
  if (debugActive()) {
    debugPrintf("%s, %d, %s\n", "CGetPortDlg::WaitMsg", __LINE__,
                port_.lastReadErrorText().c_str());
  }
}

int CommandExchange::WaitMsg(uint32_t timeoutMs, uint32_t mode, bool notify) {
  if (waitBusy_) {
    return kWaitTimedOut;
  }
  waitBusy_ = true;
  const Clock::time_point start = Clock::now();
  const Clock::time_point burstDeadline =
      start + std::chrono::milliseconds(timeoutMs) + kBurstGrace;
  do {
    const bool pumping = port_.scanning() || binaryAckMode_ || binaryBlockMode_;
    if (pumping && eventPump_ && eventPump_->pumpEvents()) {
      waitBusy_ = false;
      return kWaitAborted;
    }
    const long left = long(timeoutMs) - msSince(start);
    if (!port_.isOpen()) {
      if (left > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      continue;
    }
    char byte = 0;
    if (port_.isLibraryPortOpen()) {
      // The library's read waits for the first byte itself.
      if (port_.readLibraryByte(byte, kLibraryReadTimeoutMs) != CameraPort::ReadResult::Byte) {
        continue;
      }
      readLibraryBurst(byte, burstDeadline);
    } else {
      if (port_.readComByte(byte) != CameraPort::ReadResult::Byte) {
        const long wait = pumping ? std::min<long>(left, kPumpIntervalMs) : left;
        port_.waitComInput(int(std::max<long>(wait, 0)));
        continue;
      }
      readComBurst(byte, burstDeadline);
    }
    if (mode == kWaitForBurst || !waitBusy_) {
      if (notify) {
        if (answerHandler_) {
          answerHandler_->answerReceived(port_.receiveBuffer());
        }
        waitBusy_ = false;
        return int(mode);
      }
      break;
    }
  } while (msSince(start) < long(timeoutMs));

  if (!waitBusy_) {
    return int(mode);
  }
  waitBusy_ = false;
  return kWaitTimedOut;
}

std::string CommandExchange::TakeAnswer() {
  std::string answer = std::move(port_.receiveBuffer());
  port_.receiveBuffer().clear();
  port_.setLastAnswer(answer);
  return answer;
}

std::string CommandExchange::Query(std::string_view command, uint32_t timeoutMs, bool notify) {
  if (queryBusy_) {
    return {};
  }
  queryBusy_ = true;
  port_.receiveBuffer().clear();
  if (!port_.WritePort(command, true)) {
    queryBusy_ = false;
    return {};
  }
  WaitMsg(timeoutMs, kWaitForPrompt, notify);
  std::string answer = TakeAnswer();
  queryBusy_ = false;
  if (!answer.empty() && cacheHook_) {
    cacheHook_->updateFromTraffic(command);
  }
  return answer;
}

std::string CommandExchange::QueryValue(std::string_view command) {
  return QueryToken(command, 0, kDefaultTimeoutMs);
}

std::string CommandExchange::QueryValue(std::string_view command, uint32_t timeoutMs) {
  return QueryToken(command, 0, timeoutMs);
}

std::string CommandExchange::QueryToken(std::string_view command, int tokenIndex,
                                        uint32_t timeoutMs) {
  std::string answer = Query(command, timeoutMs, true);
  debugOutput(answer);
  return answerToken(answer, tokenIndex);
}

std::string CommandExchange::QueryQuiet(std::string_view command) {
  std::string answer = Query(command, kDefaultTimeoutMs, false);
  debugOutput(answer);
  return answerToken(answer, 0);
}

bool CommandExchange::SendCommand(std::string_view command, uint32_t timeoutMs, bool showStatus_) {
  if (transferRunning()) {
    lastResult_ = CommandResult::Blocked;
    return false;
  }
  if (showStatus_) {
    showStatus("Send command......");
  }
  port_.receiveBuffer().clear();
  if (!port_.WritePort(command, true)) {
    // A port that went away cannot answer: say so rather than leave the status hanging.
    linkAlive_ = false;
    lastResult_ = CommandResult::NoAnswer;
    showStatus("Camera connection error!");
    return false;
  }
  const Clock::time_point sent = Clock::now();
  WaitMsg(timeoutMs, kWaitForPrompt, showStatus_);
  const long elapsedMs = msSince(sent);
  std::string answer = TakeAnswer();
  debugOutput(answer);

  lastResult_ = judgeAnswer(answer);
  switch (lastResult_) {
  case CommandResult::NoAnswer:
    linkAlive_ = false;
    showStatus("Camera connection error!");
    return false;
  case CommandResult::CameraError:
    linkAlive_ = true;
    showStatus(errorTextOf(answer));
    return false;
  case CommandResult::Ok:
    break;
  case CommandResult::Blocked:
    return false;
  }
  linkAlive_ = true;
  if (cacheHook_) {
    cacheHook_->updateFromTraffic(answer);
  }
  if (holdsOkFromFourth(answer) || showStatus_) {
    showStatus(acceptedStatusText(answer, elapsedMs));
  }
  return true;
}

void TerminalRelay::answerReceived(const std::string& received) {
  debugPrintf("%d %d %d %d\n", exchange_.binaryAckMode(), exchange_.binaryBlockMode(), scanning_,
              tuningMode_);
  if (!exchange_.binaryAckMode() && !exchange_.binaryBlockMode() && !scanning_ && !tuningMode_ &&
      received.find("aar") == std::string::npos) {
    terminal_.appendReceived(received);
  }
}

} // namespace kelpax
