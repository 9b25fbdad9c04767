// The trigger pages.
#include "pages/trigger_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "camera/tables/command_vocabulary.h"
#include "pages/exposure_format.h"
#include "pages/page_rules.h"
#include "pages/trigger_groups.h"

namespace kelpax {
namespace {

constexpr uint32_t kSlowExposureTimeoutMs = 10000;
constexpr ValueRange kFrameNumberRange{1, 255};
constexpr ValueRange kStrobeOffsetRange{0, kStrobeOffsetMax};

QLabel* valueLabel(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance("00.00 ms") + 8);
  return label;
}

// Caption, edit, spin, unit and value labels on one line.
QHBoxLayout* editRow(SettingsPage::Value& value, const QString& caption, const QString& unit,
                     std::initializer_list<QWidget*> after = {}) {
  auto* row = new QHBoxLayout;
  if (!caption.isEmpty())
    row->addWidget(new QLabel(caption));
  value.edit->setFixedWidth(value.edit->fontMetrics().horizontalAdvance("00000000") + 12);
  row->addWidget(value.edit);
  row->addWidget(value.spin);
  if (!unit.isEmpty())
    row->addWidget(new QLabel(unit));
  row->addSpacing(12);
  for (QWidget* widget : after)
    row->addWidget(widget);
  row->addStretch();
  return row;
}

} // namespace

CTriggerSetting::CTriggerSetting(PageHost& host, QWidget* parent)
    : CTriggerSetting(host,
                      Wording{.modes = {"Free-Run", "Standard", "Fast", "Double", "Overlap"},
                              .sources = {"CC1", "Ext."}},
                      parent) {}

CTriggerSetting::CTriggerSetting(PageHost& host, const Wording& wording, QWidget* parent)
    : SettingsPage(host, parent) {
  build(wording);
}

CKo_TriggerSetting::CKo_TriggerSetting(PageHost& host, QWidget* parent)
    : CTriggerSetting(host,
                      Wording{.modes = {"Free-Run", "External Sync", "Fast", "Double", "Overlap"},
                              .sources = {"CC1 port", "External Port"},
                              .strobeType = true,
                              .exposureMarks = {{"10 us", 10},
                                                {"1 ms", 1000},
                                                {"100 ms", 100000},
                                                {"7 s", 7000000}},
                              .strobeMarks = {{"0us", 0}, {"100us", 100}, {"10ms", 10000}}},
                      parent) {}

uint32_t CTriggerSetting::exposureTimeoutMs() const {
  return host().modelDescriptor().is(Series::Ko, "12M") ? kSlowExposureTimeoutMs
                                                        : kCommandTimeoutMs;
}

