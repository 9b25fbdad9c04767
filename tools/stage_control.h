// The camera's two-axis piezo nano-stage: positions, the drive's DAC, POT, gain and rate, the
// PZT voltages read back, and the long runs over them (auto zero, aging, the stage check).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "camera/answer.h"
#include "pages/page_host.h"

namespace kelpax {

inline constexpr int kStageMaxNm = 30000;
inline constexpr int kStageStepMax = 30000;
inline constexpr int kStageStepAtStart = 100;
inline constexpr int kDacMax = 65535;
inline constexpr int kPotMax = 255;
inline constexpr int kZeroDac = 13000;
inline constexpr int kDrivingRateMin = 1;
inline constexpr int kDrivingRateMax = 100;
inline constexpr double kGainMax = 10.0;
inline constexpr uint32_t kStageTimeoutMs = 3000;
inline constexpr uint32_t kStageMoveTimeoutMs = 5000;
inline constexpr uint32_t kStageReadTimeoutMs = 300;
// Auto zero keeps the axis's voltage inside this window.
inline constexpr double kZeroLowVolts = 3.0;
inline constexpr double kZeroHighVolts = 7.0;
inline constexpr int kAutoZeroPauseMs = 100;

struct PztVoltages {
  double x = 0;
  double y = 0;
};

// The voltage word of "gpv" or "rfpga 0x49": X in the high 16 bits, Y in the low, 0.010975 V
// a count from -22.34 V, at most 160 V. Blanks are removed first; anything but one hexadecimal
// number of at most eight digits (with or without "0x") is no reading.
std::optional<PztVoltages> decodePztVoltages(std::string_view answerToken);
double pztVolts(uint32_t counts);

// The lowest gain each axis accepts.
double gainMinimum(int axis);

class StageControl {
public:
  explicit StageControl(PageHost& host) : host_(host) {}

  PageHost& host() { return host_; }

  // Reads both voltages: "gpv" until it fails once, then "rfpga 0x49" for the rest of the run.
  std::optional<PztVoltages> readPztVoltages();
  bool usesFpgaRegister() const { return useFpga_; }

  // Each setter refuses a value outside its range without sending (nothing returned).
  std::optional<Answer> setPosition(int axis, int64_t nm);
  std::optional<Answer> setDac(int axis, int64_t value);
  std::optional<Answer> setPot(int axis, int64_t value);
  std::optional<Answer> setGain(int axis, double gain);
  std::optional<Answer> setDrivingRate(int64_t rate);
  Answer moveBoth(int xNm, int yNm);

  Answer openPrivileged();
  Answer reset();
  Answer calibrate();
  // Token 0 of "gpt".
  std::optional<std::string> temperature();
  std::optional<int> readPot(int axis);
  std::optional<int> readDrivingRate();
  std::optional<std::string> readGain(int axis);
  std::optional<std::string> readRcf(int axis);

  // "ReLoad": privileged level, both DACs shown as 13000, the POTs, the driving rate and the
  // voltages as the camera reports them.
  struct Reload {
    std::optional<int> potX, potY, drivingRate;
    std::optional<PztVoltages> voltages;
  };
  Reload reload();

  // "Stage Setup Time": calibrate, then 30 times there and back (5000 nm and 0); the time of one
  // move in ms. Nothing when the camera refuses the calibration or a move.
  std::optional<double> setupTimeMs(int rounds = 30);

  Answer send(const std::string& command, uint32_t timeoutMs = kStageTimeoutMs, bool shown = true);

private:
  PageHost& host_;
  bool useFpga_ = false;
};

// Auto zero of one axis: the DAC at 13000, then the POT stepped until the axis's voltage lies
// between 3 and 7 V. One step() is one reading and, when needed, one POT change; the caller
// pauses 100 ms between steps.
class AutoZero {
public:
  enum class State { Running, Converged, OverRange, ReadFailed, Refused };

  AutoZero(StageControl& stage, int axis) : stage_(stage), axis_(axis) {}

  // Sends the DAC and reads the POT the axis has now.
  State start();
  State step();
  State state() const { return state_; }
  int pot() const { return pot_; }
  int axis() const { return axis_; }
  int steps() const { return steps_; }
  double lastVolts() const { return volts_; }
  // "OK", "Error : Over range" or why it stopped.
  std::string message() const;

private:
  StageControl& stage_;
  int axis_;
  State state_ = State::Running;
  int pot_ = 0;
  int steps_ = 0;
  double volts_ = 0;
};

// A long run cut into steps a window's timer (or a loop) drives; each step is a few commands.
class StageRun {
public:
  virtual ~StageRun() = default;
  // Runs the next step; false once the run has ended (done, stopped or failed).
  virtual bool step() = 0;
  virtual int percent() const = 0;
  bool failed() const { return !failure_.empty(); }
  const std::string& failure() const { return failure_; }

protected:
  std::string failure_;
};

// "Stage Check": reset, zero voltages, position read-back, ripple, the drive's parameters, the
// POT slope, a table of positions with their voltages and noise, and the setup time.
class StageCheck : public StageRun {
public:
  struct Limits {
    double zeroLowVolts = kZeroLowVolts; // voltage at position 0
    double zeroHighVolts = kZeroHighVolts;
    double rippleVolts = 0.5; // peak to peak at a held position
    int samples = 8;          // readings per position
    int tableStepNm = 5000;
    int checkedNm = 5000; // the position read back ("gnp x", "gnp y")
    int potStep = 4;      // POT change of the slope test
    int setupRounds = 10;
    int settleMs = 0; // pause before reading a new position
  };

  StageCheck(StageControl& stage, int stepNm, Limits limits);
  explicit StageCheck(StageControl& stage, int stepNm = kStageStepAtStart)
      : StageCheck(stage, stepNm, Limits{}) {}

  bool step() override;
  int percent() const override;
  // The report so far; complete once the run has ended without failure.
  std::string report() const;
  int faults() const { return faults_; }

private:
  bool fail(const std::string& why);
  std::optional<std::vector<PztVoltages>> sample(int count);
  bool positionRow(int nm);

  StageControl& stage_;
  int stepNm_;
  Limits limits_;
  std::vector<std::function<bool()>> phases_;
  size_t next_ = 0;
  int faults_ = 0;
  // The report's parts, filled as the phases run.
  std::string results_;
  std::string parameters_;
  std::string driving_;
  std::string table_;
  std::string setup_;
};

// "Aging Test": calibrate, then drive the stage through its positions again and again, one CSV
// line per step with the elapsed time, the count, the positions and both voltages.
class StageAging : public StageRun {
public:
  using Clock = std::chrono::steady_clock;

  StageAging(StageControl& stage, std::string csvPath, int cycles = 0);

  bool step() override;
  int percent() const override;
  int count() const { return count_; }
  double lastMoveMs() const { return lastMoveMs_; }
  std::optional<PztVoltages> lastVoltages() const { return last_; }
  const std::string& path() const { return path_; }
  // Elapsed time column, "%03d:%02d:%02d\t".
  static std::string elapsedText(int seconds);

private:
  StageControl& stage_;
  std::string path_;
  int cycles_;
  int count_ = 0;
  size_t index_ = 0;
  Clock::time_point started_ = Clock::now();
  double lastMoveMs_ = 0;
  std::optional<PztVoltages> last_;
};

// The positions an aging cycle visits.
const std::vector<int>& agingPositions();

} // namespace kelpax
