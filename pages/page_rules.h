// Rules the settings pages share that need no window: which radio a cached value selects,
// where a slider click lands, how an integer edit reads its text, and which trigger
// controls a trigger mode enables.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelpax {

// The radio a cached value selects in a group of `count` buttons whose first button stands
// for `firstValue`: (value - firstValue) modulo count; a negative remainder (a cache that
// was never read holds -1) selects the first button.
int radioIndexFromCache(int32_t cachedValue, int32_t firstValue, int count);

// Where a press at x (pixels from the slider's left edge) puts a slider of the given width:
// the 9 pixels at either end give the minimum and the maximum, the rest is linear in
// integer arithmetic.
int sliderJumpValue(int x, int width, int minimum, int maximum);

// The value of an integer edit's text: empty gives -1; an optional sign, then decimal digits
// up to the first other character. Values beyond 32 bits are held at the nearest limit, so a
// range check still refuses them.
int32_t parseEditInteger(std::string_view text);

// Which trigger-page controls are usable in a trigger mode (0 free run, 1 external sync,
// 2 fast, 3 double, 4 overlap). The trigger-mode and strobe radios are always usable.
struct TriggerEnabling {
  bool sourceRadios = false;
  bool exposureRadios = false;
  bool polarityRadios = false;
  bool continueBox = false;
  bool asyncResetBox = false;
  bool frameNumber = false; // the frame-number edit and its spin
  bool operator==(const TriggerEnabling&) const = default;
};
// A mode outside 0-4 is read like the radios read it (modulo 5, negative as free run).
TriggerEnabling triggerEnabling(int32_t triggerMode, bool continueChecked);

} // namespace kelpax
