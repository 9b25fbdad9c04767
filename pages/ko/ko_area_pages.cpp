// The Ko area cameras' pages, as what they set differently from the Ka 47M page.
#include "pages/ko/ko_area_pages.h"

#include "camera/tables/command_vocabulary.h"
#include "pages/ko/ko_factory.h"
#include "pages/page_layout.h"
#include "pages/trigger_groups.h"

namespace kelpax {
namespace {

constexpr ValueRange kTimerRange{0, 1000000};
constexpr SettingsPage::RealRange kDigitalGainRange{1.0, 16.0};

// Pixel format numbers instead of bits, two binning factors, an integer analog gain, their
// own timer and line-out choices, and no correction data buttons.
CKa47M_Setting::Declaration koDeclaration(PageHost& host, const CommandSpec& digitalGain,
                                          const QString& frameRateCaption = "FPS:") {
  using Page = CKa47M_Setting;
  Page::Declaration d = Page::kaDeclaration(host);
  d.pixelFormat = {.title = "Pixel Format",
                   .format = cmd::kPixelFormat,
                   .stem = "pf",
                   .labels = {"8 Bit", "10 Bit", "12 Bit"}};
  // Pixel formats 0, 1 and 2 carry 8, 10 and 12 bits.
  d.bitsOfPixelFormat = [](int32_t format) { return format == 1 ? 10 : format == 2 ? 12 : 8; };
  d.binningH = {.title = "Binning Horizontal",
                .format = cmd::kBinningHorizontal,
                .stem = "bh",
                .labels = {"x1", "x2"},
                .firstValue = 1};
  d.binningV = d.binningH;
  d.binningV.title = "Binning Vertical";
  d.binningV.format = cmd::kBinningVertical;
  d.binningV.stem = "bv";
  d.processing.pop_back(); // no invert
  d.correctionTitle.clear();

  d.exposureMode.reset();
  d.activation = trigger::activation(trigger::FirstEdge::Falling);
  d.exposureMarks = false;
  d.freeRunDisablesTrigger = false;
  d.frameRate.slider = true;
  d.frameRateTitle = "Frame Rate";
  d.frameRateCaption = frameRateCaption;
  d.frameRateUnit = "fps";
  d.timerDelay.range = [] { return kTimerRange; };
  d.timerDuration.range = [] { return ValueRange{1, kTimerRange.max}; };
  d.timerSource.labels = {"CC1", "External", "Software"};

  d.gain.reset();
  d.analogGain = SettingsPage::ValueDecl{
      .format = cmd::kAnalogGain, .stem = "ag", .slider = SettingsPage::SliderMap::Linear};
  d.digitalGain = SettingsPage::RealValueDecl{.format = digitalGain,
                                              .stem = "dg",
                                              .spinStep = 0.1,
                                              .range = [] { return kDigitalGainRange; },
                                              .slider = true,
                                              .sliderSteps = 150};

  d.temperatureTitle = "Fan On Temperature";
  d.temperatureCaption.clear();
  d.lineOut.labels = {"Exposure Active", "Frame Valid", "Timer Out", "User Output"};
  d.lineInverter.label = "Invert";
  d.userOutput.label = "High";
  d.colourTitle.clear();
  return d;
}

} // namespace

// ---- Ko 4M C2 ---------------------------------------------------------------------------

CKo4MC2_Setting::CKo4MC2_Setting(PageHost& host, QWidget* parent)
    : CKa47M_Setting(
          host,
          [&host] {
            Declaration d = koDeclaration(host, cmd::kDigitalGain6);
            d.exposureMode = RadioGroupDecl{.title = "Exposure Mode",
                                            .format = cmd::kExposureMode,
                                            .stem = "em",
                                            .labels = {"Timed", "Trigger Width"}};
            return d;
          }(),
          parent) {
  CheckBox& correction = addCheckBox(
      {.label = "Line Noise Correction", .format = cmd::kLineNoiseCorrection, .stem = "lni"});
  CheckBox& calibration = addCheckBox(
      {.label = "Line Noise Calibration", .format = cmd::kLineNoiseCalibration, .stem = "lnc"});
  RadioGroup& noiseMode = addRadioGroup({.title = "Line Noise Mode",
                                         .format = cmd::kLineNoiseMode,
                                         .stem = "lnm",
                                         .labels = {"Off", "Column", "Row"}});
  place(kAnalog, groupBox("Line Noise", {correction.box, calibration.box, noiseMode.box}, this));
}

void CKo4MC2_Setting::updateEnabling() {
  // The exposure time follows the exposure mode.
  CKa47M_Setting::updateEnabling();
  // The line-noise mode is chosen with the correction on.
  radioGroup("lnm")->box->setEnabled(host().cacheInt("lni") > 0);
}

// ---- Ko and Ki 101M / 151M ----------------------------------------------------------------

CKoKi101_151MC_Setting::CKoKi101_151MC_Setting(PageHost& host, QWidget* parent)
    : CKo4MC2_Setting(host, parent) {
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
  place(kModeExposure, groupBox("Trigger", {filter.box}, this));
  place(kView, groupBox("Defect", {dynamicDefect.box}, this));
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
    : CKa47M_Setting(host, koDeclaration(host, cmd::kDigitalGain2), parent) {
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
    return CKa47M_Setting::send(command, timeoutMs);
  bool accepted = false;
  const FactorySend quiet = [this](const std::string& line) {
    return host().sendCommand(line, {.timeoutMs = kCommandTimeoutMs});
  };
  withPrivilegedLevel(quiet, [&] { accepted = CKa47M_Setting::send(command, timeoutMs); });
  return accepted;
}

// ---- Ko 90M / 155M ------------------------------------------------------------------------

CKo155M_Setting::CKo155M_Setting(PageHost& host, QWidget* parent)
    : CKa47M_Setting(host, koDeclaration(host, cmd::kDigitalGain2, "Frame rate :"), parent) {
  CheckBox& highSpeed =
      addCheckBox({.label = "High Speed Mode", .format = cmd::kHighSpeedMode, .stem = "hsm"});
  RadioGroup& clock = addRadioGroup({.title = "Pixel Clock",
                                     .format = cmd::kCameraLinkClock,
                                     .stem = "ccs",
                                     .labels = {"60 MHz", "80 MHz"}});
  CheckBox& noiseFilter =
      addCheckBox({.label = "Noise Filter", .format = cmd::kNoiseFilter, .stem = "nfe"});
  place(kView, groupBox("High Speed Mode", {highSpeed.box}, this));
  place(kView, clock.box);
  place(kAnalog, groupBox("Filter", {noiseFilter.box}, this));
}

} // namespace kelpax
