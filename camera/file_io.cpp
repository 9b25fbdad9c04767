// Bounded reads, whole-file replacement, and the text helpers of the program's files.
#include "camera/file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelpax {
namespace {

FileStatus failure(FileError error, const std::string& path, const std::string& why) {
  return {error, path + ": " + why};
}

FileStatus systemFailure(const std::string& path, int error) {
  return failure(error == ENOENT ? FileError::Missing : FileError::Io, path, std::strerror(error));
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// A new file beside `path` that no one else uses; -1 with errno set on failure.
int createSibling(const std::string& path, std::string& created) {
  static std::atomic<unsigned> serial{0};
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    created = folder + "." + name + "." + std::to_string(::getpid()) + "." +
              std::to_string(serial++) + ".tmp";
    const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST)
      return fd;
  }
  errno = EEXIST;
  return -1;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

FileStatus readFileBounded(const std::string& path, std::size_t maxSize, std::string& bytes) {
  bytes.clear();
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below anyway.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return systemFailure(path, errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    return systemFailure(path, error);
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return failure(FileError::NotRegular, path, "not a regular file");
  }
  if (static_cast<uintmax_t>(info.st_size) > maxSize) {
    ::close(fd);
    return failure(FileError::TooLarge, path,
                   std::to_string(info.st_size) + " bytes, more than " + std::to_string(maxSize));
  }
  bytes.reserve(static_cast<size_t>(info.st_size));
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      const int error = errno;
      ::close(fd);
      bytes.clear();
      return systemFailure(path, error);
    }
    if (n == 0)
      break;
    // The file may grow while it is read.
    if (bytes.size() + static_cast<size_t>(n) > maxSize) {
      ::close(fd);
      bytes.clear();
      return failure(FileError::TooLarge, path, "grew past " + std::to_string(maxSize) + " bytes");
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return {};
}

FileStatus writeFileAtomically(const std::string& path, std::string_view bytes,
                               std::optional<unsigned> mode) {
  if (path.empty() || path.back() == '/')
    return failure(FileError::Io, path, "no file name");
  std::string temporary;
  const int fd = createSibling(path, temporary);
  if (fd < 0)
    return systemFailure(path, errno);
  bool ok = true;
  if (mode) {
    ok = ::fchmod(fd, mode_t(*mode)) == 0;
  } else {
    // A file replaced keeps its permissions.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode))
      ::fchmod(fd, old.st_mode & 07777);
  }
  ok = ok && writeAll(fd, bytes) && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return failure(FileError::Io, path, std::strerror(error));
  }
  return {};
}

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  size_t at = 0;
  while (at < text.size()) {
    const char c = text[at];
    if (c != '\n' && c != '\r') {
      ++at;
      continue;
    }
    lines.push_back(text.substr(start, at - start));
    // A run of CRs with or without an LF after it is one line end.
    size_t next = at;
    while (next < text.size() && text[next] == '\r')
      ++next;
    if (next < text.size() && text[next] == '\n')
      ++next;
    start = at = next;
  }
  if (start < text.size())
    lines.push_back(text.substr(start));
  return lines;
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), lowerAscii);
  return lower;
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
  return lowerCase(text).find(lowerCase(part)) != std::string::npos;
}

} // namespace kelpax
