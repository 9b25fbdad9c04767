// The standard Camera Link serial API as the frame-grabber makers' libraries export it: the
// entry points and error codes the program, the simulated library and the tests share.
// All integers are 32 bits wide, as the API defines them; never `unsigned long`.
#pragma once

#include <cstdint>

namespace clser {

using InitFn = int32_t (*)(uint32_t serialIndex, void** serialRefPtr);
using ReadFn = int32_t (*)(void* serialRef, int8_t* buffer, uint32_t* bufferSize,
                           uint32_t serialTimeout);
using WriteFn = int32_t (*)(void* serialRef, int8_t* buffer, uint32_t* bufferSize,
                            uint32_t serialTimeout);
using CloseFn = void (*)(void* serialRef);
using GetManufacturerInfoFn = int32_t (*)(int8_t* manufacturerName, uint32_t* bufferSize,
                                          uint32_t* version);
using GetNumSerialPortsFn = int32_t (*)(uint32_t* numSerialPorts);
using GetSerialPortIdentifierFn = int32_t (*)(uint32_t serialIndex, int8_t* type,
                                              uint32_t* bufferSize);
using GetNumBytesAvailFn = int32_t (*)(void* serialRef, uint32_t* numBytes);
using FlushPortFn = int32_t (*)(void* serialRef);
using GetSupportedBaudRatesFn = int32_t (*)(void* serialRef, uint32_t* baudRates);
using SetBaudRateFn = int32_t (*)(void* serialRef, uint32_t baudRate);
using GetErrorTextFn = int32_t (*)(int32_t errorCode, int8_t* errorText, uint32_t* errorTextSize);

inline constexpr int32_t kNoError = 0;
inline constexpr int32_t kErrBufferTooSmall = -10001;
inline constexpr int32_t kErrManuDoesNotExist = -10002;
inline constexpr int32_t kErrPortInUse = -10003;
inline constexpr int32_t kErrTimeout = -10004;
inline constexpr int32_t kErrInvalidIndex = -10005;
inline constexpr int32_t kErrInvalidReference = -10006;
inline constexpr int32_t kErrErrorNotFound = -10007;
inline constexpr int32_t kErrBaudRateNotSupported = -10008;
inline constexpr int32_t kErrOutOfMemory = -10009;
inline constexpr int32_t kErrRegistryKeyNotFound = -10010;
inline constexpr int32_t kErrInvalidPtr = -10011;
inline constexpr int32_t kErrUnableToLoadDll = -10098;
inline constexpr int32_t kErrFunctionNotFound = -10099;

} // namespace clser
