// The curve editor's rules and builders; see lut_curve.h.
#include "editors/lut_curve.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kelpax {

namespace {

// Integer division rounding towards minus infinity.
int64_t floorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0)))
    --q;
  return q;
}

uint16_t clampOutput(int64_t value) {
  return uint16_t(std::clamp<int64_t>(value, 0, kLutMaxOutput));
}

// Solves a tridiagonal system in place (Thomas algorithm): lower[i] T[i-1] + diag[i] T[i] +
// upper[i] T[i+1] = rhs[i]. The diagonals of the curve's system dominate, so no pivoting.
std::vector<double> solveTridiagonal(const std::vector<double>& lower, std::vector<double> diag,
                                     const std::vector<double>& upper, std::vector<double> rhs) {
  const size_t n = diag.size();
  for (size_t i = 1; i < n; ++i) {
    const double factor = lower[i] / diag[i - 1];
    diag[i] -= factor * upper[i - 1];
    rhs[i] -= factor * rhs[i - 1];
  }
  std::vector<double> result(n);
  result[n - 1] = rhs[n - 1] / diag[n - 1];
  for (size_t i = n - 1; i-- > 0;)
    result[i] = (rhs[i] - upper[i] * result[i + 1]) / diag[i];
  return result;
}

} // namespace

LutPoint LutPlotMapping::toTable(int px, int py) const {
  const int w = std::max(plot_.width(), 1);
  const int h = std::max(plot_.height(), 1);
  return {int32_t(floorDiv(int64_t(px - plot_.left) * inputCount_, w)),
          int32_t(floorDiv(int64_t(plot_.bottom - py) * kLutOutputCount, h))};
}

double LutPlotMapping::xOf(double input) const {
  return plot_.left + input * plot_.width() / inputCount_;
}

double LutPlotMapping::yOf(double output) const {
  return plot_.bottom - output * plot_.height() / kLutOutputCount;
}

bool LutPlotMapping::contains(LutPoint at) const {
  return at.input >= 0 && at.input < inputCount_ && at.output >= 0 && at.output < kLutOutputCount;
}

const char* lutPressMessage(LutPressResult result) {
  switch (result) {
  case LutPressResult::InvalidX:
    return kLutInvalidXMessage;
  case LutPressResult::TooMany:
    return kLutTooManyPointsMessage;
  default:
    return nullptr;
  }
}

void LutPointList::setInputCount(int inputCount) {
  if (inputCount == inputCount_)
    return;
  inputCount_ = inputCount;
  clear();
}

int LutPointList::hitTest(LutPoint at) const {
  for (size_t i = 0; i < points_.size(); ++i) {
    const LutPoint& p = points_[i];
    if (std::abs(int64_t(at.input) - p.input) <= kLutHitRange &&
        std::abs(int64_t(at.output) - p.output) <= kLutHitRange)
      return int(i);
  }
  return -1;
}

LutPressResult LutPointList::press(LutPoint at) {
  selected_ = hitTest(at);
  if (selected_ >= 0)
    return LutPressResult::Selected;
  if (!inside(at))
    return LutPressResult::OutsidePlot;
  if (!points_.empty() && points_.back().input >= at.input)
    return LutPressResult::InvalidX;
  if (int(points_.size()) >= kLutMaxPoints)
    return LutPressResult::TooMany;
  points_.push_back(at);
  return LutPressResult::Added;
}

bool LutPointList::moveSelected(LutPoint to) {
  if (selected_ < 0 || selected_ >= int(points_.size()) || !inside(to))
    return false;
  const size_t i = size_t(selected_);
  if (i > 0 && to.input <= points_[i - 1].input)
    return false;
  if (i + 1 < points_.size() && to.input >= points_[i + 1].input)
    return false;
  points_[i] = to;
  return true;
}

void LutPointList::clear() {
  points_.clear();
  selected_ = -1;
}

