// Joins a simulated camera to its paced link.
#include "sim/camera_session.h"

#include <algorithm>

namespace sim {

CameraSession::CameraSession(std::string model, int baud, bool pacing)
    : camera_(std::move(model)), link_(baud, pacing) {}

void CameraSession::open(Clock::time_point now) {
  releaseStartup(now);
  link_.clear();
  closesAt_.reset();
  link_.sendToPc(camera_.openLink(), now);
}

void CameraSession::releaseStartup(Clock::time_point now) {
  if (startupText_.empty() || now < startupDue_)
    return;
  if (!camera_.linkClosed())
    link_.sendToPc(std::move(startupText_), startupDue_);
  startupText_.clear();
}

void CameraSession::write(std::string_view bytes, int pcBaud, Clock::time_point now) {
  releaseStartup(now);
  if (bytes.empty() || pcBaud != link_.baud() || camera_.linkClosed())
    return;
  if (camera_.inFrame() && now > inputEnds_ + kFrameGap)
    camera_.abandonPartialFrame();
  Clock::time_point start = link_.sendToCamera(bytes.size(), now);
  inputEnds_ = start + link_.wireTime(bytes.size());
  auto slow = std::chrono::milliseconds(camera_.faults().slowAnswerMs);
  for (Reply& reply : camera_.feed(bytes)) {
    Clock::time_point lineArrived = start + link_.wireTime(reply.lineEnd);
    releaseStartup(lineArrived);
    Clock::time_point echoed = link_.sendToPc(std::move(reply.echo), lineArrived);
    Clock::time_point end =
        std::max(echoed, link_.sendToPc(std::move(reply.answer), lineArrived + slow));
    if (!reply.delayed.empty())
      end = link_.sendToPc(std::move(reply.delayed),
                           lineArrived + slow + std::chrono::milliseconds(reply.delayedMs));
    if (!reply.startup.empty()) {
      startupText_ = std::move(reply.startup);
      startupDue_ = std::max(lineArrived, echoed) + kStartupTextDelay;
    }
    if (reply.closesLink)
      closesAt_ = end;
    // The "OK" goes out at the old rate; everything after it at the new one.
    if (reply.newBaud > 0)
      link_.setBaud(reply.newBaud);
  }
}

size_t CameraSession::available(Clock::time_point now) {
  releaseStartup(now);
  return link_.available(now);
}

std::string CameraSession::read(Clock::time_point now, size_t max) {
  releaseStartup(now);
  return link_.take(now, max);
}

std::optional<CameraSession::Clock::time_point> CameraSession::nextArrival(Clock::time_point now) {
  releaseStartup(now);
  std::optional<Clock::time_point> next = link_.nextArrival(now);
  if (!startupText_.empty() && !camera_.linkClosed() && (!next || startupDue_ < *next))
    next = startupDue_;
  return next;
}

void CameraSession::discardArrived(Clock::time_point now) {
  releaseStartup(now);
  link_.discardArrived(now);
}

bool CameraSession::linkDown(Clock::time_point now) const {
  return camera_.linkClosed() && closesAt_ && now >= *closesAt_;
}

} // namespace sim
