// kelpax-cli stage, for scripted factory runs on the nano-stage cameras.
#include "cli/stage_command.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>

#include "tools/stage_control.h"

namespace kelpax {
namespace {

struct StageOptions {
  LinkOptions link;
  std::string action;
  std::vector<int> position;
  std::string report;
};

int refused(CliSession& cli, const Answer& answer, const char* what) {
  std::cout << outcomeName(answer.result) << "\n";
  if (answer.accepted())
    return kExitOk;
  std::cerr << "kelpax-cli: the camera refused " << what << ": "
            << printableBytes(answer.errorText().empty() ? cli.status.last : answer.errorText())
            << "\n";
  return answer.result == CommandResult::CameraError ? kExitCameraError : kExitNoAnswer;
}

int runStage(const StageOptions& options) {
  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  StageControl stage(cli.camera());
  if (options.action == "reset")
    return refused(cli, stage.reset(), "the stage reset");
  if (options.action == "calibrate")
    return refused(cli, stage.calibrate(), "the calibration");
  if (options.action == "move") {
    if (options.position.size() != 2 || options.position[0] < 0 || options.position[1] < 0 ||
        options.position[0] > kStageMaxNm || options.position[1] > kStageMaxNm) {
      std::cerr << "kelpax-cli: a move takes X and Y from 0 to " << kStageMaxNm
                << " nm; nothing was sent\n";
      return kExitCameraError;
    }
    return refused(cli, stage.moveBoth(options.position[0], options.position[1]), "the move");
  }
  if (options.action == "voltages") {
    const std::optional<PztVoltages> volts = stage.readPztVoltages();
    if (!volts) {
      std::cerr << "kelpax-cli: the camera did not tell the PZT voltages\n";
      return kExitNoAnswer;
    }
    std::printf("X %4.2f V\nY %4.2f V\n", volts->x, volts->y);
    return kExitOk;
  }
  // check
  StageCheck check(stage);
  while (check.step())
    std::fprintf(stderr, "\r%3d %%", check.percent());
  std::fprintf(stderr, "\r%3d %%\n", check.percent());
  const std::string report = check.report();
  if (options.report.empty()) {
    std::cout << report;
  } else {
    // Written beside and renamed into place: a failed write never leaves half a report.
    const std::string partial = options.report + ".part";
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << report;
    out.close();
    if (!out || std::rename(partial.c_str(), options.report.c_str()) != 0) {
      std::remove(partial.c_str());
      std::cerr << "kelpax-cli: the report cannot be written to " << options.report << "\n";
      return kExitPort;
    }
  }
  if (check.failed()) {
    std::cerr << "kelpax-cli: the stage check stopped: " << check.failure() << "\n";
    return kExitCameraError;
  }
  if (check.faults() > 0) {
    std::cerr << "kelpax-cli: the stage check found " << check.faults() << " fault(s)\n";
    return kExitCameraError;
  }
  return kExitOk;
}

} // namespace

CliCommand addStageCommand(CLI::App& app) {
  auto options = std::make_shared<StageOptions>();
  CLI::App* command = app.add_subcommand(
      "stage", "drive the nano-stage: reset, calibrate, move X Y, voltages, check [--report FILE]");
  addLinkOptions(command, options->link);
  command->add_option("action", options->action, "reset, calibrate, move, voltages or check")
      ->required()
      ->check(CLI::IsMember({"reset", "calibrate", "move", "voltages", "check"}));
  command->add_option("position", options->position, "X and Y in nm (move)");
  command->add_option("--report", options->report, "write the stage check's report here");
  return {command, [options] { return runStage(*options); }};
}

} // namespace kelpax
