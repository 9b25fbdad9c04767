// The trigger pages: trigger mode, source, exposure source, polarity, frames per trigger,
// asynchronous reset, exposure time and strobe output. CTriggerSetting serves the older
// families, CKo_TriggerSetting the Ko family with its strobe type.
#pragma once

#include <QCheckBox>
#include <QLabel>

#include "pages/settings_page.h"

namespace kelpax {

class CTriggerSetting : public SettingsPage {
  Q_OBJECT

public:
  explicit CTriggerSetting(PageHost& host, QWidget* parent = nullptr);

  // The exposure time waits longer on the slow Ko 12M cameras.
  uint32_t exposureTimeoutMs() const;

  QCheckBox* continueBox() const { return continue_; }
  QLabel* exposureTimeLabel() const { return timeLabel_; }
  QLabel* shutterLabel() const { return shutterLabel_; }
  QLabel* rangeMinLabel() const { return rangeMinLabel_; }
  QLabel* rangeMaxLabel() const { return rangeMaxLabel_; }
  QLabel* strobeOffsetLabel() const { return strobeLabel_; }
  SliderMarks* exposureMarks() const { return exposureMarks_; }

protected:
  struct Wording {
    QStringList modes{};
    QStringList sources{};
    bool strobeType = false;
    std::vector<std::pair<QString, int32_t>> exposureMarks{}; // text, microseconds
    std::vector<std::pair<QString, int32_t>> strobeMarks{};
  };
  CTriggerSetting(PageHost& host, const Wording& wording, QWidget* parent);

  void updateEnabling() override;
  void setOwnControlsFromCache() override;

private:
  void build(const Wording& wording);
  void continueChanged();
  void showExposureLabels(std::optional<int32_t> exposureUs);
  void showStrobeLabels(std::optional<int32_t> offsetUs);

  QCheckBox* continue_ = nullptr;
  QLabel* timeLabel_ = nullptr;
  QLabel* shutterLabel_ = nullptr;
  QLabel* rangeMinLabel_ = nullptr;
  QLabel* rangeMaxLabel_ = nullptr;
  QLabel* strobeLabel_ = nullptr;
  SliderMarks* exposureMarks_ = nullptr;
  SliderMarks* strobeMarks_ = nullptr;
  std::vector<std::pair<QString, int32_t>> exposureMarkTimes_;
};

class CKo_TriggerSetting : public CTriggerSetting {
  Q_OBJECT

public:
  explicit CKo_TriggerSetting(PageHost& host, QWidget* parent = nullptr);
};

} // namespace kelpax
