// The commands of the Ko area cameras' own pages, beside the common ones: exposure and
// line-noise modes, the timer and line output, fan, frame rate, binning and pixel clock, and
// the factory page's serial numbers, bias voltages and register access.
#pragma once

#include "camera/tables/command_vocabulary.h"

namespace kelpax::cmd {

inline constexpr CommandSpec kExposureMode{"sem"};
inline constexpr CommandSpec kFrameRate{"sfr", ValueKind::Real, 1, 3};
inline constexpr CommandSpec kTimerDelay{"stdl"};
inline constexpr CommandSpec kTimerDuration{"stdu"};
inline constexpr CommandSpec kTimerTriggerSource{"stts"};
inline constexpr CommandSpec kTimerTriggerActivation{"stta"};
inline constexpr CommandSpec kLineoutSource{"slos"};
inline constexpr CommandSpec kLineInverter{"sloi"};
inline constexpr CommandSpec kUserOutput{"suov"};
inline constexpr CommandSpec kFanMode{"sfm"};
inline constexpr CommandSpec kFanTemperature{"stt"};
inline constexpr CommandSpec kPixelFormat{"spf"};
inline constexpr CommandSpec kBlackLevel{"sbl"};
inline constexpr CommandSpec kWindowX{"swx"};
inline constexpr CommandSpec kWindowY{"swy"};
inline constexpr CommandSpec kWindowWidth{"sww"};
inline constexpr CommandSpec kWindowHeight{"swh"};
inline constexpr CommandSpec kLineNoiseCorrection{"slni"};
inline constexpr CommandSpec kLineNoiseCalibration{"slnc"};
inline constexpr CommandSpec kLineNoiseMode{"slnm"};
inline constexpr CommandSpec kBinningMode{"sbm"};
inline constexpr CommandSpec kTriggerFilter{"stg"};
inline constexpr CommandSpec kDynamicDefectCorrection{"sddc"};
inline constexpr CommandSpec kDarkBlackTarget{"sdbt", ValueKind::Real, 1, 2};
inline constexpr CommandSpec kMeasurePixelOffset{"shpo", ValueKind::None, 0};
inline constexpr CommandSpec kClearPixelOffset{"scpo -", ValueKind::None, 0};
inline constexpr CommandSpec kHighSpeedMode{"shsm"};
inline constexpr CommandSpec kNoiseFilter{"snfe"};
inline constexpr CommandSpec kSensorGain{"ssc"};
inline constexpr CommandSpec kGlobalReset{"sfag"};
inline constexpr CommandSpec kFrameRateRegister{"rur 0x10002028 f", ValueKind::None, 0};

// The privileged command level of the factory and calibration commands.
inline constexpr CommandSpec kPrivilegedOpen{"aar qelmarst", ValueKind::None, 0};
inline constexpr CommandSpec kPrivilegedClose{"aar off", ValueKind::None, 0};
inline constexpr CommandSpec kBlackLevelOffset{"sblo"};
inline constexpr CommandSpec kBlackLevelOffsetQuery{"gblo", ValueKind::None, 0};
inline constexpr CommandSpec kGainPiece{"sgp"};

} // namespace kelpax::cmd
