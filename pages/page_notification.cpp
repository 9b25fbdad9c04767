// Notifications the custom controls post to their page.
#include "pages/page_notification.h"

#include <QCoreApplication>

namespace kelpax {
namespace {
constexpr const char* kReceiverProperty = "kelpaxNotificationReceiver";
}

QEvent::Type PageNotificationEvent::eventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void postNotification(QObject* receiver, Notification kind, int payload, QWidget* control) {
  if (receiver)
    QCoreApplication::postEvent(receiver, new PageNotificationEvent(kind, payload, control));
}

void markAsNotificationReceiver(QWidget* page) {
  page->setProperty(kReceiverProperty, true);
}

QObject* notificationReceiver(const QWidget* control) {
  for (QWidget* w = control->parentWidget(); w; w = w->parentWidget()) {
    if (w->property(kReceiverProperty).toBool())
      return w;
  }
  return control->parentWidget();
}

} // namespace kelpax
