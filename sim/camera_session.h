// A camera at the far end of a paced serial link: what the PC side of a transport talks to.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "sim/camera.h"
#include "sim/paced_link.h"

namespace sim {

class CameraSession {
public:
  using Clock = PacedLink::Clock;

  // How long a camera takes to finish booting after the last command it only echoed; then its
  // start-up text goes out. Longer than the PC's 300 ms identification wait, so a booting
  // camera is first seen echoing only.
  static constexpr std::chrono::milliseconds kStartupTextDelay{500};
  // A binary frame whose bytes stop coming for this long is given up.
  static constexpr std::chrono::milliseconds kFrameGap{50};

  CameraSession(std::string model, int baud, bool pacing);

  Camera& camera() { return camera_; }
  const Camera& camera() const { return camera_; }
  // The camera's line rate; "sbr" changes it once its "OK" is on the wire.
  int baud() const { return link_.baud(); }

  // The link opens at now: pending output is dropped and the boot message goes out. A camera
  // still booting sends its start-up text on the new link.
  void open(Clock::time_point now);

  // The PC sends bytes at now with its port at pcBaud. At another rate than the camera's the
  // camera sees only line noise and answers nothing. Each command's answer starts when the CR
  // that ends it has arrived.
  void write(std::string_view bytes, int pcBaud, Clock::time_point now);

  size_t available(Clock::time_point now);
  std::string read(Clock::time_point now, size_t max);
  // When the next byte may arrive (nothing if none is on its way).
  std::optional<Clock::time_point> nextArrival(Clock::time_point now);
  void discardArrived(Clock::time_point now);

  // True once the camera has dropped the link and its last answer has left the wire; bytes
  // already at the PC can still be read.
  bool linkDown(Clock::time_point now) const;

  void setFaults(const Faults& faults) { camera_.setFaults(faults); }

private:
  // Puts the start-up text on the wire once its time has come.
  void releaseStartup(Clock::time_point now);

  Camera camera_;
  PacedLink link_;
  std::optional<Clock::time_point> closesAt_;
  // The start-up text waits here until the camera has booted, so that answers to commands
  // that come in the meantime are not held back behind it.
  std::string startupText_;
  Clock::time_point startupDue_;
  // When the last byte the PC sent reaches the camera: a frame still unfinished well after
  // that lost bytes on the way and is dropped.
  Clock::time_point inputEnds_;
};

} // namespace sim
