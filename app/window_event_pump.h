// Keeps the windows painting while a port scan or a binary transfer waits for the camera.
// Operator input is thrown away meanwhile, except a click on the Cancel button, which asks the
// running transfer to stop.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "camera/interfaces.h"

namespace kelpax {

class WindowEventPump : public QObject, public EventPump {
  Q_OBJECT

public:
  explicit WindowEventPump(QObject* parent = nullptr);

  // The one control that still takes clicks while the channel is busy.
  void setCancelButton(QWidget* button) { cancelButton_ = button; }
  // The transfer's abort request (the Cancel button, or the main window's abort message).
  void requestAbort() { abortRequested_ = true; }

  // Returns true once after an abort was requested.
  bool pumpEvents() override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QPointer<QWidget> cancelButton_;
  bool abortRequested_ = false;
  bool pumping_ = false;
};

} // namespace kelpax
