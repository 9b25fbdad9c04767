// The --trace view: every byte crossing the port, time-stamped, hex where not printable.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "link/camera_port.h"

namespace kelpax {

// Printable characters as they are, everything else as <0D>-style hex.
std::string printableBytes(std::string_view bytes);
// An answer for the terminal: line ends kept as real line breaks, other controls in hex.
std::string printableAnswer(std::string_view answer);

class TraceWriter : public TrafficObserver {
public:
  explicit TraceWriter(FILE* out);
  void bytesSent(std::string_view bytes) override;
  void bytesReceived(std::string_view bytes) override;

private:
  void line(const char* direction, std::string_view bytes);
  FILE* out_;
  std::chrono::steady_clock::time_point start_;
};

} // namespace kelpax
