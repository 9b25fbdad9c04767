// The nano-stage's commands, voltages and long runs.
#include "tools/stage_control.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kelpax {
namespace {

constexpr double kVoltsPerCount = 0.010975;
constexpr double kVoltsOffset = 22.34;
constexpr double kVoltsLimit = 160.0;

std::string format(const char* pattern, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

const char* axisWord(int axis) {
  return axis == 0 ? "x" : "y";
}

std::optional<int> wholeToken(const Answer& answer, int index) {
  if (!answer.accepted())
    return std::nullopt;
  const std::string token = answer.token(index);
  if (token.empty() || token.size() > 9)
    return std::nullopt;
  char* end = nullptr;
  const long value = std::strtol(token.c_str(), &end, 10);
  if (end != token.c_str() + token.size())
    return std::nullopt;
  return int(value);
}

const char* verdict(bool ok) {
  return ok ? "OK" : "Faild";
}

} // namespace

double pztVolts(uint32_t counts) {
  return std::min(counts * kVoltsPerCount - kVoltsOffset, kVoltsLimit);
}

std::optional<PztVoltages> decodePztVoltages(std::string_view answerToken) {
  std::string text;
  for (char c : answerToken) {
    if (c != ' ')
      text += char(std::tolower(static_cast<unsigned char>(c)));
  }
  if (text.rfind("0x", 0) == 0)
    text.erase(0, 2);
  if (text.empty() || text.size() > 8)
    return std::nullopt;
  uint32_t word = 0;
  for (char c : text) {
    int digit = 0;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else
      return std::nullopt;
    word = word << 4 | uint32_t(digit);
  }
  return PztVoltages{pztVolts(word >> 16), pztVolts(word & 0xFFFF)};
}

double gainMinimum(int axis) {
  return axis == 0 ? 0.001 : 0.0001;
}

Answer StageControl::send(const std::string& command, uint32_t timeoutMs, bool shown) {
  return host_.sendCommand(command, {.timeoutMs = timeoutMs, .shown = shown});
}

std::optional<PztVoltages> StageControl::readPztVoltages() {
  auto attempt = [this](const char* command) -> std::optional<PztVoltages> {
    const Answer answer = send(command, kStageReadTimeoutMs, false);
    if (!answer.accepted() || answer.text.find("Error") != std::string::npos)
      return std::nullopt;
    // The word may come with blanks inside it: the whole value line counts.
    std::string word;
    for (int i = 0; i < 4; ++i)
      word += answer.token(i);
    return decodePztVoltages(word);
  };
  if (!useFpga_) {
    if (std::optional<PztVoltages> volts = attempt("gpv"))
      return volts;
    useFpga_ = true;
  }
  return attempt("rfpga 0x49");
}

std::optional<Answer> StageControl::setPosition(int axis, int64_t nm) {
  if (nm < 0 || nm > kStageMaxNm)
    return std::nullopt;
  return send(format("snp %s %d", axisWord(axis), int(nm)));
}

std::optional<Answer> StageControl::setDac(int axis, int64_t value) {
  if (value < 0 || value > kDacMax)
    return std::nullopt;
  return send(format("sdac %d %d", axis, int(value)));
}

std::optional<Answer> StageControl::setPot(int axis, int64_t value) {
  if (value < 0 || value > kPotMax)
    return std::nullopt;
  return send(format("spot2 %d %d", axis, int(value)));
}

std::optional<Answer> StageControl::setGain(int axis, double gain) {
  if (!std::isfinite(gain) || gain < gainMinimum(axis) || gain > kGainMax)
    return std::nullopt;
  return send(format("spg %s %2.4f", axisWord(axis), gain));
}

std::optional<Answer> StageControl::setDrivingRate(int64_t rate) {
  if (rate < kDrivingRateMin || rate > kDrivingRateMax)
    return std::nullopt;
  return send(format("sdt 1 %d", int(rate)));
}

Answer StageControl::moveBoth(int xNm, int yNm) {
  return send(format("snp %d %d", xNm, yNm), kStageTimeoutMs, false);
}

Answer StageControl::openPrivileged() {
  return send("aar qelmarst");
}

Answer StageControl::reset() {
  return send("rnp", kStageMoveTimeoutMs);
}

Answer StageControl::calibrate() {
  return send("cnp", kStageMoveTimeoutMs);
}

std::optional<std::string> StageControl::temperature() {
  const Answer answer = send("gpt");
  if (!answer.accepted() || answer.token(0).empty())
    return std::nullopt;
  return answer.token(0);
}

std::optional<int> StageControl::readPot(int axis) {
  return wholeToken(send(format("gpot2 %d", axis)), 0);
}

std::optional<int> StageControl::readDrivingRate() {
  return wholeToken(send("gdt", kStageReadTimeoutMs), 1);
}

std::optional<std::string> StageControl::readGain(int axis) {
  const Answer answer = send(format("gpg %s", axisWord(axis)));
  if (!answer.accepted() || answer.token(0).empty())
    return std::nullopt;
  return answer.token(0);
}

std::optional<std::string> StageControl::readRcf(int axis) {
  const Answer answer = send(format("gcrf %s", axisWord(axis)));
  if (!answer.accepted() || answer.token(0).empty())
    return std::nullopt;
  return answer.token(0);
}

StageControl::Reload StageControl::reload() {
  Reload result;
  openPrivileged();
  result.potX = readPot(0);
  result.potY = readPot(1);
  result.drivingRate = readDrivingRate();
  result.voltages = readPztVoltages();
  return result;
}

std::optional<double> StageControl::setupTimeMs(int rounds) {
  openPrivileged();
  if (!send("cnp", 2000).accepted())
    return std::nullopt;
  const auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) {
    if (!moveBoth(5000, 5000).accepted() || !moveBoth(0, 0).accepted())
      return std::nullopt;
  }
  const std::chrono::duration<double, std::milli> elapsed =
      std::chrono::steady_clock::now() - started;
  return elapsed.count() / (2.0 * rounds);
}

