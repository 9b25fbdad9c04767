// The multi-region dialog against a simulated Ko 25M camera, offscreen: cells edited in place
// with the keyboard, refusals shown and undone, the picture following the table.
#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
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

// The pointer over the region picture, as the window system reports it.
void enterAt(QWidget* widget, QPointF at) {
  QEnterEvent event(at, at, widget->mapToGlobal(at));
  QApplication::sendEvent(widget, &event);
}
void moveTo(QWidget* widget, QPointF at) {
  QMouseEvent event(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}
void leave(QWidget* widget) {
  QEvent event(QEvent::Leave);
  QApplication::sendEvent(widget, &event);
}

// A 1000 x 1000 sensor with region 0 on at the top left, region 1 switched off, region 2 on and
// overlapping region 0, and region 3 on but running past the sensor's right edge.
struct HoverRig {
  HoverRig() {
    table.addRow({.x = 0, .y = 0, .width = 400, .height = 400, .on = true});
    table.addRow({.x = 600, .y = 600, .width = 300, .height = 300, .on = false});
    table.addRow({.x = 200, .y = 200, .width = 400, .height = 400, .on = true});
    table.addRow({.x = 800, .y = 100, .width = 400, .height = 200, .on = true});
    graph.resize(216, 216);
    graph.setRegions(1000, 1000, table);
    QObject::connect(&graph, &CAOIGraph::regionUnderPointerChanged,
                     [this](int row) { reported.push_back(row); });
    QObject::connect(&graph, &CAOIGraph::pointerMoved,
                     [this](double x, double y) { pointer = QPointF(x, y); });
  }
  // A sensor pixel in widget coordinates.
  QPointF at(double x, double y) const {
    const QRectF sensor = graph.sensorRectIn();
    return sensor.topLeft() + QPointF(x, y) * (sensor.width() / 1000.0);
  }
  RoiTable table;
  CAOIGraph graph;
  std::vector<int> reported;
  std::optional<QPointF> pointer;
};

// The region under the pointer: switched-on regions only, the first in table order where two
// overlap, nothing past the sensor's edge even where a region's rectangle would reach, and
// nothing once the pointer has left. Would catch a region switched off being reported, the
// last overlapping region taken, an unclipped rectangle, or a report that never clears.
TEST(RegionGraph, ReportsTheSwitchedOnRegionUnderThePointer) {
  HoverRig rig;
  CAOIGraph& graph = rig.graph;
  EXPECT_EQ(graph.hoveredRow(), -1);
  enterAt(&graph, rig.at(100, 100));
  EXPECT_EQ(graph.hoveredRow(), 0);
  ASSERT_TRUE(rig.pointer);
  EXPECT_NEAR(rig.pointer->x(), 100, 0.01);
  EXPECT_NEAR(rig.pointer->y(), 100, 0.01);
  moveTo(&graph, rig.at(300, 300)); // regions 0 and 2
  EXPECT_EQ(graph.hoveredRow(), 0);
  moveTo(&graph, rig.at(500, 500));
  EXPECT_EQ(graph.hoveredRow(), 2);
  EXPECT_NEAR(rig.pointer->x(), 500, 0.01);
  moveTo(&graph, rig.at(700, 700)); // region 1 is off
  EXPECT_EQ(graph.hoveredRow(), -1);
  moveTo(&graph, rig.at(900, 150));
  EXPECT_EQ(graph.hoveredRow(), 3);
  // Right of the sensor, inside the widget, where region 3's rectangle would still reach.
  const QPointF pastEdge(graph.sensorRectIn().right() + 4, rig.at(0, 150).y());
  ASSERT_LT(pastEdge.x(), graph.width());
  rig.pointer.reset();
  moveTo(&graph, pastEdge);
  EXPECT_EQ(graph.hoveredRow(), -1);
  EXPECT_FALSE(rig.pointer) << "no sensor pixel is under the pointer";
  moveTo(&graph, rig.at(900, 150));
  leave(&graph);
  EXPECT_EQ(graph.hoveredRow(), -1);
  EXPECT_EQ(rig.reported, (std::vector<int>{0, 2, -1, 3, -1, 3, -1}));
}

// The region under the pointer is drawn differently from the others, and only while the
// pointer is over it; a region switched off under a still pointer stops being reported.
TEST(RegionGraph, HighlightFollowsThePointerAndTheTable) {
  HoverRig rig;
  CAOIGraph& graph = rig.graph;
  const QPoint inRegion2Only = rig.at(550, 550).toPoint();
  const QPoint inRegion0Only = rig.at(350, 50).toPoint();
  const QImage plain = graph.grab().toImage();
  enterAt(&graph, rig.at(500, 500));
  ASSERT_EQ(graph.hoveredRow(), 2);
  const QImage hovered = graph.grab().toImage();
  EXPECT_NE(plain.pixel(inRegion2Only), hovered.pixel(inRegion2Only));
  EXPECT_EQ(plain.pixel(inRegion0Only), hovered.pixel(inRegion0Only));
  leave(&graph);
  EXPECT_EQ(graph.grab().toImage().pixel(inRegion2Only), plain.pixel(inRegion2Only));

  enterAt(&graph, rig.at(500, 500));
  rig.table.row(2).on = false;
  graph.setRegions(1000, 1000, rig.table);
  EXPECT_EQ(graph.hoveredRow(), -1);
  EXPECT_EQ(rig.reported, (std::vector<int>{2, -1, 2, -1}));
  rig.table.row(2).on = true;
  graph.setRegions(1000, 1000, rig.table);
  EXPECT_EQ(graph.hoveredRow(), 2) << "the pointer is still there";
}

} // namespace
} // namespace kelpax
