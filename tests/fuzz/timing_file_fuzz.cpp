// Timing files: any bytes are refused with a reason, or are a file this program would write
// itself, byte for byte, from the timing words it read.
#include <string_view>

#include "tests/fuzz/fuzz_check.h"
#include "tools/factory_tuning.h"

using namespace kelpax;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const TimingFileRead read = decodeTimingFile(bytes);
  if (!read.sets) {
    FUZZ_CHECK(!read.error.empty());
    return 0;
  }
  FUZZ_CHECK(read.error.empty());
  FUZZ_CHECK(size == kTimingFileBytes);
  FUZZ_CHECK(encodeTimingFile(*read.sets) == bytes);
  return 0;
}
