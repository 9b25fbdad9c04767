// The Ka 43M gain slider mapping.
#include "pages/ka/gain_slider.h"

#include <algorithm>
#include <cmath>

namespace kelpax {

double KaGainSlider::step() const {
  // A slider of one tick has no gaps; its span then stands for one whole factor.
  return double(maximum - minimum) / double(std::max(1, ticks - 1));
}

double KaGainSlider::gainAt(int position) const {
  const double s = step();
  if (!(s > 0))
    return 1.0;
  return double(position) / s + 1.0;
}

int KaGainSlider::positionOf(double gain) const {
  if (!std::isfinite(gain))
    return minimum;
  const double tenths = std::round(gain * 10.0) / 10.0;
  const long position = std::lround((tenths - 1.0) * step());
  return static_cast<int>(std::clamp<long>(position, minimum, maximum));
}

} // namespace kelpax
