// The look-up table graph: draws a page's table as a curve and, in point mode, lets the operator
// place up to eight control points with the mouse or in the point dialog and turn them into a
// table by straight segments or a smooth curve.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "editors/lut_curve.h"
#include "editors/lut_table.h"

namespace kelpax {

class CIntegerEdit;
class CLutConfigDlg;

// Shows a message box's text ("Invalid X coordinate."); tests record it instead.
using LutGraphMessage = std::function<void(const QString& text)>;

class CLUTGraph : public QWidget {
  Q_OBJECT

public:
  // The graph draws (and, when points are applied, writes) the page's table; the table must
  // outlive the graph. Its size (4096 or 16384 inputs) is read on every refresh.
  explicit CLUTGraph(LutTable& table, QWidget* parent = nullptr);
  ~CLUTGraph() override;

  LutTable& table() const { return table_; }

  // Point mode: presses place, select and drag control points; markers are drawn.
  bool pointMode() const { return pointMode_; }
  void setPointMode(bool on);

  LutCurveKind curveKind() const { return curveKind_; }
  void setCurveKind(LutCurveKind kind) { curveKind_ = kind; }

  const std::vector<LutPoint>& points() const { return points_.points(); }
  int selectedPoint() const { return points_.selected(); }
  // Replaces the control points (the point dialog's OK); the caller checked them.
  void setPoints(std::vector<LutPoint> points);
  // Empties the control points ("Clear").
  void clearPoints();

  // Builds the table from the control points with the curve kind, leaves point mode and
  // redraws; the smooth curve also empties the points. Emits tableChanged. False when
  // nothing was built (the table is as it was).
  bool applyPoints();

  // Opens the point dialog over the graph ("Config"), window-modal, and returns it; it deletes
  // itself when closed.
  CLutConfigDlg* openConfigDialog();

  void setMessageSink(LutGraphMessage sink) { message_ = std::move(sink); }
  // Shows a message through the sink, or a message box without one.
  void showMessage(const QString& text);

  // The plot rectangle for the widget's current size, and pixels to table units over it.
  LutPlotRect plotRect() const;
  LutPlotMapping mapping() const { return {plotRect(), table_.size()}; }

  QSize sizeHint() const override { return {480, 400}; }
  QSize minimumSizeHint() const override { return {200, 160}; }

public Q_SLOTS:
  // The table changed under the graph (gamma, a loaded file, an upload, a new type): redraw.
  void refresh();

Q_SIGNALS:
  // The graph wrote a new table from its control points.
  void tableChanged();
  // Points were added, moved, removed or replaced.
  void pointsChanged();
  void pointModeChanged(bool on);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  void summarise();
  void updateCursor(const QPoint& at);

  LutTable& table_;
  LutPointList points_;
  bool pointMode_ = false;
  bool dragging_ = false;
  LutCurveKind curveKind_ = LutCurveKind::Straight;
  // One entry per pixel column of the plot, rebuilt when the table or the width changes.
  std::vector<LutColumn> columns_;
  bool columnsStale_ = true;
  LutGraphMessage message_;
  QPointer<CLutConfigDlg> config_;
};

// "Userdraw configuration": eight rows of "Uses", input and output, filled from the graph's
// points; OK checks them and hands them to the graph.
class CLutConfigDlg : public QDialog {
  Q_OBJECT

public:
  static constexpr int kRows = kLutMaxPoints;

  explicit CLutConfigDlg(CLUTGraph& graph, QWidget* parent = nullptr);

  QCheckBox* uses(int row) const { return uses_[size_t(row)]; }
  CIntegerEdit* inputEdit(int row) const { return input_[size_t(row)]; }
  CIntegerEdit* outputEdit(int row) const { return output_[size_t(row)]; }

  // The rows as typed.
  std::vector<LutPointRow> rows() const;

public Q_SLOTS:
  // OK: on a duplicated input or a value out of bounds the message is shown and the dialog
  // stays open.
  void accept() override;

private:
  CLUTGraph& graph_;
  std::array<QCheckBox*, kRows> uses_{};
  std::array<CIntegerEdit*, kRows> input_{};
  std::array<CIntegerEdit*, kRows> output_{};
};

} // namespace kelpax
