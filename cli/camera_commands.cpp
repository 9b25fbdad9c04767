// kelpax-cli space / startup / high-speed / acquisition / temperature / camera-info: the same
// operations the main window's menus run, on the same session.
#include "cli/camera_commands.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "tools/thermal_control.h"

namespace kelpax {
namespace {

struct CameraOptions {
  LinkOptions link;
  std::string action;
  int space = -1;
  // temperature target / log
  double target = 0;
  int seconds = 60;
  int intervalMs = 1000;
  std::string file;
};

// Prints the camera's verdict on an operation and the exit code it earns.
int verdict(const CliSession& cli, const Answer& answer) {
  std::cout << outcomeName(answer.result) << "\n";
  if (answer.accepted())
    return kExitOk;
  std::cerr << "kelpax-cli: " << printableBytes(cli.status.last) << "\n";
  return answer.result == CommandResult::CameraError ? kExitCameraError : kExitNoAnswer;
}

int runSpace(const CameraOptions& options) {
  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  ConnectedCamera& camera = cli.camera();
  return verdict(cli, options.action == "load" ? camera.loadSettingSpace(options.space)
                                               : camera.saveSettingSpace(options.space));
}

int runStartup(const CameraOptions& options) {
  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  ConnectedCamera& camera = cli.camera();
  if (options.space >= 0)
    return verdict(cli, camera.chooseStartupSpace(options.space));
  if (!camera.query("gci", {.timeoutMs = options.link.timeoutMs}).cached ||
      camera.startupSpace() < 0) {
    std::cerr << "kelpax-cli: the camera does not tell its start-up space\n";
    return kExitNoAnswer;
  }
  std::printf("%d\n", camera.startupSpace());
  return kExitOk;
}

int runHighSpeed(const CameraOptions& options) {
  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  return verdict(cli, cli.camera().setHighSpeed(options.action == "on"));
}

int runAcquisition(const CameraOptions& options) {
  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  return verdict(cli, cli.camera().acquisition(options.action == "start"));
}

// The newer cooled cameras keep the Peltier mode under "ptm".
PeltierGeneration generationOf(ConnectedCamera& camera) {
  return camera.parameterCache().find("ptm") ? PeltierGeneration::Newer
                                             : PeltierGeneration::Classic;
}

int runTemperatureLog(CliSession& cli, const CameraOptions& options) {
  ConnectedCamera& camera = cli.camera();
  ThermalControl control(camera, generationOf(camera));
  const std::string path = withCsvSuffix(options.file);
  AgingLog log(path, control.generation());
  camera.sendCommand("aar qelmarst", {.timeoutMs = options.link.timeoutMs});
  for (int pass = 0; pass < options.seconds; ++pass) {
    if (pass > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(options.intervalMs));
    std::string why;
    const std::optional<AgingSample> sample = control.readSample(pass, &why);
    if (!sample) {
      std::cerr << "kelpax-cli: " << why << " The log stopped after " << pass << " lines in "
                << path << ".\n";
      return kExitCameraError;
    }
    if (!log.append(*sample))
      std::cerr << "kelpax-cli: " << path << " cannot be written; line " << pass << " skipped\n";
    std::cout << agingCsvLine(*sample) << std::flush;
  }
  return log.linesSkipped() == options.seconds ? kExitPort : kExitOk;
}

int runTemperature(const CameraOptions& options) {
  CliSession cli;
  if (options.action.empty()) {
    if (int rc = cli.open(options.link); rc != kExitOk)
      return rc;
    const std::optional<std::string> temperature = cli.camera().readTemperature();
    if (!temperature) {
      std::cerr << "kelpax-cli: the camera does not tell its temperature\n";
      return kExitNoAnswer;
    }
    std::printf("%s\n", printableBytes(*temperature).c_str());
    return kExitOk;
  }
  if (options.action == "target" &&
      (options.target != int(options.target) || !targetInRange(int(options.target)))) {
    std::cerr << "kelpax-cli: the target must be a whole number from " << kTargetMinC << " to "
              << kTargetMaxC << " degrees; nothing was sent\n";
    return kExitCameraError;
  }
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  ConnectedCamera& camera = cli.camera();
  // The cache knows the Peltier stems only once read.
  for (const char* stem : {"gtt", "gptm", "gtc"})
    camera.query(stem, {.timeoutMs = options.link.timeoutMs});
  ThermalControl control(camera, generationOf(camera));
  if (options.action == "get") {
    const std::optional<double> sensor = control.readSensorTemperature();
    if (!sensor) {
      std::cerr << "kelpax-cli: the camera does not tell its sensor temperature\n";
      return kExitNoAnswer;
    }
    std::printf("%.2f\n", *sensor);
    return kExitOk;
  }
  if (options.action == "target")
    return verdict(cli, *control.setTarget(int(options.target)));
  return runTemperatureLog(cli, options);
}

int runCameraInfo(const CameraOptions& options) {
  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  const CameraInfo info = cli.camera().readCameraInfo();
  std::printf("name    %s\nserial  %s\nFPGA    %s\nMCU     %s\n", printableBytes(info.name).c_str(),
              printableBytes(info.serialNumber).c_str(), printableBytes(info.fpgaVersion).c_str(),
              printableBytes(info.mcuVersion).c_str());
  if (info.name.empty() && info.serialNumber.empty() && info.fpgaVersion.empty() &&
      info.mcuVersion.empty()) {
    std::cerr << "kelpax-cli: the camera answered none of the four queries\n";
    return kExitNoAnswer;
  }
  return kExitOk;
}

CliCommand addVerb(CLI::App& app, const char* name, const char* description,
                   int (*run)(const CameraOptions&),
                   const std::function<void(CLI::App*, CameraOptions&)>& arguments = {}) {
  auto options = std::make_shared<CameraOptions>();
  CLI::App* command = app.add_subcommand(name, description);
  addLinkOptions(command, options->link);
  if (arguments)
    arguments(command, *options);
  return {command, [options, run] { return run(*options); }};
}

} // namespace

std::vector<CliCommand> addCameraCommands(CLI::App& app) {
  const auto spaceNumber = CLI::Range(0, 2);
  return {
      addVerb(app, "space", "load or store the camera's settings: space load|save 0|1|2", runSpace,
              [&](CLI::App* command, CameraOptions& options) {
                command->add_option("action", options.action, "load or save")
                    ->required()
                    ->check(CLI::IsMember({"load", "save"}));
                command->add_option("space", options.space, "0 factory, 1 user 1, 2 user 2")
                    ->required()
                    ->check(spaceNumber);
              }),
      addVerb(app, "startup", "print the start-up space, or choose it: startup [0|1|2]", runStartup,
              [&](CLI::App* command, CameraOptions& options) {
                command->add_option("space", options.space, "0 factory, 1 user 1, 2 user 2")
                    ->check(spaceNumber);
              }),
      addVerb(app, "high-speed", "switch high speed on or off", runHighSpeed,
              [](CLI::App* command, CameraOptions& options) {
                command->add_option("state", options.action, "on or off")
                    ->required()
                    ->check(CLI::IsMember({"on", "off"}));
              }),
      addVerb(app, "acquisition", "start or stop the camera's acquisition", runAcquisition,
              [](CLI::App* command, CameraOptions& options) {
                command->add_option("state", options.action, "start or stop")
                    ->required()
                    ->check(CLI::IsMember({"start", "stop"}));
              }),
      addVerb(app, "temperature",
              "print the camera temperature; or the sensor's (get), set the sensor's target "
              "(target T), or log both once per second (log --seconds N FILE.csv)",
              runTemperature,
              [](CLI::App* command, CameraOptions& options) {
                command->add_option("action", options.action, "get, target or log")
                    ->check(CLI::IsMember({"get", "target", "log"}));
                command->add_option("value", options.file, "target in degrees, or the log file");
                command->add_option("--seconds", options.seconds, "passes of the log, one a second")
                    ->check(CLI::Range(1, 7 * 24 * 3600));
                command
                    ->add_option("--interval-ms", options.intervalMs, "pause between passes (1000)")
                    ->check(CLI::Range(0, 60000));
                command->callback([&options] {
                  if (options.action == "log" && options.file.empty())
                    throw CLI::ValidationError("log", "name the CSV file");
                  if (options.action == "target") {
                    try {
                      size_t used = 0;
                      options.target = std::stod(options.file, &used);
                      if (used != options.file.size())
                        throw std::invalid_argument(options.file);
                    } catch (const std::exception&) {
                      throw CLI::ValidationError("target", "give the target in degrees");
                    }
                  }
                });
              }),
      addVerb(app, "camera-info", "print the camera's name, serial number and versions",
              runCameraInfo),
  };
}

} // namespace kelpax
