// libclsersim.so loaded with dlopen, called through the standard Camera Link serial functions.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "clser_api.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int32_t kNoError = 0;

struct Api {
  void* handle = nullptr;
  int32_t (*serialInit)(uint32_t, void**) = nullptr;
  int32_t (*serialRead)(void*, int8_t*, uint32_t*, uint32_t) = nullptr;
  int32_t (*serialWrite)(void*, int8_t*, uint32_t*, uint32_t) = nullptr;
  void (*serialClose)(void*) = nullptr;
  int32_t (*getManufacturerInfo)(int8_t*, uint32_t*, uint32_t*) = nullptr;
  int32_t (*getNumSerialPorts)(uint32_t*) = nullptr;
  int32_t (*getSerialPortIdentifier)(uint32_t, int8_t*, uint32_t*) = nullptr;
  int32_t (*getNumBytesAvail)(void*, uint32_t*) = nullptr;
  int32_t (*flushPort)(void*) = nullptr;
  int32_t (*getSupportedBaudRates)(void*, uint32_t*) = nullptr;
  int32_t (*setBaudRate)(void*, uint32_t) = nullptr;
  int32_t (*getErrorText)(int32_t, int8_t*, uint32_t*) = nullptr;
  int32_t (*setFaults)(uint32_t, const char*) = nullptr;
  void (*reset)() = nullptr;
};

template <typename F> void bind(void* handle, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(handle, name));
}

Api load(const char* path) {
  Api api;
  api.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!api.handle)
    return api;
  bind(api.handle, "clSerialInit", api.serialInit);
  bind(api.handle, "clSerialRead", api.serialRead);
  bind(api.handle, "clSerialWrite", api.serialWrite);
  bind(api.handle, "clSerialClose", api.serialClose);
  bind(api.handle, "clGetManufacturerInfo", api.getManufacturerInfo);
  bind(api.handle, "clGetNumSerialPorts", api.getNumSerialPorts);
  bind(api.handle, "clGetSerialPortIdentifier", api.getSerialPortIdentifier);
  bind(api.handle, "clGetNumBytesAvail", api.getNumBytesAvail);
  bind(api.handle, "clFlushPort", api.flushPort);
  bind(api.handle, "clGetSupportedBaudRates", api.getSupportedBaudRates);
  bind(api.handle, "clSetBaudRate", api.setBaudRate);
  bind(api.handle, "clGetErrorText", api.getErrorText);
  bind(api.handle, "clsersimSetFaults", api.setFaults);
  bind(api.handle, "clsersimReset", api.reset);
  return api;
}

class ClserSimTest : public testing::Test {
protected:
  static void SetUpTestSuite() { api_ = load(CLSERSIM_PATH); }

  void SetUp() override {
    ASSERT_NE(api_.handle, nullptr) << dlerror();
    setenv("KELPAX_SIM_CAMERAS", "Ko-25MC-C65,Ka-47M-M40", 1);
    setenv("KELPAX_SIM_PACING", "0", 1);
    unsetenv("KELPAX_SIM_FAULTS");
    unsetenv("KELPAX_SIM_BAUD");
    api_.reset();
  }
  void TearDown() override {
    if (api_.handle)
      api_.reset();
  }

  void* openPort(uint32_t index) {
    void* ref = nullptr;
    EXPECT_EQ(api_.serialInit(index, &ref), kNoError);
    return ref;
  }

  int32_t send(void* ref, std::string text) {
    uint32_t size = static_cast<uint32_t>(text.size());
    return api_.serialWrite(ref, reinterpret_cast<int8_t*>(text.data()), &size, 1000);
  }

