// The value cache: registration, what it takes from the camera's traffic and what it writes.
#include <gtest/gtest.h>

#include "camera/parameter_cache.h"
#include "camera/tables/command_vocabulary.h"
#include "camera/tables/model_rules.h"
#include "camera/tables/stem_lists.h"

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
  cache.takeFromTraffic("sag 1 100\r\nOK\r\n>");
  EXPECT_EQ(cache.intValue("ag 1"), 100);
  EXPECT_EQ(cache.intValue("ag"), -1);
  EXPECT_EQ(cache.intValue("ag 2"), -1);

  cache.takeFromTraffic("sag 7\r\nOK\r\n>");
  EXPECT_EQ(cache.intValue("ag"), 7);
  EXPECT_EQ(cache.intValue("ag 1"), 100);

  // A channel the family lacks is not taken for the plain stem.
  cache.takeFromTraffic("sag 3 55\r\nOK\r\n>");
  EXPECT_EQ(cache.intValue("ag"), 7);

  cache.takeFromTraffic("set 2500\r\nOK\r\n>");
  EXPECT_EQ(cache.intValue("et"), 2500);
  EXPECT_FLOAT_EQ(cache.floatValue("et"), 2500.0f);
}

// Would catch a two-value entry losing its second value, on set and on query.
TEST(ParameterCache, TwoValueEntriesKeepBothValues) {
  ParameterCache cache = cacheWith({{"ha", 2}, {"va", 2}});
  cache.takeFromTraffic("sha 8 1023\r\nOK\r\n>");
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
  cache.takeFromTraffic("set 1000\r\nOK\r\n>");
  cache.takeFromTraffic("stm 2\r\nOK\r\n>");

  cache.takeFromTraffic("set 0\r\nError : value out of range\r\n>");
  EXPECT_EQ(cache.intValue("et"), 1000);
  EXPECT_FALSE(cache.takeFromTraffic("gtm\r\nerror\r\n>"));
  EXPECT_FALSE(cache.takeFromTraffic("gtm\r\nError : busy\r\n>"));
  EXPECT_EQ(cache.intValue("tm"), 2);
  // Traffic of a stem the family does not keep, and text without a prompt, are ignored.
  cache.takeFromTraffic("sxy 5\r\nOK\r\n>");
  cache.takeFromTraffic("gtm");
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
  cache.takeFromTraffic("sg 4.250\r\nOK\r\n>");
  EXPECT_FLOAT_EQ(cache.floatValue("g"), 4.25f);
  EXPECT_EQ(ParameterCache::commandLine(*cache.find("g")), "sg 4.25000");
  EXPECT_EQ(ParameterCache::commandLine(*cache.find("tt")), "stt -12");
}

// One exchange after another against a small family; each row says what the cache holds
// afterwards. Would catch a letter other than "s" or "g" before the stem taken as a set, a
// query storing more values than the entry keeps, a set echo read past its first line, an
// accepted answer without "OK" matched by its whole echo line, or text without a prompt
// read as an answer.
TEST(ParameterCache, TrafficTable) {
  ParameterCache cache = cacheWith({{"tm", 1}, {"ag", 1}, {"ag 1", 1}, {"ha", 2}, {"dg", 33}});
  struct Step {
    const char* traffic;
    bool stored;
    const char* stem;
    int index;
    int32_t intValue;
  };
  const Step steps[] = {
      {"stm 3\r\nOK\r\n>", true, "tm", 0, 3},     {"xtm 4\r\nOK\r\n>", false, "tm", 0, 3},
      {"gtm\r\n2 9\r\n>", true, "tm", 0, 2},      {"gha\r\n4 100 7\r\n>", true, "ha", 1, 100},
      {"gha\r\n4 100 7\r\n>", true, "ha", 0, 4},  {"sha 5 6\r\nOK\r\n>", true, "ha", 1, 6},
      {"sha 3\r\nOK\r\n>", true, "ha", 0, 3}, // one blank: the stem "ha", one value
      {"sha 3\r\nOK\r\n>", true, "ha", 1, 6},     {"sag 1 50\r\nOK\r\n>", true, "ag 1", 0, 50},
      {"sag 1 50\r\nOK\r\n>", true, "ag", 0, -1}, {"sag 60\r\nOK\r\n>", true, "ag", 0, 60},
      {"sag 70\r\n>", false, "ag", 0, 60},        {"gag\r\nERROR 80\r\n>", false, "ag", 0, 60},
      {"gag\r\n90", false, "ag", 0, 60},          {"ag", false, "ag", 0, 60},
      {"gdg\r\n-0.5\r\n>", true, "dg", 0, 0},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(cache.takeFromTraffic(step.traffic), step.stored) << step.traffic;
    EXPECT_EQ(cache.intValue(step.stem, step.index), step.intValue)
        << step.traffic << " -> " << step.stem << "[" << step.index << "]";
  }
  EXPECT_FLOAT_EQ(cache.floatValue("dg"), -0.5f);
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
  // The view pages send one value for the look-up table and the reversals, and the trigger
  // page's frame count and reset have entries to snap back to.
  EXPECT_EQ(ko.find("ls")->valueCount, 1);
  EXPECT_EQ(ko.find("rx")->valueCount, 1);
  EXPECT_NE(ko.find("fn"), nullptr);
  EXPECT_NE(ko.find("ar"), nullptr);
  // Ka registers the real exposure first: the real registration holds.
  ParameterCache ka;
  for (const StemRegistration& stem : stemsForSeries(Series::Ka))
    ka.registerEntry(stem.stem, stem.flags);
  EXPECT_TRUE(ka.find("et")->isFloat);
  EXPECT_TRUE(ko.find("wx")->variantNoSave == false); // "wx" plain before "wx (17)"
  EXPECT_TRUE(stemsForSeries(Series::None).empty());
}

