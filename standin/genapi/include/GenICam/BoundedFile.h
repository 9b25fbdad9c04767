// Reading a whole file that may come from anyone (a camera description, a feature file, the
// options file): only a regular file, at most a given number of bytes, never blocking.
#pragma once

#include <cstddef>
#include <string>

namespace GenICam {

// Largest camera description read from a file: real ones are a few MiB at most.
inline constexpr std::size_t kMaxDescriptionBytes = std::size_t{64} << 20;
// Largest feature file or options file.
inline constexpr std::size_t kMaxFeatureFileBytes = std::size_t{16} << 20;
inline constexpr std::size_t kMaxOptionsFileBytes = std::size_t{64} << 10;

// Reads the file into `bytes`. Gives "" on success, otherwise why not ("… is not a regular
// file", "… is larger than … bytes", the system's reason); `bytes` is then left untouched.
std::string readBoundedFile(const std::string& path, std::size_t maxBytes, std::string& bytes);

} // namespace GenICam
