// The image pages.
#include "pages/view_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QMetaObject>
#include <QVBoxLayout>

#include "camera/tables/command_vocabulary.h"
#include "pages/dark_image.h"
#include "pages/image_rules.h"

namespace kelpax {
namespace {

constexpr int kFullButtonId = 2001;
constexpr int kGenerateButtonId = 2002;
constexpr int kSaveButtonId = 2003;
// The read-out mode of several regions ("srm 2").
constexpr int32_t kMultiRoiMode = 2;

const QStringList kTestImages = {"None", "Test #1", "Test #2", "Test #3"};
const QStringList kLuts = {"Off", "LUT 1", "LUT 2"};

// The Ko 25M cameras number their outputs 0 (2 taps), 4 (3 taps), 2 (8) and 3 (10).
const QStringList kKo25MTaps = {"2 Tap", "3 Tap", "8 Tap", "10 Tap"};
const std::vector<int32_t> kKo25MTapValues = {0, 4, 2, 3};

// A group box holding check boxes one under the other.
QGroupBox* checkGroup(const QString& title, std::initializer_list<QWidget*> boxes,
                      QWidget* parent) {
  auto* group = new QGroupBox(title, parent);
  auto* layout = new QVBoxLayout(group);
  for (QWidget* box : boxes)
    layout->addWidget(box);
  layout->addStretch();
  return group;
}

QHBoxLayout* edgeRow(const QString& caption, SettingsPage::Value& value) {
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(caption));
  value.edit->setFixedWidth(value.edit->fontMetrics().horizontalAdvance("0000000") + 12);
  row->addWidget(value.edit);
  row->addWidget(value.spin);
  row->addStretch();
  return row;
}

} // namespace

ImageSettingsPage::ImageSettingsPage(PageHost& host, QWidget* parent)
    : SettingsPage(host, parent) {}

QGroupBox* ImageSettingsPage::buildRegionBox() {
  // Each edit carries one end of its area; the other end goes out as the camera holds it.
  auto columns = [this](const std::vector<int32_t>& v) {
    return regionSpanValid(v[0], v[1], host().modelDescriptor().sensorWidth, kMinColumnSpan);
  };
  auto lines = [this](const std::vector<int32_t>& v) {
    return regionSpanValid(v[0], v[1], host().modelDescriptor().sensorHeight, kMinLineSpan);
  };
  Value& firstColumn = addValue(
      {.format = cmd::kHorizontalArea, .stem = "ha", .valueIndex = 0, .acceptValues = columns});
  Value& lastColumn = addValue(
      {.format = cmd::kHorizontalArea, .stem = "ha", .valueIndex = 1, .acceptValues = columns});
  Value& firstLine = addValue(
      {.format = cmd::kVerticalArea, .stem = "va", .valueIndex = 0, .acceptValues = lines});
  Value& lastLine = addValue(
      {.format = cmd::kVerticalArea, .stem = "va", .valueIndex = 1, .acceptValues = lines});

  regionBox_ = new QGroupBox("ROI", this);
  full_ = new CMyButton("Full", regionBox_);
  full_->setControlId(kFullButtonId);
  full_->setReceiver(this);
  auto* grid = new QGridLayout(regionBox_);
  grid->addLayout(edgeRow("Start X :", firstColumn), 0, 0);
  grid->addLayout(edgeRow("End X :", lastColumn), 0, 1);
  grid->addLayout(edgeRow("Start Y :", firstLine), 1, 0);
  grid->addLayout(edgeRow("End Y :", lastLine), 1, 1);
  grid->addWidget(full_, 0, 2, 2, 1);
  return regionBox_;
}

void ImageSettingsPage::sendFullFrame() {
  const ModelDescriptor& model = host().modelDescriptor();
  // A sensor of unknown size has no full frame to ask for.
  if (model.sensorWidth > 0)
    send(formatCommand(cmd::kHorizontalArea, {0.0, double(model.sensorWidth - 1)}));
  if (model.sensorHeight > 0)
    send(formatCommand(cmd::kVerticalArea, {0.0, double(model.sensorHeight - 1)}));
  refreshAll();
}

