// Tap, region and gain rules of the image and analog-front-end pages.
#include "pages/image_rules.h"

#include <cmath>
#include <cstdio>

namespace kelpax {

bool tapsCarryBits(int32_t tapsValue, int32_t dataBits) {
  return tapsValue != kTenTapsValue || dataBits <= 8;
}

bool regionSpanValid(int32_t first, int32_t last, int32_t sensorSize, int32_t minSpan) {
  return first >= 0 && last < sensorSize && int64_t{last} - first >= minSpan;
}

std::string quadrantGainDbText(const ModelDescriptor& model, int32_t gain) {
  if (model.series != Series::Kn)
    return {};
  double db = 0;
  if (model.sizeClass == "8M" || model.sizeClass == "29M")
    db = 0.035 * gain;
  else if (model.sizeClass == "11M" || model.sizeClass == "16M")
    db = 0.035 * (gain - 85);
  else
    return {};
  char text[64];
  std::snprintf(text, sizeof text, "%2.1fdB,x%2.2f", db, std::pow(10.0, db / 20.0));
  return text;
}

} // namespace kelpax
