// The stitch correction dialog.
#include "tools/stitch_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cmath>

namespace kelpax {

CStitchCorrDlg::CStitchCorrDlg(PageHost& host, QWidget* parent) : QDialog(parent), stitch_(host) {
  setWindowTitle(QStringLiteral("Stitch"));
  setObjectName(QStringLiteral("stitchDialog"));
  onOff_ = new QCheckBox(QStringLiteral("On/Off"), this);
  connect(onOff_, &QCheckBox::clicked, this, &CStitchCorrDlg::onSwitchClicked);

  auto* segmentBox = new QGroupBox(QStringLiteral("Segment"), this);
  auto* segmentLayout = new QHBoxLayout(segmentBox);
  for (int s = 0; s < kStitchSegments; ++s) {
    auto* button = new QPushButton(QString::number(s + 1), segmentBox);
    button->setCheckable(true);
    // Enter in a gain edit commits the gain; it must not press a segment.
    button->setAutoDefault(false);
    button->setMaximumWidth(32);
    connect(button, &QPushButton::clicked, this, [this, s] { onSegmentClicked(s); });
    segments_[size_t(s)] = button;
    segmentLayout->addWidget(button);
  }

  // Channel 0 top left, 1 top right, 2 bottom left, 3 bottom right.
  auto* gainBox = new QGroupBox(QStringLiteral("Gain"), this);
  auto* gainLayout = new QGridLayout(gainBox);
  for (int c = 0; c < kStitchChannels; ++c) {
    auto* edit = new QLineEdit(gainBox);
    edit->setObjectName(QStringLiteral("gain%1").arg(c));
    connect(edit, &QLineEdit::returnPressed, this, [this, c] { onGainCommitted(c); });
    gains_[size_t(c)] = edit;
    gainLayout->addWidget(edit, c / 2, c % 2);
  }
  reset_ = new QPushButton(QStringLiteral("Reset"), this);
  reset_->setAutoDefault(false);
  connect(reset_, &QPushButton::clicked, this, &CStitchCorrDlg::resetAll);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(onOff_);
  layout->addWidget(segmentBox);
  layout->addWidget(gainBox);
  layout->addWidget(reset_, 0, Qt::AlignRight);
  enableControls(false);
}

void CStitchCorrDlg::readFromCamera() {
  const bool on = stitch_.readSwitch().value_or(false);
  onOff_->setChecked(on);
  enableControls(on);
}

void CStitchCorrDlg::enableControls(bool on) {
  for (QPushButton* b : segments_)
    b->setEnabled(on);
  for (QLineEdit* e : gains_)
    e->setEnabled(on);
  reset_->setEnabled(on);
}

void CStitchCorrDlg::onSwitchClicked(bool checked) {
  // The box has already changed: `checked` is what the operator asks for.
  if (!stitch_.setSwitch(checked).accepted()) {
    onOff_->setChecked(!checked);
    return;
  }
  enableControls(checked);
  for (size_t c = 0; c < gains_.size(); ++c) {
    gains_[c]->clear();
    shown_[c].clear();
  }
  for (QPushButton* b : segments_)
    b->setChecked(false);
  current_ = -1;
}

void CStitchCorrDlg::showGain(int channel, std::optional<double> gain) {
  if (gain)
    shown_[size_t(channel)] = QString::fromStdString(stitchGainText(*gain));
  gains_[size_t(channel)]->setText(shown_[size_t(channel)]);
}

void CStitchCorrDlg::onSegmentClicked(int segment) {
  if (segment == current_) {
    // Already selected: the press changes nothing and asks nothing.
    segments_[size_t(segment)]->setChecked(true);
    return;
  }
  for (QPushButton* b : segments_)
    b->setChecked(false);
  current_ = segment;
  const auto gains = stitch_.readGains(segment);
  for (int c = 0; c < kStitchChannels; ++c) {
    shown_[size_t(c)].clear();
    known_[size_t(segment)][size_t(c)] = gains[size_t(c)];
    showGain(c, gains[size_t(c)]);
  }
  segments_[size_t(segment)]->setChecked(true);
}

void CStitchCorrDlg::onGainCommitted(int channel) {
  bool isNumber = false;
  const double gain = gains_[size_t(channel)]->text().trimmed().toDouble(&isNumber);
  if (current_ < 0 || !isNumber || !std::isfinite(gain)) {
    showGain(channel, std::nullopt);
    return;
  }
  const bool accepted = stitch_.setGain(current_, channel, gain).accepted();
  if (accepted)
    known_[size_t(current_)][size_t(channel)] = gain;
  showGain(channel, accepted ? std::optional<double>(gain) : std::nullopt);
}

void CStitchCorrDlg::resetAll() {
  for (int s = 0; s < kStitchSegments; ++s) {
    segments_[size_t(s)]->setChecked(true);
    for (int c = 0; c < kStitchChannels; ++c) {
      std::optional<double>& known = known_[size_t(s)][size_t(c)];
      if (stitch_.setGain(s, c, 1.0).accepted())
        known = 1.0;
      showGain(c, known);
    }
    if (s + 1 < kStitchSegments)
      segments_[size_t(s)]->setChecked(false);
  }
  current_ = kStitchSegments - 1;
}

} // namespace kelpax
