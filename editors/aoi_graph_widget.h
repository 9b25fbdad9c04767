// CAOIGraph: the sensor drawn scaled into the widget, and the regions of the multi-region table
// as rectangles over it, each labelled with its number.
#pragma once

#include <QWidget>

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

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  int sensorWidth_ = 0;
  int sensorHeight_ = 0;
  RoiTable table_;
  int selected_ = -1;
};

} // namespace kelpax
