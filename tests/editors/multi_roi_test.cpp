// The multi-region table and its operations: against a scripted camera where the exact command
// sequence matters, and against the simulated cameras on a pseudo-terminal for the round trips.
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include <gtest/gtest.h>
#include <unistd.h>

#include "camera/tables/model_rules.h"
#include "editors/multi_roi.h"
#include "sim/faults.h"
#include "tests/session/pty_camera_link.h"

using namespace kelpax;

namespace {

ModelDescriptor modelNamed(const std::string& name, int width = 5120, int height = 5120) {
  ModelDescriptor model;
  describeModelName(name, model);
  model.sensorWidth = width;
  model.sensorHeight = height;
  return model;
}

// A camera that answers from a script: every command is recorded; `answer` gives the lines
// after the echo ("OK", "1", "Error : ..."), or nothing for a camera that stays silent.
struct ScriptedHost : PageHost {
  explicit ScriptedHost(ModelDescriptor m) : model(std::move(m)) {}
  Answer sendCommand(std::string_view command, ExchangeOptions) override {
    sent.emplace_back(command);
    Answer a;
    const std::optional<std::string> lines = answer(std::string(command));
    if (!lines) {
      a.result = CommandResult::NoAnswer;
      a.text = std::string(command) + "\r\n";
      return a;
    }
    a.text = std::string(command) + "\r\n" + *lines + "\r\n>";
    a.result = judgeAnswer(a.text);
    return a;
  }
  const ParameterCache& parameterCache() const override { return cache; }
  const ModelDescriptor& modelDescriptor() const override { return model; }

  std::function<std::optional<std::string>(const std::string&)> answer =
      [](const std::string& command) -> std::optional<std::string> {
    return command[0] == 's' ? "OK" : "0";
  };
  std::vector<std::string> sent;
  ParameterCache cache;
  ModelDescriptor model;
};

// The Ko 4M C2 commands with a camera that reports `count` regions, each at (10, 20) 100 x 50
// and on.
std::function<std::optional<std::string>(const std::string&)> fourMC2Camera(int count) {
  return [count](const std::string& command) -> std::optional<std::string> {
    static const std::map<std::string, std::string> values = {
        {"grx", "10"}, {"gry", "20"}, {"grw", "100"}, {"grh", "50"}, {"grc", "1"}, {"grs", "0"}};
    if (command == "gra")
      return std::to_string(count);
    if (auto it = values.find(command); it != values.end())
      return it->second;
    return "OK";
  };
}

} // namespace

// Would catch a table that takes a 33rd region, or a status column that shows the number the
// camera uses instead of "On" and blank.
TEST(RoiTable, HoldsThirtyTwoRowsAndShowsStatusAsOnOrBlank) {
  RoiTable table;
  for (int i = 0; i < kMaxRegions; ++i)
    ASSERT_TRUE(table.addRow({i, i, 10, 10, i % 2 == 0}));
  EXPECT_FALSE(table.addRow({1, 1, 1, 1, true}));
  EXPECT_EQ(table.size(), 32);
  EXPECT_EQ(table.row(31).x, 31);
  EXPECT_EQ(table.cellText(0, RoiColumn::Status), "On");
  EXPECT_EQ(table.cellText(1, RoiColumn::Status), "");
  EXPECT_EQ(table.cellText(5, RoiColumn::OffsetY), "5");
}

