// Rules of the image and analog-front-end pages that need no window: which tap and bit
// combinations the Camera Link output carries, which regions a camera may be given, and the
// gain of the four-quadrant cameras shown in decibels.
#pragma once

#include <cstdint>
#include <string>

#include "camera/tables/model_descriptor.h"

namespace kelpax {

// "scl 3" is ten taps on every Ko camera, whichever button stands for it.
inline constexpr int32_t kTenTapsValue = 3;
inline constexpr const char* kTenTapsText = "10 tap is only supported 8 bit.";

// Ten taps carry 8-bit pixels only; false for the combination the camera cannot output.
bool tapsCarryBits(int32_t tapsValue, int32_t dataBits);

// A region a camera may be given along one axis: first >= 0, last inside the sensor and at
// least `minSpan` beyond first. A sensor of unknown size (0) takes no region.
inline constexpr int32_t kMinColumnSpan = 16;
inline constexpr int32_t kMinLineSpan = 1;
bool regionSpanValid(int32_t first, int32_t last, int32_t sensorSize, int32_t minSpan);

// The analog gain of the Kn 8M, 11M, 16M and 29M cameras as "%2.1fdB,x%2.2f": 0.035 dB per
// step, counted from step 85 on the 11M and 16M; empty for every other model.
std::string quadrantGainDbText(const ModelDescriptor& model, int32_t gain);

} // namespace kelpax
