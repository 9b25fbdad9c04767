// The Ka area pages, as the table of what they set.
#include "pages/ka/ka_setting.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QMessageBox>

#include "camera/tables/model_page_commands.h"
#include "pages/bayer_gain.h"
#include "pages/exposure_format.h"
#include "pages/page_layout.h"

namespace kelpax {
namespace {

// Exposure marks under the slider; those outside the model's range are left out.
const std::pair<const char*, int32_t> kExposureMarks[] = {
    {"25us", 25}, {"1ms", 1000}, {"100ms", 100000}, {"1s", 1000000}, {"60s", 60000000}};

// Trigger mode "Off": the camera runs free and its trigger choices do not apply.
constexpr int32_t kTriggerOff = 0;
// Exposure "Trigger Width": the trigger pulse, not the exposure time, sets the exposure.
constexpr int32_t kExposureTriggerWidth = 1;

} // namespace

CKa47M_Setting::CKa47M_Setting(PageHost& host, QWidget* parent)
    : CKa47M_Setting(host, Wording{}, parent) {}

CKa47M_Setting::CKa47M_Setting(PageHost& host, const Wording& wording, QWidget* parent)
    : SettingsPage(host, parent) {
  build(wording);
}

void CKa47M_Setting::build(const Wording& wording) {
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
                                           .format = cmd::kDataBits,
                                           .stem = "db",
                                           .labels = {"8 Bit", "10 Bit", "12 Bit"},
                                           .values = {8, 10, 12},
                                           .onlyKnownValues = true});
  CheckBox& defect =
      addCheckBox({.label = "Defect Corr.", .format = cmd::kDefectCorrection, .stem = "dc"});
  CheckBox& flatField =
      addCheckBox({.label = "Flat Field Corr.", .format = cmd::kFlatFieldCorrection, .stem = "fc"});
  CheckBox& flip =
      addCheckBox({.label = "Horizontal Flip", .format = cmd::kHorizontalFlip, .stem = "hf"});
  CheckBox& invert = addCheckBox({.label = "Invert", .format = cmd::kInvert, .stem = "ii"});
  RadioGroup& binningH = addRadioGroup({.title = "Horizontal",
                                        .format = cmd::kBinningHorizontal,
                                        .stem = "bh",
                                        .labels = {"x1", "x2", "x4"},
                                        .values = {1, 2, 4},
                                        .onlyKnownValues = true});
  RadioGroup& binningV = addRadioGroup({.title = "Vertical",
                                        .format = cmd::kBinningVertical,
                                        .stem = "bv",
                                        .labels = {"x1", "x2", "x4"},
                                        .values = {1, 2, 4},
                                        .onlyKnownValues = true});
  // The window starts inside the sensor and is at least one pixel.
  auto columns = [this](int32_t low) {
    return [this, low] {
      return ValueRange{low, std::max<int32_t>(low, this->host().modelDescriptor().sensorWidth -
                                                        (low == 0 ? 1 : 0))};
    };
  };
  auto lines = [this](int32_t low) {
    return [this, low] {
      return ValueRange{low, std::max<int32_t>(low, this->host().modelDescriptor().sensorHeight -
                                                        (low == 0 ? 1 : 0))};
    };
  };
  Value& windowX = addValue({.format = cmd::kWindowX, .stem = "wx", .range = columns(0)});
  Value& windowY = addValue({.format = cmd::kWindowY, .stem = "wy", .range = lines(0)});
  Value& windowWidth = addValue({.format = cmd::kWindowWidth, .stem = "ww", .range = columns(1)});
  Value& windowHeight = addValue({.format = cmd::kWindowHeight, .stem = "wh", .range = lines(1)});
  CMyButton* generate = addButton({.label = "Generate Data", .action = [this] { generateData(); }});
  CMyButton* save = addButton({.label = "Save Data", .action = [this] { saveData(); }});

  // ---- MODE/EXP -------------------------------------------------------------------------
  RadioGroup& mode = addRadioGroup({.title = "Trigger Mode",
                                    .format = cmd::kTriggerMode,
                                    .stem = "tm",
                                    .labels = {"Off", "On"}});
  RadioGroup& exposureMode = addRadioGroup({.title = "Exposure Mode",
                                            .format = cmd::kExposureSource,
                                            .stem = "es",
                                            .labels = {"Timed", "Trigger Width"}});
  RadioGroup& source = addRadioGroup({.title = "Source",
                                      .format = cmd::kTriggerSource,
                                      .stem = "ts",
                                      .labels = {"CC1", "External"},
                                      .firstValue = 1});
  RadioGroup& activation = addRadioGroup({.title = "Activation",
                                          .format = cmd::kTriggerPolarity,
                                          .stem = "tp",
                                          .labels = {"Rising Edge", "Falling Edge"}});
  Value& exposure = addValue({.format = cmd::kExposureTime,
                              .stem = "et",
                              .spinStep = 10,
                              .slider = SliderMap::ExposureLog,
                              .sliderTick = kExposureSliderTick});
  RealValue& frameRate =
      addRealValue({.format = cmd::kFrameRate, .stem = "fr", .spinStep = 1.0, .range = [] {
                      return kFrameRateRange;
                    }});
  Value& timerDelay =
      addValue({.format = cmd::kTimerDelay, .stem = "tdl", .spinStep = 10, .range = [] {
                  return kTimerRange;
                }});
  Value& timerDuration =
      addValue({.format = cmd::kTimerDuration, .stem = "tdu", .spinStep = 10, .range = [] {
                  return ValueRange{1, kTimerRange.max};
                }});
  RadioGroup& timerSource = addRadioGroup({.title = "Timer Trigger Source",
                                           .format = cmd::kTimerTriggerSource,
                                           .stem = "tts",
                                           .labels = {"Off", "CC1", "External"}});
  RadioGroup& timerActivation = addRadioGroup({.title = "Timer Trigger Activation",
                                               .format = cmd::kTimerTriggerActivation,
                                               .stem = "tta",
                                               .labels = {"Rising Edge", "Falling Edge"}});

  // ---- ANALOG ---------------------------------------------------------------------------
  RealValue& gain = addRealValue({.format = cmd::kGain,
                                  .stem = "g",
                                  .spinStep = 0.1,
                                  .range = [] { return kGainRange; },
                                  .slider = true,
                                  .sliderSteps = 150});
  Value& blackLevel = addValue({.format = cmd::kBlackLevel,
                                .stem = "bl",
                                .range = [] { return kBlackLevelRange; },
                                .slider = SliderMap::Linear,
                                .sliderTick = 16});

  // ---- FAN ------------------------------------------------------------------------------
  RadioGroup& fan = addRadioGroup({.title = "Fan Operation Mode",
                                   .format = cmd::kFanMode,
                                   .stem = "fm",
                                   .labels = {"Off", "On", "Continuous"}});
  Value& fanTemperature = addValue(
      {.format = cmd::kFanTemperature, .stem = "tt", .range = [] { return kFanTemperatureRange; }});

  // ---- Digital I/O ----------------------------------------------------------------------
  RadioGroup& lineOut =
      addRadioGroup({.title = "Lineout Source",
                     .format = cmd::kLineOutSource,
                     .stem = "los",
                     .labels = {"Off", "Exposure Active", "Timer Active", "User Output"}});
  CheckBox& lineInverter =
      addCheckBox({.label = "Line Inverter", .format = cmd::kLineOutInverter, .stem = "loi"});
  CheckBox& userOutput =
      addCheckBox({.label = "User Output", .format = cmd::kUserOutputValue, .stem = "uov"});

  // ---- Layout ---------------------------------------------------------------------------
  QWidget* view = addSection();
  auto* viewGrid = new QGridLayout(view);
  viewGrid->addWidget(testImage.box, 0, 0);
  viewGrid->addWidget(taps.box, 0, 1);
  viewGrid->addWidget(pixelFormat.box, 0, 2);
  viewGrid->addWidget(
      groupBox("Image Processing", {defect.box, flatField.box, flip.box, invert.box}, view), 0, 3);
  viewGrid->addWidget(groupBox("Binning", {binningH.box, binningV.box}, view), 1, 0);
  viewGrid->addWidget(
      groupBox("ROI Selection",
               {valueBlock(windowX, "OffsetX:"), valueBlock(windowY, "OffsetY:"),
                valueBlock(windowWidth, "Width:"), valueBlock(windowHeight, "Height:")},
               view),
      1, 1, 1, 2);
  correctionBox_ = groupBox(wording.correctionTitle, {generate, save}, view);
  viewGrid->addWidget(correctionBox_, 1, 3);
  viewGrid->setRowStretch(2, 1);

  QWidget* modeExp = addSection();
  auto* modeGrid = new QGridLayout(modeExp);
  modeGrid->addWidget(
      groupBox("Trigger Mode", {mode.box, exposureMode.box, source.box, activation.box}, modeExp),
      0, 0, 2, 1);
  exposureLabel_ = new QLabel(modeExp);
  exposureLabel_->setMinimumWidth(exposureLabel_->fontMetrics().horizontalAdvance("000.00 ms"));
  rangeMinLabel_ = new QLabel(modeExp);
  rangeMaxLabel_ = new QLabel(modeExp);
  exposureMarks_ = new SliderMarks(modeExp);
  auto* rangeRow = new QHBoxLayout;
  rangeRow->addWidget(rangeMinLabel_);
  rangeRow->addStretch();
  rangeRow->addWidget(rangeMaxLabel_);
  QVBoxLayout* exposureBlock = valueBlock(exposure, {}, "us", {exposureLabel_});
  exposureBlock->addWidget(exposureMarks_);
  exposureBlock->addLayout(rangeRow);
  exposure.showLabels = [this](std::optional<int32_t> us) { showExposureLabel(us); };
  modeGrid->addWidget(
      groupBox("Exposure Time", {exposureBlock, valueBlock(frameRate, "FPS:")}, modeExp), 0, 1, 1,
      2);
  modeGrid->addWidget(groupBox("Timer Delay", {valueBlock(timerDelay, {}, "us")}, modeExp), 1, 1);
  modeGrid->addWidget(groupBox("Timer Duration", {valueBlock(timerDuration, {}, "us")}, modeExp), 1,
                      2);
  modeGrid->addWidget(timerSource.box, 2, 1);
  modeGrid->addWidget(timerActivation.box, 2, 2);
  modeGrid->setRowStretch(3, 1);

  QWidget* analog = addSection();
  auto* analogLayout = new QVBoxLayout(analog);
  analogLayout->addWidget(
      groupBox("Video Gain/Offset",
               {valueBlock(gain, "Gain:"), valueBlock(blackLevel, "Black level:")}, analog));
  analogLayout->addStretch();

  QWidget* fanSection = addSection();
  auto* fanLayout = new QHBoxLayout(fanSection);
  fanLayout->addWidget(fan.box);
  fanLayout->addWidget(
      groupBox("Temperature", {valueBlock(fanTemperature, "Fan On:", "\u00b0C")}, fanSection));
  fanLayout->addStretch();

  QWidget* io = addSection();
  auto* ioLayout = new QHBoxLayout(io);
  ioLayout->addWidget(lineOut.box);
  ioLayout->addWidget(groupBox("Line Inverter", {lineInverter.box}, io));
  ioLayout->addWidget(groupBox("User Output", {userOutput.box}, io));
  ioLayout->addStretch();

  QWidget* colour = addSection();
  auto* colourLayout = new QVBoxLayout(colour);
  colourGains_ = new CBayerGain(host(), colour);
  colourLayout->addWidget(groupBox("Bayer Gain", {colourGains_}, colour));
  colourLayout->addStretch();
}

