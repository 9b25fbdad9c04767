// The camera's ASCII commands as named formats, and the privileged command level.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace kelpax {

namespace cmd {

// Trigger and exposure
inline constexpr const char* kTriggerMode = "stm %d";
inline constexpr const char* kTriggerSource = "sts %d";
inline constexpr const char* kExposureSource = "ses %d";
inline constexpr const char* kTriggerPolarity = "stp %d";
inline constexpr const char* kFrameNumber = "sfn %d";
inline constexpr const char* kAsyncReset = "sar %d";
inline constexpr const char* kExposureTime = "set %d";
inline constexpr const char* kExposureTimeReal2 = "set %0.2f";
inline constexpr const char* kExposureTimeReal3 = "set %.3f";
inline constexpr const char* kStrobeOffset = "sso %d";
inline constexpr const char* kStrobePolarity = "ssp %d";
inline constexpr const char* kStrobeType = "sst %d";
inline constexpr const char* kOverlap = "sol %d";
inline constexpr const char* kDoubleExposure = "sde %d";
inline constexpr const char* kLineRate2 = "slr %0.2f";
inline constexpr const char* kLineRate3 = "slr %.3f";
inline constexpr const char* kRescalerRate = "srr %.3f";
inline constexpr const char* kOperationMode = "som %d";
inline constexpr const char* kScanDirection = "ssd %d";
inline constexpr const char* kTdiStages = "std %d";

// Gain, offset and black level
inline constexpr const char* kAnalogGain = "sag %d";
inline constexpr const char* kAnalogOffset = "sao %d";
inline constexpr const char* kAnalogGainLeft = "sag 1 %d";
inline constexpr const char* kAnalogGainRight = "sag 2 %d";
inline constexpr const char* kAnalogOffsetLeft = "sao 1 %d";
inline constexpr const char* kAnalogOffsetRight = "sao 2 %d";
inline constexpr const char* kFineGain2 = "sgo 2 %d";
inline constexpr const char* kFineGain3 = "sgo 3 %d";
inline constexpr const char* kFineGain4 = "sgo 4 %d";
inline constexpr const char* kFineOffset = "soo %d %d";
inline constexpr const char* kDigitalGain2 = "sdg %0.2f";
inline constexpr const char* kDigitalGain3 = "sdg %.3f";
inline constexpr const char* kDigitalGain6 = "sdg %.6f";
inline constexpr const char* kDigitalOffset = "sdo %d";
inline constexpr const char* kGainReal = "sg %.3f";
inline constexpr const char* kBlackLevel = "sbl %d";
inline constexpr const char* kColourGainRed = "srg r %f";
inline constexpr const char* kColourGainGreen = "srg g %f";
inline constexpr const char* kColourGainBlue = "srg b %f";

// Image format, region and read-out
inline constexpr const char* kCameraLinkTaps = "scl %d";
inline constexpr const char* kDataBits = "sdb %d";
inline constexpr const char* kChannelCount = "scm %d";
inline constexpr const char* kTestImage = "sti %d";
inline constexpr const char* kHorizontalFlip = "shf %d";
inline constexpr const char* kReadoutMode = "srm %d";
inline constexpr const char* kBinning = "sbf %d";
inline constexpr const char* kBinningH = "sbh %d";
inline constexpr const char* kBinningV = "sbv %d";
inline constexpr const char* kVerticalArea = "sva %d %d";
inline constexpr const char* kHorizontalArea = "sha %d %d";
inline constexpr const char* kOffsetX = "sox %d";
inline constexpr const char* kOffsetY = "soy %d";
inline constexpr const char* kImageWidth = "siw %d";
inline constexpr const char* kImageHeight = "sih %d";
inline constexpr const char* kWindowX = "swx %d";
inline constexpr const char* kWindowY = "swy %d";
inline constexpr const char* kWindowW = "sww %d";
inline constexpr const char* kWindowH = "swh %d";
inline constexpr const char* kLutSelect = "sls %d";
inline constexpr const char* kInvert = "sii %d";
inline constexpr const char* kFlatFieldCorrection = "sfc %d";
inline constexpr const char* kDefectCorrection = "sdc %d";
inline constexpr const char* kFlatFieldOffset = "sfo %d";
inline constexpr const char* kFlatFieldFrames = "sfi %d";

// Timers, temperature and outputs
inline constexpr const char* kTemperature = "stt %d";
inline constexpr const char* kFanMode = "sfm %d";
inline constexpr const char* kFrameRate = "sfr %.3f";

// Setting spaces and start-up (the main window)
inline constexpr const char* kLoadSpace = "lcf %d";
inline constexpr const char* kSaveSpace = "sct %d";
inline constexpr const char* kStartupSpace = "sci %d";
inline constexpr const char* kHighSpeed = "sps %d";

// Identification
inline constexpr const char* kRegions = "groi";
inline constexpr const char* kSensorWidth = "gsw";
inline constexpr const char* kSensorHeight = "gsh";
inline constexpr const char* kSensorInfo = "gccd";

// The privileged command level.
inline constexpr std::string_view kPrivilegedOn = "aar qelmarst";
inline constexpr std::string_view kPrivilegedOff = "aar off";

} // namespace cmd

// printf-style formatting of one command; reals keep exactly their format's precision.
template <typename... Args> std::string formatCommand(const char* format, Args... args) {
  char line[256];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
  const int length = std::snprintf(line, sizeof line, format, args...);
#pragma GCC diagnostic pop
  if (length < 0)
    return {};
  return std::string(line, std::min<size_t>(static_cast<size_t>(length), sizeof line - 1));
}

} // namespace kelpax
