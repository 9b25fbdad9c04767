// The Ky 29C pages: image (VIEW), trigger (MODE/EXP), the window of the automatic functions
// (ROI), the automatic functions themselves (AUTO) and the outputs (OUTPUT).
#pragma once

#include <QStackedWidget>

#include "pages/settings_page.h"

namespace kelpax {

class CKy29CViewDlg : public SettingsPage {
  Q_OBJECT

public:
  explicit CKy29CViewDlg(PageHost& host, QWidget* parent = nullptr);
};

class CKy29CTRIGGER : public SettingsPage {
  Q_OBJECT

public:
  explicit CKy29CTRIGGER(PageHost& host, QWidget* parent = nullptr);
  QLabel* exposureLabel() const { return exposureLabel_; }
  QLabel* strobeLabel() const { return strobeLabel_; }

  static constexpr ValueRange kStrobeOffsetRange{0, 10000};

protected:
  void updateEnabling() override;

private:
  QLabel* exposureLabel_ = nullptr;
  QLabel* strobeLabel_ = nullptr;
};

// "ROI Selection" chooses the window the four edits show and set: none, the auto-exposure
// window ("sex"...), the auto-focus window ("sfx"...) or the white-balance window ("swx"...).
class CKy29CROIDlg : public SettingsPage {
  Q_OBJECT

public:
  enum Window { kOff = 0, kExposure = 1, kFocus = 2, kWhiteBalance = 3 };

  explicit CKy29CROIDlg(PageHost& host, QWidget* parent = nullptr);

  // The main window rebuilt its tabs: the page initialises itself again when next shown.
  void tabsRebuilt() { initialised_ = false; }
  bool initialised() const { return initialised_; }
  // The window whose edits show (kOff: none).
  int shownWindow() const { return windows_->currentIndex(); }
  // The edit of one window's value: 0 offset X, 1 offset Y, 2 width, 3 height.
  Value* windowValue(int window, int field);

protected:
  void updateEnabling() override;
  void showEvent(QShowEvent* event) override;

private:
  QStackedWidget* windows_ = nullptr;
  bool initialised_ = false;
};

class CKy29CAutoCtrlDlg : public SettingsPage {
  Q_OBJECT

public:
  explicit CKy29CAutoCtrlDlg(PageHost& host, QWidget* parent = nullptr);

  CIntegerEdit* focusStep() const { return focusStep_; }
  CIntegerEdit* apertureTarget() const { return apertureTarget_; }
  CIntegerEdit* apertureStep() const { return apertureStep_; }

  static constexpr ValueRange kFocusRange{0, 1000};
  static constexpr ValueRange kFocusStepRange{-1000, 1000};
  static constexpr ValueRange kApertureRange{0, 100};
  static constexpr ValueRange kApertureStepRange{-100, 100};
  static constexpr RealRange kGainLimitRange{0.0, 24.0};
  static constexpr uint32_t kLensTimeoutMs = 10000;
  static constexpr uint32_t kWhiteBalanceTimeoutMs = 10000;

protected:
  void valueCommitted(Value& value, bool accepted) override;
  void onOwnValueCommitted(int controlId) override;

private:
  // Moves the lens; the focus position is read back afterwards.
  void moveLens(const std::string& command);
  void readFocusPosition();

  CIntegerEdit* focusStep_ = nullptr;
  CIntegerEdit* apertureTarget_ = nullptr;
  CIntegerEdit* apertureStep_ = nullptr;
};

class CKy29COutputCtrlDlg : public SettingsPage {
  Q_OBJECT

public:
  explicit CKy29COutputCtrlDlg(PageHost& host, QWidget* parent = nullptr);

  static constexpr ValueRange kPulseRange{1, 1000000};
  static constexpr ValueRange kTemperatureRange{-10, 80};
};

} // namespace kelpax
