// Column offset points, "addInfo.ini" and the register groups, and the stitch gain text.
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "../session/pty_camera_link.h"
#include "tools/column_offset.h"
#include "tools/stitch_control.h"

namespace kelpax {
namespace {

// Accepts everything except the commands listed in `refuse`; records what was sent.
class RecordingHost : public PageHost {
public:
  Answer sendCommand(std::string_view command, ExchangeOptions) override {
    sent.emplace_back(command);
    Answer answer;
    const bool refused = refuse.count(std::string(command)) > 0;
    answer.result = refused ? CommandResult::CameraError : CommandResult::Ok;
    auto it = answers.find(std::string(command));
    answer.text = std::string(command) + "\r\n" +
                  (refused               ? "Error : refused"
                   : it != answers.end() ? it->second
                                         : "OK") +
                  "\r\n>";
    return answer;
  }
  const ParameterCache& parameterCache() const override { return cache; }
  const ModelDescriptor& modelDescriptor() const override { return model; }
  std::vector<std::string> sent;
  std::set<std::string> refuse;
  std::map<std::string, std::string> answers;
  ParameterCache cache;
  ModelDescriptor model;
};

// Three lines become entries 0 to 2, then every index from 3 to 31 is marked unused; a refusal
// stops the unused ones. Catches an off-by-one at either end and a write that goes on after a
// refusal.
TEST(ColumnOffsetWrite, ThreeLinesThenUnusedUpTo31) {
  RecordingHost host;
  ColumnOffset columns(host);
  const ColumnOffset::Outcome outcome = columns.writePoints("10 1 0\r\n20 2 0\n30 3 0\n");
  EXPECT_TRUE(outcome.error.empty()) << outcome.error;
  ASSERT_EQ(host.sent.size(), 32u);
  EXPECT_EQ(host.sent[0], "sccp 0 10 1 0");
  EXPECT_EQ(host.sent[2], "sccp 2 30 3 0");
  for (int i = 3; i < 32; ++i)
    EXPECT_EQ(host.sent[size_t(i)], "sccp " + std::to_string(i) + " 16383 0 0");

  RecordingHost refusing;
  refusing.refuse = {"sccp 5 16383 0 0"};
  ColumnOffset stopped(refusing);
  EXPECT_FALSE(stopped.writePoints("1 1 1").error.empty());
  EXPECT_EQ(refusing.sent.back(), "sccp 5 16383 0 0");
  EXPECT_EQ(refusing.sent.size(), 6u);

  RecordingHost tooMany;
  std::string lines;
  for (int i = 0; i < 33; ++i)
    lines += "1 2 3\n";
  EXPECT_FALSE(ColumnOffset(tooMany).writePoints(lines).error.empty());
  EXPECT_TRUE(tooMany.sent.empty());
}

// Catches a read that shows the unused entry (or everything after it).
TEST(ColumnOffsetRead, StopsAtTheFirstUnusedEntry) {
  RecordingHost host;
  host.answers["gccp 0"] = "16383 0 0";
  host.answers["gccp 1"] = "55 5 5";
  ColumnOffset columns(host);
  const ColumnOffset::Outcome empty = columns.readPoints();
  EXPECT_EQ(empty.text, "");
  EXPECT_EQ(host.sent, std::vector<std::string>{"gccp 0"});
  host.answers["gccp 0"] = "12 1 0";
  host.answers["gccp 2"] = "20000 0 0";
  EXPECT_EQ(columns.readPoints().text, "12 1 0\n55 5 5\n");
}

// "addInfo.ini": separators, "0x" or none, and the files that must be refused with a reason.
TEST(RegisterFileText, ParsesGroupsAndRefusesBadFiles) {
  const RegisterFile good = parseRegisterFile("Black,0x160 161\r\n\tGain\t0x170,0x171\n\n");
  ASSERT_TRUE(good.error.empty()) << good.error;
  ASSERT_EQ(good.groups.size(), 2u);
  EXPECT_EQ(good.groups[0].name, "Black");
  EXPECT_EQ(good.groups[0].addresses, (std::vector<std::string>{"0x160", "161"}));
  EXPECT_EQ(good.groups[1].addresses.size(), 2u);

  EXPECT_NE(parseRegisterFile(std::string("Black 0x160\0\x01\x02", 15)).error.find("not a text"),
            std::string::npos);
  EXPECT_NE(parseRegisterFile("Black 0x16G\n").error.find("line 1"), std::string::npos);
  EXPECT_NE(parseRegisterFile("A 1\nB 0x123456789\n").error.find("line 2"), std::string::npos);
  EXPECT_FALSE(parseRegisterFile("A 1 2 3 4 5\n").error.empty());
  std::string many;
  for (int i = 0; i < 17; ++i)
    many += "G" + std::to_string(i) + " 0x1\n";
  EXPECT_FALSE(parseRegisterFile(many).error.empty());
  EXPECT_EQ(readRegisterFile("/nonexistent/addInfo.ini").error, "Not Found Configuration file ");
  EXPECT_EQ(readHexLoose("0x00A1"), 0xA1u);
  EXPECT_EQ(readHexLoose("1z"), 0x10u);
}

// Write2 builds the enable mask from each line's second word and writes the values to their
// group's registers; a value that is no number sends nothing at all.
TEST(RegisterGroups, WriteSetsRegistersAndTheMask) {
  RecordingHost host;
  ColumnOffset columns(host);
  const std::vector<RegisterGroup> groups = {
      {"Black", {"0x160", "0x161"}}, {"Gain", {"0x170"}}, {"Spare", {}}};
  EXPECT_TRUE(
      columns.writeRegisters(groups, "Black 0 16 42\nGain 1 1024\nSpare 1\n").error.empty());
  EXPECT_EQ(host.sent, (std::vector<std::string>{"wfpga 0x160 16", "wfpga 0x161 42",
                                                 "wfpga 0x170 1024", "wfpga 0x151 0x0006"}));
  host.sent.clear();
  EXPECT_FALSE(columns.writeRegisters(groups, "Black 1 16 4x2\n").error.empty());
  EXPECT_TRUE(host.sent.empty());
}

// The whole round on the simulated camera: registers read as decimal with their enable bits,
// written back changed, and read again.
TEST(RegisterGroups, RoundTripOnTheSimulatedCamera) {
  sessiontest::PtyCameraLink link("Ko-4M-M180", "column-offset");
  ColumnOffset columns(link.connected);
  const std::vector<RegisterGroup> groups = {
      {"Black", {"0x160", "0x161"}}, {"Gain", {"170"}}, {"Spare", {}}};
  ColumnOffset::Outcome read = columns.readRegisters(groups);
  ASSERT_TRUE(read.error.empty()) << read.error;
  EXPECT_EQ(read.text, "Black 1 16 42\nGain 1 1024\nSpare 0\n");
  ASSERT_TRUE(columns.writeRegisters(groups, "Black 0 17 43\nGain 1 7\nSpare 1\n").error.empty());
  EXPECT_EQ(columns.readRegisters(groups).text, "Black 0 17 43\nGain 1 7\nSpare 1\n");

  EXPECT_EQ(columns.readPoints().text, "128 12 0\n2048 -7 1\n4000 3 0\n");
  ASSERT_TRUE(columns.writePoints("16383 0 0\n5 5 5\n").error.empty());
  EXPECT_EQ(columns.readPoints().text, "");
}

TEST(StitchGainText, CutThreeAfterThePoint) {
  EXPECT_EQ(stitchGainText(1.0), "1.000");
  EXPECT_EQ(stitchGainText(0.99999), "0.999");
  EXPECT_EQ(stitchGainText(12.3456), "12.345");
}

} // namespace
} // namespace kelpax
