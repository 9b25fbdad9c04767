// Stitch correction of sensors read out in eight segments: the switch and four gain factors per
// segment.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "camera/answer.h"
#include "pages/page_host.h"

namespace kelpax {

inline constexpr int kStitchSegments = 8;
inline constexpr int kStitchChannels = 4;

// A factor as the dialog shows it: "%f" cut three characters after the decimal point.
std::string stitchGainText(double gain);

class StitchControl {
public:
  explicit StitchControl(PageHost& host) : host_(host) {}

  // "gsc": whether the correction is on; nothing when the camera does not say.
  std::optional<bool> readSwitch();
  Answer setSwitch(bool on);
  // "gsg seg ch" for the four channels; a channel the camera does not tell stays empty.
  std::array<std::optional<double>, kStitchChannels> readGains(int segment);
  Answer setGain(int segment, int channel, double gain);

private:
  Answer send(const std::string& command);
  PageHost& host_;
};

} // namespace kelpax
