// A camera behind a Camera Link serial library for the binary transfer fuzz target: every whole
// frame written to it is answered with the next answer queued, byte for byte as given, and
// nothing comes unasked. A read with nothing to give returns at once with a time-out.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>

#include "clser_api.h"

namespace {

struct CameraState {
  std::deque<std::string> answers; // one per frame the camera receives, in order
  std::string written;             // bytes of the frame being received
  std::string toRead;
  uint32_t frames = 0;
};

CameraState state;
int token;

// The frame's whole length once its header has come: STX, command, block, a big-endian
// length, the data, checksum and ETX.
size_t frameLength(const std::string& bytes) {
  if (bytes.size() < 7)
    return 0;
  const size_t length = size_t(uint8_t(bytes[5])) << 8 | uint8_t(bytes[6]);
  return length + 9;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t clSerialInit(uint32_t serialIndex, void** ref) {
  if (serialIndex != 0)
    return clser::kErrInvalidIndex;
  *ref = &token;
  return 0;
}

__attribute__((visibility("default"))) void clSerialClose(void*) {}

__attribute__((visibility("default"))) int32_t clSerialWrite(void*, int8_t* buffer, uint32_t* size,
                                                             uint32_t) {
  state.written.append(reinterpret_cast<const char*>(buffer), *size);
  for (size_t whole = frameLength(state.written); whole != 0 && state.written.size() >= whole;
       whole = frameLength(state.written)) {
    state.written.erase(0, whole);
    ++state.frames;
    if (!state.answers.empty()) {
      state.toRead += state.answers.front();
      state.answers.pop_front();
    }
  }
  return 0;
}

__attribute__((visibility("default"))) int32_t clSerialRead(void*, int8_t* buffer, uint32_t* size,
                                                            uint32_t) {
  const uint32_t n = std::min<uint32_t>(*size, uint32_t(state.toRead.size()));
  std::memcpy(buffer, state.toRead.data(), n);
  state.toRead.erase(0, n);
  *size = n;
  return n ? 0 : clser::kErrTimeout;
}

__attribute__((visibility("default"))) int32_t clGetNumBytesAvail(void*, uint32_t* n) {
  *n = uint32_t(state.toRead.size());
  return 0;
}

__attribute__((visibility("default"))) int32_t clFlushPort(void*) {
  return 0;
}

__attribute__((visibility("default"))) int32_t clSetBaudRate(void*, uint32_t) {
  return 0;
}

// The fuzz target's controls.
__attribute__((visibility("default"))) void binaryCameraReset() {
  state = CameraState{};
}
__attribute__((visibility("default"))) void binaryCameraQueue(const char* bytes, uint32_t n) {
  state.answers.emplace_back(bytes, n);
}
__attribute__((visibility("default"))) uint32_t binaryCameraFrames() {
  return state.frames;
}

} // extern "C"
