// The data kinds of kelpax-cli download / upload.
#include "cli/transfer_kinds.h"

#include <charconv>

#include "camera/file_io.h"
#include "transfer/ccd_timing.h"
#include "transfer/defect_pixels.h"
#include "transfer/firmware_image.h"

namespace kelpax {
namespace {

// The largest file a download reads.
constexpr size_t kMaxDownloadFile = 64u << 20;

bool parseCommand(std::string_view text, uint16_t& out) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  unsigned value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF)
    return false;
  out = uint16_t(value);
  return true;
}

bool parsePair(const std::string& text, uint16_t& first, uint16_t& second) {
  const size_t comma = text.find(',');
  return comma != std::string::npos &&
         parseCommand(std::string_view(text).substr(0, comma), first) &&
         parseCommand(std::string_view(text).substr(comma + 1), second);
}

// The file's bytes as they are, under the command pair given.
PreparedDownload rawDownload(const std::string& path, const ModelDescriptor&,
                             const CliKindOptions& options) {
  PreparedDownload prepared;
  if (!parsePair(options.commands, prepared.plan.blockCommand, prepared.plan.finalCommand)) {
    prepared.error = "raw needs --commands BLOCK,FINAL (e.g. 0x5000,0x5001)";
    return prepared;
  }
  std::string bytes;
  const FileStatus read = readFileBounded(path, kMaxDownloadFile, bytes);
  if (!read) {
    prepared.error = read.detail;
    return prepared;
  }
  if (bytes.empty()) {
    prepared.error = path + " is empty: nothing to send";
    return prepared;
  }
  prepared.plan.payload.assign(bytes.begin(), bytes.end());
  prepared.plan.finalTimeoutMs = options.finalTimeoutMs;
  return prepared;
}

PreparedUpload rawUpload(const ModelDescriptor&, const CliKindOptions& options) {
  PreparedUpload prepared;
  if (!parsePair(options.commands, prepared.plan.requestCommand, prepared.plan.blockReadCommand)) {
    prepared.error = "raw needs --commands REQUEST,READ (e.g. 0x0202,0x0203)";
    return prepared;
  }
  prepared.plan.firstTimeoutMs = options.finalTimeoutMs;
  prepared.plan.capacity = size_t(options.capacity);
  prepared.toFile = [](const std::vector<uint8_t>& received, std::string& file, std::string&) {
    file.assign(received.begin(), received.end());
    return true;
  };
  return prepared;
}

PreparedDownload refusedFile(std::string message, const std::string& detail) {
  PreparedDownload prepared;
  prepared.error = detail.empty() ? std::move(message) : message + " (" + detail + ")";
  return prepared;
}

bool readDefects(const std::string& path, std::string& text, PreparedDownload& prepared) {
  std::string detail;
  if (readDefectFile(path, text, detail))
    return true;
  prepared = refusedFile(std::string(kCannotOpenDefectFile), detail);
  return false;
}

PreparedDownload fromDefectPlan(const DefectDownload& download) {
  PreparedDownload prepared;
  if (!download.ok) {
    prepared = refusedFile(download.message.empty() ? "the defect data cannot be compressed"
                                                    : download.message,
                           download.detail);
    return prepared;
  }
  prepared.plan = download.plan;
  return prepared;
}

// Download to Camera: the list or map the model takes.
PreparedDownload defectDownload(const std::string& path, const ModelDescriptor& model,
                                const CliKindOptions&) {
  PreparedDownload prepared;
  std::string text;
  if (!readDefects(path, text, prepared))
    return prepared;
  return fromDefectPlan(planDefectDownload(model, text));
}

// The three-value list of the factory tools.
PreparedDownload defect3Download(const std::string& path, const ModelDescriptor& model,
                                 const CliKindOptions&) {
  PreparedDownload prepared;
  std::string text;
  if (!readDefects(path, text, prepared))
    return prepared;
  if (model.sensorWidth <= 0 || model.sensorHeight <= 0)
    return refusedFile(std::string(kDefectSensorSizeUnusable), {});
  return fromDefectPlan(planDefectThreeValueDownload(text, uint32_t(model.sensorWidth),
                                                     uint32_t(model.sensorHeight)));
}

PreparedUpload defectUpload(const ModelDescriptor& model, const CliKindOptions&) {
  PreparedUpload prepared;
  const DefectUploadSetup setup = planDefectUpload(model);
  if (!setup.ok) {
    prepared.error = setup.message;
    return prepared;
  }
  prepared.plan = setup.plan;
  prepared.toFile = [setup](const std::vector<uint8_t>& received, std::string& file,
                            std::string& error) {
    const DefectUploadFile made = defectFileFromUpload(received, setup);
    if (!made.ok) {
      error =
          made.inflateMessage.empty() ? made.message : made.message + ": " + made.inflateMessage;
      return false;
    }
    file = made.text;
    return true;
  };
  return prepared;
}

template <FirmwareKind kind>
PreparedDownload firmwareDownload(const std::string& path, const ModelDescriptor&,
                                  const CliKindOptions&) {
  const FirmwareDownload download = loadFirmwareDownload(kind, path);
  if (!download.ok)
    return refusedFile(download.message, download.detail);
  PreparedDownload prepared;
  prepared.plan = download.plan;
  return prepared;
}

PreparedDownload ccdDownload(const std::string& path, const ModelDescriptor&,
                             const CliKindOptions&) {
  const CcdTiming timing = loadCcdTiming(path);
  if (!timing.ok)
    return refusedFile(timing.message, timing.detail);
  PreparedDownload prepared;
  prepared.plan.payload = timing.record;
  prepared.plan.blockCommand = kCcdTimingCommand;
  prepared.singleFrame = true;
  return prepared;
}

const CliKind kKinds[] = {
    {"defect", true, defectDownload, defectUpload},
    {"defect3", true, defect3Download, nullptr},
    {"mcu", false, firmwareDownload<FirmwareKind::Mcu>, nullptr},
    {"fpga", false, firmwareDownload<FirmwareKind::Fpga>, nullptr},
    {"package", false, firmwareDownload<FirmwareKind::Package>, nullptr},
    {"ccd", false, ccdDownload, nullptr},
    {"raw", false, rawDownload, rawUpload},
};

} // namespace

const CliKind* findCliKind(const std::string& name) {
  for (const CliKind& kind : kKinds)
    if (name == kind.name)
      return &kind;
  return nullptr;
}

std::string cliKindNames(bool upload) {
  std::string names;
  for (const CliKind& kind : kKinds) {
    if (upload ? !kind.upload : !kind.download)
      continue;
    if (!names.empty())
      names += ", ";
    names += kind.name;
  }
  return names;
}

void addCliKindOptions(CLI::App* cmd, CliKindOptions& options, bool upload) {
  cmd->add_option("--commands", options.commands,
                  upload ? "raw: request and block-read commands, e.g. 0x0202,0x0203"
                         : "raw: block and closing commands, e.g. 0x5000,0x5001");
  cmd->add_option("--final-timeout", options.finalTimeoutMs,
                  upload ? "raw: ms to wait for the camera's announcement"
                         : "raw: ms to wait for the camera to store the data");
  if (upload)
    cmd->add_option("--capacity", options.capacity, "raw: the most bytes taken from the camera");
}

} // namespace kelpax
