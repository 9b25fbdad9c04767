// The program's resident memory as the kernel counts it, for the benchmarks and the soak.
#pragma once

#include <fstream>
#include <string>

namespace kelpax::probe {

// VmRSS of /proc/self/status in KiB; 0 when it cannot be read.
inline long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long kib = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> kib;
      break;
    }
    status.ignore(1 << 12, '\n');
  }
  return kib;
}

inline double residentMiB() {
  return double(residentKiB()) / 1024.0;
}

} // namespace kelpax::probe
