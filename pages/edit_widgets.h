// The settings pages' edits: whole numbers, reals and free text. Each filters the keys it
// takes, counts what was typed, and posts ValueCommitted to its page on Enter or, after
// typing, on leaving the field.
#pragma once

#include <QLineEdit>
#include <QString>
#include <cstdint>

#include "pages/page_notification.h"

namespace kelpax {

// Right-aligned edit that never shows a context menu and accepts no dropped text.
class CCustomEdit : public QLineEdit, public ControlIdentity {
  Q_OBJECT

public:
  explicit CCustomEdit(QWidget* parent = nullptr);

  // Characters accepted since the last commit, less one per backspace (it may go below 0).
  int typedCount() const { return typedCount_; }

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

  // Whether a typed character may enter the field.
  virtual bool acceptsCharacter(QChar c) const = 0;
  // Enter was pressed.
  virtual void onEnter() = 0;
  // Focus left after typing.
  virtual void onLeaveAfterTyping() = 0;
  // Escape was pressed; returns true when the edit used it.
  virtual bool onEscape() { return false; }

  void resetTypedCount() { typedCount_ = 0; }
  // Selects the whole text, at once when the edit has the focus, else when it gets it.
  void selectAllShown();
  void postCommitted();

private:
  int typedCount_ = 0;
  bool selectOnFocus_ = false;
};

class CIntegerEdit : public CCustomEdit {
  Q_OBJECT

public:
  explicit CIntegerEdit(QWidget* parent = nullptr);

  int32_t value() const { return value_; }
  // Stores and shows the value ("%d") with the whole text selected.
  void setValueFromCode(int32_t value);

  void setLimits(int32_t lower, int32_t upper) {
    lower_ = lower;
    upper_ = upper;
  }
  int32_t lowerLimit() const { return lower_; }
  int32_t upperLimit() const { return upper_; }
  void setRangeCheck(bool on) { rangeCheck_ = on; }
  bool rangeCheck() const { return rangeCheck_; }
  void setWheelStep(int32_t step) { wheelStep_ = step; }

  // Reads the typed text as Enter would, without posting; false when the range check
  // refused it (the previous value is shown again).
  bool takeText();

protected:
  bool acceptsCharacter(QChar c) const override;
  void onEnter() override;
  void onLeaveAfterTyping() override;
  void wheelEvent(QWheelEvent* event) override;

private:
  int32_t value_ = 0;
  int32_t lower_ = INT32_MIN;
  int32_t upper_ = INT32_MAX;
  int32_t wheelStep_ = 1;
  bool rangeCheck_ = false;
  int wheelAngle_ = 0; // eighths of a degree not yet turned into steps
};

class CFloatEdit : public CCustomEdit {
  Q_OBJECT

public:
  explicit CFloatEdit(QWidget* parent = nullptr);

  // The value of the text as it stands: optional sign, digits, one decimal point.
  double value() const;
  // Shows "%f", cut after `decimals` places when it is 0 or more (0 drops the point).
  void setValueFromCode(double value, int decimals = -1);
  void setWheelStep(double step) { wheelStep_ = step; }

protected:
  bool acceptsCharacter(QChar c) const override;
  void onEnter() override;
  void onLeaveAfterTyping() override;
  bool onEscape() override { return true; }
  void wheelEvent(QWheelEvent* event) override;

private:
  double wheelStep_ = 1.0;
  int wheelAngle_ = 0;
};

class CStringEdit : public CCustomEdit {
  Q_OBJECT

public:
  explicit CStringEdit(QWidget* parent = nullptr);

  // The text as of the last Enter (or as set from code).
  QString committedText() const { return committed_; }
  void setTextFromCode(const QString& text);

protected:
  bool acceptsCharacter(QChar c) const override;
  void onEnter() override;
  void onLeaveAfterTyping() override;
  bool onEscape() override;

private:
  QString committed_;
};

} // namespace kelpax
