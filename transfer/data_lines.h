// The line rules shared by the defect files and the CCD information files: comments, short
// lines, blanks removed, comma-separated fields, and numbers read without trusting them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelpax {

// The lines of a text one at a time, split at LF, without holding them all: a file of nothing
// but line ends must not cost a view per line. A last line without LF counts; an empty text has
// no lines.
class LineReader {
public:
  explicit LineReader(std::string_view text) : rest_(text) {}
  // The next line (with any CR still in it); false after the last.
  bool next(std::string_view& line);

private:
  std::string_view rest_;
  bool done_ = false;
};

// How many lines LineReader gives for `text`.
size_t countLines(std::string_view text);

// Whether a line carries data: a line holding "--" or ":" is a comment, and what is left after
// removing spaces, CR and LF must be 3 characters or more. `data` receives that compacted line.
bool compactDataLine(std::string_view line, std::string& data);

// The comma-separated fields of a compacted line; "a,,b," gives "a", "", "b", "".
std::vector<std::string_view> splitFields(std::string_view data);

// A whole decimal integer field: an optional sign, then only digits. Nothing for an empty
// field, any other byte, or a value outside the 64-bit range.
std::optional<int64_t> parseDecimalInteger(std::string_view field);

// A decimal real field: an optional sign, digits and at most one decimal point, at least one
// digit. Nothing for anything else (exponents, "inf", "nan", hexadecimal, other bytes).
std::optional<double> parseDecimalReal(std::string_view field);

} // namespace kelpax
