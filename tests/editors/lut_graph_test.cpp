// The look-up table graph driven as the operator drives it: presses, drags, releases and
// double-clicks on an offscreen widget, the point dialog, and what ends up in the table.
#include <QApplication>
#include <QImage>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <cmath>

#include <gtest/gtest.h>

#include "editors/lut_graph.h"
#include "pages/edit_widgets.h"

namespace kelpax {
namespace {

class LutGraphTest : public ::testing::Test {
protected:
  void SetUp() override {
    graph.resize(600, 480);
    graph.setMessageSink([this](const QString& text) { messages << text; });
    graph.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&graph));
  }

  // The pixel where a table position is drawn.
  QPoint pixelOf(LutPoint at) const {
    const LutPlotMapping map = graph.mapping();
    return {int(std::lround(map.xOf(at.input))), int(std::lround(map.yOf(at.output)))};
  }
  // Table units one pixel spans, on each axis.
  int inputPerPixel() const { return table.size() / graph.plotRect().width() + 1; }
  int outputPerPixel() const { return 4096 / graph.plotRect().height() + 1; }

  void click(LutPoint at) {
    QTest::mousePress(&graph, Qt::LeftButton, {}, pixelOf(at));
    QTest::mouseRelease(&graph, Qt::LeftButton, {}, pixelOf(at));
  }
  // Press on `from`, move with the button held through `path`, release on the last.
  void drag(LutPoint from, std::initializer_list<LutPoint> path) {
    QTest::mousePress(&graph, Qt::LeftButton, {}, pixelOf(from));
    QPoint last = pixelOf(from);
    for (const LutPoint& to : path) {
      last = pixelOf(to);
      QMouseEvent move(QEvent::MouseMove, last, graph.mapToGlobal(last), Qt::NoButton,
                       Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&graph, &move);
    }
    QTest::mouseRelease(&graph, Qt::LeftButton, {}, last);
  }
  void hover(LutPoint at) {
    const QPoint p = pixelOf(at);
    QMouseEvent move(QEvent::MouseMove, p, graph.mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&graph, &move);
  }

  void expectNear(LutPoint got, LutPoint want, const char* what) {
    EXPECT_LE(std::abs(got.input - want.input), inputPerPixel()) << what;
    EXPECT_LE(std::abs(got.output - want.output), outputPerPixel()) << what;
  }

  LutTable table{LutType::Bits12};
  CLUTGraph graph{table};
  QStringList messages;
};

