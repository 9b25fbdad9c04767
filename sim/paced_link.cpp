// Serial wire timing for the simulated cameras.
#include "sim/paced_link.h"

#include <algorithm>
#include <cstdint>

namespace sim {
namespace {
constexpr int64_t kBitsPerByte = 10; // start bit, 8 data bits, stop bit
constexpr int64_t kNanosPerSecond = 1'000'000'000;
} // namespace

PacedLink::PacedLink(int baud, bool pacing) : baud_(baud > 0 ? baud : 9600), pacing_(pacing) {}

void PacedLink::setBaud(int baud) {
  if (baud > 0)
    baud_ = baud;
}

PacedLink::Clock::duration PacedLink::wireTime(size_t count, int baud) const {
  if (!pacing_)
    return Clock::duration::zero();
  // Computed from the byte count each time, so long answers do not drift.
  int64_t nanos = static_cast<int64_t>(count) * kBitsPerByte * kNanosPerSecond / baud;
  return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(nanos));
}

PacedLink::Clock::time_point PacedLink::sendToCamera(size_t count, Clock::time_point now) {
  Clock::time_point start = std::max(now, toCameraFree_);
  toCameraFree_ = start + wireTime(count);
  return start;
}

PacedLink::Clock::time_point PacedLink::sendToPc(std::string bytes, Clock::time_point earliest) {
  Clock::time_point start = std::max(earliest, toPcFree_);
  Clock::time_point end = start + wireTime(bytes.size());
  if (!bytes.empty()) {
    toPcFree_ = end;
    segments_.push_back({std::move(bytes), start, baud_, 0});
  }
  return end;
}

size_t PacedLink::arrivedIn(const Segment& segment, Clock::time_point now) const {
  size_t size = segment.bytes.size();
  if (now < segment.start)
    return 0;
  if (now >= segment.start + wireTime(size, segment.baud))
    return size;
  // Byte k is there once elapsed >= floor((k + 1) * 10 s / baud), the same rounding as
  // wireTime(). The elapsed time is under the segment's own wire time, so the product is small.
  int64_t elapsed =
      std::chrono::duration_cast<std::chrono::nanoseconds>(now - segment.start).count();
  return static_cast<size_t>(((elapsed + 1) * segment.baud - 1) / (kBitsPerByte * kNanosPerSecond));
}

size_t PacedLink::available(Clock::time_point now) const {
  size_t count = 0;
  for (const Segment& segment : segments_) {
    size_t arrived = arrivedIn(segment, now);
    count += arrived - segment.taken;
    if (arrived < segment.bytes.size())
      break;
  }
  return count;
}

std::string PacedLink::take(Clock::time_point now, size_t max) {
  std::string out;
  while (!segments_.empty() && out.size() < max) {
    Segment& segment = segments_.front();
    size_t arrived = arrivedIn(segment, now);
    size_t count = std::min(arrived - segment.taken, max - out.size());
    out.append(segment.bytes, segment.taken, count);
    segment.taken += count;
    if (segment.taken < segment.bytes.size())
      break;
    segments_.pop_front();
  }
  return out;
}

std::optional<PacedLink::Clock::time_point> PacedLink::nextArrival(Clock::time_point now) const {
  for (const Segment& segment : segments_) {
    size_t arrived = arrivedIn(segment, now);
    if (arrived < segment.bytes.size())
      return segment.start + wireTime(arrived + 1, segment.baud);
  }
  return std::nullopt;
}

void PacedLink::discardArrived(Clock::time_point now) {
  while (!segments_.empty()) {
    Segment& segment = segments_.front();
    segment.taken = std::max(segment.taken, arrivedIn(segment, now));
    if (segment.taken < segment.bytes.size())
      break;
    segments_.pop_front();
  }
}

void PacedLink::clear() {
  segments_.clear();
  toCameraFree_ = {};
  toPcFree_ = {};
}

} // namespace sim
