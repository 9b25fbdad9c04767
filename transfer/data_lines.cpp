// Line rules and careful number reading for the defect and CCD information files.
#include "transfer/data_lines.h"

#include <charconv>
#include <cmath>

namespace kelpax {

bool LineReader::next(std::string_view& line) {
  if (done_ || rest_.empty())
    return false;
  const size_t end = rest_.find('\n');
  line = rest_.substr(0, end);
  if (end == std::string_view::npos) {
    done_ = true;
    rest_ = {};
  } else {
    rest_.remove_prefix(end + 1);
  }
  return true;
}

size_t countLines(std::string_view text) {
  if (text.empty())
    return 0;
  size_t lines = 0;
  for (char c : text)
    lines += c == '\n';
  return text.back() == '\n' ? lines : lines + 1;
}

bool compactDataLine(std::string_view line, std::string& data) {
  data.clear();
  if (line.find("--") != std::string_view::npos || line.find(':') != std::string_view::npos)
    return false;
  for (char c : line) {
    if (c != ' ' && c != '\r' && c != '\n')
      data.push_back(c);
  }
  return data.size() >= 3;
}

std::vector<std::string_view> splitFields(std::string_view data) {
  std::vector<std::string_view> fields;
  for (;;) {
    const size_t comma = data.find(',');
    fields.push_back(data.substr(0, comma));
    if (comma == std::string_view::npos)
      return fields;
    data.remove_prefix(comma + 1);
  }
}

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The field without a leading sign; `negative` tells which sign it had.
std::string_view unsigned_part(std::string_view field, bool& negative) {
  negative = false;
  if (!field.empty() && (field.front() == '+' || field.front() == '-')) {
    negative = field.front() == '-';
    field.remove_prefix(1);
  }
  return field;
}

} // namespace

std::optional<int64_t> parseDecimalInteger(std::string_view field) {
  bool negative = false;
  const std::string_view digits = unsigned_part(field, negative);
  if (digits.empty())
    return std::nullopt;
  for (char c : digits) {
    if (!isDigit(c))
      return std::nullopt;
  }
  uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
  if (error != std::errc() || end != digits.data() + digits.size())
    return std::nullopt;
  if (negative) {
    if (magnitude > uint64_t(INT64_MAX) + 1)
      return std::nullopt;
    return magnitude == uint64_t(INT64_MAX) + 1 ? INT64_MIN : -int64_t(magnitude);
  }
  if (magnitude > uint64_t(INT64_MAX))
    return std::nullopt;
  return int64_t(magnitude);
}

std::optional<double> parseDecimalReal(std::string_view field) {
  bool negative = false;
  const std::string_view number = unsigned_part(field, negative);
  size_t digits = 0;
  size_t points = 0;
  for (char c : number) {
    if (isDigit(c))
      ++digits;
    else if (c == '.')
      ++points;
    else
      return std::nullopt;
  }
  if (digits == 0 || points > 1)
    return std::nullopt;
  // from_chars reads the same text in every locale, unlike strtod.
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                            std::chars_format::fixed);
  if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
    return std::nullopt;
  return negative ? -value : value;
}

} // namespace kelpax
