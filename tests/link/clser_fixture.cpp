// A scripted Camera Link serial library for the port layer's tests: it records every
// write call, answers from a script, and can be told to misbehave.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct FixtureState {
  std::vector<uint32_t> writeCalls; // sizes asked for, one per call
  std::string written;
  std::string toRead;                // what the camera "sends"
  uint32_t writeLimit = 0xffffffffu; // at most this many bytes accepted per call
  int32_t writeResult = 0;
  int32_t baudResult = 0;
  int openCount = 0;
  uint32_t lastBaud = 0;
  bool echoAnswer = false; // answer each written line with "line\r\nOK\r\n>"
};

FixtureState state;
int token;

} // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t clSerialInit(uint32_t serialIndex, void** ref) {
  if (serialIndex > 1) {
    return -10005;
  }
  ++state.openCount;
  *ref = &token;
  return 0;
}

__attribute__((visibility("default"))) void clSerialClose(void*) {
  --state.openCount;
}

__attribute__((visibility("default"))) int32_t clSerialWrite(void*, int8_t* buffer, uint32_t* size,
                                                             uint32_t) {
  state.writeCalls.push_back(*size);
  uint32_t take = std::min(*size, state.writeLimit);
  state.written.append(reinterpret_cast<const char*>(buffer), take);
  *size = take;
  if (state.echoAnswer && take > 0 && buffer[take - 1] == '\r') {
    std::string line = state.written.substr(0, state.written.size() - 1);
    state.toRead += line + "\r\nOK\r\n>";
    state.written.clear();
  }
  return state.writeResult;
}

__attribute__((visibility("default"))) int32_t clSerialRead(void*, int8_t* buffer, uint32_t* size,
                                                            uint32_t) {
  uint32_t n = std::min<uint32_t>(*size, uint32_t(state.toRead.size()));
  std::memcpy(buffer, state.toRead.data(), n);
  state.toRead.erase(0, n);
  *size = n;
  return n ? 0 : -10004;
}

__attribute__((visibility("default"))) int32_t clGetNumBytesAvail(void*, uint32_t* n) {
  *n = uint32_t(state.toRead.size());
  return 0;
}

__attribute__((visibility("default"))) int32_t clFlushPort(void*) {
  return 0;
}

__attribute__((visibility("default"))) int32_t clSetBaudRate(void*, uint32_t baud) {
  state.lastBaud = baud;
  return state.baudResult;
}

// Test controls.
__attribute__((visibility("default"))) void fixtureReset() {
  state = FixtureState{};
}
__attribute__((visibility("default"))) void fixtureSetWriteLimit(uint32_t limit) {
  state.writeLimit = limit;
}
__attribute__((visibility("default"))) void fixtureSetWriteResult(int32_t result) {
  state.writeResult = result;
}
__attribute__((visibility("default"))) void fixtureSetBaudResult(int32_t result) {
  state.baudResult = result;
}
__attribute__((visibility("default"))) void fixtureSetEcho(int on) {
  state.echoAnswer = on != 0;
}
__attribute__((visibility("default"))) void fixtureQueueRead(const char* bytes, uint32_t n) {
  state.toRead.append(bytes, n);
}
__attribute__((visibility("default"))) uint32_t fixtureWriteCallCount() {
  return uint32_t(state.writeCalls.size());
}
__attribute__((visibility("default"))) uint32_t fixtureWriteCall(uint32_t i) {
  return i < state.writeCalls.size() ? state.writeCalls[i] : 0;
}
__attribute__((visibility("default"))) const char* fixtureWritten() {
  return state.written.c_str();
}
__attribute__((visibility("default"))) int fixtureOpenCount() {
  return state.openCount;
}
__attribute__((visibility("default"))) uint32_t fixtureLastBaud() {
  return state.lastBaud;
}
}
