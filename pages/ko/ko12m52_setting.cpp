// The Ko 12M / 71M page, as the table of what it sets.
#include "pages/ko/ko12m52_setting.h"

#include <QGridLayout>

#include "camera/tables/command_vocabulary.h"
#include "pages/dark_image.h"
#include "pages/image_rules.h"
#include "pages/ko/ko_factory.h"
#include "pages/page_layout.h"
#include "pages/trigger_groups.h"

namespace kelpax {

CKo12M52_SettingDlg::CKo12M52_SettingDlg(PageHost& host, QWidget* parent)
    : ImageSettingsPage(host, parent) {
  build();
}

void CKo12M52_SettingDlg::build() {
  // ---- VIEW -----------------------------------------------------------------------------
  RadioGroup& mode = addRadioGroup(
      {.title = "Mode", .format = cmd::kReadoutMode, .stem = "rm", .labels = {"Nomal", "ROI"}});
  RadioGroup& binning = addRadioGroup(
      {.title = "Binning", .format = cmd::kBinning, .stem = "bf", .labels = {"X1", "X2", "X4"}});
  RadioGroup& testImage = addRadioGroup({.title = "Test Image",
                                         .format = cmd::kTestImage,
                                         .stem = "ti",
                                         .labels = {"None", "Test #1", "Test #2", "Test #3"}});
  RadioGroup& taps = addRadioGroup(
      {.title = "Camera Link Output",
       .format = cmd::kCameraLinkTaps,
       .stem = "cl",
       .labels = {"2 Tap (Base)", "4 Tap (Medium)", "8 Tap (Full)", "10 Tap (Full)"}});
  RadioGroup& dataBit = addRadioGroup({.title = "Data Bit",
                                       .format = cmd::kDataBits,
                                       .stem = "db",
                                       .labels = {"8 Bit", "10 Bit", "12 Bit"},
                                       .values = {8, 10, 12}});
  CheckBox& defect =
      addCheckBox({.label = "Defect Corr.", .format = cmd::kDefectCorrection, .stem = "dc"});
  CheckBox& flatField =
      addCheckBox({.label = "Flat Field Corr.", .format = cmd::kFlatFieldCorrection, .stem = "fc"});
  CheckBox& flip =
      addCheckBox({.label = "Horizontal Flip", .format = cmd::kHorizontalFlip, .stem = "hf"});
  generate_ = addButton({.label = "Generate Data", .action = [this] { generateDarkData(); }});
  save_ = addButton({.label = "Save Data", .action = [this] { saveDarkData(); }});

  QWidget* view = addSection();
  auto* viewGrid = new QGridLayout(view);
  viewGrid->addWidget(mode.box, 0, 0);
  viewGrid->addWidget(binning.box, 0, 1);
  viewGrid->addWidget(testImage.box, 0, 2);
  viewGrid->addWidget(taps.box, 1, 0);
  viewGrid->addWidget(dataBit.box, 1, 1);
  viewGrid->addWidget(groupBox("Image Processing", {defect.box, flatField.box, flip.box}, view), 1,
                      2);
  QGroupBox* region = buildRegionBox();
  region->setParent(view);
  viewGrid->addWidget(region, 2, 0, 1, 2);
  viewGrid->addWidget(groupBox("Dark Image Correction", {generate_, save_}, view), 2, 2);
  viewGrid->setRowStretch(3, 1);

  // ---- MODE/EXP -------------------------------------------------------------------------
  RadioGroup& trigger =
      addRadioGroup({.title = "Trigger Mode",
                     .format = cmd::kTriggerMode,
                     .stem = "tm",
                     .labels = {"Free-Run", "Standard", "Fast", "Double", "Overlap"}});
  RadioGroup& source = addRadioGroup(trigger::source({"CC1", "Ext."}));
  RadioGroup& exposureSource = addRadioGroup({.title = "Exposure",
                                              .format = cmd::kExposureSource,
                                              .stem = "es",
                                              .labels = {"Program", "Pulse Width"}});
  RadioGroup& polarity = addRadioGroup({.title = "Polarity",
                                        .format = cmd::kTriggerPolarity,
                                        .stem = "tp",
                                        .labels = {"Active Low", "Active High"}});
  // The 12M sensors take long to settle a new exposure.
  Value& exposure = addValue(trigger::exposureTime(
      [this] { return this->host().modelDescriptor().sizeClass == "12M" ? 10000u : 3000u; }));
  Value& strobe = addValue({.format = cmd::kStrobeOffset,
                            .stem = "so",
                            .spinStep = 10,
                            .range = [] { return kStrobeRange; },
                            .slider = SliderMap::StrobeLog});
  RadioGroup& strobePolarity = addRadioGroup({.title = "Strobe Polarity",
                                              .format = cmd::kStrobePolarity,
                                              .stem = "sp",
                                              .labels = {"Active Low", "Active High"}});
  CheckBox& global =
      addCheckBox({.label = "Global Reset", .format = cmd::kGlobalReset, .stem = "fag"});
  frameRate_ = new QLabel(this);
  CMyButton* readRate = addButton({.label = "Read", .action = [this] { readFrameRate(); }});

  QWidget* modeExp = addSection();
  auto* modeGrid = new QGridLayout(modeExp);
  modeGrid->addWidget(trigger.box, 0, 0, 2, 1);
  modeGrid->addWidget(source.box, 0, 1);
  modeGrid->addWidget(exposureSource.box, 0, 2);
  modeGrid->addWidget(polarity.box, 1, 1);
  modeGrid->addWidget(groupBox("Global", {global.box}, modeExp), 1, 2);
  modeGrid->addWidget(groupBox("Exposure Time", {valueBlock(exposure, {}, "us")}, modeExp), 2, 0, 1,
                      2);
  modeGrid->addWidget(groupBox("Frame Rate", {labelRow("fps:", frameRate_), readRate}, modeExp), 2,
                      2);
  modeGrid->addWidget(groupBox("Strobe Offset", {valueBlock(strobe, {}, "us")}, modeExp), 3, 0, 1,
                      2);
  modeGrid->addWidget(strobePolarity.box, 3, 2);
  modeGrid->setRowStretch(4, 1);

  // ---- ANALOG ---------------------------------------------------------------------------
  Value& gain = addValue({.format = cmd::kAnalogGain, .stem = "ag", .slider = SliderMap::Linear});
  Value& offset =
      addValue({.format = cmd::kAnalogOffset, .stem = "ao", .slider = SliderMap::Linear});
  RadioGroup& sensorGain = addRadioGroup({.title = "Sensor Gain",
                                          .format = cmd::kSensorGain,
                                          .stem = "sc",
                                          .labels = {"Low", "High"}});
  QWidget* analog = addSection();
  auto* analogGrid = new QGridLayout(analog);
  analogGrid->addWidget(groupBox("Video Gain", {valueBlock(gain, {})}, analog), 0, 0);
  analogGrid->addWidget(groupBox("Video Offset", {valueBlock(offset, {})}, analog), 1, 0);
  analogGrid->addWidget(sensorGain.box, 0, 1);
  analogGrid->setRowStretch(2, 1);
}

bool CKo12M52_SettingDlg::radioChoiceAllowed(const RadioGroup& group, size_t index) {
  // Ten taps carry 8-bit pixels only, whichever of the two the operator changes.
  bool allowed = true;
  if (group.decl.stem == "cl" && cachedValue("db"))
    allowed = tapsCarryBits(group.valueOf(index), host().cacheInt("db"));
  else if (group.decl.stem == "db" && cachedValue("cl"))
    allowed = tapsCarryBits(host().cacheInt("cl"), group.valueOf(index));
  if (!allowed)
    showMessage(kTenTapsText);
  return allowed;
}

void CKo12M52_SettingDlg::updateEnabling() {
  // The region edits matter in ROI mode only; the trigger's details with a trigger.
  regionBox_->setEnabled(host().cacheInt("rm") == 1);
  const int32_t trigger = host().cacheInt("tm");
  const bool triggered = trigger > 0;
  radioGroup("ts")->box->setEnabled(triggered);
  radioGroup("tp")->box->setEnabled(triggered);
  radioGroup("es")->box->setEnabled(triggered && trigger != 2);
}

void CKo12M52_SettingDlg::valueCommitted(Value& value, bool accepted) {
  // A new exposure changes the frame rate the camera reaches.
  if (accepted && value.decl.stem == "et" && !frameRate_->text().isEmpty())
    readFrameRate();
}

void CKo12M52_SettingDlg::readFrameRate() {
  const FactorySend quiet = [this](const std::string& line) {
    return host().sendCommand(line, {.timeoutMs = kCommandTimeoutMs});
  };
  QString shown;
  withPrivilegedLevel(quiet, [&] {
    const Answer answer = quiet(formatCommand(cmd::kFrameRateRegister));
    bool number = false;
    const double rate = QString::fromStdString(answer.token(0)).toDouble(&number);
    if (answer.accepted() && number && rate >= 0 && rate < 1e6)
      shown = QString::asprintf("%.3f", rate);
  });
  frameRate_->setText(shown);
}

void CKo12M52_SettingDlg::setDarkButtonsEnabled(bool enabled) {
  generate_->setEnabled(enabled);
  save_->setEnabled(enabled);
}

void CKo12M52_SettingDlg::generateDarkData() {
  if (darkDataBusy_)
    return;
  darkDataBusy_ = true;
  setDarkButtonsEnabled(false);
  showMessage(kCoverCameraText);
  const DarkImageChannel channel{
      .send = [this](const std::string& command,
                     uint32_t timeoutMs) { return send(command, timeoutMs); },
      .cached = [this](std::string_view stem) { return cachedValue(std::string(stem)); }};
  const DarkImageOutcome outcome = generateDarkImage(host().modelDescriptor().rateCode, channel);
  if (!outcome.message.empty())
    showMessage(QString::fromStdString(outcome.message));
  refreshAll();
  setDarkButtonsEnabled(true);
  darkDataBusy_ = false;
}

void CKo12M52_SettingDlg::saveDarkData() {
  if (darkDataBusy_)
    return;
  darkDataBusy_ = true;
  setDarkButtonsEnabled(false);
  const DarkImageChannel channel{
      .send = [this](const std::string& command,
                     uint32_t timeoutMs) { return send(command, timeoutMs); },
      .cached = [this](std::string_view stem) { return cachedValue(std::string(stem)); }};
  const DarkImageOutcome outcome = saveDarkImage(host().modelDescriptor().rateCode, channel);
  if (!outcome.message.empty())
    showMessage(QString::fromStdString(outcome.message));
  setDarkButtonsEnabled(true);
  darkDataBusy_ = false;
}

} // namespace kelpax
