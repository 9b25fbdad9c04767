// A look-up table on its way to and from a camera slot: the words, compressed, under the slot's
// command pair; the upload inflated and byte-swapped back into a table. And "sls", the choice
// of the table the camera applies.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "camera/answer.h"
#include "editors/lut_table.h"
#include "transfer/transfer_plan.h"

namespace kelpax {

class PageHost;

inline constexpr uint16_t kLutDownloadSlot1 = 0x0102; // 258
inline constexpr uint16_t kLutDownloadSlot2 = 0x0103; // 259
inline constexpr uint16_t kLutDownloadFinal = 0x0104; // 260
inline constexpr uint16_t kLutUploadRequest = 0x0105; // 261
inline constexpr uint16_t kLutUploadBlockRead = 0x0106;
inline constexpr uint32_t kLutTransferTimeoutMs = 10000;
// The most compressed bytes a 12-bit table's upload takes; 14-bit tables take their words'
// size plus the deflate margin.
inline constexpr size_t kLutUploadBuffer = 10240;

inline constexpr uint32_t kLutSelectTimeoutMs = 12000;
inline constexpr std::string_view kLutSelectStem = "ls";
// The ways the camera can apply its tables: 0 "Off", 1 "LUT 1", 2 "LUT 2".
inline constexpr int kLutSelectOff = 0;
inline constexpr int kLutSelectMax = 2;

// The Ky 29C page's refusal while a binary transfer runs.
inline constexpr std::string_view kCannotDownloadLut = "Cannot download LUT";
inline constexpr std::string_view kCannotDownloadLutCaption = "Information";

// Messages of an upload whose data makes no table.
inline constexpr std::string_view kLutUploadEmpty = "The camera sent no table for this slot.";
inline constexpr std::string_view kLutUploadWrongSize =
    "The camera's table does not have the size of the page's table type.";
inline constexpr std::string_view kLutUploadBadOutput =
    "The camera's table holds outputs above 4095.";

bool lutSlotValid(int slot); // 1 or 2

// The outputs as 16-bit big-endian words.
std::vector<uint8_t> lutWords(const LutTable& table);

struct LutDownload {
  bool ok = false;
  DownloadPlan plan;
  std::string error; // why nothing is to be sent; empty for a failed compression (silent)
};

// The download of `table` into `slot` (1 or 2). A table with no-data entries is not sent.
LutDownload planLutDownload(const LutTable& table, int slot);

// The upload of `slot` for a table of `type`.
UploadPlan planLutUpload(int slot, LutType type);

struct LutUpload {
  bool ok = false;
  LutTable table;
  std::string message;        // for the operator (inflate failures: the message box text)
  bool inflateFailed = false; // `message` is one of the inflate message box texts
  std::string detail;
};

// The table from an upload's bytes: inflated (into no more than the table holds), checked to be
// exactly one table of `type`, words swapped from big-endian.
LutUpload lutFromUpload(std::span<const uint8_t> received, LutType type);

// "sls N" with its 12000 ms; false without sending for N outside 0..2.
bool lutSelectValid(int choice);
Answer selectLut(PageHost& host, int choice);
// The choice the cache knows from "ls"; -1 when the camera never told it.
int cachedLutSelection(const PageHost& host);

// The page's hidden command timing test ("Create LUT"): 30 rounds of "sva 0 1000" and
// "sva 200 1000" (3000 ms each). `ok` is false when a command went unanswered or refused.
struct LutTimingTest {
  bool ok = false;
  long elapsedMs = 0;
  int commandsSent = 0;
};
inline constexpr int kLutTimingRounds = 30;
inline constexpr std::string_view kLutTimingCaption = "Test Results";
LutTimingTest runLutTimingTest(PageHost& host, const std::function<long()>& nowMs);
// "\nStage Setup Time : %0.2f ms \n(...)\n" with the elapsed time divided by 60.
std::string lutTimingReport(long elapsedMs);

} // namespace kelpax
