// Formatting and reading of hexadecimal, IPv4 and MAC texts.
#include "nodeview/value_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace nodeview {
namespace {

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) {
      return parts;
    }
    start = end + 1;
  }
}

// One part of an address: digits of the given base only (blanks around allowed). A leading
// "-" is read as the unsigned wrap-around, so it ends up above any byte.
std::optional<std::uint64_t> readPart(std::string_view part, int base) {
  part = trim(part);
  bool negative = !part.empty() && part.front() == '-';
  if (negative) {
    part.remove_prefix(1);
  }
  if (part.empty()) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value, base);
  if (end != part.data() + part.size()) {
    return std::nullopt;
  }
  if (error == std::errc::result_out_of_range) {
    value = UINT64_MAX;
  }
  return negative ? (value == 0 ? 0 : UINT64_MAX) : value;
}

std::optional<std::int64_t> readBytes(std::string_view text, char separator, std::size_t count,
                                      int base, bool wrap) {
  auto parts = split(text, separator);
  if (parts.size() != count) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (auto part : parts) {
    auto byte = readPart(part, base);
    if (!byte) {
      return std::nullopt;
    }
    std::uint64_t b = wrap ? (*byte & 0xff) : std::min<std::uint64_t>(*byte, 255);
    value = (value << 8) | b;
  }
  return static_cast<std::int64_t>(value);
}

} // namespace

bool isGevIPv4Feature(std::string_view name) {
  static constexpr std::string_view kNames[] = {"GevCurrentIPAddress",
                                                "GevCurrentSubnetMask",
                                                "GevCurrentDefaultGateway",
                                                "GevPersistentIPAddress",
                                                "GevPersistentSubnetMask",
                                                "GevPersistentDefaultGateway",
                                                "GevPrimaryApplicationIPAddress",
                                                "GevMCDA",
                                                "GevSCDA"};
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

std::string formatHex(std::int64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%08llx", static_cast<unsigned long long>(value));
  return text;
}

std::string formatIPv4(std::int64_t value) {
  auto v = static_cast<std::uint64_t>(value);
  char text[32];
  std::snprintf(text, sizeof text, "%3d.%3d.%3d.%3d", int((v >> 24) & 0xff), int((v >> 16) & 0xff),
                int((v >> 8) & 0xff), int(v & 0xff));
  return text;
}

std::string formatMac(std::int64_t value) {
  auto v = static_cast<std::uint64_t>(value);
  char text[32];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", int((v >> 40) & 0xff),
                int((v >> 32) & 0xff), int((v >> 24) & 0xff), int((v >> 16) & 0xff),
                int((v >> 8) & 0xff), int(v & 0xff));
  return text;
}

std::string formatInteger(IntegerDisplay display, std::int64_t value, std::string_view name) {
  switch (display) {
  case IntegerDisplay::Hex:
    return isGevMacFeature(name) ? formatMac(value) : formatHex(value);
  case IntegerDisplay::IPv4:
    return formatIPv4(value);
  case IntegerDisplay::Mac:
    return formatMac(value);
  case IntegerDisplay::Number:
  case IntegerDisplay::NoRow:
    break;
  }
  return std::to_string(value);
}

std::optional<std::int64_t> parseHexText(std::string_view text) {
  text = trim(text);
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (end == text.data() || error != std::errc()) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(value);
}

std::optional<std::int64_t> parseIPv4Text(std::string_view text) {
  return readBytes(text, '.', 4, 10, false);
}

std::optional<std::int64_t> parseMacText(std::string_view text) {
  return readBytes(text, '-', 6, 16, false);
}

std::optional<std::int64_t> parseIntegerText(IntegerDisplay display, std::string_view text) {
  switch (display) {
  case IntegerDisplay::Hex:
    // "GevMACAddress" is shown in the MAC form even when its XML says hexadecimal.
    if (text.find('-') != std::string_view::npos) {
      return parseMacText(text);
    }
    return parseHexText(text);
  case IntegerDisplay::IPv4:
    return parseIPv4Text(text);
  case IntegerDisplay::Mac:
    return parseMacText(text);
  case IntegerDisplay::Number:
  case IntegerDisplay::NoRow:
    break;
  }
  return parseDecimal(text);
}

std::optional<std::int64_t> parseFeatureFileInteger(std::string_view text) {
  text = trim(text);
  if (text.find('.') != std::string_view::npos) {
    std::string compact;
    for (char c : text) {
      if (c != ' ') {
        compact += c;
      }
    }
    return readBytes(compact, '.', 4, 10, true);
  }
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    auto value = parseHexText(text);
    // The whole text must be hexadecimal here: a file is not a typed edit.
    if (value && text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string_view::npos) {
      return value;
    }
    return std::nullopt;
  }
  if (std::count(text.begin(), text.end(), '-') == 5) {
    return parseMacText(text);
  }
  return parseDecimal(text);
}

std::optional<std::int64_t> parseDecimal(std::string_view text) {
  text = trim(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (text.empty() || end != text.data() + text.size() || error != std::errc()) {
    return std::nullopt;
  }
  return value;
}

std::optional<double> parseDouble(std::string_view text) {
  // from_chars ignores the C locale, which Qt sets from the environment.
  text = trim(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || end != text.data() + text.size() || error != std::errc()) {
    return std::nullopt;
  }
  return value;
}

std::string formatFloat(double value) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? "inf" : "-inf";
  }
  // The smallest doubles take over a thousand digits in fixed notation.
  char text[1200];
  auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  return error == std::errc() ? std::string(text, end) : std::string("0");
}

} // namespace nodeview
