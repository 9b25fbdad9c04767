// The Ke pages, as the table of what they set.
#include "pages/ke/ke_setting.h"

#include <QGridLayout>
#include <QMessageBox>

#include "camera/tables/command_vocabulary.h"
#include "camera/tables/model_rules.h"
#include "editors/line_scan_correction_widget.h"
#include "pages/page_layout.h"

namespace kelpax {
namespace {

constexpr uint32_t kGenerateAllTimeoutMs = 20000;
constexpr SettingsPage::RealRange kDigitalGainRange{1.0, 16.0};
constexpr SettingsPage::RealRange kRescalerRateRange{0.001, 100.0};
constexpr SettingsPage::RealRange kStrobeOffsetRange{0.0, 100.0};
constexpr ValueRange kBlackLevelRange{0, 255};

// Operation modes: the camera integrates over its TDI stages, or reads one line as an area
// camera would.
constexpr int32_t kOperationTdi = 0;

} // namespace

CKe_Setting::CKe_Setting(PageHost& host, QWidget* parent) : CKe_Setting(host, Wording{}, parent) {}

CKe_Setting::CKe_Setting(PageHost& host, const Wording& wording, QWidget* parent)
    : SettingsPage(host, parent) {
  build(wording);
}

void CKe_Setting::build(const Wording& wording) {
  auto modelReal = [this](ValueRange (*pick)(const ModelDescriptor&)) {
    return [this, pick] {
      const ValueRange r = pick(this->host().modelDescriptor());
      return RealRange{double(r.min), double(r.max)};
    };
  };

  // ---- VIEW -----------------------------------------------------------------------------
  RadioGroup& taps = addRadioGroup({.title = "Tap Mode",
                                    .format = cmd::kCameraLinkTaps,
                                    .stem = "cl",
                                    .labels = wording.taps,
                                    .values = wording.tapValues,
                                    .onlyKnownValues = true});
  RadioGroup& testImage = addRadioGroup({.title = "Test Image",
                                         .format = cmd::kTestImage,
                                         .stem = "ti",
                                         .labels = {"None", "Test #1", "Test #2", "Test #3"}});
  RadioGroup& dataBit = addRadioGroup({.title = "Data Bit",
                                       .format = cmd::kDataBits,
                                       .stem = "db",
                                       .labels = {"8 Bit", "10 Bit", "12 Bit"},
                                       .values = {8, 10, 12}});
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
  CheckBox& reverseX =
      addCheckBox({.label = "Reverse X", .format = cmd::kHorizontalFlip, .stem = "hf"});
  auto sensorColumns = [this] {
    return ValueRange{0, std::max<int32_t>(0, this->host().modelDescriptor().sensorWidth)};
  };
  Value& offsetX = addValue({.format = cmd::kOffsetX, .stem = "ox", .range = sensorColumns});
  Value& width = addValue({.format = cmd::kWidth, .stem = "iw", .range = sensorColumns});
  RadioGroup& prnu = addRadioGroup({.title = "PRNU Selector:",
                                    .format = cmd::kPrnuSelect,
                                    .stem = "prnu",
                                    .labels = {"Off", "PRNU 1", "PRNU 2", "PRNU 3"}});
  CheckBox& filter =
      addCheckBox({.label = "Advanced Filter", .format = cmd::kFilter, .stem = "rf"});
  CheckBox& preEmphasis =
      addCheckBox({.label = "Pre-emphasis", .format = cmd::kPreEmphasis, .stem = "pe"});
  CMyButton* generateAll =
      addButton({.label = "Generate All", .action = [this] { generateAllDark(); }});

  // ---- MODE/EXP -------------------------------------------------------------------------
  RadioGroup& operation = addRadioGroup({.title = "Operation Mode",
                                         .format = cmd::kOperationMode,
                                         .stem = "om",
                                         .labels = {"TDI", "Area"}});
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
                                          .format = cmd::kTriggerActivation,
                                          .stem = "ta",
                                          .labels = {"Rising", "Falling", "Both"}});
  RealValue& exposure =
      addRealValue({.format = cmd::kExposureTime3,
                    .stem = "et",
                    .spinStep = 1.0,
                    .range = modelReal([](const ModelDescriptor& m) { return m.exposureUs; }),
                    .slider = true});
  RealValue& lineRate = addRealValue(
      {.format = cmd::kLineRate3,
       .stem = "lr",
       .spinStep = 100.0,
       .range =
           [this] {
             const ValueRange r =
                 modelRange(this->host().modelDescriptor(), "lr").value_or(ValueRange{100, 200000});
             return RealRange{double(r.min), double(r.max)};
           },
       .slider = true});
  RadioGroup& stages = addRadioGroup({.title = "TDI Stages",
                                      .format = cmd::kTdiStages,
                                      .stem = "td",
                                      .labels = {"16", "32", "64", "128", "256"},
                                      .values = {16, 32, 64, 128, 256}});
  RadioGroup& direction = addRadioGroup({.title = "Direction",
                                         .format = cmd::kScanDirection,
                                         .stem = "sd",
                                         .labels = {"Area", "Forward", "Reverse", "Line 1"}});
  RadioGroup& rescaler = addRadioGroup({.title = "Rescaler Mode",
                                        .format = cmd::kRescalerMode,
                                        .stem = "sm",
                                        .labels = {"Off", "On"}});
  RealValue& rescalerRate =
      addRealValue({.format = cmd::kRescalerRate, .stem = "rr", .spinStep = 0.1, .range = [] {
                      return kRescalerRateRange;
                    }});

  // ---- VIDEO ----------------------------------------------------------------------------
  Value& gain = addValue({.format = cmd::kAnalogGain, .stem = "ag", .slider = SliderMap::Linear});
  RealValue& digitalGain = addRealValue({.format = cmd::kDigitalGain3,
                                         .stem = "dg",
                                         .spinStep = 0.1,
                                         .range = [] { return kDigitalGainRange; },
                                         .slider = true,
                                         .sliderSteps = 150});
  Value& blackLevel = addValue({.format = cmd::kDigitalBlackLevel,
                                .stem = "dbl",
                                .range = [] { return kBlackLevelRange; },
                                .slider = SliderMap::Linear,
                                .sliderTick = 16});

  // ---- STROBE ---------------------------------------------------------------------------
  RadioGroup& strobePolarity = addRadioGroup({.title = "Polarity",
                                              .format = cmd::kStrobePolarity,
                                              .stem = "sp",
                                              .labels = {"Active Low", "Active High"}});
  RealValue& strobeOffset =
      addRealValue({.format = cmd::kStrobeTimeOffset, .stem = "to", .spinStep = 1.0, .range = [] {
                      return kStrobeOffsetRange;
                    }});

  // ---- Layout ---------------------------------------------------------------------------
  QWidget* view = addSection();
  auto* viewGrid = new QGridLayout(view);
  viewGrid->addWidget(taps.box, 0, 0);
  viewGrid->addWidget(testImage.box, 0, 1);
  viewGrid->addWidget(groupBox("Image Format Control",
                               {dataBit.box, binningH.box, binningV.box, reverseX.box}, view),
                      0, 2, 2, 1);
  viewGrid->addWidget(groupBox("ROI Setting",
                               {valueBlock(offsetX, "Offset X :"), valueBlock(width, "Width :")},
                               view),
                      1, 0);
  viewGrid->addWidget(groupBox("DSNU Correction", {generateAll}, view), 1, 1);
  viewGrid->addWidget(prnu.box, 2, 0);
  viewGrid->addWidget(groupBox("Filter", {filter.box, preEmphasis.box}, view), 2, 1);
  viewGrid->addWidget(new CKeCorrectionWidget(host(), view), 3, 0, 1, 2);
  viewGrid->setRowStretch(4, 1);

  QWidget* modeExp = addSection();
  auto* modeGrid = new QGridLayout(modeExp);
  modeGrid->addWidget(operation.box, 0, 0);
  modeGrid->addWidget(mode.box, 0, 1);
  modeGrid->addWidget(source.box, 0, 2);
  modeGrid->addWidget(activation.box, 0, 3);
  modeGrid->addWidget(
      groupBox("Exposure Time(For Area Mode)", {valueBlock(exposure, {}, "us")}, modeExp), 1, 0, 1,
      2);
  modeGrid->addWidget(
      groupBox("Line Rate(For TDI Mode)", {valueBlock(lineRate, {}, "Hz")}, modeExp), 1, 2, 1, 2);
  modeGrid->addWidget(stages.box, 2, 0);
  modeGrid->addWidget(direction.box, 2, 1);
  modeGrid->addWidget(
      groupBox("Rescaler", {rescaler.box, valueBlock(rescalerRate, "Rescaler Rate:")}, modeExp), 2,
      2, 1, 2);
  modeGrid->setRowStretch(3, 1);

  QWidget* video = addSection();
  auto* videoLayout = new QVBoxLayout(video);
  videoLayout->addWidget(
      groupBox("Video Gain/Black Level",
               {valueBlock(gain, "Gain:"), valueBlock(digitalGain, "Digital Gain:"),
                valueBlock(blackLevel, "Black Level:")},
               video));
  videoLayout->addStretch();

  QWidget* strobe = addSection();
  auto* strobeLayout = new QHBoxLayout(strobe);
  strobeLayout->addWidget(groupBox("Strobe Out",
                                   {strobePolarity.box, valueBlock(strobeOffset, "Offset:", "us")},
                                   strobe),
                          1);
  statistics_ = new CKe_TRIGGER_STATICS_Dlg(host(), strobe);
  strobeLayout->addWidget(statistics_, 1);
}

