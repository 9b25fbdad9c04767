// The multi-region dialog against a simulated Ko 25M camera, offscreen: cells edited in place
// with the keyboard, refusals shown and undone, the picture following the table.
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "../session/pty_camera_link.h"
#include "editors/setting_multi_roi_dlg.h"

namespace kelpax {
namespace {

struct Messages : MessageBoxSink {
  void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) override {
    shown.push_back({std::string(caption), std::string(text), icon});
  }
  struct Shown {
    std::string caption, text;
    MessageIcon icon;
  };
  std::vector<Shown> shown;
};

struct RoiRig {
  RoiRig() : link("Ko-25MC-C65", "roi-dlg") {
    link.connected.identify("Ko-25MC-C65");
    dlg = std::make_unique<CSettingMultiRoi>(regions, messages);
    dlg->resize(760, 420);
    dlg->show();
    dlg->readFromCamera();
  }
  std::string cameraValue(int region, const std::string& query) {
    link.exchange.Query("srs " + std::to_string(region));
    return link.exchange.QueryToken(query, 0, 3000);
  }
  sessiontest::PtyCameraLink link;
  MultiRoi regions{link.connected, MultiRoiVariant::Ko25MC};
  Messages messages;
  std::unique_ptr<CSettingMultiRoi> dlg;
};

// Types into a cell the way an operator does: start editing, type, press Enter.
void typeIntoCell(QTableWidget* table, int row, int column, const QString& text) {
  table->setCurrentCell(row, column);
  table->editItem(table->item(row, column));
  QLineEdit* editor = nullptr;
  for (QLineEdit* candidate : table->viewport()->findChildren<QLineEdit*>())
    if (candidate->isVisible())
      editor = candidate;
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, text);
  ASSERT_EQ(editor->text(), text);
  QTest::keyClick(editor, Qt::Key_Return);
  // The edit is handled queued; the closed editor goes on the next pass.
  QApplication::processEvents();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
}

// Would catch an edit that never reaches the camera, the wrong region, a shared width left
// stale in the other rows, or a status column that can be typed into.
TEST(SettingMultiRoiDialog, InPlaceEditReachesTheRowsRegion) {
  RoiRig rig;
  QTableWidget* table = rig.dlg->table();
  ASSERT_EQ(table->rowCount(), 8);
  ASSERT_EQ(table->columnCount(), 5);
  EXPECT_EQ(table->horizontalHeaderItem(4)->text(), "Status");
  EXPECT_EQ(table->item(0, 4)->text(), "On");
  EXPECT_EQ(table->item(1, 4)->text(), "");
  EXPECT_FALSE(table->item(0, 4)->flags() & Qt::ItemIsEditable);

  typeIntoCell(table, 2, 2, "1200");
  typeIntoCell(table, 2, 0, "3000");
  EXPECT_TRUE(rig.messages.shown.empty())
      << (rig.messages.shown.empty() ? "" : rig.messages.shown[0].text);
  EXPECT_EQ(table->item(2, 0)->text(), "3000");
  for (int row = 0; row < table->rowCount(); ++row)
    EXPECT_EQ(table->item(row, 2)->text(), "1200") << row;
  EXPECT_EQ(rig.cameraValue(2, "gox"), "3000");
  EXPECT_EQ(rig.cameraValue(1, "gox"), "0");
}

// Would catch a cell that keeps a refused or unreadable value (the table then disagrees with the
// camera), or a refusal that goes unreported.
TEST(SettingMultiRoiDialog, RefusedEditsSnapBackAndSaySo) {
  RoiRig rig;
  QTableWidget* table = rig.dlg->table();
  typeIntoCell(table, 1, 0, "6000");
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(rig.messages.shown[0].caption, "Error");
  EXPECT_NE(rig.messages.shown[0].text.find("past the sensor"), std::string::npos);
  EXPECT_EQ(table->item(1, 0)->text(), "0");

  typeIntoCell(table, 1, 1, "1x");
  ASSERT_EQ(rig.messages.shown.size(), 2u);
  EXPECT_NE(rig.messages.shown[1].text.find("not a whole number"), std::string::npos);
  EXPECT_EQ(table->item(1, 1)->text(), "0");
  EXPECT_EQ(rig.cameraValue(1, "goy"), "0");
}

// Enable, the camera's refused disable, and reset, through the dialog; the picture shows what
// the table holds. Would catch a picture left with regions the table no longer has on.
TEST(SettingMultiRoiDialog, EnableDisableResetAndThePicture) {
  RoiRig rig;
  QTableWidget* table = rig.dlg->table();
  typeIntoCell(table, 3, 2, "1000");
  typeIntoCell(table, 3, 0, "2000");
  rig.dlg->enableRow(3, true);
  EXPECT_EQ(table->item(3, 4)->text(), "On");
  EXPECT_EQ(rig.cameraValue(3, "grc"), "1");

  rig.dlg->enableRow(0, false);
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(rig.messages.shown[0].text, "Error : region 0 cannot be disabled, Check ROI domain");
  EXPECT_EQ(table->item(0, 4)->text(), "On");

  // Region 3 drawn: a pixel in its middle differs from the same pixel after the reset.
  rig.dlg->graph()->setSelectedRow(-1);
  const QRectF sensor = rig.dlg->graph()->sensorRectIn();
  const QPoint inRegion3(int(sensor.left() + sensor.width() * 2500.0 / 5120.0),
                         int(sensor.top() + sensor.height() * 0.9));
  const QImage before = rig.dlg->graph()->grab().toImage();
  QTest::mouseClick(rig.dlg->resetButton(), Qt::LeftButton);
  rig.dlg->graph()->setSelectedRow(-1);
  const QImage after = rig.dlg->graph()->grab().toImage();
  EXPECT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(table->item(3, 4)->text(), "");
  EXPECT_EQ(table->item(0, 2)->text(), "5120");
  EXPECT_NE(before.pixel(inRegion3), after.pixel(inRegion3));
  EXPECT_EQ(rig.cameraValue(3, "grc"), "0");
}

} // namespace
} // namespace kelpax
