// Feature files: any text either parses or gives an error, never a crash; what the program
// writes from the parsed items parses again into the same items and the same text.
#include <string>
#include <string_view>

#include "nodeview/feature_file.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const nodeview::FeatureFileRead first = nodeview::parseFeatureFileJson(text);
  if (!first.error.empty()) {
    FUZZ_CHECK(first.items.empty());
    return 0;
  }
  // Groups, commands and the like are left out of a written file, so the first write may drop
  // items; from then on writing and reading change nothing.
  const std::string written = nodeview::featureFileJson(first.items);
  const nodeview::FeatureFileRead second = nodeview::parseFeatureFileJson(written);
  FUZZ_CHECK(second.error.empty());
  FUZZ_CHECK(second.items.size() <= first.items.size());
  const nodeview::FeatureFileRead third =
      nodeview::parseFeatureFileJson(nodeview::featureFileJson(second.items));
  FUZZ_CHECK(third.error.empty());
  FUZZ_CHECK(third.items == second.items);
  FUZZ_CHECK(nodeview::featureFileJson(third.items) == nodeview::featureFileJson(second.items));
  nodeview::featureListing(first.items);
  return 0;
}
