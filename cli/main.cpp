// kelpax-cli: the camera's command channel from a shell, for scripts and production lines.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>

#include <CLI/CLI.hpp>

#include "app/connected_camera.h"
#include "app/model_catalog.h"
#include "cli/trace.h"
#include "link/command_exchange.h"
#include "link/port_search.h"
#include "pages/parameter_cache.h"

using namespace kelpax;

namespace {

enum ExitCode { kExitOk = 0, kExitCameraError = 1, kExitNoAnswer = 2, kExitPort = 3 };

struct LinkOptions {
  std::string port;
  std::string library;
  uint32_t index = 0;
  unsigned baud = 1;
  uint32_t timeoutMs = kDefaultTimeoutMs;
  bool trace = false;
};

void fillPortTable(CameraPort& port) {
  EnumComPorts(port);
  EnumClserPorts(port, findClserLibraries(clserSearchFolders()));
}

// Resolves --port / --library into a slot of the port table; -1 when nothing matches.
int resolvePort(CameraPort& port, const LinkOptions& options, std::string& why) {
  if (!options.library.empty()) {
    PortEntry entry;
    entry.isDll = 1;
    entry.dllPath = options.library;
    entry.portName = options.library;
    entry.portIndex = options.index;
    entry.maker = makerFromLibraryName(options.library);
    port.setPortCount(0);
    port.addPort(entry);
    return 0;
  }
  if (options.port.empty()) {
    why = "name a port with --port (see 'kelpax-cli ports') or a library with --library";
    return -1;
  }
  // A device path is opened as it is; anything else is looked up among the found ports.
  if (options.port.find('/') != std::string::npos) {
    PortEntry entry;
    entry.portName = options.port;
    port.setPortCount(0);
    port.addPort(entry);
    return 0;
  }
  fillPortTable(port);
  for (int i = 0; i < port.portCount(); ++i) {
    if (port.ports()[size_t(i)].portName == options.port) {
      return i;
    }
  }
  why = "no port named '" + options.port + "' (see 'kelpax-cli ports')";
  return -1;
}

const char* outcomeName(CommandResult result) {
  switch (result) {
  case CommandResult::Ok:
    return "OK";
  case CommandResult::CameraError:
    return "CAMERA ERROR";
  case CommandResult::NoAnswer:
    return "NO ANSWER";
  case CommandResult::Blocked:
    return "BLOCKED";
  }
  return "?";
}

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& w : words) {
    text += (text.empty() ? "" : " ") + w;
  }
  return text;
}

// Opens the port the options name; prints why not and returns the exit code on failure.
int openLink(CameraPort& port, const LinkOptions& options, std::optional<TraceWriter>& trace) {
  std::string why;
  const int slot = resolvePort(port, options, why);
  if (slot < 0) {
    std::cerr << "kelpax-cli: " << why << "\n";
    return kExitPort;
  }
  if (options.trace) {
    trace.emplace(stderr);
    port.setTrafficObserver(&*trace);
  }
  const int opened = port.OpenPort(slot, options.baud);
  if (opened != 0) {
    std::cerr << "kelpax-cli: cannot open " << port.ports()[size_t(slot)].portName
              << ": Error : " << opened << "\n";
    return kExitPort;
  }
  return kExitOk;
}

struct StatusKeeper : StatusLine {
  std::string last;
  void showStatus(const std::string& text) override { last = text; }
};

// Asks the model name and identifies the camera; the family's stems are then registered.
int identifyCamera(ConnectedCamera& camera, uint32_t timeoutMs) {
  const std::string model = camera.exchange().QueryValue("gmn", timeoutMs);
  if (model.empty()) {
    std::cerr << "kelpax-cli: the camera does not tell its model name (Camera connection error!)\n";
    return kExitNoAnswer;
  }
  camera.identify(model);
  return kExitOk;
}

