// Serves a simulated camera on the master side of a pseudo-terminal.
#include "sim/pty_camera.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include "sim/camera_session.h"
#include "sim/tty_rate.h"

namespace sim {
namespace {

std::string systemError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

bool fail(std::string* error, std::string text) {
  if (error)
    *error = std::move(text);
  return false;
}

} // namespace

PtyCamera::PtyCamera(PtyOptions options) : options_(std::move(options)) {
  lineRate_ = options_.baud;
}

PtyCamera::~PtyCamera() {
  stop();
}

bool PtyCamera::start(std::string* error) {
  if (thread_.joinable() || masterFd_ >= 0)
    return fail(error, "camera already started");
  if (options_.linkPath.empty())
    return fail(error, "no link path given");

  if (openpty(&masterFd_, &slaveFd_, nullptr, nullptr, nullptr) != 0)
    return fail(error, systemError("cannot open a pseudo-terminal"));
  char name[PATH_MAX];
  if (ttyname_r(slaveFd_, name, sizeof name) != 0) {
    std::string text = systemError("cannot name the pseudo-terminal");
    closeTerminal();
    return fail(error, text);
  }
  slavePath_ = name;

  // Raw bytes both ways, at the camera's rate until the PC sets its own.
  struct termios tio {};
  tcgetattr(slaveFd_, &tio);
  cfmakeraw(&tio);
  tcsetattr(slaveFd_, TCSANOW, &tio);
  setTtyBaud(slaveFd_, options_.baud);
  fcntl(masterFd_, F_SETFL, fcntl(masterFd_, F_GETFL) | O_NONBLOCK);
  fcntl(masterFd_, F_SETFD, FD_CLOEXEC);
  fcntl(slaveFd_, F_SETFD, FD_CLOEXEC);

  // A link left by an earlier run is replaced; anything else at that path is not ours.
  std::error_code ec;
  auto status = std::filesystem::symlink_status(options_.linkPath, ec);
  if (std::filesystem::exists(status) && !std::filesystem::is_symlink(status)) {
    closeTerminal();
    return fail(error, options_.linkPath + " exists and is not a link");
  }
  std::filesystem::remove(options_.linkPath, ec);
  if (symlink(slavePath_.c_str(), options_.linkPath.c_str()) != 0) {
    std::string text = systemError("cannot create " + options_.linkPath);
    closeTerminal();
    return fail(error, text);
  }

  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) {
    std::string text = systemError("cannot create an event descriptor");
    closeTerminal();
    return fail(error, text);
  }
  stopping_ = false;
  linkDropped_ = false;
  thread_ = std::thread([this] { serve(); });
  return true;
}

void PtyCamera::stop() {
  if (thread_.joinable()) {
    stopping_ = true;
    wake();
    thread_.join();
  }
  closeTerminal();
  if (wakeFd_ >= 0) {
    close(wakeFd_);
    wakeFd_ = -1;
  }
}

void PtyCamera::setFaults(const Faults& faults) {
  {
    std::lock_guard lock(faultsMutex_);
    pendingFaults_ = faults;
    hasPendingFaults_ = true;
  }
  wake();
}

void PtyCamera::wake() {
  if (wakeFd_ >= 0) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
  }
}

void PtyCamera::closeTerminal() {
  if (masterFd_ >= 0) {
    close(masterFd_);
    masterFd_ = -1;
  }
  if (slaveFd_ >= 0) {
    close(slaveFd_);
    slaveFd_ = -1;
  }
  // Remove the link only while it still leads to our terminal.
  std::error_code ec;
  if (!slavePath_.empty() && std::filesystem::is_symlink(options_.linkPath, ec) &&
      std::filesystem::read_symlink(options_.linkPath, ec) == slavePath_)
    std::filesystem::remove(options_.linkPath, ec);
}

namespace {
constexpr auto kWakeMargin = std::chrono::microseconds(60);
} // namespace

void PtyCamera::serve() {
  using Clock = CameraSession::Clock;
  // A byte lasts 87 us at 115200 baud; the default 50 us timer slack would blur the wire.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  CameraSession session(options_.model, options_.baud, options_.pacing);
  session.camera().setClock([this] {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count() +
           clockOffset_.load();
  });
  session.setFaults(options_.faults);
  session.open(Clock::now());

  std::string toPc; // arrived at the PC's end but not yet taken by the terminal
  std::optional<Clock::time_point> dropSince; // when the camera's last answer was out
  char buffer[4096];
  while (!stopping_) {
    Clock::time_point now = Clock::now();
    toPc += session.read(now, toPc.max_size() - toPc.size());
    while (!toPc.empty()) {
      ssize_t n = write(masterFd_, toPc.data(), toPc.size());
      if (n > 0) {
        toPc.erase(0, static_cast<size_t>(n));
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        break; // the terminal is full; wait for POLLOUT
      }
    }
    struct timespec timeout {};
    struct timespec* timeoutPtr = nullptr;
    if (session.linkDown(now) && toPc.empty()) {
      // The camera dropped the link. Closing the master discards what the PC has not read
      // yet, so the last answer is given up to a second to be read first; then the PC's
      // reads and writes fail. The kernel moves bytes written to the master into the slave a
      // moment later, so an empty slave counts only after a short settling time.
      if (!dropSince)
        dropSince = now;
      int unread = 0;
      bool settled = now - *dropSince >= std::chrono::milliseconds(20);
      if (ioctl(slaveFd_, FIONREAD, &unread) != 0 || (settled && unread == 0) ||
          now - *dropSince >= std::chrono::seconds(1)) {
        closeTerminal();
        linkDropped_ = true;
        return;
      }
      timeout.tv_nsec = 5'000'000;
      timeoutPtr = &timeout;
    } else if (auto next = session.nextArrival(now)) {
      // Sleep until shortly before the next byte is due, then keep checking: waking a
      // sleeping thread takes tens of microseconds, most of a byte's time at 115200 baud.
      auto wait = std::max(*next - now - kWakeMargin, Clock::duration::zero());
      auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
      timeout.tv_sec = static_cast<time_t>(nanos / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(nanos % 1'000'000'000);
      timeoutPtr = &timeout;
    }
    struct pollfd fds[2] = {
        {masterFd_, static_cast<short>(POLLIN | (toPc.empty() ? 0 : POLLOUT)), 0},
        {wakeFd_, POLLIN, 0},
    };
    if (ppoll(fds, 2, timeoutPtr, nullptr) < 0) {
      if (errno == EINTR)
        continue;
      return;
    }
    if (fds[1].revents & POLLIN) {
      uint64_t count = 0;
      [[maybe_unused]] ssize_t n = read(wakeFd_, &count, sizeof count);
    }
    // Before the input: faults set before the PC wrote apply to what it wrote.
    {
      std::lock_guard lock(faultsMutex_);
      if (hasPendingFaults_) {
        session.setFaults(pendingFaults_);
        hasPendingFaults_ = false;
      }
    }
    if (fds[0].revents & POLLIN) {
      ssize_t n = read(masterFd_, buffer, sizeof buffer);
      if (n > 0) {
        // The rate is read per chunk, so a PC that changes its port's rate is noticed at once.
        session.write(std::string_view(buffer, static_cast<size_t>(n)), ttyBaud(masterFd_),
                      Clock::now());
        commandsReceived_ = session.camera().commandsReceived();
        privileged_ = session.camera().privileged();
        lineRate_ = session.baud();
      }
    } else if (fds[0].revents & (POLLERR | POLLNVAL | POLLHUP)) {
      return; // cannot happen while slaveFd_ is open; do not spin if it does
    }
  }
}

} // namespace sim
