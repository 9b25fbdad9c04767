// Typed camera commands: writing a command line from its values.
#include "camera/tables/command_vocabulary.h"

#include <cmath>
#include <cstdio>

namespace kelpax {

std::string formatCommand(const CommandSpec& spec, std::initializer_list<double> values) {
  if (static_cast<int>(values.size()) != spec.valueCount)
    return {};
  std::string line(spec.verb);
  for (double value : values) {
    if (!std::isfinite(value))
      return {};
    char text[64];
    if (spec.kind == ValueKind::Real) {
      std::snprintf(text, sizeof text, " %.*f", spec.decimals, value);
    } else {
      // Whole numbers only, and within the camera's 32-bit values.
      if (value != std::trunc(value) || std::fabs(value) > 2147483647.0)
        return {};
      std::snprintf(text, sizeof text, " %lld", static_cast<long long>(value));
    }
    line += text;
  }
  return line;
}

} // namespace kelpax