void CKa47M_Setting::adaptToModel() {
  const ValueRange range = host().modelDescriptor().exposureUs;
  std::vector<SliderMarks::Mark> marks;
  for (const auto& [text, us] : kExposureMarks) {
    if (range.contains(us))
      marks.push_back({text, exposureSliderPosition(us, range.min, range.max)});
  }
  exposureMarks_->setMarks(std::move(marks), kExposureSliderMax);
  rangeMinLabel_->setText(QString::fromStdString(rangeMinText(range.min)));
  rangeMaxLabel_->setText(QString::fromStdString(rangeMaxText(range.max)));
}

void CKa47M_Setting::showExposureLabel(std::optional<int32_t> us) {
  exposureLabel_->setText(us ? QString::fromStdString(exposureTimeText(*us)) : QString());
}

void CKa47M_Setting::updateEnabling() {
  const bool triggered = host().cacheInt("tm") != kTriggerOff;
  for (const char* stem : {"es", "ts", "tp"})
    radioGroup(stem)->box->setEnabled(triggered);
  // With the trigger's width exposing, the exposure time does not apply.
  const bool timed = !triggered || host().cacheInt("es") != kExposureTriggerWidth;
  Value* exposure = value("et");
  for (QWidget* w : {static_cast<QWidget*>(exposure->edit), static_cast<QWidget*>(exposure->spin),
                     static_cast<QWidget*>(exposure->slider)})
    w->setEnabled(timed);
}

