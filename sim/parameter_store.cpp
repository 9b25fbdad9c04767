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

bool parseChannel(const StemDef& def, std::string_view text, int& channel, std::string& answer) {
  double number = 0;
  if (!parseInteger(text, number)) {
    answer = kErrorValue;
    return false;
  }
  if (number < def.channelMin || number > def.channelMax) {
    answer = kErrorRange;
    return false;
  }
  channel = static_cast<int>(number);
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

ParameterStore::ParameterStore(std::span<const StemDef> stems) : stems_(stems) {
  for (const StemDef& def : stems_) {
    int first = def.hasChannel ? def.channelMin : 0;
    int last = def.hasChannel ? def.channelMax : 0;
    for (int channel = first; channel <= last; ++channel)
      values_[{std::string(def.stem), channel}] =
          std::vector<double>(static_cast<size_t>(def.valueCount), def.defaultValue);
  }
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
  int channel = 0;
  if (args.size() != (def->hasChannel ? 1u : 0u)) {
    answer = kErrorCount;
    return false;
  }
  if (def->hasChannel && !parseChannel(*def, args[0], channel, answer))
    return false;
  answer.clear();
  for (double value : values_.at({std::string(stem), channel})) {
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
  size_t channelArgs = def->hasChannel ? 1 : 0;
  if (args.size() != channelArgs + static_cast<size_t>(def->valueCount)) {
    answer = kErrorCount;
    return false;
  }
  int channel = 0;
  if (def->hasChannel && !parseChannel(*def, args[0], channel, answer))
    return false;
  std::vector<double> parsed;
  for (size_t i = channelArgs; i < args.size(); ++i) {
    double value = 0;
    bool ok =
        def->type == StemType::Real ? parseReal(args[i], value) : parseInteger(args[i], value);
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
  values_[{std::string(stem), channel}] = std::move(parsed);
  answer = "OK";
  return true;
}

std::optional<std::vector<double>> ParameterStore::values(std::string_view stem,
                                                          int channel) const {
  auto it = values_.find({std::string(stem), channel});
  if (it == values_.end())
    return std::nullopt;
  return it->second;
}

} // namespace sim
