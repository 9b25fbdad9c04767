// Look-up tables to and from the camera's slots: the words and commands of each transfer, the
// tables made from what a camera sends, and the round trip through the simulated camera.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "editors/lut_file.h"
#include "editors/lut_transfer.h"
#include "tests/session/pty_camera_link.h"
#include "tests/transfer/transfer_recorder.h"
#include "transfer/binary_transfer.h"
#include "transfer/zlib_codec.h"

using namespace kelpax;

namespace {

// zlib's own inflate, so a payload is checked without our wrapper.
std::vector<uint8_t> zlibInflate(const std::vector<uint8_t>& in, size_t expected) {
  std::vector<uint8_t> out(expected + 16);
  uLongf size = uLongf(out.size());
  if (uncompress(out.data(), &size, in.data(), uLong(in.size())) != Z_OK)
    return {};
  out.resize(size);
  return out;
}

std::vector<uint8_t> deflated(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(Compress(raw, out));
  return out;
}

LutTable gamma(double value, LutType type = LutType::Bits12) {
  LutTable table(type);
  EXPECT_TRUE(generateGammaTable(table, value));
  return table;
}

} // namespace

// Would catch little-endian words, the wrong command for a slot, or the wrong time-outs.
TEST(LutTransferPlans, DownloadCarriesBigEndianWordsUnderTheSlotsCommand) {
  LutTable table;
  table[0] = 0x0ABC;
  table[4095] = 0x0102;
  const std::vector<uint8_t> words = lutWords(table);
  ASSERT_EQ(words.size(), 8192u);
  EXPECT_EQ(words[0], 0x0A);
  EXPECT_EQ(words[1], 0xBC);
  EXPECT_EQ(words[8190], 0x01);
  EXPECT_EQ(words[8191], 0x02);

  for (int slot : {1, 2}) {
    const LutDownload download = planLutDownload(table, slot);
    ASSERT_TRUE(download.ok) << download.error;
    EXPECT_EQ(download.plan.blockCommand, slot == 1 ? 258 : 259);
    EXPECT_EQ(download.plan.finalCommand, 260);
    EXPECT_EQ(download.plan.blockTimeoutMs, 10000u);
    EXPECT_EQ(download.plan.finalTimeoutMs, 10000u);
    EXPECT_EQ(zlibInflate(download.plan.payload, words.size()), words);
  }
  const LutDownload wide = planLutDownload(gamma(0.45, LutType::Bits14), 1);
  ASSERT_TRUE(wide.ok);
  EXPECT_EQ(zlibInflate(wide.plan.payload, 32768).size(), 32768u);
}

TEST(LutTransferPlans, NothingToSendIsRefused) {
  for (int slot : {0, 3, -1}) {
    const LutDownload download = planLutDownload(LutTable(), slot);
    EXPECT_FALSE(download.ok) << slot;
    EXPECT_FALSE(download.error.empty()) << slot;
  }
  // A table still marked "no data" (an upload that failed) is no table to send.
  LutTable waiting;
  waiting.fill(kLutNoData);
  EXPECT_FALSE(planLutDownload(waiting, 1).ok);
  EXPECT_FALSE(planLutDownload(waiting, 1).error.empty());
}

TEST(LutTransferPlans, UploadAsksForTheSlot) {
  for (int slot : {1, 2}) {
    const UploadPlan plan = planLutUpload(slot, LutType::Bits12);
    EXPECT_EQ(plan.requestCommand, 261);
    EXPECT_EQ(plan.blockReadCommand, 262);
    EXPECT_EQ(plan.parameter, uint32_t(slot));
    EXPECT_EQ(plan.firstTimeoutMs, 10000u);
    EXPECT_EQ(plan.capacity, 10240u);
  }
  // A 14-bit table, however badly it compresses, fits what the upload takes.
  EXPECT_GE(planLutUpload(1, LutType::Bits14).capacity, 32768u + 1024u);
}

// What a camera's upload becomes: would catch unswapped words, a table of the wrong size taken
// in part, or outputs no camera can apply.
TEST(LutFromUpload, OnlyAWholeTableOfTheRightTypeIsTaken) {
  const LutTable table = gamma(0.45);
  const LutUpload back = lutFromUpload(deflated(lutWords(table)), LutType::Bits12);
  ASSERT_TRUE(back.ok) << back.message;
  EXPECT_EQ(back.table, table);

  const LutTable wide = gamma(2.2, LutType::Bits14);
  EXPECT_EQ(lutFromUpload(deflated(lutWords(wide)), LutType::Bits14).table, wide);

  std::vector<uint8_t> high = lutWords(table);
  high[2 * 300] = 0x13; // input 300 -> 0x13xx, above 4095
  struct Case {
    const char* what;
    std::vector<uint8_t> received;
    LutType type;
    std::string_view message;
  };
  const std::vector<uint8_t> narrow = lutWords(table);
  const std::vector<uint8_t> narrowDeflated = deflated(narrow);
  const Case cases[] = {
      {"nothing", {}, LutType::Bits12, kLutUploadEmpty},
      {"not deflate data", {1, 2, 3, 4, 5, 6, 7, 8}, LutType::Bits12, kInflateDataError},
      {"cut short", std::vector<uint8_t>(narrowDeflated.begin(), narrowDeflated.end() - 6),
       LutType::Bits12, kInflateDataError},
      {"a 12-bit table for a 14-bit page", deflated(narrow), LutType::Bits14, kLutUploadWrongSize},
      {"a 14-bit table for a 12-bit page", deflated(lutWords(wide)), LutType::Bits12,
       kLutUploadWrongSize},
      {"an odd byte more", deflated([&] {
         auto v = narrow;
         v.push_back(0);
         return v;
       }()),
       LutType::Bits12, kLutUploadWrongSize},
      {"an output above 4095", deflated(high), LutType::Bits12, kLutUploadBadOutput},
  };
  for (const Case& c : cases) {
    const LutUpload result = lutFromUpload(c.received, c.type);
    EXPECT_FALSE(result.ok) << c.what;
    EXPECT_EQ(result.message, c.message) << c.what;
    EXPECT_EQ(result.inflateFailed, c.message == kInflateDataError) << c.what;
  }
}

