// Parameter values of a simulated camera, checked against the stem table.
#include "sim/parameter_store.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {

constexpr std::string_view kErrorRange = "Error : value out of range";
constexpr std::string_view kErrorCount = "Error : wrong number of parameters";
constexpr std::string_view kErrorValue = "Error : invalid parameter";

bool parseInteger(std::string_view text, double& out) {
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size())
    return false;
  out = static_cast<double>(value);
  return true;
}

bool parseReal(std::string_view text, double& out) {
  std::string copy(text);
  char* end = nullptr;
  double value = std::strtod(copy.c_str(), &end);
  if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(value))
    return false;
  out = value;
  return true;
}

std::string format(const StemDef& def, double value) {
  char text[64];
  if (def.type == StemType::Real)
    std::snprintf(text, sizeof text, "%f", value);
  else
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
  return text;
}

} // namespace

ParameterStore::ParameterStore(std::vector<StemDef> stems) : stems_(std::move(stems)) {
  for (const StemDef& def : stems_)
    values_[def.stem] = def.defaults;
}

const StemDef* ParameterStore::find(std::string_view stem) const {
  for (const StemDef& def : stems_)
    if (def.stem == stem)
      return &def;
  return nullptr;
}

bool ParameterStore::get(std::string_view stem, std::span<const std::string_view> args,
                         std::string& answer) const {
  const StemDef* def = find(stem);
  if (!def) {
    answer = "Error : unknown command";
    return false;
  }
  if (!args.empty()) {
    answer = kErrorCount;
    return false;
  }
  answer.clear();
  for (double value : values_.find(stem)->second) {
    if (!answer.empty())
      answer += ' ';
    answer += format(*def, value);
  }
  return true;
}

bool ParameterStore::set(std::string_view stem, std::span<const std::string_view> args,
                         std::string& answer) {
  const StemDef* def = find(stem);
  if (!def) {
    answer = "Error : unknown command";
    return false;
  }
  if (args.size() != static_cast<size_t>(def->valueCount)) {
    answer = kErrorCount;
    return false;
  }
  std::vector<double> parsed;
  for (std::string_view arg : args) {
    double value = 0;
    bool ok = def->type == StemType::Real ? parseReal(arg, value) : parseInteger(arg, value);
    if (!ok) {
      answer = kErrorValue;
      return false;
    }
    if (value < def->min || value > def->max) {
      answer = kErrorRange;
      return false;
    }
    parsed.push_back(value);
  }
  values_.find(stem)->second = std::move(parsed);
  answer = "OK";
  return true;
}

std::optional<std::vector<double>> ParameterStore::values(std::string_view stem) const {
  auto it = values_.find(stem);
  if (it == values_.end())
    return std::nullopt;
  return it->second;
}

} // namespace sim
