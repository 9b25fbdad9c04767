// A camera at the far end of a paced serial link: what the PC side of a transport talks to.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sim/camera.h"
#include "sim/paced_link.h"

namespace sim {

class CameraSession {
public:
  using Clock = PacedLink::Clock;

  CameraSession(std::string model, int baud, bool pacing);

  Camera& camera() { return camera_; }
  const Camera& camera() const { return camera_; }
  int baud() const { return link_.baud(); }

  // The link opens at now: pending output is dropped and the boot message goes out.
  void open(Clock::time_point now);

  // The PC sends bytes at now with its port at pcBaud. At another rate than the camera's the
  // camera sees only line noise and answers nothing. Each command's answer starts when the CR
  // that ends it has arrived.
  void write(std::string_view bytes, int pcBaud, Clock::time_point now);

  size_t available(Clock::time_point now) const { return link_.available(now); }
  std::string read(Clock::time_point now, size_t max) { return link_.take(now, max); }
  std::optional<Clock::time_point> nextArrival(Clock::time_point now) const {
    return link_.nextArrival(now);
  }
  void discardArrived(Clock::time_point now) { link_.discardArrived(now); }

  // True once the camera has dropped the link and its last answer has left the wire; bytes
  // already at the PC can still be read.
  bool linkDown(Clock::time_point now) const;

  void setFaults(const Faults& faults) { camera_.setFaults(faults); }

private:
  Camera camera_;
  PacedLink link_;
  std::optional<Clock::time_point> closesAt_;
};

} // namespace sim
