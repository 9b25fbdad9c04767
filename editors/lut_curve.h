// The look-up table curve editor without its window: the mapping between graph pixels and table
// units, the control points the operator places, the point dialog's checks, the two builders
// that turn points into a table, and the per-column summary the graph draws from.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "editors/lut_table.h"

namespace kelpax {

// One control point in table units: an input (0 .. N-1) and an output (0 .. 4095).
struct LutPoint {
  int32_t input = 0;
  int32_t output = 0;
  friend bool operator==(const LutPoint&, const LutPoint&) = default;
};

inline constexpr int kLutMaxPoints = 8;
// A press selects a point when it lies within this many table units of it, on both axes.
inline constexpr int kLutHitRange = 200;

inline constexpr const char* kLutInvalidXMessage = "Invalid X coordinate.";
inline constexpr const char* kLutTooManyPointsMessage = "Exceed the number of points.";
inline constexpr const char* kLutDuplicateXMessage = "x-coordinate was duplicated.";
inline constexpr const char* kLutOutOfBoundaryMessage = "x or y-coordinate was out of boundary.";

// How a point list becomes a table: straight segments or a smooth curve through the points.
enum class LutCurveKind { Straight = 0, Smooth = 1 };

// The plot rectangle of the graph, in widget pixels (right and bottom are the far edges).
struct LutPlotRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

// Pixels to table units and back. Inputs span the table size N over the plot's width, outputs
// span 4096 over its height, 0 at the bottom.
class LutPlotMapping {
public:
  LutPlotMapping(LutPlotRect plot, int inputCount) : plot_(plot), inputCount_(inputCount) {}

  const LutPlotRect& plot() const { return plot_; }
  int inputCount() const { return inputCount_; }

  // The table position under a pixel. Rounds towards minus infinity, so a pixel left of or
  // below the plot never maps onto input or output 0.
  LutPoint toTable(int px, int py) const;
  double xOf(double input) const;
  double yOf(double output) const;
  // Inside the plot: 0 <= input < N and 0 <= output < 4096.
  bool contains(LutPoint at) const;

private:
  LutPlotRect plot_;
  int inputCount_;
};

// What a press in point mode did.
enum class LutPressResult {
  Selected,    // an existing point was hit and is now selected
  Added,       // a new point was appended
  InvalidX,    // left of (or on) the last point: "Invalid X coordinate."
  TooMany,     // eight points already: "Exceed the number of points."
  OutsidePlot, // nothing happened
};

// The message a press result shows, or nullptr.
const char* lutPressMessage(LutPressResult result);

// The operator's control points: at most eight, strictly increasing in input, and the one
// being dragged.
class LutPointList {
public:
  explicit LutPointList(int inputCount = 4096) : inputCount_(inputCount) {}

  const std::vector<LutPoint>& points() const { return points_; }
  int size() const { return int(points_.size()); }
  bool empty() const { return points_.empty(); }
  int selected() const { return selected_; }
  int inputCount() const { return inputCount_; }
  // A new table size drops the points: they were placed on the old scale.
  void setInputCount(int inputCount);

  // The first point whose square of +-200 units contains the position, or -1.
  int hitTest(LutPoint at) const;
  // A left-button press at a table position.
  LutPressResult press(LutPoint at);
  // Moves the selected point to the position when it stays inside the plot and strictly
  // between its neighbours' inputs; false (and the point stays) otherwise or without a
  // selection.
  bool moveSelected(LutPoint to);
  // The button came up: the drag is over.
  void release() { selected_ = -1; }
  void clear();
  // Replaces the list as the point dialog does; the caller checked the points.
  void assign(std::vector<LutPoint> points);

private:
  bool inside(LutPoint at) const {
    return at.input >= 0 && at.input < inputCount_ && at.output >= 0 && at.output < kLutOutputCount;
  }

  int inputCount_;
  std::vector<LutPoint> points_;
  int selected_ = -1;
};

// One row of the point dialog.
struct LutPointRow {
  bool uses = false;
  int32_t input = 0;
  int32_t output = 0;
};

// The point dialog's OK: the checked rows sorted by input, or the message that keeps the
// dialog open (error set, points empty).
struct LutPointRowsCheck {
  std::vector<LutPoint> points;
  const char* error = nullptr;
};
LutPointRowsCheck checkLutPointRows(std::span<const LutPointRow> rows, int inputCount);

// The points with the fixed first point (0, 0) and last point (N-1, 4095) around them.
std::vector<LutPoint> lutControlPolygon(std::span<const LutPoint> points, int inputCount);

// Straight segments between the points of the control polygon, into a table of the table's
// size.
void buildStraightLut(std::span<const LutPoint> points, LutTable& table);

// The samples of the chord-length cubic spline through a control polygon: every segment gives
// its start point and then max(|dx|, |dy|, 1) samples, rounded half away from zero.
std::vector<LutPoint> smoothCurveSamples(std::span<const LutPoint> polygon);

// The smooth curve through the points into the table; false (table untouched) when the curve
// gives fewer samples than the table has entries.
bool buildSmoothLut(std::span<const LutPoint> points, LutTable& table);

// Either builder by kind; false when nothing was built.
bool buildLutFromPoints(LutCurveKind kind, std::span<const LutPoint> points, LutTable& table);

// What one pixel column of the graph shows: the first and last entries that fall in it (so
// neighbouring columns join up) and the lowest and highest, which the column's vertical stroke
// covers. Drawing these four per column gives the same picture as drawing every entry.
struct LutColumn {
  uint16_t first = 0;
  uint16_t low = 0;
  uint16_t high = 0;
  uint16_t last = 0;
  bool hasData = false; // some entry of the column holds a value
  bool noData = false;  // some entry of the column holds the no-data value
};

// Summarises the table into `columns` columns; entry i falls in column i * columns / N.
// With more columns than entries, every entry gets the column it starts in and the others stay
// empty.
void summariseLutColumns(std::span<const uint16_t> values, std::vector<LutColumn>& columns);

} // namespace kelpax
