// nodeview-browse: the feature browser on a GenICam XML file, with the camera's registers kept
// in memory, so a camera description can be inspected without the camera.
//   nodeview-browse [--set NAME=VALUE]... [--list] [--save-json FILE] [--screenshot PNG]
//                   [--verbose] XMLFILE
#include <QApplication>
#include <QTreeView>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "GenApi/GenApi.h"
#include "app/crash_handler.h"
#include "app/crash_message_box.h"
#include "nodeview/feature_file.h"
#include "nodeview/library_state.h"
#include "nodeview/main_frame.h"
#include "nodeview/nodeview.h"

namespace {

const char kUsage[] =
    "usage: nodeview-browse [--set NAME=VALUE]... [--list] [--save-json FILE] [--screenshot PNG]\n"
    "                       [--verbose] XMLFILE\n"
    "  --set NAME=VALUE  give a feature a value first, as a feature file would\n"
    "  --list            print the feature tree as text and exit\n"
    "  --save-json FILE  write the features to a JSON feature file and exit\n"
    "  --screenshot PNG  save a picture of the window and exit\n"
    "  --verbose         print the browser's Info lines too (Error lines are always printed)\n";

// Stands in for the owner window: prints what the browser reports.
class Owner : public QWidget {
public:
  bool verbose = false;
  int errors = 0;

protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::Type(kNodeviewNotifyEvent)) {
      auto* note = static_cast<NodeviewNotifyEvent*>(event);
      bool error = std::strcmp(note->category(), "Error") == 0;
      errors += error;
      if (error || verbose) {
        std::fprintf(stderr, "%s: %s\n", note->category(), note->line());
      }
      return true;
    }
    return QWidget::event(event);
  }
};

// Ends the program when the browser window, which only hides on close, is hidden.
class QuitOnHide : public QObject {
protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) {
      QCoreApplication::quit();
    }
    return QObject::eventFilter(watched, event);
  }
};

} // namespace

int main(int argc, char** argv) {
  if (std::optional<int> shown = kelpax::showCrashMessageIfAsked(argc, argv))
    return *shown;
  bool list = false;
  bool verbose = false;
  std::string jsonPath;
  std::string screenshotPath;
  std::string xmlPath;
  std::vector<nodeview::FeatureItem> settings;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--list") {
      list = true;
    } else if (arg == "--verbose") {
      verbose = true;
    } else if ((arg == "--save-json" || arg == "--screenshot") && i + 1 < argc) {
      (arg == "--save-json" ? jsonPath : screenshotPath) = argv[++i];
    } else if (arg == "--set" && i + 1 < argc) {
      std::string setting = argv[++i];
      auto equals = setting.find('=');
      if (equals == std::string::npos || equals == 0) {
        std::fprintf(stderr, "nodeview-browse: --set needs NAME=VALUE, not '%s'\n",
                     setting.c_str());
        return 2;
      }
      settings.push_back(
          {setting.substr(0, equals), setting.substr(equals + 1), false, "", "", "RW"});
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!arg.empty() && arg[0] != '-' && xmlPath.empty()) {
      xmlPath = arg;
    } else {
      std::fprintf(stderr, "nodeview-browse: unexpected argument '%s'\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  if (xmlPath.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  bool batch = list || !jsonPath.empty();
  if (batch && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }

  std::string xml;
  std::string error = nodeview::readWholeFile(xmlPath, xml);
  if (!error.empty()) {
    std::fprintf(stderr, "nodeview-browse: %s\n", error.c_str());
    return 1;
  }
  GenApi::CNodeMapRef nodeMap("Device");
  std::unique_ptr<GenApi::MemoryPort> port;
  try {
    nodeMap._LoadXMLFromString(xml);
    port = GenApi::MemoryPort::ForXml(xml);
    if (!nodeMap._Connect(port.get(), "Device")) {
      std::fprintf(stderr, "nodeview-browse: %s: the description has no port named Device\n",
                   xmlPath.c_str());
      return 1;
    }
  } catch (const GenICam::GenericException& e) {
    std::fprintf(stderr, "nodeview-browse: %s: %s\n", xmlPath.c_str(), e.GetDescription());
    return 1;
  }

  QApplication app(argc, argv);
  if (!batch) {
    kelpax::CrashHandlerOptions crash;
    crash.dumpName = "NodeviewDump.dmp";
    crash.showMessageBox = QGuiApplication::platformName() != QLatin1String("offscreen");
    kelpax::installCrashHandler(crash);
  }
  Owner owner;
  owner.verbose = verbose;
  QWidget* window = RunDevicePropertyEx(&nodeMap, &owner);
  auto* frame = nodeview::currentFrame();
  if (!window || !frame) {
    std::fputs("nodeview-browse: the browser window could not be made\n", stderr);
    return 1;
  }
  int status = 0;
  if (!settings.empty()) {
    nodeview::CPropertiesViewBar* pane = frame->devicePane();
    for (const auto& setting : settings) {
      if (!nodeMap._GetNode(setting.name)) {
        std::fprintf(stderr, "nodeview-browse: %s has no feature %s\n", xmlPath.c_str(),
                     setting.name.c_str());
        nodeview::destroyFrame();
        return 2;
      }
    }
    int errorsBefore = owner.errors;
    pane->tree().applyItems(settings);
    if (owner.errors > errorsBefore) {
      status = 1;
    }
    pane->refreshCommand();
  }
  if (list) {
    std::string text = nodeview::featureListing(frame->devicePane()->tree().collectItems());
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
  }
  if (!jsonPath.empty()) {
    QString failure = frame->devicePane()->saveJson(QString::fromStdString(jsonPath));
    if (!failure.isEmpty()) {
      status = 1;
    }
  }
  if (!screenshotPath.empty()) {
    for (int i = 0; i < 20; ++i) {
      QApplication::processEvents();
    }
    if (!window->grab().save(QString::fromStdString(screenshotPath))) {
      std::fprintf(stderr, "nodeview-browse: cannot write %s\n", screenshotPath.c_str());
      status = 1;
    }
  }
  if (!batch && screenshotPath.empty()) {
    QuitOnHide quit;
    window->installEventFilter(&quit);
    status = app.exec();
  }
  nodeview::destroyFrame();
  return status;
}
