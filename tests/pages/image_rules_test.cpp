// The image pages' rules (ten taps, region limits), the four-quadrant gain in dB and the
// dark-image command sequences, without a window.
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "camera/tables/model_rules.h"
#include "pages/dark_image.h"
#include "pages/image_rules.h"

using namespace kelpax;

namespace {

// Would catch ten taps let through with 10 or 12 bits, or another tap count held to 8 bits.
TEST(TapsCarryBits, TenTapsOnlyWithEightBits) {
  struct Case {
    int32_t taps;
    int32_t bits;
    bool allowed;
  };
  const Case cases[] = {{3, 8, true},  {3, 10, false}, {3, 12, false}, {0, 10, true},
                        {1, 12, true}, {2, 10, true},  {4, 10, true},  {3, -1, true}};
  for (const Case& c : cases)
    EXPECT_EQ(tapsCarryBits(c.taps, c.bits), c.allowed) << c.taps << " taps, " << c.bits;
}

// Would catch a region reaching past the sensor, starting before it, narrower than the
// camera takes, or any region on a sensor of unknown size.
TEST(RegionSpanValid, InsideTheSensorAndWideEnough) {
  struct Case {
    int32_t first, last, size, minSpan;
    bool valid;
  };
  const Case cases[] = {
      {0, 2047, 2048, kMinColumnSpan, true},   {0, 2048, 2048, kMinColumnSpan, false},
      {-1, 100, 2048, kMinColumnSpan, false},  {100, 116, 2048, kMinColumnSpan, true},
      {100, 115, 2048, kMinColumnSpan, false}, {100, 101, 1536, kMinLineSpan, true},
      {100, 100, 1536, kMinLineSpan, false},   {200, 100, 1536, kMinLineSpan, false},
      {0, 0, 0, kMinLineSpan, false},          {0, -1, 0, kMinLineSpan, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(regionSpanValid(c.first, c.last, c.size, c.minSpan), c.valid)
        << c.first << ".." << c.last << " of " << c.size;
}

// Would catch the 11M/16M offset of 85 steps applied to the 8M/29M models (or missed), the
// factor computed from the wrong dB, or a dB text on models that have none.
TEST(QuadrantGainDbText, KnModelsOnly) {
  struct Case {
    const char* model;
    int32_t gain;
    const char* text;
  };
  const Case cases[] = {
      {"Kn-8M-M40", 0, "0.0dB,x1.00"},
      {"Kn-8M-M40", 100, "3.5dB,x1.50"},
      {"Kn-29M-C5", 400, "14.0dB,x5.01"},
      {"Kn-11M-M40", 85, "0.0dB,x1.00"},
      {"Kn-11M-M40", 185, "3.5dB,x1.50"},
      {"Kn-16M-C40", 0, "-3.0dB,x0.71"},
      {"Kn-4M-M40", 100, ""},
      {"Ka-8M-M40", 100, ""},
      {"KnP-8M-M40", 100, ""},
      {"Kh-5M-M15", 100, ""},
  };
  for (const Case& c : cases) {
    ModelDescriptor model;
    describeModelName(c.model, model);
    EXPECT_EQ(quadrantGainDbText(model, c.gain), c.text) << c.model << " gain " << c.gain;
  }
}

// A camera that records what it was sent and refuses the commands it is told to.
struct FakeCamera {
  std::map<std::string, int32_t> cache;
  std::set<std::string> refused;
  std::vector<std::string> sent;
  std::vector<uint32_t> timeouts;

  DarkImageChannel channel() {
    return {.send =
                [this](const std::string& command, uint32_t timeoutMs) {
                  sent.push_back(command);
                  timeouts.push_back(timeoutMs);
                  return refused.count(command) == 0;
                },
            .cached = [this](std::string_view stem) -> std::optional<int32_t> {
              auto it = cache.find(std::string(stem));
              if (it == cache.end())
                return std::nullopt;
              return it->second;
            }};
  }
};

using Commands = std::vector<std::string>;

struct SequenceCase {
  const char* name;
  int rateCode;
  std::map<std::string, int32_t> cache;
  std::set<std::string> refused;
  Commands commands;
  std::vector<uint32_t> timeouts;
  bool succeeded;
  std::string message;
};

// Each case names the fault it would catch.
const SequenceCase kGenerationCases[] = {
    {"160: gain and offset zeroed, generated, put back",
     262,
     {{"ag", 5}, {"ao", 7}},
     {},
     Commands{"sag 0", "sao 0", "gcp", "gdd", "sag 5", "sao 7"},
     {3000, 3000, 15000, 15000, 3000, 3000},
     true,
     " Generation completed!"},
    {"160: a gain of 0 is neither zeroed nor put back",
     262,
     {{"ag", 0}, {"ao", 7}},
     {},
     Commands{"sao 0", "gcp", "gdd", "sao 7"},
     {3000, 15000, 15000, 3000},
     true,
     " Generation completed!"},
    {"160: nothing to zero, nothing to put back",
     262,
     {{"ag", 0}, {"ao", 0}},
     {},
     Commands{"gcp", "gdd"},
     {15000, 15000},
     true,
     " Generation completed!"},
    {"160: a refused generation is no success and still puts the gain back",
     262,
     {{"ag", 5}, {"ao", 0}},
     {"gdd"},
     Commands{"sag 0", "gcp", "gdd", "sag 5"},
     {3000, 15000, 15000, 3000},
     false,
     ""},
    {"160: a refused zeroing stops before generating at the wrong gain",
     262,
     {{"ag", 5}, {"ao", 7}},
     {"sag 0"},
     Commands{"sag 0"},
     {3000},
     false,
     ""},
    {"110: offset 63, gain zeroed, generated, offset then gain put back",
     263,
     {{"ag", 5}, {"ao", 7}},
     {},
     Commands{"sao 63", "sag 0", "gcp", "sao 7", "sag 5"},
     {3000, 3000, 30000, 3000, 3000},
     true,
     "Generation completed!"},
    {"110: a gain of 0 is left alone, the offset always put back",
     263,
     {{"ag", 0}, {"ao", 0}},
     {},
     Commands{"sao 63", "gcp", "sao 0"},
     {3000, 30000, 3000},
     true,
     "Generation completed!"},
    {"110: a refused capture shows nothing but restores gain and offset",
     263,
     {{"ag", 5}, {"ao", 7}},
     {"gcp"},
     Commands{"sao 63", "sag 0", "gcp", "sao 7", "sag 5"},
     {3000, 3000, 30000, 3000, 3000},
     false,
     ""},
    {"160: an unread gain is not zeroed (it could not be put back)",
     262,
     {{"ao", 7}},
     {},
     Commands{},
     {},
     false,
     kGainOffsetUnknownText},
    {"110: an unread offset (-1) is not overwritten",
     263,
     {{"ag", 5}, {"ao", -1}},
     {},
     Commands{},
     {},
     false,
     kGainOffsetUnknownText},
    {"other cameras: god accepted",
     268,
     {},
     {},
     Commands{"god"},
     {30000},
     true,
     "Generation completed!"},
    {"other cameras: god refused loads the old data and says so",
     0,
     {},
     {"god"},
     Commands{"god", "lod"},
     {30000, 2000},
     false,
     kDarkImageNotDetectedText},
};

const SequenceCase kSavingCases[] = {
    {"160: capture then dark data to flash",
     262,
     {},
     {},
     Commands{"scp", "sdd"},
     {30000, 120000},
     true,
     "Saving completed!"},
    {"160: a refused capture save stops and says nothing",
     262,
     {},
     {"scp"},
     Commands{"scp"},
     {30000},
     false,
     ""},
    {"160: a refused flash save is no success",
     262,
     {},
     {"sdd"},
     Commands{"scp", "sdd"},
     {30000, 120000},
     false,
     ""},
    {"110: capture save only", 263, {}, {}, Commands{"scp"}, {30000}, true, "Saving completed!"},
    {"other cameras: sod", 258, {}, {}, Commands{"sod"}, {120000}, true, "  Saving completed!"},
    {"other cameras: a refused sod says nothing",
     258,
     {},
     {"sod"},
     Commands{"sod"},
     {120000},
     false,
     ""},
};

void runCases(const SequenceCase* begin, const SequenceCase* end,
              DarkImageOutcome (*run)(int, const DarkImageChannel&)) {
  for (const SequenceCase* c = begin; c != end; ++c) {
    FakeCamera camera;
    camera.cache = c->cache;
    camera.refused = c->refused;
    const DarkImageOutcome outcome = run(c->rateCode, camera.channel());
    EXPECT_EQ(camera.sent, c->commands) << c->name;
    EXPECT_EQ(camera.timeouts, c->timeouts) << c->name;
    EXPECT_EQ(outcome.succeeded, c->succeeded) << c->name;
    EXPECT_EQ(outcome.message, c->message) << c->name;
  }
}

TEST(DarkImage, GenerationSequences) {
  runCases(std::begin(kGenerationCases), std::end(kGenerationCases), generateDarkImage);
}

TEST(DarkImage, SavingSequences) {
  runCases(std::begin(kSavingCases), std::end(kSavingCases), saveDarkImage);
}

} // namespace
