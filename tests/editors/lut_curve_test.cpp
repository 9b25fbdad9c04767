// The curve editor's rules without a window: pixels to table units, the control points, the
// point dialog's checks, the two builders and the per-column summary the graph draws from.
#include <algorithm>
#include <cstdlib>
#include <random>

#include <gtest/gtest.h>

#include "editors/lut_curve.h"

namespace kelpax {
namespace {

// An 800 x 400 pixel plot whose left edge is at 50 and top at 20.
constexpr LutPlotRect kPlot{50, 20, 850, 420};

TEST(LutPlotMapping, PixelsMapToTableUnitsForBothTableSizes) {
  struct Case {
    int inputCount;
    int px, py;
    LutPoint expected;
    bool inside;
  };
  const Case cases[] = {
      {4096, 50, 420, {0, 0}, true},         // bottom-left corner is (0, 0)
      {4096, 849, 21, {4090, 4085}, true},   // last pixel inside: truncated, not rounded
      {4096, 850, 420, {4096, 0}, false},    // right edge is input N: outside
      {4096, 50, 20, {0, 4096}, false},      // top edge is output 4096: outside
      {4096, 49, 421, {-6, -11}, false},     // left of and below the plot: never input 0
      {4096, 450, 220, {2048, 2048}, true},  // middle
      {16384, 450, 220, {8192, 2048}, true}, // 14-bit table: inputs scale by 16384
      {16384, 849, 420, {16363, 0}, true},
  };
  for (const Case& c : cases) {
    const LutPlotMapping map(kPlot, c.inputCount);
    const LutPoint got = map.toTable(c.px, c.py);
    EXPECT_EQ(got, c.expected) << "N " << c.inputCount << " pixel " << c.px << "," << c.py;
    EXPECT_EQ(map.contains(got), c.inside) << "pixel " << c.px << "," << c.py;
  }
}

TEST(LutPlotMapping, DrawingPositionMapsBackToTheSamePoint) {
  // A marker drawn at xOf/yOf must be hit by a press on that pixel, on both table sizes.
  for (const int n : {4096, 16384}) {
    const LutPlotMapping map(kPlot, n);
    for (const LutPoint p : {LutPoint{0, 0}, LutPoint{1234, 777}, LutPoint{n - 1, 4095}}) {
      const int px = int(map.xOf(p.input));
      const int py = int(map.yOf(p.output));
      const LutPoint back = map.toTable(px, py);
      EXPECT_LE(std::abs(back.input - p.input), n / kPlot.width() + 1) << n;
      EXPECT_LE(std::abs(back.output - p.output), 4096 / kPlot.height() + 1) << n;
    }
  }
}

// Presses in order, each with the result it must give and the list's size after it.
struct PressStep {
  LutPoint at;
  LutPressResult result;
  int sizeAfter;
  int selectedAfter;
};

void runPresses(LutPointList& list, std::initializer_list<PressStep> steps) {
  int index = 0;
  for (const PressStep& step : steps) {
    EXPECT_EQ(list.press(step.at), step.result) << "press " << index;
    EXPECT_EQ(list.size(), step.sizeAfter) << "press " << index;
    EXPECT_EQ(list.selected(), step.selectedAfter) << "press " << index;
    list.release();
    ++index;
  }
}

TEST(LutPointList, PressesAddSelectOrRefuseAsTheListRulesSay) {
  LutPointList list(4096);
  runPresses(list, {
                       {{1000, 1000}, LutPressResult::Added, 1, -1},
                       // Left of the last point: refused, list kept.
                       {{500, 2500}, LutPressResult::InvalidX, 1, -1},
                       // Same input as the last point but far from it: still left of it.
                       {{1000, 3000}, LutPressResult::InvalidX, 1, -1},
                       // Exactly 200 units off on both axes: selects, adds nothing.
                       {{1200, 800}, LutPressResult::Selected, 1, 0},
                       // 201 units off: a new point.
                       {{1201, 1000}, LutPressResult::Added, 2, -1},
                       // Outside the plot: nothing.
                       {{4096, 100}, LutPressResult::OutsidePlot, 2, -1},
                       {{3000, -1}, LutPressResult::OutsidePlot, 2, -1},
                       {{3000, 4096}, LutPressResult::OutsidePlot, 2, -1},
                   });
  EXPECT_EQ(list.points(), (std::vector<LutPoint>{{1000, 1000}, {1201, 1000}}));
  EXPECT_STREQ(lutPressMessage(LutPressResult::InvalidX), "Invalid X coordinate.");
  EXPECT_STREQ(lutPressMessage(LutPressResult::TooMany), "Exceed the number of points.");
  EXPECT_EQ(lutPressMessage(LutPressResult::Added), nullptr);
  EXPECT_EQ(lutPressMessage(LutPressResult::Selected), nullptr);
}

TEST(LutPointList, NinthPointIsRefusedAndTheEightStay) {
  LutPointList list(16384);
  for (int i = 0; i < kLutMaxPoints; ++i)
    ASSERT_EQ(list.press({1000 + 1000 * i, 100 + 400 * i}), LutPressResult::Added) << i;
  const std::vector<LutPoint> eight = list.points();
  runPresses(list, {
                       {{12000, 4000}, LutPressResult::TooMany, 8, -1},
                       // Left of the last point comes first, as the operator moved wrongly.
                       {{7500, 50}, LutPressResult::InvalidX, 8, -1},
                       // Selecting still works with a full list.
                       {{8100, 2900}, LutPressResult::Selected, 8, 7},
                   });
  EXPECT_EQ(list.points(), eight);
}

TEST(LutPointList, PressSelectsTheFirstPointWhoseSquareHoldsIt) {
  // Two points 300 units apart: a press between them lies in both squares; the first wins.
  LutPointList list(4096);
  list.assign({{1000, 1000}, {1300, 1000}});
  EXPECT_EQ(list.hitTest({1150, 1000}), 0);
  EXPECT_EQ(list.hitTest({1200, 1000}), 0);
  EXPECT_EQ(list.hitTest({1250, 1000}), 1);
  EXPECT_EQ(list.hitTest({1201, 1000}), 1);
  EXPECT_EQ(list.hitTest({1150, 1201}), -1);
}

TEST(LutPointList, DraggedPointStaysInsideThePlotAndBetweenItsNeighbours) {
  LutPointList list(4096);
  list.assign({{1000, 1000}, {2000, 2000}, {3000, 3000}});
  EXPECT_FALSE(list.moveSelected({2100, 2100})) << "nothing selected";
  ASSERT_EQ(list.press({2000, 2000}), LutPressResult::Selected);

  struct Move {
    LutPoint to;
    bool moves;
  };
  const Move moves[] = {
      {{2500, 100}, true},   {{1001, 4095}, true},
      {{1000, 2000}, false},                        // onto the left neighbour's input
      {{3000, 2000}, false},                        // onto the right neighbour's input
      {{3500, 2000}, false},                        // past it
      {{2999, 0}, true},     {{2500, 4096}, false}, // above the plot
      {{2500, -1}, false},                          // below it
  };
  LutPoint expected{2000, 2000};
  for (const Move& m : moves) {
    EXPECT_EQ(list.moveSelected(m.to), m.moves) << m.to.input << "," << m.to.output;
    if (m.moves)
      expected = m.to;
    EXPECT_EQ(list.points()[1], expected);
  }

  // The end points have a neighbour on one side only; the plot bounds them on the other.
  list.release();
  EXPECT_FALSE(list.moveSelected({2500, 2500})) << "the drag ended with the release";
  ASSERT_EQ(list.press({1000, 1000}), LutPressResult::Selected);
  EXPECT_TRUE(list.moveSelected({0, 0}));
  EXPECT_FALSE(list.moveSelected({-1, 0}));
  list.release();
  ASSERT_EQ(list.press({3000, 3000}), LutPressResult::Selected);
  EXPECT_TRUE(list.moveSelected({4095, 4095}));
  EXPECT_FALSE(list.moveSelected({4096, 4095}));
}

TEST(LutPointList, NewTableSizeDropsThePoints) {
  LutPointList list(4096);
  list.assign({{1000, 1000}});
  list.setInputCount(4096);
  EXPECT_EQ(list.size(), 1);
  list.setInputCount(16384);
  EXPECT_TRUE(list.empty());
}

TEST(LutPointRows, DialogChecksGiveTheMessageOrTheSortedPoints) {
  struct Case {
    const char* what;
    std::vector<LutPointRow> rows;
    int inputCount;
    const char* error;
    std::vector<LutPoint> points;
  };
  const Case cases[] = {
      {"no row checked empties the list", {{false, 5, 5}, {false, 5, 5}}, 4096, nullptr, {}},
      {"unchecked rows do not count",
       {{true, 300, 30}, {false, 300, 40}, {true, 100, 10}},
       4096,
       nullptr,
       {{100, 10}, {300, 30}}},
      {"two checked rows with the same input",
       {{true, 700, 30}, {true, 700, 40}},
       4096,
       kLutDuplicateXMessage,
       {}},
      {"duplicates apart in row order meet once sorted",
       {{true, 700, 30}, {true, 100, 10}, {true, 700, 40}},
       4096,
       kLutDuplicateXMessage,
       {}},
      {"input N on a 12-bit table", {{true, 4096, 30}}, 4096, kLutOutOfBoundaryMessage, {}},
      {"input N - 1 is the last input", {{true, 4095, 4095}}, 4096, nullptr, {{4095, 4095}}},
      {"output 4096", {{true, 10, 10}, {true, 20, 4096}}, 4096, kLutOutOfBoundaryMessage, {}},
      {"the last of several rows is checked too",
       {{true, 10, 10}, {true, 20, 20}, {true, 9000, 30}},
       4096,
       kLutOutOfBoundaryMessage,
       {}},
      {"14-bit table takes inputs to 16383",
       {{true, 9000, 30}, {true, 16383, 3000}},
       16384,
       nullptr,
       {{9000, 30}, {16383, 3000}}},
      {"negative input", {{true, -5, 30}}, 4096, kLutOutOfBoundaryMessage, {}},
      {"negative output", {{true, 5, 30}, {true, 50, -1}}, 4096, kLutOutOfBoundaryMessage, {}},
  };
  for (const Case& c : cases) {
    const LutPointRowsCheck check = checkLutPointRows(c.rows, c.inputCount);
    if (c.error)
      EXPECT_STREQ(check.error, c.error) << c.what;
    else
      EXPECT_EQ(check.error, nullptr) << c.what;
    EXPECT_EQ(check.points, c.points) << c.what;
  }
  EXPECT_STREQ(kLutDuplicateXMessage, "x-coordinate was duplicated.");
  EXPECT_STREQ(kLutOutOfBoundaryMessage, "x or y-coordinate was out of boundary.");
}

TEST(StraightLut, EmptyListIsTheLineFromZeroToFullScaleOnBothSizes) {
  for (const LutType type : {LutType::Bits12, LutType::Bits14}) {
    LutTable table(type);
    table.fill(1234);
    buildStraightLut({}, table);
    const int n = table.size();
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[size_t(n - 1)], 4095) << "the last input reaches full scale";
    EXPECT_EQ(table[size_t(n / 2)], uint16_t(int64_t(n / 2) * 4095 / (n - 1)));
    for (int i = 1; i < n; ++i)
      ASSERT_GE(table[size_t(i)], table[size_t(i - 1)]) << "falls at " << i;
  }
  LutTable identity(LutType::Bits12);
  LutTable built(LutType::Bits12);
  buildStraightLut({}, built);
  EXPECT_EQ(built, identity) << "on 4096 entries the line is the identity";
}

TEST(StraightLut, SegmentsRunThroughEveryPoint) {
  LutTable table(LutType::Bits12);
  buildStraightLut(std::vector<LutPoint>{{1000, 3000}, {3000, 500}}, table);
  EXPECT_EQ(table[500], 1500);
  EXPECT_EQ(table[999], 2997);
  EXPECT_EQ(table[1000], 3000);
  EXPECT_EQ(table[2000], 1750);
  EXPECT_EQ(table[3000], 500);
  EXPECT_EQ(table[3001], 500 + 3595 / 1095); // first step of the last, steep segment
  EXPECT_EQ(table[4095], 4095);

  // A point on input 0 replaces the fixed (0, 0) start.
  buildStraightLut(std::vector<LutPoint>{{0, 2000}}, table);
  EXPECT_EQ(table[0], 2000);
  EXPECT_EQ(table[4095], 4095);
  EXPECT_EQ(table[2048], 2000 + 2048 * 2095 / 4095);
}

// Gentle points along a gamma-like bow, in table units of a table of `n` entries.
std::vector<LutPoint> bowPoints(int n) {
  return {{n / 16, 900}, {n / 6, 1800}, {n / 3, 2700}, {n * 2 / 3, 3600}};
}

TEST(SmoothLut, PassesThroughItsPointsOnBothSizes) {
  for (const LutType type : {LutType::Bits12, LutType::Bits14}) {
    LutTable table(type);
    const int n = table.size();
    const std::vector<LutPoint> points = bowPoints(n);
    ASSERT_TRUE(buildSmoothLut(points, table));
    // An entry holds the last sample rounded onto its input: where the curve rises more than
    // one output per input, that is the point's output plus part of one step.
    EXPECT_LE(table[0], 2);
    EXPECT_EQ(table[size_t(n - 1)], 4095);
    for (const LutPoint& p : points)
      EXPECT_NEAR(table[size_t(p.input)], p.output, 2) << "N " << n << " at " << p.input;
    // A rising bow gives a rising table without gaps of 0 left by the fill.
    for (int i = 1; i < n; ++i)
      ASSERT_GE(table[size_t(i)], table[size_t(i - 1)]) << "N " << n << " falls at " << i;
  }
}

TEST(SmoothLut, EmptyListIsTheStraightLine) {
  for (const LutType type : {LutType::Bits12, LutType::Bits14}) {
    LutTable smooth(type);
    LutTable straight(type);
    ASSERT_TRUE(buildSmoothLut({}, smooth));
    buildStraightLut({}, straight);
    for (int i = 0; i < smooth.size(); ++i)
      ASSERT_LE(std::abs(int(smooth[size_t(i)]) - int(straight[size_t(i)])), 1) << i;
  }
}

TEST(SmoothLut, SamplesStartEachSegmentOnItsPointAndEndOnTheNext) {
  const std::vector<LutPoint> polygon{{0, 0}, {100, 300}, {400, 350}, {4095, 4095}};
  const std::vector<LutPoint> samples = smoothCurveSamples(polygon);
  // Segments give 1 + max(|dx|, |dy|) samples: 301, 301 and 3746.
  ASSERT_EQ(samples.size(), size_t(301 + 301 + 3746));
  EXPECT_EQ(samples[0], polygon[0]);
  EXPECT_EQ(samples[300], polygon[1]);
  EXPECT_EQ(samples[301], polygon[1]);
  EXPECT_EQ(samples[601], polygon[2]);
  EXPECT_EQ(samples[602], polygon[2]);
  EXPECT_EQ(samples.back(), polygon[3]);
}

TEST(SmoothLut, PointOnAFixedEndDoesNotBreakTheCurve) {
  // A point placed on (0, 0) or (N-1, 4095) has no chord to the fixed end; the curve must be
  // the one without it, not a table of garbage from a division by zero.
  LutTable plain(LutType::Bits12);
  LutTable withEnds(LutType::Bits12);
  const std::vector<LutPoint> middle{{1500, 2500}};
  ASSERT_TRUE(buildSmoothLut(middle, plain));
  ASSERT_TRUE(buildSmoothLut(std::vector<LutPoint>{{0, 0}, {1500, 2500}, {4095, 4095}}, withEnds));
  EXPECT_EQ(withEnds, plain);
}

TEST(SmoothLut, CurveSwingingLeftOfInputZeroStaysInTheTable) {
  // Steep points make the curve loop left of input 0 and beyond full scale. Those samples have
  // no entry: they must be dropped, not written before the table's start, and the outputs
  // clamped to 0..4095.
  const std::vector<LutPoint> points{{5, 4000}, {10, 0}, {15, 4090}};
  const std::vector<LutPoint> samples = smoothCurveSamples(lutControlPolygon(points, 4096));
  ASSERT_LT(std::min_element(samples.begin(), samples.end(),
                             [](auto& a, auto& b) { return a.input < b.input; })
                ->input,
            0)
      << "the case no longer swings left of 0";
  LutTable table(LutType::Bits12);
  table.fill(7);
  ASSERT_TRUE(buildSmoothLut(points, table));
  EXPECT_TRUE(std::all_of(table.values().begin(), table.values().end(),
                          [](uint16_t v) { return v <= 4095; }));
  // Past the last point the curve runs along full scale with no entry left at 0.
  EXPECT_TRUE(std::all_of(table.values().begin() + 16, table.values().end(),
                          [](uint16_t v) { return v >= 4000; }));
  EXPECT_EQ(table[4095], 4095);
}

TEST(LutPointsToTable, KindChoosesTheBuilder) {
  const std::vector<LutPoint> points{{2000, 500}};
  LutTable straight(LutType::Bits12), smooth(LutType::Bits12), viaKind(LutType::Bits12);
  buildStraightLut(points, straight);
  ASSERT_TRUE(buildSmoothLut(points, smooth));
  ASSERT_NE(straight, smooth);
  ASSERT_TRUE(buildLutFromPoints(LutCurveKind::Straight, points, viaKind));
  EXPECT_EQ(viaKind, straight);
  ASSERT_TRUE(buildLutFromPoints(LutCurveKind::Smooth, points, viaKind));
  EXPECT_EQ(viaKind, smooth);
}

TEST(LutColumns, EveryEntryLiesInItsColumnsStroke) {
  // A random table with single-entry spikes: a summary that sampled entries instead of
  // covering them would lose the spikes from the picture.
  std::mt19937 random(11);
  LutTable table(LutType::Bits14);
  for (auto& v : table.values())
    v = uint16_t(random() % 4096);
  table[7000] = 4095;
  table[7001] = 0;
  std::vector<LutColumn> columns(600);
  summariseLutColumns(table.values(), columns);
  int previousColumn = -1;
  for (int i = 0; i < table.size(); ++i) {
    const int c = int(int64_t(i) * 600 / table.size());
    const LutColumn& column = columns[size_t(c)];
    ASSERT_TRUE(column.hasData);
    ASSERT_GE(table[size_t(i)], column.low) << i;
    ASSERT_LE(table[size_t(i)], column.high) << i;
    if (c != previousColumn) {
      ASSERT_EQ(column.first, table[size_t(i)]) << "first entry of column " << c;
    }
    if (i + 1 == table.size() || int(int64_t(i + 1) * 600 / table.size()) != c) {
      ASSERT_EQ(column.last, table[size_t(i)]) << "last entry of column " << c;
    }
    previousColumn = c;
  }
  EXPECT_EQ(columns[size_t(7000 * 600 / 16384)].high, 4095);
  EXPECT_EQ(columns[size_t(7000 * 600 / 16384)].low, 0);
}

TEST(LutColumns, NoDataEntriesAreMarkedAndLeftOutOfTheStroke) {
  LutTable table(LutType::Bits12);
  table.fill(kLutNoData);
  for (int i = 0; i < 8; ++i)
    table[size_t(i)] = uint16_t(100 + i);
  std::vector<LutColumn> columns(4);
  summariseLutColumns(table.values(), columns);
  EXPECT_TRUE(columns[0].hasData);
  EXPECT_TRUE(columns[0].noData);
  EXPECT_EQ(columns[0].first, 100);
  EXPECT_EQ(columns[0].last, 107);
  EXPECT_EQ(columns[0].high, 107);
  for (size_t c = 1; c < 4; ++c) {
    EXPECT_FALSE(columns[c].hasData) << c;
    EXPECT_TRUE(columns[c].noData) << c;
  }
}

TEST(LutColumns, MoreColumnsThanEntriesLeaveGapsNotCrashes) {
  const std::vector<uint16_t> values{10, 20, 30};
  std::vector<LutColumn> columns(7);
  summariseLutColumns(values, columns);
  EXPECT_EQ(std::count_if(columns.begin(), columns.end(), [](auto& c) { return c.hasData; }), 3);
  EXPECT_EQ(columns[0].first, 10);
  EXPECT_EQ(columns[2].first, 20);
  EXPECT_EQ(columns[4].first, 30);
}

} // namespace
} // namespace kelpax
