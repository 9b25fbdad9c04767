// What identification learned about the connected camera; every later decision reads it.
#pragma once

#include <cstdint>
#include <string>

#include "camera/tables/camera_series.h"

namespace kelpax {

// The setting page a Ke camera uses, chosen at identification.
enum class KePage { None, Newer, Normal, Colour };

struct ValueRange {
  int32_t min = 0;
  int32_t max = 0;
  bool contains(int64_t value) const { return value >= min && value <= max; }
};

struct ModelDescriptor {
  std::string modelName;
  Series series = Series::None;
  // The token the size segment starts with ("25M", "8K2C", "generic" for "310", "K264" and
  // "K072"); for Ke cameras the number before the K ("4"). Empty when none matched.
  std::string sizeClass;
  int colour = 0;      // 1 colour, 2 monochrome, 0 not stated
  char letterFlag = 0; // Ke only: 'E', 'H' or 0
  bool c2 = false;     // the size segment contains "C2"
  int rateCode = 0;
  int rateValue = 0; // Ke only: the number between K and C, times 10
  KePage kePage = KePage::None;
  bool roiSupported = false;
  int32_t sensorWidth = 0;
  int32_t sensorHeight = 0;
  // Limits the image pages give a region of interest (width - 1, height - 1).
  int32_t aoiMaxX = 0;
  int32_t aoiMaxY = 0;

  // What pages check values against before sending them.
  ValueRange gain{0, 899};
  ValueRange offset{0, 255};
  ValueRange exposureUs{10, 7000000};

  bool isColour() const { return colour == 1; }
  bool isMonochrome() const { return colour == 2; }
  bool is(Series s, std::string_view size) const { return series == s && sizeClass == size; }
};

} // namespace kelpax
