// kelpax-cli save-settings / load-settings: the camera's settings written to a setting file
// (".csf") and a setting file's commands replayed to the camera.
#include "cli/settings_command.h"

#include <cstdio>
#include <iostream>
#include <memory>

#include "editors/multi_roi.h"
#include "session/setting_file.h"

namespace kelpax {
namespace {

struct SettingsOptions {
  LinkOptions link;
  std::string file;
  bool allowMissing = false;
};

int runSaveSettings(const SettingsOptions& options) {
  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  const CacheFill fill = cli.session.fillCache({}, {});
  if (fill.cameraLost)
    std::cerr << "kelpax-cli: " << lostCameraText(fill) << "\n";
  if (fill.missing > 0 && !options.allowMissing) {
    // A file of values never read would be replayed into a camera later.
    std::cerr << "kelpax-cli: " << fill.missing
              << " settings got no value; nothing written (--allow-missing writes them as -1)\n";
    return kExitNoAnswer;
  }
  if (fill.missing > 0)
    std::cerr << "kelpax-cli: " << fill.missing
              << " settings got no value; they are written as -1\n";
  // The multi-region cameras' files carry their regions too, read now.
  if (auto handler = multiRoiControlFileFor(cli.camera(), cli.camera().modelDescriptor())) {
    const RoiOutcome read = handler->regions().readAll();
    if (!read.ok && !options.allowMissing) {
      std::cerr << "kelpax-cli: the regions could not be read (" << read.message
                << "); nothing written (--allow-missing writes the file without them)\n";
      return kExitNoAnswer;
    }
    if (!read.ok)
      std::cerr << "kelpax-cli: the regions could not be read (" << read.message
                << "); the file holds none\n";
    cli.session.setControlFile(std::move(handler));
  }
  const SettingSaveResult saved = cli.session.saveSettingFile(options.file);
  if (!saved.saved) {
    std::cerr << "kelpax-cli: " << saved.message << " (" << saved.detail << ")\n";
    return kExitPort;
  }
  std::printf("wrote %s (%zu lines)\n", saved.path.c_str(), saved.lines);
  // Missing values were allowed; a camera that stopped answering still fails the verb.
  return fill.cameraLost ? kExitNoAnswer : kExitOk;
}

void printNotes(const char* what, const std::vector<SettingLineNote>& notes) {
  for (const SettingLineNote& note : notes)
    std::printf("line %zu %s: %s: %s\n", note.lineNumber, what, note.text.c_str(),
                note.reason.c_str());
}

int runLoadSettings(const SettingsOptions& options) {
  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  // The cache is current before the file changes it, as after a connection in the window.
  if (const int rc = fillOutcome(cli.session.fillCache({}, {})); rc != kExitOk)
    return rc;
  cli.session.setControlFile(multiRoiControlFileFor(cli.camera(), cli.camera().modelDescriptor()));
  const SettingLoadResult result = cli.session.loadSettingFile(options.file);
  if (!result.opened) {
    std::cerr << "kelpax-cli: " << result.message << " (" << result.detail << ")\n";
    return kExitPort;
  }
  printNotes("skipped", result.skipped);
  if (result.noCommands) {
    std::cerr << "kelpax-cli: nothing loaded (" << result.detail << ")\n";
    return kExitPort;
  }
  printNotes("refused", result.refused);
  printNotes("not answered", result.unanswered);
  printNotes("pause", result.pauseNotes);
  std::printf("%s: %zu lines sent, %zu accepted, %zu refused, %zu not answered, %zu skipped, "
              "%zu pauses (%ld ms)\n",
              options.file.c_str(), result.sent, result.accepted, result.refused.size(),
              result.unanswered.size(), result.skipped.size(), result.pauses, result.pausedMs);
  if (result.cameraLost)
    std::cerr << "kelpax-cli: the camera stopped answering; " << result.notSent
              << " command lines of the file were not sent\n";
  if (!result.unanswered.empty())
    return kExitNoAnswer;
  if (!result.refused.empty())
    return kExitCameraError;
  // Lines the file holds but that could not be carried out as written.
  if (!result.skipped.empty() || !result.pauseNotes.empty())
    return kExitPort;
  return kExitOk;
}

CliCommand addSettingsCommand(CLI::App& app, const char* name, const char* description,
                              const char* fileHelp, int (*run)(const SettingsOptions&),
                              bool saves) {
  auto options = std::make_shared<SettingsOptions>();
  CLI::App* command = app.add_subcommand(name, description);
  addLinkOptions(command, options->link);
  command->add_option("file", options->file, fileHelp)->required();
  if (saves)
    command->add_flag("--allow-missing", options->allowMissing,
                      "write the file even when some settings got no value (as -1)");
  return {command, [options, run] { return run(*options); }};
}

} // namespace

CliCommand addSaveSettingsCommand(CLI::App& app) {
  return addSettingsCommand(
      app, "save-settings", "write every setting the camera reports to a setting file",
      "the file; \".csf\" is added when the name lacks it", runSaveSettings, true);
}

CliCommand addLoadSettingsCommand(CLI::App& app) {
  return addSettingsCommand(app, "load-settings",
                            "send every command of a setting file to the camera (exit 0: all "
                            "accepted, 1: some refused, 2: no answer, 3: file or port problem)",
                            "the setting file (.csf)", runLoadSettings, false);
}

} // namespace kelpax
