// What the grid's editors do with a typed text before it reaches the camera: range checks
// with their messages, the rounding of float bounds, and the trackbar scaling of sliders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nodeview {

// Outcome of closing an in-place edit.
struct EditCheck {
  bool accept = true;  // false: the edit stays open
  std::string text;    // the text the edit holds afterwards (a bound replaces an outside value)
  std::string message; // message box text, empty when none is shown
};

// Bounds rounded to 6 decimals: floor(value * 10^6 + 0.5) / 10^6.
double roundTo6Decimals(double value);

// "%f" / "%d" without the C locale's decimal separator.
std::string formatFixed6(double value);

// A float row: an outside value is replaced by the violated rounded bound; only when the
// maximum is above 0 is the message shown and the edit kept open.
EditCheck checkFloatEdit(std::string_view text, double minimum, double maximum);
// An integer row: likewise with the bounds themselves.
EditCheck checkIntegerEdit(std::string_view text, std::int64_t minimum, std::int64_t maximum);

// Message of a slider row when a typed value is outside its range.
std::string sliderRangeMessage(std::int64_t minimum, std::int64_t maximum);
std::string sliderRangeMessage(double minimum, double maximum);

// The trackbar of an integer slider. Trackbar positions are 32-bit, so a range wider than
// 2^31 steps is scaled down.
class IntegerSliderScale {
public:
  IntegerSliderScale(std::int64_t minimum, std::int64_t maximum, std::int64_t increment);

  std::int64_t scale() const { return scale_; } // 0 when positions are plain steps
  int rangeMax() const { return rangeMax_; }    // the trackbar runs from 0 to this
  bool wide() const { return wide_; }

  int positionFor(std::int64_t value) const;
  // The value at a trackbar position, snapped to the increment and kept in range.
  std::int64_t valueAt(int position) const;
  // Snapping: a value that is not a multiple of the increment is raised to the next multiple
  // when it is larger than the increment, and becomes the minimum otherwise.
  std::int64_t snap(std::int64_t value) const;

private:
  std::int64_t minimum_;
  std::int64_t maximum_;
  std::int64_t increment_;
  std::int64_t scale_ = 0;
  int rangeMax_ = 0;
  bool wide_ = false;
};

class FloatSliderScale {
public:
  FloatSliderScale(double minimum, double maximum, double increment);
  int rangeMax() const { return rangeMax_; }
  int positionFor(double value) const;
  double valueAt(int position) const;

private:
  double minimum_;
  double maximum_;
  double increment_;
  int rangeMax_ = 0;
};

} // namespace nodeview