// The "groi" answer as cameras send it: one line, one value a line, with "OK" after; and the
// ones to refuse. Would catch values shifted by the echo, or a half answer taken as a region.
TEST(RoiTable, RegionAnswerParsing) {
  using Values = std::optional<std::array<int, 4>>;
  const std::vector<std::pair<std::string, Values>> cases = {
      {"groi\r\n0 8 5120 4000\r\n>", std::array{0, 8, 5120, 4000}},
      {"groi\r\n16\n32\r\n640\n480\r\nOK\r\n>", std::array{16, 32, 640, 480}},
      {"groi\r\n1 2 3\r\nOK\r\n>", std::nullopt},
      {"groi\r\n1 2 x3 4\r\n>", std::nullopt},
      {"groi\r\n1 2 -3 4\r\n>", std::nullopt},
      {"groi\r\n1 2 99999999999 4\r\n>", std::nullopt},
      {"gmn\r\nKo\r\n>", std::nullopt},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(parseRegionAnswer(text), expected) << text;
}

// Which models get the dialog and which command set. Would catch a model sent commands its
// camera does not know.
TEST(MultiRoiVariants, FollowTheModel) {
  EXPECT_EQ(multiRoiVariantFor(modelNamed("Ko-25MC-C65")), MultiRoiVariant::Ko25MC);
  EXPECT_EQ(multiRoiVariantFor(modelNamed("Ki-25M-M65")), MultiRoiVariant::Ko25MC);
  EXPECT_EQ(multiRoiVariantFor(modelNamed("Ko-4M-C80")), MultiRoiVariant::Ko4MC2);
  EXPECT_EQ(multiRoiVariantFor(modelNamed("Ko-50M-C5")), MultiRoiVariant::Ko50MC);
  EXPECT_EQ(multiRoiVariantFor(modelNamed("Ko-4M-C65")), std::nullopt);
  EXPECT_EQ(multiRoiVariantFor(modelNamed("Ka-47M-M40")), std::nullopt);
  ScriptedHost host(modelNamed("Ko-25MC-C65"));
  EXPECT_EQ(multiRoiControlFileFor(host, host.model)->regions().variant(), MultiRoiVariant::Ko25MC);
  EXPECT_EQ(multiRoiControlFileFor(host, modelNamed("Ka-47M-M40")), nullptr);
}

// A camera with one region: the reset is the six commands that make it the full frame, and
// nothing switches another region off. Would catch a loop that starts at region 0 (and so
// switches the only region off) or sends the old Ko commands to a 4M C2 camera.
TEST(MultiRoiReset, OneRegionSendsOnlyTheFullFrameCommands) {
  ScriptedHost host(modelNamed("Ko-4M-C80", 2048, 2048));
  host.answer = fourMC2Camera(1);
  MultiRoi regions(host, MultiRoiVariant::Ko4MC2);
  ASSERT_TRUE(regions.readAll().ok);
  ASSERT_EQ(regions.table().size(), 1);
  host.sent.clear();
  const RoiResetOutcome reset = regions.reset();
  EXPECT_TRUE(reset.complete) << reset.message;
  EXPECT_EQ(host.sent,
            (std::vector<std::string>{"srs 0", "srx 0", "sry 0", "srw 2048", "srh 2048", "src 1"}));
  EXPECT_EQ(regions.table().row(0), (RoiRegion{0, 0, 2048, 2048, true}));
}

// Would catch a refused disable that still marks the row off, or a message without the camera's
// own words.
TEST(MultiRoiEnable, RefusedDisableShowsTheCameraAnswerAndKeepsTheRow) {
  ScriptedHost host(modelNamed("Ko-4M-C80", 2048, 2048));
  host.answer = fourMC2Camera(3);
  MultiRoi regions(host, MultiRoiVariant::Ko4MC2);
  ASSERT_TRUE(regions.readAll().ok);
  host.answer = [](const std::string& c) -> std::optional<std::string> {
    return c == "src 0" ? "Error : region 0 cannot be disabled" : "OK";
  };
  const RoiOutcome outcome = regions.setEnabled(0, false);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, "Error : region 0 cannot be disabled, Check ROI domain");
  EXPECT_TRUE(regions.table().row(0).on);
  EXPECT_EQ(host.sent.back(), "src 0");
  EXPECT_EQ(host.sent[host.sent.size() - 2], "srs 0");
}

