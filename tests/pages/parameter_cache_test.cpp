// The value cache: registration, what it takes from the camera's traffic and what it writes.
#include <gtest/gtest.h>

#include "pages/command_vocabulary.h"
#include "pages/parameter_cache.h"
#include "pages/stem_lists.h"

using namespace kelpax;

namespace {

ParameterCache cacheWith(std::initializer_list<std::pair<const char*, uint8_t>> stems) {
  ParameterCache cache;
  for (const auto& [name, flags] : stems)
    cache.registerEntry(name, flags);
  return cache;
}

} // namespace

TEST(ParameterCache, FlagByteAndDuplicateRegistration) {
  ParameterCache cache;
  EXPECT_TRUE(cache.registerEntry("ha", 2));
  EXPECT_TRUE(cache.registerEntry("dg", 33));
  EXPECT_TRUE(cache.registerEntry("go 2", 65));
  EXPECT_TRUE(cache.registerEntry("wx", 17));
  // A second registration keeps the first one's flags.
  EXPECT_FALSE(cache.registerEntry("ha", 33));
  ASSERT_EQ(cache.size(), 4u);

  const ParameterEntry& ha = cache.entry(0);
  EXPECT_EQ(ha.valueCount, 2);
  EXPECT_FALSE(ha.isFloat);
  const ParameterEntry& dg = cache.entry(1);
  EXPECT_EQ(dg.valueCount, 1);
  EXPECT_TRUE(dg.isFloat);
  EXPECT_FALSE(dg.noFileSave);
  EXPECT_TRUE(cache.entry(2).noFileSave);
  EXPECT_TRUE(cache.entry(3).variantNoSave);
  EXPECT_FALSE(cache.entry(3).noFileSave);
  // Never read: -1, and beyond the value count also -1.
  EXPECT_EQ(cache.intValue("ha", 1), -1);
  EXPECT_EQ(cache.intValue("ha", 2), -1);
  EXPECT_EQ(cache.intValue("xx"), -1);
  EXPECT_EQ(cache.floatValue("xx"), -1.0f);
}

TEST(ParameterCache, FullCacheTakesNoMore) {
  ParameterCache cache;
  for (int i = 0; i < 120; ++i)
    cache.registerEntry("s" + std::to_string(i), 1);
  EXPECT_EQ(cache.size(), ParameterCache::kCapacity);
  EXPECT_EQ(cache.find("s100"), nullptr);
}

// Would catch "ag 1" confused with "ag", and a set echo read as the wrong stem.
TEST(ParameterCache, AcceptedSetsUpdateTheEntryTheEchoNames) {
  ParameterCache cache = cacheWith({{"ag", 1}, {"ag 1", 1}, {"ag 2", 1}, {"et", 1}});
  cache.updateFromTraffic("sag 1 100\r\nOK\r\n>");
  EXPECT_EQ(cache.intValue("ag 1"), 100);
  EXPECT_EQ(cache.intValue("ag"), -1);
  EXPECT_EQ(cache.intValue("ag 2"), -1);

  cache.updateFromTraffic("sag 7\r\nOK\r\n>");
  EXPECT_EQ(cache.intValue("ag"), 7);
  EXPECT_EQ(cache.intValue("ag 1"), 100);

  // A channel the family lacks is not taken for the plain stem.
  cache.updateFromTraffic("sag 3 55\r\nOK\r\n>");
  EXPECT_EQ(cache.intValue("ag"), 7);

  cache.updateFromTraffic("set 2500\r\nOK\r\n>");
  EXPECT_EQ(cache.intValue("et"), 2500);
  EXPECT_FLOAT_EQ(cache.floatValue("et"), 2500.0f);
}

// Would catch a two-value entry losing its second value, on set and on query.
TEST(ParameterCache, TwoValueEntriesKeepBothValues) {
  ParameterCache cache = cacheWith({{"ha", 2}, {"va", 2}});
  cache.updateFromTraffic("sha 8 1023\r\nOK\r\n>");
  EXPECT_EQ(cache.intValue("ha", 0), 8);
  EXPECT_EQ(cache.intValue("ha", 1), 1023);

  EXPECT_TRUE(cache.takeFromTraffic("gva\r\n0 767\r\n>"));
  EXPECT_EQ(cache.intValue("va", 0), 0);
  EXPECT_EQ(cache.intValue("va", 1), 767);
  EXPECT_EQ(ParameterCache::commandLine(*cache.find("ha")), "sha 8 1023");
}

// Would catch a refused command or an "error" answer to a query changing the cache.
TEST(ParameterCache, RefusalsAndErrorAnswersChangeNothing) {
  ParameterCache cache = cacheWith({{"et", 1}, {"tm", 1}});
  cache.updateFromTraffic("set 1000\r\nOK\r\n>");
  cache.updateFromTraffic("stm 2\r\nOK\r\n>");

  cache.updateFromTraffic("set 0\r\nError : value out of range\r\n>");
  EXPECT_EQ(cache.intValue("et"), 1000);
  EXPECT_FALSE(cache.takeFromTraffic("gtm\r\nerror\r\n>"));
  EXPECT_FALSE(cache.takeFromTraffic("gtm\r\nError : busy\r\n>"));
  EXPECT_EQ(cache.intValue("tm"), 2);
  // Traffic of a stem the family does not keep, and text without a prompt, are ignored.
  cache.updateFromTraffic("sxy 5\r\nOK\r\n>");
  cache.updateFromTraffic("gtm");
  EXPECT_EQ(cache.intValue("tm"), 2);
  // An answer without values stores nothing.
  EXPECT_FALSE(cache.takeFromTraffic("gtm\r\n>"));
  EXPECT_EQ(cache.intValue("tm"), 2);
}

