// The family-table parser, and the cache registering what it parsed.
#include <algorithm>
#include <string_view>

#include "camera/parameter_cache.h"
#include "camera/tables/stem_lists.h"
#include "tests/fuzz/fuzz_check.h"

using namespace kelpax;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view list(reinterpret_cast<const char*>(data), size);
  const std::vector<StemRegistration> stems = parseStemList(list);
  const size_t items = static_cast<size_t>(std::count(list.begin(), list.end(), ',')) + 1;
  FUZZ_CHECK(stems.size() <= items);
  ParameterCache cache;
  for (const StemRegistration& reg : stems) {
    FUZZ_CHECK(!reg.stem.empty());
    FUZZ_CHECK(reg.stem.find(',') == std::string_view::npos);
    FUZZ_CHECK(reg.stem.front() != ' ' && reg.stem.back() != ' ');
    // The stem is a view into the list it came from.
    FUZZ_CHECK(reg.stem.data() >= list.data() &&
               reg.stem.data() + reg.stem.size() <= list.data() + list.size());
    cache.registerEntry(reg.stem, reg.flags);
  }
  FUZZ_CHECK(cache.size() <= ParameterCache::kCapacity);
  FUZZ_CHECK(cache.size() <= stems.size());
  return 0;
}
