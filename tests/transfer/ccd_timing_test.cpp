// CCD information files: both record forms, the key counting, and values that do not fit.
#include <algorithm>
#include <bit>
#include <random>

#include <gtest/gtest.h>

#include "transfer/ccd_timing.h"

using namespace kelpax;

namespace {

const std::vector<std::pair<std::string, std::string>> kForm1 = {
    {"ActiveH", "2048.7"}, {"ActiveV", "1536"}, {"DarkH", "24"},   {"DarkV1", "4"},
    {"DarkV2", "6"},       {"BuffH", "8"},      {"BuffV1", "2"},   {"BuffV2", "3"},
    {"DummyH", "12"},      {"Freq", "40"},      {"T3p", "1.5"},    {"Tv3rd", "-2.25"},
    {"T3d", "0.125"},      {"Tvccd", "3"},      {"Thd", "+4.5"},   {"Tl", "5"},
    {"Tel", ".5"},         {"Ts", "6."},        {"Tsd", "7.0625"},
};

const std::vector<std::pair<std::string, std::string>> kForm2 = {
    {"ActiveH", "4096"}, {"ActiveV", "3072"}, {"DarkH1", "10"}, {"DarkH2", "11"}, {"DarkV1", "12"},
    {"DarkV2", "13"},    {"BuffH1", "14"},    {"BuffH2", "15"}, {"BuffV1", "16"}, {"BuffV2", "17"},
    {"DummyH", "18"},    {"Freq", "37.5"},    {"T3p", "1"},     {"Tv3rd", "2"},   {"T3d", "3"},
    {"Tvccd", "4"},      {"Thd", "5"},        {"Tl", "6"},      {"Tel", "7"},     {"Ts", "8"},
    {"Tsd", "9.5"},
};

std::string fileOf(const std::vector<std::pair<std::string, std::string>>& keys) {
  std::string text = "-- CCD information\r\n";
  for (const auto& [key, value] : keys)
    text += key + " , " + value + "\r\n";
  return text;
}

uint16_t u16At(const std::vector<uint8_t>& record, size_t offset) {
  return uint16_t(record[offset] << 8 | record[offset + 1]);
}

float floatAt(const std::vector<uint8_t>& record, size_t offset) {
  const uint32_t bits = uint32_t(record[offset]) << 24 | uint32_t(record[offset + 1]) << 16 |
                        uint32_t(record[offset + 2]) << 8 | record[offset + 3];
  return std::bit_cast<float>(bits);
}

// Would catch fields at the wrong offset, little-endian numbers, whole-number fields rounded
// instead of cut, or a key order the file must keep.
TEST(CcdTiming, AFirstFormFileInAnyOrderGivesThe56ByteRecord) {
  auto keys = kForm1;
  std::shuffle(keys.begin(), keys.end(), std::mt19937(5));
  const CcdTiming timing = parseCcdTiming(fileOf(keys));
  ASSERT_TRUE(timing.ok) << timing.message << " " << timing.detail;
  EXPECT_FALSE(timing.darkH1Form);
  const std::vector<uint8_t>& r = timing.record;
  ASSERT_EQ(r.size(), 56u);
  EXPECT_EQ(u16At(r, 0), 2048); // 2048.7 cut toward zero
  EXPECT_EQ(r[0], 0x08);
  EXPECT_EQ(u16At(r, 2), 1536);
  EXPECT_EQ(u16At(r, 16), 12);
  EXPECT_EQ(u16At(r, 18), 40); // Freq is whole in this form
  EXPECT_EQ(r[20], 0x3F);      // 1.5f = 0x3FC00000, most significant byte first
  EXPECT_EQ(r[21], 0xC0);
  EXPECT_EQ(floatAt(r, 24), -2.25f);
  EXPECT_EQ(floatAt(r, 36), 4.5f);
  EXPECT_EQ(floatAt(r, 44), 0.5f);
  EXPECT_EQ(floatAt(r, 48), 6.0f);
  EXPECT_EQ(floatAt(r, 52), 7.0625f);
}

// Would catch the "DarkH1" form being missed, its reserved bytes left undefined, or its Freq
// stored as a whole number.
TEST(CcdTiming, ADarkH1FileGivesThe64ByteRecord) {
  const CcdTiming timing = parseCcdTiming(fileOf(kForm2));
  ASSERT_TRUE(timing.ok) << timing.message << " " << timing.detail;
  EXPECT_TRUE(timing.darkH1Form);
  const std::vector<uint8_t>& r = timing.record;
  ASSERT_EQ(r.size(), 64u);
  EXPECT_EQ(u16At(r, 4), 10);
  EXPECT_EQ(u16At(r, 20), 18);
  EXPECT_EQ(u16At(r, 22), 0);
  EXPECT_EQ(floatAt(r, 24), 37.5f);
  EXPECT_EQ(floatAt(r, 60), 9.5f);

  // One "DarkH1" line turns a complete first-form file into an incomplete second-form one.
  auto keys = kForm1;
  keys.insert(keys.begin() + 5, {"DarkH1", "3"});
  const CcdTiming mixed = parseCcdTiming(fileOf(keys));
  EXPECT_FALSE(mixed.ok);
  EXPECT_EQ(mixed.message, "BKCCD Data Error!");
  EXPECT_TRUE(mixed.record.empty());
}

// Would catch a file with a key too few, or a foreign key before the last needed one, being
// sent with a field never filled.
TEST(CcdTiming, MissingKeysAndForeignKeysAreDataErrors) {
  auto keys = kForm1;
  keys.pop_back();
  CcdTiming timing = parseCcdTiming(fileOf(keys));
  EXPECT_FALSE(timing.ok);
  EXPECT_EQ(timing.message, "Data Error!");
  EXPECT_EQ(timing.caption, "");
  EXPECT_NE(timing.detail.find("Tsd"), std::string::npos) << timing.detail;

  // A foreign key (keys are exact in case) ends the data: after it nothing counts.
  for (const char* foreign : {"Gain", "activeh", "DarkH2"}) {
    keys = kForm1;
    keys.insert(keys.begin() + 10, {foreign, "1"});
    timing = parseCcdTiming(fileOf(keys));
    EXPECT_EQ(timing.message, "Data Error!") << foreign;
    EXPECT_NE(timing.detail.find(foreign), std::string::npos) << timing.detail;
  }
  // After the last needed key a foreign one does no harm.
  keys = kForm1;
  keys.push_back({"Comment", "x"});
  EXPECT_TRUE(parseCcdTiming(fileOf(keys)).ok);

  auto bk = kForm2;
  bk.erase(bk.begin() + 3);
  EXPECT_EQ(parseCcdTiming(fileOf(bk)).message, "BKCCD Data Error!");
  EXPECT_EQ(parseCcdTiming("").message, "Data Error!");
}

// Would catch a repeated key making up for a missing one in the count, so the record goes out
// with a field nobody set.
TEST(CcdTiming, ARepeatedKeyIsRefusedEvenWhenTheCountIsRight) {
  auto keys = kForm1;
  keys.back() = {"Ts", "6"}; // Tsd missing, Ts twice: still 19 lines
  const CcdTiming timing = parseCcdTiming(fileOf(keys));
  EXPECT_FALSE(timing.ok);
  EXPECT_EQ(timing.message, "Data Error!");
  EXPECT_NE(timing.detail.find("Ts"), std::string::npos) << timing.detail;
  EXPECT_TRUE(timing.record.empty());
}

// Would catch hostile values wrapping into a 16-bit field, reals read by the locale or with
// exponents, or a value too large for a float sent as infinity.
TEST(CcdTiming, ValuesThatAreNoNumbersOrDoNotFitAreRefused) {
  const std::pair<const char*, std::string> hostile[] = {
      {"ActiveH", "-1"},
      {"ActiveH", "65536"},
      {"ActiveH", "1e3"},
      {"ActiveH", "1.2.3"},
      {"ActiveH", ""},
      {"ActiveH", "abc"},
      {"ActiveH", "0x10"},
      {"ActiveH", "."},
      {"ActiveH", "+-1"},
      {"ActiveH", "12,13"},
      {"ActiveH", "1\t"},
      {"ActiveH", std::string("1\0", 2)},
      {"ActiveH", "nan"},
      {"T3p", "inf"},
      {"T3p", std::string(400, '9')},
      {"Freq", "1,5"},
      {"ActiveH", std::string(1u << 20, '1')},
  };
  for (const auto& [key, value] : hostile) {
    SCOPED_TRACE(std::string(key) + "=" + value.substr(0, 20));
    auto keys = kForm1;
    for (auto& entry : keys) {
      if (entry.first == key)
        entry.second = value;
    }
    const CcdTiming timing = parseCcdTiming(fileOf(keys));
    EXPECT_FALSE(timing.ok);
    EXPECT_EQ(timing.message, "Data Error!");
    EXPECT_TRUE(timing.record.empty());
  }
  // The edges that do fit.
  auto keys = kForm1;
  keys[0].second = "65535.99";
  keys[1].second = "-0.5";
  const CcdTiming edges = parseCcdTiming(fileOf(keys));
  ASSERT_TRUE(edges.ok) << edges.detail;
  EXPECT_EQ(u16At(edges.record, 0), 65535);
  EXPECT_EQ(u16At(edges.record, 2), 0);
}

// Would catch an answer of the wrong length or without ACK being taken as stored.
TEST(CcdTiming, OnlyASixCharacterAckIsAccepted) {
  EXPECT_TRUE(ccdTimingAccepted(std::string("\x02\x06\x03\x00\x08\x03", 6)));
  EXPECT_FALSE(ccdTimingAccepted(std::string("\x02\x15\x03\x00\x08\x03", 6)));
  EXPECT_FALSE(ccdTimingAccepted(std::string("\x02\x06\x03\x00\x28\x03", 6)));
  EXPECT_FALSE(ccdTimingAccepted(std::string("\x02\x06\x03\x00\x08", 5)));
  EXPECT_FALSE(ccdTimingAccepted(std::string("\x02\x06\x03\x00\x08\x03\x03", 7)));
  EXPECT_FALSE(ccdTimingAccepted(""));
}

} // namespace
