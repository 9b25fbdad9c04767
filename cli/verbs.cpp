// What the command line's verbs share.
#include "cli/verbs.h"

#include <iostream>

#include "camera/debug_output.h"
#include "link/model_list.h"
#include "link/port_search.h"

namespace kelpax {
namespace {

// Resolves --port / --library into a slot of the port table; -1 when nothing matches.
int resolvePort(CameraPort& port, const LinkOptions& options, std::string& why) {
  if (!options.library.empty()) {
    PortEntry entry;
    entry.isLibrary = 1;
    entry.libraryPath = options.library;
    entry.portName = options.library;
    entry.portIndex = options.index;
    entry.maker = libraryMakerCode(options.library);
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

} // namespace

void fillPortTable(CameraPort& port) {
  EnumComPorts(port);
  EnumClserPorts(port, findClserLibraries(clserSearchFolders()));
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

int CliSession::openPort(const LinkOptions& options) {
  CameraPort& port = session.port();
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

int fillOutcome(const CacheFill& fill) {
  if (fill.cameraLost) {
    std::cerr << "kelpax-cli: " << lostCameraText(fill) << "\n";
    return kExitNoAnswer;
  }
  if (fill.nothingRead) {
    std::cerr << "kelpax-cli: the camera gave none of its settings\n";
    return kExitNoAnswer;
  }
  return kExitOk;
}

int answerOutcome(const Answer& answer) {
  switch (answer.result) {
  case CommandResult::Ok:
    return kExitOk;
  case CommandResult::CameraError:
    std::cerr << "kelpax-cli: " << printableBytes(answer.errorText()) << "\n";
    return kExitCameraError;
  case CommandResult::NoAnswer:
  case CommandResult::Blocked:
    break;
  }
  std::cerr << "kelpax-cli: Camera connection error!\n";
  return kExitNoAnswer;
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

int CliSession::open(const LinkOptions& options) {
  if (int rc = openPort(options); rc != kExitOk)
    return rc;
  session.exchange().setStatusLine(&status);
  const Answer answer =
      session.exchange().Query(formatCommand(cmd::kModelName), {.timeoutMs = options.timeoutMs});
  debugOutput(answer.text);
  if (answer.result == CommandResult::CameraError) {
    std::cerr << "kelpax-cli: the camera refuses to tell its model name: "
              << printableBytes(answer.errorText()) << "\n";
    return kExitCameraError;
  }
  const std::string model = answer.accepted() ? answer.token() : std::string();
  if (model.empty()) {
    std::cerr << "kelpax-cli: the camera does not tell its model name (Camera connection error!)\n";
    return kExitNoAnswer;
  }
  // The scan's rule: an answer without the maker's marker is no camera this program drives,
  // and its settings would be read and set by the rules of a family it does not belong to.
  if (JudgeModelAnswer(model) != ModelAnswer::Identified) {
    std::cerr << "kelpax-cli: the answer to " << formatCommand(cmd::kModelName) << ", '"
              << printableBytes(model)
              << "', is not a model name of this maker's cameras (Camera not found); nothing "
                 "sent\n";
    return kExitNoAnswer;
  }
  session.prepareForModel(model, nullptr);
  return kExitOk;
}

} // namespace kelpax
