// The running program's folder, beside which dumps and model lists are kept.
#include "camera/program_folder.h"

#include <filesystem>
#include <system_error>

namespace kelpax {

std::string programFolder() {
  std::error_code error;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.parent_path().string();
}

} // namespace kelpax
