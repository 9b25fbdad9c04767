// The Ka 47M and Ka 43M pages: one page over the VIEW, MODE/EXP, ANALOG, FAN, Digital I/O and
// AWB tabs. The Ka 43M page adds its column PRNU switch and its own gain slider scale; the Ko
// area pages (pages/ko/ko_area_pages.h) change the declaration where their cameras differ
// and add their own groups.
#pragma once

#include <QGridLayout>
#include <optional>

#include "pages/ka/gain_slider.h"
#include "pages/settings_page.h"

namespace kelpax {

class CBayerGain;
class SliderMarks;

class CKa47M_Setting : public SettingsPage {
  Q_OBJECT

public:
  enum Section { kView = 0, kModeExposure, kAnalog, kFan, kDigitalIo, kColour, kSections };

  // What the page shows, tab by tab, before any control is made.
  struct Declaration {
    // VIEW
    RadioGroupDecl testImage{}, taps{}, pixelFormat{}, binningH{}, binningV{};
    std::vector<CheckBoxDecl> processing{};
    ValueDecl windowX{}, windowY{}, windowWidth{}, windowHeight{};
    QString correctionTitle{}; // empty: no correction data buttons
    // MODE/EXP
    RadioGroupDecl mode{};
    std::optional<RadioGroupDecl> exposureMode{};
    RadioGroupDecl source{}, activation{};
    ValueDecl exposure{};
    bool exposureMarks = true; // time label, marks and range under the exposure slider
    // The trigger's choices and the exposure time are disabled while the camera runs free.
    bool freeRunDisablesTrigger = true;
    RealValueDecl frameRate{};
    QString frameRateTitle{}; // empty: inside the exposure time's group
    QString frameRateCaption{}, frameRateUnit{};
    ValueDecl timerDelay{}, timerDuration{};
    RadioGroupDecl timerSource{}, timerActivation{};
    // ANALOG: a real gain ("sg %.3f") or an integer one ("sag %d"); the digital gain if any.
    std::optional<RealValueDecl> gain{};
    std::optional<ValueDecl> analogGain{};
    ValueDecl blackLevel{};
    std::optional<RealValueDecl> digitalGain{};
    // FAN
    RadioGroupDecl fan{};
    ValueDecl fanTemperature{};
    QString temperatureTitle{}, temperatureCaption{};
    // Digital I/O
    RadioGroupDecl lineOut{};
    CheckBoxDecl lineInverter{}, userOutput{};
    // AWB: the colour gains, in a group of this title (none: bare).
    QString colourTitle{};
    // Ten taps carry 8-bit pixels only: the bits of a pixel-format value; none: no such rule.
    std::function<int32_t(int32_t)> bitsOfPixelFormat{};
  };
  // The Ka 47M's declaration; the window ranges follow `host`'s sensor.
  static Declaration kaDeclaration(PageHost& host);

  explicit CKa47M_Setting(PageHost& host, QWidget* parent = nullptr);

  // Asked at every connection: whether the camera's FPGA keeps several flat-field data sets,
  // so that its FFC tab shows the data selector. Read from the FPGA version ("gfv"); a camera
  // that does not tell its version has none.
  bool readFfcSelectorFlag();
  static constexpr int kSelectorFpgaMajor = 2;

  // What the generation and saving buttons reported last (empty before).
  QString lastMessage() const { return lastMessage_; }
  CBayerGain* colourGains() const { return colourGains_; }
  // The exposure time in words; none when the declaration has no exposure marks.
  QLabel* exposureLabel() const { return exposureLabel_; }

  static constexpr ValueRange kBlackLevelRange{0, 255};
  static constexpr RealRange kGainRange{1.0, 16.0};
  static constexpr RealRange kFrameRateRange{1.0, 1000.0};
  static constexpr ValueRange kTimerRange{0, 10000000};
  static constexpr ValueRange kFanTemperatureRange{-10, 80};
  static constexpr uint32_t kGenerateTimeoutMs = 30000;
  static constexpr uint32_t kSaveTimeoutMs = 120000;

protected:
  CKa47M_Setting(PageHost& host, const Declaration& declaration, QWidget* parent);

  // A group box into the next free place below a section's own groups (three columns).
  void place(int section, QWidget* widget);

  void adaptToModel() override;
  void updateEnabling() override;
  bool radioChoiceAllowed(const RadioGroup& group, size_t index) override;
  // A message box; tests catch it.
  virtual void showMessage(const QString& text);
  QGroupBox* correctionBox() const { return correctionBox_; }
  RealValue& gainValue() { return *realValue("g"); }

private:
  void build(const Declaration& d);
  void layOut(int section, QGridLayout* grid);
  void generateData();
  void saveData();
  void showExposureLabel(std::optional<int32_t> us);
  void report(const QString& text);

  std::string exposureModeStem_; // empty: no exposure mode
  bool freeRunDisablesTrigger_ = true;
  std::string pixelFormatStem_;
  std::function<int32_t(int32_t)> bitsOfPixelFormat_;
  std::vector<QGridLayout*> grids_;
  std::vector<int> firstFreeRow_;
  std::vector<int> placed_;
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
