// The connected camera's current values, kept in step with every accepted command.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "camera/tables/stem_lists.h"

namespace kelpax {

// The words of a camera line, split at blanks (runs of blanks give no empty words).
std::vector<std::string_view> blankWords(std::string_view text);

struct ParameterEntry {
  static constexpr int kMaxValues = 5;

  std::string name; // stem without the leading "s"/"g": "et", "ag 1", "np x"
  uint8_t valueCount = 0;
  bool noFileSave = false;
  bool isFloat = false;
  bool variantNoSave = false;
  std::array<int32_t, kMaxValues> intValues{-1, -1, -1, -1, -1};
  std::array<float, kMaxValues> floatValues{};
};

class ParameterCache {
public:
  static constexpr size_t kCapacity = 100;

  // Registering a name already present does nothing; so does registering into a full cache.
  // Returns true when the entry was added.
  bool registerEntry(std::string_view name, uint8_t flags);
  void clear() { entries_.clear(); }

  size_t size() const { return entries_.size(); }
  const ParameterEntry& entry(size_t index) const { return entries_[index]; }
  const std::vector<ParameterEntry>& entries() const { return entries_; }
  const ParameterEntry* find(std::string_view name) const;

  // -1 when the name is unknown or the index lies beyond the entry's value count.
  int32_t intValue(std::string_view name, int index = 0) const;
  // -1.0 when the name is unknown.
  float floatValue(std::string_view name) const;
  // True once a value was stored for the entry (registered entries start at -1).
  bool holdsValue(std::string_view name) const;

  // Hands one exchange (the echo, answer lines and prompt) to the cache. Only the entry
  // that the echoed command names changes; anything else leaves the cache as it was.
  // Returns whether a value was stored.
  bool takeFromTraffic(std::string_view text);

  // The set command that gives the camera the entry's current values, without line end:
  // "sag 1 100", "sha 0 1023", "sdg 1.50000".
  static std::string commandLine(const ParameterEntry& entry);

private:
  ParameterEntry* findMutable(std::string_view name);
  ParameterEntry* multiValueEntryOf(std::string_view text);

  std::vector<ParameterEntry> entries_;
};

// Number parsing of the cache, also used by pages that read answers themselves: an optional
// sign and decimal digits, stopping at the first other character ("12.7" gives 12, "x" 0).
int32_t parseCacheInt(std::string_view word);
// Optional sign, digits and one decimal point ("-1.25e3" gives -1.25).
double parseCacheReal(std::string_view word);

} // namespace kelpax
