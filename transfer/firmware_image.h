// Firmware and FPGA images: the command pair and time-out for each kind of image, and the image
// file compressed whole into what the camera is sent. The image is never looked inside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "transfer/transfer_plan.h"

namespace kelpax {

// The three entries of File > System Upgrade.
enum class FirmwareKind { Mcu, Fpga, Package };

// File dialog filters, in the form Qt's file dialogs take.
inline constexpr std::string_view kMcuImageFilter = "*.srec, *.mcu (*.srec *.mcu)";
inline constexpr std::string_view kFpgaImageFilter = "*.bin, *.fpga (*.bin *.fpga)";
inline constexpr std::string_view kPackageImageFilter =
    "*.mcu, *.fpga, *.pkg, *.vxf (*.mcu *.fpga *.pkg *.vxf)";

// An image file larger than this is not one the cameras take.
inline constexpr size_t kFirmwareFileSizeLimit = 256u << 20;

inline constexpr std::string_view kFirmwareFileUnreadable = "Cannot open the image file!";
inline constexpr std::string_view kFirmwareFileEmpty = "The image file is empty!";
inline constexpr std::string_view kPackageExtensionUnknown =
    "Unknown package type: the file name must end in .pkg, .mcu, .vxf or .fpga";
inline constexpr std::string_view kFirmwareCompressFailed = "Cannot compress the image file!";

struct FirmwareCommands {
  uint16_t blockCommand = 0;
  uint16_t finalCommand = 0;
  uint32_t finalTimeoutMs = 0;
};

// The commands of MCU Upgrade (0x5000/0x5001, 80000 ms) and FPGA Upgrade (0x6000/0x6001,
// 120000 ms).
FirmwareCommands firmwareCommands(FirmwareKind kind);

// Package Upgrade by the extension after the file name's last dot, in exact letter case:
// "pkg", "mcu", "vxf", "fpga". Nothing for any other extension or none.
std::optional<FirmwareCommands> packageCommands(std::string_view fileName);

// The outcome of preparing an image. When `ok` is false nothing is to be sent, and `message`
// says why.
struct FirmwareDownload {
  bool ok = false;
  DownloadPlan plan;
  std::string message;
  std::string detail;
};

// The image's bytes compressed whole into a plan with the commands of `kind`; `fileName`
// chooses the commands of a package. An empty image, or a package of unknown extension, is
// refused.
FirmwareDownload planFirmwareDownload(FirmwareKind kind, std::string_view fileName,
                                      std::span<const uint8_t> image);

// As planFirmwareDownload, reading the image from `path` (the extension is checked first, so
// an unknown package is refused before the file is read).
FirmwareDownload loadFirmwareDownload(FirmwareKind kind, const std::string& path);

} // namespace kelpax
