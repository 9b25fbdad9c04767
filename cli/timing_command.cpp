// kelpax-cli timing, for scripted factory runs on CCD cameras: check a ".tmd" file, save the
// camera's timing words to one, or download one (or the factory values) into the camera.
#include "cli/timing_command.h"

#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/trace.h"
#include "cli/transfer_commands.h"
#include "session/privileged_level.h"
#include "tools/factory_tuning.h"

namespace kelpax {
namespace {

struct TimingOptions {
  LinkOptions link;
  std::string action;
  std::string file;
};

// Both sets, a row per channel in the dialog's order.
void printSets(const TimingSets& sets) {
  const std::array<TimingChannel, kTimingChannels> rows = timingDialogOrder();
  std::printf("%-5s %5s %6s\n", "", "width", "offset");
  for (int row = 0; row < kTimingChannels; ++row) {
    const size_t at = size_t(rows[size_t(row)]);
    std::printf("%-5s %5d %6d\n", std::string(timingCaption(row, false)).c_str(),
                int(sets.width[at]), int(sets.offset[at]));
  }
}

std::optional<TimingSets> readCameraSets(FactoryTuning& tuning) {
  const std::optional<TimingSet> width = tuning.readSet(TimingSetKind::Width);
  const std::optional<TimingSet> offset = tuning.readSet(TimingSetKind::Offset);
  if (!width || !offset)
    return std::nullopt;
  return TimingSets{*width, *offset};
}

int runTiming(const TimingOptions& options) {
  if (options.action != "download" && options.file.empty()) {
    std::cerr << "kelpax-cli: timing " << options.action << " needs a .tmd file\n";
    return kExitFile;
  }
  TimingSets sets = TimingSets::defaults();
  if (options.action == "load" || (options.action == "download" && !options.file.empty())) {
    const TimingFileRead read = loadTimingFile(options.file);
    if (!read.sets) {
      std::cerr << "kelpax-cli: " << read.error << "\n";
      return kExitFile;
    }
    sets = *read.sets;
    if (options.action == "load") {
      printSets(sets);
      return kExitOk;
    }
  }
  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  PrivilegedLevel level(cli.session.exchange());
  if (!level.opened()) {
    std::cerr << "kelpax-cli: the camera did not open its factory level\n";
    return kExitCameraError;
  }
  FactoryTuning tuning(cli.camera());
  if (options.action == "save") {
    const std::optional<TimingSets> held = readCameraSets(tuning);
    if (!held) {
      std::cerr << "kelpax-cli: the camera did not tell its timing words\n";
      return kExitNoAnswer;
    }
    // Written beside the file and renamed over it: a failed write leaves no partial file.
    if (const std::string error = saveTimingFile(options.file, *held); !error.empty()) {
      std::cerr << "kelpax-cli: " << error << "\n";
      return kExitFile;
    }
    std::cout << "wrote " << options.file << " (" << kTimingFileBytes << " bytes)\n";
    return kExitOk;
  }

  // download
  const Answer answer = tuning.update(sets);
  if (!answer.accepted()) {
    std::cerr << "kelpax-cli: the camera refused the timing words: "
              << printableBytes(answer.errorText().empty() ? cli.status.last : answer.errorText())
              << "\n";
    return answer.result == CommandResult::CameraError ? kExitCameraError : kExitNoAnswer;
  }
  const std::optional<TimingSets> held = readCameraSets(tuning);
  if (!held || !(*held == sets)) {
    std::cerr << "kelpax-cli: the camera reports other timing words than were sent\n";
    return kExitCameraError;
  }
  std::cout << "the camera holds the timing words of "
            << (options.file.empty() ? std::string("the factory") : options.file) << "\n";
  return kExitOk;
}

} // namespace

CliCommand addTimingCommand(CLI::App& app) {
  auto options = std::make_shared<TimingOptions>();
  CLI::App* command = app.add_subcommand(
      "timing", "CCD timing words: load FILE.tmd (check and show), save FILE.tmd (from the "
                "camera), download [FILE.tmd] (into the camera; the factory values without FILE)");
  addLinkOptions(command, options->link);
  command->add_option("action", options->action, "load, save or download")
      ->required()
      ->check(CLI::IsMember({"load", "save", "download"}));
  command->add_option("file", options->file, "the .tmd file");
  return {command, [options] { return runTiming(*options); }};
}

} // namespace kelpax