void CKa47M_Setting::showMessage(const QString& text) {
  QMessageBox::information(this, windowTitle(), text);
}

void CKa47M_Setting::report(const QString& text) {
  lastMessage_ = text;
  showMessage(text);
}

void CKa47M_Setting::generateData() {
  // The camera captures frames for the correction; the buttons wait until it has finished.
  correctionBox_->setEnabled(false);
  const bool done = send(formatCommand(cmd::kGenerateColumnData), kGenerateTimeoutMs);
  correctionBox_->setEnabled(true);
  report(done ? QStringLiteral(" Generation completed!") : QStringLiteral(" Generation failed!"));
}

void CKa47M_Setting::saveData() {
  correctionBox_->setEnabled(false);
  const bool done = send(formatCommand(cmd::kSaveColumnData), kSaveTimeoutMs);
  correctionBox_->setEnabled(true);
  report(done ? QStringLiteral("Saving completed!") : QStringLiteral("Saving failed!"));
}

bool CKa47M_Setting::readFfcSelectorFlag() {
  const Answer answer = host().sendCommand(formatCommand(cmd::kFpgaVersion),
                                           {.timeoutMs = kCommandTimeoutMs, .shown = false});
  if (!answer.accepted())
    return false;
  // "major.minor"; only the whole major number counts.
  const QString version = QString::fromStdString(answer.token(0));
  bool number = false;
  const int major = version.section('.', 0, 0).toInt(&number);
  return number && major >= kSelectorFpgaMajor;
}

