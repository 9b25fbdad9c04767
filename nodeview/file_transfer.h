// Moving files between the PC and the camera through the camera's file-access features.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "GenApi/GenApi.h"

namespace nodeview {

// Largest camera file read into memory; a larger size announced by the camera is refused.
inline constexpr std::uint64_t kMaxDeviceFileBytes = std::uint64_t{64} << 20;

enum class DeviceFileMode : std::uint32_t { Read = 0, Write = 1, Delete = 2 };

struct DeviceFileRequest {
  std::string localPath;
  std::string deviceFile; // an entry name of "FileSelector"
  std::uint32_t mode = 0; // DeviceFileMode
};

// Result codes of a transfer.
enum DeviceFileResult : int {
  kFileSuccess = 8192,
  kFileNoNodeMap = 8193,
  kFileInvalidRequest = 8194,
  kFilePrepareFailed = 8195,  // the local file or the camera's file stream could not be set up
  kFileOpenFailed = 8196,     // the camera refused to open its file
  kFileTransferFailed = 8197, // reading, writing or deleting on the camera failed
  kFileLocalWriteFailed = 8200,
  kFileNothingToRead = 8201,
};

const char* deviceFileResultText(int code);

// Runs one request to its end on the calling thread. `progress` (may be empty) hears the bytes
// moved so far and the total.
int runDeviceFileTransfer(GenApi::CNodeMapRef* nodeMap, const DeviceFileRequest& request,
                          const std::function<void(std::int64_t, std::int64_t)>& progress = {});

// The available entries of "FileSelector" and the current one.
std::vector<std::string> deviceFileNames(GenApi::CNodeMapRef* nodeMap, std::string* current);

} // namespace nodeview
