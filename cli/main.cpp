// kelpax-cli: the camera's command channel from a shell, for scripts and production lines.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>

#include <CLI/CLI.hpp>

#include "camera/model_catalog.h"
#include "camera/tables/model_rules.h"
#include "cli/camera_commands.h"
#include "cli/ffc_command.h"
#include "cli/genicam_command.h"
#include "cli/lut_command.h"
#include "cli/roi_command.h"
#include "cli/scan_command.h"
#include "cli/settings_command.h"
#include "cli/stage_command.h"
#include "cli/timing_command.h"
#include "cli/transfer_commands.h"
#include "cli/verbs.h"
#include "link/port_search.h"

using namespace kelpax;

namespace {

int runInfo(const LinkOptions& options, bool showValues) {
  CliSession cli;
  if (int rc = cli.open(options); rc != kExitOk)
    return rc;
  ConnectedCamera& camera = cli.camera();
  const CacheFill fill = camera.fillCache();
  const ModelDescriptor& m = camera.modelDescriptor();
  static const char* const kColours[] = {"not stated", "colour", "monochrome"};
  static const char* const kKePages[] = {"", "CNewKe_Setting", "CNormalKe_Setting",
                                         "CKe_Color_Setting"};
  std::printf("model        %s\n", printableBytes(m.modelName).c_str());
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
  std::printf("stems        %zu, %d not answered\n", camera.parameterCache().size(), fill.missing);
  if (showValues) {
    for (const ParameterEntry& entry : camera.parameterCache().entries())
      std::printf("  %-6s %s\n", entry.name.c_str(), cachedValues(entry).c_str());
  }
  return fillOutcome(fill);
}

int runGet(const LinkOptions& options, const std::string& stem) {
  CliSession cli;
  if (int rc = cli.open(options); rc != kExitOk)
    return rc;
  ConnectedCamera& camera = cli.camera();
  const Answer answer = camera.query("g" + stem, {.timeoutMs = options.timeoutMs});
  if (int rc = answerOutcome(answer); rc != kExitOk)
    return rc;
  const ParameterEntry* entry = camera.parameterCache().find(stem);
  if (entry && answer.cached) {
    std::cout << cachedValues(*entry) << "\n";
  } else {
    if (!entry)
      std::cerr << "kelpax-cli: '" << stem << "' is not kept by the "
                << seriesName(camera.modelDescriptor().series)
                << " family; showing the camera's answer\n";
    std::cout << printableBytes(answer.token()) << "\n";
  }
  return kExitOk;
}

// The model's range for the stem, checked as the pages check it before anything is sent.
bool valuesInModelRange(const ModelDescriptor& model, const std::string& stem,
                        const std::vector<std::string>& values) {
  const std::optional<ValueRange> range = modelRange(model, stem);
  if (!range)
    return true;
  for (const std::string& text : values) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE || !range->contains(value)) {
      std::cerr << "kelpax-cli: " << text << " is outside " << rangeText(*range) << " for "
                << model.modelName << "; nothing sent\n";
      return false;
    }
  }
  return true;
}

int runSet(const LinkOptions& options, const std::string& stem,
           const std::vector<std::string>& values) {
  CliSession cli;
  if (int rc = cli.open(options); rc != kExitOk)
    return rc;
  ConnectedCamera& camera = cli.camera();
  if (!valuesInModelRange(camera.modelDescriptor(), stem, values))
    return kExitCameraError;
  const ParameterEntry* entry = camera.parameterCache().find(stem);
  const Answer answer = camera.sendCommand("s" + stem + " " + joined(values),
                                           {.timeoutMs = options.timeoutMs, .shown = true});
  std::cout << outcomeName(answer.result) << "\n";
  if (!answer.accepted()) {
    std::cerr << "kelpax-cli: " << printableBytes(cli.status.last) << "\n";
    // What the camera keeps instead.
    if (entry && camera.query("g" + stem, {.timeoutMs = options.timeoutMs}).cached)
      std::cout << stem << " " << cachedValues(*entry) << "\n";
    return answer.result == CommandResult::CameraError ? kExitCameraError : kExitNoAnswer;
  }
  if (entry)
    std::cout << stem << " " << cachedValues(*entry) << "\n";
  return kExitOk;
}

int runExchange(const LinkOptions& options, const std::string& command, bool query) {
  CliSession cli;
  if (int rc = cli.openPort(options); rc != kExitOk)
    return rc;
  CommandExchange& exchange = cli.session.exchange();
  if (query) {
    const Answer answer = exchange.Query(command, {.timeoutMs = options.timeoutMs});
    if (int rc = answerOutcome(answer); rc != kExitOk)
      return rc;
    std::cout << printableBytes(answer.token()) << "\n";
    return kExitOk;
  }
  exchange.setStatusLine(&cli.status);
  const Answer answer =
      exchange.SendCommand(command, {.timeoutMs = options.timeoutMs, .shown = true});
  std::cout << outcomeName(answer.result) << "\n";
  if (!answer.text.empty()) {
    std::cout << printableAnswer(answer.text) << "\n";
  }
  if (!answer.accepted()) {
    std::cerr << "kelpax-cli: " << printableBytes(cli.status.last) << "\n";
    return answer.result == CommandResult::CameraError ? kExitCameraError : kExitNoAnswer;
  }
  return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
  CLI::App app{"kelpax-cli: talk to a camera over its serial control channel"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("kelpax-cli ") + KELPAX_VERSION);

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

  // Verbs kept in files of their own.
  std::vector<CliCommand> commands;
  commands.push_back(addScanCommand(app));
  commands.push_back(addSaveSettingsCommand(app));
  commands.push_back(addLoadSettingsCommand(app));
  for (CliCommand& command : addCameraCommands(app))
    commands.push_back(std::move(command));
  for (CliCommand& command : addGenICamCommands(app))
    commands.push_back(std::move(command));
  for (CliCommand& command : addTransferCommands(app))
    commands.push_back(std::move(command));
  commands.push_back(addStageCommand(app));
  for (CliCommand& command : addLutCommands(app))
    commands.push_back(std::move(command));
  commands.push_back(addTimingCommand(app));
  commands.push_back(addFfcCommand(app));
  commands.push_back(addRoiCommand(app));

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
      if (e.isLibrary) {
        std::printf("%3d  CL   %-32s  %-8s  %s #%u\n", i, e.portName.c_str(), e.maker.c_str(),
                    e.libraryPath.c_str(), e.portIndex);
      } else {
        std::printf("%3d  COM  %s\n", i, e.portName.c_str());
      }
    }
    return kExitOk;
  }
  for (const CliCommand& command : commands) {
    if (command.command->parsed())
      return command.run();
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
