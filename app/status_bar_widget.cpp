// The main window's status line.
#include "app/status_bar_widget.h"

#include <QEvent>
#include <QPainter>

#include "pages/control_widgets.h"

namespace kelpax {

// Icons 144 and 145: the link to the camera is up, or it is not.
QIcon linkIcon(bool up) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(40, 40, 40), 1));
  painter.setBrush(up ? QColor(0x2e, 0xb8, 0x4b) : QColor(0xc8, 0x32, 0x32));
  painter.drawEllipse(QRectF(2, 2, 12, 12));
  return QIcon(pixmap);
}

CMyStatusBar::CMyStatusBar(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CMyStatusBar::showStatus(const std::string& text) {
  // Camera answers are bytes; show them one character a byte, on one line: the answer's line
  // ends become blanks.
  std::string line;
  line.reserve(text.size());
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      if (!line.empty() && line.back() != ' ')
        line += ' ';
      continue;
    }
    line += c;
  }
  setPartText(0, QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
}

void CMyStatusBar::setPartText(int part, const QString& text) {
  if (part < 0 || part >= kParts)
    return;
  texts_[static_cast<size_t>(part)] = text;
  update(partRect(part));
}

QString CMyStatusBar::partText(int part) const {
  if (part < 0 || part >= kParts)
    return {};
  return texts_[static_cast<size_t>(part)];
}

void CMyStatusBar::setPartIcon(int part, const QIcon& icon) {
  if (part < 0 || part >= kParts)
    return;
  icons_[static_cast<size_t>(part)] = icon;
  update(partRect(part));
}

QIcon CMyStatusBar::partIcon(int part) const {
  if (part < 0 || part >= kParts)
    return {};
  return icons_[static_cast<size_t>(part)];
}

void CMyStatusBar::setDrawnText(const QString& text) {
  drawnText_ = text;
  update(partRect(kDrawnPart));
}

void CMyStatusBar::setProgressBar(QProgressBar* bar) {
  if (progressBar_)
    progressBar_->removeEventFilter(this);
  progressBar_ = bar;
  if (bar) {
    bar->setParent(this);
    bar->installEventFilter(this);
    placeProgressBar();
  }
}

QRect CMyStatusBar::partRect(int part) const {
  const double w = width();
  const int edges[kParts] = {static_cast<int>(w / 2.1), static_cast<int>(w / 1.65),
                             static_cast<int>(w / 1.25), width()};
  if (part < 0 || part >= kParts)
    return {};
  const int left = part == 0 ? 0 : edges[part - 1];
  return QRect(left, 0, edges[part] - left, height());
}

QSize CMyStatusBar::sizeHint() const {
  return {400, fontMetrics().height() + 10};
}

void CMyStatusBar::placeProgressBar() {
  if (progressBar_)
    progressBar_->setGeometry(partRect(kProgressPart).adjusted(2, 2, -2, -2));
}

void CMyStatusBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placeProgressBar();
}

bool CMyStatusBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == progressBar_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
    placeProgressBar();
    update(partRect(kProgressPart));
  }
  return QWidget::eventFilter(watched, event);
}

void CMyStatusBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  for (int part = 0; part < kParts; ++part) {
    const QRect cell = partRect(part).adjusted(1, 1, -1, -1);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(cell.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::WindowText));

    QRect inner = cell.adjusted(4, 0, -4, 0);
    const QIcon& icon = icons_[static_cast<size_t>(part)];
    if (!icon.isNull()) {
      const int side = qMin(16, inner.height());
      icon.paint(&painter, QRect(inner.left(), inner.center().y() - side / 2, side, side));
      inner.setLeft(inner.left() + side + 4);
    }
    QString text = texts_[static_cast<size_t>(part)];
    if (part == kProgressPart && progressBar_ && progressBar_->isVisible())
      continue;
    if (part == kDrawnPart)
      text = drawnText_;
    painter.drawText(inner, Qt::AlignVCenter | Qt::AlignLeft,
                     fontMetrics().elidedText(text, Qt::ElideRight, inner.width()));
  }
}

void CMyStatusBar::setLinkState(bool up) {
  setPartIcon(1, up ? linkUp_ : linkDown_);
}

CMyButton* CMyStatusBar::addButton(const QString& text, int controlId, QRect place) {
  auto* button = new CMyButton(text, this);
  button->setControlId(controlId);
  const double scale = logicalDpiX() / 96.0;
  button->setGeometry(int(place.x() * scale), int(place.y() * scale), int(place.width() * scale),
                      int(place.height() * scale));
  return button;
}

} // namespace kelpax
