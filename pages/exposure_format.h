// Exposure and strobe-offset arithmetic of the trigger pages: the logarithmic slider maps and
// the texts of the time, shutter and range labels. Times are in microseconds.
#pragma once

#include <cstdint>
#include <string>

namespace kelpax {

// The exposure slider runs from 0 to 1000 with a tick every 171, log2 between the model's
// minimum and maximum exposure.
inline constexpr int kExposureSliderMax = 1000;
inline constexpr int kExposureSliderTick = 171;
// The strobe-offset slider runs from 0 to 1000, logarithmic to base 1.001.
inline constexpr int kStrobeSliderMax = 1000;
inline constexpr int32_t kStrobeOffsetMax = 10000;

// Slider position of an exposure time; 0 for a time at or below the minimum (or a cache that
// holds no time), the slider maximum for one at or above the model's maximum.
int exposureSliderPosition(int32_t exposureUs, int32_t minUs, int32_t maxUs);
// Exposure time of a slider position, rounded to the nearest multiple of 10 (5 rounds up).
int32_t exposureFromSliderPosition(int position, int32_t minUs, int32_t maxUs);

int strobeSliderPosition(int32_t offsetUs);
// Strobe offset of a slider position. A result less than 1 above the cached offset is raised
// by 1, so that the smallest move still changes the camera's value.
int32_t strobeFromSliderPosition(int position, int32_t cachedOffsetUs);

// "999 us", "1.05 ms", "2.50 s".
std::string exposureTimeText(int32_t exposureUs);
// "1 / 4000 s" for shutter speeds of 2.99 per second or faster, otherwise "0.5 s"; empty
// for a time of 0 or less, which has no shutter speed.
std::string shutterText(int32_t exposureUs);
// Range labels under the exposure slider: "10 us" and "7 s" (whole seconds).
std::string rangeMinText(int32_t minUs);
std::string rangeMaxText(int32_t maxUs);
// "100 us", "10.00 ms".
std::string strobeOffsetText(int32_t offsetUs);

} // namespace kelpax