TEST(LutSelect, OnlyOffAndTheTwoTablesAreSent) {
  EXPECT_TRUE(lutSelectValid(0));
  EXPECT_TRUE(lutSelectValid(2));
  EXPECT_FALSE(lutSelectValid(3));
  EXPECT_FALSE(lutSelectValid(-1));
}

namespace {

class LutOnSim : public ::testing::Test {
protected:
  void open(const std::string& model) {
    link_ = std::make_unique<sessiontest::PtyCameraLink>(model, "lut");
    ASSERT_TRUE(link_->opened);
    link_->connected.identify(model);
    link_->exchange.setEventPump(&recorder_);
    transfer_ = std::make_unique<BinaryTransfer>(link_->exchange, &recorder_);
    transfer_->setUploadBlockTimeoutMs(2000);
  }
  TransferResult download(const LutTable& table, int slot) {
    const LutDownload download = planLutDownload(table, slot);
    EXPECT_TRUE(download.ok) << download.error;
    return transfer_->SendBinary(download.plan);
  }
  LutUpload upload(int slot, LutType type, TransferResult* outcome = nullptr) {
    std::vector<uint8_t> received;
    const TransferResult result = transfer_->ReceiveBinary(planLutUpload(slot, type), received);
    if (outcome)
      *outcome = result;
    if (!result.ok()) {
      LutUpload failed;
      failed.message = result.status;
      return failed;
    }
    return lutFromUpload(received, type);
  }

  std::unique_ptr<sessiontest::PtyCameraLink> link_;
  transfertest::Recorder recorder_;
  std::unique_ptr<BinaryTransfer> transfer_;
};

} // namespace

// Generate, download to each slot, upload back: identical, and each slot keeps its own table.
// Would catch the slots mixed up, the upload asking for the wrong slot, or words swapped.
TEST_F(LutOnSim, TablesComeBackFromTheirSlots) {
  open("Ky-29C-M40");
  const LutTable first = gamma(0.45);
  const LutTable second = gamma(2.2);
  ASSERT_TRUE(download(first, 1).ok());
  ASSERT_TRUE(download(second, 2).ok());
  const LutUpload one = upload(1, LutType::Bits12);
  ASSERT_TRUE(one.ok) << one.message;
  EXPECT_EQ(one.table, first);
  const LutUpload two = upload(2, LutType::Bits12);
  ASSERT_TRUE(two.ok) << two.message;
  EXPECT_EQ(two.table, second);

  // The Ky 29C's 14-bit table.
  const LutTable wide = gamma(0.6, LutType::Bits14);
  ASSERT_TRUE(download(wide, 2).ok());
  const LutUpload wideBack = upload(2, LutType::Bits14);
  ASSERT_TRUE(wideBack.ok) << wideBack.message;
  EXPECT_EQ(wideBack.table, wide);
  EXPECT_EQ(link_->exchange.Query("gmn").token(), "Ky-29C-M40") << "the link after the transfers";
}

// "sls": accepted choices reach the camera and the cache the view page reads; a refused one
// changes neither.
TEST_F(LutOnSim, SelectionReachesCameraAndCache) {
  open("Kx-4M-M40");
  for (int choice : {2, 1, 0}) {
    const Answer answer = selectLut(link_->connected, choice);
    EXPECT_TRUE(answer.accepted()) << choice << ": " << answer.text;
    EXPECT_EQ(cachedLutSelection(link_->connected), choice);
    EXPECT_EQ(link_->exchange.Query("gls").token(), std::to_string(choice));
  }
  ASSERT_TRUE(selectLut(link_->connected, 1).accepted());
  EXPECT_FALSE(selectLut(link_->connected, 3).accepted());
  EXPECT_EQ(cachedLutSelection(link_->connected), 1);
  EXPECT_EQ(link_->exchange.Query("gls").token(), "1");
}

// A camera without look-up tables refuses the download and has none to upload; the link stays
// usable and the operator is told.
TEST_F(LutOnSim, CameraWithoutTablesRefuses) {
  open("Kw-4M-C10");
  const TransferResult sent = download(gamma(0.45), 1);
  EXPECT_EQ(sent.code, TransferCode::Nak);
  EXPECT_EQ(sent.status, "Download failed(NAK)");
  TransferResult outcome;
  const LutUpload back = upload(1, LutType::Bits12, &outcome);
  EXPECT_TRUE(outcome.ok()) << outcome.status;
  EXPECT_FALSE(back.ok);
  EXPECT_EQ(back.message, kLutUploadEmpty);
  EXPECT_FALSE(selectLut(link_->connected, 1).accepted());
  EXPECT_EQ(link_->exchange.Query("gmn").token(), "Kw-4M-C10");
}
