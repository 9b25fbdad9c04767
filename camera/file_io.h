// Reading and writing the program's small files: a read bounded before a byte is taken, a
// write that replaces a file whole or not at all, and the line and word helpers their formats
// share.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelpax {

enum class FileError {
  None,
  Missing,    // no such file
  NotRegular, // a folder, device, FIFO or socket: never read
  TooLarge,   // more than the caller's limit, found before or while reading
  Io,         // refused by the system (permissions, disk full, ...)
};

// The outcome of a file operation; `detail` names the file and the reason.
struct FileStatus {
  FileError error = FileError::None;
  std::string detail;

  bool ok() const { return error == FileError::None; }
  explicit operator bool() const { return ok(); }
};

// Reads the whole regular file at `path` into `bytes`, refusing files larger than `maxSize`
// before reading them (and files that grow past it while read). `bytes` is empty on failure.
FileStatus readFileBounded(const std::string& path, std::size_t maxSize, std::string& bytes);

// Writes `bytes` to a new file beside `path`, flushes it and renames it over `path`, so a
// reader sees the old file or the new one, never a part. The new file gets `mode` when given,
// else the mode of the file it replaces, else 0666 under the umask. A failure leaves the old
// file as it was and no temporary file behind.
FileStatus writeFileAtomically(const std::string& path, std::string_view bytes,
                               std::optional<unsigned> mode = std::nullopt);

// The lines of a text. A line ends at LF, at CR LF (or CR CR LF, as text-mode writers end
// lines), or at CR alone (files from systems that end lines that way); the line ends are not
// part of the lines. A last line without a line end counts; an empty text has no lines.
std::vector<std::string_view> splitLines(std::string_view text);

// `text` without leading and trailing blanks, tabs, CR and LF.
std::string_view trimBlanks(std::string_view text);

// ASCII lower case; other bytes stay as they are.
std::string lowerCase(std::string_view text);

// Whether `text` holds `part`, ignoring ASCII case.
bool containsIgnoringCase(std::string_view text, std::string_view part);

} // namespace kelpax
