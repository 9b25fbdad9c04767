// PC serial ports through termios2, so any rate (56000 among them) can be set exactly.
// libserialport lists the ports; it refuses to open pseudo-terminals and symbolic links
// (it looks each port up in sysfs), which are how simulated cameras appear, so the
// opening and the byte traffic live here.
#include "link/com_device.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kelpax {

ComDevice::~ComDevice() {
  close();
}

void ComDevice::noteError(int err) {
  // strerror_r: a port scan opens ports on several threads at once.
  char text[128];
  lastError_ = ::strerror_r(err, text, sizeof text);
}

ComDevice::OpenError ComDevice::open(const std::string& path, int rate) {
  close();
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    noteError(errno);
    return OpenError::Open;
  }
  // No sharing: a second open of the same port by anyone but root fails.
  ::ioctl(fd, TIOCEXCL);

  struct termios2 tio {};
  if (::ioctl(fd, TCGETS2, &tio) != 0) {
    noteError(errno);
    ::close(fd);
    return OpenError::Configure;
  }
  tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB | CSTOPB);
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | CS8 | CREAD | CLOCAL;
  tio.c_ispeed = static_cast<speed_t>(rate);
  tio.c_ospeed = static_cast<speed_t>(rate);
  // Bytes pass untouched, as on a port without a line discipline. Software flow control
  // goes too: XON/XOFF bytes occur inside binary frames. Hardware flow control stays
  // as the driver reported it.
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::ioctl(fd, TCSETS2, &tio) != 0) {
    noteError(errno);
    ::close(fd);
    return OpenError::Configure;
  }
  fd_ = fd;
  lastError_ = "The operation completed successfully.";
  return OpenError::None;
}

void ComDevice::close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

long ComDevice::readQueued(char* buffer, size_t max) {
  if (fd_ < 0) {
    return -1;
  }
  for (;;) {
    ssize_t n = ::read(fd_, buffer, max);
    if (n > 0) {
      return n;
    }
    if (n == 0) {
      // A hung-up terminal reads as end of file.
      struct pollfd p {
        fd_, POLLIN, 0
      };
      if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        noteError(EIO);
        return -1;
      }
      return 0;
    }
    if (errno == EINTR) {
      continue;
    }
    if (errno == EAGAIN) {
      return 0;
    }
    noteError(errno);
    return -1;
  }
}

bool ComDevice::waitReadable(int timeoutMs) {
  if (fd_ < 0) {
    return false;
  }
  struct pollfd p {
    fd_, POLLIN, 0
  };
  int r;
  do {
    r = ::poll(&p, 1, timeoutMs);
  } while (r < 0 && errno == EINTR);
  return r > 0;
}

bool ComDevice::write(const char* data, size_t count, int timeoutMs, size_t& written) {
  written = 0;
  if (fd_ < 0) {
    noteError(EBADF);
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (written < count) {
    ssize_t n = ::write(fd_, data + written, count - written);
    if (n > 0) {
      written += size_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && errno != EAGAIN) {
      noteError(errno);
      return false;
    }
    // Output queue full: wait for room until the write time-out.
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) {
      break; // Time-out: the call succeeds with what went out.
    }
    struct pollfd p {
      fd_, POLLOUT, 0
    };
    if (::poll(&p, 1, int(left)) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
      noteError(EIO);
      return false;
    }
  }
  lastError_ = "The operation completed successfully.";
  return true;
}

} // namespace kelpax