  // Reads a byte at a time, as the program does, until the prompt; stops at the first error
  // (a time-out included).
  std::string readAnswer(void* ref, uint32_t timeoutMs = 2000, int32_t* lastResult = nullptr) {
    std::string out;
    int32_t result = kNoError;
    while (out.find('>') == std::string::npos) {
      int8_t byte = 0;
      uint32_t size = 1;
      result = api_.serialRead(ref, &byte, &size, timeoutMs);
      if (result != kNoError)
        break;
      out.append(reinterpret_cast<char*>(&byte), size);
    }
    if (lastResult)
      *lastResult = result;
    return out;
  }

  std::string identifier(uint32_t index) {
    int8_t text[128];
    uint32_t size = sizeof text;
    if (api_.getSerialPortIdentifier(index, text, &size) != kNoError)
      return {};
    return reinterpret_cast<char*>(text);
  }

  static Api api_;
};

Api ClserSimTest::api_;

TEST_F(ClserSimTest, ExportsEveryFunction) {
  EXPECT_NE(api_.serialInit, nullptr);
  EXPECT_NE(api_.serialRead, nullptr);
  EXPECT_NE(api_.serialWrite, nullptr);
  EXPECT_NE(api_.serialClose, nullptr);
  EXPECT_NE(api_.getManufacturerInfo, nullptr);
  EXPECT_NE(api_.getNumSerialPorts, nullptr);
  EXPECT_NE(api_.getSerialPortIdentifier, nullptr);
  EXPECT_NE(api_.getNumBytesAvail, nullptr);
  EXPECT_NE(api_.flushPort, nullptr);
  EXPECT_NE(api_.getSupportedBaudRates, nullptr);
  EXPECT_NE(api_.setBaudRate, nullptr);
  EXPECT_NE(api_.getErrorText, nullptr);
  EXPECT_NE(api_.setFaults, nullptr);
  EXPECT_NE(api_.reset, nullptr);
}

// Catches a variant that leaks the functions it must lack, or loses others with them.
TEST(ClserSimVariantsTest, FixturesLackTheirFunctions) {
  Api noBaud = load(CLSERSIM_NOBAUD_PATH);
  ASSERT_NE(noBaud.handle, nullptr) << dlerror();
  EXPECT_EQ(noBaud.flushPort, nullptr);
  EXPECT_EQ(noBaud.setBaudRate, nullptr);
  EXPECT_NE(noBaud.serialInit, nullptr);
  EXPECT_NE(noBaud.getSupportedBaudRates, nullptr);

  Api noInit = load(CLSERSIM_NOINIT_PATH);
  ASSERT_NE(noInit.handle, nullptr) << dlerror();
  EXPECT_EQ(noInit.serialInit, nullptr);
  EXPECT_NE(noInit.serialRead, nullptr);
  EXPECT_NE(noInit.flushPort, nullptr);
  EXPECT_NE(noInit.setBaudRate, nullptr);

  // Nothing of the simulator's C++ inside leaks out beside the C functions.
  EXPECT_EQ(
      dlsym(noBaud.handle, "_ZN3sim6CameraC1ENSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"),
      nullptr);
  dlclose(noBaud.handle);
  dlclose(noInit.handle);
}

TEST_F(ClserSimTest, PortsComeFromTheEnvironment) {
  uint32_t count = 0;
  ASSERT_EQ(api_.getNumSerialPorts(&count), kNoError);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(identifier(0), "clsersim#0 Ko-25MC-C65");
  EXPECT_EQ(identifier(1), "clsersim#1 Ka-47M-M40");
  int8_t text[8];
  uint32_t size = sizeof text;
  EXPECT_EQ(api_.getSerialPortIdentifier(2, text, &size), clser::kErrInvalidIndex);

  setenv("KELPAX_SIM_CAMERAS", "Ka-47M-M40", 1);
  api_.reset();
  ASSERT_EQ(api_.getNumSerialPorts(&count), kNoError);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(identifier(0), "clsersim#0 Ka-47M-M40");

  setenv("KELPAX_SIM_CAMERAS", "", 1);
  api_.reset();
  ASSERT_EQ(api_.getNumSerialPorts(&count), kNoError);
  EXPECT_EQ(count, 0u);

  unsetenv("KELPAX_SIM_CAMERAS");
  api_.reset();
  ASSERT_EQ(api_.getNumSerialPorts(&count), kNoError);
  EXPECT_EQ(count, 1u);
}