TEST_F(LutGraphTest, ClicksOutsidePointModeChangeNothing) {
  click({1000, 1000});
  EXPECT_TRUE(graph.points().empty());
  EXPECT_EQ(table, LutTable(LutType::Bits12));
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(LutGraphTest, ClicksPlacePointsWhereThePointerIs) {
  graph.setPointMode(true);
  QSignalSpy changed(&graph, &CLUTGraph::pointsChanged);
  click({1000, 3000});
  click({2500, 1000});
  ASSERT_EQ(graph.points().size(), 2u);
  expectNear(graph.points()[0], {1000, 3000}, "first point");
  expectNear(graph.points()[1], {2500, 1000}, "second point");
  EXPECT_EQ(changed.count(), 2);
  EXPECT_TRUE(messages.isEmpty());

  // A right-button press is not a placing press.
  QTest::mouseClick(&graph, Qt::RightButton, {}, pixelOf({3500, 500}));
  EXPECT_EQ(graph.points().size(), 2u);
  // A press below the plot adds nothing and says nothing.
  QTest::mouseClick(&graph, Qt::LeftButton, {}, QPoint(pixelOf({3500, 0}).x(), graph.height() - 2));
  EXPECT_EQ(graph.points().size(), 2u);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(LutGraphTest, PointLeftOfTheLastOrANinthIsRefusedWithItsMessage) {
  graph.setPointMode(true);
  click({2000, 2000});
  click({1000, 1000});
  ASSERT_EQ(messages, QStringList{"Invalid X coordinate."});
  ASSERT_EQ(graph.points().size(), 1u);

  messages.clear();
  for (int i = 1; i < 8; ++i)
    click({2000 + 250 * i, 500 * (i % 2)});
  ASSERT_EQ(graph.points().size(), 8u);
  ASSERT_TRUE(messages.isEmpty());
  const std::vector<LutPoint> eight = graph.points();
  click({4000, 3000});
  EXPECT_EQ(messages, QStringList{"Exceed the number of points."});
  EXPECT_EQ(graph.points(), eight);
}

TEST_F(LutGraphTest, DoubleClickPlacesOnePointAndNoMessage) {
  // The second press of a double-click lands on the point the first placed: it selects it.
  graph.setPointMode(true);
  QTest::mouseDClick(&graph, Qt::LeftButton, {}, pixelOf({1500, 2000}));
  EXPECT_EQ(graph.points().size(), 1u);
  EXPECT_TRUE(messages.isEmpty()) << messages.join(", ").toStdString();
}

TEST_F(LutGraphTest, DragMovesThePointAndApplyBuildsTheTableThroughIt) {
  graph.setPointMode(true);
  click({1000, 1000});
  click({3000, 3000});
  // Grab the first point 100 units off its centre, drag it up and right.
  drag({1100, 1100}, {{1200, 1500}, {1500, 2500}, {2000, 3500}});
  ASSERT_EQ(graph.points().size(), 2u);
  expectNear(graph.points()[0], {2000, 3500}, "dragged point");
  EXPECT_EQ(graph.selectedPoint(), -1) << "the release ends the drag";

  const LutPoint moved = graph.points()[0];
  const LutPoint second = graph.points()[1];
  QSignalSpy tableChanged(&graph, &CLUTGraph::tableChanged);
  ASSERT_TRUE(graph.applyPoints());
  EXPECT_EQ(tableChanged.count(), 1);
  EXPECT_FALSE(graph.pointMode());
  EXPECT_EQ(table[size_t(moved.input)], moved.output);
  EXPECT_EQ(table[size_t(second.input)], second.output);
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[4095], 4095);
  EXPECT_EQ(graph.points().size(), 2u) << "straight segments keep the points";
}

TEST_F(LutGraphTest, DragCannotPassANeighbourOrLeaveThePlot) {
  graph.setPointMode(true);
  click({1000, 1000});
  click({2000, 2000});
  click({3000, 3000});
  const LutPoint before = graph.points()[1];
  drag(before, {{3500, 2000}});
  EXPECT_EQ(graph.points()[1], before) << "past the right neighbour";
  drag(before, {{500, 2000}});
  EXPECT_EQ(graph.points()[1], before) << "past the left neighbour";

  // Above the plot the point stays where the pointer last was inside.
  drag(before, {{2200, 3900}});
  const LutPoint inside = graph.points()[1];
  expectNear(inside, {2200, 3900}, "inside move");
  QTest::mousePress(&graph, Qt::LeftButton, {}, pixelOf(inside));
  const QPoint above(pixelOf(inside).x(), 2);
  QMouseEvent move(QEvent::MouseMove, above, graph.mapToGlobal(above), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&graph, &move);
  QTest::mouseRelease(&graph, Qt::LeftButton, {}, above);
  EXPECT_EQ(graph.points()[1], inside);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(LutGraphTest, MovingWithoutTheButtonOnlyChangesTheCursor) {
  graph.setPointMode(true);
  click({2000, 2000});
  hover({2050, 2050});
  EXPECT_EQ(graph.cursor().shape(), Qt::CrossCursor);
  hover({3000, 500});
  EXPECT_EQ(graph.cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(graph.points().size(), 1u);
  expectNear(graph.points()[0], {2000, 2000}, "hover moved the point");
}

TEST_F(LutGraphTest, SmoothCurveEndsPointModeAndEmptiesThePoints) {
  graph.setPointMode(true);
  graph.setCurveKind(LutCurveKind::Smooth);
  click({800, 1500});
  click({2000, 2800});
  click({3200, 3600});
  const std::vector<LutPoint> placed = graph.points();
  QSignalSpy mode(&graph, &CLUTGraph::pointModeChanged);
  ASSERT_TRUE(graph.applyPoints());
  EXPECT_FALSE(graph.pointMode());
  EXPECT_EQ(mode.count(), 1);
  EXPECT_TRUE(graph.points().empty());
  for (const LutPoint& p : placed)
    EXPECT_NEAR(table[size_t(p.input)], p.output, 2) << p.input;
  EXPECT_EQ(table[4095], 4095);
}

TEST_F(LutGraphTest, EmptyListOn14BitTableAppliesTheStraightLine) {
  table.setType(LutType::Bits14);
  table.fill(0);
  graph.refresh();
  graph.setPointMode(true);
  ASSERT_TRUE(graph.applyPoints());
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[16383], 4095);
  EXPECT_EQ(table[8192], uint16_t(int64_t(8192) * 4095 / 16383));
}

TEST_F(LutGraphTest, NewTableTypeDropsPointsPlacedOnTheOldScale) {
  graph.setPointMode(true);
  click({2000, 2000});
  ASSERT_EQ(graph.points().size(), 1u);
  table.setType(LutType::Bits14);
  graph.refresh();
  EXPECT_TRUE(graph.points().empty());
  // Presses now map onto the 14-bit scale.
  click({12000, 2000});
  ASSERT_EQ(graph.points().size(), 1u);
  expectNear(graph.points()[0], {12000, 2000}, "14-bit press");
}

TEST_F(LutGraphTest, ClearEmptiesThePoints) {
  graph.setPointMode(true);
  click({1000, 1000});
  click({2000, 1000});
  graph.clearPoints();
  EXPECT_TRUE(graph.points().empty());
  click({500, 500});
  EXPECT_EQ(graph.points().size(), 1u) << "after Clear a point left of the old ones is fine";
  EXPECT_TRUE(messages.isEmpty());
}

// The dialog as the operator fills it: tick "Uses", type input and output.
void typeRow(CLutConfigDlg& dialog, int row, bool uses, int input, int output) {
  dialog.uses(row)->setChecked(uses);
  dialog.inputEdit(row)->setText(QString::number(input));
  dialog.outputEdit(row)->setText(QString::number(output));
}

TEST_F(LutGraphTest, PointDialogKeepsItselfOpenOnADuplicatedInput) {
  QPointer<CLutConfigDlg> dialog = graph.openConfigDialog();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->windowTitle(), "Userdraw configuration");
  typeRow(*dialog, 0, true, 700, 300);
  typeRow(*dialog, 3, true, 700, 900);
  dialog->accept();
  EXPECT_EQ(messages, QStringList{"x-coordinate was duplicated."});
  ASSERT_TRUE(dialog);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(graph.points().empty());

  messages.clear();
  typeRow(*dialog, 3, true, 5000, 900);
  dialog->accept();
  EXPECT_EQ(messages, QStringList{"x or y-coordinate was out of boundary."});
  EXPECT_TRUE(dialog->isVisible());

  messages.clear();
  typeRow(*dialog, 3, true, 200, 900);
  typeRow(*dialog, 5, false, 700, 4500); // not used: not checked
  dialog->accept();
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_FALSE(dialog && dialog->isVisible());
  EXPECT_EQ(graph.points(), (std::vector<LutPoint>{{200, 900}, {700, 300}}));
}

TEST_F(LutGraphTest, PointDialogShowsThePointsAndEmptiesTheListWithNoRowUsed) {
  graph.setPoints({{100, 200}, {3000, 4000}});
  QPointer<CLutConfigDlg> dialog = graph.openConfigDialog();
  ASSERT_TRUE(dialog);
  EXPECT_TRUE(dialog->uses(0)->isChecked());
  EXPECT_TRUE(dialog->uses(1)->isChecked());
  EXPECT_FALSE(dialog->uses(2)->isChecked());
  EXPECT_EQ(dialog->inputEdit(1)->text(), "3000");
  EXPECT_EQ(dialog->outputEdit(1)->text(), "4000");
  for (int row = 0; row < CLutConfigDlg::kRows; ++row)
    dialog->uses(row)->setChecked(false);
  dialog->accept();
  EXPECT_TRUE(graph.points().empty());
  EXPECT_FALSE(dialog && dialog->isVisible());
}

// Counts the pixels of a colour close to the curve's inside a rectangle of an image.
int curvePixels(const QImage& image, const QRect& area) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.blue() > 150 && c.red() < 120 && c.green() < 150)
        ++count;
    }
  return count;
}

