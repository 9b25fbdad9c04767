// Camera series and the reading of a model name.
#include "camera/tables/camera_series.h"

#include <array>
#include <utility>

namespace kelpax {

std::string_view seriesName(Series series) {
  static constexpr std::array<std::string_view, 12> kNames = {
      "none", "Kx", "Kh", "KnP", "Kn", "Ki", "Ko", "Ka", "Ky", "Ku", "Ke", "Kw"};
  return kNames[static_cast<size_t>(series)];
}

std::vector<std::string_view> modelSegments(std::string_view modelName) {
  std::vector<std::string_view> segments;
  while (true) {
    const size_t dash = modelName.find('-');
    std::string_view segment = modelName.substr(0, dash);
    if (!segment.empty())
      segments.push_back(segment);
    if (dash == std::string_view::npos)
      break;
    modelName.remove_prefix(dash + 1);
  }
  return segments;
}

Series seriesOfModel(std::string_view modelName) {
  // Order matters: "KnP" is tested before "Kn".
  static constexpr std::pair<std::string_view, Series> kPrefixes[] = {
      {"Kx", Series::Kx}, {"Kh", Series::Kh}, {"KnP", Series::KnP}, {"Kr", Series::Kh},
      {"Kn", Series::Kn}, {"Ki", Series::Ki}, {"Ko", Series::Ko},   {"Ka", Series::Ka},
      {"Ky", Series::Ky}, {"Ku", Series::Ku}, {"Ke", Series::Ke},   {"Kw", Series::Kw},
  };
  const std::vector<std::string_view> segments = modelSegments(modelName);
  if (segments.empty())
    return Series::None;
  for (const auto& [prefix, series] : kPrefixes) {
    if (segments[0].starts_with(prefix))
      return series;
  }
  return Series::None;
}

std::string sizeClassOfSegment(std::string_view sizeSegment) {
  // Tested in this order; the first the segment starts with wins ("101M" is not "1M").
  static constexpr std::string_view kClasses[] = {
      "1M",   "310", "K264", "K072", "2M",   "3M",   "4M",  "5M",  "6M",  "8M",   "10M",
      "11M",  "12M", "16M",  "25M",  "29M",  "43M",  "47M", "71M", "90M", "101M", "151M",
      "155M", "16K", "8KC",  "8K2C", "18KC", "12KC", "9KC", "4KC", "50M"};
  for (std::string_view token : kClasses) {
    if (sizeSegment.starts_with(token)) {
      if (token == "310" || token == "K264" || token == "K072")
        return "generic";
      return std::string(token);
    }
  }
  return {};
}

} // namespace kelpax
