// Look-up table words, compressed for a slot and back; the table choice command.
#include "editors/lut_transfer.h"

#include <algorithm>
#include <cstdio>

#include "editors/lut_file.h"
#include "pages/page_host.h"
#include "transfer/zlib_codec.h"

namespace kelpax {

bool lutSlotValid(int slot) {
  return slot == 1 || slot == 2;
}

std::vector<uint8_t> lutWords(const LutTable& table) {
  std::vector<uint8_t> words;
  words.reserve(size_t(table.size()) * 2);
  for (uint16_t value : table.values()) {
    words.push_back(uint8_t(value >> 8));
    words.push_back(uint8_t(value));
  }
  return words;
}

LutDownload planLutDownload(const LutTable& table, int slot) {
  LutDownload result;
  if (!lutSlotValid(slot)) {
    result.error = "The camera keeps tables in slots 1 and 2 only.";
    return result;
  }
  if (!lutTableComplete(table)) {
    result.error = "The table holds entries without data; load, generate or upload a table first.";
    return result;
  }
  if (!Compress(lutWords(table), result.plan.payload))
    return result; // nothing is sent, and nothing said
  result.ok = true;
  result.plan.blockCommand = slot == 1 ? kLutDownloadSlot1 : kLutDownloadSlot2;
  result.plan.finalCommand = kLutDownloadFinal;
  result.plan.blockTimeoutMs = kLutTransferTimeoutMs;
  result.plan.finalTimeoutMs = kLutTransferTimeoutMs;
  return result;
}

UploadPlan planLutUpload(int slot, LutType type) {
  UploadPlan plan;
  plan.requestCommand = kLutUploadRequest;
  plan.blockReadCommand = kLutUploadBlockRead;
  plan.parameter = uint32_t(slot);
  plan.firstTimeoutMs = kLutTransferTimeoutMs;
  // A 14-bit table's words are 32768 bytes: the 12-bit buffer could not hold it compressed
  // badly, so it takes the words' size plus the deflate margin.
  const size_t words = size_t(lutInputCount(type)) * 2;
  plan.capacity = std::max(kLutUploadBuffer, words + kCompressSlack);
  return plan;
}

LutUpload lutFromUpload(std::span<const uint8_t> received, LutType type) {
  LutUpload result;
  result.table = LutTable(type);
  if (received.empty()) {
    result.message = std::string(kLutUploadEmpty);
    return result;
  }
  const size_t expected = size_t(lutInputCount(type)) * 2;
  // One byte more than a table: a longer table is told from a right one without inflating it all.
  const InflateResult inflated = Inflate(received, expected + 1);
  if (!inflated.ok()) {
    if (inflated.error == InflateError::TooLarge) {
      result.message = std::string(kLutUploadWrongSize);
    } else {
      result.message = std::string(inflated.message());
      result.inflateFailed = true;
    }
    result.detail = inflated.detail;
    return result;
  }
  if (inflated.bytes.size() != expected) {
    result.message = std::string(kLutUploadWrongSize);
    result.detail =
        std::to_string(inflated.bytes.size()) + " bytes, " + std::to_string(expected) + " expected";
    return result;
  }
  std::span<uint16_t> values = result.table.values();
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] = uint16_t(inflated.bytes[2 * i] << 8 | inflated.bytes[2 * i + 1]);
    if (values[i] > kLutMaxOutput) {
      result.message = std::string(kLutUploadBadOutput);
      result.detail = "input " + std::to_string(i) + " has " + std::to_string(values[i]);
      result.table = LutTable(type);
      return result;
    }
  }
  result.ok = true;
  return result;
}

bool lutSelectValid(int choice) {
  return choice >= kLutSelectOff && choice <= kLutSelectMax;
}

Answer selectLut(PageHost& host, int choice) {
  if (!lutSelectValid(choice)) {
    Answer refused;
    refused.result = CommandResult::Blocked;
    return refused;
  }
  return host.sendCommand("sls " + std::to_string(choice),
                          {.timeoutMs = kLutSelectTimeoutMs, .shown = true});
}

int cachedLutSelection(const PageHost& host) {
  const int value = host.cacheInt(kLutSelectStem);
  return lutSelectValid(value) ? value : -1;
}

LutTimingTest runLutTimingTest(PageHost& host, const std::function<long()>& nowMs) {
  LutTimingTest result;
  const long start = nowMs();
  result.ok = true;
  for (int round = 0; round < kLutTimingRounds; ++round) {
    for (const char* command : {"sva 0 1000", "sva 200 1000"}) {
      ++result.commandsSent;
      if (!host.sendCommand(command, {.timeoutMs = 3000}).accepted())
        result.ok = false;
    }
  }
  result.elapsedMs = nowMs() - start;
  return result;
}

std::string lutTimingReport(long elapsedMs) {
  char text[160];
  std::snprintf(text, sizeof text,
                "\nStage Setup Time : %0.2f ms \n(Stage Driving Time + Serial Communication Time + "
                "Latency)\n",
                double(elapsedMs) / 60.0);
  return text;
}

} // namespace kelpax
