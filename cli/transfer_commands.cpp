// kelpax-cli download KIND FILE and upload KIND FILE.
#include "cli/transfer_commands.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include <unistd.h>

#include "camera/file_io.h"
#include "cli/transfer_kinds.h"

namespace kelpax {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void onInterrupt(int) {
  gInterrupted = 1;
}

// Ctrl-C stops the transfer the way the Cancel button does, for as long as this lives.
class InterruptAsCancel {
public:
  InterruptAsCancel() {
    gInterrupted = 0;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptAsCancel() { sigaction(SIGINT, &previous_, nullptr); }
  InterruptAsCancel(const InterruptAsCancel&) = delete;
  InterruptAsCancel& operator=(const InterruptAsCancel&) = delete;

private:
  struct sigaction previous_ {};
};

// The transfer's progress on stderr: a bar redrawn in place on a terminal, a line per
// percentage otherwise.
class StderrProgress : public TransferObserver, public EventPump {
public:
  StderrProgress() : terminal_(isatty(STDERR_FILENO) == 1) {}
  ~StderrProgress() override { endLine(); }

  void transferActive(bool) override {}
  void progressBarShown(bool) override {}
  void progressShown(int percent) override {
    if (percent == last_)
      return;
    last_ = percent;
    if (terminal_) {
      constexpr int kWidth = 40;
      std::string bar(size_t(percent * kWidth / 100), '#');
      bar.resize(kWidth, '.');
      std::fprintf(stderr, "\r[%s] %3d %%", bar.c_str(), percent);
      lineOpen_ = true;
    } else {
      std::fprintf(stderr, "%d %%\n", percent);
    }
    std::fflush(stderr);
  }
  void percentCleared() override {}
  void cancelButtonChanged(bool shown, bool, const std::string& text) override {
    if (shown && text == "Wait..") {
      endLine();
      std::fprintf(stderr, "the camera stores the data...\n");
    }
  }
  void statusShown(const std::string&) override {}
  void beep(int, int) override {}
  bool pumpEvents() override {
    if (!gInterrupted)
      return false;
    gInterrupted = 0;
    return true;
  }

private:
  void endLine() {
    if (lineOpen_)
      std::fputc('\n', stderr);
    lineOpen_ = false;
  }
  bool terminal_;
  bool lineOpen_ = false;
  int last_ = -1;
};

struct TransferOptions {
  LinkOptions link;
  std::string kind;
  std::string file;
  CliKindOptions kindOptions;
};

int openFor(CliSession& cli, const TransferOptions& options, bool needsModel) {
  return needsModel ? cli.open(options.link) : cli.openPort(options.link);
}

int report(const TransferResult& result, bool upload) {
  if (!result.ok())
    std::cerr << "kelpax-cli: " << result.status << "\n";
  return transferExitCode(result, upload);
}

int runDownload(const TransferOptions& options) {
  const CliKind* kind = findCliKind(options.kind);
  if (!kind || !kind->download) {
    std::cerr << "kelpax-cli: cannot download '" << options.kind
              << "'; kinds: " << cliKindNames(false) << "\n";
    return kExitFile;
  }
  CliSession cli;
  if (int rc = openFor(cli, options, kind->needsModel); rc != kExitOk)
    return rc;
  PreparedDownload prepared =
      kind->download(options.file, cli.camera().modelDescriptor(), options.kindOptions);
  if (!prepared.error.empty()) {
    std::cerr << "kelpax-cli: " << prepared.error << "\n";
    return kExitFile;
  }
  TransferResult result;
  if (prepared.singleFrame) {
    StderrProgress progress;
    InterruptAsCancel interrupt;
    cli.session.exchange().setEventPump(&progress);
    BinaryTransfer transfer(cli.session.exchange(), &progress);
    result = transfer.SendSingleFrame(prepared.plan.blockCommand, prepared.plan.payload);
    cli.session.exchange().setEventPump(nullptr);
  } else {
    result = sendWithProgress(cli, prepared.plan);
  }
  if (result.ok())
    std::cout << "sent " << options.file << " (" << prepared.plan.payload.size()
              << " bytes on the wire)\n";
  return report(result, false);
}

int runUpload(const TransferOptions& options) {
  const CliKind* kind = findCliKind(options.kind);
  if (!kind || !kind->upload) {
    std::cerr << "kelpax-cli: cannot upload '" << options.kind << "'; kinds: " << cliKindNames(true)
              << "\n";
    return kExitFile;
  }
  CliSession cli;
  if (int rc = openFor(cli, options, kind->needsModel); rc != kExitOk)
    return rc;
  PreparedUpload prepared = kind->upload(cli.camera().modelDescriptor(), options.kindOptions);
  if (!prepared.error.empty()) {
    std::cerr << "kelpax-cli: " << prepared.error << "\n";
    return kExitCameraError;
  }
  std::vector<uint8_t> received;
  const TransferResult result = receiveWithProgress(cli, prepared.plan, received);
  if (!result.ok())
    return report(result, true);
  std::string fileBytes;
  std::string error;
  if (!prepared.toFile(received, fileBytes, error)) {
    std::cerr << "kelpax-cli: " << error << "\n";
    return kExitCameraError;
  }
  // Written beside the target and renamed: a failed write leaves no partial file.
  const FileStatus written = writeFileAtomically(options.file, fileBytes);
  if (!written) {
    std::cerr << "kelpax-cli: " << written.detail << "\n";
    return kExitFile;
  }
  std::cout << "wrote " << options.file << " (" << fileBytes.size() << " bytes)\n";
  return kExitOk;
}

} // namespace

TransferResult sendWithProgress(CliSession& cli, const DownloadPlan& plan) {
  StderrProgress progress;
  InterruptAsCancel interrupt;
  cli.session.exchange().setEventPump(&progress);
  BinaryTransfer transfer(cli.session.exchange(), &progress);
  const TransferResult result = transfer.SendBinary(plan);
  cli.session.exchange().setEventPump(nullptr);
  return result;
}

TransferResult receiveWithProgress(CliSession& cli, const UploadPlan& plan,
                                   std::vector<uint8_t>& received) {
  StderrProgress progress;
  InterruptAsCancel interrupt;
  cli.session.exchange().setEventPump(&progress);
  BinaryTransfer transfer(cli.session.exchange(), &progress);
  const TransferResult result = transfer.ReceiveBinary(plan, received);
  cli.session.exchange().setEventPump(nullptr);
  return result;
}

int transferOutcome(const TransferResult& result, bool upload) {
  return report(result, upload);
}

int transferExitCode(const TransferResult& result, bool upload) {
  switch (result.code) {
  case TransferCode::Ok:
    return kExitOk;
  case TransferCode::Canceled:
    return kExitCanceled;
  case TransferCode::TimedOut:
    return kExitNoAnswer;
  case TransferCode::SendFailed:
    // A download frame the port would not take; an upload reply without its start.
    return upload ? kExitCameraError : kExitNoAnswer;
  case TransferCode::NoData:
    return kExitFile;
  default:
    return kExitCameraError;
  }
}

std::vector<CliCommand> addTransferCommands(CLI::App& app) {
  std::vector<CliCommand> commands;
  for (bool upload : {false, true}) {
    auto options = std::make_shared<TransferOptions>();
    CLI::App* cmd = upload ? app.add_subcommand("upload", "read data from the camera into a file")
                           : app.add_subcommand("download", "send a file's data to the camera");
    addLinkOptions(cmd, options->link);
    cmd->add_option("kind", options->kind, "what the data is: " + cliKindNames(upload))->required();
    cmd->add_option("file", options->file, upload ? "the file to write" : "the file to send")
        ->required();
    addCliKindOptions(cmd, options->kindOptions, upload);
    commands.push_back(
        {cmd, [options, upload] { return upload ? runUpload(*options) : runDownload(*options); }});
  }
  return commands;
}

} // namespace kelpax
