// The data kinds kelpax-cli moves: how a file becomes a download, and an upload a file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "camera/tables/model_descriptor.h"
#include "transfer/transfer_plan.h"

namespace kelpax {

// Options only some kinds take.
struct CliKindOptions {
  std::string commands;            // raw: "BLOCK,FINAL" or "REQUEST,READ", e.g. 0x5000,0x5001
  uint32_t finalTimeoutMs = 10000; // raw download: the closing frame's time-out
  uint64_t capacity = 64u << 20;   // raw upload: the most bytes taken
};

struct PreparedDownload {
  DownloadPlan plan;
  bool singleFrame = false; // one frame with blockCommand, acknowledged as a whole
  std::string error;        // why nothing can be sent
};

struct PreparedUpload {
  UploadPlan plan;
  // The file's bytes from what the camera sent; false with a reason when they make none.
  std::function<bool(const std::vector<uint8_t>& received, std::string& file, std::string& error)>
      toFile;
  std::string error; // why the camera cannot be asked (the model keeps no such data)
};

struct CliKind {
  const char* name;
  bool needsModel; // the camera is identified first: the data depends on its model
  std::function<PreparedDownload(const std::string& path, const ModelDescriptor& model,
                                 const CliKindOptions& options)>
      download;
  std::function<PreparedUpload(const ModelDescriptor& model, const CliKindOptions& options)> upload;
};

const CliKind* findCliKind(const std::string& name);
// "a, b, c": the kinds that can be downloaded, or uploaded.
std::string cliKindNames(bool upload);
void addCliKindOptions(CLI::App* cmd, CliKindOptions& options, bool upload);

} // namespace kelpax
