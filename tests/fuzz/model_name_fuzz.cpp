// Model identification from the name the camera answers: descriptor and ranges.
#include <string_view>

#include "camera/tables/model_rules.h"
#include "tests/fuzz/fuzz_check.h"

using namespace kelpax;

namespace {

void checkRange(const ValueRange& range) {
  FUZZ_CHECK(range.min <= range.max);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view name(reinterpret_cast<const char*>(data), size);
  ModelDescriptor model;
  describeModelName(name, model);
  FUZZ_CHECK(model.modelName == name);
  FUZZ_CHECK(model.rateValue >= 0);
  FUZZ_CHECK(model.rateCode >= 0);
  FUZZ_CHECK(model.colour >= 0 && model.colour <= 2);
  applyModelRanges(model);
  checkRange(model.gain);
  checkRange(model.offset);
  checkRange(model.exposureUs);

  // A second name starts again from nothing but the sizes and ranges.
  ModelDescriptor again = model;
  describeModelName(name, again);
  FUZZ_CHECK(again.rateValue == model.rateValue && again.rateCode == model.rateCode);
  FUZZ_CHECK(again.sizeClass == model.sizeClass && again.series == model.series);
  return 0;
}
