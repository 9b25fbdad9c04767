// The Ku pages, as the table of what they set.
#include "pages/ku/ku_setting.h"

#include <QGridLayout>

#include "camera/tables/command_vocabulary.h"
#include "camera/tables/model_rules.h"
#include "editors/line_scan_correction_widget.h"
#include "pages/line_rate.h"
#include "pages/page_layout.h"

namespace kelpax {
namespace {

constexpr SettingsPage::RealRange kDigitalGainRange{1.0, 16.0};
constexpr ValueRange kDigitalOffsetRange{0, 255};

// Exposure source "Program": the camera times the exposure itself.
constexpr int32_t kExposureProgram = 0;

} // namespace

CKu_Basic_SettingDlg::CKu_Basic_SettingDlg(PageHost& host, QWidget* parent)
    : SettingsPage(host, parent) {
  auto modelReal = [this](std::string_view stem) {
    return [this, stem] {
      const ValueRange r =
          modelRange(this->host().modelDescriptor(), stem).value_or(ValueRange{0, INT32_MAX});
      return RealRange{double(r.min), double(r.max)};
    };
  };

  // ---- VIEW -----------------------------------------------------------------------------
  RadioGroup& testImage = addRadioGroup({.title = "Test Image",
                                         .format = cmd::kTestImage,
                                         .stem = "ti",
                                         .labels = {"None", "Test #1", "Test #2", "Test #3"}});
  RadioGroup& dataBit = addRadioGroup({.title = "Data Bit",
                                       .format = cmd::kDataBits,
                                       .stem = "db",
                                       .labels = {"8 Bit", "10 Bit", "12 Bit"},
                                       .values = {8, 10, 12}});
  // The camera numbers its outputs 0-5 for 2, 4, 8, 10, 3 and 6 taps; shown by tap count.
  RadioGroup& taps =
      addRadioGroup({.title = "Tap Mode",
                     .format = cmd::kCameraLinkTaps,
                     .stem = "cl",
                     .labels = {"2 Tap", "3 Tap", "4 Tap", "6 Tap", "8 Tap", "10 Tap"},
                     .values = {0, 4, 1, 5, 2, 3}});
  RadioGroup& imageMode = addRadioGroup(
      {.title = "Image Mode",
       .format = cmd::kImageMode,
       .stem = "im",
       .labels = {"Single Line (Low SNR)", "Dual Line (High SNR)", "Horizontal Binning",
                  "Vertical Binning", "H+V Binning (Average)", "H+V Binning (Sum)"}});
  RadioGroup& direction = addRadioGroup({.title = "Image Direction",
                                         .format = cmd::kImageDirection,
                                         .stem = "id",
                                         .labels = {"Forward", "Backward", "CC3"}});
  CheckBox& flip =
      addCheckBox({.label = "Horizontal Flip", .format = cmd::kHorizontalFlip, .stem = "hf"});
  auto sensorColumns = [this] {
    return ValueRange{0, std::max<int32_t>(0, this->host().modelDescriptor().sensorWidth)};
  };
  Value& offsetX =
      addValue({.format = cmd::kImageOffset, .stem = "io", .spinStep = 16, .range = sensorColumns});
  Value& width =
      addValue({.format = cmd::kWidth, .stem = "iw", .spinStep = 16, .range = sensorColumns});

  // ---- MODE/EXP -------------------------------------------------------------------------
  RadioGroup& mode =
      addRadioGroup({.title = "Trigger Mode",
                     .format = cmd::kTriggerMode,
                     .stem = "tm",
                     .labels = {"Free-Run", "External Sync", "External Sync Converter"}});
  RadioGroup& exposureSource = addRadioGroup({.title = "Exposure",
                                              .format = cmd::kExposureSource,
                                              .stem = "es",
                                              .labels = {"Program", "Pulse Width", "Edge"}});
  RadioGroup& source = addRadioGroup({.title = "Source",
                                      .format = cmd::kTriggerSource,
                                      .stem = "ts",
                                      .labels = {"CC1", "External"},
                                      .firstValue = 1});
  RadioGroup& polarity = addRadioGroup({.title = "Polarity",
                                        .format = cmd::kTriggerPolarity,
                                        .stem = "tp",
                                        .labels = {"Active Low", "Active High"}});
  RealValue& exposure = addRealValue(
      {.format = cmd::kExposureTime2, .stem = "et", .spinStep = 1.0, .range = modelReal("et")});
  RealValue& linePeriod = addRealValue({.format = cmd::kLineRate2,
                                        .stem = "lr",
                                        .spinStep = 1.0,
                                        .range = modelReal("lr"),
                                        .slider = true});
  lineRate_ = new QLabel(this);
  linePeriod.showLabels = [this](std::optional<double> periodUs) {
    lineRate_->setText(periodUs ? QString::fromStdString(lineRateText(*periodUs)) : QString{});
  };

  // ---- GAIN -----------------------------------------------------------------------------
  RealValue& digitalGain = addRealValue({.format = cmd::kDigitalGain2,
                                         .stem = "dg",
                                         .spinStep = 0.01,
                                         .range = [] { return kDigitalGainRange; },
                                         .slider = true,
                                         .sliderSteps = 1500});
  Value& digitalOffset = addValue({.format = cmd::kDigitalOffset,
                                   .stem = "do",
                                   .range = [] { return kDigitalOffsetRange; },
                                   .slider = SliderMap::Linear,
                                   .sliderTick = 16});
  CheckBox& filter =
      addCheckBox({.label = "Advanced Filter", .format = cmd::kAdvancedFilter, .stem = "af"});

  // ---- Layout ---------------------------------------------------------------------------
  QWidget* view = addSection();
  auto* viewGrid = new QGridLayout(view);
  viewGrid->addWidget(testImage.box, 0, 0);
  viewGrid->addWidget(dataBit.box, 0, 1);
  viewGrid->addWidget(taps.box, 0, 2);
  viewGrid->addWidget(imageMode.box, 1, 0, 1, 2);
  viewGrid->addWidget(groupBox("Image Direction", {direction.box, flip.box}, view), 1, 2);
  viewGrid->addWidget(groupBox("ROI Setting",
                               {valueBlock(offsetX, "Offset X :"), valueBlock(width, "Width :")},
                               view),
                      2, 0, 1, 2);
  viewGrid->setRowStretch(3, 1);

  QWidget* modeExp = addSection();
  auto* modeGrid = new QGridLayout(modeExp);
  modeGrid->addWidget(mode.box, 0, 0);
  modeGrid->addWidget(exposureSource.box, 0, 1);
  modeGrid->addWidget(source.box, 1, 0);
  modeGrid->addWidget(polarity.box, 1, 1);
  modeGrid->addWidget(groupBox("Exposure Time",
                               {valueBlock(exposure, "Exp. Time", "us"),
                                valueBlock(linePeriod, "LinePeriod", "us", {lineRate_})},
                               modeExp),
                      2, 0, 1, 2);
  modeGrid->setRowStretch(3, 1);

  QWidget* gain = addSection();
  auto* gainLayout = new QVBoxLayout(gain);
  gainLayout->addWidget(groupBox(
      "Video Gain/Offset",
      {valueBlock(digitalGain, "Gain:"), valueBlock(digitalOffset, "Offset:"), filter.box}, gain));
  gainLayout->addWidget(new CKuCorrectionWidget(host, gain));
  gainLayout->addStretch();
}

void CKu_Basic_SettingDlg::updateEnabling() {
  // A free-running camera takes no trigger settings; a programmed exposure has its time.
  const bool triggered = host().cacheInt("tm") > 0;
  for (const char* stem : {"es", "ts", "tp"})
    radioGroup(stem)->box->setEnabled(triggered);
  const bool timed = !triggered || host().cacheInt("es") == kExposureProgram;
  RealValue* exposure = realValue("et");
  exposure->edit->setEnabled(timed);
  exposure->spin->setEnabled(timed);
}

CKu_Color_SettingDlg::CKu_Color_SettingDlg(PageHost& host, QWidget* parent)
    : CKu_Basic_SettingDlg(host, parent) {}

} // namespace kelpax
