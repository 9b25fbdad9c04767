// kelpax-cli: the camera's command channel from a shell, for scripts and production lines.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>

#include <CLI/CLI.hpp>

#include "cli/trace.h"
#include "link/command_exchange.h"
#include "link/port_search.h"

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

int runExchange(const LinkOptions& options, const std::string& command, bool query) {
  CameraPort port;
  std::string why;
  const int slot = resolvePort(port, options, why);
  if (slot < 0) {
    std::cerr << "kelpax-cli: " << why << "\n";
    return kExitPort;
  }
  std::optional<TraceWriter> trace;
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
  CommandExchange exchange(port);
  if (query) {
    const std::string answer = exchange.Query(command, options.timeoutMs, false);
    const CommandResult result = judgeAnswer(answer);
    if (result == CommandResult::NoAnswer) {
      std::cerr << "kelpax-cli: Camera connection error!\n";
      return kExitNoAnswer;
    }
    if (result == CommandResult::CameraError) {
      std::cerr << "kelpax-cli: " << errorTextOf(answer) << "\n";
      return kExitCameraError;
    }
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
  if (app.got_subcommand("send")) {
    return runExchange(sendOptions, joined(sendWords), false);
  }
  return runExchange(queryOptions, joined(queryWords), true);
}
