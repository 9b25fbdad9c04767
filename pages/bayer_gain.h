// The colour calibration dialog of the colour cameras: red, green and blue gains, the
// camera's automatic white balance and a reset to unity. The camera's cache keeps no
// colour gains, so the dialog reads them itself ("grg r") when it shows and after each
// command.
#pragma once

#include <array>
#include <map>
#include <optional>

#include "pages/settings_page.h"

namespace kelpax {

class CBayerGain : public SettingsPage {
  Q_OBJECT

public:
  explicit CBayerGain(PageHost& host, QWidget* parent = nullptr);

  static constexpr RealRange kGainRange{0.25, 8.0};

  // The three gains read from the camera again; a gain it refuses to tell is shown empty.
  void readGains();

protected:
  std::optional<double> cachedReal(const std::string& stem) const override;
  void realValueCommitted(RealValue& value, bool accepted) override;
  void showEvent(QShowEvent* event) override;

private:
  void readGain(const std::string& stem);
  void autoWhiteBalance();
  void resetColours();

  std::map<std::string, double, std::less<>> gains_;
};

} // namespace kelpax