TEST_F(LutGraphTest, SingleEntrySpikeOf16384IsDrawn) {
  // A 16384-entry table on a few hundred pixels: the one entry at full scale must still show
  // as a stroke to the top of the plot, not vanish between sampled entries.
  table.setType(LutType::Bits14);
  table.fill(0);
  table[9001] = 4095;
  graph.refresh();
  const QImage image = graph.grab().toImage();
  const LutPlotRect plot = graph.plotRect();
  const int spikeX = int(graph.mapping().xOf(9001));
  const QRect topBand(spikeX - 2, plot.top + 2, 5, plot.height() / 4);
  const QRect elsewhere(plot.left + 5, plot.top + 2, spikeX - plot.left - 20, plot.height() / 4);
  EXPECT_GT(curvePixels(image, topBand), plot.height() / 8);
  EXPECT_EQ(curvePixels(image, elsewhere), 0);
}

TEST_F(LutGraphTest, RefreshRedrawsTheChangedTableAndNoDataLeavesThePlot) {
  graph.refresh();
  const QImage identity = graph.grab().toImage();
  const LutPlotRect plot = graph.plotRect();
  const QRect inner(plot.left + 2, plot.top + 2, plot.width() - 4, plot.height() - 4);
  ASSERT_GT(curvePixels(identity, inner), plot.width() / 2);

  // An upload under way: every entry is without data. Nothing is drawn in the plot; the strip
  // above it is marked.
  table.fill(kLutNoData);
  graph.refresh();
  const QImage noData = graph.grab().toImage();
  EXPECT_EQ(curvePixels(noData, inner), 0);
  const QColor strip = noData.pixelColor(plot.left + plot.width() / 2, plot.top - 6);
  EXPECT_GT(strip.red(), 150);
  EXPECT_LT(strip.green(), 100);
}

} // namespace
} // namespace kelpax
