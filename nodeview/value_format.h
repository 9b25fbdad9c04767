// Texts of integer features shown as hexadecimal numbers, IPv4 addresses or MAC addresses,
// and the way such texts (and the integer texts of feature files) are read back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nodeview {

// How an integer feature is shown in the grid.
enum class IntegerDisplay {
  Number, // linear, logarithmic and pure-number representations
  Hex,    // hexadecimal representation
  IPv4,   // IPv4 representation, and the Gev address features
  Mac,    // MAC representation, and "GevMACAddress"
  NoRow,  // boolean and undefined representations get no row
};

// Features that are addresses whatever their XML says.
bool isGevIPv4Feature(std::string_view name);
inline bool isGevMacFeature(std::string_view name) {
  return name == "GevMACAddress";
}

// "0x%08x"; values that need more than 32 bits keep all their digits.
std::string formatHex(std::int64_t value);
// "%3d.%3d.%3d.%3d" from the four low bytes, most significant first.
std::string formatIPv4(std::int64_t value);
// "%02X-%02X-%02X-%02X-%02X-%02X" from the six low bytes, most significant first.
std::string formatMac(std::int64_t value);
// The text for a display kind; "GevMACAddress" in hexadecimal is shown as a MAC address.
std::string formatInteger(IntegerDisplay display, std::int64_t value, std::string_view name);

// Texts typed into a row. Each returns nothing when the text is not in its form.
// Hexadecimal: base 16, "0x" allowed, reading stops at the first other character.
std::optional<std::int64_t> parseHexText(std::string_view text);
// Four decimal parts separated by "."; a part above 255 counts as 255.
std::optional<std::int64_t> parseIPv4Text(std::string_view text);
// Six hexadecimal parts separated by "-"; a part above 0xFF counts as 0xFF.
std::optional<std::int64_t> parseMacText(std::string_view text);
std::optional<std::int64_t> parseIntegerText(IntegerDisplay display, std::string_view text);

// An integer value text of a feature file:
//   "192.168.  0.  1"  IPv4, blanks removed, each part reduced to its low 8 bits;
//   "0x0000abcd"       hexadecimal (as hexadecimal rows are saved);
//   "00-1A-2B-3C-4D-5E" MAC address (as "GevMACAddress" rows are saved);
//   "-17", "42"        decimal numbers, negative ones included.
std::optional<std::int64_t> parseFeatureFileInteger(std::string_view text);

// A whole decimal 64-bit number with optional blanks around it.
std::optional<std::int64_t> parseDecimal(std::string_view text);
std::optional<double> parseDouble(std::string_view text);

// A float as the grid, the listing and feature files show it: plain decimal digits, never an
// exponent ("100000", "0.000125"), the fewest digits that read back as the same number.
std::string formatFloat(double value);

} // namespace nodeview
