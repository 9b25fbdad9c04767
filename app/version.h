// The program's version as shown to users.
#pragma once

namespace kelpax {

inline constexpr char kVersionText[] = "V3.1.0.53050";

} // namespace kelpax
