// What the command line's verbs share: the port options, opening a link, identifying the
// camera, and the texts and exit codes of outcomes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "camera/parameter_cache.h"
#include "cli/trace.h"
#include "session/camera_session.h"

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

// The camera session of one verb: the port the options name, opened, and (for the verbs that
// work through the value cache) its camera identified.
struct CliSession {
  // Opens the port; prints why not and returns the exit code on failure.
  int openPort(const LinkOptions& options);
  // openPort, then asks the model name and identifies the camera.
  int open(const LinkOptions& options);
  ConnectedCamera& camera() { return session.camera(); }

  CameraSession session;
  std::optional<TraceWriter> trace;
  StatusKeeper status;
};

// A verb kept in a file of its own: its sub-command and what runs when it was chosen.
struct CliCommand {
  CLI::App* command = nullptr;
  std::function<int()> run;
};

void addLinkOptions(CLI::App* cmd, LinkOptions& options);
// Every PC serial port and Camera Link serial port the system lists.
void fillPortTable(CameraPort& port);
// The exit code a cache fill earns: no answer when the camera was lost or answered nothing;
// explained on stderr.
int fillOutcome(const CacheFill& fill);
// The exit code an answer earns; failures are explained on stderr.
int answerOutcome(const Answer& answer);
const char* outcomeName(CommandResult result);
std::string joined(const std::vector<std::string>& words);
std::string cachedValues(const ParameterEntry& entry);
std::string rangeText(const ValueRange& range);

} // namespace kelpax
