// The page of the Ko 12M and 71M and Ki 71M cameras over three tabs: image (read-out mode,
// binning, test image, Camera Link output, data bits, corrections, region, dark image),
// mode and exposure (trigger, strobe, global reset, the frame rate the camera reaches) and
// analog (video gain and offset, sensor gain).
#pragma once

#include <QLabel>

#include "pages/view_page.h"

namespace kelpax {

class CKo12M52_SettingDlg : public ImageSettingsPage {
  Q_OBJECT

public:
  enum Section { kView = 0, kModeExposure = 1, kAnalog = 2 };

  explicit CKo12M52_SettingDlg(PageHost& host, QWidget* parent = nullptr);

  static constexpr ValueRange kStrobeRange{0, 10000};

  QLabel* frameRateLabel() const { return frameRate_; }
  // Reads the frame rate the camera reaches now (a register read at the privileged level).
  void readFrameRate();
  void generateDarkData();
  void saveDarkData();

protected:
  bool radioChoiceAllowed(const RadioGroup& group, size_t index) override;
  void updateEnabling() override;
  void valueCommitted(Value& value, bool accepted) override;

private:
  void build();
  void setDarkButtonsEnabled(bool enabled);

  QLabel* frameRate_ = nullptr;
  CMyButton* generate_ = nullptr;
  CMyButton* save_ = nullptr;
  bool darkDataBusy_ = false;
};

} // namespace kelpax
