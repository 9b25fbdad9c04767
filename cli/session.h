// What the command line's verbs share: the port options, opening a link, identifying the
// camera, and the texts and exit codes of outcomes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "session/connected_camera.h"
#include "cli/trace.h"
#include "link/command_exchange.h"
#include "camera/parameter_cache.h"

namespace kelpax {

enum ExitCode { kExitOk = 0, kExitCameraError = 1, kExitNoAnswer = 2, kExitPort = 3 };

struct LinkOptions {
  std::string port;
  std::string library;
  uint32_t index = 0;
  unsigned baud = 1;
  uint32_t timeoutMs = kDefaultTimeoutMs;
  bool trace = false;
};

struct StatusKeeper : StatusLine {
  std::string last;
  void showStatus(const std::string& text) override { last = text; }
};

// A port opened and its camera identified, for the verbs that work through the value cache.
struct IdentifiedCamera {
  int open(const LinkOptions& options);
  CameraPort port;
  std::optional<TraceWriter> trace;
  CommandExchange exchange{port};
  StatusKeeper status;
  ConnectedCamera camera{exchange};
};

// A verb kept in a file of its own: its sub-command and what runs when it was chosen.
struct CliCommand {
  CLI::App* command = nullptr;
  std::function<int()> run;
};

void addLinkOptions(CLI::App* cmd, LinkOptions& options);
// Every PC serial port and Camera Link serial port the system lists.
void fillPortTable(CameraPort& port);
// Opens the port the options name; prints why not and returns the exit code on failure.
int openLink(CameraPort& port, const LinkOptions& options, std::optional<TraceWriter>& trace);
// Asks the model name and identifies the camera; the family's stems are then registered.
int identifyCamera(ConnectedCamera& camera, uint32_t timeoutMs);
// The exit code a query's answer earns; failures are explained on stderr.
int queryOutcome(const std::string& answer);
const char* outcomeName(CommandResult result);
std::string joined(const std::vector<std::string>& words);
std::string cachedValues(const ParameterEntry& entry);
std::string rangeText(const ValueRange& range);

} // namespace kelpax
