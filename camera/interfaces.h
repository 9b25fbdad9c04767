// What the core needs from the windows: status line, message boxes, the terminal's output,
// the event pump during waits. The main window implements these; tests fake them.
#pragma once

#include <string>
#include <string_view>

namespace kelpax {

enum class MessageIcon { Error, Warning, Information };

// A modal message box; returns when the user has closed it.
class MessageBoxSink {
public:
  virtual ~MessageBoxSink() = default;
  virtual void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) = 0;
};

// Asks the program to end with the given exit code once control returns to it.
class QuitHook {
public:
  virtual ~QuitHook() = default;
  virtual void quit(int exitCode) = 0;
};

// Part 0 of the main window's status bar.
class StatusLine {
public:
  virtual ~StatusLine() = default;
  virtual void showStatus(const std::string& text) = 0;
};

// Receives the text of every completed wait that asked to be reported.
class AnswerHandler {
public:
  virtual ~AnswerHandler() = default;
  virtual void answerReceived(const std::string& received) = 0;
};

// The terminal window's output box.
class TerminalSink {
public:
  virtual ~TerminalSink() = default;
  virtual void appendReceived(const std::string& text) = 0;
};

// Lets the windows repaint while a scan or a binary transfer waits. Pending command
// input is dropped, and a click reaches only the Cancel button.
class EventPump {
public:
  virtual ~EventPump() = default;
  // Returns true when the transfer's abort request arrived.
  virtual bool pumpEvents() = 0;
};

} // namespace kelpax
