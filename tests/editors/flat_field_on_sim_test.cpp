// Flat-field data against the simulated cameras on a pseudo-terminal: files downloaded and
// uploaded back, the generate and flash commands, and bad files that leave the link usable.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editors/flat_field.h"
#include "tests/session/pty_camera_link.h"
#include "transfer/binary_transfer.h"

using namespace kelpax;

namespace {

std::vector<uint8_t> noise(size_t count, uint32_t seed) {
  std::vector<uint8_t> data(count);
  for (uint8_t& b : data) {
    seed = seed * 1664525u + 1013904223u;
    b = uint8_t(seed >> 24);
  }
  return data;
}

class FlatFieldOnSim : public ::testing::Test {
protected:
  void open(const char* model) {
    link_ = std::make_unique<sessiontest::PtyCameraLink>(model, "ffc");
    ASSERT_TRUE(link_->opened);
    link_->connected.identify(model);
    transfer_ = std::make_unique<BinaryTransfer>(link_->exchange);
  }
  FlatFieldSender sender() {
    return [this](const std::string& command, uint32_t timeoutMs) {
      sent_.push_back(command);
      return link_->exchange.SendCommand(command, {.timeoutMs = timeoutMs});
    };
  }
  const ModelDescriptor& model() { return link_->connected.modelDescriptor(); }
  void expectLinkUsable(const char* model) {
    EXPECT_EQ(link_->exchange.Query("gmn").token(), model) << "the link afterwards";
  }
  // The camera's own account of what a download under `command` left in it.
  std::string stored(const char* command) {
    return link_->exchange.Query(std::string("simstore ") + command).token();
  }

  std::unique_ptr<sessiontest::PtyCameraLink> link_;
  std::unique_ptr<BinaryTransfer> transfer_;
  std::vector<std::string> sent_;
};

TEST_F(FlatFieldOnSim, FfcFileOfOddLengthComesBackIdentical) {
  open("Ko-25MC-C65");
  const std::vector<uint8_t> file = noise(3001, 7);
  const FlatFieldDownload download = planFfcDownload(file);
  ASSERT_TRUE(download.ok);
  ASSERT_TRUE(transfer_->SendBinary(download.plan).ok());

  std::vector<uint8_t> received;
  ASSERT_TRUE(transfer_->ReceiveBinary(planFfcUpload(model()), received).ok());
  const FlatFieldFile back = ffcFileFromUpload(received, ffcBufferSize(model()));
  ASSERT_TRUE(back.ok) << back.message;
  EXPECT_EQ(back.bytes, std::string(file.begin(), file.end()));
}

TEST_F(FlatFieldOnSim, PrnuCoefficientsComeBackAsTheirFile) {
  open("Ku-16K-M80");
  std::string text;
  for (int i = 0; i < 5000; ++i)
    text += std::to_string((i * 37) % 65536) + "\n";
  text += "65535\n";
  const FlatFieldDownload download = planPrnuDownload(text);
  ASSERT_TRUE(download.ok) << download.message;
  ASSERT_TRUE(transfer_->SendBinary(download.plan).ok());
  std::vector<uint8_t> received;
  ASSERT_TRUE(transfer_->ReceiveBinary(planPrnuUpload(), received).ok());
  const FlatFieldFile back = prnuFileFromUpload(received);
  ASSERT_TRUE(back.ok) << back.message;
  EXPECT_EQ(back.bytes, text);

  // Linearity goes to its own store.
  const FlatFieldDownload linearity = planLinearityDownload("0\n1000\n65535\n");
  ASSERT_TRUE(transfer_->SendBinary(linearity.plan).ok());
  EXPECT_NE(stored("0602"), "0/0");
}

TEST_F(FlatFieldOnSim, AreaCamerasGenerateStoreAndLoadTheirData) {
  open("Ko-25MC-C65");
  for (FlashAction action :
       {FlashAction::Generate, FlashAction::SaveToFlash, FlashAction::LoadFromFlash}) {
    const CommandOutcome outcome = runFlashAction(action, sender());
    EXPECT_TRUE(outcome.accepted) << sent_.back();
    EXPECT_FALSE(outcome.message.empty());
  }
  EXPECT_TRUE(setOffsetLevel(4095, sender()).accepted);
  EXPECT_EQ(link_->exchange.Query("gfo").token(), "4095");
  EXPECT_FALSE(setOffsetLevel(4096, sender()).sent);
  // The camera keeps four data sets: a fifth is refused.
  EXPECT_TRUE(chooseSelector(3, 8, sender()).accepted);
  EXPECT_FALSE(chooseSelector(4, 8, sender()).accepted);
  EXPECT_EQ(link_->exchange.Query("gfds").token(), "3");
}

TEST_F(FlatFieldOnSim, LineScanCamerasAnswerTheirDarkAndPrnuCommands) {
  open("Ke-4K5C-M40");
  for (KeAction action : {KeAction::GenerateAllDark, KeAction::GenerateDark, KeAction::SaveDark,
                          KeAction::LoadDark, KeAction::SavePrnu, KeAction::LoadPrnu})
    EXPECT_TRUE(runKeAction(action, sender()).accepted) << sent_.back();
  EXPECT_TRUE(generateKePrnu(0, sender()).accepted);
  // Flat-field commands belong to area cameras.
  EXPECT_FALSE(runFlashAction(FlashAction::Generate, sender()).accepted);
}

TEST_F(FlatFieldOnSim, BadFilesSendNothingAndLeaveTheLinkUsable) {
  open("Ku-16K-M80");
  const std::string before = stored("0400");
  for (const std::string& text :
       {std::string("1\n70000\n"), std::string("\xff\xfe\x00garbage", 10), std::string("-5\n")}) {
    const FlatFieldDownload download = planPrnuDownload(text);
    ASSERT_FALSE(download.ok);
    // What a caller does with a refused plan: nothing goes out.
    EXPECT_FALSE(transfer_->SendBinary(download.plan).ok());
  }
  EXPECT_EQ(stored("0400"), before);
  expectLinkUsable("Ku-16K-M80");
}

} // namespace
