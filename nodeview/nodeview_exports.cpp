// The library's exported functions and its process-wide state: one browser window, the
// owner that hears its notifications, and the node maps the library builds itself.
#include <QApplication>
#include <QPointer>
#include <memory>

#include <dlfcn.h>

#include "app/crash_handler.h"
#include "nodeview/library_state.h"
#include "nodeview/main_frame.h"
#include "nodeview/nodeview.h"
#include "nodeview/nodeview_log.h"

namespace nodeview {
namespace {

struct LibraryState {
  QPointer<CMainFrame> frame;
  bool frameLoaded = false;
  QPointer<QWidget> owner;
  std::unique_ptr<GenApi::CNodeMapRef> device;
  std::unique_ptr<GenApi::CNodeMapRef> interface;
  std::unique_ptr<GenApi::CNodeMapRef> stream;
  std::string xml;
  std::string portName;
};

// Defined before the application object, so it is destroyed after it: the application
// object's exit work still finds the state.
LibraryState libraryState;

LibraryState& state() {
  return libraryState;
}

// Creates the frame on first use; a frame of the other kind is replaced.
template <class Frame> CMainFrame* ensureFrame() {
  LibraryState& s = state();
  if (s.frame && !qobject_cast<Frame*>(s.frame.data()) && std::is_same_v<Frame, CCXPMainFrame>) {
    destroyFrame();
  }
  if (!s.frame) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
      NODEVIEW_LOG(kLogError, "InitInstance %X", 0u);
      NODEVIEW_LOG(kLogError, "m_pMainWnd == NULL");
      return nullptr;
    }
    auto* frame = new Frame();
    s.frameLoaded = true;
    if (!frame->LoadFrame()) {
      NODEVIEW_LOG(kLogError, "LoadFrame Failed %X", 0u);
      delete frame;
      return nullptr;
    }
    s.frame = frame;
  }
  return s.frame;
}

void showOnTop(CMainFrame* frame) {
  frame->show();
  frame->raise();
  frame->activateWindow();
}

void reportException(const char* where, const char* text) {
  debugLinef("%s Exception : %.256s\n", where, text);
}

// The debug line for the exception being handled; call it only from a catch block.
void reportSdkException() {
  try {
    throw;
  } catch (const GenICam::GenericException& e) {
    debugLinef("[Quorvane SDK Exception] : %s\n", e.GetDescription());
  } catch (const std::exception& e) {
    debugLinef("[Quorvane SDK Exception] : %s\n", e.what());
  } catch (...) {
    debugLine("[Quorvane SDK Exception] : Unknown Exception.\n");
  }
}

// The library's application object: installs the crash handler when the library is loaded
// and lets go of what the library owns when it is unloaded.
class CNodeviewApp {
public:
  CNodeviewApp() {
    kelpax::CrashHandlerOptions crash;
    crash.dumpName = "NodeviewDump.dmp";
    // The host program decides about message boxes: only it knows the crash-message argument.
    crash.showMessageBox = false;
    kelpax::installCrashHandler(crash);
  }
  ~CNodeviewApp() {
    releaseLibraryNodeMaps();
    debugLine("CNodeviewApp::ExitInstance\n");
  }
};

CNodeviewApp theApp;

} // namespace

CMainFrame* currentFrame() {
  return state().frame;
}

void destroyFrame() {
  LibraryState& s = state();
  if (!s.frame) {
    return;
  }
  if (QCoreApplication::instance()) {
    delete s.frame.data();
  } else {
    // Without an application object windows cannot be deleted; at least let go of the node
    // maps' callbacks before the maps go.
    for (auto* pane : {s.frame->devicePane(), s.frame->interfacePane(), s.frame->streamPane()}) {
      if (pane) {
        pane->tree().clear();
      }
    }
  }
  s.frame.clear();
}

void releaseLibraryNodeMaps() {
  destroyFrame();
  LibraryState& s = state();
  s.device.reset();
  s.interface.reset();
  s.stream.reset();
  s.xml.clear();
  s.portName.clear();
}

} // namespace nodeview

using namespace nodeview;

