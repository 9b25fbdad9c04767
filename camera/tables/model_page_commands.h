// Commands of the Ka and Ky model pages: gain and black level, frame rate, timers, outputs,
// fan, the image and auto-function windows, column data, and the Ky lens motors.
#pragma once

#include "camera/tables/command_vocabulary.h"

namespace kelpax::cmd {

// Area cameras with their own model pages (Ka, Ky): gain and black level, frame rate,
// timers, outputs, fan, the image window and the column PRNU data.
inline constexpr CommandSpec kGain{"sg", ValueKind::Real, 1, 3};
inline constexpr CommandSpec kBlackLevel{"sbl"};
inline constexpr CommandSpec kFrameRate{"sfr", ValueKind::Real, 1, 3};
inline constexpr CommandSpec kTimerDelay{"stdl"};
inline constexpr CommandSpec kTimerDuration{"stdu"};
inline constexpr CommandSpec kTimerTriggerSource{"stts"};
inline constexpr CommandSpec kTimerTriggerActivation{"stta"};
inline constexpr CommandSpec kLineOutSource{"slos"};
inline constexpr CommandSpec kLineOutInverter{"sloi"};
inline constexpr CommandSpec kUserOutputValue{"suov"};
inline constexpr CommandSpec kFanMode{"sfm"};
inline constexpr CommandSpec kFanTemperature{"stt"};
inline constexpr CommandSpec kOffsetY{"soy"};
inline constexpr CommandSpec kHeight{"sih"};
inline constexpr CommandSpec kWindowX{"swx"};
inline constexpr CommandSpec kWindowY{"swy"};
inline constexpr CommandSpec kWindowWidth{"sww"};
inline constexpr CommandSpec kWindowHeight{"swh"};
inline constexpr CommandSpec kColumnPrnu{"sprnuc"};
inline constexpr CommandSpec kColumnPrnuQuery{"gprnuc", ValueKind::None, 0};
inline constexpr CommandSpec kGenerateColumnData{"gpdc", ValueKind::None, 0};
inline constexpr CommandSpec kSaveColumnData{"spdc", ValueKind::None, 0};
// Ky 29C: overlap and double exposure, knee, outputs, the auto-function windows and limits,
// and the focus and aperture motors.
inline constexpr CommandSpec kOverlap{"sol"};
inline constexpr CommandSpec kDoubleExposure{"sde"};
inline constexpr CommandSpec kKnee{"sks"};
inline constexpr CommandSpec kLineSource{"sss"};
inline constexpr CommandSpec kLineInverter{"sli"};
inline constexpr CommandSpec kUserOutput{"suo"};
inline constexpr CommandSpec kPulsePeriod{"spp"};
inline constexpr CommandSpec kPulseWidth{"spw"};
inline constexpr CommandSpec kWindowSelect{"srd"};
inline constexpr CommandSpec kExposureWindowX{"sex"};
inline constexpr CommandSpec kExposureWindowY{"sey"};
inline constexpr CommandSpec kExposureWindowWidth{"sew"};
inline constexpr CommandSpec kExposureWindowHeight{"seh"};
inline constexpr CommandSpec kFocusWindowX{"sfx"};
inline constexpr CommandSpec kFocusWindowY{"sfy"};
inline constexpr CommandSpec kFocusWindowWidth{"sfw"};
inline constexpr CommandSpec kFocusWindowHeight{"sfh"};
inline constexpr CommandSpec kAutoExposure{"sea"};
inline constexpr CommandSpec kAutoExposureMin{"sel"};
inline constexpr CommandSpec kAutoExposureMax{"seu"};
inline constexpr CommandSpec kAutoExposureTolerance{"stl"};
inline constexpr CommandSpec kAutoExposureTarget{"sat"};
inline constexpr CommandSpec kAutoGain{"sga"};
inline constexpr CommandSpec kAutoGainMin{"sgl", ValueKind::Real, 1, 6};
inline constexpr CommandSpec kAutoGainMax{"sgu", ValueKind::Real, 1, 6};
inline constexpr CommandSpec kAutoFocus{"sfa"};
inline constexpr CommandSpec kFocusAbsolute{"mfa"};
inline constexpr CommandSpec kFocusIncremental{"mfi"};
inline constexpr CommandSpec kFocusZero{"mfz", ValueKind::None, 0};
inline constexpr CommandSpec kFocusInfinite{"mfl", ValueKind::None, 0};
inline constexpr CommandSpec kFocusPositionQuery{"gfp", ValueKind::None, 0};
inline constexpr CommandSpec kAutoAperture{"spa"};
inline constexpr CommandSpec kApertureLower{"spl"};
inline constexpr CommandSpec kApertureUpper{"spu"};
inline constexpr CommandSpec kApertureAbsolute{"mpa"};
inline constexpr CommandSpec kApertureIncremental{"mpi"};
inline constexpr CommandSpec kApertureOpen{"mpo", ValueKind::None, 0};
inline constexpr CommandSpec kApertureClose{"mpc", ValueKind::None, 0};

} // namespace kelpax::cmd
