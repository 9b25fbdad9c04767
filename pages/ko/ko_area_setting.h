// The Ko area cameras' pages over six tabs (image, mode and exposure, analog, fan, digital
// I/O, colour): KoAreaSetting declares what these cameras share; the model pages add their
// own switches. CKo4MC2_Setting: exposure mode, six-decimal digital gain and line-noise
// correction; CKoKi101_151MC_Setting adds the trigger filter, dynamic defect correction, the
// dark black target and the pixel-offset calibration; CKo50C_SettingDlg the digital black
// level (set inside the privileged level) and binning mode; CKo155M_Setting the high-speed
// read-out, pixel clock and noise filter.
#pragma once

#include <QGridLayout>
#include <optional>

#include "pages/bayer_gain.h"
#include "pages/settings_page.h"

namespace kelpax {

class KoAreaSetting : public SettingsPage {
  Q_OBJECT

public:
  enum Section { kView = 0, kModeExposure, kAnalog, kFan, kDigitalIo, kColour, kSections };

  CBayerGain* colourGains() const { return colourGains_; }

  static constexpr ValueRange kTimerRange{0, 1000000};
  static constexpr ValueRange kTimerDurationRange{1, 1000000};
  static constexpr ValueRange kFanTemperatureRange{-10, 80};
  static constexpr ValueRange kBlackLevelRange{0, 255};
  static constexpr RealRange kFrameRateRange{1.0, 1000.0};
  static constexpr RealRange kDigitalGainRange{1.0, 16.0};

protected:
  struct Wording {
    // The digital gain as this model's firmware writes it; none: the page has no digital gain.
    std::optional<CommandSpec> digitalGain{};
    QString frameRateCaption = "FPS:";
  };
  KoAreaSetting(PageHost& host, const Wording& wording, QWidget* parent);

  // A group box into the next free place of a section (three columns, row by row).
  void place(int index, QWidget* widget);

  bool radioChoiceAllowed(const RadioGroup& group, size_t index) override;
  // A message box; tests catch it.
  virtual void showMessage(const QString& text);

private:
  void build(const Wording& wording);

  std::vector<QGridLayout*> grids_;
  std::vector<int> placed_;
  CBayerGain* colourGains_ = nullptr;
};

class CKo4MC2_Setting : public KoAreaSetting {
  Q_OBJECT

public:
  explicit CKo4MC2_Setting(PageHost& host, QWidget* parent = nullptr);

protected:
  CKo4MC2_Setting(PageHost& host, const Wording& wording, QWidget* parent);

  void updateEnabling() override;

private:
  void build();
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
  void build();
  void measurePixelOffset(bool clear);

  QLabel* columnOffset_ = nullptr;
  QLabel* hotPixelOffset_ = nullptr;
};

class CKo50C_SettingDlg : public KoAreaSetting {
  Q_OBJECT

public:
  explicit CKo50C_SettingDlg(PageHost& host, QWidget* parent = nullptr);

protected:
  // The digital black level is a calibration value: the camera takes it inside its
  // privileged level only.
  bool send(const std::string& command, uint32_t timeoutMs = kCommandTimeoutMs) override;

private:
  void build();
};

class CKo155M_Setting : public KoAreaSetting {
  Q_OBJECT

public:
  explicit CKo155M_Setting(PageHost& host, QWidget* parent = nullptr);

private:
  void build();
};

} // namespace kelpax
