// Reads and writes files on the camera through the standard file-access features.
#pragma once

#include <cstdint>
#include <ios>

#include "GenApi/NodeMapRef.h"

namespace GenICam {

// The standard sequence over FileSelector, FileOperationSelector, FileOpenMode,
// FileOperationExecute, FileAccessOffset, FileAccessLength, FileAccessBuffer,
// FileOperationStatus, FileOperationResult and FileSize. Each operation selects the file,
// selects the operation, executes it, waits until FileOperationExecute reports done (at most
// the time-out), and checks FileOperationStatus. Failures return false or -1; the reason is
// in lastError(). Nothing throws.
class FileProtocolAdapter {
public:
  FileProtocolAdapter() = default;
  // False when the node map lacks one of the features.
  bool attach(GenApi::INodeMap* nodeMap);
  bool openFile(const char* fileName, std::ios_base::openmode mode);
  bool closeFile(const char* fileName);
  // Writes `length` bytes at `offset`, in pieces of the buffer size; the count written or -1.
  std::streamsize write(const char* buffer, int64_t offset, int64_t length, const char* fileName);
  // Reads up to `length` bytes from `offset`; the count read (0 at the end) or -1.
  std::streamsize read(char* buffer, int64_t offset, std::streamsize length, const char* fileName);
  // Bytes one Read or Write moves: the length of FileAccessBuffer; -1 when not attached.
  int64_t getBufSize(const char* fileName, std::ios_base::openmode mode);
  bool deleteFile(const char* fileName);
  // FileSize of the file, -1 when it cannot be read.
  int64_t getFileSize(const char* fileName);

  const std::string& lastError() const { return lastError_; }
  // How long one operation may take before it counts as failed (default 10000 ms).
  void setTimeoutMs(int64_t ms) { timeoutMs_ = ms; }

private:
  bool select(const char* fileName, const char* operation);
  bool executeAndWait();
  bool statusOk();

  GenApi::INodeMap* map_ = nullptr;
  std::string lastError_;
  int64_t timeoutMs_ = 10000;
};

} // namespace GenICam
