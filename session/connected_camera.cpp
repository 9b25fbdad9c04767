// The camera on the open port: commands, the value cache, identification and the operations.
#include "session/connected_camera.h"

#include "camera/debug_output.h"
#include "session/model_identification.h"

namespace kelpax {
namespace {
constexpr int kFailuresBeforeNotice = 10;
constexpr uint32_t kFillTimeoutMs = 3000;
} // namespace

std::string lostCameraText(const CacheFill& fill) {
  return "Camera lost: no answer to " + std::to_string(kUnansweredBeforeLost) +
         " queries in a row, " + std::to_string(fill.missing) + " settings not read";
}

std::string cameraInfoField(const std::string& answer, size_t echoLength) {
  if (answer.size() <= echoLength)
    return {};
  // The answer runs to the prompt; only its first line after the echo is the value.
  std::string value;
  for (char c : std::string_view(answer).substr(echoLength)) {
    if (c == kPrompt)
      break;
    if (c == '\r' || c == '\n') {
      if (!value.empty())
        break;
      continue;
    }
    value += c;
  }
  const size_t first = value.find_first_not_of(' ');
  if (first == std::string::npos)
    return {};
  return value.substr(first, value.find_last_not_of(' ') - first + 1);
}

std::optional<std::string> temperatureFrom(std::string_view answer) {
  const size_t dot = answer.find('.');
  if (dot == std::string_view::npos)
    return std::nullopt;
  const size_t start = dot >= 2 ? dot - 2 : 0;
  return std::string(answer.substr(start, 4));
}

ConnectedCamera::ConnectedCamera(CommandExchange& exchange) : exchange_(exchange) {}

Answer ConnectedCamera::sendCommand(std::string_view command, ExchangeOptions options) {
  Answer answer = exchange_.SendCommand(command, options);
  answer.cached = answer.accepted() && cache_.takeFromTraffic(answer.text);
  return answer;
}

Answer ConnectedCamera::query(std::string_view command, ExchangeOptions options) {
  Answer answer = exchange_.Query(command, options);
  answer.cached = answer.accepted() && cache_.takeFromTraffic(answer.text);
  return answer;
}

void ConnectedCamera::identify(std::string_view modelName, StatusLine* statusLine) {
  identifyModel(modelName, exchange_, model_, cache_, statusLine);
}

CacheFill ConnectedCamera::fillCache(const std::function<void(int percent)>& progress,
                                     const std::function<void()>& onFailures) {
  const size_t count = cache_.size();
  CacheFill fill;
  int failuresSinceNotice = 0;
  int unansweredInARow = 0;
  size_t stored = 0;
  size_t i = 0;
  while (i < count) {
    const std::string command = "g" + cache_.entry(i).name;
    const Answer answer = query(command, {.timeoutMs = kFillTimeoutMs, .shown = true});
    debugPrintf("%s%s\n", command.c_str(), answer.cached ? " TRUE" : "  FALSE");
    if (answer.result == CommandResult::NoAnswer) {
      ++fill.unanswered;
      if (++unansweredInARow >= kUnansweredBeforeLost) {
        // Waiting out every remaining time-out would tell nothing more.
        fill.cameraLost = true;
        break;
      }
    } else {
      unansweredInARow = 0;
    }
    if (answer.cached) {
      ++stored;
    } else {
      if (++failuresSinceNotice < kFailuresBeforeNotice) {
        // The first entry is asked again: a camera still waking up misses it.
        if (i > 0)
          ++i;
        continue;
      }
      failuresSinceNotice = 0;
      if (onFailures)
        onFailures();
    }
    if (progress)
      progress(count == 1 ? 100 : static_cast<int>(100 * i / (count - 1)));
    ++i;
  }
  fill.missing = static_cast<int>(count - stored);
  fill.nothingRead = count > 0 && stored == 0;
  return fill;
}

Answer ConnectedCamera::sendShown(const CommandSpec& spec, std::initializer_list<double> values,
                                  uint32_t timeoutMs) {
  return sendCommand(formatCommand(spec, values), {.timeoutMs = timeoutMs, .shown = true});
}

Answer ConnectedCamera::loadSettingSpace(int space) {
  return sendShown(cmd::kLoadSpace, {double(space)}, kSettingSpaceTimeoutMs);
}

Answer ConnectedCamera::saveSettingSpace(int space) {
  return sendShown(cmd::kSaveSpace, {double(space)}, kSettingSpaceTimeoutMs);
}

Answer ConnectedCamera::chooseStartupSpace(int space) {
  return sendShown(cmd::kStartupSpace, {double(space)}, kStartupSpaceTimeoutMs);
}

int ConnectedCamera::startupSpace() const {
  return cache_.holdsValue("ci") ? cache_.intValue("ci") : -1;
}

std::optional<bool> ConnectedCamera::highSpeed() const {
  const int32_t ps = cache_.intValue("ps");
  if (ps == -1)
    return std::nullopt;
  return ps != 0;
}

Answer ConnectedCamera::setHighSpeed(bool on) {
  return sendShown(cmd::kHighSpeed, {on ? 1.0 : 0.0}, kHighSpeedTimeoutMs);
}

Answer ConnectedCamera::acquisition(bool start) {
  return sendShown(start ? cmd::kAcquisitionStart : cmd::kAcquisitionStop, {}, kDefaultTimeoutMs);
}

std::optional<bool> ConnectedCamera::readAcquisitionState() {
  const Answer answer = sendCommand(formatCommand(cmd::kAcquisitionState),
                                    {.timeoutMs = kAcquisitionStateTimeoutMs, .shown = false});
  if (!answer.cached)
    return std::nullopt;
  return cache_.intValue("ast") != 0;
}

std::optional<std::string> ConnectedCamera::readTemperature() {
  // Text that never reached the prompt is no reading, even when it holds a '.'.
  const Answer answer = query(formatCommand(cmd::kCameraTemperature));
  if (answer.result == CommandResult::NoAnswer)
    return std::nullopt;
  return temperatureFrom(answer.text);
}

CameraInfo ConnectedCamera::readCameraInfo() {
  // Each field drops the echo: the command and its line end.
  auto field = [this](const CommandSpec& spec) {
    const std::string command = formatCommand(spec);
    const Answer answer = query(command, {.timeoutMs = kCameraInfoTimeoutMs});
    // Text cut off before the prompt shows nothing rather than a fragment.
    return answer.result == CommandResult::NoAnswer
               ? std::string()
               : cameraInfoField(answer.text, command.size() + 2);
  };
  CameraInfo info;
  info.name = field(cmd::kModelName);
  info.serialNumber = field(cmd::kSerialNumber);
  info.fpgaVersion = field(cmd::kFpgaVersion);
  info.mcuVersion = field(cmd::kMcuVersion);
  return info;
}

std::string ConnectedCamera::askModelName() {
  return exchange_.QueryValue(formatCommand(cmd::kModelName), kModelCheckTimeoutMs);
}

} // namespace kelpax
