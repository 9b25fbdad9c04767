// The gamma table and the table text files: reading them line by line without trusting them,
// writing them whole.
#include "editors/lut_file.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "camera/file_io.h"
#include "transfer/data_lines.h"

namespace kelpax {
namespace {

// Blanks, tabs, CR and LF go; what is left is the line's data.
void compactLine(std::string_view line, std::string& data) {
  data.clear();
  for (char c : line) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
      data.push_back(c);
  }
}

// At most this much of a line goes into a detail, with unprintable bytes shown as '?'.
std::string shownLine(std::string_view data) {
  constexpr size_t kShown = 40;
  std::string shown;
  for (char c : data.substr(0, kShown))
    shown.push_back(c >= 0x20 && c < 0x7f ? c : '?');
  if (data.size() > kShown)
    shown += "...";
  return shown;
}

LutFileLoad fileError(int inputsRead, std::string detail) {
  LutFileLoad result;
  result.inputsRead = inputsRead;
  result.message = std::string(kLutFileError);
  result.caption = std::string(kLutFileErrorCaption);
  result.detail = std::move(detail);
  return result;
}

} // namespace

bool lutGammaAccepted(double gamma) {
  return std::isfinite(gamma) && gamma > 0 && gamma <= kLutGammaMax;
}

bool generateGammaTable(LutTable& table, double gamma) {
  if (!lutGammaAccepted(gamma))
    return false;
  const double divisor = table.type() == LutType::Bits14 ? 16384.0 : double(kLutMaxOutput);
  std::span<uint16_t> values = table.values();
  for (size_t input = 0; input < values.size(); ++input) {
    const double output = std::pow(double(input) / divisor, gamma) * kLutMaxOutput;
    // pow of a ratio within [0, 1] stays within [0, 1]: the product is a 12-bit output.
    values[input] = uint16_t(std::trunc(output));
  }
  return true;
}

bool lutTableComplete(const LutTable& table) {
  for (uint16_t value : table.values()) {
    if (value > kLutMaxOutput)
      return false;
  }
  return true;
}

LutType lutTypeFromSelector(int selector, bool* typeError) {
  if (typeError)
    *typeError = selector != 0 && selector != 1;
  return selector == 1 ? LutType::Bits14 : LutType::Bits12;
}

LutFileLoad readLutText(std::string_view text, LutTable& table, LutFileDialect dialect) {
  const int count = table.size();
  // Read into a copy: the page's table changes only when the whole file is good.
  std::vector<uint16_t> read(table.values().begin(), table.values().end());
  int expected = 0;
  size_t lineNumber = 0;
  std::string data;
  std::string ended; // why the reading ended before the last input
  LineReader lines(text);
  for (std::string_view line; expected < count && lines.next(line);) {
    ++lineNumber;
    // Header and comments; a line of two characters or fewer carries no pair.
    if (line.find("--") != std::string_view::npos || line.find(':') != std::string_view::npos)
      continue;
    compactLine(line, data);
    if (data.size() <= 2)
      continue;
    if (data.find('#') != std::string::npos) {
      if (dialect == LutFileDialect::Ky29C)
        continue;
      ended = "line " + std::to_string(lineNumber) + ": a '#' line ends the table";
      break;
    }
    const std::vector<std::string_view> fields = splitFields(data);
    if (fields.size() < 2) {
      ended = "line " + std::to_string(lineNumber) + " (\"" + shownLine(data) +
              "\"): no output after the input";
      break;
    }
    const std::optional<int64_t> input = parseDecimalInteger(fields[0]);
    if (!input || *input != expected) {
      ended = "line " + std::to_string(lineNumber) + " (\"" + shownLine(data) + "\"): input " +
              std::to_string(expected) + " expected";
      break;
    }
    // The pair is the expected input's: anything wrong with it now is a damaged file, however
    // far the reading got, never an output quietly kept or made up.
    const std::optional<int64_t> output = parseDecimalInteger(fields[1]);
    if (fields.size() > 2 || !output || *output < 0 || *output > kLutMaxOutput) {
      return fileError(expected, "line " + std::to_string(lineNumber) + " (\"" + shownLine(data) +
                                     "\"): not an output from 0 to 4095 for input " +
                                     std::to_string(expected));
    }
    read[size_t(expected)] = uint16_t(*output);
    ++expected;
  }
  if (expected < count - 1) {
    if (ended.empty())
      ended = "the file ends after " + std::to_string(expected) + " of " + std::to_string(count) +
              " inputs";
    return fileError(expected, ended);
  }
  std::copy(read.begin(), read.end(), table.values().begin());
  LutFileLoad result;
  result.ok = true;
  result.inputsRead = expected;
  return result;
}

LutFileLoad loadLutFile(const std::string& path, LutTable& table, LutFileDialect dialect) {
  std::string text;
  const FileStatus status = readFileBounded(path, kLutFileSizeLimit, text);
  if (!status) {
    LutFileLoad result;
    result.message = std::string(kCannotOpenLutFile);
    result.caption = std::string(kCannotOpenLutFileCaption);
    result.detail = status.detail;
    return result;
  }
  LutFileLoad result = readLutText(text, table, dialect);
  if (!result.ok)
    result.detail = path + ": " + result.detail;
  return result;
}

std::string lutFileText(const LutTable& table, std::optional<double> gamma) {
  std::string text(kLutFileHeader);
  text.reserve(text.size() + size_t(table.size()) * 11);
  char line[48];
  if (gamma && table.type() == LutType::Bits12) {
    std::snprintf(line, sizeof line, "#Gamma=%.2lf \n", *gamma);
    text += line;
  }
  for (int input = 0; input < table.size(); ++input) {
    const int length =
        std::snprintf(line, sizeof line, "%d,%d\n", input, int(table[size_t(input)]));
    text.append(line, size_t(length));
  }
  return text;
}

std::string lutFilePath(std::string_view chosen) {
  std::string path(chosen);
  if (path.find('.') == std::string::npos || path.find(".lut") == std::string::npos)
    path += ".lut";
  return path;
}

LutFileSave saveLutFile(std::string_view chosen, const LutTable& table,
                        std::optional<double> gamma) {
  LutFileSave result;
  result.path = lutFilePath(chosen);
  if (!lutTableComplete(table)) {
    // A file with no-data entries could never be read back.
    result.message = std::string(kLutFileWriteError);
    result.caption = std::string(kLutFileWriteErrorCaption);
    result.detail = "the table holds entries without data (an upload that did not finish)";
    return result;
  }
  const FileStatus status = writeFileAtomically(result.path, lutFileText(table, gamma));
  if (!status) {
    result.message = std::string(kLutFileWriteError);
    result.caption = std::string(kLutFileWriteErrorCaption);
    result.detail = status.detail;
    return result;
  }
  result.saved = true;
  return result;
}

} // namespace kelpax
