// The cooled sensor of a camera: its target temperature, the Peltier element and the fan, with
// the two command sets of the two camera generations, and the aging log the temperature monitor
// writes once per second.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "camera/answer.h"
#include "pages/page_host.h"

namespace kelpax {

inline constexpr int kTargetMinC = -10;
inline constexpr int kTargetMaxC = 80;
inline constexpr uint32_t kThermalTimeoutMs = 3000;

enum class PeltierGeneration {
  Classic, // "stc" / "sft", cache "tc" / "ft", sensor "gst"
  Newer,   // "sptm" / "sfm", cache "ptm" / "fm", sensor "gsnt" with "gst" as fall-back
};

struct PeltierCommands {
  const char* peltierFormat; // "stc %d"
  const char* fanFormat;     // "sft %d"
  const char* peltierStem;   // "tc"
  const char* fanStem;       // "ft"
  const char* csvHeader;
  // Switching the Peltier element off also locks the target edit.
  bool offLocksTarget;
};

const PeltierCommands& peltierCommands(PeltierGeneration generation);

bool targetInRange(int celsius);

// One pass of the aging monitor: what it read and logs.
struct AgingSample {
  int pass = 0; // k: counts loop passes, written as seconds
  double cameraC = 0;
  double sensorC = 0;
  int pwm = 0;
};

// "01:01:01" for pass 3661.
std::string agingTime(int pass);
// One CSV line, "%02d:%02d:%02d,%4.2f,%4.2f,%03d\n".
std::string agingCsvLine(const AgingSample& sample);

// The commands of the temperature page on one camera.
class ThermalControl {
public:
  ThermalControl(PageHost& host, PeltierGeneration generation)
      : host_(host), generation_(generation) {}

  PeltierGeneration generation() const { return generation_; }
  const PeltierCommands& commands() const { return peltierCommands(generation_); }

  // "stt %d"; nothing is sent (and nothing returned) for a target outside -10 ... 80.
  std::optional<Answer> setTarget(int celsius);
  Answer setPeltier(bool on);
  Answer setFan(bool on);
  // What the cache says of the Peltier element and the fan (1 = on); nothing when not known.
  std::optional<bool> peltierOn() const;
  std::optional<bool> fanOn() const;
  std::optional<double> cachedTarget() const;

  // The sensor temperature as the generation reads it; nothing when the camera does not say.
  std::optional<double> readSensorTemperature();
  // Token 0 of "gct".
  std::optional<double> readCameraTemperature();
  // Token 0 of "gppwm".
  std::optional<int> readPwm();

  // The readings of one monitor pass; nothing (and `why` says what failed) when the camera
  // refused or did not answer one of them.
  std::optional<AgingSample> readSample(int pass, std::string* why);

private:
  Answer send(const std::string& command, bool shown = true);

  PageHost& host_;
  PeltierGeneration generation_;
};

// The aging log: one CSV file, the header first, then one line per pass. Each line is written
// and flushed at once, so a run stopped at any moment leaves a readable file.
class AgingLog {
public:
  explicit AgingLog(std::string path, PeltierGeneration generation)
      : path_(std::move(path)), generation_(generation) {}

  // Appends the sample's line (the header before pass 0). False when the file cannot be
  // opened or written: that line is skipped and the monitor goes on.
  bool append(const AgingSample& sample);
  const std::string& path() const { return path_; }
  int linesSkipped() const { return skipped_; }

private:
  std::string path_;
  PeltierGeneration generation_;
  int skipped_ = 0;
};

// ".csv" appended when the chosen name lacks it.
std::string withCsvSuffix(std::string path);

} // namespace kelpax