void CTriggerSetting::build(const Wording& wording) {
  // The page, as a table of what it sets.
  RadioGroup& mode = addRadioGroup({.title = "Trigger Mode",
                                    .format = cmd::kTriggerMode,
                                    .stem = "tm",
                                    .labels = wording.modes});
  RadioGroup& source = addRadioGroup(trigger::source(wording.sources));
  RadioGroup& exposure = addRadioGroup({.title = "Exposure",
                                        .format = cmd::kExposureSource,
                                        .stem = "es",
                                        .labels = {"Program", "Pulse Width"}});
  RadioGroup& polarity = addRadioGroup({.title = "Polarity",
                                        .format = cmd::kTriggerPolarity,
                                        .stem = "tp",
                                        .labels = {"Active Low", "Active High"}});
  RadioGroup& strobePolarity = addRadioGroup({.title = "Strobe Polarity",
                                              .format = cmd::kStrobePolarity,
                                              .stem = "sp",
                                              .labels = {"Active Low", "Active High"}});
  RadioGroup* strobeType = nullptr;
  if (wording.strobeType) {
    strobeType = &addRadioGroup({.title = "Strobe Type",
                                 .format = cmd::kStrobeType,
                                 .stem = "st",
                                 .labels = {"Narrow Output", "Wide Output"}});
  }
  CheckBox& asyncReset =
      addCheckBox({.label = " Asynchronous Reset", .format = cmd::kAsyncReset, .stem = "ar"});
  Value& frameNumber =
      addValue({.format = cmd::kFrameNumber, .stem = "fn", .spinStep = 1, .range = [] {
                  return kFrameNumberRange;
                }});
  Value& exposureTime = addValue(trigger::exposureTime([this] { return exposureTimeoutMs(); }));
  Value& strobeOffset = addValue({.format = cmd::kStrobeOffset,
                                  .stem = "so",
                                  .spinStep = 10,
                                  .range = [] { return kStrobeOffsetRange; },
                                  .slider = SliderMap::StrobeLog,
                                  .sliderTick = 250});

  // " Continue" changes at once and is not turned back when the camera refuses.
  continue_ = new QCheckBox(" Continue", this);
  connect(continue_, &QCheckBox::clicked, this, [this] {
    QMetaObject::invokeMethod(
        this, [this] { continueChanged(); }, Qt::QueuedConnection);
  });

  timeLabel_ = valueLabel(this);
  shutterLabel_ = valueLabel(this);
  shutterLabel_->hide(); // the generic page shows the time only
  rangeMinLabel_ = new QLabel(this);
  rangeMaxLabel_ = new QLabel(this);
  strobeLabel_ = valueLabel(this);
  exposureMarks_ = new SliderMarks(this);
  strobeMarks_ = new SliderMarks(this);
  exposureMarkTimes_ = wording.exposureMarks;
  std::vector<SliderMarks::Mark> strobeMarks;
  for (const auto& [text, offset] : wording.strobeMarks)
    strobeMarks.push_back({text, strobeSliderPosition(offset)});
  strobeMarks_->setMarks(std::move(strobeMarks), kStrobeSliderMax);
  exposureTime.showLabels = [this](std::optional<int32_t> us) { showExposureLabels(us); };
  strobeOffset.showLabels = [this](std::optional<int32_t> us) { showStrobeLabels(us); };

  // Layout: the trigger's radios on the left, frames, times and strobe on the right.
  auto* frameBox = new QGroupBox("Frame Number after triggering", this);
  auto* frameLayout = new QVBoxLayout(frameBox);
  frameLayout->addWidget(continue_);
  frameLayout->addLayout(editRow(frameNumber, "Number :", {}));
  frameLayout->addWidget(asyncReset.box);

  auto* exposureBox = new QGroupBox("Exposure Time", this);
  auto* exposureLayout = new QVBoxLayout(exposureBox);
  exposureLayout->addLayout(editRow(exposureTime, {}, "us", {timeLabel_, shutterLabel_}));
  exposureLayout->addWidget(exposureTime.slider);
  exposureLayout->addWidget(exposureMarks_);
  auto* rangeRow = new QHBoxLayout;
  rangeRow->addWidget(new QLabel("Range:", exposureBox));
  rangeRow->addWidget(rangeMinLabel_);
  rangeRow->addWidget(new QLabel("~", exposureBox));
  rangeRow->addWidget(rangeMaxLabel_);
  rangeRow->addStretch();
  exposureLayout->addLayout(rangeRow);

  auto* strobeBox = new QGroupBox("Strobe Offset", this);
  auto* strobeLayout = new QVBoxLayout(strobeBox);
  strobeLayout->addLayout(editRow(strobeOffset, {}, "us", {strobeLabel_}));
  strobeLayout->addWidget(strobeOffset.slider);
  strobeLayout->addWidget(strobeMarks_);

  auto* left = new QVBoxLayout;
  for (RadioGroup* group : {&mode, &source, &exposure, &polarity})
    left->addWidget(group->box);
  left->addStretch();
  auto* strobeRadios = new QHBoxLayout;
  strobeRadios->addWidget(strobePolarity.box);
  if (strobeType)
    strobeRadios->addWidget(strobeType->box);
  auto* right = new QVBoxLayout;
  right->addWidget(frameBox);
  right->addWidget(exposureBox);
  right->addWidget(strobeBox);
  right->addLayout(strobeRadios);
  right->addStretch();
  auto* page = new QHBoxLayout(this);
  page->addLayout(left, 2);
  page->addLayout(right, 5);
}

void CTriggerSetting::showExposureLabels(std::optional<int32_t> exposureUs) {
  const ValueRange range = host().modelDescriptor().exposureUs;
  rangeMinLabel_->setText(QString::fromStdString(rangeMinText(range.min)));
  rangeMaxLabel_->setText(QString::fromStdString(rangeMaxText(range.max)));
  std::vector<SliderMarks::Mark> marks;
  for (const auto& [text, us] : exposureMarkTimes_)
    marks.push_back({text, exposureSliderPosition(us, range.min, range.max)});
  exposureMarks_->setMarks(std::move(marks), kExposureSliderMax);
  timeLabel_->setText(exposureUs ? QString::fromStdString(exposureTimeText(*exposureUs)) : "");
  shutterLabel_->setText(exposureUs ? QString::fromStdString(shutterText(*exposureUs)) : "");
}

void CTriggerSetting::showStrobeLabels(std::optional<int32_t> offsetUs) {
  strobeLabel_->setText(offsetUs ? QString::fromStdString(strobeOffsetText(*offsetUs)) : "");
}

void CTriggerSetting::setOwnControlsFromCache() {
  continue_->setChecked(cachedValue("fn") == 0);
}

void CTriggerSetting::continueChanged() {
  send(formatCommand(cmd::kFrameNumber, {continue_->isChecked() ? 0.0 : 1.0}));
  showValue(*value("fn"));
  updateEnabling();
}

void CTriggerSetting::updateEnabling() {
  const TriggerEnabling e = triggerEnabling(host().cacheInt("tm"), continue_->isChecked());
  radioGroup("ts")->box->setEnabled(e.sourceRadios);
  radioGroup("es")->box->setEnabled(e.exposureRadios);
  radioGroup("tp")->box->setEnabled(e.polarityRadios);
  continue_->setEnabled(e.continueBox);
  checkBox("ar")->box->setEnabled(e.asyncResetBox);
  Value* frameNumber = value("fn");
  frameNumber->edit->setEnabled(e.frameNumber);
  frameNumber->spin->setEnabled(e.frameNumber);
}

} // namespace kelpax
