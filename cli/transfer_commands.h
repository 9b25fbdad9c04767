// kelpax-cli download / upload: binary transfers of the data kinds a camera keeps, with a
// progress bar on stderr and Ctrl-C as the Cancel button.
#pragma once

#include <vector>

#include <CLI/CLI.hpp>

#include "cli/verbs.h"
#include "transfer/binary_transfer.h"

namespace kelpax {

// A file that could not be read or written, or held nothing the camera can take.
inline constexpr int kExitFile = 4;
// The transfer was cancelled with Ctrl-C.
inline constexpr int kExitCanceled = 130;

// The exit code of a transfer's outcome: 0, the camera's refusal (1), no answer (2) or
// cancelled (130).
int transferExitCode(const TransferResult& result, bool upload);

std::vector<CliCommand> addTransferCommands(CLI::App& app);

// A download or upload on the verb's link, with the progress bar on stderr and Ctrl-C as the
// Cancel button.
TransferResult sendWithProgress(CliSession& cli, const DownloadPlan& plan);
TransferResult receiveWithProgress(CliSession& cli, const UploadPlan& plan,
                                   std::vector<uint8_t>& received);
// Says why a transfer failed and returns its exit code.
int transferOutcome(const TransferResult& result, bool upload);

} // namespace kelpax