// Models that share another family's page keep that page's stems after their own family's:
// the Kn 47M its region window, the Ko 101M and 151M the acquisition state (never saved).
// Would catch the window edits of a Kn 47M left without values, the stems given to the whole
// family, or the family's own order disturbed.
TEST(StemLists, ModelsKeepTheStemsOfThePageTheyShare) {
  auto registered = [](const char* name) {
    ModelDescriptor model;
    describeModelName(name, model);
    ParameterCache cache;
    for (const StemRegistration& stem : stemsForModel(model))
      cache.registerEntry(stem.stem, stem.flags);
    ParameterCache family;
    for (const StemRegistration& stem : stemsForSeries(model.series))
      family.registerEntry(stem.stem, stem.flags);
    EXPECT_GE(cache.size(), family.size()) << name;
    for (size_t i = 0; i < family.size() && i < cache.size(); ++i)
      EXPECT_EQ(cache.entry(i).name, family.entry(i).name) << name;
    return cache;
  };
  const ParameterCache kn47 = registered("Kn-47M-M40");
  for (const char* stem : {"wx", "wy", "ww", "wh"}) {
    ASSERT_NE(kn47.find(stem), nullptr) << stem;
    EXPECT_EQ(kn47.find(stem)->valueCount, 1);
    EXPECT_FALSE(kn47.find(stem)->noFileSave) << "the window is a setting";
  }
  EXPECT_EQ(kn47.entries().back().name, "wh");
  EXPECT_EQ(registered("Kn-47M-C40").find("ww")->valueCount, 1);
  EXPECT_EQ(registered("Kn-8M-M40").find("wx"), nullptr);

  for (const char* name : {"Ko-101M-C40", "Ko-151M-M40"}) {
    const ParameterCache ko = registered(name);
    ASSERT_NE(ko.find("ast"), nullptr) << name;
    EXPECT_TRUE(ko.find("ast")->noFileSave) << "acquiring is no setting to save";
    EXPECT_LT(ko.size(), ParameterCache::kCapacity);
  }
  EXPECT_EQ(registered("Ko-50M-C40").find("ast"), nullptr);
}