TEST(ParameterCache, QueriesStoreIntegerAndRealReadings) {
  ParameterCache cache = cacheWith({{"dg", 33}, {"tt", 1}, {"g", 33}});
  EXPECT_TRUE(cache.takeFromTraffic("gdg\r\n1.750000\r\n>"));
  EXPECT_FLOAT_EQ(cache.floatValue("dg"), 1.75f);
  EXPECT_EQ(cache.intValue("dg"), 1); // the integer reading stops at the point
  EXPECT_TRUE(cache.takeFromTraffic("gtt\r\n-12\r\n>"));
  EXPECT_EQ(cache.intValue("tt"), -12);
  // A one-letter stem: the name follows the command letter.
  EXPECT_TRUE(cache.takeFromTraffic("gg\r\n3.5\r\n>"));
  EXPECT_FLOAT_EQ(cache.floatValue("g"), 3.5f);
  cache.updateFromTraffic("sg 4.250\r\nOK\r\n>");
  EXPECT_FLOAT_EQ(cache.floatValue("g"), 4.25f);
  EXPECT_EQ(ParameterCache::commandLine(*cache.find("g")), "sg 4.25000");
  EXPECT_EQ(ParameterCache::commandLine(*cache.find("tt")), "stt -12");
}

TEST(ParameterCache, NumberReadingOfAnswers) {
  struct Case {
    const char* word;
    int32_t integer;
    double real;
  };
  const Case cases[] = {{"42", 42, 42},    {"-7", -7, -7},
                        {"+3", 3, 3},      {"12.75", 12, 12.75},
                        {"-0.5", 0, -0.5}, {"x1", 0, 0},
                        {"1.2.3", 1, 1.2}, {"99999999999", INT32_MAX, 99999999999.0}};
  for (const Case& c : cases) {
    EXPECT_EQ(parseCacheInt(c.word), c.integer) << c.word;
    EXPECT_DOUBLE_EQ(parseCacheReal(c.word), c.real) << c.word;
  }
}

// Every family fits the cache, and a stem listed twice keeps its first registration.
TEST(StemLists, FamiliesFitTheCacheAndKeepFirstRegistrations) {
  for (Series series : {Series::Kx, Series::Kh, Series::KnP, Series::Kn, Series::Ki, Series::Ko,
                        Series::Ka, Series::Ky, Series::Ku, Series::Ke, Series::Kw}) {
    ParameterCache cache;
    size_t distinct = 0;
    for (const StemRegistration& stem : stemsForSeries(series))
      distinct += cache.registerEntry(stem.stem, stem.flags) ? 1 : 0;
    EXPECT_GT(distinct, 20u) << seriesName(series);
    EXPECT_LT(cache.size(), ParameterCache::kCapacity) << seriesName(series);
  }
  ParameterCache ko;
  for (const StemRegistration& stem : stemsForSeries(Series::Ko))
    ko.registerEntry(stem.stem, stem.flags);
  // Ko lists "et" as an integer first and later as a real; "pf" first plain, later never saved.
  EXPECT_FALSE(ko.find("et")->isFloat);
  EXPECT_FALSE(ko.find("pf")->noFileSave);
  EXPECT_EQ(ko.find("ls")->valueCount, 2);
  EXPECT_TRUE(ko.find("wx")->variantNoSave == false); // "wx" plain before "wx (17)"
  EXPECT_TRUE(stemsForSeries(Series::None).empty());
}

TEST(StemLists, ListTextIsReadAsWritten) {
  const std::vector<StemRegistration> stems = parseStemList("rm, ha (2), np x, g (33),  go 2 (65)");
  ASSERT_EQ(stems.size(), 5u);
  EXPECT_EQ(stems[1].stem, "ha");
  EXPECT_EQ(stems[1].flags, 2);
  EXPECT_EQ(stems[2].stem, "np x");
  EXPECT_EQ(stems[2].flags, 1);
  EXPECT_EQ(stems[3].flags, 33);
  EXPECT_EQ(stems[4].stem, "go 2");
  EXPECT_EQ(stems[4].flags, 65);
}

// Would catch a real format losing or gaining decimals.
TEST(CommandVocabulary, FormatsKeepTheirPrecision) {
  EXPECT_EQ(formatCommand(cmd::kDigitalGain6, 1.5), "sdg 1.500000");
  EXPECT_EQ(formatCommand(cmd::kDigitalGain2, 1.5), "sdg 1.50");
  EXPECT_EQ(formatCommand(cmd::kDigitalGain3, 2.0), "sdg 2.000");
  EXPECT_EQ(formatCommand(cmd::kAnalogGainLeft, 100), "sag 1 100");
  EXPECT_EQ(formatCommand(cmd::kVerticalArea, 0, 1000), "sva 0 1000");
  EXPECT_EQ(formatCommand(cmd::kExposureTime, 2500), "set 2500");
}