void ImageSettingsPage::onButtonClicked(int controlId) {
  if (controlId == kFullButtonId)
    sendFullFrame();
}

void ImageSettingsPage::showMessage(const QString& text) {
  QMessageBox::information(this, windowTitle(), text);
}

CViewSetting::CViewSetting(PageHost& host, QWidget* parent) : ImageSettingsPage(host, parent) {
  // The channel count is sent as 1, 2, 3 (four taps interleaved) and 4.
  RadioGroup& channel = addRadioGroup({.title = "Channel",
                                       .format = cmd::kChannelCount,
                                       .stem = "cm",
                                       .labels = {"1 Tap", "2 Tap", "4 Tap-I", "4 Tap"},
                                       .firstValue = 1});
  RadioGroup& mode = addRadioGroup(
      {.title = "Mode", .format = cmd::kReadoutMode, .stem = "rm", .labels = {"Nomal", "AOI"}});
  RadioGroup& binning = addRadioGroup(
      {.title = "Binning", .format = cmd::kBinning, .stem = "bf", .labels = {"x2", "x4"}});
  RadioGroup& dataBit = addRadioGroup({.title = "Data Bit",
                                       .format = cmd::kDataBits,
                                       .stem = "db",
                                       .labels = {"8 BIT", "10 BIT", "12 BIT"},
                                       .values = {8, 10, 12}});
  RadioGroup& lut =
      addRadioGroup({.title = "LUT", .format = cmd::kLutSelect, .stem = "ls", .labels = kLuts});
  RadioGroup& testImage = addRadioGroup(
      {.title = "Test Image", .format = cmd::kTestImage, .stem = "ti", .labels = kTestImages});
  CheckBox& invert = addCheckBox({.label = "Invert", .format = cmd::kInvert, .stem = "ii"});
  CheckBox& defect =
      addCheckBox({.label = "Defect Corr.", .format = cmd::kDefectCorrection, .stem = "dc"});
  CheckBox& flip =
      addCheckBox({.label = "Horizontal Flip", .format = cmd::kHorizontalFlip, .stem = "hf"});
  CheckBox& flatField =
      addCheckBox({.label = "Flat Field Corr.", .format = cmd::kFlatFieldCorrection, .stem = "fc"});
  CheckBox& dsnu = addCheckBox({.label = "DSNU", .format = cmd::kDsnuCorrection, .stem = "dsnu"});
  CheckBox& smear =
      addCheckBox({.label = "Smear Correction", .format = cmd::kSmearCorrection, .stem = "mc"});
  QGroupBox* region = buildRegionBox();

  auto* grid = new QGridLayout(this);
  grid->addWidget(channel.box, 0, 0);
  grid->addWidget(mode.box, 0, 1);
  grid->addWidget(binning.box, 0, 2);
  grid->addWidget(dataBit.box, 1, 0);
  grid->addWidget(lut.box, 1, 1);
  grid->addWidget(testImage.box, 1, 2);
  grid->addWidget(checkGroup("Image Processing",
                             {invert.box, defect.box, flip.box, flatField.box, dsnu.box, smear.box},
                             this),
                  0, 3, 2, 1);
  grid->addWidget(region, 2, 0, 1, 4);
  grid->setRowStretch(3, 1);
}

CKo_ViewSetting::CKo_ViewSetting(PageHost& host, QWidget* parent)
    : CKo_ViewSetting(
          host,
          Wording{.taps = {"2 Tap (Base)", "4 Tap (Medium)", "8 Tap (Full)", "10 Tap (Full)"},
                  .tapValues = {0, 1, 2, 3},
                  .dataBits = {"8 Bit", "10 Bit"},
                  .dataBitValues = {8, 10}},
          parent) {}

CKo_ViewSetting::CKo_ViewSetting(PageHost& host, const Wording& wording, QWidget* parent)
    : ImageSettingsPage(host, parent), wording_(wording) {
  build(wording);
}

