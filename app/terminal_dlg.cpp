// The serial terminal window and its output box.
#include "app/terminal_dlg.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>

#include "pages/page_notification.h"

namespace kelpax {
namespace {

// Received bytes are shown one character each.
QString shownText(std::string_view bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string withoutCarriageReturns(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::copy_if(text.begin(), text.end(), std::back_inserter(out), [](char c) { return c != '\r'; });
  return out;
}

bool isEnter(const QKeyEvent* event) {
  return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

CTerminalEdit::CTerminalEdit(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setTextInteractionFlags(Qt::NoTextInteraction);
  setUndoRedoEnabled(false);
  setAcceptDrops(false);
  setContextMenuPolicy(Qt::NoContextMenu);
  setFocusPolicy(Qt::NoFocus);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void CTerminalEdit::appendFromProgram(const QString& text) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(text);
}

void CTerminalEdit::setTextFromProgram(const QString& text) {
  setPlainText(text);
}

void CTerminalEdit::showEnd() {
  moveCursor(QTextCursor::End);
  ensureCursorVisible();
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CTerminalEdit::keyPressEvent(QKeyEvent* event) {
  event->accept();
}

void CTerminalEdit::inputMethodEvent(QInputMethodEvent* event) {
  event->accept();
}

void CTerminalEdit::mousePressEvent(QMouseEvent* event) {
  event->accept();
}

void CTerminalEdit::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
}

void CTerminalEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
}

void CTerminalEdit::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
}

bool CTerminalEdit::canInsertFromMimeData(const QMimeData*) const {
  return false;
}

void CTerminalEdit::insertFromMimeData(const QMimeData*) {}

CTerminal::CTerminal(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("Terminal"));
  // The input line's commits stop here instead of reaching the main window's pages.
  markAsNotificationReceiver(this);

  output_ = new CTerminalEdit(this);
  input_ = new CStringEdit(this);
  send_ = new QPushButton(QStringLiteral("Send"), this);
  clear_ = new QPushButton(QStringLiteral("Clear"), this);
  close_ = new QPushButton(QStringLiteral("X"), this);
  input_->installEventFilter(this);

  auto* row = new QHBoxLayout;
  row->addWidget(input_, 1);
  row->addWidget(send_);
  row->addWidget(clear_);
  row->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(output_, 1);
  layout->addLayout(row);
  resize(600, 200);

  connect(send_, &QPushButton::clicked, this, &CTerminal::SendTerminalCommand);
  connect(clear_, &QPushButton::clicked, this, &CTerminal::clearOutput);
  connect(close_, &QPushButton::clicked, this, [this] {
    hide();
    Q_EMIT closed();
  });

  for (QTimer* timer : {&refreshTimer_, &changePortTimer_}) {
    timer->setSingleShot(true);
    timer->setInterval(kActionDelayMs);
  }
  connect(&refreshTimer_, &QTimer::timeout, this, &CTerminal::refreshRequested);
  connect(&changePortTimer_, &QTimer::timeout, this, &CTerminal::changePortRequested);
}

void CTerminal::setOutputLimit(std::size_t limit) {
  outputLimit_ = std::max<std::size_t>(limit, 1);
}

void CTerminal::appendReceived(const std::string& text) {
  const std::string check = checkStringOf(text);
  if (feedTerminalText(terminalText_, text, outputLimit_) > 0)
    output_->setTextFromProgram(shownText(terminalText_)); // the front was trimmed: refill
  else
    output_->appendFromProgram(shownText(withoutCarriageReturns(text)));

  act(terminalActionFor(check, modelName_ ? modelName_() : std::string()));

  lastText_ = text;
  output_->showEnd();
}

void CTerminal::act(TerminalAction action) {
  if (actionReplacesReread(action))
    rereadReplaced_ = true;
  if (actionEmptiesOutput(action))
    clearOutput();
  switch (action) {
  case TerminalAction::None:
    break;
  case TerminalAction::TuningMode:
    queueSignal(&CTerminal::tuningModeRequested);
    break;
  case TerminalAction::FactoryMode:
    queueSignal(&CTerminal::factoryModeRequested);
    break;
  case TerminalAction::ColorCalibration:
    queueSignal(&CTerminal::colorCalibrationRequested);
    break;
  case TerminalAction::Stitch:
    queueSignal(&CTerminal::stitchRequested);
    break;
  // The latest camera text decides: a pending refresh would query a port that the scan is
  // about to close, and a pending scan would drop a camera that has just said who it is.
  case TerminalAction::Refresh:
    changePortTimer_.stop();
    refreshTimer_.start();
    break;
  case TerminalAction::ChangePort:
    refreshTimer_.stop();
    changePortTimer_.start();
    break;
  }
}

void CTerminal::queueSignal(void (CTerminal::*signal)()) {
  // Emitting is calling the signal; dropped when the terminal is gone first.
  auto emitLater = [this, signal] { (this->*signal)(); };
  QMetaObject::invokeMethod(this, emitLater, Qt::QueuedConnection);
}

void CTerminal::clearOutput() {
  terminalText_.clear();
  output_->setTextFromProgram(QString());
}

void CTerminal::SendTerminalCommand() {
  const std::string command = input_->text().toLatin1().toStdString();
  rereadReplaced_ = false;
  // A rate change or start-up text in the answer has queued its own rescan or refresh.
  if (sender_ && sender_(command) && !rereadReplaced_)
    Q_EMIT pagesRereadRequested();
  // Typing the next command replaces this one.
  input_->setFocus();
  input_->selectAll();
}

bool CTerminal::event(QEvent* event) {
  // The input line reports Enter and leaving after typing; only Enter sends, and that is
  // caught before the line handles the key.
  if (event->type() == PageNotificationEvent::eventType())
    return true;
  return QWidget::event(event);
}

bool CTerminal::eventFilter(QObject* watched, QEvent* event) {
  if (watched == input_ && event->type() == QEvent::KeyPress &&
      isEnter(static_cast<QKeyEvent*>(event))) {
    // Queued, so the line first takes the text as committed (Escape restores it).
    QMetaObject::invokeMethod(this, &CTerminal::SendTerminalCommand, Qt::QueuedConnection);
  }
  return QWidget::eventFilter(watched, event);
}

} // namespace kelpax
