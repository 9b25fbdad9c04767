// The Ko factory page's work without a window.
#include "pages/ko/ko_factory.h"

#include <algorithm>
#include <cstdio>

#include "camera/tables/command_vocabulary.h"
#include "transfer/ccd_timing.h"

namespace kelpax {
namespace {

std::optional<int32_t> wholeNumberOf(const std::string& text, int32_t min, int32_t max) {
  if (text.empty() || text.size() > 10)
    return std::nullopt;
  size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
  if (i == text.size())
    return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9')
      return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  if (text[0] == '-')
    value = -value;
  if (value < min || value > max)
    return std::nullopt;
  return static_cast<int32_t>(value);
}

} // namespace

bool withPrivilegedLevel(const FactorySend& send, const std::function<void()>& work) {
  if (!send(formatCommand(cmd::kPrivilegedOpen)).accepted()) {
    // A half-opened level is closed all the same.
    send(formatCommand(cmd::kPrivilegedClose));
    return false;
  }
  work();
  send(formatCommand(cmd::kPrivilegedClose));
  return true;
}

KoFactoryReadings readFactorySettings(const FactorySend& send) {
  KoFactoryReadings readings;
  readings.opened = withPrivilegedLevel(send, [&] {
    for (size_t i = 0; i < kKoSerialFields.size(); ++i) {
      const Answer answer = send("gsn " + std::string(kKoSerialFields[i].selector));
      const std::string text = answer.token(0);
      if (answer.accepted() && serialTextValid(text))
        readings.serials[i] = text;
    }
    for (size_t i = 0; i < kBiasVoltages.size(); ++i) {
      const Answer answer = send("gvref " + std::string(kBiasVoltages[i]));
      if (answer.accepted())
        readings.bias[i] = wholeNumberOf(answer.token(0), 0, kBiasMax);
    }
    const Answer offset = send(formatCommand(cmd::kBlackLevelOffsetQuery));
    if (offset.accepted())
      readings.blackOffset = wholeNumberOf(offset.token(0), 0, kBlackOffsetMax);
  });
  return readings;
}

bool serialTextValid(std::string_view text) {
  return !text.empty() && text.size() <= kSerialMax &&
         std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c <= '~'; });
}

std::optional<uint32_t> parseRegisterNumber(std::string_view text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (hex)
    text.remove_prefix(2);
  if (text.empty() || text.size() > (hex ? 8u : 10u))
    return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    if (digit < 0)
      return std::nullopt;
    value = value * (hex ? 16 : 10) + uint64_t(digit);
  }
  if (value > 0xFFFFFFFFull)
    return std::nullopt;
  return static_cast<uint32_t>(value);
}

std::string registerReadCommand(uint32_t address) {
  char text[32];
  std::snprintf(text, sizeof text, "rfpga 0x%08X", address);
  return text;
}

std::string registerWriteCommand(uint32_t address, uint32_t value) {
  char text[48];
  std::snprintf(text, sizeof text, "wfpga 0x%08X 0x%08X", address, value);
  return text;
}

std::optional<uint32_t> registerValueOf(const Answer& answer) {
  if (!answer.accepted())
    return std::nullopt;
  return parseRegisterNumber(answer.token(0));
}

AgingResult runRegisterAging(const FactorySend& send, uint32_t address, int count) {
  AgingResult result;
  std::optional<uint32_t> first;
  const std::string command = registerReadCommand(address);
  for (int i = 0; i < count; ++i) {
    ++result.reads;
    const std::optional<uint32_t> value = registerValueOf(send(command));
    if (!value) {
      ++result.failures;
    } else if (!first) {
      first = value;
    } else if (*value != *first) {
      ++result.differing;
    }
  }
  return result;
}

std::string agingSummary(const AgingResult& result) {
  char text[96];
  std::snprintf(text, sizeof text, "%d reads, %d failed, %d differing", result.reads,
                result.failures, result.differing);
  return text;
}

SensorInfoOutcome downloadSensorInfo(const std::string& path, const SingleFrameSender& sendFrame) {
  SensorInfoOutcome outcome;
  const CcdTiming timing = loadCcdTiming(path);
  if (!timing.ok) {
    outcome.message = timing.detail.empty() ? timing.message : timing.message + " " + timing.detail;
    return outcome;
  }
  outcome.sent = true;
  outcome.ok = sendFrame(kCcdTimingCommand, timing.record);
  outcome.message = outcome.ok ? kSensorInfoOk : kSensorInfoFailed;
  return outcome;
}

} // namespace kelpax
