// The PC end of a simulated camera's line, in process: a CLProtocol channel over a
// sim::CameraSession, so GenCP bytes cross the simulator's own packet code.
#pragma once

#include <chrono>
#include <cstring>
#include <thread>

#include "CLProtocol/SerialChannel.h"
#include "sim/camera_session.h"

class SessionChannel : public CLProtocol::SerialChannel {
public:
  using Clock = std::chrono::steady_clock;
  explicit SessionChannel(sim::CameraSession& session) : session_(session) {}
  bool write(const uint8_t* data, size_t length, uint32_t) override {
    if (session_.linkDown(Clock::now()))
      return false;
    session_.write(std::string_view(reinterpret_cast<const char*>(data), length), pcBaud_,
                   Clock::now());
    return true;
  }
  long read(uint8_t* data, size_t max, uint32_t timeoutMs) override {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      auto now = Clock::now();
      if (session_.available(now) > 0) {
        std::string bytes = session_.read(now, max);
        std::memcpy(data, bytes.data(), bytes.size());
        return static_cast<long>(bytes.size());
      }
      if (session_.linkDown(now))
        return -1;
      auto next = session_.nextArrival(now);
      if (now >= deadline)
        return 0;
      std::this_thread::sleep_until(next && *next < deadline ? *next : deadline);
    }
  }
  uint32_t supportedRates() override { return 31; }
  bool setRate(uint32_t bit) override {
    pcBaud_ = CLProtocol::RateOfBit(bit);
    return pcBaud_ != 0;
  }
  void flush() override { session_.discardArrived(Clock::now()); }

private:
  sim::CameraSession& session_;
  int pcBaud_ = 9600;
};