// Catches an overrun of a short buffer and a size that does not say what is needed.
TEST_F(ClserSimTest, TextsIntoShortBuffers) {
  int8_t text[64];
  uint32_t size = 5;
  uint32_t version = 0;
  EXPECT_EQ(api_.getManufacturerInfo(text, &size, &version), clser::kErrBufferTooSmall);
  uint32_t needed = size;
  EXPECT_GT(needed, 5u);
  size = needed;
  ASSERT_EQ(api_.getManufacturerInfo(text, &size, &version), kNoError);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(text)).size() + 1, needed);
  EXPECT_EQ(version, 3u);

  size = 4;
  EXPECT_EQ(api_.getSerialPortIdentifier(0, text, &size), clser::kErrBufferTooSmall);
  EXPECT_EQ(size, std::string("clsersim#0 Ko-25MC-C65").size() + 1);
  EXPECT_EQ(api_.getManufacturerInfo(text, nullptr, &version), clser::kErrInvalidPtr);
}

TEST_F(ClserSimTest, ErrorTexts) {
  const int32_t codes[] = {0,      -10001, -10002, -10003, -10004, -10005,
                           -10006, -10007, -10008, -10009, -10011};
  for (int32_t code : codes) {
    int8_t text[128];
    uint32_t size = sizeof text;
    ASSERT_EQ(api_.getErrorText(code, text, &size), kNoError) << code;
    EXPECT_GT(size, 1u) << code;
  }
  int8_t text[128];
  uint32_t size = sizeof text;
  EXPECT_EQ(api_.getErrorText(-10010, text, &size), clser::kErrErrorNotFound);
  EXPECT_EQ(api_.getErrorText(12345, text, &size), clser::kErrErrorNotFound);
}

TEST_F(ClserSimTest, WriteThenReadTheAnswer) {
  void* ref = openPort(0);
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(ref), "gmn\r\nKo-25MC-C65\r\n>");
  ASSERT_EQ(send(ref, "set 1000\r"), kNoError);
  EXPECT_EQ(readAnswer(ref), "set 1000\r\nOK\r\n>");
  api_.serialClose(ref);

  void* other = openPort(1);
  ASSERT_EQ(send(other, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(other), "gmn\r\nKa-47M-M40\r\n>");
  api_.serialClose(other);
}

// Catches a read that ignores the caller's buffer size.
TEST_F(ClserSimTest, ReadHandsOutNoMoreThanAsked) {
  void* ref = openPort(0);
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  uint32_t avail = 0;
  ASSERT_EQ(api_.getNumBytesAvail(ref, &avail), kNoError);
  EXPECT_EQ(avail, 19u);
  int8_t buffer[8] = {};
  uint32_t size = 3;
  ASSERT_EQ(api_.serialRead(ref, buffer, &size, 100), kNoError);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "gmn");
  EXPECT_EQ(buffer[3], 0);
  ASSERT_EQ(api_.getNumBytesAvail(ref, &avail), kNoError);
  EXPECT_EQ(avail, 16u);
  ASSERT_EQ(api_.flushPort(ref), kNoError);
  ASSERT_EQ(api_.getNumBytesAvail(ref, &avail), kNoError);
  EXPECT_EQ(avail, 0u);
  api_.serialClose(ref);
}

