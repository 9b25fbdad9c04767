// CCD information files: any bytes give a refusal with the form's message and no record, or a
// record of the form's size.
#include <string_view>

#include "tests/fuzz/fuzz_check.h"
#include "transfer/ccd_timing.h"

using namespace kelpax;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const CcdTiming timing = parseCcdTiming(text);
  if (timing.ok) {
    FUZZ_CHECK(timing.message.empty());
    FUZZ_CHECK(timing.record.size() == (timing.darkH1Form ? kBkCcdRecordBytes : kCcdRecordBytes));
    // The reserved word of the longer record is always zero.
    if (timing.darkH1Form)
      FUZZ_CHECK(timing.record[22] == 0 && timing.record[23] == 0);
  } else {
    FUZZ_CHECK(timing.record.empty());
    FUZZ_CHECK(timing.message == (timing.darkH1Form ? kBkCcdDataError : kCcdDataError));
    FUZZ_CHECK(timing.detail.size() <= 200);
  }
  return 0;
}