void CKe_Setting::updateEnabling() {
  // Area mode exposes for a time of its own; TDI mode follows the line rate and its stages.
  const bool tdi = host().cacheInt("om") == kOperationTdi;
  for (const char* stem : {"et"}) {
    RealValue* value = realValue(stem);
    for (QWidget* w : {static_cast<QWidget*>(value->edit), static_cast<QWidget*>(value->spin),
                       static_cast<QWidget*>(value->slider)})
      w->setEnabled(!tdi);
  }
  RealValue* lineRate = realValue("lr");
  for (QWidget* w : {static_cast<QWidget*>(lineRate->edit), static_cast<QWidget*>(lineRate->spin),
                     static_cast<QWidget*>(lineRate->slider)})
    w->setEnabled(tdi);
  radioGroup("td")->box->setEnabled(tdi);
  // The trigger's source and edge matter only with the trigger on.
  const bool triggered = host().cacheInt("tm") > 0;
  radioGroup("ts")->box->setEnabled(triggered);
  radioGroup("ta")->box->setEnabled(triggered);
  // The rescaler's rate matters only with the rescaler on.
  RealValue* rate = realValue("rr");
  const bool rescaling = host().cacheInt("sm") > 0;
  rate->edit->setEnabled(rescaling);
  rate->spin->setEnabled(rescaling);
}

