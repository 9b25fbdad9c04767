// nodeview-browse: the feature browser on a GenICam XML file, with the camera's registers kept
// in memory, so a camera description can be inspected without the camera.
//   nodeview-browse [--set NAME=VALUE]... [--list] [--save-json FILE] [--check]
//                   [--screenshot PNG] [--verbose] XMLFILE
// --list, --save-json and --check make no window: they walk the feature tree directly.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "GenApi/EngineWalk.h"
#include "GenApi/GenApi.h"
#include "app/crash_handler.h"
#include "app/crash_message_box.h"
#include "nodeview/feature_file.h"
#include "nodeview/feature_tree.h"
#include "nodeview/library_state.h"
#include "nodeview/main_frame.h"
#include "nodeview/nodeview.h"

namespace {

const char kUsage[] =
    "usage: nodeview-browse [--set NAME=VALUE]... [--list] [--save-json FILE] [--check]\n"
    "                       [--screenshot PNG] [--verbose] XMLFILE\n"
    "  --set NAME=VALUE  give a feature a value first, as a feature file would\n"
    "  --list            print the feature tree as text and exit\n"
    "  --save-json FILE  write the features to a JSON feature file and exit\n"
    "  --check           print one line: the rows shown, the features the GenICam engine\n"
    "                    shows that have no row, and whether a JSON round trip into a\n"
    "                    second camera gives the same file\n"
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

// A description loaded into a node map over registers in memory.
struct Camera {
  GenApi::CNodeMapRef map{"Device"};
  std::unique_ptr<GenApi::MemoryPort> port;
};

// Gives the reason when the description cannot be opened.
std::string openCamera(const std::string& xml, Camera& camera) {
  try {
    camera.map._LoadXMLFromString(xml);
    camera.port = GenApi::MemoryPort::ForXml(xml);
    if (!camera.map._Connect(camera.port.get(), "Device")) {
      return "the description has no port named Device";
    }
    // File access whose registers lie at computed addresses: laid out through the node map.
    // A camera whose layout cannot be worked out offline is still browsed, without files.
    if (!camera.port->emulatesFileAccess() && camera.map._GetNode("FileOperationExecute")) {
      try {
        camera.port->emulateFileAccess(GenApi::FileAccessLayout::FromNodeMap(*camera.map._Ptr));
      } catch (const GenICam::GenericException&) {
      }
    }
  } catch (const GenICam::GenericException& e) {
    return e.GetDescription();
  }
  return {};
}

// Prints the tree's notes: errors always, the rest with --verbose; counts the errors.
struct Printer {
  bool verbose = false;
  bool quiet = false;
  int errors = 0;
  nodeview::TreeHooks hooks() {
    nodeview::TreeHooks h;
    h.notify = [this](const char* category, const std::string& line) {
      bool error = std::strcmp(category, "Error") == 0;
      errors += error;
      if (!quiet && (error || verbose)) {
        std::fprintf(stderr, "%s: %s\n", category, line.c_str());
      }
    };
    return h;
  }
};

// Gives every writable feature a value other than the one it has, within its range, so a
// round trip has something to restore. Features that lock others (TLParamsLocked) keep
// theirs: a camera saved locked cannot be loaded, by design.
void changeEveryValue(GenApi::CNodeMapRef& map, nodeview::FeatureTree& tree) {
  using nodeview::RowKind;
  std::set<std::string> locks;
  GenApi::NodeList_t nodes;
  map._GetNodes(nodes);
  for (GenApi::INode* node : nodes) {
    std::string lock = node->GetPropertyText("pIsLocked");
    if (!lock.empty()) {
      locks.insert(lock);
    }
  }
  for (nodeview::PropertyRow* row : tree.properties()) {
    if (!row->enabled || locks.count(row->name)) {
      continue;
    }
    // An enumeration whose register holds no entry's value gets its first entry.
    if (row->kind == RowKind::Enumeration && row->unreadable && !row->options.empty()) {
      tree.writeRow(*row, row->options.front());
      continue;
    }
    if (!row->readable || row->unreadable) {
      continue;
    }
    std::string text;
    switch (row->kind) {
    case RowKind::Integer:
    case RowKind::IntegerSlider:
    case RowKind::IntegerText:
      // Wide arithmetic: a range may be the whole of int64_t.
      if (row->intInc > 0 && __int128(row->intMax) - row->intMin >= row->intInc) {
        std::int64_t v = row->intValue == row->intMin ? row->intMin + row->intInc : row->intMin;
        // Address rows take their own text form.
        text = row->kind == RowKind::IntegerText
                   ? nodeview::formatInteger(row->display, v, row->name)
                   : std::to_string(v);
      }
      break;
    case RowKind::Float:
    case RowKind::FloatSlider:
      if (row->floatMax > row->floatMin && row->floatMax - row->floatMin < 1e12) {
        text = nodeview::formatFloat(row->floatMin + (row->floatMax - row->floatMin) / 4);
      }
      break;
    case RowKind::Boolean:
      text = row->checked ? "0" : "1";
      break;
    case RowKind::Enumeration:
      for (auto it = row->options.rbegin(); it != row->options.rend(); ++it) {
        if (*it != row->text) {
          text = *it;
          break;
        }
      }
      break;
    case RowKind::String:
    case RowKind::Command:
    case RowKind::Group:
      break;
    }
    if (!text.empty()) {
      tree.writeRow(*row, text);
    }
  }
}

// One line about the description: see the usage text.
int check(const std::string& xml, Camera& camera, const Printer& printer) {
  Printer quiet = printer;
  quiet.quiet = !printer.verbose;
  nodeview::FeatureTree tree(quiet.hooks());
  tree.setNodeMap(&camera.map);
  tree.rebuild();
  std::set<std::string> rows;
  for (const nodeview::PropertyRow* row : tree.properties()) {
    rows.insert(row->name);
  }

  // What the bare engine shows, on registers of its own.
  std::size_t missing = 0, registers = 0, booleans = 0, chains = 0, other = 0;
  std::string others;
  auto enginePort = GenApi::MemoryPort::ForXml(xml);
  for (const std::string& name : GenApi::EngineImplementedFeatures(xml, enginePort.get())) {
    if (rows.count(name)) {
      continue;
    }
    ++missing;
    GenApi::INode* node = camera.map._GetNode(name);
    auto type = node ? node->GetPrincipalInterfaceType() : GenApi::intfIBase;
    auto* integer = dynamic_cast<GenApi::IInteger*>(node);
    if (type == GenApi::intfIRegister || type == GenApi::intfIPort || type == GenApi::intfIValue) {
      ++registers; // the grid has no row kind for raw registers and ports
    } else if (integer && integer->GetRepresentation() == GenApi::Boolean) {
      ++booleans; // integers shown as booleans get no row
    } else if (node && node->GetAccessMode() == GenApi::NI) {
      // A feature is no more implemented than the node holding its value; the engine looks at
      // the feature's own pIsImplemented only.
      ++chains;
    } else {
      ++other;
      others += (others.empty() ? "" : ",") + name;
    }
  }

  // Round trip: change every value, save, load the file into a second camera, save again.
  changeEveryValue(camera.map, tree);
  tree.rebuild(); // rows a change made unavailable show so
  std::string saved = nodeview::featureFileJson(tree.collectItems());
  Camera second;
  std::string why = openCamera(xml, second);
  bool equal = false;
  if (why.empty()) {
    nodeview::FeatureTree secondTree(quiet.hooks());
    secondTree.setNodeMap(&second.map);
    secondTree.rebuild();
    auto read = nodeview::parseFeatureFileJson(saved);
    secondTree.applyItems(read.items);
    secondTree.rebuild();
    std::string again = nodeview::featureFileJson(secondTree.collectItems());
    equal = read.error.empty() && again == saved;
    if (!equal && printer.verbose) {
      std::fprintf(stderr, "first save:\n%s\nafter the round trip:\n%s\n", saved.c_str(),
                   again.c_str());
    }
  }
  std::size_t members = nodeview::parseFeatureFileJson(saved).items.size();
  std::printf("loaded rows=%zu missing=%zu (registers=%zu boolean=%zu value-not-implemented=%zu "
              "other=%zu%s%s) roundtrip=%s members=%zu errors=%d\n",
              rows.size(), missing, registers, booleans, chains, other, others.empty() ? "" : ": ",
              others.c_str(), equal ? "equal" : "DIFFERENT", members, quiet.errors);
  return other == 0 && equal ? 0 : 1;
}

int batch(const std::string& xmlPath, Camera& camera,
          const std::vector<nodeview::FeatureItem>& settings, bool list,
          const std::string& jsonPath, Printer& printer) {
  nodeview::FeatureTree tree(printer.hooks());
  tree.setNodeMap(&camera.map);
  tree.rebuild();
  int status = 0;
  if (!settings.empty()) {
    for (const auto& setting : settings) {
      if (!camera.map._GetNode(setting.name)) {
        std::fprintf(stderr, "nodeview-browse: %s has no feature %s\n", xmlPath.c_str(),
                     setting.name.c_str());
        return 2;
      }
    }
    int errorsBefore = printer.errors;
    tree.applyItems(settings);
    if (printer.errors > errorsBefore) {
      status = 1;
    }
    tree.rebuild();
  }
  if (list) {
    std::string text = nodeview::featureListing(tree.collectItems());
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
  }
  if (!jsonPath.empty()) {
    std::string failure =
        nodeview::writeFileReplacing(jsonPath, nodeview::featureFileJson(tree.collectItems()));
    if (!failure.empty()) {
      std::fprintf(stderr, "nodeview-browse: %s\n", failure.c_str());
      status = 1;
    }
  }
  return status;
}

} // namespace

