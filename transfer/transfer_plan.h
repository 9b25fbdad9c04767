// What one binary transfer needs besides the bytes: the command pair, the time-outs and,
// for an upload, the parameter and the most the caller will take. The data kinds build
// these; the transfer engine carries them out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelpax {

inline constexpr uint32_t kBlockTimeoutMs = 10000;

// PC to camera: the payload in blocks under `blockCommand`, then the closing frame with the
// total size under `finalCommand` (none when it is 0).
struct DownloadPlan {
  std::vector<uint8_t> payload;
  uint16_t blockCommand = 0;
  uint16_t finalCommand = 0;
  uint32_t blockTimeoutMs = kBlockTimeoutMs;
  uint32_t finalTimeoutMs = 0;
};

// Camera to PC: the request frame carries `parameter`; a camera announcing more than
// `capacity` bytes is refused before any block is read.
struct UploadPlan {
  uint16_t requestCommand = 0;
  uint16_t blockReadCommand = 0;
  uint32_t parameter = 0;
  uint32_t firstTimeoutMs = 0;
  size_t capacity = 0;
};

} // namespace kelpax
