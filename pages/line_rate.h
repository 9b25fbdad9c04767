// The line-scan cameras' line period shown as a line rate.
#pragma once

#include <string>

namespace kelpax {

// "%4.2f KHz" of 1000 / period (period in microseconds); empty for a period of 0 or less,
// which no camera can run at.
std::string lineRateText(double periodUs);

} // namespace kelpax