void CKe_Setting::showMessage(const QString& text) {
  QMessageBox::information(this, windowTitle(), text);
}

void CKe_Setting::generateAllDark() {
  // The camera captures dark frames for every gain and stage setting: it has to be covered.
  if (send(formatCommand(cmd::kGenerateAllDark), kGenerateAllTimeoutMs))
    lastMessage_ = QStringLiteral("Generation completed!");
  else
    lastMessage_ = QStringLiteral("Generation failed!");
  showMessage(lastMessage_);
}

// ---- Newer firmware: colour correction ----------------------------------------------------

namespace {
constexpr int kCoefficientEditId = 2501;
constexpr int kBalanceEditId = 2502;
} // namespace

CNewKe_Setting::CNewKe_Setting(PageHost& host, QWidget* parent)
    : CNewKe_Setting(host, Wording{}, parent) {}

CNewKe_Setting::CNewKe_Setting(PageHost& host, const Wording& wording, QWidget* parent)
    : CKe_Setting(host, wording, parent) {
  build();
}

void CNewKe_Setting::build() {
  QWidget* video = section(kVideo);
  colourBox_ = new QGroupBox("Color Correction", video);
  auto* grid = new QGridLayout(colourBox_);
  auto indexBox = [this](int count) {
    auto* box = new QSpinBox(colourBox_);
    box->setRange(0, count - 1);
    return box;
  };
  coefficientIndex_ = indexBox(kCoefficients);
  balanceIndex_ = indexBox(kBalances);
  coefficient_ = new CIntegerEdit(colourBox_);
  coefficient_->setFixedWidth(coefficient_->fontMetrics().horizontalAdvance("0000000") + 12);
  coefficient_->setControlId(kCoefficientEditId);
  balance_ = new CIntegerEdit(colourBox_);
  balance_->setFixedWidth(balance_->fontMetrics().horizontalAdvance("0000000") + 12);
  balance_->setControlId(kBalanceEditId);
  grid->addWidget(new QLabel("Coefficient:", colourBox_), 0, 0);
  grid->addWidget(coefficientIndex_, 0, 1);
  grid->addWidget(coefficient_, 0, 2);
  grid->addWidget(new QLabel("Balance:", colourBox_), 1, 0);
  grid->addWidget(balanceIndex_, 1, 1);
  grid->addWidget(balance_, 1, 2);
  grid->setColumnStretch(3, 1);
  if (auto* layout = qobject_cast<QVBoxLayout*>(video->layout()))
    layout->insertWidget(1, colourBox_);
  colourBox_->hide();
  connect(coefficientIndex_, &QSpinBox::valueChanged, this,
          [this] { readOne(cmd::kColourCoefficientQuery, coefficientIndex_, coefficient_); });
  connect(balanceIndex_, &QSpinBox::valueChanged, this,
          [this] { readOne(cmd::kColourBalanceQuery, balanceIndex_, balance_); });
}

