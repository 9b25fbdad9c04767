// Camera answers: judging, error texts, tokens, and the value cache fed with the exchange.
#include <cstdint>
#include <string>
#include <string_view>

#include "camera/parameter_cache.h"
#include "camera/tables/stem_lists.h"
#include "link/command_exchange.h"
#include "tests/fuzz/fuzz_check.h"

using namespace kelpax;

namespace {

bool oneLine(std::string_view text) {
  return text.find_first_of("\r\n") == std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  if (size == 0)
    return 0;
  // The first byte picks the camera family whose stems the cache keeps.
  const auto series = static_cast<Series>(data[0] % (static_cast<int>(Series::Kw) + 1));
  const std::string_view answer(reinterpret_cast<const char*>(data) + 1, size - 1);

  const CommandResult verdict = judgeAnswer(answer);
  const std::string error = errorTextOf(answer);
  // The camera's error text ends at its carriage return.
  FUZZ_CHECK(error.size() <= answer.size());
  FUZZ_CHECK(error.find('\r') == std::string::npos);
  if (verdict == CommandResult::Ok)
    acceptedStatusText(answer, 12);
  for (int token = -1; token < 4; ++token) {
    const std::string piece = answerToken(answer, token);
    FUZZ_CHECK(piece.size() <= answer.size());
  }
  for (std::string_view word : blankWords(answer)) {
    FUZZ_CHECK(!word.empty());
    parseCacheInt(word);
    parseCacheReal(word);
  }

  ParameterCache cache;
  for (const StemRegistration& stem : stemsForSeries(series))
    cache.registerEntry(stem.stem, stem.flags);
  const size_t entries = cache.size();
  cache.takeFromTraffic(answer);
  FUZZ_CHECK(cache.size() == entries);
  for (const ParameterEntry& entry : cache.entries()) {
    FUZZ_CHECK(entry.valueCount <= ParameterEntry::kMaxValues);
    // A stored value goes back to the camera as one set command.
    const std::string line = ParameterCache::commandLine(entry);
    FUZZ_CHECK(oneLine(line));
  }
  return 0;
}
