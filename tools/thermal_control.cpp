// The cooled sensor's commands and the aging log.
#include "tools/thermal_control.h"

#include <cmath>
#include <cstdlib>

namespace kelpax {
namespace {

constexpr PeltierCommands kClassic{
    "stc %d", "sft %d", "tc", "ft", "Aging Time,Camera Temperature,CCD Temperature, PWM\n", true};
constexpr PeltierCommands kNewer{
    "sptm %d", "sfm %d", "ptm", "fm", "Aging Time,Camera Temperature,CCD Temperature,PWM\n", false};

std::string formatted(const char* format, int value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// A whole answer token as a real number: "41.25" yes, "" or "4x" or "nan" no.
std::optional<double> realToken(const std::string& token) {
  if (token.empty() || token.size() > 32)
    return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(token.c_str(), &end);
  if (end != token.c_str() + token.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

} // namespace

const PeltierCommands& peltierCommands(PeltierGeneration generation) {
  return generation == PeltierGeneration::Classic ? kClassic : kNewer;
}

bool targetInRange(int celsius) {
  return celsius >= kTargetMinC && celsius <= kTargetMaxC;
}

std::string agingTime(int pass) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", pass / 3600, (pass / 60) % 60, pass % 60);
  return text;
}

std::string agingCsvLine(const AgingSample& sample) {
  char text[128];
  std::snprintf(text, sizeof text, "%s,%4.2f,%4.2f,%03d\n", agingTime(sample.pass).c_str(),
                sample.cameraC, sample.sensorC, sample.pwm);
  return text;
}

Answer ThermalControl::send(const std::string& command, bool shown) {
  return host_.sendCommand(command, {.timeoutMs = kThermalTimeoutMs, .shown = shown});
}

std::optional<Answer> ThermalControl::setTarget(int celsius) {
  if (!targetInRange(celsius))
    return std::nullopt;
  return send(formatted("stt %d", celsius));
}

Answer ThermalControl::setPeltier(bool on) {
  return send(formatted(commands().peltierFormat, on ? 1 : 0));
}

Answer ThermalControl::setFan(bool on) {
  return send(formatted(commands().fanFormat, on ? 1 : 0));
}

std::optional<bool> ThermalControl::peltierOn() const {
  if (!host_.parameterCache().find(commands().peltierStem))
    return std::nullopt;
  return host_.cacheInt(commands().peltierStem) == 1;
}

std::optional<bool> ThermalControl::fanOn() const {
  if (!host_.parameterCache().find(commands().fanStem))
    return std::nullopt;
  return host_.cacheInt(commands().fanStem) == 1;
}

std::optional<double> ThermalControl::cachedTarget() const {
  if (!host_.parameterCache().find("tt"))
    return std::nullopt;
  return host_.cacheFloat("tt");
}

std::optional<double> ThermalControl::readSensorTemperature() {
  if (generation_ == PeltierGeneration::Newer) {
    // Older firmware of the newer cameras lacks "gsnt"; it is asked quietly so that its
    // refusal does not reach the status line.
    const Answer newer = send("gsnt", false);
    if (newer.accepted()) {
      if (std::optional<double> value = realToken(newer.token(0)))
        return value;
    }
  }
  const Answer answer = send("gst");
  if (!answer.accepted())
    return std::nullopt;
  return realToken(answer.token(0));
}

std::optional<double> ThermalControl::readCameraTemperature() {
  const Answer answer = send("gct");
  if (!answer.accepted())
    return std::nullopt;
  return realToken(answer.token(0));
}

std::optional<int> ThermalControl::readPwm() {
  const Answer answer = send("gppwm");
  if (!answer.accepted())
    return std::nullopt;
  const std::optional<double> value = realToken(answer.token(0));
  if (!value || *value != std::floor(*value) || std::fabs(*value) > 1e6)
    return std::nullopt;
  return int(*value);
}

std::optional<AgingSample> ThermalControl::readSample(int pass, std::string* why) {
  AgingSample sample;
  sample.pass = pass;
  auto fail = [why](const char* text) -> std::optional<AgingSample> {
    if (why)
      *why = text;
    return std::nullopt;
  };
  const std::optional<double> camera = readCameraTemperature();
  if (!camera)
    return fail("The camera did not tell its temperature (gct).");
  const std::optional<double> sensor = readSensorTemperature();
  if (!sensor)
    return fail("The camera did not tell the sensor temperature.");
  const std::optional<int> pwm = readPwm();
  if (!pwm)
    return fail("The camera did not tell the Peltier drive (gppwm).");
  sample.cameraC = *camera;
  sample.sensorC = *sensor;
  sample.pwm = *pwm;
  return sample;
}

bool AgingLog::append(const AgingSample& sample) {
  // Opened for every line and closed again: a line is on disk before the next pass begins.
  FILE* file = std::fopen(path_.c_str(), "a+");
  if (!file) {
    ++skipped_;
    return false;
  }
  std::string text;
  if (sample.pass == 0)
    text = peltierCommands(generation_).csvHeader;
  text += agingCsvLine(sample);
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    ++skipped_;
    return false;
  }
  return true;
}

std::string withCsvSuffix(std::string path) {
  const std::string suffix = ".csv";
  if (path.size() < suffix.size() ||
      path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0)
    path += suffix;
  return path;
}

} // namespace kelpax