TEST_F(ClserSimTest, PortInUseUntilClosed) {
  void* ref = openPort(0);
  void* second = nullptr;
  EXPECT_EQ(api_.serialInit(0, &second), clser::kErrPortInUse);
  EXPECT_EQ(api_.serialInit(2, &second), clser::kErrInvalidIndex);
  EXPECT_EQ(api_.serialInit(0, nullptr), clser::kErrInvalidPtr);
  api_.serialClose(ref);

  // The old reference is dead even though the port is open again.
  void* again = openPort(0);
  EXPECT_NE(again, ref);
  EXPECT_EQ(send(ref, "gmn\r"), clser::kErrInvalidReference);
  uint32_t avail = 0;
  EXPECT_EQ(api_.getNumBytesAvail(ref, &avail), clser::kErrInvalidReference);
  EXPECT_EQ(send(again, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(again), "gmn\r\nKo-25MC-C65\r\n>");
  api_.serialClose(again);
  api_.serialClose(again); // a second close is harmless
}

// Catches a time-out that returns at once, or a read that keeps stale bytes in the size.
TEST_F(ClserSimTest, ReadTimesOutWhenNothingComes) {
  void* ref = openPort(0);
  int8_t buffer[16];
  uint32_t size = sizeof buffer;
  Clock::time_point start = Clock::now();
  EXPECT_EQ(api_.serialRead(ref, buffer, &size, 100), clser::kErrTimeout);
  EXPECT_GE(Clock::now() - start, 100ms);
  EXPECT_EQ(size, 0u);
  api_.serialClose(ref);
}

// A read of a whole answer waits for its last paced byte: catches a read that returns the
// first bytes as success, or one that sits out the whole time-out. A read of one byte, the
// program's way, still returns with the first.
TEST_F(ClserSimTest, PacedReadWaitsForTheWholeCount) {
  setenv("KELPAX_SIM_PACING", "1", 1);
  api_.reset();
  void* ref = openPort(0);
  const std::string answer = "gmn\r\nKo-25MC-C65\r\n>";
  Clock::time_point start = Clock::now();
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  int8_t buffer[64];
  uint32_t size = static_cast<uint32_t>(answer.size());
  ASSERT_EQ(api_.serialRead(ref, buffer, &size, 5000), kNoError);
  auto elapsed = Clock::now() - start;
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), answer);
  // 4 bytes out and 19 back at 9600, 10 bits each.
  EXPECT_GE(elapsed, std::chrono::microseconds((4 + 19) * 10 * 1'000'000 / 9600));
  EXPECT_LT(elapsed, 2500ms);

  start = Clock::now();
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  size = 1;
  ASSERT_EQ(api_.serialRead(ref, buffer, &size, 5000), kNoError);
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(buffer[0], 'g');
  EXPECT_LT(Clock::now() - start, 2500ms);
  EXPECT_EQ(readAnswer(ref), answer.substr(1));
  api_.serialClose(ref);
}

// More asked for than the camera sends: the time-out, nothing copied, and the bytes that did
// come still there for the next read. Catches a read that hands out a short count as success
// or drops what it could not deliver.
TEST_F(ClserSimTest, ShortAnswerTimesOutAndLosesNothing) {
  for (const char* pacing : {"0", "1"}) {
    setenv("KELPAX_SIM_PACING", pacing, 1);
    api_.reset();
    void* ref = openPort(0);
    ASSERT_EQ(send(ref, "gmn\r"), kNoError);
    int8_t buffer[32];
    std::memset(buffer, 0x5a, sizeof buffer);
    uint32_t size = 25;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(api_.serialRead(ref, buffer, &size, 150), clser::kErrTimeout) << "pacing " << pacing;
    EXPECT_GE(Clock::now() - start, 150ms);
    EXPECT_EQ(size, 0u);
    for (int8_t byte : buffer)
      ASSERT_EQ(byte, 0x5a) << "pacing " << pacing;
    uint32_t avail = 0;
    ASSERT_EQ(api_.getNumBytesAvail(ref, &avail), kNoError);
    EXPECT_EQ(avail, 19u);
    size = 19;
    ASSERT_EQ(api_.serialRead(ref, buffer, &size, 100), kNoError);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), "gmn\r\nKo-25MC-C65\r\n>");
    api_.serialClose(ref);
  }
}

