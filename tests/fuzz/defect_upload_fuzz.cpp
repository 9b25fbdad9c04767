// Defect uploads: any bytes a camera sends, taken as they come and as the stream they would
// compress to, give a refusal without a file or a file whose every line is a pixel of the map.
#include <string_view>

#include "tests/fuzz/fuzz_check.h"
#include "transfer/data_lines.h"
#include "transfer/defect_pixels.h"
#include "transfer/zlib_codec.h"

using namespace kelpax;

namespace {

constexpr uint32_t kRowWidth = 48;
constexpr uint32_t kHeight = 24;

void check(std::span<const uint8_t> received, DefectForm form) {
  DefectUploadSetup setup;
  setup.ok = true;
  setup.form = form;
  setup.rowWidth = kRowWidth;
  setup.plan.capacity =
      form == DefectForm::Map ? defectMapBytes(kRowWidth, kHeight) : size_t(kRowWidth) * kHeight;
  const DefectUploadFile file = defectFileFromUpload(received, setup);
  if (!file.ok) {
    FUZZ_CHECK(file.text.empty());
    FUZZ_CHECK(file.message == kDefectUploadDataError ||
               file.message == kDefectUploadInflateFailed);
    return;
  }
  FUZZ_CHECK(std::string_view(file.text).substr(0, kDefectFileHeader.size()) == kDefectFileHeader);
  size_t lines = 0;
  for (char c : file.text)
    lines += c == '\n';
  FUZZ_CHECK(lines == file.defects + 2);
  if (form == DefectForm::Map) {
    // Every pixel written lies in the map, so the file downloads into the same map.
    const DefectDownload again = planDefectMapDownload(file.text, kRowWidth, kHeight);
    FUZZ_CHECK(again.ok && again.entries == file.defects);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  check(bytes, DefectForm::List);
  check(bytes, DefectForm::Map);
  std::vector<uint8_t> stream;
  FUZZ_CHECK(Compress(bytes, stream));
  check(stream, DefectForm::List);
  check(stream, DefectForm::Map);
  return 0;
}
