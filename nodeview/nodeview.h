// The feature browser library's exports: one "DeviceProperty" window per process that shows a
// camera's node map as a property grid. The caller keeps ownership of its node map.
#pragma once

#include <QEvent>

class QWidget;

namespace GenApi {
class CNodeMapRef;
class IPort;
} // namespace GenApi

#define NODEVIEW_EXPORT __attribute__((visibility("default")))

// The notification the browser sends its owner window, synchronously (QCoreApplication::
// sendEvent): a category ("Info" or "Error") and a line. Both texts are valid only during the
// call. The owner answers by accepting the event.
inline constexpr int kNodeviewNotifyEvent = QEvent::User + 0x3439;

class NodeviewNotifyEvent : public QEvent {
public:
  NodeviewNotifyEvent(const char* category, const char* line)
      : QEvent(QEvent::Type(kNodeviewNotifyEvent)), category_(category), line_(line) {}
  const char* category() const { return category_; }
  const char* line() const { return line_; }

private:
  const char* category_;
  const char* line_;
};

extern "C" {

// Shows the browser on the caller's node map (null hides it) and remembers the owner that
// receives the notifications. Returns the browser window, or null when it cannot be made.
NODEVIEW_EXPORT QWidget* RunDevicePropertyEx(GenApi::CNodeMapRef* nodeMap, QWidget* owner);

// Builds the library's own node map ("Device") from XML text and connects it to the port.
NODEVIEW_EXPORT QWidget* RunDeviceProperty(const char* xml, GenApi::IPort* port,
                                           const char* portName);

// Device, interface and stream node maps in three tabs; the stream port may be null.
NODEVIEW_EXPORT QWidget* RunDeviceProperty_CXP(const char* deviceXml, GenApi::IPort* devicePort,
                                               const char* devicePortName, const char* interfaceXml,
                                               GenApi::IPort* interfacePort,
                                               const char* interfacePortName, const char* streamXml,
                                               GenApi::IPort* streamPort,
                                               const char* streamPortName);

// Ends every in-place edit keeping what was typed, then gives the browser the focus.
NODEVIEW_EXPORT void SetEnterKey();

// The library's own module handle (from dlopen), for callers that load its resources.
NODEVIEW_EXPORT void* GetDevicePropertyInstance();

} // extern "C"

// The one-pointer form: ignores its argument and returns the current browser window.
NODEVIEW_EXPORT QWidget* RunDevicePropertyEx(void* ignored);
