// The Ky 29C image, trigger and output pages, as the table of what they set.
#include "pages/ky/ky29c_pages.h"

#include <QGridLayout>

#include "camera/tables/command_vocabulary.h"
#include "pages/exposure_format.h"
#include "pages/page_layout.h"
#include "pages/trigger_groups.h"

namespace kelpax {

CKy29CViewDlg::CKy29CViewDlg(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
  const QStringList factors{"1", "2", "3", "4", "8"};
  const std::vector<int32_t> factorValues{1, 2, 3, 4, 8};
  RadioGroup& binningH = addRadioGroup({.title = "Horizontal",
                                        .format = cmd::kBinningHorizontal,
                                        .stem = "bh",
                                        .labels = factors,
                                        .values = factorValues,
                                        .onlyKnownValues = true});
  RadioGroup& binningV = addRadioGroup({.title = "Vertical",
                                        .format = cmd::kBinningVertical,
                                        .stem = "bv",
                                        .labels = factors,
                                        .values = factorValues,
                                        .onlyKnownValues = true});
  RadioGroup& testImage = addRadioGroup({.title = "Test Image",
                                         .format = cmd::kTestImage,
                                         .stem = "ti",
                                         .labels = {"None", "Test #1", "Test #2", "Test #3"}});
  RadioGroup& dataBit = addRadioGroup({.title = "Data Bit",
                                       .format = cmd::kDataBits,
                                       .stem = "db",
                                       .labels = {"8 BIT", "10 BIT", "12 BIT"},
                                       .values = {8, 10, 12},
                                       .onlyKnownValues = true});
  RadioGroup& channel = addRadioGroup({.title = "Channel",
                                       .format = cmd::kChannelCount,
                                       .stem = "cm",
                                       .labels = {"1 Tab", "2 Tab", "4 Tab"},
                                       .values = {1, 2, 4},
                                       .onlyKnownValues = true});
  RadioGroup& lut = addRadioGroup({.title = "LUT",
                                   .format = cmd::kLutSelect,
                                   .stem = "ls",
                                   .labels = {"Off", "LUT 1", "LUT 2"}});
  CheckBox& flatField =
      addCheckBox({.label = "Flat Field Corr.", .format = cmd::kFlatFieldCorrection, .stem = "fc"});
  CheckBox& defect =
      addCheckBox({.label = "Defect Corr.", .format = cmd::kDefectCorrection, .stem = "dc"});
  CheckBox& smear =
      addCheckBox({.label = "Smear Corr.", .format = cmd::kSmearCorrection, .stem = "mc"});
  CheckBox& flip =
      addCheckBox({.label = "Horizontal Flip", .format = cmd::kHorizontalFlip, .stem = "hf"});
  CheckBox& knee = addCheckBox({.label = "Knee", .format = cmd::kKnee, .stem = "ks"});
  // The region starts inside the sensor and is at least one pixel.
  Value& offsetX =
      addValue({.format = cmd::kOffsetX, .stem = "ox", .range = [this] {
                  return ValueRange{0, std::max(0, this->host().modelDescriptor().aoiMaxX)};
                }});
  Value& width =
      addValue({.format = cmd::kWidth, .stem = "iw", .range = [this] {
                  return ValueRange{1, std::max(1, this->host().modelDescriptor().sensorWidth)};
                }});
  Value& height =
      addValue({.format = cmd::kHeight, .stem = "ih", .range = [this] {
                  return ValueRange{1, std::max(1, this->host().modelDescriptor().sensorHeight)};
                }});

  auto* grid = new QGridLayout(this);
  grid->addWidget(groupBox("Binning", {binningH.box, binningV.box}, this), 0, 0, 2, 1);
  grid->addWidget(testImage.box, 0, 1);
  grid->addWidget(dataBit.box, 0, 2);
  grid->addWidget(channel.box, 0, 3);
  grid->addWidget(lut.box, 1, 1);
  grid->addWidget(groupBox("Image Processing",
                           {flatField.box, defect.box, smear.box, flip.box, knee.box}, this),
                  1, 2);
  grid->addWidget(groupBox("Region",
                           {valueBlock(offsetX, "Offset X:"), valueBlock(width, "Width:"),
                            valueBlock(height, "Height:")},
                           this),
                  1, 3);
  grid->setRowStretch(2, 1);
}

CKy29CTRIGGER::CKy29CTRIGGER(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
  RadioGroup& mode = addRadioGroup({.title = "Trigger Mode",
                                    .format = cmd::kTriggerMode,
                                    .stem = "tm",
                                    .labels = {"Off", "On"}});
  RadioGroup& exposureMode = addRadioGroup({.title = "Exposure",
                                            .format = cmd::kExposureSource,
                                            .stem = "es",
                                            .labels = {"Timed", "Trigger Width"}});
  CheckBox& overlap = addCheckBox({.label = "Overlap", .format = cmd::kOverlap, .stem = "ol"});
  CheckBox& doubleExposure =
      addCheckBox({.label = "Double Exposure", .format = cmd::kDoubleExposure, .stem = "de"});
  RadioGroup& source = addRadioGroup(trigger::source());
  RadioGroup& activation = addRadioGroup(trigger::activation(trigger::FirstEdge::Rising));
  Value& exposure = addValue(trigger::exposureTime());
  Value& strobe = addValue({.format = cmd::kStrobeOffset,
                            .stem = "so",
                            .spinStep = 10,
                            .range = [] { return kStrobeOffsetRange; },
                            .slider = SliderMap::StrobeLog,
                            .sliderTick = 250});
  exposureLabel_ = new QLabel(this);
  strobeLabel_ = new QLabel(this);
  exposure.showLabels = [this](std::optional<int32_t> us) {
    exposureLabel_->setText(us ? QString::fromStdString(exposureTimeText(*us)) : QString());
  };
  strobe.showLabels = [this](std::optional<int32_t> us) {
    strobeLabel_->setText(us ? QString::fromStdString(strobeOffsetText(*us)) : QString());
  };

  auto* grid = new QGridLayout(this);
  grid->addWidget(
      groupBox("Acquisition Control",
               {groupBox("Trigger Mode",
                         {mode.box, exposureMode.box, overlap.box, doubleExposure.box}, this),
                source.box, activation.box},
               this),
      0, 0, 3, 1);
  grid->addWidget(
      groupBox("Exposure Time", {valueBlock(exposure, {}, "us", {exposureLabel_})}, this), 0, 1);
  grid->addWidget(groupBox("Strobe Offset", {valueBlock(strobe, {}, "us", {strobeLabel_})}, this),
                  1, 1);
  grid->setRowStretch(2, 1);
  grid->setColumnStretch(1, 1);
}

void CKy29CTRIGGER::updateEnabling() {
  // Free running: the trigger's source, edge and exposure choices do not apply.
  const bool triggered = host().cacheInt("tm") > 0;
  for (const char* stem : {"es", "ts", "tp"})
    radioGroup(stem)->box->setEnabled(triggered);
  for (const char* stem : {"ol", "de"})
    checkBox(stem)->box->setEnabled(triggered);
}

CKy29COutputCtrlDlg::CKy29COutputCtrlDlg(PageHost& host, QWidget* parent)
    : SettingsPage(host, parent) {
  RadioGroup& lineSource = addRadioGroup(
      {.title = "Line Source",
       .format = cmd::kLineSource,
       .stem = "ss",
       .labels = {"Exposure Active", "Frame Valid", "Pulse Generator", "User Output"}});
  CheckBox& inverter =
      addCheckBox({.label = "Line Inverter", .format = cmd::kLineInverter, .stem = "li"});
  CheckBox& userOutput =
      addCheckBox({.label = "User OutputValue", .format = cmd::kUserOutput, .stem = "uo"});
  Value& period = addValue({.format = cmd::kPulsePeriod, .stem = "pp", .spinStep = 10, .range = [] {
                              return kPulseRange;
                            }});
  Value& width = addValue({.format = cmd::kPulseWidth, .stem = "pw", .spinStep = 10, .range = [] {
                             return kPulseRange;
                           }});
  RadioGroup& fan = addRadioGroup({.title = "Fan Operation Mode",
                                   .format = cmd::kFanMode,
                                   .stem = "fm",
                                   .labels = {"Off", "On", "Continuous"}});
  Value& temperature = addValue(
      {.format = cmd::kFanTemperature, .stem = "tt", .range = [] { return kTemperatureRange; }});

  auto* grid = new QGridLayout(this);
  grid->addWidget(
      groupBox("DigitalIOControl",
               {lineSource.box, inverter.box, userOutput.box,
                groupBox("Pulse Generator",
                         {valueBlock(period, "Period:", "us"), valueBlock(width, "Width:", "us")},
                         this)},
               this),
      0, 0, 2, 1);
  grid->addWidget(fan.box, 0, 1);
  grid->addWidget(groupBox("Temperature", {valueBlock(temperature, "Fan On:", "\u00b0C")}, this), 1,
                  1);
  grid->setRowStretch(2, 1);
  grid->setColumnStretch(2, 1);
}

} // namespace kelpax