AutoZero::State AutoZero::start() {
  steps_ = 0;
  const std::optional<Answer> dac = stage_.setDac(axis_, kZeroDac);
  if (!dac || !dac->accepted())
    return state_ = State::Refused;
  const std::optional<int> pot = stage_.readPot(axis_);
  if (!pot)
    return state_ = State::Refused;
  pot_ = *pot;
  return state_ = State::Running;
}

AutoZero::State AutoZero::step() {
  if (state_ != State::Running)
    return state_;
  const std::optional<PztVoltages> volts = stage_.readPztVoltages();
  if (!volts)
    return state_ = State::ReadFailed;
  volts_ = axis_ == 0 ? volts->x : volts->y;
  if (volts_ >= kZeroLowVolts && volts_ <= kZeroHighVolts)
    return state_ = State::Converged;
  // A higher POT lowers the axis's voltage.
  const int next = volts_ < kZeroLowVolts ? pot_ - 1 : pot_ + 1;
  if (next < 0 || next > kPotMax)
    return state_ = State::OverRange;
  const std::optional<Answer> sent = stage_.setPot(axis_, next);
  if (!sent || !sent->accepted())
    return state_ = State::Refused;
  pot_ = next;
  ++steps_;
  return state_;
}

std::string AutoZero::message() const {
  switch (state_) {
  case State::Converged:
    return "OK";
  case State::OverRange:
    return "Error : Over range";
  case State::ReadFailed:
    return "Error : the PZT voltages could not be read";
  case State::Refused:
    return "Error : the camera refused the DAC or POT";
  case State::Running:
    break;
  }
  return {};
}

