// Joins a simulated camera to its paced link.
#include "sim/camera_session.h"

#include <algorithm>

namespace sim {

CameraSession::CameraSession(std::string model, int baud, bool pacing)
    : camera_(std::move(model)), link_(baud, pacing) {}

void CameraSession::open(Clock::time_point now) {
  link_.clear();
  closesAt_.reset();
  link_.sendToPc(camera_.openLink(), now);
}

void CameraSession::write(std::string_view bytes, int pcBaud, Clock::time_point now) {
  if (bytes.empty() || pcBaud != link_.baud() || camera_.linkClosed())
    return;
  Clock::time_point start = link_.sendToCamera(bytes.size(), now);
  auto slow = std::chrono::milliseconds(camera_.faults().slowAnswerMs);
  for (Reply& reply : camera_.feed(bytes)) {
    Clock::time_point lineArrived = start + link_.wireTime(reply.lineEnd);
    Clock::time_point end = link_.sendToPc(std::move(reply.echo), lineArrived);
    end = std::max(end, link_.sendToPc(std::move(reply.answer), lineArrived + slow));
    if (reply.closesLink)
      closesAt_ = end;
  }
}

bool CameraSession::linkDown(Clock::time_point now) const {
  return camera_.linkClosed() && closesAt_ && now >= *closesAt_;
}

} // namespace sim
