// The Ka 47M and Ka 43M pages: one page over the VIEW, MODE/EXP, ANALOG, FAN, Digital I/O and
// AWB tabs. The Ka 43M page adds its column PRNU switch and its own gain slider scale.
#pragma once

#include "pages/ka/gain_slider.h"
#include "pages/settings_page.h"

namespace kelpax {

class CBayerGain;
class SliderMarks;

class CKa47M_Setting : public SettingsPage {
  Q_OBJECT

public:
  enum Section { kView = 0, kModeExposure = 1, kAnalog = 2, kFan = 3, kDigitalIo = 4, kColour = 5 };

  explicit CKa47M_Setting(PageHost& host, QWidget* parent = nullptr);

  // Asked at every connection: whether the camera's FPGA keeps several flat-field data sets,
  // so that its FFC tab shows the data selector. Read from the FPGA version ("gfv"); a camera
  // that does not tell its version has none.
  bool readFfcSelectorFlag();
  static constexpr int kSelectorFpgaMajor = 2;

  // What the generation and saving buttons reported last (empty before).
  QString lastMessage() const { return lastMessage_; }
  CBayerGain* colourGains() const { return colourGains_; }
  QLabel* exposureLabel() const { return exposureLabel_; }

  static constexpr ValueRange kBlackLevelRange{0, 255};
  static constexpr RealRange kGainRange{1.0, 16.0};
  static constexpr RealRange kFrameRateRange{1.0, 1000.0};
  static constexpr ValueRange kTimerRange{0, 10000000};
  static constexpr ValueRange kFanTemperatureRange{-10, 80};
  static constexpr uint32_t kGenerateTimeoutMs = 30000;
  static constexpr uint32_t kSaveTimeoutMs = 120000;

protected:
  struct Wording {
    QString correctionTitle = "Dark Image Correction";
  };
  CKa47M_Setting(PageHost& host, const Wording& wording, QWidget* parent);

  void adaptToModel() override;
  void updateEnabling() override;
  // A message box; tests catch it.
  virtual void showMessage(const QString& text);
  QGroupBox* correctionBox() const { return correctionBox_; }
  RealValue& gainValue() { return *realValue("g"); }

private:
  void build(const Wording& wording);
  void generateData();
  void saveData();
  void showExposureLabel(std::optional<int32_t> us);
  void report(const QString& text);

  QGroupBox* correctionBox_ = nullptr;
  CBayerGain* colourGains_ = nullptr;
  QLabel* exposureLabel_ = nullptr;
  QLabel* rangeMinLabel_ = nullptr;
  QLabel* rangeMaxLabel_ = nullptr;
  SliderMarks* exposureMarks_ = nullptr;
  QString lastMessage_;
};

// The Ka 43M: the gain slider of its own scale and the column PRNU correction switch, which
// the camera's value cache does not keep: the page reads it ("gprnuc") when it is refreshed.
class CKa43M_Setting : public CKa47M_Setting {
  Q_OBJECT

public:
  explicit CKa43M_Setting(PageHost& host, QWidget* parent = nullptr);

  static constexpr KaGainSlider kGainSlider{};
  QCheckBox* columnPrnu() const { return columnPrnu_; }
  // The switch read from the camera again; unchecked and disabled when it does not answer.
  void readColumnPrnu();

protected:
  void setOwnControlsFromCache() override;

private:
  void toggleColumnPrnu();

  QCheckBox* columnPrnu_ = nullptr;
};

} // namespace kelpax
