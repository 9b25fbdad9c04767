// The camera's ASCII commands, typed: each names its verb, the kind and number of values it
// takes and, for reals, the decimals the camera expects.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kelpax {

enum class ValueKind { None, Integer, Real };

struct CommandSpec {
  std::string_view verb; // the words before the values: "stm", "sag 1", "srg r", "lcf"
  ValueKind kind = ValueKind::Integer;
  int valueCount = 1;
  int decimals = 0; // reals only
};

// The command line for `values`: integers written whole, reals with the spec's decimals
// ("sdg 1.50"). Empty when the number of values is not the spec's, or a value is not a whole
// number for an integer command: such a line is never sent.
std::string formatCommand(const CommandSpec& spec, std::initializer_list<double> values = {});

namespace cmd {

// Trigger and exposure
inline constexpr CommandSpec kTriggerMode{"stm"};
inline constexpr CommandSpec kTriggerSource{"sts"};
inline constexpr CommandSpec kExposureSource{"ses"};
inline constexpr CommandSpec kTriggerPolarity{"stp"};
inline constexpr CommandSpec kFrameNumber{"sfn"};
inline constexpr CommandSpec kAsyncReset{"sar"};
inline constexpr CommandSpec kExposureTime{"set"};
inline constexpr CommandSpec kStrobeOffset{"sso"};
inline constexpr CommandSpec kStrobePolarity{"ssp"};
inline constexpr CommandSpec kStrobeType{"sst"};
inline constexpr CommandSpec kTriggerActivation{"sta"};
// Line-scan cameras keep exposure and line period as reals.
inline constexpr CommandSpec kExposureTime2{"set", ValueKind::Real, 1, 2};
inline constexpr CommandSpec kExposureTime3{"set", ValueKind::Real, 1, 3};
inline constexpr CommandSpec kLineRate2{"slr", ValueKind::Real, 1, 2};
inline constexpr CommandSpec kLineRate3{"slr", ValueKind::Real, 1, 3};
inline constexpr CommandSpec kRescalerRate{"srr", ValueKind::Real, 1, 3};
inline constexpr CommandSpec kRescalerMode{"ssm"};
inline constexpr CommandSpec kOperationMode{"som"};
inline constexpr CommandSpec kScanDirection{"ssd"};
inline constexpr CommandSpec kTdiStages{"std"};
inline constexpr CommandSpec kStrobeTimeOffset{"sto", ValueKind::Real, 1, 3};

// Gain, offset and black level
inline constexpr CommandSpec kAnalogGain{"sag"};
inline constexpr CommandSpec kAnalogOffset{"sao"};
inline constexpr CommandSpec kAnalogGainLeft{"sag 1"};
inline constexpr CommandSpec kAnalogGainRight{"sag 2"};
inline constexpr CommandSpec kAnalogOffsetLeft{"sao 1"};
inline constexpr CommandSpec kAnalogOffsetRight{"sao 2"};
inline constexpr CommandSpec kFineGain2{"sgo 2"};
inline constexpr CommandSpec kFineGain3{"sgo 3"};
inline constexpr CommandSpec kFineGain4{"sgo 4"};
inline constexpr CommandSpec kFineOffset1{"soo 1"};
inline constexpr CommandSpec kFineOffset2{"soo 2"};
inline constexpr CommandSpec kFineOffset3{"soo 3"};
inline constexpr CommandSpec kFineOffset4{"soo 4"};
inline constexpr CommandSpec kDigitalGain2{"sdg", ValueKind::Real, 1, 2};
inline constexpr CommandSpec kDigitalGain3{"sdg", ValueKind::Real, 1, 3};
inline constexpr CommandSpec kDigitalGain6{"sdg", ValueKind::Real, 1, 6};
inline constexpr CommandSpec kDigitalOffset{"sdo"};
inline constexpr CommandSpec kDigitalBlackLevel{"sdbl"};
// Colour channel gains ("%f": six decimals); the reset sends unity to each.
inline constexpr CommandSpec kRedGain{"srg r", ValueKind::Real, 1, 6};
inline constexpr CommandSpec kGreenGain{"srg g", ValueKind::Real, 1, 6};
inline constexpr CommandSpec kBlueGain{"srg b", ValueKind::Real, 1, 6};
inline constexpr CommandSpec kAutoWhiteBalance{"arg", ValueKind::None, 0};

// Image format, region and read-out
inline constexpr CommandSpec kCameraLinkTaps{"scl"};
inline constexpr CommandSpec kDataBits{"sdb"};
inline constexpr CommandSpec kChannelCount{"scm"};
inline constexpr CommandSpec kTestImage{"sti"};
inline constexpr CommandSpec kHorizontalFlip{"shf"};
inline constexpr CommandSpec kReadoutMode{"srm"};
inline constexpr CommandSpec kBinning{"sbf"};
inline constexpr CommandSpec kVerticalArea{"sva", ValueKind::Integer, 2};
inline constexpr CommandSpec kHorizontalArea{"sha", ValueKind::Integer, 2};
inline constexpr CommandSpec kLutSelect{"sls"};
inline constexpr CommandSpec kInvert{"sii"};
inline constexpr CommandSpec kFlatFieldCorrection{"sfc"};
inline constexpr CommandSpec kDefectCorrection{"sdc"};
inline constexpr CommandSpec kDsnuCorrection{"sdsnu"};
inline constexpr CommandSpec kSmearCorrection{"smc"};
inline constexpr CommandSpec kReverseX{"srx"};
inline constexpr CommandSpec kReverseY{"sry"};
inline constexpr CommandSpec kCameraLinkClock{"sccs"};
inline constexpr CommandSpec kBinningHorizontal{"sbh"};
inline constexpr CommandSpec kBinningVertical{"sbv"};
inline constexpr CommandSpec kOffsetX{"sox"};
inline constexpr CommandSpec kWidth{"siw"};
inline constexpr CommandSpec kImageOffset{"sio"};
inline constexpr CommandSpec kImageMode{"sim"};
inline constexpr CommandSpec kImageDirection{"sid"};
inline constexpr CommandSpec kAdvancedFilter{"saf"};
inline constexpr CommandSpec kFilter{"srf"};
inline constexpr CommandSpec kPreEmphasis{"spe"};
inline constexpr CommandSpec kPrnuSelect{"sprnu"};
// Colour correction coefficients and colour balance: index, value.
inline constexpr CommandSpec kColourCoefficient{"sscc", ValueKind::Integer, 2};
inline constexpr CommandSpec kColourBalance{"sscb", ValueKind::Integer, 2};
inline constexpr CommandSpec kColourCoefficientQuery{"gscc"};
inline constexpr CommandSpec kColourBalanceQuery{"gscb"};

// Correction data in flash
inline constexpr CommandSpec kGenerateAllDark{"gdda", ValueKind::None, 0};

// Timers, temperature and outputs
inline constexpr CommandSpec kTemperatureReal{"stc", ValueKind::Real, 1, 2};

// Trigger statistics (read only)
inline constexpr CommandSpec kInputTriggerRate{"gitr", ValueKind::None, 0};
inline constexpr CommandSpec kInputTriggerRateHighest{"gitrh", ValueKind::None, 0};
inline constexpr CommandSpec kInputTriggerJitter{"gitj", ValueKind::None, 0};
inline constexpr CommandSpec kInputTriggerDuration{"gitd", ValueKind::None, 0};
inline constexpr CommandSpec kRescaledTriggerRate{"grtr", ValueKind::None, 0};
inline constexpr CommandSpec kRescaledTriggerJitter{"grtj", ValueKind::None, 0};

// Setting spaces and start-up (the main window)
inline constexpr CommandSpec kLoadSpace{"lcf"};
inline constexpr CommandSpec kSaveSpace{"sct"};
inline constexpr CommandSpec kStartupSpace{"sci"};
inline constexpr CommandSpec kHighSpeed{"sps"};
inline constexpr CommandSpec kAcquisitionStart{"ast", ValueKind::None, 0};
inline constexpr CommandSpec kAcquisitionStop{"asp", ValueKind::None, 0};
inline constexpr CommandSpec kAcquisitionState{"gast", ValueKind::None, 0};

// Identification and the camera's own state
inline constexpr CommandSpec kModelName{"gmn", ValueKind::None, 0};
inline constexpr CommandSpec kSerialNumber{"gsn piece", ValueKind::None, 0};
inline constexpr CommandSpec kFpgaVersion{"gfv", ValueKind::None, 0};
inline constexpr CommandSpec kMcuVersion{"gmv", ValueKind::None, 0};
inline constexpr CommandSpec kCameraTemperature{"gct", ValueKind::None, 0};
inline constexpr CommandSpec kRegions{"groi", ValueKind::None, 0};
inline constexpr CommandSpec kSensorWidth{"gsw", ValueKind::None, 0};
inline constexpr CommandSpec kSensorHeight{"gsh", ValueKind::None, 0};
inline constexpr CommandSpec kSensorInfo{"gccd", ValueKind::None, 0};

// The area cameras' own model pages (Ka, Ko, Ky): gain and black level, frame rate,
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

// The Ko area and factory pages: exposure and line-noise modes, pixel format, binning mode,
// pixel offsets, read-out speed, sensor gain, and the factory's black-level offset and gain
// piece (these inside the privileged level).
inline constexpr CommandSpec kExposureMode{"sem"};
inline constexpr CommandSpec kPixelFormat{"spf"};
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
inline constexpr CommandSpec kBlackLevelOffset{"sblo"};
inline constexpr CommandSpec kBlackLevelOffsetQuery{"gblo", ValueKind::None, 0};
inline constexpr CommandSpec kGainPiece{"sgp"};

// The privileged command level, as text and as commands.
inline constexpr std::string_view kPrivilegedOn = "aar qelmarst";
inline constexpr std::string_view kPrivilegedOff = "aar off";
inline constexpr CommandSpec kPrivilegedOpen{"aar qelmarst", ValueKind::None, 0};
inline constexpr CommandSpec kPrivilegedClose{"aar off", ValueKind::None, 0};

} // namespace cmd

} // namespace kelpax
