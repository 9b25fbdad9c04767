// The settings pages' slider, spin buttons, push buttons and combo boxes.
#include "pages/control_widgets.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

#include "pages/page_rules.h"

namespace kelpax {

QEvent::Type syntheticPressEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

QEvent::Type clearPendingEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

CMySlierCtrl::CMySlierCtrl(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setTickPosition(QSlider::TicksBelow);
}

bool CMySlierCtrl::insideInnerArea(QPoint position) const {
  return position.x() >= 8 && position.x() <= width() - 8 && position.y() >= 3 &&
         position.y() <= height() - 5;
}

bool CMySlierCtrl::onThumb(QPoint position) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  return style()->hitTestComplexControl(QStyle::CC_Slider, &option, position, this) ==
         QStyle::SC_SliderHandle;
}

void CMySlierCtrl::postReleased() {
  postNotification(notificationReceiver(this), Notification::SliderReleased, controlId(), this);
}

void CMySlierCtrl::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton)
    return;
  const QPoint position = event->position().toPoint();
  const bool thumb = onThumb(position);
  if (!thumb)
    setValue(sliderJumpValue(position.x(), width(), minimum(), maximum()));
  if (!insideInnerArea(position)) {
    postReleased();
    return;
  }
  reportOnRelease_ = true;
  if (thumb) {
    QSlider::mousePressEvent(event); // the ordinary drag
  } else {
    followPointer_ = true;
    setSliderDown(true);
  }
}

void CMySlierCtrl::mouseMoveEvent(QMouseEvent* event) {
  if (followPointer_) {
    event->accept();
    setValue(sliderJumpValue(event->position().toPoint().x(), width(), minimum(), maximum()));
    return;
  }
  QSlider::mouseMoveEvent(event);
}

void CMySlierCtrl::mouseReleaseEvent(QMouseEvent* event) {
  if (followPointer_) {
    followPointer_ = false;
    setSliderDown(false);
    event->accept();
  } else {
    QSlider::mouseReleaseEvent(event);
  }
  if (reportOnRelease_) {
    reportOnRelease_ = false;
    postReleased();
  }
}

// Keys and the wheel move the slider too; they report at once, so every move reaches the
// page's value path.
void CMySlierCtrl::keyPressEvent(QKeyEvent* event) {
  const int before = value();
  QSlider::keyPressEvent(event);
  if (value() != before)
    postReleased();
}

void CMySlierCtrl::wheelEvent(QWheelEvent* event) {
  const int before = value();
  QSlider::wheelEvent(event);
  if (value() != before)
    postReleased();
}

CMySpinCtrl::CMySpinCtrl(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (QToolButton* arrow : {up_, down_}) {
    arrow->setArrowType(arrow == up_ ? Qt::UpArrow : Qt::DownArrow);
    arrow->setAutoRepeat(true);
    arrow->setFocusPolicy(Qt::NoFocus);
    arrow->setFixedSize(18, 11);
    layout->addWidget(arrow);
    connect(arrow, &QToolButton::pressed, this, [this] { inUse_ = true; });
  }
  // The arrow moves the position towards the upper or the lower end of the range.
  connect(up_, &QToolButton::clicked, this, [this] { positionChanged(upper_ > lower_ ? 1 : -1); });
  connect(down_, &QToolButton::clicked, this,
          [this] { positionChanged(upper_ > lower_ ? -1 : 1); });
  setFixedSize(18, 22);
}

void CMySpinCtrl::setRange(int lower, int upper) {
  lower_ = lower;
  upper_ = upper;
}

void CMySpinCtrl::positionChanged(int delta) {
  if (delta == 1)
    postNotification(notificationReceiver(this), Notification::SpinStepped, 0, this);
  else if (delta == -1)
    postNotification(notificationReceiver(this), Notification::SpinStepped, 1, this);
}

CMyButton::CMyButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  connect(this, &QPushButton::clicked, this,
          [this] { postNotification(receiver(), Notification::ButtonClicked, controlId(), this); });
}

QObject* CMyButton::receiver() const {
  if (receiver_)
    return receiver_;
  QWidget* page = parentWidget();
  if (!page)
    return nullptr;
  return page->parentWidget() ? page->parentWidget() : page;
}

SliderMarks::SliderMarks(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SliderMarks::setMarks(std::vector<Mark> marks, int maximum) {
  marks_ = std::move(marks);
  maximum_ = maximum > 0 ? maximum : 1;
  update();
}

QSize SliderMarks::sizeHint() const {
  return {100, fontMetrics().height() + 2};
}

void SliderMarks::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int inner = width() - 18;
  for (const Mark& mark : marks_) {
    const int textWidth = fontMetrics().horizontalAdvance(mark.text);
    const int centre = 9 + inner * mark.position / maximum_;
    const int left = std::clamp(centre - textWidth / 2, 0, std::max(0, width() - textWidth));
    painter.drawText(QRect(left, 0, textWidth, height()), Qt::AlignCenter, mark.text);
  }
}

CMyComboBox::CMyComboBox(QWidget* parent) : QComboBox(parent) {
  connect(this, &QComboBox::activated, this, [this] {
    postNotification(notificationReceiver(this), Notification::ComboChanged, controlId(), this);
  });
}

} // namespace kelpax
