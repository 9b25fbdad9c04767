// Wire timing of a camera behind a paced link, on a made-up clock so every instant is exact.
#include <gtest/gtest.h>

#include "sim/camera_session.h"

namespace {

using Clock = sim::CameraSession::Clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

const Clock::time_point t0 = Clock::time_point() + std::chrono::hours(1);

// Wire time of n bytes at baud, 10 bits each, rounded down to the nanosecond.
nanoseconds wire(int64_t n, int baud) {
  return nanoseconds(n * 10'000'000'000 / baud);
}

sim::Faults faultsFrom(const char* text) {
  sim::Faults faults;
  EXPECT_TRUE(sim::parseFaults(text, faults, nullptr)) << text;
  return faults;
}

// Catches answers that start before the command's CR is in, and bytes handed out before the
// end of their slot on the wire.
TEST(CameraSessionTest, AnswerBytesArriveAtTheEndOfTheirSlots) {
  sim::CameraSession session("Ko-25MC-C65", 9600, true);
  session.open(t0);
  session.write("gmn\r", 9600, t0);
  const std::string expected = "gmn\r\nKo-25MC-C65\r\n>";
  Clock::time_point lineIn = t0 + wire(4, 9600);

  EXPECT_EQ(session.available(lineIn + wire(1, 9600) - nanoseconds(1)), 0u);
  EXPECT_EQ(session.available(lineIn + wire(1, 9600)), 1u);
  EXPECT_EQ(session.available(lineIn + wire(7, 9600)), 7u);
  ASSERT_TRUE(session.nextArrival(lineIn).has_value());
  EXPECT_EQ(*session.nextArrival(lineIn), lineIn + wire(1, 9600));

  Clock::time_point last = lineIn + wire(static_cast<int64_t>(expected.size()), 9600);
  EXPECT_EQ(session.read(last - nanoseconds(1), 100), expected.substr(0, expected.size() - 1));
  EXPECT_EQ(session.read(last, 100), ">");
  EXPECT_FALSE(session.nextArrival(last).has_value());
}

// Catches drift from adding rounded byte times one after another: at 115200 a byte is
// 86805.55 ns, so 10000 rounded steps would be 5.5 µs off.
TEST(CameraSessionTest, LongAnswersDoNotDrift) {
  sim::CameraSession session("Ko-25MC-C65", 115200, true);
  sim::Faults faults;
  faults.bootMessage = std::string(10000, 'x');
  session.setFaults(faults);
  session.open(t0);
  Clock::time_point end = t0 + wire(10000, 115200);
  EXPECT_EQ(session.available(end - nanoseconds(1)), 9999u);
  EXPECT_EQ(session.available(end), 10000u);
}

// The PC's bytes queue on the wire too: a second write while the first is still being sent
// is answered after it.
TEST(CameraSessionTest, CommandsWrittenBackToBackQueueOnTheWire) {
  sim::CameraSession session("Ko-25MC-C65", 9600, true);
  session.open(t0);
  session.write("get\r", 9600, t0);
  session.write("gmn\r", 9600, t0);
  const size_t firstAnswer = std::string("get\r\n1000\r\n>").size();
  // The second command's CR is in after 8 bytes, but the camera is still sending the first
  // answer then; the second answer follows it without a gap.
  Clock::time_point firstDone = t0 + wire(4, 9600) + wire(firstAnswer, 9600);
  EXPECT_EQ(session.read(firstDone, 1000), "get\r\n1000\r\n>");
  EXPECT_EQ(session.available(firstDone + wire(1, 9600)), 1u);
}

TEST(CameraSessionTest, WithoutPacingEverythingIsThereAtOnce) {
  sim::CameraSession session("Ko-25MC-C65", 9600, false);
  session.open(t0);
  session.write("gmn\rget\r", 9600, t0);
  EXPECT_EQ(session.read(t0, 1000), "gmn\r\nKo-25MC-C65\r\n>get\r\n1000\r\n>");
}

TEST(CameraSessionTest, ReadStopsAtTheBufferSize) {
  sim::CameraSession session("Ko-25MC-C65", 9600, false);
  session.open(t0);
  session.write("gmn\r", 9600, t0);
  EXPECT_EQ(session.read(t0, 3), "gmn");
  EXPECT_EQ(session.available(t0), 16u);
  EXPECT_EQ(session.read(t0, 1000), "\r\nKo-25MC-C65\r\n>");
}

// Catches a camera that understands a PC sending at the wrong rate.
TEST(CameraSessionTest, WrongRateIsLineNoise) {
  sim::CameraSession session("Ko-25MC-C65", 115200, false);
  session.open(t0);
  session.write("set 2000\r", 9600, t0);
  EXPECT_EQ(session.available(t0 + std::chrono::seconds(10)), 0u);
  EXPECT_EQ(session.camera().commandsReceived(), 0);
  session.write("get\r", 115200, t0);
  EXPECT_EQ(session.read(t0, 1000), "get\r\n1000\r\n>");
}

TEST(CameraSessionTest, SlowAnswerComesAfterTheEcho) {
  sim::CameraSession session("Ko-25MC-C65", 9600, false);
  session.setFaults(faultsFrom("slow=200"));
  session.open(t0);
  session.write("gmn\r", 9600, t0);
  EXPECT_EQ(session.read(t0, 1000), "gmn\r\n");
  EXPECT_EQ(session.available(t0 + milliseconds(199)), 0u);
  EXPECT_EQ(session.read(t0 + milliseconds(200), 1000), "Ko-25MC-C65\r\n>");
}

TEST(CameraSessionTest, BootMessageIsSentWhenTheLinkOpens) {
  sim::CameraSession session("Ko-25MC-C65", 9600, true);
  session.setFaults(faultsFrom("boot-message=Booting..."));
  session.open(t0);
  EXPECT_EQ(session.read(t0 + wire(10, 9600), 100), "Booting...");
}

// The link goes down only once the last answer has left the wire, and the PC can still read
// what had arrived.
TEST(CameraSessionTest, LinkGoesDownAfterTheLastAnswer) {
  sim::CameraSession session("Ko-25MC-C65", 9600, true);
  session.setFaults(faultsFrom("close-after=1"));
  session.open(t0);
  session.write("gmn\r", 9600, t0);
  // Each wire's time is rounded on its own.
  Clock::time_point done = t0 + wire(4, 9600) + wire(19, 9600);
  EXPECT_FALSE(session.linkDown(done - nanoseconds(1)));
  EXPECT_TRUE(session.linkDown(done));
  EXPECT_EQ(session.read(done, 100), "gmn\r\nKo-25MC-C65\r\n>");
  session.write("gmn\r", 9600, done);
  EXPECT_EQ(session.available(done + std::chrono::seconds(1)), 0u);

  session.open(done);
  EXPECT_FALSE(session.linkDown(done));
}

TEST(CameraSessionTest, DiscardKeepsBytesStillOnTheWire) {
  sim::CameraSession session("Ko-25MC-C65", 9600, true);
  session.open(t0);
  session.write("gmn\r", 9600, t0);
  Clock::time_point mid = t0 + wire(4 + 5, 9600);
  session.discardArrived(mid);
  EXPECT_EQ(session.available(mid), 0u);
  EXPECT_EQ(session.read(t0 + std::chrono::seconds(1), 100), "Ko-25MC-C65\r\n>");
}

// Before "sbr" the camera answers at the old rate, after it only at the new one.
TEST(CameraSessionTest, RateChangeMovesTheCameraToTheNewRate) {
  sim::CameraSession session("Ko-25MC-C65", 9600, false);
  session.open(t0);
  session.write("gmn\r", 9600, t0);
  EXPECT_EQ(session.read(t0, 1000), "gmn\r\nKo-25MC-C65\r\n>");
  session.write("sbr 115200\r", 9600, t0);
  EXPECT_EQ(session.read(t0, 1000), "sbr 115200\r\nOK\r\n>");
  EXPECT_EQ(session.baud(), 115200);

  session.write("set 3000\r", 9600, t0);
  EXPECT_EQ(session.available(t0 + std::chrono::seconds(10)), 0u);
  session.write("get\r", 115200, t0);
  EXPECT_EQ(session.read(t0, 1000), "get\r\n1000\r\n>");

  // Reopening the port does not take the camera back to its old rate.
  session.open(t0);
  session.write("gmn\r", 9600, t0);
  EXPECT_EQ(session.available(t0 + std::chrono::seconds(10)), 0u);
  session.write("gmn\r", 115200, t0);
  EXPECT_EQ(session.read(t0, 1000), "gmn\r\nKo-25MC-C65\r\n>");
}

TEST(CameraSessionTest, RefusedRateChangeKeepsTheRate) {
  sim::CameraSession session("Ko-25MC-C65", 19200, false);
  session.open(t0);
  session.write("sbr 57600\r", 19200, t0);
  EXPECT_EQ(session.read(t0, 1000), "sbr 57600\r\nError : invalid parameter\r\n>");
  EXPECT_EQ(session.baud(), 19200);
  session.write("gmn\r", 19200, t0);
  EXPECT_EQ(session.read(t0, 1000), "gmn\r\nKo-25MC-C65\r\n>");
}

// The "OK" is on the wire at the old rate; only what follows travels at the new one. Catches
// bytes in flight re-timed at the new rate.
TEST(CameraSessionTest, RateChangeAnswerTravelsAtTheOldRate) {
  sim::CameraSession session("Ko-25MC-C65", 9600, true);
  session.open(t0);
  const std::string command = "sbr 115200\r";
  const std::string echo = "sbr 115200\r\n", answer = "OK\r\n>";
  session.write(command, 9600, t0);
  // Echo and answer are each timed on their own.
  Clock::time_point lineIn = t0 + wire(static_cast<int64_t>(command.size()), 9600);
  Clock::time_point done = lineIn + wire(static_cast<int64_t>(echo.size()), 9600) +
                           wire(static_cast<int64_t>(answer.size()), 9600);
  EXPECT_EQ(session.available(done - nanoseconds(1)), echo.size() + answer.size() - 1);
  EXPECT_EQ(session.read(done, 1000), echo + answer);

  session.write("gmn\r", 115200, done);
  Clock::time_point gmnDone = done + wire(4, 115200) + wire(5, 115200) + wire(14, 115200);
  EXPECT_EQ(session.available(gmnDone - nanoseconds(1)), 18u);
  EXPECT_EQ(session.read(gmnDone, 1000), "gmn\r\nKo-25MC-C65\r\n>");
}

// A booting camera's start-up text follows its last echo after the boot time, unasked.
// Catches a text that comes at once (inside the PC's identification wait) or never.
TEST(CameraSessionTest, StartUpTextComesAfterTheBootTime) {
  sim::CameraSession session("Ko-25MC-C65", 9600, false);
  session.setFaults(faultsFrom("boot-echo=1"));
  session.open(t0);
  session.write("gmn\r", 9600, t0);
  EXPECT_EQ(session.read(t0, 1000), "gmn\r\n");
  const Clock::time_point due = t0 + sim::CameraSession::kStartupTextDelay;
  ASSERT_TRUE(session.nextArrival(t0).has_value());
  EXPECT_EQ(*session.nextArrival(t0), due);
  EXPECT_EQ(session.available(due - nanoseconds(1)), 0u);
  EXPECT_EQ(session.read(due, 1000), session.camera().startupText());
  EXPECT_FALSE(session.nextArrival(due).has_value());
}

// A command the camera answers while it finishes booting is not held behind the start-up
// text, and the text still comes.
TEST(CameraSessionTest, AnswerDuringTheBootTimeComesFirst) {
  sim::CameraSession session("Ko-25MC-C65", 9600, false);
  session.open(t0);
  session.write("rst\r", 9600, t0);
  EXPECT_EQ(session.read(t0, 1000), "rst\r\nOK\r\n>");
  session.write("gmn\r", 9600, t0);
  session.write("gmn\r", 9600, t0);
  EXPECT_EQ(session.read(t0, 1000), "gmn\r\ngmn\r\n");
  const Clock::time_point soon = t0 + milliseconds(100);
  session.write("gmn\r", 9600, soon);
  EXPECT_EQ(session.read(soon, 1000), "gmn\r\nKo-25MC-C65\r\n>");
  EXPECT_EQ(session.read(t0 + sim::CameraSession::kStartupTextDelay, 1000),
            session.camera().startupText());
}

// A camera restarted while the port is closed sends its start-up text on the next link.
TEST(CameraSessionTest, StartUpTextPendingAcrossAReopen) {
  sim::CameraSession session("Ko-25MC-C65", 9600, false);
  session.setFaults(faultsFrom("boot-echo=1"));
  session.open(t0);
  session.write("gmn\r", 9600, t0);
  session.open(t0 + milliseconds(100));
  EXPECT_EQ(session.available(t0 + milliseconds(100)), 0u);
  EXPECT_EQ(session.read(t0 + std::chrono::seconds(1), 1000), session.camera().startupText());
}

} // namespace
