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

long msSince(Clock::time_point start) {
  return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

} // namespace

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
      // The library's read waits for the first byte itself, no longer than the wait has left:
      // a 10 ms wait for stray input must not take the read's whole 100 ms.
      const uint32_t readMs = uint32_t(std::clamp<long>(left, 1, kLibraryReadTimeoutMs));
      if (port_.readLibraryByte(byte, readMs) != CameraPort::ReadResult::Byte) {
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

Answer CommandExchange::Query(std::string_view command, ExchangeOptions options) {
  Answer answer;
  if (queryBusy_) {
    return answer;
  }
  queryBusy_ = true;
  port_.receiveBuffer().clear();
  if (!port_.WritePort(command, true)) {
    queryBusy_ = false;
    return answer;
  }
  const Clock::time_point sent = Clock::now();
  WaitMsg(options.timeoutMs, kWaitForPrompt, options.shown);
  answer.elapsedMs = msSince(sent);
  answer.text = TakeAnswer();
  answer.result = judgeAnswer(answer.text);
  queryBusy_ = false;
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
  const Answer answer = Query(command, {.timeoutMs = timeoutMs, .shown = true});
  debugOutput(answer.text);
  return answer.token(tokenIndex);
}

std::string CommandExchange::QueryQuiet(std::string_view command) {
  const Answer answer = Query(command);
  debugOutput(answer.text);
  return answer.token(0);
}

Answer CommandExchange::SendCommand(std::string_view command, ExchangeOptions options) {
  Answer answer;
  if (transferRunning()) {
    answer.result = CommandResult::Blocked;
    return answer;
  }
  if (options.shown) {
    showStatus("Send command......");
  }
  port_.receiveBuffer().clear();
  if (!port_.WritePort(command, true)) {
    // A port that went away cannot answer: say so rather than leave the status hanging.
    linkAlive_ = false;
    showStatus("Camera connection error!");
    return answer;
  }
  const Clock::time_point sent = Clock::now();
  WaitMsg(options.timeoutMs, kWaitForPrompt, options.shown);
  answer.elapsedMs = msSince(sent);
  answer.text = TakeAnswer();
  debugOutput(answer.text);

  answer.result = judgeAnswer(answer.text);
  switch (answer.result) {
  case CommandResult::NoAnswer:
    linkAlive_ = false;
    showStatus("Camera connection error!");
    // Text cut off before the prompt confirms nothing, but the operator still sees it.
    if (options.shown && answerHandler_ && !answer.text.empty())
      answerHandler_->answerReceived(answer.text);
    return answer;
  case CommandResult::CameraError:
    linkAlive_ = true;
    showStatus(answer.errorText());
    return answer;
  case CommandResult::Ok:
  case CommandResult::Blocked:
    break;
  }
  linkAlive_ = true;
  if (holdsOkFromFourth(answer.text) || options.shown) {
    showStatus(acceptedStatusText(answer.text, answer.elapsedMs));
  }
  return answer;
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
