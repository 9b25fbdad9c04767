// The serial terminal: raw camera commands typed by the user, everything the camera sends,
// and the keywords in the received text that move the main window into its tuning,
// factory or calibration modes or back to the port scan.
#pragma once

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstddef>
#include <functional>
#include <string>

#include "camera/interfaces.h"
#include "link/terminal_rules.h"
#include "pages/edit_widgets.h"

namespace kelpax {

// The terminal's output box. Only the program writes into it: keys, pastes, drops and
// mouse clicks of the user change nothing, so the caret stays where received text goes.
class CTerminalEdit : public QPlainTextEdit {
  Q_OBJECT

public:
  explicit CTerminalEdit(QWidget* parent = nullptr);

  // Adds text at the end, as received.
  void appendFromProgram(const QString& text);
  // Replaces the whole text.
  void setTextFromProgram(const QString& text);
  // Puts the caret at the end and scrolls it into view.
  void showEnd();

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
};

class CTerminal : public QWidget, public TerminalSink {
  Q_OBJECT

public:
  // Sends one command line and says whether the camera accepted it (the main window's
  // SendCommand with 300000 ms and the status line shown).
  using CommandSender = std::function<bool(const std::string& command)>;
  // The main window's current model name.
  using ModelNameSource = std::function<std::string()>;

  static constexpr std::size_t kDefaultOutputLimit = 30000;
  static constexpr int kActionDelayMs = 100;

  explicit CTerminal(QWidget* parent = nullptr);

  void setCommandSender(CommandSender sender) { sender_ = std::move(sender); }
  void setModelNameSource(ModelNameSource source) { modelName_ = std::move(source); }

  // The output box holds at most this many characters (at least 1).
  void setOutputLimit(std::size_t limit);
  std::size_t outputLimit() const { return outputLimit_; }

  // Shows received text and acts on the keywords in it.
  void appendReceived(const std::string& text) override;

  // The last text received, and the output box's text, carriage returns removed.
  const std::string& lastText() const { return lastText_; }
  const std::string& terminalText() const { return terminalText_; }

  CTerminalEdit* outputBox() const { return output_; }
  CStringEdit* inputLine() const { return input_; }
  QPushButton* sendButton() const { return send_; }
  QPushButton* clearButton() const { return clear_; }
  QPushButton* closeButton() const { return close_; }

public Q_SLOTS:
  // "Send", or Enter in the input line.
  void SendTerminalCommand();
  // "Clear": empties the output box.
  void clearOutput();

Q_SIGNALS:
  // The camera accepted a typed command: re-read every setting and refresh all pages.
  void pagesRereadRequested();
  // Keywords in the received text, queued so they run after the current exchange.
  void tuningModeRequested();
  void factoryModeRequested();
  void colorCalibrationRequested();
  void stitchRequested();
  // 100 ms after a start-up text: Tool → Refresh for the connected model ...
  void refreshRequested();
  // ... or, after another model's start-up text or an accepted baud rate, close the port
  // and scan again.
  void changePortRequested();
  // "X" hid the terminal.
  void closed();

protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void act(TerminalAction action);
  void queueSignal(void (CTerminal::*signal)());

  CTerminalEdit* output_ = nullptr;
  CStringEdit* input_ = nullptr;
  QPushButton* send_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* close_ = nullptr;
  // One-shot: timer 1 refreshes, timer 2 changes the port; a restart delays, never repeats.
  QTimer refreshTimer_;
  QTimer changePortTimer_;

  CommandSender sender_;
  ModelNameSource modelName_;
  std::size_t outputLimit_ = kDefaultOutputLimit;
  std::string lastText_;
  // A rescan or refresh the camera's text has queued since the last command was sent.
  bool rereadReplaced_ = false;
  // Mirrors the output box as bytes, one character each.
  std::string terminalText_;
};

} // namespace kelpax
