// The analog front-end pages.
#include "pages/afe_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "camera/tables/command_vocabulary.h"
#include "pages/image_rules.h"

namespace kelpax {
namespace {

constexpr int kPlus3DbId = 2101;
constexpr int kMinus3DbId = 2102;
constexpr int kSliderTick = 16;

// Caption, edit and spin on one line, the slider (if any) under them.
QVBoxLayout* valueBlock(SettingsPage::Value& value, const QString& caption,
                        std::initializer_list<QWidget*> after = {}) {
  auto* block = new QVBoxLayout;
  auto* row = new QHBoxLayout;
  if (!caption.isEmpty())
    row->addWidget(new QLabel(caption));
  value.edit->setFixedWidth(value.edit->fontMetrics().horizontalAdvance("000000") + 12);
  row->addWidget(value.edit);
  row->addWidget(value.spin);
  for (QWidget* widget : after)
    row->addWidget(widget);
  row->addStretch();
  block->addLayout(row);
  if (value.slider) {
    value.slider->setOrientation(Qt::Horizontal);
    block->addWidget(value.slider);
  }
  return block;
}

} // namespace

// ---- Two-channel cameras --------------------------------------------------------------

CAFESetting::CAFESetting(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
  setCommitOnBackgroundClick(true);
  Value& gainLeft = addValue({.format = cmd::kAnalogGainLeft,
                              .stem = "ag 1",
                              .slider = SliderMap::Linear,
                              .sliderTick = kGainStepsPerDb});
  Value& gainRight = addValue({.format = cmd::kAnalogGainRight,
                               .stem = "ag 2",
                               .slider = SliderMap::Linear,
                               .sliderTick = kGainStepsPerDb});
  Value& offsetLeft = addValue({.format = cmd::kAnalogOffsetLeft,
                                .stem = "ao 1",
                                .slider = SliderMap::Linear,
                                .sliderTick = kSliderTick});
  Value& offsetRight = addValue({.format = cmd::kAnalogOffsetRight,
                                 .stem = "ao 2",
                                 .slider = SliderMap::Linear,
                                 .sliderTick = kSliderTick});

  tapLink_ = new QCheckBox("Tap Link", this);
  connect(tapLink_, &QCheckBox::toggled, this, [this] { updateEnabling(); });
  plus3Db_ = new CMyButton("+ 3 dB", this);
  plus3Db_->setControlId(kPlus3DbId);
  plus3Db_->setReceiver(this);
  minus3Db_ = new CMyButton("- 3 dB", this);
  minus3Db_->setControlId(kMinus3DbId);
  minus3Db_->setReceiver(this);

  auto* gainBox = new QGroupBox("Analog Gain", this);
  auto* gainLayout = new QVBoxLayout(gainBox);
  gainLayout->addLayout(valueBlock(gainLeft, "Left"));
  gainLayout->addLayout(valueBlock(gainRight, "Right"));
  auto* steps = new QHBoxLayout;
  steps->addWidget(new QLabel("[28 = 1 dB]", gainBox));
  steps->addStretch();
  steps->addWidget(minus3Db_);
  steps->addWidget(plus3Db_);
  gainLayout->addLayout(steps);

  auto* offsetBox = new QGroupBox("Analog Offset", this);
  auto* offsetLayout = new QVBoxLayout(offsetBox);
  offsetLayout->addLayout(valueBlock(offsetLeft, "Left"));
  offsetLayout->addLayout(valueBlock(offsetRight, "Right"));

  auto* page = new QVBoxLayout(this);
  page->addWidget(tapLink_);
  page->addWidget(gainBox);
  page->addWidget(offsetBox);
  page->addStretch();
}

void CAFESetting::updateEnabling() {
  const bool own = !tapLink_->isChecked();
  for (const char* stem : {"ag 2", "ao 2"}) {
    Value* right = value(stem);
    right->edit->setEnabled(own);
    right->spin->setEnabled(own);
    right->slider->setEnabled(own);
  }
}

void CAFESetting::valueCommitted(Value& committed, bool accepted) {
  if (!accepted || !tapLink_->isChecked())
    return;
  const std::string& stem = committed.decl.stem;
  Value* right = stem == "ag 1" ? value("ag 2") : stem == "ao 1" ? value("ao 2") : nullptr;
  if (right)
    commitValue(*right, host().cacheInt(stem));
}

void CAFESetting::onButtonClicked(int controlId) {
  if (controlId != kPlus3DbId && controlId != kMinus3DbId)
    return;
  Value& left = *value("ag 1");
  std::optional<int64_t> candidate;
  if (const auto cached = cachedValue(left))
    candidate = int64_t{*cached} + (controlId == kPlus3DbId ? kThreeDbSteps : -kThreeDbSteps);
  commitValue(left, candidate);
}

// ---- Four-quadrant cameras ------------------------------------------------------------

KaAFESetting::KaAFESetting(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
  setCommitOnBackgroundClick(true);
  Value& gain = addValue({.format = cmd::kAnalogGain,
                          .stem = "ag",
                          .slider = SliderMap::Linear,
                          .sliderTick = kSliderTick});
  Value& offset = addValue({.format = cmd::kAnalogOffset,
                            .stem = "ao",
                            .slider = SliderMap::Linear,
                            .sliderTick = kSliderTick});
  gainDb_ = new QLabel(this);
  gainDb_->hide();
  gain.showLabels = [this](std::optional<int32_t> cached) {
    const std::string text =
        cached ? quadrantGainDbText(this->host().modelDescriptor(), *cached) : std::string{};
    gainDb_->setText(QString::fromStdString(text));
    gainDb_->setVisible(!text.empty());
  };

  // Fine trims: gains of quadrants 2-4 relative to the first, offsets of all four. The
  // camera keeps their limits.
  const QStringList quadrants = {"Left-Top", "Right- Top", "Left-Bottom", "Right-Bottom"};
  const CommandSpec fineGainFormats[] = {{}, cmd::kFineGain2, cmd::kFineGain3, cmd::kFineGain4};
  const CommandSpec fineOffsetFormats[] = {cmd::kFineOffset1, cmd::kFineOffset2, cmd::kFineOffset3,
                                           cmd::kFineOffset4};

  auto* trimBox = new QGroupBox("Fine Trimming", this);
  auto* trimGrid = new QGridLayout(trimBox);
  trimGrid->addWidget(new QLabel("Gain", trimBox), 0, 1);
  trimGrid->addWidget(new QLabel("Offset", trimBox), 0, 2);
  for (int q = 0; q < 4; ++q) {
    trimGrid->addWidget(new QLabel(quadrants[q], trimBox), q + 1, 0);
    if (!fineGainFormats[q].verb.empty()) {
      Value& fineGain =
          addValue({.format = fineGainFormats[q], .stem = "go " + std::to_string(q + 1)});
      trimGrid->addLayout(valueBlock(fineGain, {}), q + 1, 1);
    }
    Value& fineOffset =
        addValue({.format = fineOffsetFormats[q], .stem = "oo " + std::to_string(q + 1)});
    trimGrid->addLayout(valueBlock(fineOffset, {}), q + 1, 2);
  }

  auto* gainBox = new QGroupBox("Analog Gain", this);
  auto* gainLayout = new QVBoxLayout(gainBox);
  gainLayout->addLayout(valueBlock(gain, {}, {gainDb_}));
  auto* offsetBox = new QGroupBox("Analog Offset", this);
  auto* offsetLayout = new QVBoxLayout(offsetBox);
  offsetLayout->addLayout(valueBlock(offset, {}));

  auto* page = new QVBoxLayout(this);
  page->addWidget(gainBox);
  page->addWidget(offsetBox);
  page->addWidget(trimBox);
  page->addStretch();
}

// ---- Ko cameras -----------------------------------------------------------------------

CKo_AFESetting::CKo_AFESetting(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
  setCommitOnBackgroundClick(true);
  Value& gain = addValue({.format = cmd::kAnalogGain,
                          .stem = "ag",
                          .spinStep = 1,
                          .slider = SliderMap::Linear,
                          .sliderTick = kSliderTick});
  Value& offset = addValue({.format = cmd::kAnalogOffset,
                            .stem = "ao",
                            .spinStep = 1,
                            .slider = SliderMap::Linear,
                            .sliderTick = kSliderTick});
  // The gain runs linearly in dB from 0 dB at the minimum to 12 dB at the maximum.
  gainMarks_ = new SliderMarks(this);
  gain.showLabels = [this](std::optional<int32_t>) {
    const ValueRange range = this->host().modelDescriptor().gain;
    gainMarks_->setMarks({{"0 dB", range.min},
                          {"6 dB", range.min + (range.max - range.min) / 2},
                          {"12 dB", range.max}},
                         range.max);
  };

  auto* gainBox = new QGroupBox("Video Gain", this);
  auto* gainLayout = new QVBoxLayout(gainBox);
  gainLayout->addLayout(valueBlock(gain, {}));
  gainLayout->addWidget(gainMarks_);
  auto* offsetBox = new QGroupBox("Video Offset", this);
  auto* offsetLayout = new QVBoxLayout(offsetBox);
  offsetLayout->addLayout(valueBlock(offset, {}));

  auto* page = new QVBoxLayout(this);
  page->addWidget(gainBox);
  page->addWidget(offsetBox);
  page->addStretch();
}

} // namespace kelpax