// The Ko 10M names its two- and three-tap outputs and reads out 12 bits; the outputs keep
// the Ko cameras' numbering (3 taps is "scl 4", 10 taps "scl 3").
CKo3_ViewSetting::CKo3_ViewSetting(PageHost& host, QWidget* parent)
    : CKo_ViewSetting(
          host,
          Wording{.taps = {"2 Tap", "3 Tap", "4 Tap (Medium)", "8 Tap (Full)", "10 Tap (Full)"},
                  .tapValues = {0, 4, 1, 2, 3},
                  .dataBits = {"8 Bit", "10 Bit", "12 Bit"},
                  .dataBitValues = {8, 10, 12},
                  .ko3 = true},
          parent) {}

void CKo_ViewSetting::build(const Wording& wording) {
  RadioGroup& mode = addRadioGroup({.title = "Mode",
                                    .format = cmd::kReadoutMode,
                                    .stem = "rm",
                                    .labels = {"Nomal", "ROI", "Multi ROI"}});
  RadioGroup& binning = addRadioGroup(
      {.title = "Binning", .format = cmd::kBinning, .stem = "bf", .labels = {"1x1", "2x2"}});
  RadioGroup& testImage = addRadioGroup(
      {.title = "Test Image", .format = cmd::kTestImage, .stem = "ti", .labels = kTestImages});
  RadioGroup& taps = addRadioGroup({.title = "Camera Link Output",
                                    .format = cmd::kCameraLinkTaps,
                                    .stem = "cl",
                                    .labels = wording.taps,
                                    .values = wording.tapValues});
  RadioGroup& dataBit = addRadioGroup({.title = "Data Bit",
                                       .format = cmd::kDataBits,
                                       .stem = "db",
                                       .labels = wording.dataBits,
                                       .values = wording.dataBitValues});
  RadioGroup& lut =
      addRadioGroup({.title = "LUT", .format = cmd::kLutSelect, .stem = "ls", .labels = kLuts});
  RadioGroup* clock = nullptr;
  if (wording.ko3) {
    clock = &addRadioGroup({.title = "Pixel Clock",
                            .format = cmd::kCameraLinkClock,
                            .stem = "ccs",
                            .labels = {"80 MHz", "60 MHz"}});
  }
  CheckBox& defect =
      addCheckBox({.label = "Defect Corr.", .format = cmd::kDefectCorrection, .stem = "dc"});
  CheckBox& flatField =
      addCheckBox({.label = "Flat Field Corr.", .format = cmd::kFlatFieldCorrection, .stem = "fc"});
  CheckBox& invert = addCheckBox({.label = "Invert", .format = cmd::kInvert, .stem = "ii"});
  // The Ko 10M flips by reversing its read-out in X and Y.
  CheckBox& flip =
      wording.ko3
          ? addCheckBox({.label = "Horizontal Flip", .format = cmd::kReverseX, .stem = "rx"})
          : addCheckBox({.label = "Horizontal Flip", .format = cmd::kHorizontalFlip, .stem = "hf"});
  CheckBox* verticalFlip = nullptr;
  if (wording.ko3)
    verticalFlip = &addCheckBox({.label = "Vertical Flip", .format = cmd::kReverseY, .stem = "ry"});
  QGroupBox* region = buildRegionBox();

  generate_ = new CMyButton("Generate Data", this);
  generate_->setControlId(kGenerateButtonId);
  generate_->setReceiver(this);
  save_ = new CMyButton("Save Data", this);
  save_->setControlId(kSaveButtonId);
  save_->setReceiver(this);
  auto* dark = new QGroupBox("Dark Image Correction", this);
  auto* darkLayout = new QHBoxLayout(dark);
  darkLayout->addWidget(generate_);
  darkLayout->addWidget(save_);

  pointerLabel_ = new QLabel(regionBox_);
  pointerLabel_->hide();
  regionNumberLabel_ = new QLabel(regionBox_);
  regionNumberLabel_->hide();
  if (auto* regionGrid = qobject_cast<QGridLayout*>(regionBox_->layout())) {
    regionGrid->addWidget(pointerLabel_, 2, 0);
    regionGrid->addWidget(regionNumberLabel_, 2, 1);
  }

  std::vector<QWidget*> processing = {defect.box, flatField.box, invert.box, flip.box};
  if (verticalFlip)
    processing.push_back(verticalFlip->box);
  auto* processingBox = new QGroupBox("Image Processing", this);
  auto* processingLayout = new QVBoxLayout(processingBox);
  for (QWidget* box : processing)
    processingLayout->addWidget(box);
  processingLayout->addStretch();

  auto* grid = new QGridLayout(this);
  grid->addWidget(mode.box, 0, 0);
  grid->addWidget(binning.box, 0, 1);
  grid->addWidget(testImage.box, 0, 2);
  grid->addWidget(taps.box, 1, 0);
  grid->addWidget(dataBit.box, 1, 1);
  grid->addWidget(lut.box, 1, 2);
  grid->addWidget(processingBox, 0, 3, 2, 1);
  if (clock)
    grid->addWidget(clock->box, 2, 3);
  grid->addWidget(region, 2, 0, 1, 3);
  grid->addWidget(dark, 3, 0, 1, 2);
  grid->setRowStretch(4, 1);
}