void CNewKe_Setting::adaptToModel() {
  CKe_Setting::adaptToModel();
  colourBox_->setVisible(host().modelDescriptor().isColour());
}

void CNewKe_Setting::showEvent(QShowEvent* event) {
  CKe_Setting::showEvent(event);
  if (shownSection() == kVideo)
    readColourValues();
}

void CNewKe_Setting::readColourValues() {
  readOne(cmd::kColourCoefficientQuery, coefficientIndex_, coefficient_);
  readOne(cmd::kColourBalanceQuery, balanceIndex_, balance_);
}

void CNewKe_Setting::readOne(const CommandSpec& query, QSpinBox* index, CIntegerEdit* edit) {
  if (!host().modelDescriptor().isColour())
    return;
  const Answer answer = host().sendCommand(formatCommand(query, {double(index->value())}),
                                           {.timeoutMs = kCommandTimeoutMs, .shown = false});
  // The camera answers the value alone, or the index and the value.
  const std::string last = answer.token(1).empty() ? answer.token(0) : answer.token(1);
  bool number = false;
  const int value = QString::fromStdString(last).toInt(&number);
  if (answer.accepted() && number) {
    edit->setValueFromCode(value);
  } else {
    edit->setValueFromCode(-1);
    edit->clear();
  }
}

void CNewKe_Setting::commitOne(const CommandSpec& set, const CommandSpec& query, QSpinBox* index,
                               CIntegerEdit* edit, ValueRange range) {
  if (range.contains(edit->value()))
    send(formatCommand(set, {double(index->value()), double(edit->value())}));
  // Sent or not, the field shows what the camera keeps.
  readOne(query, index, edit);
}

void CNewKe_Setting::onOwnValueCommitted(int controlId) {
  if (controlId == kCoefficientEditId)
    commitOne(cmd::kColourCoefficient, cmd::kColourCoefficientQuery, coefficientIndex_,
              coefficient_, kCoefficientRange);
  else if (controlId == kBalanceEditId)
    commitOne(cmd::kColourBalance, cmd::kColourBalanceQuery, balanceIndex_, balance_,
              kBalanceRange);
}

CNormalKe_Setting::CNormalKe_Setting(PageHost& host, QWidget* parent)
    : CNewKe_Setting(host, parent) {}

CKe_Color_Setting::CKe_Color_Setting(PageHost& host, QWidget* parent)
    : CNewKe_Setting(host, Wording{.taps = {"RGB (3 Tap)"}, .tapValues = {4}}, parent) {}

} // namespace kelpax