// A port opened and its camera identified, for the verbs that work through the value cache.
struct IdentifiedCamera {
  int open(const LinkOptions& options) {
    if (int rc = openLink(port, options, trace); rc != kExitOk)
      return rc;
    exchange.setStatusLine(&status);
    return identifyCamera(camera, options.timeoutMs);
  }
  CameraPort port;
  std::optional<TraceWriter> trace;
  CommandExchange exchange{port};
  StatusKeeper status;
  ConnectedCamera camera{exchange};
};

// The exit code a query's answer earns; failures are explained on stderr.
int queryOutcome(const std::string& answer) {
  const CommandResult result = judgeAnswer(answer);
  if (result == CommandResult::NoAnswer) {
    std::cerr << "kelpax-cli: Camera connection error!\n";
    return kExitNoAnswer;
  }
  if (result == CommandResult::CameraError) {
    std::cerr << "kelpax-cli: " << errorTextOf(answer) << "\n";
    return kExitCameraError;
  }
  return kExitOk;
}

std::string cachedValues(const ParameterEntry& entry) {
  std::string text;
  char number[48];
  for (size_t i = 0; i < entry.valueCount; ++i) {
    if (entry.isFloat)
      std::snprintf(number, sizeof number, "%g", static_cast<double>(entry.floatValues[i]));
    else
      std::snprintf(number, sizeof number, "%d", entry.intValues[i]);
    text += (text.empty() ? "" : " ") + std::string(number);
  }
  return text;
}

std::string rangeText(const ValueRange& range) {
  return std::to_string(range.min) + " .. " + std::to_string(range.max);
}

int runInfo(const LinkOptions& options, bool showValues) {
  IdentifiedCamera session;
  if (int rc = session.open(options); rc != kExitOk)
    return rc;
  ConnectedCamera& camera = session.camera;
  const int failures = camera.fillCache();
  const ModelDescriptor& m = camera.modelDescriptor();
  static const char* const kColours[] = {"not stated", "colour", "monochrome"};
  static const char* const kKePages[] = {"", "CNewKe_Setting", "CNormalKe_Setting",
                                         "CKe_Color_Setting"};
  std::printf("model        %s\n", m.modelName.c_str());
  std::printf("series       %s\n", std::string(seriesName(m.series)).c_str());
  std::printf("size class   %s\n", m.sizeClass.empty() ? "none" : m.sizeClass.c_str());
  std::printf("colour       %s\n", kColours[m.colour < 0 || m.colour > 2 ? 0 : m.colour]);
  std::printf("C2           %s\n", m.c2 ? "yes" : "no");
  std::printf("rate code    %d\n", m.rateCode);
  if (m.series == Series::Ke) {
    std::printf("letter       %c\n", m.letterFlag ? m.letterFlag : '-');
    std::printf("rate value   %d\n", m.rateValue);
    std::printf("Ke page      %s\n", kKePages[static_cast<int>(m.kePage)]);
  }
  std::printf("regions      %s\n", m.roiSupported ? "yes" : "no");
  std::printf("sensor       %d x %d\n", m.sensorWidth, m.sensorHeight);
  std::printf("gain         %s\n", rangeText(m.gain).c_str());
  std::printf("offset       %s\n", rangeText(m.offset).c_str());
  std::printf("exposure us  %s\n", rangeText(m.exposureUs).c_str());
  const std::vector<std::string> tabs = tabCaptions(m, camera.parameterCache());
  for (size_t i = 0; i < tabs.size(); ++i) {
    const TabPage page = pageForTab(m, static_cast<int>(i));
    std::string shown(pageClassName(page.page));
    if (shown.empty())
      shown = "(no page)";
    if (page.section >= 0)
      shown += " section " + std::to_string(page.section);
    if (page.alsoShown != PageId::None)
      shown += " + " + std::string(pageClassName(page.alsoShown));
    std::printf("tab %zu        %-12s %s\n", i, tabs[i].c_str(), shown.c_str());
  }
  std::printf("stems        %zu, %d not answered\n", camera.parameterCache().size(), failures);
  if (showValues) {
    for (const ParameterEntry& entry : camera.parameterCache().entries())
      std::printf("  %-6s %s\n", entry.name.c_str(), cachedValues(entry).c_str());
  }
  return kExitOk;
}