// A camera that drops the link after an answer shorter than the count asked for: the read
// ends at once with the dead reference instead of waiting out the time-out, and the answer
// can still be read.
TEST_F(ClserSimTest, DroppedLinkEndsAReadThatCannotBeFilled) {
  ASSERT_EQ(api_.setFaults(0, "close-after=1"), kNoError);
  void* ref = openPort(0);
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  int8_t buffer[32];
  uint32_t size = 25;
  Clock::time_point start = Clock::now();
  EXPECT_EQ(api_.serialRead(ref, buffer, &size, 5000), clser::kErrInvalidReference);
  EXPECT_LT(Clock::now() - start, 2500ms);
  EXPECT_EQ(size, 0u);
  size = 19;
  ASSERT_EQ(api_.serialRead(ref, buffer, &size, 100), kNoError);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), "gmn\r\nKo-25MC-C65\r\n>");
  api_.serialClose(ref);
}

TEST_F(ClserSimTest, BaudRatesAndMismatch) {
  setenv("KELPAX_SIM_BAUD", "115200", 1);
  api_.reset();
  void* ref = openPort(0);
  uint32_t rates = 0;
  ASSERT_EQ(api_.getSupportedBaudRates(ref, &rates), kNoError);
  EXPECT_EQ(rates, 1u | 2u | 4u | 8u | 16u);
  EXPECT_EQ(api_.setBaudRate(ref, 32), clser::kErrBaudRateNotSupported);
  EXPECT_EQ(api_.setBaudRate(ref, 3), clser::kErrBaudRateNotSupported);
  EXPECT_EQ(api_.setBaudRate(ref, 0), clser::kErrBaudRateNotSupported);

  // The grabber starts at 9600: the camera at 115200 does not understand it.
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  int32_t result = kNoError;
  EXPECT_EQ(readAnswer(ref, 200, &result), "");
  EXPECT_EQ(result, clser::kErrTimeout);

  ASSERT_EQ(api_.setBaudRate(ref, 16), kNoError);
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(ref), "gmn\r\nKo-25MC-C65\r\n>");
  api_.serialClose(ref);
}

TEST_F(ClserSimTest, FaultsFromTheEnvironmentAndAtRunTime) {
  setenv("KELPAX_SIM_FAULTS", "boot-message=Booting...", 1);
  api_.reset();
  void* ref = openPort(1);
  EXPECT_EQ(readAnswer(ref, 200), "Booting...");

  ASSERT_EQ(api_.setFaults(1, "error"), kNoError);
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(ref).rfind("gmn\r\nError", 0), 0u);

  EXPECT_EQ(api_.setFaults(1, "no-such-fault"), clser::kErrInvalidPtr);
  EXPECT_EQ(api_.setFaults(7, "silent"), clser::kErrInvalidIndex);
  ASSERT_EQ(api_.setFaults(1, "silent"), kNoError);
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  int32_t result = kNoError;
  EXPECT_EQ(readAnswer(ref, 100, &result), "");
  EXPECT_EQ(result, clser::kErrTimeout);
  api_.serialClose(ref);
}

// After the camera drops the link, reads and writes fail instead of timing out.
TEST_F(ClserSimTest, DroppedLinkInvalidatesTheReference) {
  ASSERT_EQ(api_.setFaults(0, "close-after=1"), kNoError);
  void* ref = openPort(0);
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(ref), "gmn\r\nKo-25MC-C65\r\n>");
  EXPECT_EQ(send(ref, "gmn\r"), clser::kErrInvalidReference);
  int8_t buffer[8];
  uint32_t size = sizeof buffer;
  EXPECT_EQ(api_.serialRead(ref, buffer, &size, 100), clser::kErrInvalidReference);
  api_.serialClose(ref);

  // A new opening is a new link.
  void* again = openPort(0);
  ASSERT_EQ(send(again, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(again), "gmn\r\nKo-25MC-C65\r\n>");
  api_.serialClose(again);
}

