// The region picture of the multi-region dialog.
#include "editors/aoi_graph_widget.h"

#include <QFont>
#include <QPainter>

namespace kelpax {
namespace {
constexpr int kMargin = 8;
} // namespace

CAOIGraph::CAOIGraph(QWidget* parent) : QWidget(parent) {
  setMinimumSize(200, 200);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CAOIGraph::setRegions(int sensorWidth, int sensorHeight, const RoiTable& table) {
  sensorWidth_ = sensorWidth;
  sensorHeight_ = sensorHeight;
  table_ = table;
  update();
}

void CAOIGraph::setSelectedRow(int row) {
  selected_ = row;
  update();
}

QRectF CAOIGraph::sensorRectIn() const {
  const QRectF area = QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin);
  if (sensorWidth_ <= 0 || sensorHeight_ <= 0 || area.width() <= 0 || area.height() <= 0)
    return area;
  // The sensor keeps its aspect ratio, centred.
  const double scale = std::min(area.width() / sensorWidth_, area.height() / sensorHeight_);
  const QSizeF size(sensorWidth_ * scale, sensorHeight_ * scale);
  return QRectF(area.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

void CAOIGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const QRectF sensor = sensorRectIn();
  painter.fillRect(sensor, QColor(40, 40, 48));
  painter.setPen(QPen(QColor(150, 150, 160), 1));
  painter.drawRect(sensor);
  if (sensorWidth_ <= 0 || sensorHeight_ <= 0)
    return;
  const double scale = sensor.width() / sensorWidth_;
  QFont font(QStringLiteral("Verdana"));
  font.setPointSize(8);
  painter.setFont(font);
  for (int i = 0; i < table_.size(); ++i) {
    const RoiRegion& r = table_.row(i);
    const QRectF box(sensor.left() + r.x * scale, sensor.top() + r.y * scale, r.width * scale,
                     r.height * scale);
    const QRectF shown = box.intersected(sensor);
    if (shown.isEmpty())
      continue;
    const QColor colour = !r.on ? QColor(120, 120, 120) : QColor::fromHsv((i * 47) % 360, 200, 240);
    if (!r.on && i != selected_)
      continue; // regions that do not read out are drawn only when chosen
    QColor fill = colour;
    fill.setAlpha(i == selected_ ? 110 : 60);
    painter.fillRect(shown, fill);
    painter.setPen(QPen(colour, i == selected_ ? 3 : 1.5, r.on ? Qt::SolidLine : Qt::DashLine));
    painter.drawRect(shown);
    painter.setPen(Qt::white);
    painter.drawText(shown.adjusted(3, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop,
                     QString::asprintf("%d (H)", i));
  }
}

} // namespace kelpax
