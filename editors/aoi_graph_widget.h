// CAOIGraph: the sensor drawn scaled into the widget, and the regions of the multi-region table
// as rectangles over it, each labelled with its number. The switched-on region under the
// pointer is drawn highlighted and reported.
#pragma once

#include <QWidget>
#include <optional>

#include "editors/multi_roi.h"

namespace kelpax {

class CAOIGraph : public QWidget {
  Q_OBJECT

public:
  explicit CAOIGraph(QWidget* parent = nullptr);

  // The sensor and the regions to draw; redraws.
  void setRegions(int sensorWidth, int sensorHeight, const RoiTable& table);
  // The region row drawn highlighted, -1 for none.
  void setSelectedRow(int row);

  QSize sizeHint() const override { return {320, 320}; }
  // Where a sensor rectangle lands in the widget, for tests and the pointer.
  QRectF sensorRectIn() const;
  // Where region `row` is drawn: its rectangle scaled and clipped to the sensor; empty when
  // nothing of it lies on the sensor.
  QRectF regionRectIn(int row) const;
  // The first switched-on region, in table order, whose drawn rectangle holds `point` (widget
  // coordinates); -1 for none.
  int regionAt(QPointF point) const;
  // The region under the pointer now, -1 for none.
  int hoveredRow() const { return hovered_; }

Q_SIGNALS:
  // The pointer over the sensor, in sensor pixels.
  void pointerMoved(double x, double y);
  // The region under the pointer changed: its row, or -1 over no region and when the pointer
  // has left the graph.
  void regionUnderPointerChanged(int row);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

private:
  void pointerAt(std::optional<QPointF> point);
  void setHovered(int row);

  int sensorWidth_ = 0;
  int sensorHeight_ = 0;
  RoiTable table_;
  int selected_ = -1;
  int hovered_ = -1;
  // Where the pointer is while it is over the graph.
  std::optional<QPointF> pointer_;
};

} // namespace kelpax