void LutPointList::assign(std::vector<LutPoint> points) {
  points_ = std::move(points);
  if (points_.size() > size_t(kLutMaxPoints))
    points_.resize(size_t(kLutMaxPoints));
  selected_ = -1;
}

LutPointRowsCheck checkLutPointRows(std::span<const LutPointRow> rows, int inputCount) {
  LutPointRowsCheck check;
  for (const LutPointRow& row : rows)
    if (row.uses)
      check.points.push_back({row.input, row.output});
  std::stable_sort(check.points.begin(), check.points.end(),
                   [](const LutPoint& a, const LutPoint& b) { return a.input < b.input; });
  // Every point is checked against the table's bounds, negative values included: a point
  // outside the plot could never be selected or moved again.
  for (size_t i = 0; i < check.points.size(); ++i) {
    const LutPoint& p = check.points[i];
    if (i > 0 && check.points[i - 1].input == p.input) {
      check.error = kLutDuplicateXMessage;
      break;
    }
    if (p.input < 0 || p.input >= inputCount || p.output < 0 || p.output >= kLutOutputCount) {
      check.error = kLutOutOfBoundaryMessage;
      break;
    }
  }
  if (check.error)
    check.points.clear();
  return check;
}

std::vector<LutPoint> lutControlPolygon(std::span<const LutPoint> points, int inputCount) {
  std::vector<LutPoint> polygon;
  polygon.reserve(points.size() + 2);
  polygon.push_back({0, 0});
  polygon.insert(polygon.end(), points.begin(), points.end());
  polygon.push_back({inputCount - 1, kLutMaxOutput});
  return polygon;
}

void buildStraightLut(std::span<const LutPoint> points, LutTable& table) {
  const int n = table.size();
  const std::vector<LutPoint> polygon = lutControlPolygon(points, n);
  std::span<uint16_t> values = table.values();
  std::fill(values.begin(), values.end(), uint16_t(0));
  for (size_t i = 0; i + 1 < polygon.size(); ++i) {
    const LutPoint a = polygon[i];
    const LutPoint b = polygon[i + 1];
    if (b.input <= a.input)
      continue;
    const int64_t dx = int64_t(b.input) - a.input;
    const int64_t dy = int64_t(b.output) - a.output;
    const int from = std::max(a.input, 0);
    const int to = std::min(b.input, n);
    for (int x = from; x < to; ++x)
      values[size_t(x)] = clampOutput(a.output + (int64_t(x) - a.input) * dy / dx);
  }
  // Each segment stops short of its end, so the last entry would stay 0 and the line would
  // drop to black at full input. It takes the last point's output, 4095.
  values[size_t(n - 1)] = clampOutput(polygon.back().output);
}