void CKo_ViewSetting::adaptToModel() {
  const ModelDescriptor& model = host().modelDescriptor();
  RadioGroup* taps = radioGroup("cl");
  if (!wording_.ko3 && taps) {
    const bool ko25M = model.is(Series::Ko, "25M");
    const QStringList& labels = ko25M ? kKo25MTaps : wording_.taps;
    taps->decl.labels = labels;
    taps->decl.values = ko25M ? kKo25MTapValues : wording_.tapValues;
    for (size_t i = 0; i < taps->buttons.size() && i < static_cast<size_t>(labels.size()); ++i) {
      taps->buttons[i]->setText(labels[static_cast<qsizetype>(i)]);
      taps->buttons[i]->setEnabled(true);
    }
  }
  setRegionLayout(model.roiSupported);
}

void CKo_ViewSetting::setRegionLayout(bool regions) {
  regionLayout_ = regions;
  if (RadioGroup* mode = radioGroup("rm"); mode && mode->buttons.size() > 2)
    mode->buttons[2]->setVisible(regions);
  if (!regions)
    regionNumberLabel_->hide();
}

void CKo_ViewSetting::showPointer(double x, double y) {
  pointerLabel_->setText(QString::asprintf("X: %.0f, Y: %.0f", x, y));
  pointerLabel_->show();
}

void CKo_ViewSetting::showRegionNumber(std::optional<int> region) {
  if (!region || !regionLayout_) {
    regionNumberLabel_->hide();
    return;
  }
  regionNumberLabel_->setText(QString::asprintf("ROI Number: %d", *region));
  regionNumberLabel_->show();
}

bool CKo_ViewSetting::radioChoiceAllowed(const RadioGroup& group, size_t index) {
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

void CKo_ViewSetting::radioChosen(const RadioGroup& group, size_t index) {
  if (group.decl.stem != "rm" || group.valueOf(index) != kMultiRoiMode || !regionLayout_)
    return;
  // Queued: the mode button shows the camera's choice before the table opens over it.
  QMetaObject::invokeMethod(
      this, [this] { Q_EMIT multiRoiRequested(); }, Qt::QueuedConnection);
}

void CKo_ViewSetting::onButtonClicked(int controlId) {
  switch (controlId) {
  case kGenerateButtonId:
    generateDarkData();
    break;
  case kSaveButtonId:
    saveDarkData();
    break;
  default:
    ImageSettingsPage::onButtonClicked(controlId);
  }
}

void CKo_ViewSetting::setDarkButtonsEnabled(bool enabled) {
  generate_->setEnabled(enabled);
  save_->setEnabled(enabled);
}

void CKo_ViewSetting::generateDarkData() {
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
  setDarkButtonsEnabled(true);
  darkDataBusy_ = false;
}

void CKo_ViewSetting::saveDarkData() {
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