extern "C" QWidget* RunDevicePropertyEx(GenApi::CNodeMapRef* nodeMap, QWidget* owner) {
  CMainFrame* frame = nullptr;
  try {
    state().owner = owner;
    frame = ensureFrame<CMainFrame>();
    if (!frame) {
      NODEVIEW_LOG(kLogError, "pMainFrame == NULL");
      return nullptr;
    }
    frame->setOwner(owner);
    frame->moduleData(0)->nodeMap = nodeMap;
    if (nodeMap) {
      showOnTop(frame);
    } else {
      debugLine(" pNodeMap is Null ");
      frame->hide();
    }
    frame->LoadPropList();
    return frame;
  } catch (const GenICam::GenericException& e) {
    reportException("DeviceProperty CWnd* RunDevicePropertyEx(CNodeMapRef* pNodeMap)",
                    e.GetDescription());
  } catch (const std::exception& e) {
    reportException("DeviceProperty CWnd* RunDevicePropertyEx(CNodeMapRef* pNodeMap)", e.what());
  } catch (...) {
    debugLine("[Quorvane SDK Exception] : Unknown Exception.\n");
  }
  return nullptr;
}

QWidget* RunDevicePropertyEx(void*) {
  return currentFrame();
}

// Builds a node map ("Device") from XML text and connects it; throws what the layer throws.
static std::unique_ptr<GenApi::CNodeMapRef> buildNodeMap(const char* xml, GenApi::IPort* port,
                                                         const char* portName) {
  auto map = std::make_unique<GenApi::CNodeMapRef>("Device");
  map->_LoadXMLFromString(xml ? xml : "");
  if (port && !map->_Connect(port, portName ? portName : "Device")) {
    throw GenICam::RuntimeException(std::string("no port named ") + (portName ? portName : ""));
  }
  return map;
}

extern "C" QWidget* RunDeviceProperty(const char* xml, GenApi::IPort* port, const char* portName) {
  try {
    CMainFrame* frame = ensureFrame<CMainFrame>();
    if (!frame) {
      NODEVIEW_LOG(kLogError, "pMainFrame == NULL");
      return nullptr;
    }
    LibraryState& s = state();
    s.xml = xml ? xml : "";
    s.portName = portName ? portName : "";
    auto map = buildNodeMap(xml, port, portName);
    frame->moduleData(0)->nodeMap = map.get();
    showOnTop(frame);
    frame->LoadPropList();
    s.device = std::move(map); // the old map goes only after the pane let go of it
    return frame;
  } catch (...) {
    reportSdkException();
  }
  return nullptr;
}

extern "C" QWidget* RunDeviceProperty_CXP(const char* deviceXml, GenApi::IPort* devicePort,
                                          const char* devicePortName, const char* interfaceXml,
                                          GenApi::IPort* interfacePort,
                                          const char* interfacePortName, const char* streamXml,
                                          GenApi::IPort* streamPort, const char* streamPortName) {
  try {
    CMainFrame* frame = ensureFrame<CCXPMainFrame>();
    if (!frame) {
      NODEVIEW_LOG(kLogError, "pMainFrame == NULL");
      return nullptr;
    }
    LibraryState& s = state();
    auto device = buildNodeMap(deviceXml, devicePort, devicePortName);
    auto interface = buildNodeMap(interfaceXml, interfacePort, interfacePortName);
    std::unique_ptr<GenApi::CNodeMapRef> stream;
    if (streamPort) {
      stream = buildNodeMap(streamXml, streamPort, streamPortName);
    }
    frame->moduleData(0)->nodeMap = device.get();
    frame->moduleData(1)->nodeMap = interface.get();
    frame->moduleData(2)->nodeMap = stream.get();
    showOnTop(frame);
    frame->LoadPropList();
    s.device = std::move(device);
    s.interface = std::move(interface);
    s.stream = std::move(stream);
    return frame;
  } catch (...) {
    reportSdkException();
  }
  return nullptr;
}

extern "C" void SetEnterKey() {
  try {
    if (CMainFrame* frame = currentFrame()) {
      frame->SetEnterKey();
    }
  } catch (...) {
    debugLine("[Quorvane SDK Exception] : Unknown Exception.\n");
  }
}

extern "C" void* GetDevicePropertyInstance() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&GetDevicePropertyInstance), &info) == 0 ||
      !info.dli_fname) {
    return nullptr;
  }
  // Already loaded: this only finds the handle (and is balanced at once).
  void* handle = ::dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (handle) {
    ::dlclose(handle);
  }
  return handle;
}
