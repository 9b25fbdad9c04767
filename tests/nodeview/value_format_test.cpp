// Address and hexadecimal texts of integer rows: shown and read back.
#include <limits>

#include <gtest/gtest.h>

#include "nodeview/value_format.h"

namespace nodeview {
namespace {

struct FormatCase {
  IntegerDisplay display;
  std::int64_t value;
  const char* name;
  const char* text;
};

// Catches wrong padding, byte order or letter case in the shown texts.
TEST(ValueFormat, FormatsEachRepresentation) {
  const FormatCase cases[] = {
      {IntegerDisplay::IPv4, 3232235521, "GevCurrentIPAddress", "192.168.  0.  1"},
      {IntegerDisplay::IPv4, 0xffffff00, "GevCurrentSubnetMask", "255.255.255.  0"},
      {IntegerDisplay::IPv4, 0x0a000102, "GevMCDA", " 10.  0.  1.  2"},
      {IntegerDisplay::Mac, 0x11223344, "Mac", "00-00-11-22-33-44"},
      {IntegerDisplay::Mac, 0x0a1b2c3d4e5f, "Mac", "0A-1B-2C-3D-4E-5F"},
      {IntegerDisplay::Hex, 0x11223344, "GevMACAddress", "00-00-11-22-33-44"},
      {IntegerDisplay::Hex, 0xabc, "DeviceRegister", "0x00000abc"},
      {IntegerDisplay::Hex, 0xdeadbeef, "DeviceRegister", "0xdeadbeef"},
      {IntegerDisplay::Hex, 0x123456789, "WideRegister", "0x123456789"},
      {IntegerDisplay::Number, -42, "Offset", "-42"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formatInteger(c.display, c.value, c.name), c.text) << c.name << " " << c.value;
  }
}

// Catches a Gev address feature shown as a plain number because its XML says otherwise.
TEST(ValueFormat, GevAddressFeaturesAreNamed) {
  for (const char* name :
       {"GevCurrentIPAddress", "GevCurrentSubnetMask", "GevCurrentDefaultGateway",
        "GevPersistentIPAddress", "GevPersistentSubnetMask", "GevPersistentDefaultGateway",
        "GevPrimaryApplicationIPAddress", "GevMCDA", "GevSCDA"}) {
    EXPECT_TRUE(isGevIPv4Feature(name)) << name;
  }
  EXPECT_FALSE(isGevIPv4Feature("GevMACAddress"));
  EXPECT_FALSE(isGevIPv4Feature("gevcurrentipaddress"));
  EXPECT_TRUE(isGevMacFeature("GevMACAddress"));
}

struct ParseCase {
  IntegerDisplay display;
  const char* text;
  std::optional<std::int64_t> value;
};

// Catches typed addresses read in the wrong byte order, parts not limited to 255, and
// texts with a missing part taken as valid.
TEST(ValueFormat, ParsesTypedTexts) {
  const ParseCase cases[] = {
      {IntegerDisplay::IPv4, "192.168.0.1", 3232235521},
      {IntegerDisplay::IPv4, "192.168.  0.  1", 3232235521},
      {IntegerDisplay::IPv4, "300.1.1.1", 0xff010101},
      {IntegerDisplay::IPv4, "-1.0.0.0", 0xff000000},
      {IntegerDisplay::IPv4, "192.168.0", std::nullopt},
      {IntegerDisplay::IPv4, "192.168..1", std::nullopt},
      {IntegerDisplay::IPv4, "192.168.0.1.5", std::nullopt},
      {IntegerDisplay::IPv4, "a.b.c.d", std::nullopt},
      {IntegerDisplay::Mac, "00-00-11-22-33-44", 0x11223344},
      {IntegerDisplay::Mac, "0a-1B-2c-3D-4e-5F", 0x0a1b2c3d4e5f},
      {IntegerDisplay::Mac, "100-00-00-00-00-01", 0xff0000000001},
      {IntegerDisplay::Mac, "00-11-22-33-44", std::nullopt},
      {IntegerDisplay::Mac, "00-11-22-33-44-zz", std::nullopt},
      {IntegerDisplay::Hex, "0x1F", 0x1f},
      {IntegerDisplay::Hex, "1f", 0x1f},
      {IntegerDisplay::Hex, "0x1Fzz", 0x1f},
      {IntegerDisplay::Hex, "zz", std::nullopt},
      {IntegerDisplay::Hex, "00-00-11-22-33-44", 0x11223344},
      {IntegerDisplay::Number, "-12", -12},
      {IntegerDisplay::Number, "12x", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseIntegerText(c.display, c.text), c.value) << c.text;
  }
}

// Catches a shown text that does not read back to the same value.
TEST(ValueFormat, ShownTextsReadBack) {
  for (std::int64_t value : {0LL, 1LL, 3232235521LL, 0xffffffffLL}) {
    EXPECT_EQ(parseIPv4Text(formatIPv4(value)), value);
  }
  for (std::int64_t value : {0LL, 0x11223344LL, 0xffffffffffffLL}) {
    EXPECT_EQ(parseMacText(formatMac(value)), value);
  }
}

// Integer value texts of feature files, "-" texts included: catches a MAC text or a negative
// number loaded as 0, and an IPv4 part that is not cut to its low 8 bits.
TEST(ValueFormat, ReadsFeatureFileIntegers) {
  const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
      {"42", 42},
      {"-17", -17},
      {"192.168.  0.  1", 3232235521},
      {"256.1.1.1", 0x00010101},
      {"00-1A-2B-3C-4D-5E", 0x001a2b3c4d5e},
      {"0x0000abcd", 0xabcd},
      {"0xzz", std::nullopt},
      {"1.2.3", std::nullopt},
      {"-", std::nullopt},
      {"12-3", std::nullopt},
      {"", std::nullopt},
      {"seven", std::nullopt},
  };
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(parseFeatureFileInteger(text), value) << text;
  }
}

// Catches the C locale's decimal comma leaking into float texts.
TEST(ValueFormat, ParsesDoublesWithoutLocale) {
  EXPECT_EQ(parseDouble("1.5"), 1.5);
  EXPECT_EQ(parseDouble(" -2.25 "), -2.25);
  EXPECT_EQ(parseDouble("1,5"), std::nullopt);
  EXPECT_EQ(parseDouble(""), std::nullopt);
}

// Catches floats shown with an exponent ("1e+05") in the grid, listings and feature files, and
// digits lost on the way back.
TEST(ValueFormat, FloatsArePlainDecimal) {
  const std::pair<double, const char*> cases[] = {
      {100000.0, "100000"}, {0.000125, "0.000125"},           {-2.5, "-2.5"},
      {0.0, "0"},           {1e21, "1000000000000000000000"}, {0.1, "0.1"},
      {59.94, "59.94"},
  };
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(formatFloat(value), text);
    EXPECT_EQ(parseDouble(formatFloat(value)), value) << text;
  }
  EXPECT_EQ(parseDouble(formatFloat(5e-324)), 5e-324) << "the smallest double keeps its digits";
  EXPECT_EQ(formatFloat(std::numeric_limits<double>::infinity()), "inf");
}

} // namespace
} // namespace nodeview
