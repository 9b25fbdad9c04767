// The Ko area cameras' pages, built on the Ka 47M page's six tabs (image, mode and exposure,
// analog, fan, digital I/O, colour): each changes the declaration where its cameras differ
// and adds its own switches. CKo4MC2_Setting: exposure mode, six-decimal digital gain and
// line-noise correction; CKoKi101_151MC_Setting adds the trigger filter, dynamic defect
// correction, the dark black target and the pixel-offset calibration; CKo50C_SettingDlg the
// digital black level (set inside the privileged level) and binning mode; CKo155M_Setting
// the high-speed read-out, pixel clock and noise filter.
#pragma once

#include "pages/bayer_gain.h"
#include "pages/ka/ka_setting.h"

namespace kelpax {

class CKo4MC2_Setting : public CKa47M_Setting {
  Q_OBJECT

public:
  explicit CKo4MC2_Setting(PageHost& host, QWidget* parent = nullptr);

protected:
  void updateEnabling() override;
};

class CKoKi101_151MC_Setting : public CKo4MC2_Setting {
  Q_OBJECT

public:
  explicit CKoKi101_151MC_Setting(PageHost& host, QWidget* parent = nullptr);

  static constexpr RealRange kBlackTargetRange{0.0, 100.0};

  QLabel* columnOffsetLabel() const { return columnOffset_; }
  QLabel* hotPixelOffsetLabel() const { return hotPixelOffset_; }

  void refreshAll() override;

private:
  void measurePixelOffset(bool clear);

  QLabel* columnOffset_ = nullptr;
  QLabel* hotPixelOffset_ = nullptr;
};

class CKo50C_SettingDlg : public CKa47M_Setting {
  Q_OBJECT

public:
  explicit CKo50C_SettingDlg(PageHost& host, QWidget* parent = nullptr);

protected:
  // The digital black level is a calibration value: the camera takes it inside its
  // privileged level only.
  bool send(const std::string& command, uint32_t timeoutMs = kCommandTimeoutMs) override;
};

class CKo155M_Setting : public CKa47M_Setting {
  Q_OBJECT

public:
  explicit CKo155M_Setting(PageHost& host, QWidget* parent = nullptr);
};

} // namespace kelpax