// Values that leave the sensor never reach the camera. Would catch a check on the edited value
// alone (offset 5000 with the old width), or a shared width that pushes another region off.
TEST(MultiRoiEdit, RegionsOutsideTheSensorAreRefusedBeforeSending) {
  ScriptedHost host(modelNamed("Ko-25MC-C65", 5120, 5120));
  // Region 0 sits at column 4000, the others at 0; all read out, 1000 x 1000.
  auto selected = std::make_shared<std::string>("0");
  host.answer = [selected](const std::string& c) -> std::optional<std::string> {
    if (c.rfind("srs ", 0) == 0)
      *selected = c.substr(4);
    if (c == "groi")
      return *selected == "0" ? "4000 0 1000 1000" : "0 0 1000 1000";
    if (c == "grc" || c == "grs")
      return c == "grc" ? "1" : "0";
    return "OK";
  };
  MultiRoi regions(host, MultiRoiVariant::Ko25MC);
  ASSERT_TRUE(regions.readAll().ok);
  ASSERT_EQ(regions.table().size(), 8);
  host.sent.clear();

  struct Case {
    RoiColumn column;
    int value;
    std::string says;
  };
  for (const Case& c : std::vector<Case>{
           {RoiColumn::OffsetX, 4121, "offset X 4121 and width 1000"},
           {RoiColumn::OffsetY, 4121, "offset Y 4121 and height 1000"},
           {RoiColumn::Height, 5121, "height 5121"},
           {RoiColumn::Width, 0, "at least 1"},
           {RoiColumn::OffsetX, -1, "cannot be negative"},
       }) {
    const RoiOutcome outcome = regions.setCell(2, c.column, c.value);
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.nothingSent);
    EXPECT_NE(outcome.message.find(c.says), std::string::npos) << outcome.message;
  }
  // Region 3 could hold 1121 columns from 0, but region 0 sits at 4000 and shares the width.
  // The same width for a region that does not read out would be the camera's to judge.
  const RoiOutcome shared = regions.setCell(3, RoiColumn::Width, 1121);
  EXPECT_NE(shared.message.find("shared by every region"), std::string::npos) << shared.message;
  const RoiOutcome whole = regions.setRegion(1, 100, 100, 5100, 10);
  EXPECT_TRUE(whole.nothingSent) << whole.message;
  const RoiOutcome noRow = regions.setCell(8, RoiColumn::OffsetX, 0);
  EXPECT_NE(noRow.message.find("no region 8"), std::string::npos) << noRow.message;
  EXPECT_TRUE(host.sent.empty()) << host.sent.front();
}

// Would catch a camera reporting more regions than the table holds overrunning it, and a count
// the camera does not tell taken as zero regions silently.
TEST(MultiRoiRead, CountBeyondTheTableAndMissingCount) {
  ScriptedHost host(modelNamed("Ko-50M-C5", 8192, 6144));
  host.answer = fourMC2Camera(40);
  MultiRoi regions(host, MultiRoiVariant::Ko50MC);
  const RoiOutcome many = regions.readAll();
  EXPECT_TRUE(many.ok);
  EXPECT_EQ(regions.table().size(), kMaxRegions);
  EXPECT_NE(many.message.find("40 regions"), std::string::npos);

  host.answer = [](const std::string& c) -> std::optional<std::string> {
    return c == "gra" ? "Error : unknown command" : "OK";
  };
  const RoiOutcome none = regions.readAll();
  EXPECT_FALSE(none.ok);
  EXPECT_EQ(none.message, "The camera did not tell how many regions it has");
  EXPECT_EQ(regions.table().size(), kMaxRegions) << "a failed read keeps the regions known";
}

// --- against the simulated cameras ----------------------------------------------------------

namespace {

struct RoiLink : sessiontest::PtyCameraLink {
  RoiLink(const std::string& model, const std::string& tag) : PtyCameraLink(model, "roi-" + tag) {
    connected.identify(model);
  }
  std::string value(const std::string& query) { return exchange.QueryToken(query, 0, 3000); }
};

} // namespace

// Every region read, in order, and the camera's selector left where it was. Would catch the
// four values taken in the wrong order or a selector left on the last region read.
TEST(MultiRoiOnCamera, ReadsEveryRegionAndKeepsTheSelector) {
  RoiLink link("Ko-25MC-C65", "read");
  ASSERT_TRUE(link.connected.sendCommand("srs 2", {}).accepted());
  ASSERT_TRUE(link.connected.sendCommand("siw 1000", {}).accepted());
  ASSERT_TRUE(link.connected.sendCommand("sox 300", {}).accepted());
  // The height first: 40 lines down, the full height would leave the sensor.
  EXPECT_FALSE(link.connected.sendCommand("soy 40", {}).accepted());
  ASSERT_TRUE(link.connected.sendCommand("sih 600", {}).accepted());
  ASSERT_TRUE(link.connected.sendCommand("soy 40", {}).accepted());
  ASSERT_TRUE(link.connected.sendCommand("src 1", {}).accepted());
  ASSERT_TRUE(link.connected.sendCommand("srs 5", {}).accepted());

  MultiRoi regions(link.connected, MultiRoiVariant::Ko25MC);
  const RoiOutcome read = regions.readAll();
  ASSERT_TRUE(read.ok) << read.message;
  ASSERT_EQ(regions.table().size(), 8);
  EXPECT_EQ(regions.table().row(2), (RoiRegion{300, 40, 1000, 600, true}));
  EXPECT_EQ(regions.table().row(0), (RoiRegion{0, 0, 1000, 5120, true}));
  EXPECT_FALSE(regions.table().row(5).on);
  EXPECT_EQ(link.value("grs"), "5");
}

