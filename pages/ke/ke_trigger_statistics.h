// The Ke cameras' trigger statistics: what the camera measured of its input trigger and of
// the trigger its rescaler makes of it. Read only; "Refresh" asks again.
#pragma once

#include <QLabel>
#include <array>

#include "pages/settings_page.h"

namespace kelpax {

class CKe_TRIGGER_STATICS_Dlg : public SettingsPage {
  Q_OBJECT

public:
  explicit CKe_TRIGGER_STATICS_Dlg(PageHost& host, QWidget* parent = nullptr);

  // One query per figure; a figure the camera refuses or garbles is shown empty.
  void refreshStatistics();

  static constexpr size_t kFigures = 6;
  QLabel* figure(size_t index) const { return figures_.at(index); }

private:
  std::array<QLabel*, kFigures> figures_{};
};

} // namespace kelpax