// Each family's table as the cameras' command reference gives it: how many stems it lists,
// how many remain once repeats keep their first registration, where it starts and ends, and
// how many registered entries are real, never saved, not saved for monochrome and two-valued.
// Would catch a stem dropped, added or moved to the wrong family, or a flag byte mistyped.
TEST(StemLists, FamilyFingerprints) {
  struct Fingerprint {
    Series series;
    size_t listed, registered;
    const char* first;
    const char* last;
    int reals, neverSaved, variantNoSave, twoValues;
  };
  const Fingerprint families[] = {
      {Series::Kx, 27, 27, "rm", "ar", 0, 0, 0, 2},  {Series::Kh, 29, 29, "bf", "ao", 0, 0, 0, 2},
      {Series::Ka, 55, 54, "cl", "wh", 4, 7, 0, 2},  {Series::Kn, 55, 54, "rm", "oo 4", 3, 7, 0, 2},
      {Series::KnP, 40, 40, "rm", "rp", 1, 7, 0, 2}, {Series::Ki, 77, 76, "rm", "fag", 7, 14, 4, 2},
      {Series::Ko, 84, 74, "rm", "fag", 7, 1, 0, 2}, {Series::Kw, 34, 34, "cl", "wh", 4, 0, 0, 0},
      {Series::Ku, 22, 22, "ti", "hd", 3, 1, 0, 0},  {Series::Ke, 31, 31, "db", "pe", 6, 0, 0, 0},
      {Series::Ky, 68, 68, "et", "ih", 2, 7, 0, 0},
  };
  for (const Fingerprint& f : families) {
    const std::string_view name = seriesName(f.series);
    const auto list = stemsForSeries(f.series);
    ASSERT_EQ(list.size(), f.listed) << name;
    EXPECT_EQ(list.front().stem, f.first) << name;
    EXPECT_EQ(list.back().stem, f.last) << name;
    ParameterCache cache;
    for (const StemRegistration& stem : list)
      cache.registerEntry(stem.stem, stem.flags);
    EXPECT_EQ(cache.size(), f.registered) << name;
    int reals = 0, neverSaved = 0, variantNoSave = 0, twoValues = 0;
    for (const ParameterEntry& entry : cache.entries()) {
      reals += entry.isFloat;
      neverSaved += entry.noFileSave;
      variantNoSave += entry.variantNoSave;
      twoValues += entry.valueCount == 2;
    }
    EXPECT_EQ(reals, f.reals) << name;
    EXPECT_EQ(neverSaved, f.neverSaved) << name;
    EXPECT_EQ(variantNoSave, f.variantNoSave) << name;
    EXPECT_EQ(twoValues, f.twoValues) << name;
  }
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

// Would catch a flag number overflowing an int ("(9999999900" was undefined behaviour) or
// being cut to its low byte: a number that is no flag byte leaves the registration out. So
// do flags without a stem, which would register an entry of no name.
TEST(StemLists, FlagNumbersBeyondAByteAndFlagsWithoutStemAreRefused) {
  const std::vector<StemRegistration> stems =
      parseStemList("rm, g (9999999900, ha (256), (33), et (255), go (0099999999999999999)");
  ASSERT_EQ(stems.size(), 2u);
  EXPECT_EQ(stems[0].stem, "rm");
  EXPECT_EQ(stems[1].stem, "et");
  EXPECT_EQ(stems[1].flags, 255);
}

// Would catch a real format losing or gaining decimals.
TEST(CommandVocabulary, FormatsKeepTheirPrecision) {
  EXPECT_EQ(formatCommand(cmd::kDigitalGain6, {1.5}), "sdg 1.500000");
  EXPECT_EQ(formatCommand(cmd::kDigitalGain2, {1.5}), "sdg 1.50");
  EXPECT_EQ(formatCommand(cmd::kDigitalGain3, {2}), "sdg 2.000");
  EXPECT_EQ(formatCommand(cmd::kAnalogGainLeft, {100}), "sag 1 100");
  EXPECT_EQ(formatCommand(cmd::kVerticalArea, {0, 1000}), "sva 0 1000");
  EXPECT_EQ(formatCommand(cmd::kExposureTime, {2500}), "set 2500");
  EXPECT_EQ(formatCommand(cmd::kModelName), "gmn");
}

// Would catch a line sent with a value missing, a fraction cut to an integer command's
// whole number, or a number beyond the camera's 32 bits wrapped.
TEST(CommandVocabulary, RefusesValuesTheCommandCannotCarry) {
  EXPECT_EQ(formatCommand(cmd::kVerticalArea, {1000}), "");
  EXPECT_EQ(formatCommand(cmd::kExposureTime, {}), "");
  EXPECT_EQ(formatCommand(cmd::kExposureTime, {12.5}), "");
  EXPECT_EQ(formatCommand(cmd::kExposureTime, {4294967296.0}), "");
  EXPECT_EQ(formatCommand(cmd::kDigitalGain2, {1.0 / 0.0}), "");
  EXPECT_EQ(formatCommand(cmd::kExposureTime, {-5}), "set -5");
}