StageCheck::StageCheck(StageControl& stage, int stepNm, Limits limits)
    : stage_(stage), stepNm_(stepNm), limits_(limits) {
  phases_.push_back([this] {
    if (!stage_.openPrivileged().accepted())
      return fail("the camera refused the privileged level");
    return true;
  });
  phases_.push_back([this] {
    const bool ok = stage_.reset().accepted();
    faults_ += ok ? 0 : 1;
    results_ += ok ? "Stage Reset            \t:OK\n" : "Stage Reset            \t:Faild\n";
    if (!ok)
      return fail("the camera refused the stage reset (rnp)");
    if (!stage_.calibrate().accepted())
      return fail("the camera refused the calibration (cnp)");
    return true;
  });
  phases_.push_back([this] {
    if (!stage_.moveBoth(0, 0).accepted())
      return fail("the camera refused the move to 0 nm");
    const std::optional<std::vector<PztVoltages>> readings = sample(1);
    if (!readings)
      return false;
    const PztVoltages zero = readings->front();
    const bool xOk = zero.x >= limits_.zeroLowVolts && zero.x <= limits_.zeroHighVolts;
    const bool yOk = zero.y >= limits_.zeroLowVolts && zero.y <= limits_.zeroHighVolts;
    faults_ += !xOk + !yOk;
    results_ += format("X PZT Voltage : %0.2f \t:%s\n", zero.x, verdict(xOk));
    results_ += format("Y PZT Voltage : %0.2f \t:%s\n", zero.y, verdict(yOk));
    return true;
  });
  phases_.push_back([this] {
    const int nm = limits_.checkedNm;
    if (!stage_.moveBoth(4000, 4000).accepted() || !stage_.moveBoth(nm, nm).accepted())
      return fail("the camera refused a move");
    for (int axis = 0; axis < 2; ++axis) {
      const std::optional<int> reported =
          wholeToken(stage_.send(format("gnp %s", axisWord(axis))), 0);
      const bool ok = reported == nm;
      faults_ += !ok;
      results_ += format(axis == 0 ? "X Position Setting Value: %d \t:%s\n"
                                   : "Y Position Setting Value: %d \t:%s\n",
                         reported.value_or(-1), verdict(ok));
    }
    const std::optional<std::vector<PztVoltages>> readings = sample(limits_.samples);
    if (!readings)
      return false;
    for (int axis = 0; axis < 2; ++axis) {
      double low = 1e9, high = -1e9;
      for (const PztVoltages& v : *readings) {
        low = std::min(low, axis == 0 ? v.x : v.y);
        high = std::max(high, axis == 0 ? v.x : v.y);
      }
      const double ripple = high - low;
      const bool ok = ripple < limits_.rippleVolts;
      faults_ += !ok;
      results_ += format(axis == 0 ? "X Stage Ripple Voltage: %d V \t:%s\n"
                                   : "Y Stage Ripple Voltage: %d V \t:%s\n",
                         int(std::lround(ripple)), verdict(ok));
    }
    return true;
  });
  phases_.push_back([this] {
    const std::optional<int> rate = stage_.readDrivingRate();
    const std::string gx = stage_.readGain(0).value_or("-");
    const std::string gy = stage_.readGain(1).value_or("-");
    const std::string rx = stage_.readRcf(0).value_or("-");
    const std::string ry = stage_.readRcf(1).value_or("-");
    parameters_ += format("Init DAC Value : \t%d\n", kZeroDac);
    parameters_ += format("Maximum Position : \t%d nm\n", kStageMaxNm);
    parameters_ += format("Driving step : \t%d nm\n", stepNm_);
    parameters_ += format("Driving speed : \t%d\n", rate.value_or(-1));
    parameters_ += format("Pixel pitch : \t%d nm\n", limits_.checkedNm);
    parameters_ += format("Delay latency Time : \t%d ms\n", limits_.settleMs);
    parameters_ += format("PG : \tX %s \t Y %s\n", gx.c_str(), gy.c_str());
    parameters_ += format("RCF : \t X %s \t Y %s\n", rx.c_str(), ry.c_str());
    return true;
  });
  phases_.push_back([this] {
    if (!stage_.moveBoth(0, 0).accepted())
      return fail("the camera refused the move to 0 nm");
    double slope[2] = {0, 0};
    for (int axis = 0; axis < 2; ++axis) {
      const std::optional<int> pot = stage_.readPot(axis);
      if (!pot)
        return fail("the camera did not tell the POT (gpot2)");
      const int other =
          *pot + (*pot + limits_.potStep <= kPotMax ? limits_.potStep : -limits_.potStep);
      const std::optional<std::vector<PztVoltages>> before = sample(1);
      if (!before)
        return false;
      const std::optional<Answer> moved = stage_.setPot(axis, other);
      if (!moved || !moved->accepted())
        return fail("the camera refused the POT (spot2)");
      const std::optional<std::vector<PztVoltages>> after = sample(1);
      // The POT goes back whatever the reading gave.
      stage_.setPot(axis, *pot);
      if (!after)
        return false;
      const double dv =
          axis == 0 ? after->front().x - before->front().x : after->front().y - before->front().y;
      slope[axis] = std::fabs(dv / (other - *pot));
    }
    driving_ = format("\nPOT Test : X : %0.2f V/LSB \t Y : %0.2f V/LSB\n\n", slope[0], slope[1]);
    return true;
  });
  for (int nm = 0; nm <= kStageMaxNm; nm += limits_.tableStepNm)
    phases_.push_back([this, nm] { return positionRow(nm); });
  phases_.push_back([this] {
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < limits_.setupRounds; ++i) {
      if (!stage_.moveBoth(5000, 5000).accepted() || !stage_.moveBoth(0, 0).accepted())
        return fail("the camera refused a move");
    }
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - started;
    setup_ = format("\nStage Setup Time : %0.2f ms \n(Stage Driving Time + Serial Communication "
                    "Time + Latency)\n",
                    elapsed.count() / (2.0 * limits_.setupRounds));
    return true;
  });
}

