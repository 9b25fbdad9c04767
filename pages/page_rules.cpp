// Rules the settings pages share that need no window.
#include "pages/page_rules.h"

#include <limits>

namespace kelpax {

int radioIndexFromCache(int32_t cachedValue, int32_t firstValue, int count) {
  if (count <= 0)
    return 0;
  const int64_t remainder = (static_cast<int64_t>(cachedValue) - firstValue) % count;
  return remainder < 0 ? 0 : static_cast<int>(remainder);
}

int sliderJumpValue(int x, int width, int minimum, int maximum) {
  constexpr int kEdge = 9;
  if (x < kEdge)
    return minimum;
  const int inner = width - 2 * kEdge;
  if (x > width - kEdge || inner <= 0)
    return maximum;
  return static_cast<int>(minimum + static_cast<int64_t>(maximum - minimum) * (x - kEdge) / inner);
}

int32_t parseEditInteger(std::string_view text) {
  if (text.empty())
    return -1;
  size_t i = 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-')
    negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit)
      value = kLimit;
  }
  if (negative)
    value = -value;
  if (value > std::numeric_limits<int32_t>::max())
    return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

TriggerEnabling triggerEnabling(int32_t triggerMode, bool continueChecked) {
  TriggerEnabling e;
  switch (radioIndexFromCache(triggerMode, 0, 5)) {
  case 0: // free run: no trigger settings apply
    break;
  case 1:
    e = {true, true, true, true, true, !continueChecked};
    break;
  case 2:
    e = {.sourceRadios = true, .polarityRadios = true, .asyncResetBox = true};
    break;
  case 3:
    e = {.sourceRadios = true,
         .exposureRadios = true,
         .polarityRadios = true,
         .asyncResetBox = true};
    break;
  case 4:
    e = {.sourceRadios = true, .exposureRadios = true, .polarityRadios = true};
    break;
  }
  return e;
}

} // namespace kelpax
