// Stitch correction commands.
#include "tools/stitch_control.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kelpax {

std::string stitchGainText(double gain) {
  char text[64];
  std::snprintf(text, sizeof text, "%f", gain);
  std::string shown = text;
  const size_t point = shown.find('.');
  if (point != std::string::npos && shown.size() > point + 4)
    shown.resize(point + 4);
  return shown;
}

Answer StitchControl::send(const std::string& command) {
  return host_.sendCommand(command, {.timeoutMs = 3000, .shown = true});
}

std::optional<bool> StitchControl::readSwitch() {
  const Answer answer = send("gsc");
  if (!answer.accepted())
    return std::nullopt;
  const std::string token = answer.token(0);
  if (token != "0" && token != "1")
    return std::nullopt;
  return token == "1";
}

Answer StitchControl::setSwitch(bool on) {
  return send(on ? "ssc 1" : "ssc 0");
}

std::array<std::optional<double>, kStitchChannels> StitchControl::readGains(int segment) {
  std::array<std::optional<double>, kStitchChannels> gains;
  for (int channel = 0; channel < kStitchChannels; ++channel) {
    char command[32];
    std::snprintf(command, sizeof command, "gsg %d %d", segment, channel);
    const Answer answer = send(command);
    if (!answer.accepted())
      continue;
    const std::string token = answer.token(0);
    char* end = nullptr;
    const double value = std::strtod(token.c_str(), &end);
    if (!token.empty() && end == token.c_str() + token.size() && std::isfinite(value))
      gains[size_t(channel)] = value;
  }
  return gains;
}

Answer StitchControl::setGain(int segment, int channel, double gain) {
  char command[64];
  std::snprintf(command, sizeof command, "ssg %d %d %.3f", segment, channel, gain);
  return send(command);
}

} // namespace kelpax
