// Times bytes on a serial wire: 10 bits a byte at the link's rate, in both directions.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

namespace sim {

class PacedLink {
public:
  using Clock = std::chrono::steady_clock;

  // With pacing off every byte is there the moment it is scheduled.
  PacedLink(int baud, bool pacing);

  int baud() const { return baud_; }
  bool pacing() const { return pacing_; }
  // Bytes sent from now on travel at baud; bytes already on the wire keep their own rate.
  void setBaud(int baud);

  // Wire time of count bytes back to back at the link's present rate.
  Clock::duration wireTime(size_t count) const { return wireTime(count, baud_); }

  // The PC puts count bytes on the wire at now; they follow whatever it sent before. Returns
  // the time their first byte starts: byte k has arrived at start + wireTime(k + 1).
  Clock::time_point sendToCamera(size_t count, Clock::time_point now);

  // The camera sends bytes, starting no earlier than earliest and after what it sent before;
  // byte k arrives at the end of its slot, start + wireTime(k + 1). Returns when the last byte
  // has arrived.
  Clock::time_point sendToPc(std::string bytes, Clock::time_point earliest);

  // Bytes that have arrived at the PC by now and not been taken.
  size_t available(Clock::time_point now) const;
  std::string take(Clock::time_point now, size_t max);
  // When the next byte not yet arrived will arrive (nothing if none is on its way).
  std::optional<Clock::time_point> nextArrival(Clock::time_point now) const;
  bool idle() const { return segments_.empty(); }

  // Throws away what has arrived and not been taken; bytes still on the wire keep coming.
  void discardArrived(Clock::time_point now);
  void clear();

private:
  struct Segment {
    std::string bytes;
    Clock::time_point start;
    int baud; // the rate the bytes were sent at
    size_t taken = 0;
  };
  Clock::duration wireTime(size_t count, int baud) const;
  size_t arrivedIn(const Segment& segment, Clock::time_point now) const;

  int baud_;
  bool pacing_;
  Clock::time_point toCameraFree_; // when the PC-to-camera wire is next idle
  Clock::time_point toPcFree_;     // when the camera-to-PC wire is next idle
  std::deque<Segment> segments_;   // sent by the camera, in wire order
};

} // namespace sim
