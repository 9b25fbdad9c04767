// The Ko area cameras' pages, as the table of what they set.
#include "pages/ko/ko_area_setting.h"

#include <QMessageBox>

#include "pages/image_rules.h"
#include "pages/ko/ko_commands.h"
#include "pages/ko/ko_factory.h"
#include "pages/page_layout.h"

namespace kelpax {
namespace {

constexpr int kColumns = 3;

// Pixel formats 0, 1 and 2 carry 8, 10 and 12 bits.
int32_t bitsOfPixelFormat(int32_t format) {
  return format == 1 ? 10 : format == 2 ? 12 : 8;
}

QGroupBox* checks(const QString& title, std::initializer_list<QWidget*> boxes, QWidget* parent) {
  auto* group = new QGroupBox(title, parent);
  auto* layout = new QVBoxLayout(group);
  for (QWidget* box : boxes)
    layout->addWidget(box);
  layout->addStretch();
  return group;
}

} // namespace

KoAreaSetting::KoAreaSetting(PageHost& host, const Wording& wording, QWidget* parent)
    : SettingsPage(host, parent) {
  build(wording);
}

void KoAreaSetting::place(int index, QWidget* widget) {
  const int at = placed_[size_t(index)]++;
  widget->setParent(section(index));
  grids_[size_t(index)]->addWidget(widget, at / kColumns, at % kColumns);
}

void KoAreaSetting::build(const Wording& wording) {
  for (int i = 0; i < kSections; ++i) {
    QWidget* page = addSection();
    grids_.push_back(new QGridLayout(page));
    // Extra height goes below the groups.
    grids_.back()->setRowStretch(kSections * 2, 1);
    placed_.push_back(0);
  }
  auto sensor = [this](bool columns) {
    return [this, columns] {
      const ModelDescriptor& m = this->host().modelDescriptor();
      return ValueRange{0, std::max<int32_t>(0, columns ? m.sensorWidth : m.sensorHeight)};
    };
  };

  // ---- VIEW -----------------------------------------------------------------------------
  RadioGroup& testImage = addRadioGroup({.title = "Test Image",
                                         .format = cmd::kTestImage,
                                         .stem = "ti",
                                         .labels = {"None", "Test #1", "Test #2", "Test #3"}});
  RadioGroup& taps = addRadioGroup(
      {.title = "CameraLink Output",
       .format = cmd::kCameraLinkTaps,
       .stem = "cl",
       .labels = {"2 Tap (Base)", "4 Tap (Medium)", "8 Tap (Full)", "10 Tap (Full)"}});
  RadioGroup& pixelFormat = addRadioGroup({.title = "Pixel Format",
                                           .format = cmd::kPixelFormat,
                                           .stem = "pf",
                                           .labels = {"8 Bit", "10 Bit", "12 Bit"}});
  RadioGroup& binningH = addRadioGroup({.title = "Binning Horizontal",
                                        .format = cmd::kBinningHorizontal,
                                        .stem = "bh",
                                        .labels = {"x1", "x2"},
                                        .firstValue = 1});
  RadioGroup& binningV = addRadioGroup({.title = "Binning Vertical",
                                        .format = cmd::kBinningVertical,
                                        .stem = "bv",
                                        .labels = {"x1", "x2"},
                                        .firstValue = 1});
  CheckBox& defect =
      addCheckBox({.label = "Defect Corr.", .format = cmd::kDefectCorrection, .stem = "dc"});
  CheckBox& flatField =
      addCheckBox({.label = "Flat Field Corr.", .format = cmd::kFlatFieldCorrection, .stem = "fc"});
  CheckBox& flip =
      addCheckBox({.label = "Horizontal Flip", .format = cmd::kHorizontalFlip, .stem = "hf"});
  Value& windowX = addValue({.format = cmd::kWindowX, .stem = "wx", .range = sensor(true)});
  Value& windowY = addValue({.format = cmd::kWindowY, .stem = "wy", .range = sensor(false)});
  Value& windowW = addValue({.format = cmd::kWindowWidth, .stem = "ww", .range = sensor(true)});
  Value& windowH = addValue({.format = cmd::kWindowHeight, .stem = "wh", .range = sensor(false)});

  place(kView, testImage.box);
  place(kView, taps.box);
  place(kView, pixelFormat.box);
  place(kView, groupBox("Binning", {binningH.box, binningV.box}, this));
  place(kView, checks("Image Processing", {defect.box, flatField.box, flip.box}, this));
  place(kView, groupBox("ROI Selection",
                        {valueBlock(windowX, "OffsetX:"), valueBlock(windowY, "OffsetY:"),
                         valueBlock(windowW, "Width:"), valueBlock(windowH, "Height:")},
                        this));

  // ---- MODE/EXP -------------------------------------------------------------------------
  RadioGroup& mode = addRadioGroup({.title = "Trigger Mode",
                                    .format = cmd::kTriggerMode,
                                    .stem = "tm",
                                    .labels = {"Off", "On"}});
  RadioGroup& source = addRadioGroup({.title = "Source",
                                      .format = cmd::kTriggerSource,
                                      .stem = "ts",
                                      .labels = {"CC1", "External"},
                                      .firstValue = 1});
  RadioGroup& activation = addRadioGroup({.title = "Activation",
                                          .format = cmd::kTriggerPolarity,
                                          .stem = "tp",
                                          .labels = {"Falling Edge", "Rising Edge"}});
  Value& exposure = addValue({.format = cmd::kExposureTime,
                              .stem = "et",
                              .spinStep = 10,
                              .slider = SliderMap::ExposureLog,
                              .sliderTick = 171});
  RealValue& frameRate = addRealValue({.format = cmd::kFrameRate,
                                       .stem = "fr",
                                       .spinStep = 1.0,
                                       .range = [] { return kFrameRateRange; },
                                       .slider = true});
  Value& timerDelay =
      addValue({.format = cmd::kTimerDelay, .stem = "tdl", .spinStep = 10, .range = [] {
                  return kTimerRange;
                }});
  Value& timerDuration =
      addValue({.format = cmd::kTimerDuration, .stem = "tdu", .spinStep = 10, .range = [] {
                  return kTimerDurationRange;
                }});
  RadioGroup& timerSource = addRadioGroup({.title = "Timer Trigger Source",
                                           .format = cmd::kTimerTriggerSource,
                                           .stem = "tts",
                                           .labels = {"CC1", "External", "Software"}});
  RadioGroup& timerActivation = addRadioGroup({.title = "Timer Trigger Activation",
                                               .format = cmd::kTimerTriggerActivation,
                                               .stem = "tta",
                                               .labels = {"Rising Edge", "Falling Edge"}});
  place(kModeExposure, mode.box);
  place(kModeExposure, source.box);
  place(kModeExposure, activation.box);
  place(kModeExposure, groupBox("Exposure Time", {valueBlock(exposure, {}, "us")}, this));
  place(kModeExposure,
        groupBox("Frame Rate", {valueBlock(frameRate, wording.frameRateCaption, "fps")}, this));
  place(kModeExposure, groupBox("Timer Delay", {valueBlock(timerDelay, {}, "us")}, this));
  place(kModeExposure, groupBox("Timer Duration", {valueBlock(timerDuration, {}, "us")}, this));
  place(kModeExposure, timerSource.box);
  place(kModeExposure, timerActivation.box);

  // ---- ANALOG ---------------------------------------------------------------------------
  Value& gain = addValue({.format = cmd::kAnalogGain, .stem = "ag", .slider = SliderMap::Linear});
  Value& blackLevel = addValue({.format = cmd::kBlackLevel,
                                .stem = "bl",
                                .range = [] { return kBlackLevelRange; },
                                .slider = SliderMap::Linear,
                                .sliderTick = 16});
  QGroupBox* video =
      groupBox("Video Gain/Offset",
               {valueBlock(gain, "Gain:"), valueBlock(blackLevel, "Black level:")}, this);
  if (wording.digitalGain) {
    RealValue& digitalGain = addRealValue({.format = *wording.digitalGain,
                                           .stem = "dg",
                                           .spinStep = 0.1,
                                           .range = [] { return kDigitalGainRange; },
                                           .slider = true,
                                           .sliderSteps = 150});
    // Above the group's closing stretch.
    auto* rows = static_cast<QVBoxLayout*>(video->layout());
    rows->insertLayout(rows->count() - 1, valueBlock(digitalGain, "Digital Gain:"));
  }
  place(kAnalog, video);

  // ---- FAN ------------------------------------------------------------------------------
  RadioGroup& fan = addRadioGroup({.title = "Fan Operation Mode",
                                   .format = cmd::kFanMode,
                                   .stem = "fm",
                                   .labels = {"Off", "On", "Continuous"}});
  Value& fanTemperature = addValue(
      {.format = cmd::kFanTemperature, .stem = "tt", .range = [] { return kFanTemperatureRange; }});
  place(kFan, fan.box);
  place(kFan, groupBox("Fan On Temperature", {valueBlock(fanTemperature, {}, "°C")}, this));

  // ---- Digital I/O ----------------------------------------------------------------------
  RadioGroup& lineSource =
      addRadioGroup({.title = "Lineout Source",
                     .format = cmd::kLineoutSource,
                     .stem = "los",
                     .labels = {"Exposure Active", "Frame Valid", "Timer Out", "User Output"}});
  CheckBox& inverter =
      addCheckBox({.label = "Invert", .format = cmd::kLineInverter, .stem = "loi"});
  CheckBox& userOutput = addCheckBox({.label = "High", .format = cmd::kUserOutput, .stem = "uov"});
  place(kDigitalIo, lineSource.box);
  place(kDigitalIo, checks("Line Inverter", {inverter.box}, this));
  place(kDigitalIo, checks("User Output", {userOutput.box}, this));

  // ---- AWB: the colour gains of the colour cameras --------------------------------------
  colourGains_ = new CBayerGain(host(), section(kColour));
  place(kColour, colourGains_);
}

bool KoAreaSetting::radioChoiceAllowed(const RadioGroup& group, size_t index) {
  // Ten taps carry 8-bit pixels only, whichever of the two the operator changes.
  bool allowed = true;
  if (group.decl.stem == "cl" && cachedValue("pf"))
    allowed = tapsCarryBits(group.valueOf(index), bitsOfPixelFormat(host().cacheInt("pf")));
  else if (group.decl.stem == "pf" && cachedValue("cl"))
    allowed = tapsCarryBits(host().cacheInt("cl"), bitsOfPixelFormat(group.valueOf(index)));
  if (!allowed)
    showMessage(kTenTapsText);
  return allowed;
}

void KoAreaSetting::showMessage(const QString& text) {
  QMessageBox::information(this, windowTitle(), text);
}

// ---- Ko 4M C2 ---------------------------------------------------------------------------

CKo4MC2_Setting::CKo4MC2_Setting(PageHost& host, QWidget* parent)
    : CKo4MC2_Setting(host, Wording{.digitalGain = cmd::kDigitalGain6}, parent) {}

CKo4MC2_Setting::CKo4MC2_Setting(PageHost& host, const Wording& wording, QWidget* parent)
    : KoAreaSetting(host, wording, parent) {
  build();
}

void CKo4MC2_Setting::build() {
  RadioGroup& exposureMode = addRadioGroup({.title = "Exposure Mode",
                                            .format = cmd::kExposureMode,
                                            .stem = "em",
                                            .labels = {"Timed", "Trigger Width"}});
  CheckBox& correction = addCheckBox(
      {.label = "Line Noise Correction", .format = cmd::kLineNoiseCorrection, .stem = "lni"});
  CheckBox& calibration = addCheckBox(
      {.label = "Line Noise Calibration", .format = cmd::kLineNoiseCalibration, .stem = "lnc"});
  RadioGroup& noiseMode = addRadioGroup({.title = "Line Noise Mode",
                                         .format = cmd::kLineNoiseMode,
                                         .stem = "lnm",
                                         .labels = {"Off", "Column", "Row"}});
  place(kModeExposure, exposureMode.box);
  place(kAnalog, groupBox("Line Noise", {correction.box, calibration.box, noiseMode.box}, this));
}

void CKo4MC2_Setting::updateEnabling() {
  // The exposure time matters only while the camera times the exposure itself.
  const bool timed = host().cacheInt("em") != 1;
  Value* exposure = value("et");
  for (QWidget* w : {static_cast<QWidget*>(exposure->edit), static_cast<QWidget*>(exposure->spin),
                     static_cast<QWidget*>(exposure->slider)})
    w->setEnabled(timed);
  // The line-noise mode is chosen with the correction on.
  radioGroup("lnm")->box->setEnabled(host().cacheInt("lni") > 0);
}

// ---- Ko and Ki 101M / 151M ----------------------------------------------------------------

CKoKi101_151MC_Setting::CKoKi101_151MC_Setting(PageHost& host, QWidget* parent)
    : CKo4MC2_Setting(host, Wording{.digitalGain = cmd::kDigitalGain6}, parent) {
  build();
}

void CKoKi101_151MC_Setting::build() {
  CheckBox& filter =
      addCheckBox({.label = "Trigger Filter", .format = cmd::kTriggerFilter, .stem = "tg"});
  CheckBox& dynamicDefect = addCheckBox(
      {.label = "Dynamic Defect Corr.", .format = cmd::kDynamicDefectCorrection, .stem = "ddc"});
  RealValue& blackTarget =
      addRealValue({.format = cmd::kDarkBlackTarget, .stem = "dbt", .spinStep = 0.5, .range = [] {
                      return kBlackTargetRange;
                    }});
  columnOffset_ = new QLabel(this);
  hotPixelOffset_ = new QLabel(this);
  CMyButton* measure =
      addButton({.label = "Measure", .action = [this] { measurePixelOffset(false); }});
  CMyButton* clear = addButton({.label = "Clear", .action = [this] { measurePixelOffset(true); }});
  place(kModeExposure, checks("Trigger", {filter.box}, this));
  place(kView, checks("Defect", {dynamicDefect.box}, this));
  place(kAnalog, groupBox("Dark Level", {valueBlock(blackTarget, "Black Target:")}, this));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(measure);
  buttons->addWidget(clear);
  buttons->addStretch();
  place(kAnalog, groupBox("Pixel Offset",
                          {labelRow("Column:", columnOffset_),
                           labelRow("Hot Pixel:", hotPixelOffset_), buttons},
                          this));
}

void CKoKi101_151MC_Setting::refreshAll() {
  CKo4MC2_Setting::refreshAll();
  auto show = [this](QLabel* label, const char* stem) {
    const std::optional<double> offset = cachedReal(stem);
    label->setText(offset ? QString::asprintf("%.2f", *offset) : QString());
  };
  show(columnOffset_, "cpo");
  show(hotPixelOffset_, "hpo");
}

void CKoKi101_151MC_Setting::measurePixelOffset(bool clear) {
  // Whether or not the camera took it, the labels show the offsets it now holds.
  if (send(formatCommand(clear ? cmd::kClearPixelOffset : cmd::kMeasurePixelOffset))) {
    host().sendCommand("gcpo", {.timeoutMs = kCommandTimeoutMs});
    host().sendCommand("ghpo", {.timeoutMs = kCommandTimeoutMs});
  }
  refreshAll();
}

// ---- Ko 50M -------------------------------------------------------------------------------

CKo50C_SettingDlg::CKo50C_SettingDlg(PageHost& host, QWidget* parent)
    : KoAreaSetting(host, Wording{.digitalGain = cmd::kDigitalGain2}, parent) {
  build();
}

void CKo50C_SettingDlg::build() {
  Value& digitalBlack = addValue({.format = cmd::kDigitalBlackLevel,
                                  .stem = "dbl",
                                  .range = [] { return kBlackLevelRange; },
                                  .slider = SliderMap::Linear,
                                  .sliderTick = 16});
  RadioGroup& binningMode = addRadioGroup({.title = "Binning Mode",
                                           .format = cmd::kBinningMode,
                                           .stem = "bm",
                                           .labels = {"Sum", "Average"}});
  place(kView, binningMode.box);
  place(kAnalog, groupBox("Digital Black Level", {valueBlock(digitalBlack, "Level:")}, this));
}

bool CKo50C_SettingDlg::send(const std::string& command, uint32_t timeoutMs) {
  if (command.rfind("sdbl ", 0) != 0)
    return KoAreaSetting::send(command, timeoutMs);
  bool accepted = false;
  const FactorySend quiet = [this](const std::string& line) {
    return host().sendCommand(line, {.timeoutMs = kCommandTimeoutMs});
  };
  withPrivilegedLevel(quiet, [&] { accepted = KoAreaSetting::send(command, timeoutMs); });
  return accepted;
}

// ---- Ko 90M / 155M ------------------------------------------------------------------------

CKo155M_Setting::CKo155M_Setting(PageHost& host, QWidget* parent)
    : KoAreaSetting(host,
                    Wording{.digitalGain = cmd::kDigitalGain2, .frameRateCaption = "Frame rate :"},
                    parent) {
  build();
}

void CKo155M_Setting::build() {
  CheckBox& highSpeed =
      addCheckBox({.label = "High Speed Mode", .format = cmd::kHighSpeedMode, .stem = "hsm"});
  RadioGroup& clock = addRadioGroup({.title = "Pixel Clock",
                                     .format = cmd::kCameraLinkClock,
                                     .stem = "ccs",
                                     .labels = {"60 MHz", "80 MHz"}});
  CheckBox& noiseFilter =
      addCheckBox({.label = "Noise Filter", .format = cmd::kNoiseFilter, .stem = "nfe"});
  place(kView, checks("High Speed Mode", {highSpeed.box}, this));
  place(kView, clock.box);
  place(kAnalog, checks("Filter", {noiseFilter.box}, this));
}

} // namespace kelpax
