// Image files to download plans: commands by kind or by extension, the file compressed whole.
#include "transfer/firmware_image.h"

#include "camera/file_io.h"
#include "transfer/zlib_codec.h"

namespace kelpax {
namespace {

constexpr FirmwareCommands kMcuCommands{0x5000, 0x5001, 80000};
constexpr FirmwareCommands kFpgaCommands{0x6000, 0x6001, 120000};
constexpr FirmwareCommands kPackageCommands{0x0000, 0x0001, 120000};

FirmwareDownload refusal(std::string_view message, std::string detail) {
  FirmwareDownload result;
  result.message = std::string(message);
  result.detail = std::move(detail);
  return result;
}

// The commands for `kind`, or nothing for a package of unknown extension.
std::optional<FirmwareCommands> commandsFor(FirmwareKind kind, std::string_view fileName) {
  if (kind == FirmwareKind::Package)
    return packageCommands(fileName);
  return firmwareCommands(kind);
}

} // namespace

FirmwareCommands firmwareCommands(FirmwareKind kind) {
  return kind == FirmwareKind::Fpga ? kFpgaCommands : kMcuCommands;
}

std::optional<FirmwareCommands> packageCommands(std::string_view fileName) {
  // The extension belongs to the file's name, not to a folder above it.
  const size_t slash = fileName.rfind('/');
  if (slash != std::string_view::npos)
    fileName.remove_prefix(slash + 1);
  const size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos)
    return std::nullopt;
  const std::string_view extension = fileName.substr(dot + 1);
  if (extension == "pkg")
    return kPackageCommands;
  if (extension == "mcu" || extension == "vxf")
    return kMcuCommands;
  if (extension == "fpga")
    return kFpgaCommands;
  return std::nullopt;
}

FirmwareDownload planFirmwareDownload(FirmwareKind kind, std::string_view fileName,
                                      std::span<const uint8_t> image) {
  const std::optional<FirmwareCommands> commands = commandsFor(kind, fileName);
  if (!commands)
    return refusal(kPackageExtensionUnknown, std::string(fileName));
  // An empty image would leave the camera with no firmware at all.
  if (image.empty())
    return refusal(kFirmwareFileEmpty, std::string(fileName));
  FirmwareDownload result;
  if (!Compress(image, result.plan.payload))
    return refusal(kFirmwareCompressFailed, std::string(fileName));
  result.ok = true;
  result.plan.blockCommand = commands->blockCommand;
  result.plan.finalCommand = commands->finalCommand;
  result.plan.finalTimeoutMs = commands->finalTimeoutMs;
  return result;
}

FirmwareDownload loadFirmwareDownload(FirmwareKind kind, const std::string& path) {
  if (!commandsFor(kind, path))
    return refusal(kPackageExtensionUnknown, path);
  std::string bytes;
  const FileStatus status = readFileBounded(path, kFirmwareFileSizeLimit, bytes);
  if (!status)
    return refusal(kFirmwareFileUnreadable, status.detail);
  return planFirmwareDownload(
      kind, path,
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

} // namespace kelpax
