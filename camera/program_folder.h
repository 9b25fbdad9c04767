// Where the running program lives: the folder of /proc/self/exe.
#pragma once

#include <string>

namespace kelpax {

// Empty when the program's path cannot be read.
std::string programFolder();

} // namespace kelpax