int main(int argc, char** argv) {
  if (std::optional<int> shown = kelpax::showCrashMessageIfAsked(argc, argv))
    return *shown;
  bool list = false;
  bool verbose = false;
  bool checkOnly = false;
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
    } else if (arg == "--check") {
      checkOnly = true;
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

  std::string xml;
  std::string error = nodeview::readWholeFile(xmlPath, xml, GenICam::kMaxDescriptionBytes);
  if (!error.empty()) {
    std::fprintf(stderr, "nodeview-browse: %s\n", error.c_str());
    return 1;
  }
  Camera camera;
  error = openCamera(xml, camera);
  if (!error.empty()) {
    if (checkOnly) {
      std::printf("refused: %s\n", error.c_str());
    }
    std::fprintf(stderr, "nodeview-browse: %s: %s\n", xmlPath.c_str(), error.c_str());
    return 1;
  }
  Printer printer;
  printer.verbose = verbose;
  if (checkOnly) {
    return check(xml, camera, printer);
  }
  if ((list || !jsonPath.empty()) && screenshotPath.empty()) {
    return batch(xmlPath, camera, settings, list, jsonPath, printer);
  }

  QApplication app(argc, argv);
  bool picture = !screenshotPath.empty();
  if (!picture) {
    kelpax::CrashHandlerOptions crash;
    crash.dumpName = "NodeviewDump.dmp";
    crash.showMessageBox = QGuiApplication::platformName() != QLatin1String("offscreen");
    kelpax::installCrashHandler(crash);
  }
  Owner owner;
  owner.verbose = verbose;
  QWidget* window = RunDevicePropertyEx(&camera.map, &owner);
  auto* frame = nodeview::currentFrame();
  if (!window || !frame) {
    std::fputs("nodeview-browse: the browser window could not be made\n", stderr);
    return 1;
  }
  int status = 0;
  if (!settings.empty()) {
    nodeview::CPropertiesViewBar* pane = frame->devicePane();
    for (const auto& setting : settings) {
      if (!camera.map._GetNode(setting.name)) {
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
  if (picture) {
    for (int i = 0; i < 20; ++i) {
      QApplication::processEvents();
    }
    if (!window->grab().save(QString::fromStdString(screenshotPath))) {
      std::fprintf(stderr, "nodeview-browse: cannot write %s\n", screenshotPath.c_str());
      status = 1;
    }
  } else {
    QuitOnHide quit;
    window->installEventFilter(&quit);
    status = app.exec();
  }
  nodeview::destroyFrame();
  return status;
}