// An edited cell reaches the row's region and the row shows what the camera reports; on the
// 25M a width changes every row. Would catch the command sent to the selected region rather
// than the row's, or rows left with the old width.
TEST(MultiRoiOnCamera, CellEditsReachTheRowsRegion) {
  RoiLink link("Ko-25MC-C65", "edit");
  MultiRoi regions(link.connected, MultiRoiVariant::Ko25MC);
  ASSERT_TRUE(regions.readAll().ok);
  ASSERT_TRUE(regions.setCell(3, RoiColumn::Width, 2000).ok);
  const RoiOutcome moved = regions.setCell(3, RoiColumn::OffsetX, 3000);
  ASSERT_TRUE(moved.ok) << moved.message;
  EXPECT_EQ(regions.table().row(3).x, 3000);
  for (int i = 0; i < regions.table().size(); ++i)
    EXPECT_EQ(regions.table().row(i).width, 2000) << i;
  EXPECT_EQ(link.value("gox"), "3000");
  ASSERT_TRUE(link.connected.sendCommand("srs 0", {}).accepted());
  EXPECT_EQ(link.value("gox"), "0");

  // A 50M region of its own size, placed with a move right and a widening in one go.
  RoiLink fifty("Ko-50M-C5", "edit50");
  MultiRoi own(fifty.connected, MultiRoiVariant::Ko50MC);
  ASSERT_TRUE(own.readAll().ok);
  ASSERT_EQ(own.table().size(), 16);
  ASSERT_TRUE(own.setRegion(4, 64, 32, 512, 256).ok);
  const RoiOutcome far = own.setRegion(4, own.sensorWidth() - 100, 0, 100, 100);
  ASSERT_TRUE(far.ok) << far.message;
  EXPECT_EQ(own.table().row(4), (RoiRegion{own.sensorWidth() - 100, 0, 100, 100, false}));
  EXPECT_EQ(own.table().row(3).width, own.sensorWidth()) << "widths are each region's own";
}

// The camera refuses the third "src 0" of a reset: the outcome names the command, lists what
// was done, the table shows the camera's regions as they are, and the link still answers.
// Would catch a reset that goes on after a refusal, reports success, or leaves a table that
// claims the full-frame reset happened.
TEST(MultiRoiOnCamera, RefusalInTheMiddleOfAResetIsReported) {
  RoiLink link("Ko-25MC-C65", "midreset");
  MultiRoi regions(link.connected, MultiRoiVariant::Ko25MC);
  ASSERT_TRUE(regions.readAll().ok);
  ASSERT_TRUE(regions.setCell(0, RoiColumn::Width, 1000).ok);
  for (int row : {1, 2, 3, 4}) {
    ASSERT_TRUE(regions.setCell(row, RoiColumn::OffsetX, 1000 * row).ok);
    ASSERT_TRUE(regions.setEnabled(row, true).ok);
  }
  sim::Faults faults;
  faults.refuseCommand = 6; // srs 1, src 0, srs 2, src 0, srs 3, src 0 <- refused
  link.camera->setFaults(faults);

  const RoiResetOutcome reset = regions.reset();
  EXPECT_FALSE(reset.complete);
  EXPECT_EQ(reset.failedCommand, "src 0");
  EXPECT_EQ(reset.accepted,
            (std::vector<std::string>{"srs 1", "src 0", "srs 2", "src 0", "srs 3"}));
  EXPECT_NE(reset.message.find("Error : command refused"), std::string::npos) << reset.message;
  EXPECT_NE(reset.message.find("after 5 of 20 commands"), std::string::npos) << reset.message;
  EXPECT_NE(reset.message.find("regions the camera has now"), std::string::npos) << reset.message;
  const RoiTable& table = regions.table();
  EXPECT_FALSE(table.row(1).on);
  EXPECT_FALSE(table.row(2).on);
  EXPECT_TRUE(table.row(3).on);
  EXPECT_TRUE(table.row(4).on);
  EXPECT_EQ(table.row(0).width, 1000) << "the full frame was never set";

  // The link is usable: a second reset goes through.
  const RoiResetOutcome again = regions.reset();
  EXPECT_TRUE(again.complete) << again.message;
  ASSERT_TRUE(regions.readAll().ok);
  EXPECT_EQ(regions.table().row(0), (RoiRegion{0, 0, 5120, 5120, true}));
  for (int i = 1; i < regions.table().size(); ++i)
    EXPECT_FALSE(regions.table().row(i).on) << i;
}

