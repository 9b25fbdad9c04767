// The line-scan cameras' line rate text.
#include "pages/line_rate.h"

#include <cmath>
#include <cstdio>

namespace kelpax {

std::string lineRateText(double periodUs) {
  if (!(periodUs > 0) || !std::isfinite(periodUs))
    return {};
  char text[64];
  std::snprintf(text, sizeof text, "%4.2f KHz", 1000.0 / periodUs);
  return text;
}

} // namespace kelpax