int runGet(const LinkOptions& options, const std::string& stem) {
  IdentifiedCamera session;
  if (int rc = session.open(options); rc != kExitOk)
    return rc;
  CommandExchange& exchange = session.exchange;
  ConnectedCamera& camera = session.camera;
  const std::string answer = exchange.Query("g" + stem, options.timeoutMs, false);
  if (int rc = queryOutcome(answer); rc != kExitOk)
    return rc;
  const ParameterEntry* entry = camera.parameterCache().find(stem);
  if (entry && camera.cache().takeFromTraffic(answer)) {
    std::cout << cachedValues(*entry) << "\n";
  } else {
    if (!entry)
      std::cerr << "kelpax-cli: '" << stem << "' is not kept by the "
                << seriesName(camera.modelDescriptor().series)
                << " family; showing the camera's answer\n";
    std::cout << answerToken(answer, 0) << "\n";
  }
  return kExitOk;
}

int runSet(const LinkOptions& options, const std::string& stem,
           const std::vector<std::string>& values) {
  IdentifiedCamera session;
  if (int rc = session.open(options); rc != kExitOk)
    return rc;
  CommandExchange& exchange = session.exchange;
  ConnectedCamera& camera = session.camera;
  const StatusKeeper& status = session.status;
  // The model's own ranges are checked here, as the pages check them, before anything is sent.
  const ModelDescriptor& m = camera.modelDescriptor();
  const ValueRange* range = stem == "et"   ? &m.exposureUs
                            : stem == "ag" ? &m.gain
                            : stem == "ao" ? &m.offset
                                           : nullptr;
  if (range && values.size() == 1) {
    char* end = nullptr;
    const long long value = std::strtoll(values[0].c_str(), &end, 10);
    if (end == values[0].c_str() || *end != '\0' || !range->contains(value)) {
      std::cerr << "kelpax-cli: " << values[0] << " is outside " << rangeText(*range) << " for "
                << m.modelName << "; nothing sent\n";
      return kExitCameraError;
    }
  }
  const ParameterEntry* entry = camera.parameterCache().find(stem);
  const bool accepted =
      camera.sendCommand("s" + stem + " " + joined(values), options.timeoutMs, true);
  std::cout << outcomeName(exchange.lastResult()) << "\n";
  if (!accepted) {
    std::cerr << "kelpax-cli: " << status.last << "\n";
    // What the camera keeps instead.
    if (entry &&
        camera.cache().takeFromTraffic(exchange.Query("g" + stem, options.timeoutMs, false)))
      std::cout << stem << " " << cachedValues(*entry) << "\n";
    return exchange.lastResult() == CommandResult::CameraError ? kExitCameraError : kExitNoAnswer;
  }
  if (entry)
    std::cout << stem << " " << cachedValues(*entry) << "\n";
  return kExitOk;
}

int runExchange(const LinkOptions& options, const std::string& command, bool query) {
  CameraPort port;
  std::optional<TraceWriter> trace;
  if (int rc = openLink(port, options, trace); rc != kExitOk)
    return rc;
  CommandExchange exchange(port);
  if (query) {
    const std::string answer = exchange.Query(command, options.timeoutMs, false);
    if (int rc = queryOutcome(answer); rc != kExitOk)
      return rc;
    std::cout << answerToken(answer, 0) << "\n";
    return kExitOk;
  }
  struct : StatusLine {
    std::string last;
    void showStatus(const std::string& text) override { last = text; }
  } status;
  exchange.setStatusLine(&status);
  const bool accepted = exchange.SendCommand(command, options.timeoutMs, true);
  std::cout << outcomeName(exchange.lastResult()) << "\n";
  const std::string& answer = port.lastAnswer();
  if (!answer.empty()) {
    std::cout << printableAnswer(answer) << "\n";
  }
  if (!accepted) {
    std::cerr << "kelpax-cli: " << status.last << "\n";
    return exchange.lastResult() == CommandResult::CameraError ? kExitCameraError : kExitNoAnswer;
  }
  return kExitOk;
}