// ---- Ka 43M -------------------------------------------------------------------------------

CKa43M_Setting::CKa43M_Setting(PageHost& host, QWidget* parent)
    : CKa47M_Setting(host, Wording{.correctionTitle = "Column PRNU Correction"}, parent) {
  RealValue& gain = gainValue();
  gain.slider->setRange(kGainSlider.minimum, kGainSlider.maximum);
  gain.slider->setTickInterval(int(kGainSlider.step()));
  gain.decl.toSlider = [](double g) { return kGainSlider.positionOf(g); };
  gain.decl.fromSlider = [](int position) { return kGainSlider.gainAt(position); };

  columnPrnu_ = new QCheckBox("Column PRNU", correctionBox());
  correctionBox()->layout()->addWidget(columnPrnu_);
  // The camera decides: the box changes only when it accepted the command.
  connect(columnPrnu_, &QCheckBox::clicked, this, [this] {
    QMetaObject::invokeMethod(
        this, [this] { toggleColumnPrnu(); }, Qt::QueuedConnection);
  });
}

void CKa43M_Setting::setOwnControlsFromCache() {
  CKa47M_Setting::setOwnControlsFromCache();
  // Every page is filled at every connection; other cameras are not asked what they lack.
  if (host().modelDescriptor().is(Series::Ka, "43M")) {
    readColumnPrnu();
  } else {
    columnPrnu_->setChecked(false);
    columnPrnu_->setEnabled(false);
  }
}

void CKa43M_Setting::readColumnPrnu() {
  const Answer answer = host().sendCommand(formatCommand(cmd::kColumnPrnuQuery),
                                           {.timeoutMs = kCommandTimeoutMs, .shown = false});
  bool number = false;
  const int on = QString::fromStdString(answer.token(0)).toInt(&number);
  const bool known = answer.accepted() && number && (on == 0 || on == 1);
  columnPrnu_->setChecked(known && on == 1);
  columnPrnu_->setEnabled(known);
}

void CKa43M_Setting::toggleColumnPrnu() {
  // The click already turned the box; what is asked for is its new state.
  const bool wanted = columnPrnu_->isChecked();
  send(formatCommand(cmd::kColumnPrnu, {wanted ? 1.0 : 0.0}));
  readColumnPrnu();
}

} // namespace kelpax
