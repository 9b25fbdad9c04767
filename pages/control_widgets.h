// The settings pages' slider, spin buttons, radio and check buttons that wait for the
// camera, push buttons and combo boxes. Each posts its notification to its page.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <QWidget>
#include <vector>

#include "pages/page_notification.h"

namespace kelpax {

// Slider whose press away from the thumb jumps straight to the pointer.
class CMySlierCtrl : public QSlider, public ControlIdentity {
  Q_OBJECT

public:
  explicit CMySlierCtrl(QWidget* parent = nullptr);

  // The area in which a press is reported on release rather than at once: x from 8 to
  // width - 8, y from 3 to height - 5.
  bool insideInnerArea(QPoint position) const;

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

private:
  bool onThumb(QPoint position) const;
  void postReleased();

  bool reportOnRelease_ = false;
  bool followPointer_ = false; // pressed beside the thumb: the thumb follows the pointer
};

// Up and down arrows without a number of their own. A change of +1 of the (reversed by
// default) position posts SpinStepped with 0, a change of -1 posts it with 1, so the up
// arrow raises the value.
class CMySpinCtrl : public QWidget, public ControlIdentity {
  Q_OBJECT

public:
  explicit CMySpinCtrl(QWidget* parent = nullptr);

  // Position range; the default 100 .. 0 is reversed, so the up arrow moves by -1.
  void setRange(int lower, int upper);
  // Set by a press on either arrow; the page finds the spin in use by it and clears it.
  bool inUse() const { return inUse_; }
  void clearInUse() { inUse_ = false; }

  QToolButton* upButton() const { return up_; }
  QToolButton* downButton() const { return down_; }

  // A change of the position by `delta`; only +1 and -1 are reported.
  void positionChanged(int delta);

private:
  QToolButton* up_;
  QToolButton* down_;
  int lower_ = 100;
  int upper_ = 0;
  bool inUse_ = false;
};

// What a page needs of a button that changes only when the camera agrees.
class PendingButton {
public:
  virtual ~PendingButton() = default;
  virtual bool isPending() const = 0;
  virtual void clearPending() = 0;
  // Queues the page's own press: the button then changes state as after a click.
  virtual void postPress() = 0;
  virtual QAbstractButton* button() = 0;
};

QEvent::Type syntheticPressEventType();
QEvent::Type clearPendingEventType();

// A mouse press (or the space bar) does not press the button: it marks it pending and
// posts RadioClicked to the page. Only the page's own press changes the button.
template <class Button> class PendingMarkButton : public Button, public PendingButton {
public:
  explicit PendingMarkButton(const QString& text, QWidget* parent = nullptr)
      : Button(text, parent) {}

  bool isPending() const override { return pending_; }
  void clearPending() override { pending_ = false; }
  void postPress() override {
    QCoreApplication::postEvent(this, new QEvent(syntheticPressEventType()));
  }
  QAbstractButton* button() override { return this; }

protected:
  bool event(QEvent* event) override {
    if (event->type() == syntheticPressEventType()) {
      Button::click();
      return true;
    }
    if (event->type() == clearPendingEventType()) {
      pending_ = false;
      return true;
    }
    return Button::event(event);
  }
  void mousePressEvent(QMouseEvent* event) override {
    event->accept();
    if (event->button() == Qt::LeftButton)
      markPending();
  }
  // Cleared through the queue, so the page sees the mark of a press whose release came in
  // before its notification was handled.
  void mouseReleaseEvent(QMouseEvent* event) override {
    event->accept();
    QCoreApplication::postEvent(this, new QEvent(clearPendingEventType()));
  }
  void mouseMoveEvent(QMouseEvent* event) override { event->accept(); }
  void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }
  void keyPressEvent(QKeyEvent* event) override {
    switch (event->key()) {
    case Qt::Key_Space:
      if (!event->isAutoRepeat())
        markPending();
      event->accept();
      break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
      event->accept(); // arrows would check the neighbour without asking the camera
      break;
    default:
      Button::keyPressEvent(event);
    }
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Space) {
      event->accept();
      QCoreApplication::postEvent(this, new QEvent(clearPendingEventType()));
      return;
    }
    Button::keyReleaseEvent(event);
  }

private:
  void markPending() {
    pending_ = true;
    postNotification(notificationReceiver(this), Notification::RadioClicked, 0, this);
  }

  bool pending_ = false;
};

// A radio button of a setting group.
class CMButton : public PendingMarkButton<QRadioButton> {
public:
  using PendingMarkButton::PendingMarkButton;
};

// A check box that, like CMButton, changes only when the camera agrees.
class CMCheckBox : public PendingMarkButton<QCheckBox> {
public:
  using PendingMarkButton::PendingMarkButton;
};

// Push button that reports its click to the parent of its page.
class CMyButton : public QPushButton, public ControlIdentity {
  Q_OBJECT

public:
  explicit CMyButton(const QString& text, QWidget* parent = nullptr);
  // Where ButtonClicked goes; by default the parent of the button's parent.
  void setReceiver(QObject* receiver) { receiver_ = receiver; }
  QObject* receiver() const;

private:
  QPointer<QObject> receiver_;
};

// Texts under a slider at given slider positions (a slider's 9-pixel end margins apply).
class SliderMarks : public QWidget {
  Q_OBJECT

public:
  struct Mark {
    QString text;
    int position;
  };
  explicit SliderMarks(QWidget* parent = nullptr);
  void setMarks(std::vector<Mark> marks, int maximum);
  const std::vector<Mark>& marks() const { return marks_; }
  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  std::vector<Mark> marks_;
  int maximum_ = 1;
};

class CMyComboBox : public QComboBox, public ControlIdentity {
  Q_OBJECT

public:
  explicit CMyComboBox(QWidget* parent = nullptr);
};

} // namespace kelpax
