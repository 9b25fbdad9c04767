// The Camera Link side of the port layer, through dlopen of real shared libraries.
#include <filesystem>
#include <fstream>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "link/camera_port.h"
#include "link/command_exchange.h"

using namespace kelpax;

namespace {

// Controls of the scripted library, reached through the same handle the port loads.
struct Fixture {
  Fixture() {
    handle = dlopen(CLSER_FIXTURE_PATH, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(handle, nullptr);
    reset = sym<void (*)()>("fixtureReset");
    setWriteLimit = sym<void (*)(uint32_t)>("fixtureSetWriteLimit");
    setWriteResult = sym<void (*)(int32_t)>("fixtureSetWriteResult");
    setBaudResult = sym<void (*)(int32_t)>("fixtureSetBaudResult");
    setEcho = sym<void (*)(int)>("fixtureSetEcho");
    queueRead = sym<void (*)(const char*, uint32_t)>("fixtureQueueRead");
    writeCallCount = sym<uint32_t (*)()>("fixtureWriteCallCount");
    writeCall = sym<uint32_t (*)(uint32_t)>("fixtureWriteCall");
    written = sym<const char* (*)()>("fixtureWritten");
    openCount = sym<int (*)()>("fixtureOpenCount");
    lastBaud = sym<uint32_t (*)()>("fixtureLastBaud");
    reset();
  }
  template <typename F> F sym(const char* name) { return reinterpret_cast<F>(dlsym(handle, name)); }
  void* handle;
  void (*reset)();
  void (*setWriteLimit)(uint32_t);
  void (*setWriteResult)(int32_t);
  void (*setBaudResult)(int32_t);
  void (*setEcho)(int);
  void (*queueRead)(const char*, uint32_t);
  uint32_t (*writeCallCount)();
  uint32_t (*writeCall)(uint32_t);
  const char* (*written)();
  int (*openCount)();
  uint32_t (*lastBaud)();
};

PortEntry libraryEntry(const std::string& path, uint32_t index = 0) {
  PortEntry e;
  e.isLibrary = 1;
  e.libraryPath = path;
  e.portName = path;
  e.portIndex = index;
  return e;
}

// The scripted library's first port, open at code 16.
class OpenScriptedPort : public ::testing::Test {
protected:
  void SetUp() override {
    port.addPort(libraryEntry(CLSER_FIXTURE_PATH));
    ASSERT_EQ(port.OpenPort(0, 16), 0);
  }
  Fixture f;
  CameraPort port;
  CommandExchange exchange{port};
};

} // namespace

TEST(LoadClserLibrary, ReportsEachEntryPointBit) {
  CameraPort port;
  Fixture f;
  const int bits = port.LoadClserLibrary(CLSER_FIXTURE_PATH);
  EXPECT_EQ(bits, kHasSerialInit | kHasSerialClose | kHasSerialWrite | kHasSerialRead |
                      kHasGetNumBytesAvail | kHasFlushPort | kHasSetBaudRate);
  EXPECT_NE(port.clser().serialInit, nullptr);
  EXPECT_EQ(port.clser().getErrorText, nullptr);
}

// Would catch a failed load leaving the previous library's entry points bound.
TEST(LoadClserLibrary, FailedLoadUnbindsEverything) {
  CameraPort port;
  ASSERT_NE(port.LoadClserLibrary(CLSER_FIXTURE_PATH), 0);
  EXPECT_EQ(port.LoadClserLibrary("/nonexistent/libclserx.so"), 0);
  EXPECT_EQ(port.clser().serialInit, nullptr);
  EXPECT_EQ(port.clser().serialWrite, nullptr);
}

// Bad files in the search folders: not a library at all, or a library without the
// serial API. Both are refused with -100 and nothing crashes.
TEST(OpenLibraryPort, UnusableLibrariesRefused) {
  const auto dir = std::filesystem::temp_directory_path() / "kelpax-clser-bad";
  std::filesystem::create_directories(dir);
  const auto text = dir / "libclserjunk.so";
  std::ofstream(text) << "this is not a shared library\n";
  CameraPort port;
  port.addPort(libraryEntry(text.string()));
  port.addPort(libraryEntry(CLSER_NOINIT_PATH));
  EXPECT_EQ(port.OpenPort(0, 16), kClserLibraryUnusable);
  EXPECT_EQ(port.OpenPort(1, 16), kClserLibraryUnusable);
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(port.currentIndex(), -1);
  std::filesystem::remove_all(dir);
}

TEST(OpenLibraryPort, InitErrorReturnedAndBaudRefusalTolerated) {
  Fixture f;
  CameraPort port;
  port.addPort(libraryEntry(CLSER_FIXTURE_PATH, 5)); // the fixture has two ports
  port.addPort(libraryEntry(CLSER_FIXTURE_PATH, 1));
  EXPECT_EQ(port.OpenPort(0, 16), -10005);
  EXPECT_FALSE(port.isOpen());

  // A rate the library rejects still leaves the port open.
  f.setBaudResult(-10008);
  EXPECT_EQ(port.OpenPort(1, 8), 0);
  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(port.currentIndex(), 1);
  EXPECT_EQ(f.lastBaud(), 8u);
  EXPECT_EQ(f.openCount(), 1);
  port.ClosePort();
  EXPECT_EQ(f.openCount(), 0);
  EXPECT_FALSE(port.isOpen());
}

TEST(WritePort, RefusedWithoutOpenPort) {
  CameraPort port;
  EXPECT_FALSE(port.WritePort("gmn", true));
}

// Would catch a long command going out in one call, or the second half counted from the
// wrong place.
TEST_F(OpenScriptedPort, WriteLongCommandGoesOutInTwoHalves) {
  const std::string command(600, 'a');
  ASSERT_TRUE(port.WritePort(command, true));
  ASSERT_EQ(f.writeCallCount(), 2u);
  EXPECT_EQ(f.writeCall(0), 300u);
  EXPECT_EQ(f.writeCall(1), 301u);
  EXPECT_EQ(std::string(f.written()), command + "\r");

  // Exactly 512 bytes still go out as one call.
  f.reset();
  ASSERT_TRUE(port.WritePort(std::string(511, 'b'), true));
  EXPECT_EQ(f.writeCallCount(), 1u);
}

TEST_F(OpenScriptedPort, WritePartialWritesContinueAndGiveUpAfterElevenPasses) {

  // The library takes 100 bytes a call: 600 + CR need a split pass and then more passes.
  f.setWriteLimit(100);
  ASSERT_TRUE(port.WritePort(std::string(600, 'c'), true));
  EXPECT_EQ(std::string(f.written()), std::string(600, 'c') + "\r");
  // First pass: 300 asked, 100 taken; the rest (501) asked, 100 taken...
  EXPECT_EQ(f.writeCall(0), 300u);
  EXPECT_EQ(f.writeCall(1), 501u);

  // A library that takes nothing fails the write after eleven passes.
  f.reset();
  f.setWriteLimit(0);
  EXPECT_FALSE(port.WritePort("gmn", true));
  EXPECT_EQ(f.writeCallCount(), 11u);

  // An error on a single-call pass is retried on the next pass.
  f.reset();
  f.setWriteResult(-10004);
  EXPECT_TRUE(port.WritePort("gmn", true)); // all bytes went out despite the code
  f.setWriteLimit(0);
  EXPECT_FALSE(port.WritePort("gmn", true));
}

TEST_F(OpenScriptedPort, WriteErrorOnSecondCallOfSplitPassFails) {
  f.setWriteResult(-10004);
  EXPECT_FALSE(port.WritePort(std::string(600, 'd'), true));
  EXPECT_EQ(f.writeCallCount(), 2u);
}

// Text after the prompt belongs to the next exchange, not to this answer.
TEST_F(OpenScriptedPort, TextAfterPromptStaysForNextWait) {
  const std::string script = "gmn\r\nKo-25MC-C65\r\n>Booting...";
  f.queueRead(script.data(), uint32_t(script.size()));
  EXPECT_EQ(exchange.WaitMsg(1000, kWaitForPrompt, false), int(kWaitForPrompt));
  EXPECT_EQ(exchange.TakeAnswer(), "gmn\r\nKo-25MC-C65\r\n>");
  EXPECT_EQ(exchange.WaitMsg(0, kWaitForBurst, true), int(kWaitForBurst));
  EXPECT_EQ(exchange.TakeAnswer(), "Booting...");
}

// In the binary modes a Camera Link burst stops at the frame sizes, not at ">".
TEST_F(OpenScriptedPort, BinaryModesStopBurstsAtFrameSizes) {
  const std::string acks("\x02>\x00\x01\x03\x06\x02>\x00\x02\x03\x06", 12);
  f.queueRead(acks.data(), uint32_t(acks.size()));
  exchange.setBinaryAckMode(true);
  EXPECT_EQ(exchange.WaitMsg(500, kWaitForBurst, true), int(kWaitForBurst));
  EXPECT_EQ(exchange.TakeAnswer().size(), 6u);
  exchange.setBinaryAckMode(false);

  std::string block(600, '>');
  f.reset();
  f.queueRead(block.data(), uint32_t(block.size()));
  exchange.setBinaryBlockMode(true);
  EXPECT_EQ(exchange.WaitMsg(500, kWaitForBurst, true), int(kWaitForBurst));
  EXPECT_EQ(exchange.TakeAnswer().size(), 524u);
  exchange.setBinaryBlockMode(false);
}

// While scanning, a NUL ends the burst (it is kept on Camera Link ports).
TEST_F(OpenScriptedPort, NulEndsBurstWhileScanning) {
  const std::string noise("ab\0cd>", 6);
  f.queueRead(noise.data(), uint32_t(noise.size()));
  port.setScanning(true);
  EXPECT_EQ(exchange.WaitMsg(0, kWaitForBurst, true), int(kWaitForBurst));
  EXPECT_EQ(exchange.TakeAnswer(), std::string("ab\0", 3));
  port.setScanning(false);
}
