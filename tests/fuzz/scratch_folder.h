// A folder of its own for a fuzz target that works on files, removed when the process ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace fuzz {

inline const std::string& scratchFolder() {
  // Never destroyed: the clean-up at exit runs after static objects are gone.
  static const std::string* const folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelpax-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      std::abort();
    auto* made = new std::string(pattern);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(scratchFolder(), ec);
    });
    return made;
  }();
  return *folder;
}

} // namespace fuzz
