// The settings pages' edits.
#include "pages/edit_widgets.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "camera/parameter_cache.h"
#include "pages/page_rules.h"

namespace kelpax {
namespace {

bool isEnter(const QKeyEvent* event) {
  return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// Editing shortcuts that would change the text without typing a character.
bool changesTextWithoutTyping(const QKeyEvent* event) {
  return event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
         event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo);
}

// Whole wheel notches in the accumulated angle; the rest stays for the next event.
int takeNotches(int& angle, const QWheelEvent* event) {
  angle += event->angleDelta().y();
  const int notches = angle / 120;
  angle -= notches * 120;
  return notches;
}

} // namespace

CCustomEdit::CCustomEdit(QWidget* parent) : QLineEdit(parent) {
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setContextMenuPolicy(Qt::NoContextMenu);
  setAcceptDrops(false);
}

void CCustomEdit::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QLineEdit::mousePressEvent(event);
}

void CCustomEdit::keyPressEvent(QKeyEvent* event) {
  if (isEnter(event)) {
    onEnter();
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Escape) {
    if (onEscape())
      event->accept();
    else
      event->ignore(); // the page restores its values
    return;
  }
  if (event->key() == Qt::Key_Backspace) {
    // Lowered even below zero: a backspace followed by one character leaves the count at 0,
    // so leaving the field then commits nothing.
    QLineEdit::keyPressEvent(event);
    --typedCount_;
    return;
  }
  if (changesTextWithoutTyping(event)) {
    event->accept();
    return;
  }
  const QString text = event->text();
  if (text.isEmpty() || !text.at(0).isPrint()) {
    QLineEdit::keyPressEvent(event); // movement, selection, copy
    return;
  }
  if (text.size() == 1 && acceptsCharacter(text.at(0))) {
    QLineEdit::keyPressEvent(event);
    ++typedCount_;
    return;
  }
  event->accept();
}

void CCustomEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (typedCount_ > 0)
    onLeaveAfterTyping();
}

void CCustomEdit::selectAllShown() {
  // An edit without the focus shows no selection; it is selected once the focus arrives.
  if (hasFocus()) {
    selectAll();
    selectOnFocus_ = false;
  } else {
    deselect();
    selectOnFocus_ = true;
  }
}

void CCustomEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (selectOnFocus_) {
    selectAll();
    selectOnFocus_ = false;
  }
}

void CCustomEdit::postCommitted() {
  postNotification(notificationReceiver(this), Notification::ValueCommitted, controlId(), this);
}

CIntegerEdit::CIntegerEdit(QWidget* parent) : CCustomEdit(parent) {}

bool CIntegerEdit::acceptsCharacter(QChar c) const {
  return (c >= u'0' && c <= u'9') || c == u'+' || c == u'-';
}

void CIntegerEdit::setValueFromCode(int32_t value) {
  value_ = value;
  setText(QString::asprintf("%d", value));
  selectAllShown();
  resetTypedCount();
}

bool CIntegerEdit::takeText() {
  const int32_t typed = parseEditInteger(text().toStdString());
  resetTypedCount();
  if (rangeCheck_ && (typed > upper_ || typed < lower_)) {
    setValueFromCode(value_);
    return false;
  }
  setValueFromCode(typed);
  return true;
}

void CIntegerEdit::onEnter() {
  if (takeText())
    postCommitted();
}

void CIntegerEdit::onLeaveAfterTyping() {
  onEnter();
}

void CIntegerEdit::wheelEvent(QWheelEvent* event) {
  event->accept();
  const int notches = takeNotches(wheelAngle_, event);
  if (notches == 0)
    return;
  // No range check here: the page drops what lies outside its range.
  const int64_t moved = int64_t{value_} + int64_t{notches} * wheelStep_;
  setValueFromCode(static_cast<int32_t>(std::clamp<int64_t>(moved, INT32_MIN, INT32_MAX)));
  postCommitted();
}

CFloatEdit::CFloatEdit(QWidget* parent) : CCustomEdit(parent) {}

bool CFloatEdit::acceptsCharacter(QChar c) const {
  return (c >= u'0' && c <= u'9') || c == u'.' || c == u'-';
}

double CFloatEdit::value() const {
  return parseCacheReal(text().toStdString());
}

void CFloatEdit::setValueFromCode(double value, int decimals) {
  QString text = QString::asprintf("%f", value);
  // Cut, not rounded: 2.99 with one decimal shows 2.9.
  const qsizetype point = text.indexOf(u'.');
  if (decimals >= 0 && point >= 0)
    text.truncate(decimals == 0 ? point : point + 1 + decimals);
  setText(text);
  selectAllShown();
  resetTypedCount();
}

void CFloatEdit::onEnter() {
  resetTypedCount();
  postCommitted();
}

void CFloatEdit::onLeaveAfterTyping() {
  onEnter();
}

void CFloatEdit::wheelEvent(QWheelEvent* event) {
  event->accept();
  const int notches = takeNotches(wheelAngle_, event);
  if (notches == 0)
    return;
  setValueFromCode(value() + notches * wheelStep_);
  postCommitted();
}

CStringEdit::CStringEdit(QWidget* parent) : CCustomEdit(parent) {
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

bool CStringEdit::acceptsCharacter(QChar c) const {
  return c == u' ' || c == u'-' || (c >= u'(' && c <= u'~');
}

void CStringEdit::setTextFromCode(const QString& text) {
  committed_ = text;
  setText(text);
  selectAllShown();
  resetTypedCount();
}

void CStringEdit::onEnter() {
  committed_ = text();
  resetTypedCount();
  postCommitted();
}

void CStringEdit::onLeaveAfterTyping() {
  resetTypedCount();
  postCommitted();
}

bool CStringEdit::onEscape() {
  setText(committed_);
  selectAll();
  resetTypedCount();
  return true;
}

} // namespace kelpax
