// The stitch and column offset dialogs against a simulated Ko camera, offscreen.
#include <QApplication>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "../session/pty_camera_link.h"
#include "tools/column_offset_dlg.h"
#include "tools/stitch_dlg.h"

namespace kelpax {
namespace {

// Refuses the commands in `refuse`, forwards the rest to the camera, records what it sent.
class FilteringHost : public PageHost {
public:
  explicit FilteringHost(ConnectedCamera& camera) : camera_(camera) {}
  Answer sendCommand(std::string_view command, ExchangeOptions options) override {
    sent.emplace_back(command);
    if (refuse.count(std::string(command))) {
      Answer refused;
      refused.result = CommandResult::CameraError;
      refused.text = std::string(command) + "\r\nError : refused\r\n>";
      return refused;
    }
    return camera_.sendCommand(command, options);
  }
  const ParameterCache& parameterCache() const override { return camera_.parameterCache(); }
  const ModelDescriptor& modelDescriptor() const override { return camera_.modelDescriptor(); }
  std::vector<std::string> sent;
  std::set<std::string> refuse;

private:
  ConnectedCamera& camera_;
};

struct KoRig {
  KoRig() : link("Ko-4M-M180", "stitch"), host(link.connected) {
    link.connected.identify("Ko-4M-M180");
  }
  sessiontest::PtyCameraLink link;
  FilteringHost host;
};

void typeAndEnter(QLineEdit* edit, const QString& text) {
  edit->setText(text);
  QTest::keyClick(edit, Qt::Key_Return);
}

// With the switch off the segments and gains are disabled; switching on enables them with the
// edits empty and no segment chosen; a refused switch changes nothing.
TEST(StitchDialog, SwitchEnablesSegmentsAndGains) {
  KoRig rig;
  CStitchCorrDlg dlg(rig.host);
  dlg.show();
  dlg.readFromCamera();
  EXPECT_FALSE(dlg.onOff()->isChecked());
  EXPECT_FALSE(dlg.segmentButton(0)->isEnabled());
  EXPECT_FALSE(dlg.gainEdit(3)->isEnabled());
  rig.host.refuse = {"ssc 1"};
  dlg.onOff()->click();
  EXPECT_FALSE(dlg.onOff()->isChecked());
  EXPECT_FALSE(dlg.segmentButton(0)->isEnabled());
  rig.host.refuse.clear();
  dlg.onOff()->click();
  EXPECT_EQ(rig.host.sent.back(), "ssc 1");
  EXPECT_TRUE(dlg.onOff()->isChecked());
  EXPECT_TRUE(dlg.segmentButton(7)->isEnabled());
  EXPECT_TRUE(dlg.gainEdit(0)->text().isEmpty());
  EXPECT_EQ(dlg.currentSegment(), -1);
}

// A segment's four factors are read and shown; a committed factor goes out with three decimals;
// the selected segment pressed again sends nothing.
TEST(StitchDialog, SegmentsGainsAndTheSelectedSegmentAgain) {
  KoRig rig;
  CStitchCorrDlg dlg(rig.host);
  dlg.show();
  dlg.onOff()->click();
  dlg.segmentButton(2)->click();
  EXPECT_EQ(rig.host.sent.back(), "gsg 2 3");
  EXPECT_EQ(dlg.gainEdit(1)->text(), QStringLiteral("1.000"));
  typeAndEnter(dlg.gainEdit(1), QStringLiteral("1.23456"));
  EXPECT_EQ(rig.host.sent.back(), "ssg 2 1 1.235");
  EXPECT_EQ(dlg.gainEdit(1)->text(), QStringLiteral("1.234"));
  typeAndEnter(dlg.gainEdit(1), QStringLiteral("9"));
  EXPECT_EQ(dlg.gainEdit(1)->text(), QStringLiteral("1.234")) << "the camera refuses above 4";
  const size_t before = rig.host.sent.size();
  dlg.segmentButton(2)->click();
  EXPECT_EQ(rig.host.sent.size(), before);
  EXPECT_TRUE(dlg.segmentButton(2)->isChecked());
  dlg.segmentButton(0)->click();
  EXPECT_FALSE(dlg.segmentButton(2)->isChecked());
  dlg.segmentButton(2)->click();
  EXPECT_EQ(dlg.gainEdit(1)->text(), QStringLiteral("1.235"));
}

// Reset with one refused factor: that edit keeps its text, the others show 1.000, and button
// "8" is left checked.
TEST(StitchDialog, ResetWithOneRefusal) {
  KoRig rig;
  CStitchCorrDlg dlg(rig.host);
  dlg.show();
  dlg.onOff()->click();
  dlg.segmentButton(7)->click();
  typeAndEnter(dlg.gainEdit(2), QStringLiteral("0.5"));
  ASSERT_EQ(dlg.gainEdit(2)->text(), QStringLiteral("0.500"));
  rig.host.refuse = {"ssg 7 2 1.000"};
  rig.host.sent.clear();
  dlg.resetButton()->click();
  EXPECT_EQ(rig.host.sent.size(), 32u);
  EXPECT_EQ(rig.host.sent.front(), "ssg 0 0 1.000");
  EXPECT_EQ(dlg.gainEdit(2)->text(), QStringLiteral("0.500"));
  for (int c : {0, 1, 3})
    EXPECT_EQ(dlg.gainEdit(c)->text(), QStringLiteral("1.000"));
  EXPECT_TRUE(dlg.segmentButton(7)->isChecked());
  for (int s = 0; s < 7; ++s)
    EXPECT_FALSE(dlg.segmentButton(s)->isChecked());
}

struct AddInfoFolder {
  AddInfoFolder() {
    path = std::filesystem::temp_directory_path() / ("kelpax-addinfo-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
  }
  ~AddInfoFolder() { std::filesystem::remove_all(path); }
  void write(const std::string& text) {
    std::ofstream(path / "addInfo.ini", std::ios::binary) << text;
  }
  std::filesystem::path path;
};

// Read/Write hidden, Read2/Write2 shown; Read2 and Write2 through "addInfo.ini"; a missing,
// binary or damaged file says why and sends nothing.
TEST(ColumnOffsetDialog, RegistersThroughAddInfo) {
  KoRig rig;
  AddInfoFolder folder;
  std::vector<QString> messages;
  CColumnOffsetDlg dlg(rig.host, folder.path.string());
  dlg.setMessageSink([&](const QString& text) { messages.push_back(text); });
  dlg.show();
  EXPECT_FALSE(dlg.button(QStringLiteral("Read"))->isVisible());
  EXPECT_FALSE(dlg.button(QStringLiteral("Write"))->isVisible());
  EXPECT_TRUE(dlg.button(QStringLiteral("Read2"))->isVisible());

  dlg.button(QStringLiteral("Read2"))->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], QStringLiteral("Not Found Configuration file "));
  folder.write(std::string("Black 0x160\0\0\0", 14));
  dlg.button(QStringLiteral("Write2"))->click();
  folder.write("Black 0x160 0xZZ\n");
  dlg.button(QStringLiteral("Read2"))->click();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_TRUE(messages[1].contains(QStringLiteral("not a text file")));
  EXPECT_TRUE(messages[2].contains(QStringLiteral("line 1")));
  EXPECT_TRUE(rig.host.sent.empty());

  folder.write("Black,0x160,0x161\nGain 170\n");
  dlg.button(QStringLiteral("Read2"))->click();
  EXPECT_EQ(dlg.text()->toPlainText(), QStringLiteral("Black 1 16 42\nGain 1 1024\n"));
  dlg.text()->setPlainText(QStringLiteral("Black 1 20 40\nGain 0 999"));
  dlg.button(QStringLiteral("Write2"))->click();
  EXPECT_EQ(rig.host.sent.back(), "wfpga 0x151 0x0001");
  dlg.text()->clear();
  dlg.button(QStringLiteral("Read2"))->click();
  EXPECT_EQ(dlg.text()->toPlainText(), QStringLiteral("Black 1 20 40\nGain 0 999\n"));
  EXPECT_EQ(messages.size(), 3u);
}

} // namespace
} // namespace kelpax