bool StageCheck::fail(const std::string& why) {
  failure_ = why;
  ++faults_;
  return false;
}

std::optional<std::vector<PztVoltages>> StageCheck::sample(int count) {
  std::vector<PztVoltages> readings;
  for (int i = 0; i < count; ++i) {
    const std::optional<PztVoltages> volts = stage_.readPztVoltages();
    if (!volts) {
      fail("the PZT voltages could not be read");
      return std::nullopt;
    }
    readings.push_back(*volts);
  }
  return readings;
}

bool StageCheck::positionRow(int nm) {
  if (!stage_.moveBoth(nm, nm).accepted())
    return fail(format("the camera refused the move to %d nm", nm));
  const std::optional<std::vector<PztVoltages>> readings = sample(limits_.samples);
  if (!readings)
    return false;
  double mean[2] = {0, 0}, low[2] = {1e9, 1e9}, high[2] = {-1e9, -1e9};
  for (const PztVoltages& v : *readings) {
    const double value[2] = {v.x, v.y};
    for (int a = 0; a < 2; ++a) {
      mean[a] += value[a] / double(readings->size());
      low[a] = std::min(low[a], value[a]);
      high[a] = std::max(high[a], value[a]);
    }
  }
  table_ += format("%05d nm\t %0.2f V\t %0.0f mV\t %0.2f V\t %0.0f mV \n", nm, mean[0],
                   (high[0] - low[0]) * 1000, mean[1], (high[1] - low[1]) * 1000);
  return true;
}

bool StageCheck::step() {
  if (next_ >= phases_.size() || failed())
    return false;
  if (!phases_[next_++]())
    return false;
  return next_ < phases_.size();
}

int StageCheck::percent() const {
  return int(next_ * 100 / phases_.size());
}

std::string StageCheck::report() const {
  std::string text =
      "Stage Check \n---------------------------------------------------------------------\n";
  text += results_;
  text += "\nParameter\n" + parameters_;
  text += "\nDriving Test" + driving_;
  text += "Postion Setting  \t X-Volt \t X-Noise  \t Y-Volt \t Y-Noise \n" + table_;
  text += setup_;
  if (failed())
    text += "\nStage Check stopped: " + failure_ + "\n";
  return text;
}

const std::vector<int>& agingPositions() {
  static const std::vector<int> positions = {0, 5000, 10000, 15000, 20000, 25000, 30000};
  return positions;
}

StageAging::StageAging(StageControl& stage, std::string csvPath, int cycles)
    : stage_(stage), path_(std::move(csvPath)), cycles_(cycles) {}

std::string StageAging::elapsedText(int seconds) {
  return format("%03d:%02d:%02d\t", seconds / 3600, (seconds / 60) % 60, seconds % 60);
}

bool StageAging::step() {
  if (failed() || (cycles_ > 0 && count_ >= cycles_ * int(agingPositions().size())))
    return false;
  if (index_ == 0 && !stage_.calibrate().accepted()) {
    failure_ = "the camera refused the calibration (cnp)";
    return false;
  }
  const int nm = agingPositions()[index_];
  const auto started = Clock::now();
  if (!stage_.moveBoth(nm, nm).accepted()) {
    failure_ = format("the camera refused the move to %d nm", nm);
    return false;
  }
  lastMoveMs_ = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
  last_ = stage_.readPztVoltages();
  if (!last_) {
    failure_ = "the PZT voltages could not be read";
    return false;
  }
  ++count_;
  index_ = (index_ + 1) % agingPositions().size();
  const int seconds =
      int(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started_).count());
  const std::string position = std::to_string(nm);
  const std::string line =
      elapsedText(seconds) + format("%d\t%s\t%s\t%3.2f\t%3.2f\n", count_, position.c_str(),
                                    position.c_str(), last_->x, last_->y);
  // One line at a time, appended and closed: a stopped run leaves every finished line.
  if (FILE* file = std::fopen(path_.c_str(), "a")) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
  } else {
    failure_ = "the log file " + path_ + " cannot be written";
    return false;
  }
  return cycles_ <= 0 || count_ < cycles_ * int(agingPositions().size());
}

int StageAging::percent() const {
  if (cycles_ <= 0)
    return 0;
  return count_ * 100 / (cycles_ * int(agingPositions().size()));
}

} // namespace kelpax
