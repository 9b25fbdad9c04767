// The values a camera keeps behind its "gxx"/"sxx" stems.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/stem_table.h"

namespace sim {

class ParameterStore {
public:
  explicit ParameterStore(std::span<const StemDef> stems);

  const StemDef* find(std::string_view stem) const;

  // Both answer one line: the values (get) or "OK" (set) when they return true, an "Error ..."
  // text when they return false. A refused set leaves the values as they were.
  bool get(std::string_view stem, std::span<const std::string_view> args,
           std::string& answer) const;
  bool set(std::string_view stem, std::span<const std::string_view> args, std::string& answer);

  // The values of a stem (of one channel, for stems that have channels).
  std::optional<std::vector<double>> values(std::string_view stem, int channel = 0) const;

private:
  struct Key {
    std::string stem;
    int channel;
    auto operator<=>(const Key&) const = default;
  };

  std::span<const StemDef> stems_;
  std::map<Key, std::vector<double>> values_;
};

} // namespace sim
