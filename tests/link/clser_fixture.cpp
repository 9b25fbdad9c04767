// A scripted Camera Link serial library for the port layer's tests: it records every
// write call, answers from a script, and can be told to misbehave.
//
// Built a second time with CLSER_FIXTURE_SCAN for the port scan's tests: that library also
// lists its ports (count, identifiers), records every rate set, and plays a camera that
// answers only at its own rate.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "clser_api.h"

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
  // The scan library's ports and camera.
  uint32_t portCount = 2;
  int32_t numPortsResult = 0;
  std::vector<std::string> identifiers; // by port index; "fixture port N" when not set
  std::vector<uint32_t> baudHistory;    // every code passed to clSetBaudRate
  std::vector<int> initsByIndex = std::vector<int>(8, 0);
  uint32_t cameraBaud = 0; // the camera answers "gmn" and "gsn" at this code only; 0 = never
  std::string line;        // the camera's line being received
  std::string gmnReply;    // when set, the camera's whole reply to "gmn"
};

FixtureState state;
int token;

} // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t clSerialInit(uint32_t serialIndex, void** ref) {
#ifdef CLSER_FIXTURE_SCAN
  if (serialIndex >= state.portCount || serialIndex >= state.initsByIndex.size()) {
    return clser::kErrInvalidIndex;
  }
  ++state.initsByIndex[serialIndex];
  state.line.clear();
#else
  if (serialIndex > 1) {
    return clser::kErrInvalidIndex;
  }
#endif
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
  if (state.cameraBaud != 0) {
    // The camera hears only what is sent at its own rate.
    for (uint32_t i = 0; i < take && state.lastBaud == state.cameraBaud; ++i) {
      const char c = char(buffer[i]);
      if (c != '\r') {
        state.line += c;
        continue;
      }
      if (state.line == "gmn" && !state.gmnReply.empty()) {
        state.toRead += state.gmnReply;
        state.line.clear();
        continue;
      }
      std::string answer = state.line == "gmn"         ? "Ko-25MC-C65\r\n"
                           : state.line == "gsn piece" ? "20931\r\n"
                                                       : "";
      state.toRead += state.line + "\r\n" + answer + ">";
      state.line.clear();
    }
    state.written.clear();
  }
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
#ifdef CLSER_FIXTURE_SCAN
  // A silent camera: the read waits a little, as a library's time-out would, so a scan's
  // wait does not spin.
  if (n == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
#endif
  return n ? 0 : clser::kErrTimeout;
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
  state.baudHistory.push_back(baud);
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

#ifdef CLSER_FIXTURE_SCAN
__attribute__((visibility("default"))) int32_t clGetNumSerialPorts(uint32_t* count) {
  *count = state.portCount;
  return state.numPortsResult;
}
__attribute__((visibility("default"))) int32_t
clGetSerialPortIdentifier(uint32_t index, int8_t* type, uint32_t* size) {
  std::string id = index < state.identifiers.size() && !state.identifiers[index].empty()
                       ? state.identifiers[index]
                       : "fixture port " + std::to_string(index);
  if (*size < id.size() + 1) {
    *size = uint32_t(id.size() + 1);
    return clser::kErrBufferTooSmall;
  }
  std::memcpy(type, id.c_str(), id.size() + 1);
  *size = uint32_t(id.size() + 1);
  return 0;
}
__attribute__((visibility("default"))) void fixtureSetPorts(uint32_t count, int32_t result) {
  state.portCount = count;
  state.numPortsResult = result;
}
__attribute__((visibility("default"))) void fixtureSetIdentifier(uint32_t index, const char* id) {
  if (state.identifiers.size() <= index) {
    state.identifiers.resize(index + 1);
  }
  state.identifiers[index] = id;
}
__attribute__((visibility("default"))) void fixtureSetGmnReply(const char* reply) {
  state.gmnReply = reply;
}
__attribute__((visibility("default"))) void fixtureSetCameraBaud(uint32_t code) {
  state.cameraBaud = code;
}
__attribute__((visibility("default"))) uint32_t fixtureBaudCount() {
  return uint32_t(state.baudHistory.size());
}
__attribute__((visibility("default"))) uint32_t fixtureBaud(uint32_t i) {
  return i < state.baudHistory.size() ? state.baudHistory[i] : 0;
}
__attribute__((visibility("default"))) int fixtureInits(uint32_t index) {
  return index < state.initsByIndex.size() ? state.initsByIndex[index] : 0;
}
#endif
}
