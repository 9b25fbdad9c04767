// Event pumping for long waits on the camera.
#include "app/window_event_pump.h"

#include <QCoreApplication>
#include <QEvent>

namespace kelpax {
namespace {

bool isOperatorInput(QEvent::Type type) {
  switch (type) {
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonRelease:
  case QEvent::MouseButtonDblClick:
  case QEvent::KeyPress:
  case QEvent::KeyRelease:
  case QEvent::Shortcut:
  case QEvent::ShortcutOverride:
  case QEvent::Wheel:
  case QEvent::ContextMenu:
  case QEvent::Drop:
    return true;
  default:
    return false;
  }
}

} // namespace

WindowEventPump::WindowEventPump(QObject* parent) : QObject(parent) {}

bool WindowEventPump::pumpEvents() {
  if (!pumping_) {
    pumping_ = true;
    QCoreApplication::instance()->installEventFilter(this);
    // A short slice: the wait goes on reading the port between slices.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::instance()->removeEventFilter(this);
    pumping_ = false;
  }
  const bool abort = abortRequested_;
  abortRequested_ = false;
  return abort;
}

bool WindowEventPump::eventFilter(QObject* watched, QEvent* event) {
  if (!pumping_ || !isOperatorInput(event->type()))
    return false;
  QWidget* target = qobject_cast<QWidget*>(watched);
  if (cancelButton_ && target && cancelButton_->isVisible() &&
      (target == cancelButton_ || cancelButton_->isAncestorOf(target))) {
    if (event->type() == QEvent::MouseButtonRelease)
      abortRequested_ = true;
    return false;
  }
  // Dropped: a button pressed now would start a second exchange on the busy port.
  return true;
}

} // namespace kelpax