// A close from another thread ends a read that is waiting.
TEST_F(ClserSimTest, CloseWakesAWaitingRead) {
  void* ref = openPort(0);
  std::thread closer([&] {
    std::this_thread::sleep_for(100ms);
    api_.serialClose(ref);
  });
  int8_t buffer[8];
  uint32_t size = sizeof buffer;
  Clock::time_point start = Clock::now();
  EXPECT_EQ(api_.serialRead(ref, buffer, &size, 5000), clser::kErrInvalidReference);
  EXPECT_LT(Clock::now() - start, 2500ms);
  closer.join();
}

TEST_F(ClserSimTest, BadArguments) {
  uint32_t size = 4;
  int8_t buffer[4];
  EXPECT_EQ(api_.serialRead(nullptr, buffer, &size, 10), clser::kErrInvalidReference);
  EXPECT_EQ(api_.serialWrite(reinterpret_cast<void*>(0x1234), buffer, &size, 10),
            clser::kErrInvalidReference);
  EXPECT_EQ(api_.getNumSerialPorts(nullptr), clser::kErrInvalidPtr);
  void* ref = openPort(0);
  EXPECT_EQ(api_.serialRead(ref, nullptr, &size, 10), clser::kErrInvalidPtr);
  EXPECT_EQ(api_.serialWrite(ref, buffer, nullptr, 10), clser::kErrInvalidPtr);
  api_.serialClose(ref);
}

// "sbr" through the library: the port's camera answers at the old rate until it has said
// "OK", then only at the new one, also after the port is closed and opened again.
TEST_F(ClserSimTest, RateChangeMovesThePortsCamera) {
  void* ref = openPort(0);
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(ref), "gmn\r\nKo-25MC-C65\r\n>");
  ASSERT_EQ(send(ref, "sbr 115200\r"), kNoError);
  EXPECT_EQ(readAnswer(ref), "sbr 115200\r\nOK\r\n>");

  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  int32_t result = kNoError;
  EXPECT_EQ(readAnswer(ref, 200, &result), "");
  EXPECT_EQ(result, clser::kErrTimeout);
  ASSERT_EQ(api_.setBaudRate(ref, 16), kNoError);
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(ref), "gmn\r\nKo-25MC-C65\r\n>");
  api_.serialClose(ref);

  // A new opening starts the grabber at 9600; the camera stays at 115200.
  ref = openPort(0);
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(ref, 200, &result), "");
  ASSERT_EQ(api_.setBaudRate(ref, 16), kNoError);
  ASSERT_EQ(send(ref, "sbr 4800\r"), kNoError);
  EXPECT_EQ(readAnswer(ref), "sbr 4800\r\nError : invalid parameter\r\n>");
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(ref), "gmn\r\nKo-25MC-C65\r\n>");
  api_.serialClose(ref);

  // The other port's camera kept its rate.
  void* other = openPort(1);
  ASSERT_EQ(send(other, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(other), "gmn\r\nKa-47M-M40\r\n>");
  api_.serialClose(other);
}

