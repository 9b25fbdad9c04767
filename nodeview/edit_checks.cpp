// Range checks and slider scaling of the grid's editors.
#include "nodeview/edit_checks.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "nodeview/value_format.h"

namespace nodeview {
namespace {

constexpr std::int64_t kTrackbarMax = 2147483647;

std::string formatInt(std::int64_t value) {
  return std::to_string(value);
}

std::string rangeMessage(const std::string& low, const std::string& high) {
  return "Value must be between " + low + " and " + high + ".";
}

} // namespace

double roundTo6Decimals(double value) {
  return std::floor(value * 1e6 + 0.5) / 1e6;
}

std::string formatFixed6(double value) {
  char text[400];
  auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  if (error != std::errc()) {
    return "0.000000";
  }
  return std::string(text, end);
}

EditCheck checkFloatEdit(std::string_view text, double minimum, double maximum) {
  EditCheck check;
  check.text = std::string(text);
  auto value = parseDouble(text);
  if (!value) {
    check.accept = false;
    check.message = "Value must be a number.";
    return check;
  }
  double low = roundTo6Decimals(minimum);
  double high = roundTo6Decimals(maximum);
  bool outside = false;
  if (*value < minimum) {
    check.text = formatFixed6(low);
    outside = true;
  } else if (*value > maximum) {
    check.text = formatFixed6(high);
    outside = true;
  }
  if (outside && maximum > 0) {
    check.accept = false;
    check.message = rangeMessage(formatFixed6(low), formatFixed6(high));
  }
  return check;
}

EditCheck checkIntegerEdit(std::string_view text, std::int64_t minimum, std::int64_t maximum) {
  EditCheck check;
  check.text = std::string(text);
  auto value = parseDecimal(text);
  if (!value) {
    check.accept = false;
    check.message = "Value must be a whole number.";
    return check;
  }
  bool outside = false;
  if (*value < minimum) {
    check.text = formatInt(minimum);
    outside = true;
  } else if (*value > maximum) {
    check.text = formatInt(maximum);
    outside = true;
  }
  if (outside && maximum > 0) {
    check.accept = false;
    // The upper bound is printed unsigned, as the camera's maker does.
    check.message = rangeMessage(formatInt(minimum), std::to_string(std::uint64_t(maximum)));
  }
  return check;
}

std::string sliderRangeMessage(std::int64_t minimum, std::int64_t maximum) {
  if (maximum >= 0 && maximum <= 0xffffffffLL) {
    return rangeMessage(formatInt(minimum), std::to_string(std::uint32_t(maximum)));
  }
  return rangeMessage(formatInt(minimum), std::to_string(std::uint64_t(maximum)));
}

std::string sliderRangeMessage(double minimum, double maximum) {
  return rangeMessage(formatFixed6(minimum), formatFixed6(maximum));
}

IntegerSliderScale::IntegerSliderScale(std::int64_t minimum, std::int64_t maximum,
                                       std::int64_t increment)
    : minimum_(minimum), maximum_(std::max(minimum, maximum)),
      increment_(std::max<std::int64_t>(1, increment)) {
  // The span in 128 bits: a full 64-bit range does not fit in 64.
  __int128 span = __int128(maximum_) - minimum_;
  if (span < (__int128(1) << 31)) {
    scale_ = maximum_ / kTrackbarMax;
    if (scale_ <= 1) {
      scale_ = 0;
      rangeMax_ = int(span / increment_);
    } else {
      // Only reached when the values lie far above 2^31 but close together: the trackbar
      // covers the span in steps of scale * increment.
      rangeMax_ = int(std::max<__int128>(1, span / scale_ / increment_));
    }
  } else {
    wide_ = true;
    scale_ = std::int64_t(span / kTrackbarMax);
    rangeMax_ = int(kTrackbarMax);
  }
}

int IntegerSliderScale::positionFor(std::int64_t value) const {
  value = std::clamp(value, minimum_, maximum_);
  __int128 offset = __int128(value) - minimum_;
  __int128 position = scale_ > 1 ? offset / scale_ / increment_ : offset / increment_;
  return int(std::clamp<__int128>(position, 0, rangeMax_));
}

std::int64_t IntegerSliderScale::valueAt(int position) const {
  position = std::clamp(position, 0, rangeMax_);
  if (position == 0) {
    return minimum_;
  }
  if (position == rangeMax_ && (wide_ || scale_ > 1)) {
    return maximum_;
  }
  __int128 step =
      scale_ > 1 ? __int128(position) * scale_ * increment_ : __int128(position) * increment_;
  __int128 value = std::clamp<__int128>(step + minimum_, minimum_, maximum_);
  return snap(std::int64_t(value));
}

std::int64_t IntegerSliderScale::snap(std::int64_t value) const {
  if (value % increment_ != 0) {
    if (value > increment_) {
      __int128 raised = (__int128(value) / increment_ + 1) * increment_;
      value = std::int64_t(std::min<__int128>(raised, maximum_));
    } else {
      value = minimum_;
    }
  }
  return std::clamp(value, minimum_, maximum_);
}

FloatSliderScale::FloatSliderScale(double minimum, double maximum, double increment)
    : minimum_(minimum), maximum_(std::max(minimum, maximum)),
      increment_(increment > 0 ? increment : 1.0) {
  double steps = std::trunc((maximum_ - minimum_) / increment_);
  rangeMax_ = int(std::clamp(steps, 0.0, double(kTrackbarMax)));
}

int FloatSliderScale::positionFor(double value) const {
  double position = (std::clamp(value, minimum_, maximum_) - minimum_) / increment_;
  return int(std::clamp(std::round(position), 0.0, double(rangeMax_)));
}

double FloatSliderScale::valueAt(int position) const {
  position = std::clamp(position, 0, rangeMax_);
  return std::min(maximum_, minimum_ + position * increment_);
}

} // namespace nodeview
