// The camera's dark-image correction data: generating it at a fixed gain and offset with the
// sensor covered, and saving it to the camera's flash. The command sequence depends on the
// model's rate code; the Ko image page runs it from its two buttons.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kelpax {

inline constexpr const char* kCoverCameraText =
    "Cover the Camera,\r\n so that the camera will be capturing frames in complete darkness.";
inline constexpr const char* kDarkImageNotDetectedText =
    "Error found! The dark image has not been detected.";
// The camera's gain or offset was never read: zeroing them now would lose them for good.
inline constexpr const char* kGainOffsetUnknownText =
    "The camera's gain and offset are not known, so they could not be restored after "
    "generating dark data. Refresh the camera's settings and try again.";

// Rate codes with their own sequences (the 160 and 110 cameras).
inline constexpr int kDarkRate160 = 262;
inline constexpr int kDarkRate110 = 263;

struct DarkImageChannel {
  // One command with its time-out; true when the camera accepted it.
  std::function<bool(const std::string& command, uint32_t timeoutMs)> send;
  // The cached value of a stem; none when the camera's value was never read.
  std::function<std::optional<int32_t>(std::string_view stem)> cached;
};

struct DarkImageOutcome {
  bool succeeded = false;
  std::string message; // what the operator is told; empty: nothing beyond the status line
};

// Generates the dark data. The 160 and 110 cameras generate at a fixed gain and offset;
// the operator's gain and offset are put back afterwards, also when the camera refuses a
// step on the way.
DarkImageOutcome generateDarkImage(int rateCode, const DarkImageChannel& channel);
// Saves the dark data to flash; a refused command ends it without a message.
DarkImageOutcome saveDarkImage(int rateCode, const DarkImageChannel& channel);

} // namespace kelpax