std::vector<LutPoint> smoothCurveSamples(std::span<const LutPoint> polygon) {
  // Consecutive equal points (a point placed on the fixed first or last one) have no chord:
  // the ratios would divide by zero. The curve goes through such a point once.
  std::vector<LutPoint> p;
  for (const LutPoint& point : polygon)
    if (p.empty() || !(p.back() == point))
      p.push_back(point);
  std::vector<LutPoint> samples;
  if (p.size() < 2) {
    samples.assign(p.begin(), p.end());
    return samples;
  }

  const size_t n = p.size();
  const size_t segments = n - 1;
  std::vector<double> dx(segments), dy(segments), length(segments), ratio(segments);
  for (size_t i = 0; i < segments; ++i) {
    dx[i] = double(p[i + 1].input) - p[i].input;
    dy[i] = double(p[i + 1].output) - p[i].output;
    length[i] = std::sqrt(dx[i] * dx[i] + dy[i] * dy[i]);
  }
  for (size_t i = 0; i + 1 < segments; ++i)
    ratio[i] = length[i] / length[i + 1];
  ratio[segments - 1] = 1.0;

  std::vector<double> lower(n, 0.0), diag(n, 0.0), upper(n, 0.0);
  std::vector<double> rhsX(n), rhsY(n);
  diag[0] = 2.0;
  upper[0] = ratio[0];
  rhsX[0] = 3.0 * dx[0];
  rhsY[0] = 3.0 * dy[0];
  for (size_t i = 1; i + 1 < n; ++i) {
    const double r = ratio[i - 1];
    lower[i] = 1.0;
    diag[i] = 2.0 * r * (1.0 + r);
    upper[i] = r * r * ratio[i];
    rhsX[i] = 3.0 * (r * r * dx[i] + dx[i - 1]);
    rhsY[i] = 3.0 * (r * r * dy[i] + dy[i - 1]);
  }
  lower[n - 1] = 1.0;
  diag[n - 1] = 2.0 * ratio[n - 2];
  rhsX[n - 1] = 3.0 * dx[n - 2];
  rhsY[n - 1] = 3.0 * dy[n - 2];
  const std::vector<double> tx = solveTridiagonal(lower, diag, upper, rhsX);
  const std::vector<double> ty = solveTridiagonal(lower, diag, upper, rhsY);

  for (size_t i = 0; i < segments; ++i) {
    const int64_t m =
        std::max<int64_t>({int64_t(std::abs(dx[i])), int64_t(std::abs(dy[i])), int64_t(1)});
    samples.push_back(p[i]);
    const double endX = ratio[i] * tx[i + 1];
    const double endY = ratio[i] * ty[i + 1];
    for (int64_t k = 1; k <= m; ++k) {
      const double t = double(k) / double(m);
      const double h = 3 * t * t - 2 * t * t * t;
      const double startWeight = t * (t - 1) * (t - 1);
      const double endWeight = t * t * (t - 1);
      const double x = p[i].input + h * dx[i] + startWeight * tx[i] + endWeight * endX;
      const double y = p[i].output + h * dy[i] + startWeight * ty[i] + endWeight * endY;
      samples.push_back({int32_t(std::lround(x)), int32_t(std::lround(y))});
    }
  }
  return samples;
}

bool buildSmoothLut(std::span<const LutPoint> points, LutTable& table) {
  const int n = table.size();
  const std::vector<LutPoint> samples = smoothCurveSamples(lutControlPolygon(points, n));
  if (samples.size() < size_t(n))
    return false;
  std::span<uint16_t> values = table.values();
  std::fill(values.begin(), values.end(), uint16_t(0));
  bool havePrevious = false;
  LutPoint previous;
  for (const LutPoint& s : samples) {
    // A curve that swings left of input 0 has nothing to write there.
    if (s.input < 0 || s.input >= n)
      continue;
    if (havePrevious)
      for (int32_t x = previous.input + 1; x < s.input; ++x)
        values[size_t(x)] = clampOutput(previous.output);
    values[size_t(s.input)] = clampOutput(s.output);
    previous = s;
    havePrevious = true;
  }
  values[size_t(n - 1)] = kLutMaxOutput;
  return true;
}

bool buildLutFromPoints(LutCurveKind kind, std::span<const LutPoint> points, LutTable& table) {
  if (kind == LutCurveKind::Smooth)
    return buildSmoothLut(points, table);
  buildStraightLut(points, table);
  return true;
}

void summariseLutColumns(std::span<const uint16_t> values, std::vector<LutColumn>& columns) {
  std::fill(columns.begin(), columns.end(), LutColumn{});
  const int64_t count = int64_t(values.size());
  const int64_t width = int64_t(columns.size());
  if (count == 0 || width == 0)
    return;
  for (int64_t i = 0; i < count; ++i) {
    const uint16_t v = values[size_t(i)];
    LutColumn& c = columns[size_t(i * width / count)];
    if (v > kLutMaxOutput) {
      c.noData = true;
      continue;
    }
    if (!c.hasData) {
      c.first = c.low = c.high = v;
      c.hasData = true;
    } else {
      c.low = std::min(c.low, v);
      c.high = std::max(c.high, v);
    }
    c.last = v;
  }
}

} // namespace kelpax
