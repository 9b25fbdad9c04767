// Notifications the custom controls post to their page: one event type whose kind and
// payload say what happened. They are always posted, so a control finishes its own event
// handling before the page sends a command.
#pragma once

#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace kelpax {

enum class Notification {
  ValueCommitted, // payload: control identifier of the edit
  SpinStepped,    // payload: 1 raise (up), 0 lower (down)
  SliderReleased, // payload: control identifier of the slider
  RefreshAll,     // no payload
  RadioClicked,   // no payload; the pressed button carries a pending mark
  ComboChanged,   // payload: control identifier; control: the combo box
  ButtonClicked,  // payload: control identifier; goes to the page's parent
};

class PageNotificationEvent : public QEvent {
public:
  PageNotificationEvent(Notification kind, int payload, QWidget* control)
      : QEvent(eventType()), kind_(kind), payload_(payload), control_(control) {}

  static QEvent::Type eventType();

  Notification kind() const { return kind_; }
  int payload() const { return payload_; }
  QWidget* control() const { return control_; }

private:
  Notification kind_;
  int payload_;
  QPointer<QWidget> control_;
};

// Queues a notification for `receiver`; nothing happens when there is no receiver.
void postNotification(QObject* receiver, Notification kind, int payload = 0,
                      QWidget* control = nullptr);

// Pages mark themselves so that controls inside group boxes still report to the page.
void markAsNotificationReceiver(QWidget* page);
// The nearest marked ancestor of a control, otherwise its parent.
QObject* notificationReceiver(const QWidget* control);

// The identifier a control reports with; pages give each control its own.
class ControlIdentity {
public:
  int controlId() const { return controlId_; }
  void setControlId(int id) { controlId_ = id; }

private:
  int controlId_ = 0;
};

} // namespace kelpax
