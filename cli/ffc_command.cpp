// kelpax-cli ffc generate|save|load|download FILE|upload FILE|download-prnu FILE|
// upload-prnu FILE|download-linearity FILE.
#include "cli/ffc_command.h"

#include <iostream>
#include <memory>

#include "camera/file_io.h"
#include "cli/transfer_commands.h"
#include "editors/flat_field.h"

namespace kelpax {
namespace {

struct FfcOptions {
  LinkOptions link;
  std::string action;
  std::string file;
};

int commandOutcome(CliSession& cli, const CommandOutcome& outcome, const Answer& last) {
  if (outcome.accepted) {
    std::cout << (outcome.message.empty() ? std::string("OK")
                                          : std::string(trimBlanks(outcome.message)))
              << "\n";
    return kExitOk;
  }
  std::cerr << "kelpax-cli: the camera refused: "
            << printableBytes(last.errorText().empty() ? cli.status.last : last.errorText())
            << "\n";
  return last.result == CommandResult::CameraError || last.accepted() ? kExitCameraError
                                                                      : kExitNoAnswer;
}

int download(CliSession& cli, const FlatFieldDownload& download, const std::string& file) {
  if (!download.ok) {
    std::cerr << "kelpax-cli: " << printableBytes(download.message) << "\n";
    return kExitFile;
  }
  const TransferResult result = sendWithProgress(cli, download.plan);
  if (!result.ok())
    return reportTransfer(result, false);
  std::cout << "sent " << file << " (" << download.values << " values)\n";
  if (download.valuesDropped > 0)
    std::cerr << "kelpax-cli: the camera takes " << download.values << " values; the last "
              << download.valuesDropped << " of the file were not sent\n";
  return kExitOk;
}

int upload(CliSession& cli, const UploadPlan& plan,
           const std::function<FlatFieldFile(const std::vector<uint8_t>&)>& toFile,
           const std::string& path) {
  std::vector<uint8_t> received;
  const TransferResult result = receiveWithProgress(cli, plan, received);
  if (!result.ok())
    return reportTransfer(result, true);
  const FlatFieldFile file = toFile(received);
  if (!file.ok) {
    std::cerr << "kelpax-cli: " << file.message << "\n";
    return kExitCameraError;
  }
  std::string message;
  if (!writeFlatFieldFile(path, file.bytes, message)) {
    std::cerr << "kelpax-cli: " << message << "\n";
    return kExitFile;
  }
  std::cout << "wrote " << path << " (" << file.bytes.size() << " bytes)\n";
  return kExitOk;
}

int runFfc(const FfcOptions& options) {
  const std::string& action = options.action;
  const bool needsFile = action != "generate" && action != "save" && action != "load";
  if (needsFile && options.file.empty()) {
    std::cerr << "kelpax-cli: ffc " << action << " takes a FILE\n";
    return kExitFile;
  }
  // Files are read before the port opens: a bad file never reaches the camera.
  std::string bytes;
  if (needsFile && action.rfind("download", 0) == 0) {
    std::string message;
    const size_t limit = action == "download" ? kFfcFileSizeLimit : kCsvFileSizeLimit;
    if (!readFlatFieldFile(options.file, limit, bytes, message)) {
      std::cerr << "kelpax-cli: " << message << "\n";
      return kExitFile;
    }
  }
  FlatFieldDownload planned;
  if (action == "download")
    planned = planFfcDownload(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  else if (action == "download-prnu")
    planned = planPrnuDownload(bytes);
  else if (action == "download-linearity")
    planned = planLinearityDownload(bytes);
  if (action.rfind("download", 0) == 0 && !planned.ok) {
    std::cerr << "kelpax-cli: " << printableBytes(planned.message) << "\n";
    return kExitFile;
  }

  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  if (!needsFile) {
    Answer last;
    const FlatFieldSender send = [&](const std::string& command, uint32_t timeoutMs) {
      last = cli.camera().sendCommand(command, {.timeoutMs = timeoutMs, .shown = true});
      return last;
    };
    const FlashAction flash = action == "generate" ? FlashAction::Generate
                              : action == "save"   ? FlashAction::SaveToFlash
                                                   : FlashAction::LoadFromFlash;
    if (action == "save")
      std::cerr << "the camera writes its flash; this takes up to five minutes...\n";
    return commandOutcome(cli, runFlashAction(flash, send), last);
  }
  if (action.rfind("download", 0) == 0)
    return download(cli, planned, options.file);
  const ModelDescriptor model = cli.camera().modelDescriptor();
  if (action == "upload")
    return upload(
        cli, planFfcUpload(model),
        [&](const std::vector<uint8_t>& received) {
          return ffcFileFromUpload(received, ffcBufferSize(model));
        },
        flatFieldFilePath(options.file, ".ffc"));
  return upload(cli, planPrnuUpload(), prnuFileFromUpload, flatFieldFilePath(options.file, ".csv"));
}

} // namespace

CliCommand addFfcCommand(CLI::App& app) {
  auto options = std::make_shared<FfcOptions>();
  CLI::App* command = app.add_subcommand(
      "ffc", "flat-field and PRNU data: generate, save, load, download FILE, upload FILE, "
             "download-prnu FILE, upload-prnu FILE, download-linearity FILE");
  addLinkOptions(command, options->link);
  command
      ->add_option("action", options->action,
                   "generate, save or load (the camera's flash); download or upload a .ffc "
                   "file; download-prnu, upload-prnu or download-linearity a .csv file")
      ->required()
      ->check(CLI::IsMember({"generate", "save", "load", "download", "upload", "download-prnu",
                             "upload-prnu", "download-linearity"}));
  command->add_option("file", options->file, "the file to send or write");
  return {command, [options] { return runFfc(*options); }};
}

} // namespace kelpax
