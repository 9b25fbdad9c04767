// Camera series and the reading of a model name, shared by the program and the simulator.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelpax {

enum class Series { None, Kx, Kh, KnP, Kn, Ki, Ko, Ka, Ky, Ku, Ke, Kw };

std::string_view seriesName(Series series);

// A model name's segments ("Ko-25MC-C65" gives "Ko", "25MC", "C65"); empty segments are
// skipped.
std::vector<std::string_view> modelSegments(std::string_view modelName);

// The first prefix rule that segment 0 starts with: "KnP" before "Kn", "Kr" shares Kh.
Series seriesOfModel(std::string_view modelName);

// The size class the size segment starts with, tested in the cameras' order ("1M" ... "4KC",
// then "50M"); "310", "K264" and "K072" give "generic". Empty when none matches.
std::string sizeClassOfSegment(std::string_view sizeSegment);

} // namespace kelpax
