// The one whole-file reader of the browser and the node-map layer.
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "GenICam/BoundedFile.h"

namespace GenICam {

std::string readBoundedFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
  // O_NONBLOCK: opening a FIFO nobody writes to must not wait.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0)
    return "cannot open " + path + ": " + std::strerror(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    std::string why = "cannot read " + path + ": " + std::strerror(errno);
    ::close(fd);
    return why;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return path + " is not a regular file";
  }
  if (st.st_size < 0 || std::size_t(st.st_size) > maxBytes) {
    ::close(fd);
    return path + " is larger than " + std::to_string(maxBytes) + " bytes";
  }
  std::string text;
  text.resize(std::size_t(st.st_size));
  std::size_t done = 0;
  // The file may grow while it is read: one byte more than the limit is never taken.
  for (;;) {
    if (done == text.size()) {
      if (text.size() > maxBytes)
        break;
      text.resize(std::min(maxBytes + 1, text.size() + 65536));
    }
    ssize_t n = ::read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      std::string why = "cannot read " + path + ": " + std::strerror(errno);
      ::close(fd);
      return why;
    }
    if (n == 0)
      break;
    done += std::size_t(n);
  }
  ::close(fd);
  if (done > maxBytes)
    return path + " is larger than " + std::to_string(maxBytes) + " bytes";
  text.resize(done);
  bytes = std::move(text);
  return {};
}

} // namespace GenICam
