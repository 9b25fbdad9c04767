// FileProtocolAdapter: the standard file-access sequence over the node map's file features.
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "GenICam/FileProtocolAdapter.h"

namespace GenICam {

using namespace GenApi;

namespace {

template <class T> T* need(INodeMap* map, const char* name) {
  auto* p = dynamic_cast<T*>(map->GetNode(name));
  if (!p)
    throw AccessException(std::string("The camera has no usable feature '") + name + "'");
  return p;
}

// Runs one operation of the adapter. A failure the camera or its port reports (a node-map
// exception or a transport layer's own error code) gives `failed`, its reason in `lastError`.
template <class Result, class Operation>
Result reportFailure(std::string& lastError, Result failed, Operation operation) {
  try {
    return operation();
  } catch (const GenericException& e) {
    lastError = e.GetDescription();
  } catch (int code) {
    lastError = "Transport layer error code " + std::to_string(code);
  }
  return failed;
}

// Checks the arguments of one Read or Write and returns the camera's file buffer, whose length
// is the most one operation moves.
IRegister* transferBuffer(INodeMap* map, const void* buffer, int64_t offset, int64_t length,
                          int64_t& piece) {
  if (!buffer || length < 0 || offset < 0)
    throw InvalidArgumentException("Invalid buffer, offset or length");
  IRegister* data =
      need<IRegister>(map ? map : throw AccessException("Not attached"), "FileAccessBuffer");
  piece = data->GetLength();
  if (piece <= 0)
    throw AccessException("The camera's file buffer is empty");
  return data;
}

// Where in the file the next Read or Write starts and how many bytes it moves.
void placeAccess(INodeMap* map, int64_t offset, int64_t length) {
  need<IInteger>(map, "FileAccessOffset")->SetValue(offset);
  need<IInteger>(map, "FileAccessLength")->SetValue(length);
}

} // namespace

bool FileProtocolAdapter::attach(INodeMap* nodeMap) {
  map_ = nullptr;
  if (!nodeMap) {
    lastError_ = "No node map";
    return false;
  }
  bool complete = reportFailure(lastError_, false, [&] {
    need<IEnumeration>(nodeMap, "FileSelector");
    need<IEnumeration>(nodeMap, "FileOperationSelector");
    need<IEnumeration>(nodeMap, "FileOpenMode");
    need<ICommand>(nodeMap, "FileOperationExecute");
    need<IInteger>(nodeMap, "FileAccessOffset");
    need<IInteger>(nodeMap, "FileAccessLength");
    need<IRegister>(nodeMap, "FileAccessBuffer");
    need<IEnumeration>(nodeMap, "FileOperationStatus");
    need<IInteger>(nodeMap, "FileOperationResult");
    return true;
  });
  if (complete)
    map_ = nodeMap;
  return complete;
}

bool FileProtocolAdapter::select(const char* fileName, const char* operation) {
  if (!map_)
    throw AccessException("The file adapter is not attached to a node map");
  if (!fileName)
    throw InvalidArgumentException("No file name");
  need<IEnumeration>(map_, "FileSelector")->FromString(fileName);
  need<IEnumeration>(map_, "FileOperationSelector")->FromString(operation);
  return true;
}

bool FileProtocolAdapter::executeAndWait() {
  ICommand* execute = need<ICommand>(map_, "FileOperationExecute");
  execute->Execute();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
  while (!execute->IsDone()) {
    if (std::chrono::steady_clock::now() > deadline)
      throw TimeoutException("The file operation did not finish within " +
                             std::to_string(timeoutMs_) + " ms");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return statusOk();
}

bool FileProtocolAdapter::statusOk() {
  std::string status = need<IEnumeration>(map_, "FileOperationStatus")->ToString();
  if (status == "Success")
    return true;
  lastError_ = "The camera reports the file operation as " + status;
  return false;
}

bool FileProtocolAdapter::openFile(const char* fileName, std::ios_base::openmode mode) {
  return reportFailure(lastError_, false, [&] {
    select(fileName, "Open");
    bool in = (mode & std::ios_base::in) != 0, out = (mode & std::ios_base::out) != 0;
    need<IEnumeration>(map_, "FileOpenMode")
        ->FromString(in && out ? "ReadWrite"
                     : out     ? "Write"
                               : "Read");
    return executeAndWait();
  });
}

bool FileProtocolAdapter::closeFile(const char* fileName) {
  return reportFailure(lastError_, false, [&] {
    select(fileName, "Close");
    return executeAndWait();
  });
}

bool FileProtocolAdapter::deleteFile(const char* fileName) {
  return reportFailure(lastError_, false, [&] {
    select(fileName, "Delete");
    return executeAndWait();
  });
}

int64_t FileProtocolAdapter::getBufSize(const char*, std::ios_base::openmode) {
  if (!map_)
    return -1;
  return reportFailure<int64_t>(
      lastError_, -1, [&] { return need<IRegister>(map_, "FileAccessBuffer")->GetLength(); });
}

int64_t FileProtocolAdapter::getFileSize(const char* fileName) {
  return reportFailure<int64_t>(lastError_, -1, [&] {
    if (!map_ || !fileName)
      throw AccessException("The file adapter is not attached to a node map");
    need<IEnumeration>(map_, "FileSelector")->FromString(fileName);
    return need<IInteger>(map_, "FileSize")->GetValue();
  });
}

std::streamsize FileProtocolAdapter::write(const char* buffer, int64_t offset, int64_t length,
                                           const char* fileName) {
  return reportFailure<std::streamsize>(lastError_, -1, [&]() -> std::streamsize {
    int64_t piece = 0;
    IRegister* data = transferBuffer(map_, buffer, offset, length, piece);
    int64_t done = 0;
    while (done < length) {
      int64_t n = std::min(piece, length - done);
      select(fileName, "Write");
      placeAccess(map_, offset + done, n);
      data->Set(reinterpret_cast<const uint8_t*>(buffer + done), n);
      if (!executeAndWait())
        return -1;
      int64_t written = need<IInteger>(map_, "FileOperationResult")->GetValue();
      if (written <= 0 || written > n)
        throw AccessException("The camera wrote " + std::to_string(written) + " of " +
                              std::to_string(n) + " bytes");
      done += written;
    }
    return std::streamsize(done);
  });
}

std::streamsize FileProtocolAdapter::read(char* buffer, int64_t offset, std::streamsize length,
                                          const char* fileName) {
  return reportFailure<std::streamsize>(lastError_, -1, [&]() -> std::streamsize {
    int64_t piece = 0;
    IRegister* data = transferBuffer(map_, buffer, offset, length, piece);
    std::vector<uint8_t> chunk(static_cast<size_t>(piece));
    int64_t done = 0;
    while (done < length) {
      int64_t n = std::min<int64_t>(piece, length - done);
      select(fileName, "Read");
      placeAccess(map_, offset + done, n);
      if (!executeAndWait())
        return -1;
      int64_t got = need<IInteger>(map_, "FileOperationResult")->GetValue();
      if (got < 0 || got > n)
        throw AccessException("The camera reports " + std::to_string(got) + " bytes read of " +
                              std::to_string(n));
      if (got == 0)
        break;
      data->Get(chunk.data(), got);
      std::copy_n(chunk.begin(), got, buffer + done);
      done += got;
      if (got < n)
        break;
    }
    return std::streamsize(done);
  });
}

} // namespace GenICam
