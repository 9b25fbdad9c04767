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
  // Every stem's values, by stem: what a setting space holds.
  using Values = std::map<std::string, std::vector<double>, std::less<>>;

  explicit ParameterStore(std::vector<StemDef> stems);

  const StemDef* find(std::string_view stem) const;

  // Both answer one line: the values (get) or "OK" (set) when they return true, an "Error ..."
  // text when they return false. A refused set leaves the values as they were.
  bool get(std::string_view stem, std::span<const std::string_view> args,
           std::string& answer) const;
  bool set(std::string_view stem, std::span<const std::string_view> args, std::string& answer);

  std::optional<std::vector<double>> values(std::string_view stem) const;

  const Values& allValues() const { return values_; }
  // Takes every stem's values from a copy made by allValues() of this store.
  void restore(const Values& values) { values_ = values; }

private:
  std::vector<StemDef> stems_;
  Values values_;
};

} // namespace sim
