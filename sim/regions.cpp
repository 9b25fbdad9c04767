// The region table of the multi-region cameras.
#include "sim/regions.h"

namespace sim {
namespace {

constexpr std::string_view kOutOfRange = "Error : region out of range";
constexpr std::string_view kOutsideSensor = "Error : region outside the sensor";
constexpr std::string_view kBadValue = "Error : invalid parameter";
constexpr std::string_view kWrongCount = "Error : wrong number of parameters";
constexpr std::string_view kFirstStaysOn = "Error : region 0 cannot be disabled";

std::optional<int> wholeNumber(std::string_view text) {
  if (text.empty() || text.size() > 9)
    return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::vector<std::string> line(std::string_view text) {
  return {std::string(text)};
}

} // namespace

RegionTable::RegionTable(RegionCommands kind, int count, int sensorWidth, int sensorHeight,
                         bool answersGroi)
    : kind_(kind), sensorWidth_(sensorWidth), sensorHeight_(sensorHeight),
      answersGroi_(answersGroi) {
  // Every region starts as the full sensor; only the first reads out.
  regions_.assign(static_cast<size_t>(count), SimRegion{0, 0, sensorWidth, sensorHeight, false});
  if (!regions_.empty())
    regions_[0].on = true;
}

std::string RegionTable::valueOf(char field) const {
  const SimRegion& r = regions_[static_cast<size_t>(selected_)];
  switch (field) {
  case 'x':
    return std::to_string(r.x);
  case 'y':
    return std::to_string(r.y);
  case 'w':
    return std::to_string(r.width);
  default:
    return std::to_string(r.height);
  }
}

std::vector<std::string> RegionTable::setValue(char field, int value) {
  SimRegion& r = regions_[static_cast<size_t>(selected_)];
  switch (field) {
  case 'x':
    if (value + r.width > sensorWidth_)
      return line(kOutsideSensor);
    r.x = value;
    break;
  case 'y':
    if (value + r.height > sensorHeight_)
      return line(kOutsideSensor);
    r.y = value;
    break;
  case 'w':
    if (value < 1)
      return line(kBadValue);
    if (kind_ == RegionCommands::OffsetSize) {
      // One width for every region: each one that reads out must leave room for it.
      for (const SimRegion& each : regions_)
        if ((each.on || &each == &r) && each.x + value > sensorWidth_)
          return line(kOutsideSensor);
      for (SimRegion& each : regions_)
        each.width = value;
    } else {
      if (r.x + value > sensorWidth_)
        return line(kOutsideSensor);
      r.width = value;
    }
    break;
  default:
    if (value < 1)
      return line(kBadValue);
    if (r.y + value > sensorHeight_)
      return line(kOutsideSensor);
    r.height = value;
    break;
  }
  return {"OK"};
}

std::optional<std::vector<std::string>>
RegionTable::answer(std::string_view command, std::span<const std::string_view> args) {
  if (kind_ == RegionCommands::None || command.size() < 3)
    return std::nullopt;
  const bool set = command[0] == 's';
  const std::string_view rest = command.substr(1);

  if (command == "gra" && kind_ == RegionCommands::RegionXY) {
    if (!args.empty())
      return line(kWrongCount);
    return line(std::to_string(regions_.size()));
  }
  if (command == "groi" && answersGroi_) {
    if (!args.empty())
      return line(kWrongCount);
    return line(valueOf('x') + " " + valueOf('y') + " " + valueOf('w') + " " + valueOf('h'));
  }

  // The commands that carry a field letter, by kind.
  char field = 0;
  if (rest == "rs" || rest == "rc") {
    field = rest[1] == 's' ? 's' : 'c';
  } else if (kind_ == RegionCommands::OffsetSize) {
    if (rest == "ox" || rest == "oy")
      field = rest[1];
    else if (rest == "iw" || rest == "ih")
      field = rest[1];
  } else if (rest == "rx" || rest == "ry" || rest == "rw" || rest == "rh") {
    field = rest[1];
  }
  if (field == 0 || (command[0] != 'g' && !set))
    return std::nullopt;

  if (!set) {
    if (!args.empty())
      return line(kWrongCount);
    if (field == 's')
      return line(std::to_string(selected_));
    if (field == 'c')
      return line(regions_[static_cast<size_t>(selected_)].on ? "1" : "0");
    return line(valueOf(field));
  }
  if (args.size() != 1)
    return line(kWrongCount);
  const std::optional<int> value = wholeNumber(args[0]);
  if (!value)
    return line(kBadValue);
  if (field == 's') {
    if (*value >= static_cast<int>(regions_.size()))
      return line(kOutOfRange);
    selected_ = *value;
    return line("OK");
  }
  if (field == 'c') {
    if (*value > 1)
      return line(kBadValue);
    if (*value == 0 && selected_ == 0)
      return line(kFirstStaysOn);
    const SimRegion& r = regions_[static_cast<size_t>(selected_)];
    if (*value == 1 && (r.x + r.width > sensorWidth_ || r.y + r.height > sensorHeight_))
      return line(kOutsideSensor);
    regions_[static_cast<size_t>(selected_)].on = *value == 1;
    return line("OK");
  }
  return setValue(field, *value);
}

} // namespace sim
