// The analog front-end pages: gain and offset of the sensor's video amplifier. CAFESetting
// serves the two-channel cameras (left and right half), KaAFESetting the four-quadrant Ka,
// Kn and Ky cameras with their fine trims, CKo_AFESetting the Ko family.
#pragma once

#include <QCheckBox>
#include <QLabel>

#include "pages/settings_page.h"

namespace kelpax {

class CAFESetting : public SettingsPage {
  Q_OBJECT

public:
  explicit CAFESetting(PageHost& host, QWidget* parent = nullptr);

  // Gain steps per dB, and what the "+ 3 dB" and "- 3 dB" buttons move the gain by.
  static constexpr int32_t kGainStepsPerDb = 28;
  static constexpr int32_t kThreeDbSteps = 3 * kGainStepsPerDb;

  // While checked, the right channel follows every value the camera accepts for the left
  // one, and the right channel's own controls are disabled.
  QCheckBox* tapLinkBox() const { return tapLink_; }
  CMyButton* plus3DbButton() const { return plus3Db_; }
  CMyButton* minus3DbButton() const { return minus3Db_; }

protected:
  void updateEnabling() override;
  void valueCommitted(Value& value, bool accepted) override;
  void onButtonClicked(int controlId) override;

private:
  QCheckBox* tapLink_ = nullptr;
  CMyButton* plus3Db_ = nullptr;
  CMyButton* minus3Db_ = nullptr;
};

class KaAFESetting : public SettingsPage {
  Q_OBJECT

public:
  explicit KaAFESetting(PageHost& host, QWidget* parent = nullptr);

  // The gain in dB and as a factor, on the Kn models that have it (hidden on the others).
  QLabel* gainDbLabel() const { return gainDb_; }

private:
  QLabel* gainDb_ = nullptr;
};

class CKo_AFESetting : public SettingsPage {
  Q_OBJECT

public:
  explicit CKo_AFESetting(PageHost& host, QWidget* parent = nullptr);

  SliderMarks* gainMarks() const { return gainMarks_; }

private:
  SliderMarks* gainMarks_ = nullptr;
};

} // namespace kelpax