// Per-camera rates and empty ports: catches an "@RATE" that ends up in the model name or is
// ignored, and a "-" that gives a camera or shifts the ports after it.
TEST_F(ClserSimTest, CameraItemsWithRatesAndEmptyPorts) {
  setenv("KELPAX_SIM_CAMERAS", "Ko-25MC-C65@115200, - ,Ka-47M-M40,Kx-4M-M40@38400,-@9600", 1);
  setenv("KELPAX_SIM_BAUD", "19200", 1);
  api_.reset();
  uint32_t count = 0;
  ASSERT_EQ(api_.getNumSerialPorts(&count), kNoError);
  ASSERT_EQ(count, 5u);
  EXPECT_EQ(identifier(0), "clsersim#0 Ko-25MC-C65");
  EXPECT_EQ(identifier(1), "clsersim#1 (no camera)");
  EXPECT_EQ(identifier(2), "clsersim#2 Ka-47M-M40");
  EXPECT_EQ(identifier(3), "clsersim#3 Kx-4M-M40");
  EXPECT_EQ(identifier(4), "clsersim#4 (no camera)");

  struct Expect {
    uint32_t index;
    uint32_t code; // 0: silent at every rate
    const char* model;
  };
  const Expect table[] = {
      {0, 16, "Ko-25MC-C65"}, {1, 0, ""}, {2, 2, "Ka-47M-M40"}, {3, 4, "Kx-4M-M40"}, {4, 0, ""}};
  for (const Expect& e : table) {
    void* ref = openPort(e.index);
    for (uint32_t code : {1u, 2u, 4u, 8u, 16u}) {
      ASSERT_EQ(api_.setBaudRate(ref, code), kNoError);
      ASSERT_EQ(send(ref, "gmn\r"), kNoError);
      int32_t result = kNoError;
      std::string answer = readAnswer(ref, 100, &result);
      if (code == e.code) {
        EXPECT_EQ(answer, std::string("gmn\r\n") + e.model + "\r\n>") << e.index;
      } else {
        EXPECT_EQ(answer, "") << "port " << e.index << " code " << code;
        EXPECT_EQ(result, clser::kErrTimeout) << "port " << e.index << " code " << code;
      }
    }
    uint32_t avail = 1;
    EXPECT_EQ(api_.getNumBytesAvail(ref, &avail), kNoError);
    EXPECT_EQ(avail, 0u);
    api_.serialClose(ref);
  }
  // No camera on the empty port to give faults to.
  EXPECT_EQ(api_.setFaults(1, "silent"), clser::kErrInvalidIndex);
}

// A rate that is no number keeps the port, at the default rate; an item without a model is
// left out. Catches a typo that silently drops or renames a camera.
TEST_F(ClserSimTest, BadCameraItemsAreReportedNotTrusted) {
  setenv("KELPAX_SIM_CAMERAS", "Ko-25MC-C65@fast,@9600,Ka-47M-M40@", 1);
  setenv("KELPAX_SIM_BAUD", "38400", 1);
  api_.reset();
  uint32_t count = 0;
  ASSERT_EQ(api_.getNumSerialPorts(&count), kNoError);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(identifier(0), "clsersim#0 Ko-25MC-C65");
  EXPECT_EQ(identifier(1), "clsersim#1 Ka-47M-M40");
  for (uint32_t index : {0u, 1u}) {
    void* ref = openPort(index);
    ASSERT_EQ(api_.setBaudRate(ref, 4), kNoError);
    ASSERT_EQ(send(ref, "gmn\r"), kNoError);
    EXPECT_NE(readAnswer(ref).find("\r\n>"), std::string::npos) << index;
    api_.serialClose(ref);
  }

  // A bad default rate falls back to 9600.
  setenv("KELPAX_SIM_CAMERAS", "Ko-25MC-C65", 1);
  setenv("KELPAX_SIM_BAUD", "115200x", 1);
  api_.reset();
  void* ref = openPort(0);
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(ref), "gmn\r\nKo-25MC-C65\r\n>");
  api_.serialClose(ref);
}

// A restart through the library: "OK", two echoes, then the start-up text on its own.
TEST_F(ClserSimTest, RestartSendsTheStartUpTextUnasked) {
  void* ref = openPort(0);
  ASSERT_EQ(send(ref, "rst\r"), kNoError);
  EXPECT_EQ(readAnswer(ref), "rst\r\nOK\r\n>");
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  Clock::time_point sent = Clock::now();
  std::string text = readAnswer(ref, 2000);
  EXPECT_GE(Clock::now() - sent, 400ms);
  ASSERT_EQ(text.rfind("gmn\r\ngmn\r\n", 0), 0u) << text;
  const std::string startup = text.substr(10);
  EXPECT_NE(startup.find("Initializing"), std::string::npos) << startup;
  EXPECT_NE(startup.find("Ko-25MC-C65"), std::string::npos) << startup;
  EXPECT_EQ(startup.back(), '>');
  ASSERT_EQ(send(ref, "gmn\r"), kNoError);
  EXPECT_EQ(readAnswer(ref), "gmn\r\nKo-25MC-C65\r\n>");
  api_.serialClose(ref);
}

