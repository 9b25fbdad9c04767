// The Ka area pages, as the table of what they set.
#include "pages/ka/ka_setting.h"

#include <QCheckBox>
#include <QMessageBox>

#include "pages/bayer_gain.h"
#include "pages/exposure_format.h"
#include "pages/image_rules.h"
#include "pages/page_layout.h"
#include "pages/trigger_groups.h"

namespace kelpax {
namespace {

// Exposure marks under the slider; those outside the model's range are left out.
const std::pair<const char*, int32_t> kExposureMarks[] = {
    {"25us", 25}, {"1ms", 1000}, {"100ms", 100000}, {"1s", 1000000}, {"60s", 60000000}};

// Trigger mode "Off": the camera runs free and its trigger choices do not apply.
constexpr int32_t kTriggerOff = 0;
// Exposure "Trigger Width": the trigger pulse, not the exposure time, sets the exposure.
constexpr int32_t kExposureTriggerWidth = 1;
// Groups placed below a section's own flow three to a row; extra height goes below them.
constexpr int kColumns = 3;
constexpr int kStretchRow = 16;

} // namespace

CKa47M_Setting::Declaration CKa47M_Setting::kaDeclaration(PageHost& host) {
  // The window starts inside the sensor and is at least one pixel.
  auto sensor = [&host](bool columns, int32_t low) {
    return [&host, columns, low] {
      const ModelDescriptor& m = host.modelDescriptor();
      const int32_t side = columns ? m.sensorWidth : m.sensorHeight;
      return ValueRange{low, std::max<int32_t>(low, side - (low == 0 ? 1 : 0))};
    };
  };
  return {
      .testImage = {.title = "Test Image",
                    .format = cmd::kTestImage,
                    .stem = "ti",
                    .labels = {"None", "Test #1", "Test #2", "Test #3"}},
      .taps = {.title = "CameraLink Output",
               .format = cmd::kCameraLinkTaps,
               .stem = "cl",
               .labels = {"2 Tap (Base)", "4 Tap (Medium)", "8 Tap (Full)", "10 Tap (Full)"}},
      .pixelFormat = {.title = "Pixel Format",
                      .format = cmd::kDataBits,
                      .stem = "db",
                      .labels = {"8 Bit", "10 Bit", "12 Bit"},
                      .values = {8, 10, 12},
                      .onlyKnownValues = true},
      .binningH = {.title = "Horizontal",
                   .format = cmd::kBinningHorizontal,
                   .stem = "bh",
                   .labels = {"x1", "x2", "x4"},
                   .values = {1, 2, 4},
                   .onlyKnownValues = true},
      .binningV = {.title = "Vertical",
                   .format = cmd::kBinningVertical,
                   .stem = "bv",
                   .labels = {"x1", "x2", "x4"},
                   .values = {1, 2, 4},
                   .onlyKnownValues = true},
      .processing = {{.label = "Defect Corr.", .format = cmd::kDefectCorrection, .stem = "dc"},
                     {.label = "Flat Field Corr.",
                      .format = cmd::kFlatFieldCorrection,
                      .stem = "fc"},
                     {.label = "Horizontal Flip", .format = cmd::kHorizontalFlip, .stem = "hf"},
                     {.label = "Invert", .format = cmd::kInvert, .stem = "ii"}},
      .windowX = {.format = cmd::kWindowX, .stem = "wx", .range = sensor(true, 0)},
      .windowY = {.format = cmd::kWindowY, .stem = "wy", .range = sensor(false, 0)},
      .windowWidth = {.format = cmd::kWindowWidth, .stem = "ww", .range = sensor(true, 1)},
      .windowHeight = {.format = cmd::kWindowHeight, .stem = "wh", .range = sensor(false, 1)},
      .correctionTitle = "Dark Image Correction",
      .mode = {.title = "Trigger Mode",
               .format = cmd::kTriggerMode,
               .stem = "tm",
               .labels = {"Off", "On"}},
      .exposureMode = RadioGroupDecl{.title = "Exposure Mode",
                                     .format = cmd::kExposureSource,
                                     .stem = "es",
                                     .labels = {"Timed", "Trigger Width"}},
      .source = trigger::source(),
      .activation = trigger::activation(trigger::FirstEdge::Rising),
      .exposure = trigger::exposureTime(),
      .frameRate = {.format = cmd::kFrameRate,
                    .stem = "fr",
                    .spinStep = 1.0,
                    .range = [] { return kFrameRateRange; }},
      .frameRateCaption = "FPS:",
      .timerDelay = {.format = cmd::kTimerDelay,
                     .stem = "tdl",
                     .spinStep = 10,
                     .range = [] { return kTimerRange; }},
      .timerDuration = {.format = cmd::kTimerDuration,
                        .stem = "tdu",
                        .spinStep = 10,
                        .range =
                            [] {
                              return ValueRange{1, kTimerRange.max};
                            }},
      .timerSource = {.title = "Timer Trigger Source",
                      .format = cmd::kTimerTriggerSource,
                      .stem = "tts",
                      .labels = {"Off", "CC1", "External"}},
      .timerActivation = {.title = "Timer Trigger Activation",
                          .format = cmd::kTimerTriggerActivation,
                          .stem = "tta",
                          .labels = {"Rising Edge", "Falling Edge"}},
      .gain = RealValueDecl{.format = cmd::kGain,
                            .stem = "g",
                            .spinStep = 0.1,
                            .range = [] { return kGainRange; },
                            .slider = true,
                            .sliderSteps = 150},
      .blackLevel = {.format = cmd::kBlackLevel,
                     .stem = "bl",
                     .range = [] { return kBlackLevelRange; },
                     .slider = SliderMap::Linear,
                     .sliderTick = 16},
      .fan = {.title = "Fan Operation Mode",
              .format = cmd::kFanMode,
              .stem = "fm",
              .labels = {"Off", "On", "Continuous"}},
      .fanTemperature = {.format = cmd::kFanTemperature,
                         .stem = "tt",
                         .range = [] { return kFanTemperatureRange; }},
      .temperatureTitle = "Temperature",
      .temperatureCaption = "Fan On:",
      .lineOut = {.title = "Lineout Source",
                  .format = cmd::kLineOutSource,
                  .stem = "los",
                  .labels = {"Off", "Exposure Active", "Timer Active", "User Output"}},
      .lineInverter = {.label = "Line Inverter", .format = cmd::kLineOutInverter, .stem = "loi"},
      .userOutput = {.label = "User Output", .format = cmd::kUserOutputValue, .stem = "uov"},
      .colourTitle = "Bayer Gain",
  };
}

CKa47M_Setting::CKa47M_Setting(PageHost& host, QWidget* parent)
    : CKa47M_Setting(host, kaDeclaration(host), parent) {}

CKa47M_Setting::CKa47M_Setting(PageHost& host, const Declaration& declaration, QWidget* parent)
    : SettingsPage(host, parent),
      exposureModeStem_(declaration.exposureMode ? declaration.exposureMode->stem : ""),
      freeRunDisablesTrigger_(declaration.freeRunDisablesTrigger),
      pixelFormatStem_(declaration.pixelFormat.stem),
      bitsOfPixelFormat_(declaration.bitsOfPixelFormat) {
  build(declaration);
}

void CKa47M_Setting::place(int section, QWidget* widget) {
  const int at = placed_[size_t(section)]++;
  widget->setParent(this->section(section));
  grids_[size_t(section)]->addWidget(widget, firstFreeRow_[size_t(section)] + at / kColumns,
                                     at % kColumns);
}

void CKa47M_Setting::build(const Declaration& d) {
  for (int i = 0; i < kSections; ++i) {
    grids_.push_back(new QGridLayout(addSection()));
    grids_.back()->setRowStretch(kStretchRow, 1);
  }
  auto grid = [this](Section s) { return grids_[size_t(s)]; };
  // Each section's own groups; place() flows the pages' additions after them.
  auto flowFrom = [this](int row, int placed) {
    firstFreeRow_.push_back(row);
    placed_.push_back(placed);
  };

  // ---- VIEW -----------------------------------------------------------------------------
  QWidget* view = section(kView);
  grid(kView)->addWidget(addRadioGroup(d.testImage).box, 0, 0);
  grid(kView)->addWidget(addRadioGroup(d.taps).box, 0, 1);
  grid(kView)->addWidget(addRadioGroup(d.pixelFormat).box, 0, 2);
  auto* processing = groupBox("Image Processing", {}, view);
  auto* processingRows = static_cast<QVBoxLayout*>(processing->layout());
  for (const CheckBoxDecl& box : d.processing)
    processingRows->insertWidget(processingRows->count() - 1, addCheckBox(box).box);
  grid(kView)->addWidget(processing, 0, 3);
  RadioGroup& binningH = addRadioGroup(d.binningH);
  RadioGroup& binningV = addRadioGroup(d.binningV);
  grid(kView)->addWidget(groupBox("Binning", {binningH.box, binningV.box}, view), 1, 0);
  Value& windowX = addValue(d.windowX);
  Value& windowY = addValue(d.windowY);
  Value& windowWidth = addValue(d.windowWidth);
  Value& windowHeight = addValue(d.windowHeight);
  grid(kView)->addWidget(
      groupBox("ROI Selection",
               {valueBlock(windowX, "OffsetX:"), valueBlock(windowY, "OffsetY:"),
                valueBlock(windowWidth, "Width:"), valueBlock(windowHeight, "Height:")},
               view),
      1, 1, 1, 2);
  if (!d.correctionTitle.isEmpty()) {
    CMyButton* generate =
        addButton({.label = "Generate Data", .action = [this] { generateData(); }});
    CMyButton* save = addButton({.label = "Save Data", .action = [this] { saveData(); }});
    correctionBox_ = groupBox(d.correctionTitle, {generate, save}, view);
    grid(kView)->addWidget(correctionBox_, 1, 3);
  }
  flowFrom(2, 0);

  // ---- MODE/EXP -------------------------------------------------------------------------
  QWidget* modeExp = section(kModeExposure);
  auto* trigger = groupBox("Trigger Mode", {addRadioGroup(d.mode).box}, modeExp);
  auto* triggerRows = static_cast<QVBoxLayout*>(trigger->layout());
  if (d.exposureMode)
    triggerRows->insertWidget(triggerRows->count() - 1, addRadioGroup(*d.exposureMode).box);
  triggerRows->insertWidget(triggerRows->count() - 1, addRadioGroup(d.source).box);
  triggerRows->insertWidget(triggerRows->count() - 1, addRadioGroup(d.activation).box);
  grid(kModeExposure)->addWidget(trigger, 0, 0, 2, 1);

  Value& exposure = addValue(d.exposure);
  QVBoxLayout* exposureBlock;
  if (d.exposureMarks) {
    exposureLabel_ = new QLabel(modeExp);
    exposureLabel_->setMinimumWidth(exposureLabel_->fontMetrics().horizontalAdvance("000.00 ms"));
    rangeMinLabel_ = new QLabel(modeExp);
    rangeMaxLabel_ = new QLabel(modeExp);
    exposureMarks_ = new SliderMarks(modeExp);
    auto* rangeRow = new QHBoxLayout;
    rangeRow->addWidget(rangeMinLabel_);
    rangeRow->addStretch();
    rangeRow->addWidget(rangeMaxLabel_);
    exposureBlock = valueBlock(exposure, {}, "us", {exposureLabel_});
    exposureBlock->addWidget(exposureMarks_);
    exposureBlock->addLayout(rangeRow);
    exposure.showLabels = [this](std::optional<int32_t> us) { showExposureLabel(us); };
  } else {
    exposureBlock = valueBlock(exposure, {}, "us");
  }
  RealValue& frameRate = addRealValue(d.frameRate);
  QVBoxLayout* frameRateBlock = valueBlock(frameRate, d.frameRateCaption, d.frameRateUnit);
  if (d.frameRateTitle.isEmpty()) {
    grid(kModeExposure)
        ->addWidget(groupBox("Exposure Time", {exposureBlock, frameRateBlock}, modeExp), 0, 1, 1,
                    2);
  } else {
    grid(kModeExposure)->addWidget(groupBox("Exposure Time", {exposureBlock}, modeExp), 0, 1, 1, 2);
    grid(kModeExposure)->addWidget(groupBox(d.frameRateTitle, {frameRateBlock}, modeExp), 2, 0);
  }
  Value& timerDelay = addValue(d.timerDelay);
  Value& timerDuration = addValue(d.timerDuration);
  grid(kModeExposure)
      ->addWidget(groupBox("Timer Delay", {valueBlock(timerDelay, {}, "us")}, modeExp), 1, 1);
  grid(kModeExposure)
      ->addWidget(groupBox("Timer Duration", {valueBlock(timerDuration, {}, "us")}, modeExp), 1, 2);
  grid(kModeExposure)->addWidget(addRadioGroup(d.timerSource).box, 2, 1);
  grid(kModeExposure)->addWidget(addRadioGroup(d.timerActivation).box, 2, 2);
  flowFrom(3, 0);

  // ---- ANALOG ---------------------------------------------------------------------------
  QWidget* analog = section(kAnalog);
  QVBoxLayout* gainBlock = d.gain ? valueBlock(addRealValue(*d.gain), "Gain:")
                                  : valueBlock(addValue(d.analogGain.value()), "Gain:");
  QGroupBox* video = groupBox(
      "Video Gain/Offset", {gainBlock, valueBlock(addValue(d.blackLevel), "Black level:")}, analog);
  if (d.digitalGain) {
    auto* rows = static_cast<QVBoxLayout*>(video->layout());
    rows->insertLayout(rows->count() - 1,
                       valueBlock(addRealValue(*d.digitalGain), "Digital Gain:"));
  }
  grid(kAnalog)->addWidget(video, 0, 0);
  flowFrom(0, 1);

  // ---- FAN ------------------------------------------------------------------------------
  QWidget* fan = section(kFan);
  grid(kFan)->addWidget(addRadioGroup(d.fan).box, 0, 0);
  grid(kFan)->addWidget(
      groupBox(d.temperatureTitle,
               {valueBlock(addValue(d.fanTemperature), d.temperatureCaption, "\u00b0C")}, fan),
      0, 1);
  flowFrom(0, 2);

  // ---- Digital I/O ----------------------------------------------------------------------
  QWidget* io = section(kDigitalIo);
  grid(kDigitalIo)->addWidget(addRadioGroup(d.lineOut).box, 0, 0);
  grid(kDigitalIo)
      ->addWidget(groupBox("Line Inverter", {addCheckBox(d.lineInverter).box}, io), 0, 1);
  grid(kDigitalIo)->addWidget(groupBox("User Output", {addCheckBox(d.userOutput).box}, io), 0, 2);
  flowFrom(0, 3);

  // ---- AWB ------------------------------------------------------------------------------
  QWidget* colour = section(kColour);
  colourGains_ = new CBayerGain(host(), colour);
  grid(kColour)->addWidget(d.colourTitle.isEmpty()
                               ? static_cast<QWidget*>(colourGains_)
                               : groupBox(d.colourTitle, {colourGains_}, colour),
                           0, 0);
  flowFrom(0, 1);

  // Groups keep their width; what is left goes to the right.
  for (QGridLayout* g : grids_)
    g->setColumnStretch(4, 1);
}

void CKa47M_Setting::adaptToModel() {
  if (!exposureMarks_)
    return;
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
  bool triggered = true;
  if (freeRunDisablesTrigger_) {
    triggered = host().cacheInt("tm") != kTriggerOff;
    for (const std::string& stem : {exposureModeStem_, std::string("ts"), std::string("tp")}) {
      if (RadioGroup* group = radioGroup(stem))
        group->box->setEnabled(triggered);
    }
  }
  if (exposureModeStem_.empty())
    return;
  // With the trigger's width exposing, the exposure time does not apply.
  const bool timed = !triggered || host().cacheInt(exposureModeStem_) != kExposureTriggerWidth;
  Value* exposure = value("et");
  for (QWidget* w : {static_cast<QWidget*>(exposure->edit), static_cast<QWidget*>(exposure->spin),
                     static_cast<QWidget*>(exposure->slider)})
    w->setEnabled(timed);
}

bool CKa47M_Setting::radioChoiceAllowed(const RadioGroup& group, size_t index) {
  if (!bitsOfPixelFormat_)
    return true;
  // Ten taps carry 8-bit pixels only, whichever of the two the operator changes.
  bool allowed = true;
  if (group.decl.stem == "cl" && cachedValue(pixelFormatStem_))
    allowed =
        tapsCarryBits(group.valueOf(index), bitsOfPixelFormat_(host().cacheInt(pixelFormatStem_)));
  else if (group.decl.stem == pixelFormatStem_ && cachedValue("cl"))
    allowed = tapsCarryBits(host().cacheInt("cl"), bitsOfPixelFormat_(group.valueOf(index)));
  if (!allowed)
    showMessage(kTenTapsText);
  return allowed;
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
    : CKa47M_Setting(
          host,
          [&host] {
            Declaration d = kaDeclaration(host);
            d.correctionTitle = "Column PRNU Correction";
            return d;
          }(),
          parent) {
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
