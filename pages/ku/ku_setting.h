// The Ku (line-scan) pages: one page over three tabs (image, mode and exposure, gain).
// CKu_Basic_SettingDlg serves the monochrome cameras, CKu_Color_SettingDlg the colour ones.
#pragma once

#include <QLabel>

#include "pages/settings_page.h"

namespace kelpax {

class CKu_Basic_SettingDlg : public SettingsPage {
  Q_OBJECT

public:
  enum Section { kView = 0, kModeExposure = 1, kGain = 2 };

  explicit CKu_Basic_SettingDlg(PageHost& host, QWidget* parent = nullptr);

  // The line period as a line rate, "%4.2f KHz".
  QLabel* lineRateLabel() const { return lineRate_; }

protected:
  void updateEnabling() override;

private:
  QLabel* lineRate_ = nullptr;
};

class CKu_Color_SettingDlg : public CKu_Basic_SettingDlg {
  Q_OBJECT

public:
  explicit CKu_Color_SettingDlg(PageHost& host, QWidget* parent = nullptr);
};

} // namespace kelpax