// Copies of the library loaded together, as a host that takes every clser*.so beside it
// does: each has its own cameras and names its ports after its own file, so a port name in a
// saved port list means one port. Catches copies that share or repeat "clsersim#0".
TEST_F(ClserSimTest, CopiesNameTheirPortsApart) {
  namespace fs = std::filesystem;
  EXPECT_EQ(fs::path(CLSERKEL_PATH).filename(), "clserkel.so");
  Api kel = load(CLSERKEL_PATH);
  ASSERT_NE(kel.handle, nullptr) << dlerror();
  ASSERT_NE(kel.reset, nullptr);
  kel.reset();

  // The same file name from another folder is a third copy.
  const fs::path folder = fs::path(testing::TempDir()) / "clsersim-copy";
  fs::create_directories(folder);
  const fs::path again = folder / fs::path(CLSERSIM_PATH).filename();
  fs::copy_file(CLSERSIM_PATH, again, fs::copy_options::overwrite_existing);
  Api third = load(again.c_str());
  ASSERT_NE(third.handle, nullptr) << dlerror();
  third.reset();

  auto idOf = [](const Api& api, uint32_t index) {
    int8_t text[128] = {};
    uint32_t size = sizeof text;
    return api.getSerialPortIdentifier(index, text, &size) == kNoError
               ? std::string(reinterpret_cast<char*>(text))
               : std::string();
  };
  EXPECT_EQ(idOf(api_, 0), "clsersim#0 Ko-25MC-C65");
  EXPECT_EQ(idOf(api_, 1), "clsersim#1 Ka-47M-M40");
  EXPECT_EQ(idOf(kel, 0), "clserkel#0 Ko-25MC-C65");
  EXPECT_EQ(idOf(kel, 1), "clserkel#1 Ka-47M-M40");
  EXPECT_EQ(idOf(third, 0), "clsersim-2#0 Ko-25MC-C65");

  // Port 0 of each copy is a camera of its own: all open at once and each answers.
  void* ours = openPort(0);
  void* kelRef = nullptr;
  void* thirdRef = nullptr;
  ASSERT_EQ(kel.serialInit(0, &kelRef), kNoError);
  ASSERT_EQ(third.serialInit(0, &thirdRef), kNoError);
  ASSERT_EQ(send(ours, "stm 1\r"), kNoError);
  EXPECT_EQ(readAnswer(ours), "stm 1\r\nOK\r\n>");
  char command[] = "gtm\r";
  uint32_t size = 4;
  ASSERT_EQ(kel.serialWrite(kelRef, reinterpret_cast<int8_t*>(command), &size, 1000), kNoError);
  int8_t answer[32] = {};
  uint32_t answerSize = sizeof answer;
  EXPECT_EQ(kel.getNumBytesAvail(kelRef, &answerSize), kNoError);
  answerSize = std::min<uint32_t>(answerSize, sizeof answer);
  ASSERT_EQ(kel.serialRead(kelRef, answer, &answerSize, 1000), kNoError);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(answer), answerSize), "gtm\r\n0\r\n>")
      << "a trigger mode set through one copy showed in another";
  api_.serialClose(ours);
  kel.serialClose(kelRef);
  third.serialClose(thirdRef);
  // With no port open, unloading frees the copies' cameras (the leak checker would see them).
  dlclose(third.handle);
  dlclose(kel.handle);
  fs::remove_all(folder);
}

} // namespace
