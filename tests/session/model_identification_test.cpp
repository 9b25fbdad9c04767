// Model identification: names to descriptors, ranges, and the queries against a camera.
#include <optional>

#include <gtest/gtest.h>
#include <unistd.h>

#include "camera/tables/stem_lists.h"
#include "session/connected_camera.h"
#include "session/model_identification.h"
#include "session/privileged_level.h"
#include "sim/pty_camera.h"
#include "tests/session/pty_camera_link.h"

using namespace kelpax;

namespace {

struct NameCase {
  const char* name;
  Series series;
  const char* sizeClass;
  int colour;
  bool c2;
  int rateCode;
};

// Would catch "Kr" not mapped to Kh, "KnP" taken as Kn, "101M" taken as "1M" or "10M",
// "8K2C" taken as "8KC", and wrong rate codes.
TEST(ModelName, SeriesSizeColourAndRateCode) {
  const NameCase cases[] = {
      {"Kr-2M-M30", Series::Kh, "2M", 2, false, 0},
      {"KnP-16M-M4", Series::KnP, "16M", 2, false, 269},
      {"Kn-47M-C35", Series::Kn, "47M", 1, false, 271},
      {"Ko-101M-M5", Series::Ko, "101M", 2, false, 266},
      {"Ki-151MC-C7", Series::Ki, "151M", 1, false, 270},
      {"Ku-8K2C-M80", Series::Ku, "8K2C", 2, false, 259},
      {"Ku-8KC-C40", Series::Ku, "8KC", 1, false, 258},
      {"Ko-12M-M65", Series::Ko, "12M", 2, false, 268},
      {"Ko-25MC-C160", Series::Ko, "25M", 1, false, 262},
      {"Ko-4MC2-C80", Series::Ko, "4M", 1, true, 259},
      {"Kx-310-M64", Series::Kx, "generic", 2, false, 256},
      {"Kh-K264-68", Series::Kh, "generic", 0, false, 0},
      {"Ka-K072-M52", Series::Ka, "generic", 2, false, 267},
      {"Ky-29M-C5", Series::Ky, "29M", 1, false, 266},
      {"Kw-4M-C340", Series::Kw, "4M", 1, false, 265},
      {"Ka-50MX-M150", Series::Ka, "50M", 2, false, 261},
      {"Ka-99Q-M75", Series::Ka, "", 2, false, 260},
      // No rate digits in segment 2: found in the size segment from its second character.
      {"Ko-1110M-M", Series::Ko, "", 2, false, 263},
      {"Ko-2M160-C", Series::Ko, "2M", 1, false, 262},
      {"Qx-4M-M40", Series::None, "4M", 2, false, 258},
      {"Ko--25M--M70", Series::Ko, "25M", 2, false, 272},
      {"", Series::None, "", 0, false, 0},
  };
  for (const NameCase& c : cases) {
    ModelDescriptor model;
    describeModelName(c.name, model);
    EXPECT_EQ(model.series, c.series) << c.name;
    EXPECT_EQ(model.sizeClass, c.sizeClass) << c.name;
    EXPECT_EQ(model.colour, c.colour) << c.name;
    EXPECT_EQ(model.c2, c.c2) << c.name;
    EXPECT_EQ(model.rateCode, c.rateCode) << c.name;
  }
}

// Every size token in the order the cameras' names are read, each with a tail that a
// careless prefix test would take for another class. Would catch a token missing from the
// list, or one tested before a longer token it is a prefix of.
TEST(ModelName, EverySizeClassToken) {
  struct Case {
    const char* size;
    const char* sizeClass;
  };
  const Case cases[] = {
      {"1M", "1M"},   {"1MC", "1M"},   {"310", "generic"}, {"K264", "generic"}, {"K072", "generic"},
      {"2M", "2M"},   {"3M", "3M"},    {"4M", "4M"},       {"4MC2", "4M"},      {"5M", "5M"},
      {"6M", "6M"},   {"8M", "8M"},    {"10M", "10M"},     {"11M", "11M"},      {"12M", "12M"},
      {"16M", "16M"}, {"25MC", "25M"}, {"29M", "29M"},     {"43M", "43M"},      {"47M", "47M"},
      {"71M", "71M"}, {"90M", "90M"},  {"101M", "101M"},   {"151M", "151M"},    {"155M", "155M"},
      {"16K", "16K"}, {"8KC", "8KC"},  {"8K2C", "8K2C"},   {"18KC", "18KC"},    {"12KC", "12KC"},
      {"9KC", "9KC"}, {"4KC", "4KC"},  {"50M", "50M"},     {"50MC2", "50M"},    {"15M", ""},
      {"M1", ""},     {"3K", ""},      {"", ""},
  };
  for (const Case& c : cases) {
    ModelDescriptor model;
    describeModelName(std::string("Kx-") + c.size + "-M", model);
    EXPECT_EQ(model.sizeClass, c.sizeClass) << c.size;
    EXPECT_EQ(sizeClassOfSegment(c.size), c.sizeClass) << c.size;
  }
}

// Every rate code of the third segment, and the search of the size segment when it holds
// none. Would catch a code off by one, a partial digit match ("65" taken as "6"), or the
// size segment searched from its first character.
TEST(ModelName, EveryRateCode) {
  struct Case {
    const char* name;
    int rateCode;
  };
  const Case cases[] = {
      {"Kx-4M-M64", 256},    {"Kx-4M-M68", 257},  {"Kx-4M-M40", 258},  {"Kx-4M-M80", 259},
      {"Kx-4M-M75", 260},    {"Kx-4M-M150", 261}, {"Kx-4M-M160", 262}, {"Kx-4M-M110", 263},
      {"Kx-4M-M180", 264},   {"Kx-4M-M340", 265}, {"Kx-4M-M5", 266},   {"Kx-4M-M52", 267},
      {"Kx-4M-M65", 268},    {"Kx-4M-M4", 269},   {"Kx-4M-M7", 270},   {"Kx-4M-M35", 271},
      {"Kx-4M-M70", 272},    {"Kx-4M-M66", 0},    {"Kx-4M-M6", 0},     {"Kx-4M-64", 269},
      {"Kx-4M-M64x1", 256},  {"Kx-110M-M", 0},    {"Kx-2110M-M", 263}, {"Kx-2180-M99", 264},
      {"Kx-3160110-M", 263}, {"Kx-4M", 0},
  };
  for (const Case& c : cases) {
    ModelDescriptor model;
    describeModelName(c.name, model);
    EXPECT_EQ(model.rateCode, c.rateCode) << c.name;
  }
}

// Would catch the Ke page chosen wrongly (4K5C newer, 4K7C normal) and wrong Ke rate codes.
TEST(ModelName, KeClassRateValueAndPage) {
  struct KeCase {
    const char* name;
    const char* sizeClass;
    int rateValue;
    int colour;
    char letter;
    KePage page;
    int rateCode;
  };
  const KeCase cases[] = {
      {"Ke-4K5C-M40", "4", 50, 2, 0, KePage::Newer, 273},
      {"Ke-4K7C-M40", "4", 70, 2, 0, KePage::Normal, 273},
      {"Ke-3KC-MH60", "3", 0, 2, 'H', KePage::Newer, 0},
      {"Ke-6K2C-ME80", "6", 20, 2, 'E', KePage::Newer, 0},
      {"Ke-2K4C-M120", "2", 40, 2, 0, KePage::Normal, 276},
      {"Ke-9K2C-C50", "9", 20, 1, 0, KePage::Colour, 326},
      {"Ke-18K1C-H80", "18", 10, 0, 'H', KePage::Colour, 275},
  };
  for (const KeCase& c : cases) {
    ModelDescriptor model;
    describeModelName(c.name, model);
    EXPECT_EQ(model.series, Series::Ke) << c.name;
    EXPECT_EQ(model.sizeClass, c.sizeClass) << c.name;
    EXPECT_EQ(model.rateValue, c.rateValue) << c.name;
    EXPECT_EQ(model.colour, c.colour) << c.name;
    EXPECT_EQ(model.letterFlag, c.letter) << c.name;
    EXPECT_EQ(model.kePage, c.page) << c.name;
    EXPECT_EQ(model.rateCode, c.rateCode) << c.name;
  }
}

// Would catch long digit runs overflowing an int (undefined behaviour; an optimised build
// printed "rate value -1294967296"): the numbers saturate instead.
TEST(ModelName, LongKeNumbersSaturate) {
  ModelDescriptor model;
  describeModelName("Ke-1K300000000C-M40", model);
  EXPECT_EQ(model.rateValue, 999999990);
  EXPECT_EQ(model.rateCode, 273);
  describeModelName("Ke-1K5C-M99999999999999999999", model);
  EXPECT_EQ(model.rateValue, 50);
  EXPECT_EQ(model.rateCode, 276 + 99999999);
  describeModelName("Ke-1K12345678C-M40", model);
  EXPECT_EQ(model.rateValue, 123456780);
}

// Would catch wrong ranges per series and size.
TEST(ModelRanges, PerSeriesAndSize) {
  struct RangeCase {
    const char* name;
    ValueRange gain, offset, exposure;
  };
  const RangeCase cases[] = {
      {"Ko-10M-M40", {0, 127}, {0, 63}, {10, 7000000}},
      {"Ko-25MC-C65", {0, 63}, {0, 63}, {10, 7000000}},
      {"Ko-4MC2-C80", {0, 899}, {0, 255}, {10, 6000000}},
      {"Ko-50M-M5", {1, 30}, {0, 60000000}, {1, 60000000}},
      {"Ko-151M-C5", {1, 30}, {0, 60000000}, {1, 60000000}},
      {"Ki-71M-M5", {0, 63}, {0, 63}, {10, 7000000}},
      {"Ki-101M-M5", {1, 30}, {0, 60000000}, {1, 60000000}},
      {"Ku-16K-M80", {0, 899}, {0, 255}, {10, 7000000}},
      {"Ka-47M-M40", {0, 899}, {1, 60000000}, {1, 60000000}},
      {"Ka-29MC2-C5", {0, 899}, {0, 255}, {10, 7000000}},
      {"Kw-4M-C80", {0, 899}, {0, 255}, {10, 6000000}},
      {"Kx-4M-M40", {0, 899}, {0, 255}, {10, 7000000}},
      {"Ke-4K5C-M40", {1, 32}, {0, 2048}, {1, 20000}},
      {"Ke-4K7C-M40", {1, 32}, {0, 2048}, {1, 10000}},
      {"Ke-9K2C-C50", {1, 32}, {0, 2048}, {1, 10000}},
      {"Ko-3M-M40", {0, 63}, {0, 63}, {10, 7000000}},
      {"Ko-90M-M5", {0, 63}, {0, 63}, {10, 7000000}},
      {"Ko-4M-C80", {0, 63}, {0, 63}, {10, 7000000}},
      {"Ko-101M-M5", {1, 30}, {0, 60000000}, {1, 60000000}},
      {"Ki-25M-M65", {0, 63}, {0, 63}, {10, 7000000}},
      {"Ki-151M-C5", {1, 30}, {0, 60000000}, {1, 60000000}},
      {"Ki-16M-M5", {0, 899}, {0, 255}, {10, 7000000}},
      {"Ku-71M-M5", {0, 63}, {0, 63}, {10, 7000000}},
      {"Ku-101M-M5", {1, 30}, {0, 60000000}, {1, 60000000}},
      {"Ka-43M-M40", {0, 899}, {0, 255}, {10, 7000000}},
      {"Kw-8M-C80", {0, 899}, {0, 255}, {10, 7000000}},
      {"Kh-4M-M40", {0, 899}, {0, 255}, {10, 7000000}},
      {"Kn-47M-M35", {0, 899}, {0, 255}, {10, 7000000}},
      {"KnP-16M-M4", {0, 899}, {0, 255}, {10, 7000000}},
      {"Ky-29M-C5", {0, 899}, {0, 255}, {10, 7000000}},
      {"Qx-4M-M40", {0, 899}, {0, 255}, {10, 7000000}},
  };
  for (const RangeCase& c : cases) {
    ModelDescriptor model;
    // A previous camera's ranges must not survive into the next identification.
    model.gain = {5, 5};
    model.offset = {7, 7};
    describeModelName(c.name, model);
    applyModelRanges(model);
    EXPECT_EQ(model.gain.min, c.gain.min) << c.name;
    EXPECT_EQ(model.gain.max, c.gain.max) << c.name;
    EXPECT_EQ(model.offset.min, c.offset.min) << c.name;
    EXPECT_EQ(model.offset.max, c.offset.max) << c.name;
    EXPECT_EQ(model.exposureUs.min, c.exposure.min) << c.name;
    EXPECT_EQ(model.exposureUs.max, c.exposure.max) << c.name;
  }
}

TEST(ModelIdentification, SensorAnswersAreRead) {
  EXPECT_EQ(sensorDimensionFrom("gsw\r\n5120\r\n>"), 5120);
  EXPECT_EQ(sensorDimensionFrom("gsw\r\nERROR\r\n>"), std::nullopt);
  EXPECT_EQ(sensorDimensionFrom("gsw\r\nError : unknown command\r\n>"), std::nullopt);
  EXPECT_EQ(sensorDimensionFrom("gsw\r\n>"), std::nullopt);
  EXPECT_EQ(sensorDimensionFrom(""), std::nullopt);
  int32_t w = -1, h = -1;
  sensorSizeFromCcdAnswer("gccd\r\nsensor = x\r\nwidth = 2048\r\nheight = 1536\r\n>", w, h);
  // The first "=" belongs to the sensor line: width and height come from the first two.
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 2048);
  sensorSizeFromCcdAnswer("gccd\r\nW = 4 096\r\nH = 3072\r\n>", w, h);
  EXPECT_EQ(w, 4096);
  EXPECT_EQ(h, 3072);
  sensorSizeFromCcdAnswer("", w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

struct RecordingStatus : StatusLine {
  void showStatus(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

class IdentifyOnPty : public ::testing::Test {
protected:
  void connect(const std::string& model) {
    link_.emplace(model, "ident");
    ASSERT_TRUE(link_->opened);
  }

  std::optional<sessiontest::PtyCameraLink> link_;
};

TEST_F(IdentifyOnPty, KoCameraWithRegionsAndSensorSize) {
  connect("Ko-25MC-C65");
  ConnectedCamera camera(link_->exchange);
  RecordingStatus status;
  camera.identify("Ko-25MC-C65", &status);
  const ModelDescriptor& model = camera.modelDescriptor();
  EXPECT_TRUE(model.roiSupported);
  EXPECT_EQ(model.sensorWidth, 5120);
  EXPECT_EQ(model.sensorHeight, 5120);
  EXPECT_EQ(model.aoiMaxX, 5119);
  ASSERT_FALSE(status.texts.empty());
  EXPECT_EQ(status.texts.back(), ""); // the status of the region query is cleared
  EXPECT_NE(camera.parameterCache().find("rx"), nullptr);

  EXPECT_EQ(camera.fillCache().missing, 0);
  EXPECT_EQ(camera.cacheInt("et"), 1000);
  EXPECT_EQ(camera.cacheInt("ha", 1), 5119);
  EXPECT_TRUE(camera.sendCommand("set 2500", {.timeoutMs = 3000, .shown = true}).accepted());
  EXPECT_EQ(camera.cacheInt("et"), 2500);
  EXPECT_FALSE(camera.sendCommand("set 9", {.timeoutMs = 3000, .shown = true}).accepted());
  EXPECT_EQ(camera.cacheInt("et"), 2500);
}

// Would catch the "gccd" fallback not leaving the privileged level.
TEST_F(IdentifyOnPty, SizeFromSensorInfoInsideThePrivilegedLevel) {
  connect("Kx-4M-M40");
  ConnectedCamera camera(link_->exchange);
  camera.identify("Kx-4M-M40");
  EXPECT_FALSE(camera.modelDescriptor().roiSupported);
  EXPECT_EQ(camera.modelDescriptor().sensorWidth, 2048);
  EXPECT_EQ(camera.modelDescriptor().sensorHeight, 2048);
  EXPECT_EQ(camera.modelDescriptor().aoiMaxY, 2047);
  EXPECT_FALSE(link_->camera->privileged());
  EXPECT_EQ(camera.fillCache().missing, 0);
}

// Would catch a fill that stops at a camera refusing every query, or one that never retries
// the first entry: ten failures give a notice, and the fill still reaches the end.
TEST_F(IdentifyOnPty, RefusingCameraStillIdentifiesAndFillsWithNotices) {
  connect("Ko-12M-M65");
  sim::Faults refusing;
  refusing.errorAnswers = true;
  link_->camera->setFaults(refusing);
  ConnectedCamera camera(link_->exchange);
  camera.identify("Ko-12M-M65");
  EXPECT_EQ(camera.modelDescriptor().series, Series::Ko);
  EXPECT_FALSE(camera.modelDescriptor().roiSupported);
  EXPECT_EQ(camera.modelDescriptor().sensorWidth, 0);
  EXPECT_FALSE(link_->camera->privileged());

  const int entries = static_cast<int>(camera.parameterCache().size());
  int notices = 0;
  std::vector<int> progress;
  const CacheFill fill =
      camera.fillCache([&](int percent) { progress.push_back(percent); }, [&] { ++notices; });
  // Refusals are answers: the camera is not lost and every entry is asked.
  EXPECT_FALSE(fill.cameraLost);
  EXPECT_EQ(fill.unanswered, 0);
  EXPECT_EQ(fill.missing, entries);
  EXPECT_TRUE(fill.nothingRead);
  // Entry 0 is asked ten times, every later entry once.
  EXPECT_EQ(notices, (10 + entries - 1) / 10);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(camera.cacheInt("et"), -1);
}

struct SentRecorder : TrafficObserver {
  void bytesSent(std::string_view bytes) override { sent += bytes; }
  void bytesReceived(std::string_view) override {}
  std::string sent;
};

// Would catch a privileged level left open: closed when the camera refused to open it, and
// closed however the scope that held it ends.
TEST_F(IdentifyOnPty, PrivilegedLevelIsAlwaysLeft) {
  connect("Ko-25MC-C65");
  SentRecorder wire;
  link_->port.setTrafficObserver(&wire);
  {
    PrivilegedLevel level(link_->exchange);
    EXPECT_TRUE(level.opened());
    EXPECT_TRUE(link_->camera->privileged());
  }
  EXPECT_FALSE(link_->camera->privileged());
  try {
    PrivilegedLevel level(link_->exchange);
    throw std::runtime_error("a page failed half-way");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(link_->camera->privileged());

  sim::Faults refusing;
  refusing.errorAnswers = true;
  link_->camera->setFaults(refusing);
  wire.sent.clear();
  {
    PrivilegedLevel level(link_->exchange);
    EXPECT_FALSE(level.opened());
  }
  EXPECT_EQ(wire.sent, "aar qelmarst\raar off\r");
  link_->port.setTrafficObserver(nullptr);
}

// The identification's queries in their order: regions only where they may exist, width and
// height, and the privileged "gccd" only when the width is missing. Would catch "groi" sent
// to a Kx camera, the fallback run although "gsw" answered, or "gccd" asked outside the
// privileged level.
TEST(IdentifyQueries, GoOutInOrder) {
  struct Case {
    const char* model;
    const char* wire;
  };
  const Case cases[] = {
      {"Ko-25MC-C65", "groi\rgsw\rgsh\r"}, {"Ka-25M-M40", "groi\rgsw\rgsh\r"},
      {"Ka-29M-M40", "gsw\rgsh\r"},        {"Kn-47M-M40", "gsw\rgsh\r"},
      {"Ko-101M-C40", "groi\rgsw\rgsh\r"}, {"Kx-4M-M40", "gsw\rgsh\raar qelmarst\rgccd\raar off\r"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    sim::PtyOptions options;
    options.model = c.model;
    options.linkPath = "/tmp/kelpax-ident-order-" + std::to_string(getpid());
    options.baud = 115200;
    sim::PtyCamera camera(options);
    std::string error;
    ASSERT_TRUE(camera.start(&error)) << error;
    CameraPort port;
    PortEntry entry;
    entry.portName = options.linkPath;
    port.addPort(entry);
    ASSERT_EQ(port.OpenPort(0, 16), 0);
    CommandExchange exchange(port);
    SentRecorder wire;
    port.setTrafficObserver(&wire);
    ParameterCache cache;
    ModelDescriptor model;
    EXPECT_TRUE(identifyModel(c.model, exchange, model, cache));
    port.setTrafficObserver(nullptr);
    port.ClosePort();
    EXPECT_EQ(wire.sent, c.wire);
    EXPECT_GT(model.sensorWidth, 0);
    // The identified model's stems, and only those, are registered.
    ParameterCache family;
    for (const StemRegistration& stem : stemsForModel(model))
      family.registerEntry(stem.stem, stem.flags);
    ASSERT_EQ(cache.size(), family.size());
    for (size_t i = 0; i < cache.size(); ++i)
      EXPECT_EQ(cache.entry(i).name, family.entry(i).name);
  }
}

} // namespace
