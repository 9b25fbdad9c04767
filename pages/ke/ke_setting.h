// The Ke (TDI line-scan) pages: one page over four tabs (image, mode and exposure, video,
// strobe). CKe_Setting declares what every Ke camera has; CNewKe_Setting adds the colour
// coefficients; CNormalKe_Setting and CKe_Color_Setting are the monochrome and colour pages.
#pragma once

#include <QSpinBox>

#include "pages/ke/ke_trigger_statistics.h"
#include "pages/settings_page.h"

namespace kelpax {

class CKe_Setting : public SettingsPage {
  Q_OBJECT

public:
  enum Section { kView = 0, kModeExposure = 1, kVideo = 2, kStrobe = 3 };

  explicit CKe_Setting(PageHost& host, QWidget* parent = nullptr);

  CKe_TRIGGER_STATICS_Dlg* triggerStatistics() const { return statistics_; }
  // What "Generate All" reported last (empty before).
  QString lastMessage() const { return lastMessage_; }

protected:
  struct Wording {
    QStringList taps{"2 Tap (Base)", "4 Tap (Medium)", "8 Tap (Full)", "10 Tap (Full)"};
    std::vector<int32_t> tapValues{0, 1, 2, 3};
  };
  CKe_Setting(PageHost& host, const Wording& wording, QWidget* parent);

  void updateEnabling() override;
  // A message box; tests catch it.
  virtual void showMessage(const QString& text);

private:
  void build(const Wording& wording);
  void generateAllDark();

  CKe_TRIGGER_STATICS_Dlg* statistics_ = nullptr;
  QString lastMessage_;
};

// The newer firmware's colour correction: a coefficient or balance index and its value,
// read with "gscc %d" / "gscb %d" and set with "sscc %d %d" / "sscb %d %d". Shown for colour
// cameras only.
class CNewKe_Setting : public CKe_Setting {
  Q_OBJECT

public:
  explicit CNewKe_Setting(PageHost& host, QWidget* parent = nullptr);

  QGroupBox* colourBox() const { return colourBox_; }
  QSpinBox* coefficientIndex() const { return coefficientIndex_; }
  CIntegerEdit* coefficientEdit() const { return coefficient_; }
  QSpinBox* balanceIndex() const { return balanceIndex_; }
  CIntegerEdit* balanceEdit() const { return balance_; }

  // The shown coefficient and balance read from the camera again.
  void readColourValues();

  static constexpr int kCoefficients = 9; // the 3 x 3 matrix, row by row
  static constexpr int kBalances = 3;     // red, green, blue
  static constexpr ValueRange kCoefficientRange{-4096, 4095};
  static constexpr ValueRange kBalanceRange{0, 4095};

protected:
  CNewKe_Setting(PageHost& host, const Wording& wording, QWidget* parent);

  void adaptToModel() override;
  void onOwnValueCommitted(int controlId) override;
  // The coefficients are not kept in the value cache: they are read when the page shows.
  void showEvent(QShowEvent* event) override;

private:
  void build();
  void readOne(const CommandSpec& query, QSpinBox* index, CIntegerEdit* edit);
  void commitOne(const CommandSpec& set, const CommandSpec& query, QSpinBox* index,
                 CIntegerEdit* edit, ValueRange range);

  QGroupBox* colourBox_ = nullptr;
  QSpinBox* coefficientIndex_ = nullptr;
  CIntegerEdit* coefficient_ = nullptr;
  QSpinBox* balanceIndex_ = nullptr;
  CIntegerEdit* balance_ = nullptr;
};

class CNormalKe_Setting : public CNewKe_Setting {
  Q_OBJECT

public:
  explicit CNormalKe_Setting(PageHost& host, QWidget* parent = nullptr);
};

// The colour cameras output three taps of RGB only: the tap choice is "scl 4".
class CKe_Color_Setting : public CNewKe_Setting {
  Q_OBJECT

public:
  explicit CKe_Color_Setting(PageHost& host, QWidget* parent = nullptr);
};

} // namespace kelpax
