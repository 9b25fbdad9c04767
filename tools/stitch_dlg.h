// The "Stitch" dialog: stitch correction on or off, and the four gain factors of each of the
// sensor's eight segments.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "pages/page_host.h"
#include "tools/stitch_control.h"

namespace kelpax {

class CStitchCorrDlg : public QDialog {
  Q_OBJECT

public:
  explicit CStitchCorrDlg(PageHost& host, QWidget* parent = nullptr);

  // Asks the camera whether the correction is on and enables the controls to match.
  void readFromCamera();

  QCheckBox* onOff() const { return onOff_; }
  QPushButton* segmentButton(int segment) const { return segments_[size_t(segment)]; }
  QLineEdit* gainEdit(int channel) const { return gains_[size_t(channel)]; }
  QPushButton* resetButton() const { return reset_; }
  int currentSegment() const { return current_; }

  void resetAll();

private:
  void onSwitchClicked(bool checked);
  void onSegmentClicked(int segment);
  void onGainCommitted(int channel);
  void enableControls(bool on);
  void showGain(int channel, std::optional<double> gain);

  StitchControl stitch_;
  QCheckBox* onOff_ = nullptr;
  std::array<QPushButton*, kStitchSegments> segments_{};
  std::array<QLineEdit*, kStitchChannels> gains_{};
  std::array<QString, kStitchChannels> shown_{};
  // What the dialog last learnt of each factor in the camera: a refused reset of a factor shows
  // this, not the text another segment left in the shared edit.
  std::array<std::array<std::optional<double>, kStitchChannels>, kStitchSegments> known_{};
  QPushButton* reset_ = nullptr;
  int current_ = -1;
};

} // namespace kelpax