void addLinkOptions(CLI::App* cmd, LinkOptions& options) {
  cmd->add_option("--port", options.port,
                  "serial device path, or a port name as 'kelpax-cli ports' lists it");
  cmd->add_option("--library", options.library, "Camera Link serial library to open directly");
  cmd->add_option("--index", options.index, "port index within --library");
  cmd->add_option("--baud", options.baud, "baud code: 1=9600 2=19200 4=38400 8=56000 16=115200")
      ->check(CLI::IsMember({1u, 2u, 4u, 8u, 16u}));
  cmd->add_option("--timeout", options.timeoutMs, "answer time-out in ms");
  cmd->add_flag("--trace", options.trace, "show every byte on the wire, with timestamps");
}

} // namespace

int main(int argc, char** argv) {
  CLI::App app{"kelpax-cli: talk to a camera over its serial control channel"};
  app.require_subcommand(1);

  app.add_subcommand("ports", "list the PC serial ports and Camera Link serial ports found");

  LinkOptions sendOptions;
  std::vector<std::string> sendWords;
  CLI::App* send = app.add_subcommand("send", "send a command and report the camera's verdict");
  addLinkOptions(send, sendOptions);
  send->add_option("command", sendWords, "the command, e.g. set 1000")->required();

  LinkOptions queryOptions;
  std::vector<std::string> queryWords;
  CLI::App* query = app.add_subcommand("query", "ask the camera and print the value it answers");
  addLinkOptions(query, queryOptions);
  query->add_option("command", queryWords, "the query, e.g. gmn")->required();

  LinkOptions infoOptions;
  bool infoValues = false;
  CLI::App* info = app.add_subcommand("info", "identify the camera: model, ranges, tabs and pages");
  addLinkOptions(info, infoOptions);
  info->add_flag("--values", infoValues, "also list every value the camera keeps");

  LinkOptions getOptions;
  std::string getStem;
  CLI::App* get = app.add_subcommand("get", "read one setting, e.g. get et");
  addLinkOptions(get, getOptions);
  get->add_option("stem", getStem, "the setting's stem, e.g. et or \"ag 1\"")->required();

  LinkOptions setOptions;
  std::string setStem;
  std::vector<std::string> setValues;
  CLI::App* set = app.add_subcommand("set", "change one setting and print what the camera keeps");
  addLinkOptions(set, setOptions);
  set->add_option("stem", setStem, "the setting's stem, e.g. et or \"ag 1\"")->required();
  set->add_option("values", setValues, "the new value(s)")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }

  if (app.got_subcommand("ports")) {
    CameraPort port;
    fillPortTable(port);
    if (port.portCount() == 0) {
      std::cerr << "kelpax-cli: no ports found\n";
      return kExitPort;
    }
    for (int i = 0; i < port.portCount(); ++i) {
      const PortEntry& e = port.ports()[size_t(i)];
      if (e.isDll) {
        std::printf("%3d  CL   %-32s  %-8s  %s #%u\n", i, e.portName.c_str(), e.maker.c_str(),
                    e.dllPath.c_str(), e.portIndex);
      } else {
        std::printf("%3d  COM  %s\n", i, e.portName.c_str());
      }
    }
    return kExitOk;
  }
  if (app.got_subcommand("info"))
    return runInfo(infoOptions, infoValues);
  if (app.got_subcommand("get"))
    return runGet(getOptions, getStem);
  if (app.got_subcommand("set"))
    return runSet(setOptions, setStem, setValues);
  if (app.got_subcommand("send")) {
    return runExchange(sendOptions, joined(sendWords), false);
  }
  return runExchange(queryOptions, joined(queryWords), true);
}
