// The genicam verbs: the same open as the GenICam window, the browser's tree and feature files.
#include "cli/genicam_command.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "GenApi/GenApi.h"
#include "genicam/genicam_connection.h"
#include "nodeview/feature_file.h"
#include "nodeview/feature_tree.h"
#include "nqx/nqx.h"

namespace kelpax {
namespace {

struct GenICamOptions {
  std::string port;  // the port's name as the port list shows it
  std::string model; // the device's name; empty takes the first device on the port
  bool com = false;  // a PC serial port rather than a frame-grabber port
  std::string out;   // xml: file to write
  std::string name;  // get/set: the feature
  std::string value; // set
  std::string file;  // save/load
};

void addPortOptions(CLI::App* cmd, GenICamOptions& o) {
  cmd->add_option("--port", o.port, "the port's name as kelpax-cli ports shows it")->required();
  cmd->add_option("--model", o.model, "the camera's model name (default: the first camera)");
  cmd->add_flag("--com", o.com, "the port is a PC serial port");
}

// Opens the camera on the port; prints why not and returns nullptr on failure.
std::unique_ptr<GenICamConnection> openCamera(const GenICamOptions& o) {
  auto connection = std::make_unique<GenICamConnection>();
  const int result = connection->open({"", o.port, o.model, !o.com});
  if (result != 0 || !connection->matched()) {
    std::fprintf(stderr, "kelpax-cli: no GenICam camera opened on %s (%d)\n", o.port.c_str(),
                 result);
    for (const std::string& line : connection->debugLines())
      std::fprintf(stderr, "  %s\n", line.c_str());
    return nullptr;
  }
  return connection;
}

struct Tree {
  int errors = 0;
  nodeview::FeatureTree tree;
  explicit Tree(GenApi::CNodeMapRef* map) : tree(hooks()) {
    tree.setNodeMap(map);
    tree.rebuild();
  }
  nodeview::TreeHooks hooks() {
    nodeview::TreeHooks h;
    h.notify = [this](const char* category, const std::string& line) {
      if (std::string(category) == "Error") {
        ++errors;
        std::fprintf(stderr, "%s\n", line.c_str());
      }
    };
    h.ask = [](const std::string&, const std::string&) { return false; };
    return h;
  }
};

int runList(bool com) {
  if (GCInitLib() != 0)
    return kExitPort;
  TL_HANDLE system = nullptr;
  uint32_t mode = 1;
  uint8_t selector = com ? 1 : 0;
  int32_t rc = TLOpenMultiIF(&system, &mode);
  if (rc == 0)
    rc = TLUpdateInterfaceList(system, &selector, 100);
  if (rc != 0) {
    std::fprintf(stderr, "kelpax-cli: the transport layer lists no interfaces (%d)\n", rc);
    GCCloseLib();
    return kExitPort;
  }
  uint32_t count = 0;
  TLGetNumInterfaces(system, &count);
  for (uint32_t i = 0; i < count; ++i) {
    char id[64], display[512];
    size_t size = sizeof id;
    int32_t type = 0;
    if (TLGetInterfaceID(system, i, id, &size) != 0)
      continue;
    size = sizeof display;
    if (TLGetInterfaceInfo(system, id, 1, &type, display, &size) != 0)
      continue;
    std::printf("%s\t%s\n", id, display);
    IF_HANDLE interface = nullptr;
    uint8_t changed = 0;
    if (TLOpenInterface(system, id, &interface) != 0 ||
        IFUpdateDeviceList(interface, &changed, 100) != 0)
      continue;
    uint32_t devices = 0;
    IFGetNumDevices(interface, &devices);
    for (uint32_t d = 0; d < devices; ++d) {
      char device[512], name[1024];
      size = sizeof device;
      if (IFGetDeviceID(interface, d, device, &size) != 0)
        continue;
      size = sizeof name;
      int32_t info = IFGetDeviceInfo(interface, device, 4, &type, name, &size);
      std::printf("\t%s\t%s\n", device, info == 0 || info == -1003 ? name : "");
    }
  }
  TLClose(system);
  GCCloseLib();
  return kExitOk;
}

int runXml(const GenICamOptions& o) {
  auto camera = openCamera(o);
  if (!camera)
    return kExitPort;
  if (o.out.empty()) {
    std::cout << camera->description();
    return kExitOk;
  }
  std::string failure = nodeview::writeFileReplacing(o.out, camera->description());
  if (!failure.empty()) {
    std::fprintf(stderr, "kelpax-cli: %s\n", failure.c_str());
    return kExitCameraError;
  }
  return kExitOk;
}

int runFeatures(const GenICamOptions& o) {
  auto camera = openCamera(o);
  if (!camera)
    return kExitPort;
  Tree tree(camera->nodeMap());
  std::cout << nodeview::featureListing(tree.tree.collectItems()) << "\n";
  return tree.errors ? kExitCameraError : kExitOk;
}

GenApi::CValuePtr feature(GenICamConnection& camera, const std::string& name) {
  GenApi::CValuePtr value = camera.nodeMap()->_GetNode(name);
  if (!value)
    std::fprintf(stderr, "kelpax-cli: the camera has no feature %s\n", name.c_str());
  return value;
}

int runGetOrSet(const GenICamOptions& o, bool set) {
  auto camera = openCamera(o);
  if (!camera)
    return kExitPort;
  GenApi::CValuePtr value = feature(*camera, o.name);
  if (!value)
    return kExitCameraError;
  try {
    if (set) {
      value->FromString(o.value);
      camera->nodeMap()->_InvalidateNodes();
    }
    std::cout << value->ToString() << "\n";
    return kExitOk;
  } catch (const GenICam::GenericException& e) {
    std::fprintf(stderr, "kelpax-cli: %s: %s\n", o.name.c_str(), e.GetDescription());
    return kExitCameraError;
  }
}

int runSave(const GenICamOptions& o) {
  auto camera = openCamera(o);
  if (!camera)
    return kExitPort;
  Tree tree(camera->nodeMap());
  std::string failure =
      nodeview::writeFileReplacing(o.file, nodeview::featureFileJson(tree.tree.collectItems()));
  if (!failure.empty()) {
    std::fprintf(stderr, "kelpax-cli: %s\n", failure.c_str());
    return kExitCameraError;
  }
  return tree.errors ? kExitCameraError : kExitOk;
}

int runLoad(const GenICamOptions& o) {
  std::string json;
  std::string error = nodeview::readWholeFile(o.file, json, 16u << 20);
  if (!error.empty()) {
    std::fprintf(stderr, "kelpax-cli: %s\n", error.c_str());
    return kExitCameraError;
  }
  nodeview::FeatureFileRead read = nodeview::parseFeatureFileJson(json);
  if (!read.error.empty()) {
    std::fprintf(stderr, "kelpax-cli: %s: %s\n", o.file.c_str(), read.error.c_str());
    return kExitCameraError;
  }
  auto camera = openCamera(o);
  if (!camera)
    return kExitPort;
  Tree tree(camera->nodeMap());
  tree.tree.applyItems(read.items);
  return tree.errors ? kExitCameraError : kExitOk;
}

} // namespace

std::vector<CliCommand> addGenICamCommands(CLI::App& app) {
  CLI::App* genicam = app.add_subcommand(
      "genicam", "GenICam cameras through the transport layer, as the GenICam window opens them");
  genicam->require_subcommand(1);
  auto o = std::make_shared<GenICamOptions>();
  std::vector<CliCommand> commands;

  CLI::App* list =
      genicam->add_subcommand("list", "interfaces and devices as the module lists them");
  list->add_flag("--com", o->com, "list PC serial ports instead of frame-grabber ports");
  commands.push_back({list, [o] { return runList(o->com); }});

  CLI::App* xml = genicam->add_subcommand("xml", "the camera's description");
  addPortOptions(xml, *o);
  xml->add_option("--out", o->out, "write it to this file");
  commands.push_back({xml, [o] { return runXml(*o); }});

  CLI::App* features = genicam->add_subcommand("features", "the feature tree as text");
  addPortOptions(features, *o);
  commands.push_back({features, [o] { return runFeatures(*o); }});

  CLI::App* get = genicam->add_subcommand("get", "read one feature");
  addPortOptions(get, *o);
  get->add_option("name", o->name, "the feature, e.g. ExposureTime")->required();
  commands.push_back({get, [o] { return runGetOrSet(*o, false); }});

  CLI::App* set = genicam->add_subcommand("set", "change one feature and print what it reads");
  addPortOptions(set, *o);
  set->add_option("name", o->name, "the feature")->required();
  set->add_option("value", o->value, "the new value")->required();
  commands.push_back({set, [o] { return runGetOrSet(*o, true); }});

  CLI::App* save = genicam->add_subcommand("save", "save the features to a JSON feature file");
  addPortOptions(save, *o);
  save->add_option("file", o->file, "FILE.json")->required();
  commands.push_back({save, [o] { return runSave(*o); }});

  CLI::App* load = genicam->add_subcommand("load", "load a JSON feature file into the camera");
  addPortOptions(load, *o);
  load->add_option("file", o->file, "FILE.json")->required();
  commands.push_back({load, [o] { return runLoad(*o); }});
  return commands;
}

} // namespace kelpax
