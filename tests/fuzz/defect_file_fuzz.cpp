// Defect files: any bytes read in each form give either a refusal with its message and nothing
// to send, or entries inside the sensor, in order, that an upload writes back to the same file.
#include <string_view>

#include "tests/fuzz/fuzz_check.h"
#include "transfer/defect_pixels.h"
#include "transfer/zlib_codec.h"

using namespace kelpax;

namespace {

constexpr uint32_t kWidth = 96;
constexpr uint32_t kHeight = 40;

bool knownRefusal(const DefectDownload& result) {
  return result.message.rfind(" Data Error( ", 0) == 0 ||
         result.message == kDefectLineLimitExceeded || result.message == kDefectMapTooLarge;
}

void checkRefusal(const DefectDownload& result) {
  FUZZ_CHECK(knownRefusal(result));
  FUZZ_CHECK(result.plan.payload.empty());
}

std::vector<uint8_t> inflated(const DownloadPlan& plan, size_t capacity) {
  const InflateResult result = Inflate(plan.payload, capacity);
  FUZZ_CHECK(result.ok());
  return result.bytes;
}

void checkList(const DefectDownload& result, size_t limit) {
  if (!result.ok)
    return checkRefusal(result);
  const std::vector<uint8_t> raw = inflated(result.plan, limit * 4);
  FUZZ_CHECK(raw.size() == result.entries * 4);
  uint32_t previous = 0;
  for (size_t i = 0; i < raw.size(); i += 4) {
    const uint32_t h = uint32_t(raw[i] << 8 | raw[i + 1]);
    const uint32_t v = uint32_t(raw[i + 2] << 8 | raw[i + 3]);
    FUZZ_CHECK(h < kWidth && v < kHeight);
    // Sorted by V then H, no duplicates.
    const uint32_t key = v << 16 | h;
    FUZZ_CHECK(i == 0 || key > previous);
    previous = key;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const DefectDownload list = planDefectListDownload(text, kWidth, kHeight);
  checkList(list, kDefectListLineLimit);
  checkList(planDefect13BitListDownload(text, kWidth, kHeight), kDefect13BitEntriesSent);

  const DefectDownload three = planDefectThreeValueDownload(text, kWidth, kHeight);
  if (three.ok)
    FUZZ_CHECK(inflated(three.plan, kDefectThreeValueLineLimit * 8).size() == three.entries * 8);
  else
    checkRefusal(three);

  const DefectDownload map = planDefectMapDownload(text, kWidth, kHeight);
  if (map.ok)
    FUZZ_CHECK(inflated(map.plan, defectMapBytes(kWidth, kHeight)).size() ==
               defectMapBytes(kWidth, kHeight));
  else
    checkRefusal(map);

  // What the camera would send back for the list becomes a file that downloads the same list.
  if (list.ok) {
    DefectUploadSetup setup;
    setup.ok = true;
    setup.form = DefectForm::List;
    setup.plan.capacity = size_t(kWidth) * kHeight;
    const DefectUploadFile file = defectFileFromUpload(list.plan.payload, setup);
    FUZZ_CHECK(file.ok && file.defects == list.entries);
    const DefectDownload again = planDefectListDownload(file.text, kWidth, kHeight);
    FUZZ_CHECK(again.ok);
    FUZZ_CHECK(inflated(again.plan, size_t(kWidth) * kHeight) ==
               inflated(list.plan, size_t(kWidth) * kHeight));
  }
  return 0;
}
