// Firmware and FPGA images: the commands per kind and per package extension, and the image
// sent compressed and whole.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/transfer/transfer_test_support.h"
#include "transfer/firmware_image.h"

using namespace kelpax;
namespace fs = std::filesystem;

namespace {

const std::vector<uint8_t> kImage = {'S', '0', '0', '3', 0, 0, 0xFC, 0x0A, 0xFF, 0x00};

// Would catch an image sent under another kind's commands or time-out.
TEST(FirmwareImage, EachKindAndPackageExtensionHasItsCommands) {
  const struct {
    FirmwareKind kind;
    const char* file;
    uint16_t block;
    uint16_t final;
    uint32_t timeoutMs;
  } table[] = {
      {FirmwareKind::Mcu, "main.srec", 0x5000, 0x5001, 80000},
      {FirmwareKind::Fpga, "top.bin", 0x6000, 0x6001, 120000},
      {FirmwareKind::Package, "/images/all.pkg", 0x0000, 0x0001, 120000},
      {FirmwareKind::Package, "main.mcu", 0x5000, 0x5001, 80000},
      {FirmwareKind::Package, "main.vxf", 0x5000, 0x5001, 80000},
      {FirmwareKind::Package, "old.pkg.fpga", 0x6000, 0x6001, 120000},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.file);
    const FirmwareDownload result = planFirmwareDownload(row.kind, row.file, kImage);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.plan.blockCommand, row.block);
    EXPECT_EQ(result.plan.finalCommand, row.final);
    EXPECT_EQ(result.plan.blockTimeoutMs, 10000u);
    EXPECT_EQ(result.plan.finalTimeoutMs, row.timeoutMs);
    EXPECT_EQ(test::zlibInflate(result.plan.payload), kImage);
  }
}

// Would catch a package whose extension has capitals, none, or an unknown one being sent under
// some command pair instead of being refused before anything goes out.
TEST(FirmwareImage, PackagesOfOtherExtensionsAreRefused) {
  for (const char* file : {"main.MCU", "all.Pkg", "top.FPGA", "top.bin", "main.srec", "noext", "",
                           "folder.mcu/noext", "main.mcu.", "main.mcu~"}) {
    SCOPED_TRACE(file);
    EXPECT_FALSE(packageCommands(file));
    const FirmwareDownload result = planFirmwareDownload(FirmwareKind::Package, file, kImage);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, kPackageExtensionUnknown);
    EXPECT_TRUE(result.plan.payload.empty());
  }
  // MCU Upgrade takes any name: its commands do not depend on it.
  EXPECT_TRUE(planFirmwareDownload(FirmwareKind::Mcu, "main.MCU", kImage).ok);
}

// Would catch the package path sending something other than MCU Upgrade does for one file.
TEST(FirmwareImage, APackageOfExtensionMcuSendsWhatMcuUpgradeSends) {
  const FirmwareDownload mcu = planFirmwareDownload(FirmwareKind::Mcu, "cam.mcu", kImage);
  const FirmwareDownload package = planFirmwareDownload(FirmwareKind::Package, "cam.mcu", kImage);
  ASSERT_TRUE(mcu.ok && package.ok);
  EXPECT_EQ(package.plan.payload, mcu.plan.payload);
  EXPECT_EQ(package.plan.blockCommand, mcu.plan.blockCommand);
  EXPECT_EQ(package.plan.finalCommand, mcu.plan.finalCommand);
  EXPECT_EQ(package.plan.blockTimeoutMs, mcu.plan.blockTimeoutMs);
  EXPECT_EQ(package.plan.finalTimeoutMs, mcu.plan.finalTimeoutMs);
}

class FirmwareFile : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("kelpax-firmware-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string put(const std::string& name, const std::string& bytes) {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  fs::path folder_;
};

// Would catch a 1-byte image being padded or lost, and an empty or missing file sending an
// empty image the camera would take for its firmware.
TEST_F(FirmwareFile, ImagesAreReadWholeAndEmptyOnesRefused) {
  const FirmwareDownload one = loadFirmwareDownload(FirmwareKind::Fpga, put("one.bin", "\x5a"));
  ASSERT_TRUE(one.ok) << one.message << one.detail;
  EXPECT_LT(one.plan.payload.size(), 16u);
  EXPECT_EQ(test::zlibInflate(one.plan.payload), std::vector<uint8_t>{0x5a});

  const FirmwareDownload empty = loadFirmwareDownload(FirmwareKind::Mcu, put("empty.mcu", ""));
  EXPECT_FALSE(empty.ok);
  EXPECT_EQ(empty.message, kFirmwareFileEmpty);
  EXPECT_TRUE(empty.plan.payload.empty());

  const FirmwareDownload missing =
      loadFirmwareDownload(FirmwareKind::Mcu, (folder_ / "none.mcu").string());
  EXPECT_EQ(missing.message, kFirmwareFileUnreadable);
  EXPECT_NE(missing.detail.find("none.mcu"), std::string::npos);
  EXPECT_EQ(loadFirmwareDownload(FirmwareKind::Mcu, folder_.string()).message,
            kFirmwareFileUnreadable);

  // The extension is judged first: a package of unknown kind is refused even unread.
  EXPECT_EQ(loadFirmwareDownload(FirmwareKind::Package, (folder_ / "none.MCU").string()).message,
            kPackageExtensionUnknown);
}

} // namespace
