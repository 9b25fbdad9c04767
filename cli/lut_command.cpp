// kelpax-cli lut gamma / download / upload / select.
#include "cli/lut_command.h"

#include <iostream>
#include <memory>
#include <string>

#include "cli/transfer_commands.h"
#include "editors/lut_file.h"
#include "editors/lut_transfer.h"

namespace kelpax {
namespace {

struct LutOptions {
  LinkOptions link;
  double gamma = kLutDefaultGamma;
  std::string file;
  int slot = 1;
  int bits = 12;
  std::string choice;
};

LutType typeOf(const LutOptions& options) {
  return options.bits == 14 ? LutType::Bits14 : LutType::Bits12;
}

// Files are read as the camera's own page reads them: the Ky 29C page skips its gamma line.
LutFileDialect dialectFor(const ModelDescriptor& model) {
  return model.series == Series::Ky ? LutFileDialect::Ky29C : LutFileDialect::Standard;
}

int runGamma(const LutOptions& options) {
  LutTable table(typeOf(options));
  if (!generateGammaTable(table, options.gamma)) {
    std::cerr << "kelpax-cli: the gamma must be above 0 and at most 1000; no file was written\n";
    return kExitCameraError;
  }
  const LutFileSave saved = saveLutFile(options.file, table);
  if (!saved.saved) {
    std::cerr << "kelpax-cli: " << saved.message << " " << saved.detail << "\n";
    return kExitFile;
  }
  std::cout << "wrote " << saved.path << " (" << table.size() << " inputs, gamma " << options.gamma
            << ")\n";
  return kExitOk;
}

int runDownload(const LutOptions& options) {
  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  LutTable table(typeOf(options));
  const LutFileLoad loaded =
      loadLutFile(options.file, table, dialectFor(cli.camera().modelDescriptor()));
  if (!loaded.ok) {
    std::cerr << "kelpax-cli:" << (loaded.message.front() == ' ' ? "" : " ") << loaded.message
              << " " << loaded.detail << "\n";
    return kExitFile;
  }
  const LutDownload download = planLutDownload(table, options.slot);
  if (!download.ok) {
    std::cerr << "kelpax-cli: "
              << (download.error.empty() ? "the table could not be compressed" : download.error)
              << "\n";
    return kExitFile;
  }
  const TransferResult result = sendWithProgress(cli, download.plan);
  if (result.ok())
    std::cout << "sent " << options.file << " to LUT " << options.slot << " ("
              << download.plan.payload.size() << " bytes on the wire)\n";
  return reportTransfer(result, false);
}

int runUpload(const LutOptions& options) {
  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  std::vector<uint8_t> received;
  const TransferResult result =
      receiveWithProgress(cli, planLutUpload(options.slot, typeOf(options)), received);
  if (!result.ok())
    return reportTransfer(result, true);
  const LutUpload upload = lutFromUpload(received, typeOf(options));
  if (!upload.ok) {
    std::cerr << "kelpax-cli: " << upload.message
              << (upload.detail.empty() ? "" : " (" + upload.detail + ")") << "\n";
    return kExitCameraError;
  }
  const LutFileSave saved = saveLutFile(options.file, upload.table);
  if (!saved.saved) {
    std::cerr << "kelpax-cli: " << saved.message << " " << saved.detail << "\n";
    return kExitFile;
  }
  std::cout << "wrote " << saved.path << " (LUT " << options.slot << ", " << upload.table.size()
            << " inputs)\n";
  return kExitOk;
}

int runSelect(const LutOptions& options) {
  const int choice = options.choice == "off" ? 0 : options.choice == "1" ? 1 : 2;
  CliSession cli;
  if (int rc = cli.open(options.link); rc != kExitOk)
    return rc;
  const Answer answer = selectLut(cli.camera(), choice);
  std::cout << outcomeName(answer.result) << "\n";
  if (answer.accepted())
    return kExitOk;
  std::cerr << "kelpax-cli: the camera refused the table choice: "
            << printableBytes(answer.errorText().empty() ? cli.status.last : answer.errorText())
            << "\n";
  return answer.result == CommandResult::CameraError ? kExitCameraError : kExitNoAnswer;
}

void addSlotAndType(CLI::App* cmd, LutOptions& options) {
  cmd->add_option("--slot", options.slot, "the camera's table: 1 or 2")
      ->required()
      ->check(CLI::IsMember({1, 2}));
  cmd->add_option("--type", options.bits, "input bits of the table: 12 (4096 inputs) or 14")
      ->check(CLI::IsMember({12, 14}));
}

} // namespace

std::vector<CliCommand> addLutCommands(CLI::App& app) {
  CLI::App* lut = app.add_subcommand("lut", "look-up tables: gamma, download, upload, select");
  lut->require_subcommand(1);
  std::vector<CliCommand> commands;

  auto gamma = std::make_shared<LutOptions>();
  CLI::App* cmd = lut->add_subcommand("gamma", "write the table of a gamma value to a .lut file");
  cmd->add_option("value", gamma->gamma, "the gamma, above 0 and at most 1000")->required();
  cmd->add_option("--out", gamma->file, "the file to write (.lut appended unless named so)")
      ->required();
  cmd->add_option("--type", gamma->bits, "input bits of the table: 12 (4096 inputs) or 14")
      ->check(CLI::IsMember({12, 14}));
  commands.push_back({cmd, [gamma] { return runGamma(*gamma); }});

  auto download = std::make_shared<LutOptions>();
  cmd = lut->add_subcommand("download", "send a .lut or .csv table to a camera slot");
  addLinkOptions(cmd, download->link);
  addSlotAndType(cmd, *download);
  cmd->add_option("file", download->file, "the table file")->required();
  commands.push_back({cmd, [download] { return runDownload(*download); }});

  auto upload = std::make_shared<LutOptions>();
  cmd = lut->add_subcommand("upload", "read a camera slot's table into a .lut file");
  addLinkOptions(cmd, upload->link);
  addSlotAndType(cmd, *upload);
  cmd->add_option("file", upload->file, "the file to write (.lut appended unless named so)")
      ->required();
  commands.push_back({cmd, [upload] { return runUpload(*upload); }});

  auto select = std::make_shared<LutOptions>();
  cmd = lut->add_subcommand("select", "choose the table the camera applies: off, 1 or 2");
  addLinkOptions(cmd, select->link);
  cmd->add_option("choice", select->choice, "off, 1 or 2")
      ->required()
      ->check(CLI::IsMember({"off", "1", "2"}));
  commands.push_back({cmd, [select] { return runSelect(*select); }});
  return commands;
}

} // namespace kelpax
