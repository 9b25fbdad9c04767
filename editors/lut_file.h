// Look-up tables as the operator makes them: the gamma table, and the ".lut" / ".csv" text
// files (a header, on the Ky 29C page a gamma line, then one "input,output" line per input).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "editors/lut_table.h"

namespace kelpax {

// --- Texts the pages and the command line show ----------------------------------------------

inline constexpr std::string_view kLutFileError = " LUT file error!";
inline constexpr std::string_view kLutFileErrorCaption = "LUT Downloader";
inline constexpr std::string_view kCannotOpenLutFile = "Cannot open LUT file!";
inline constexpr std::string_view kCannotOpenLutFileCaption = "Downloader";
inline constexpr std::string_view kLutFileWriteError = "file error!";
inline constexpr std::string_view kLutFileWriteErrorCaption = "Error Message";
inline constexpr std::string_view kLutTypeError = "lut Type error \n";

inline constexpr std::string_view kLutFileHeader = ":Quorvane Camera LUT Data \n";

// File dialog filters, in the form Qt's file dialogs take.
inline constexpr std::string_view kLutSaveFilter = "LUT file(*.lut) (*.lut);;All Files(*.*) (*)";
inline constexpr std::string_view kLutOpenFilter =
    "LUT files (*.lut) (*.lut);;CSV Files(*.csv) (*.csv);;All Files(*.*) (*)";

// A table file is a few hundred kilobytes at most; anything far larger is not one.
inline constexpr size_t kLutFileSizeLimit = 16u << 20;

// --- Gamma --------------------------------------------------------------------------------

inline constexpr double kLutDefaultGamma = 1.0;
inline constexpr double kLutGammaMax = 1000.0;

// Whether the gamma edit takes `gamma`: 0 < gamma <= 1000 (and a number at all).
bool lutGammaAccepted(double gamma);

// output = trunc((input / D) ^ gamma * 4095), D = 4095 for 12-bit tables and 16384 for 14-bit
// ones (so the 14-bit table never quite reaches 4095). False, and `table` untouched, for a gamma
// the edit would not take.
bool generateGammaTable(LutTable& table, double gamma);

// Whether every entry is an output (0..4095): no no-data entry, nothing out of range.
bool lutTableComplete(const LutTable& table);

// The table type a page's type selector value means: 1 is 14-bit, 0 and anything else 12-bit
// (anything else also reported through `typeError`).
LutType lutTypeFromSelector(int selector, bool* typeError = nullptr);

// --- Files --------------------------------------------------------------------------------

// The Ky 29C page writes its gamma into 12-bit files and skips that line when reading; on the
// other pages a '#' line ends the reading.
enum class LutFileDialect { Standard, Ky29C };

struct LutFileLoad {
  bool ok = false;
  int inputsRead = 0;  // data lines taken in order
  std::string message; // kLutFileError or kCannotOpenLutFile when it failed
  std::string caption;
  std::string detail; // the file and line that ended the reading, for the log
};

// Reads a table text into `table` (whose type gives the inputs expected). The text must bring at
// least every input but the last, in order from 0; a missing last input keeps its old output.
// On failure `table` is left exactly as it was.
LutFileLoad readLutText(std::string_view text, LutTable& table, LutFileDialect dialect);
// The same from a file (at most kLutFileSizeLimit bytes).
LutFileLoad loadLutFile(const std::string& path, LutTable& table, LutFileDialect dialect);

// The file text of `table`; `gamma` adds the Ky 29C page's "#Gamma=" line (12-bit tables only).
std::string lutFileText(const LutTable& table, std::optional<double> gamma = std::nullopt);

// The path a save writes: ".lut" appended unless the chosen name already holds ".lut".
std::string lutFilePath(std::string_view chosen);

struct LutFileSave {
  bool saved = false;
  std::string path;
  std::string message; // kLutFileWriteError on failure
  std::string caption;
  std::string detail;
};

// Writes the table at lutFilePath(chosen) whole (a new file renamed over the old), so a failed
// save leaves no part of a file and an older file as it was.
LutFileSave saveLutFile(std::string_view chosen, const LutTable& table,
                        std::optional<double> gamma = std::nullopt);

} // namespace kelpax
