// The region picture of the multi-region dialog.
#include "editors/aoi_graph_widget.h"

#include <QEnterEvent>
#include <QFont>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace kelpax {
namespace {
constexpr int kMargin = 8;
} // namespace

CAOIGraph::CAOIGraph(QWidget* parent) : QWidget(parent) {
  setMinimumSize(200, 200);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Moves arrive without a button held, so the region under the pointer can follow it.
  setMouseTracking(true);
}

void CAOIGraph::setRegions(int sensorWidth, int sensorHeight, const RoiTable& table) {
  sensorWidth_ = sensorWidth;
  sensorHeight_ = sensorHeight;
  table_ = table;
  // The pointer may now be over another region, or over one switched off.
  if (pointer_)
    setHovered(regionAt(*pointer_));
  else
    setHovered(-1);
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

QRectF CAOIGraph::regionRectIn(int row) const {
  if (row < 0 || row >= table_.size() || sensorWidth_ <= 0 || sensorHeight_ <= 0)
    return {};
  const QRectF sensor = sensorRectIn();
  const double scale = sensor.width() / sensorWidth_;
  const RoiRegion& r = table_.row(row);
  const QRectF box(sensor.left() + r.x * scale, sensor.top() + r.y * scale, r.width * scale,
                   r.height * scale);
  const QRectF shown = box.intersected(sensor);
  return shown.isEmpty() ? QRectF() : shown;
}

int CAOIGraph::regionAt(QPointF point) const {
  for (int i = 0; i < table_.size(); ++i) {
    if (!table_.row(i).on)
      continue;
    const QRectF shown = regionRectIn(i);
    if (!shown.isEmpty() && shown.contains(point))
      return i;
  }
  return -1;
}

void CAOIGraph::setHovered(int row) {
  if (row == hovered_)
    return;
  hovered_ = row;
  update();
  Q_EMIT regionUnderPointerChanged(row);
}

void CAOIGraph::pointerAt(std::optional<QPointF> point) {
  pointer_ = point;
  if (!point) {
    setHovered(-1);
    return;
  }
  const QRectF sensor = sensorRectIn();
  if (sensorWidth_ > 0 && sensorHeight_ > 0 && sensor.contains(*point)) {
    const double scale = sensor.width() / sensorWidth_;
    Q_EMIT pointerMoved((point->x() - sensor.left()) / scale, (point->y() - sensor.top()) / scale);
  }
  setHovered(regionAt(*point));
}

void CAOIGraph::mouseMoveEvent(QMouseEvent* event) {
  pointerAt(event->position());
  QWidget::mouseMoveEvent(event);
}

void CAOIGraph::enterEvent(QEnterEvent* event) {
  pointerAt(event->position());
  QWidget::enterEvent(event);
}

void CAOIGraph::leaveEvent(QEvent* event) {
  pointerAt(std::nullopt);
  QWidget::leaveEvent(event);
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
  QFont font(QStringLiteral("Verdana"));
  font.setPointSize(8);
  painter.setFont(font);
  for (int i = 0; i < table_.size(); ++i) {
    const RoiRegion& r = table_.row(i);
    const QRectF shown = regionRectIn(i);
    if (shown.isEmpty())
      continue;
    if (!r.on && i != selected_)
      continue; // regions that do not read out are drawn only when chosen
    const QColor colour = !r.on ? QColor(120, 120, 120) : QColor::fromHsv((i * 47) % 360, 200, 240);
    const bool hovered = i == hovered_;
    QColor fill = hovered ? colour.lighter(150) : colour;
    fill.setAlpha(hovered ? 170 : i == selected_ ? 110 : 60);
    painter.fillRect(shown, fill);
    painter.setPen(QPen(hovered ? QColor(Qt::white) : colour, i == selected_ || hovered ? 3 : 1.5,
                        r.on ? Qt::SolidLine : Qt::DashLine));
    painter.drawRect(shown);
    painter.setPen(Qt::white);
    painter.drawText(shown.adjusted(3, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop,
                     QString::asprintf("%d (H)", i));
  }
}

} // namespace kelpax
