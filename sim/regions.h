// The region table of the multi-region cameras: a region selector, and per region an offset,
// a size and an enable flag, with the checks the camera makes before it takes a value.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Which commands a camera's regions answer to.
enum class RegionCommands {
  None,
  // "sox", "soy", "siw", "sih" (the width is shared by every region), read back with "gox",
  // "goy", "giw", "gih" or all four with "groi"; a fixed number of regions.
  OffsetSize,
  // "srx", "sry", "srw", "srh", read back with "grx", "gry", "grw", "grh"; "gra" tells the
  // number of regions.
  RegionXY,
};

struct SimRegion {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool on = false;
};

class RegionTable {
public:
  RegionTable() = default;
  RegionTable(RegionCommands kind, int count, int sensorWidth, int sensorHeight, bool answersGroi);

  // The answer lines of a region command; nothing when the command is not one.
  std::optional<std::vector<std::string>> answer(std::string_view command,
                                                 std::span<const std::string_view> args);

  RegionCommands kind() const { return kind_; }
  int count() const { return static_cast<int>(regions_.size()); }
  int selected() const { return selected_; }
  const SimRegion& region(int index) const { return regions_.at(static_cast<size_t>(index)); }

private:
  std::vector<std::string> setValue(char field, int value);
  std::string valueOf(char field) const;

  RegionCommands kind_ = RegionCommands::None;
  int sensorWidth_ = 0;
  int sensorHeight_ = 0;
  bool answersGroi_ = false;
  int selected_ = 0;
  std::vector<SimRegion> regions_;
};

} // namespace sim