// The camera's own refusal of a disable, end to end.
TEST(MultiRoiOnCamera, CameraRefusesToDisableTheFirstRegion) {
  RoiLink link("Ko-50M-C5", "disable");
  MultiRoi regions(link.connected, MultiRoiVariant::Ko50MC);
  ASSERT_TRUE(regions.readAll().ok);
  const RoiOutcome outcome = regions.setEnabled(0, false);
  EXPECT_EQ(outcome.message, "Error : region 0 cannot be disabled, Check ROI domain");
  EXPECT_TRUE(regions.table().row(0).on);
  EXPECT_EQ(link.value("grc"), "1");
}

// Regions saved from one camera and loaded into another come back identical, with the cache
// lines before them; for both command sets. Would catch region lines with the table's "On" as a
// value, the wrong commands for the 50M, or a handler whose connect step does not re-read.
TEST(MultiRoiSettingFile, RegionsRoundTripThroughAFile) {
  for (const std::string model : {"Ko-25MC-C65", "Ko-50M-C5"}) {
    SCOPED_TRACE(model);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kelpax-roi-csf-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    RoiTable saved;
    std::string path;
    {
      RoiLink first(model, "csf-a");
      ASSERT_EQ(first.connected.fillCache().missing, 0);
      auto handler = multiRoiControlFileFor(first.connected, first.connected.modelDescriptor());
      ASSERT_TRUE(handler);
      MultiRoi& regions = handler->regions();
      ASSERT_TRUE(regions.readAll().ok);
      ASSERT_TRUE(regions.setRegion(1, 100, 200, 1000, 300).ok);
      ASSERT_TRUE(regions.setEnabled(1, true).ok);
      ASSERT_TRUE(regions.setRegion(2, 900, 1200, 1000, 400).ok);
      ASSERT_TRUE(regions.setEnabled(2, true).ok);
      saved = regions.table();
      const SettingSaveResult result =
          handler->save((folder / "regions").string(), first.connected.parameterCache(),
                        first.connected.modelDescriptor());
      ASSERT_TRUE(result.saved) << result.detail;
      EXPECT_TRUE(result.detail.empty()) << result.detail;
      path = result.path;
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string file = text.str();
    const bool ko25 = model == "Ko-25MC-C65";
    EXPECT_NE(file.find(ko25 ? "srs 2\r\nsiw 1000\r\nsih 400\r\nsox 900\r\nsoy 1200\r\nsrc 1\r\n"
                             : "srs 2\r\nsrw 1000\r\nsrh 400\r\nsrx 900\r\nsry 1200\r\nsrc 1\r\n"),
              std::string::npos)
        << file;
    EXPECT_EQ(file.find("src On"), std::string::npos);
    EXPECT_EQ(file.rfind("--Quorvane Camera Setting File \r\n", 0), 0u);

    RoiLink second(model, "csf-b");
    ASSERT_EQ(second.connected.fillCache().missing, 0);
    auto handler = multiRoiControlFileFor(second.connected, second.connected.modelDescriptor());
    // The table as a dialog had shown it before the load: the load's connect step renews it.
    ASSERT_TRUE(handler->regions().readAll().ok);
    ASSERT_NE(handler->regions().table().row(1), saved.row(1));
    SettingLoadOptions options;
    options.handler = handler.get();
    const SettingLoadResult loaded = loadSettingFile(path, second.connected, options);
    EXPECT_TRUE(loaded.refused.empty())
        << loaded.refused[0].text << ": " << loaded.refused[0].reason;
    ASSERT_TRUE(handler->regions().read());
    for (int i = 0; i < saved.size(); ++i)
      EXPECT_EQ(handler->regions().table().row(i), saved.row(i)) << "region " << i;
    std::filesystem::remove_all(folder);
  }
}

// A save before the regions were ever read says so instead of passing the file off as whole.
TEST(MultiRoiSettingFile, SaveWithoutRegionsSaysSo) {
  ScriptedHost host(modelNamed("Ko-25MC-C65"));
  CKo25MC2ControlFile handler(host);
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kelpax-roi-unread-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const SettingSaveResult result =
      handler.save((folder / "unread").string(), host.cache, host.model);
  EXPECT_TRUE(result.saved);
  EXPECT_NE(result.detail.find("never read"), std::string::npos);
  std::filesystem::remove_all(folder);
}
