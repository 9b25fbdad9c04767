// ASCII command exchange: a command line out, the echo, answer lines and prompt back.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "camera/answer.h"
#include "camera/interfaces.h"
#include "link/camera_port.h"

namespace kelpax {

inline constexpr uint32_t kWaitForPrompt = 1036;
inline constexpr uint32_t kWaitForBurst = 1028;
inline constexpr int kWaitTimedOut = -1;
inline constexpr int kWaitAborted = -2;

class CommandExchange {
public:
  explicit CommandExchange(CameraPort& port);

  void setStatusLine(StatusLine* statusLine) { statusLine_ = statusLine; }
  void setAnswerHandler(AnswerHandler* handler) { answerHandler_ = handler; }
  void setEventPump(EventPump* pump) { eventPump_ = pump; }
  EventPump* eventPump() const { return eventPump_; }
  AnswerHandler* answerHandler() const { return answerHandler_; }

  CameraPort& port() { return port_; }

  int WaitMsg(uint32_t timeoutMs, uint32_t mode, bool notify);
  std::string TakeAnswer();

  // One command line and its answer, judged; nothing else changes (no status text, no link
  // state). An empty answer when a query is already running or the port refuses the write.
  Answer Query(std::string_view command, ExchangeOptions options = {});
  std::string QueryValue(std::string_view command);
  std::string QueryValue(std::string_view command, uint32_t timeoutMs);
  std::string QueryToken(std::string_view command, int tokenIndex, uint32_t timeoutMs);
  std::string QueryQuiet(std::string_view command);

  // A command whose outcome counts: refused during a binary transfer, its outcome in the status
  // line and in the link state.
  Answer SendCommand(std::string_view command, ExchangeOptions options = {});

  // Collects text the camera sends unasked (the port window's one-second timer).
  void idlePoll() { WaitMsg(0, kWaitForBurst, true); }

  bool binaryAckMode() const { return binaryAckMode_; }
  void setBinaryAckMode(bool on) { binaryAckMode_ = on; }
  bool binaryBlockMode() const { return binaryBlockMode_; }
  void setBinaryBlockMode(bool on) { binaryBlockMode_ = on; }
  bool transferRunning() const { return binaryAckMode_ || binaryBlockMode_; }
  bool linkAlive() const { return linkAlive_; }
  bool waitBusy() const { return waitBusy_; }
  bool queryBusy() const { return queryBusy_; }

  // The receive buffer keeps at most this many characters; a camera that never sends
  // the prompt cannot grow it without bound.
  static constexpr size_t kReceiveLimit = 1 << 20;

private:
  void appendReceived(char byte);
  // A burst also ends at `deadline`, so a camera that never pauses cannot hold the wait.
  void readComBurst(char first, std::chrono::steady_clock::time_point deadline);
  void readLibraryBurst(char first, std::chrono::steady_clock::time_point deadline);
  void showStatus(const std::string& text);

  CameraPort& port_;
  StatusLine* statusLine_ = nullptr;
  AnswerHandler* answerHandler_ = nullptr;
  EventPump* eventPump_ = nullptr;

  // Plain flags, not locks: they only stop re-entry through the event pump.
  bool waitBusy_ = false;
  bool queryBusy_ = false;
  bool binaryAckMode_ = false;
  bool binaryBlockMode_ = false;
  bool linkAlive_ = false;
};

// Relays completed answers to the terminal unless a scan, a transfer or factory tuning
// owns the channel, and never the privileged-level exchange.
class TerminalRelay : public AnswerHandler {
public:
  TerminalRelay(const CommandExchange& exchange, TerminalSink& terminal)
      : exchange_(exchange), terminal_(terminal) {}
  void setScanning(bool on) { scanning_ = on; }
  void setTuningMode(bool on) { tuningMode_ = on; }
  void answerReceived(const std::string& received) override;

private:
  const CommandExchange& exchange_;
  TerminalSink& terminal_;
  bool scanning_ = false;
  bool tuningMode_ = false;
};

} // namespace kelpax
