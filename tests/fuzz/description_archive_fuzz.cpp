// Zipped GenICam descriptions as a camera hands them over: any bytes give the first file's text,
// no longer than the most the caller takes and matching the archive's checksum for it, or the
// port's runtime error saying why not.
#include <cstdint>
#include <string>

#include <zip.h>
#include <zlib.h>

#include "CLProtocol/CLPort.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// The checksum the archive states for its first file, read on its own; false when it has none.
bool statedChecksum(const std::string& archive, uint32_t& crc) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
  zip_t* zip = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
  if (!zip) {
    if (source)
      zip_source_free(source);
    zip_error_fini(&error);
    return false;
  }
  zip_stat_t st;
  const bool known = zip_stat_index(zip, 0, 0, &st) == 0 && (st.valid & ZIP_STAT_CRC);
  crc = known ? st.crc : 0;
  zip_discard(zip);
  return known;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  constexpr uint64_t kMaxSize = 64u << 10;
  const std::string archive(reinterpret_cast<const char*>(data), size);
  try {
    const GenICam::gcstring text = CLProtocol::UnzipFirstFile(archive, kMaxSize);
    FUZZ_CHECK(text.size() <= kMaxSize);
    uint32_t stated = 0;
    FUZZ_CHECK(statedChecksum(archive, stated));
    const uint32_t actual = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(text.c_str()), static_cast<uInt>(text.size())));
    FUZZ_CHECK(actual == stated);
  } catch (const GenICam::RuntimeException& e) {
    FUZZ_CHECK(e.GetDescription()[0] != '\0');
  }
  return 0;
}
