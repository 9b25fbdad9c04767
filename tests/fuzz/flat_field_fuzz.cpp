// Flat-field data files: any bytes as a ".ffc" file, a PRNU coefficient file or a linearity
// file either are refused with a message and nothing to send, or become exactly the words the
// camera takes; the PRNU words a camera would send back write a file that sends them again.
#include <string_view>

#include "editors/flat_field.h"
#include "tests/fuzz/fuzz_check.h"
#include "transfer/zlib_codec.h"

using namespace kelpax;

namespace {

std::vector<uint8_t> inflated(const DownloadPlan& plan, size_t capacity) {
  const InflateResult result = Inflate(plan.payload, capacity);
  FUZZ_CHECK(result.ok());
  return result.bytes;
}

bool refused(const FlatFieldDownload& download) {
  FUZZ_CHECK(!download.message.empty());
  FUZZ_CHECK(download.plan.payload.empty());
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const FlatFieldDownload ffc = planFfcDownload(bytes);
  if (ffc.ok)
    FUZZ_CHECK(inflated(ffc.plan, size + 1) == swapBytePairs(bytes));
  else
    refused(ffc);

  const FlatFieldDownload prnu = planPrnuDownload(text);
  if (prnu.ok) {
    const std::vector<uint8_t> words = inflated(prnu.plan, prnu.values * 4 + 1);
    FUZZ_CHECK(words.size() == prnu.values * 4);
    FUZZ_CHECK(prnu.values > 0 && prnu.values <= 16384);
    for (size_t i = 0; i < words.size(); i += 4) {
      const uint32_t word = uint32_t(words[i]) << 24 | uint32_t(words[i + 1]) << 16 |
                            uint32_t(words[i + 2]) << 8 | uint32_t(words[i + 3]);
      FUZZ_CHECK(word % 64 == 0 && word <= 65535u * 64);
    }
    // The camera's copy comes back as a file that plans the same download.
    const FlatFieldFile file = prnuFileFromUpload(prnu.plan.payload);
    FUZZ_CHECK(file.ok && file.values == prnu.values);
    const FlatFieldDownload again = planPrnuDownload(file.bytes);
    FUZZ_CHECK(again.ok);
    FUZZ_CHECK(inflated(again.plan, prnu.values * 4 + 1) == words);
  } else {
    refused(prnu);
  }

  const FlatFieldDownload linearity = planLinearityDownload(text);
  if (linearity.ok) {
    FUZZ_CHECK(linearity.values > 0 && linearity.values <= 1024);
    FUZZ_CHECK(inflated(linearity.plan, linearity.values * 2 + 1).size() == linearity.values * 2);
  } else {
    refused(linearity);
  }
  return 0;
}
