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

} // namespace

bool FileProtocolAdapter::attach(INodeMap* nodeMap) {
  map_ = nullptr;
  if (!nodeMap) {
    lastError_ = "No node map";
    return false;
  }
  try {
    need<IEnumeration>(nodeMap, "FileSelector");
    need<IEnumeration>(nodeMap, "FileOperationSelector");
    need<IEnumeration>(nodeMap, "FileOpenMode");
    need<ICommand>(nodeMap, "FileOperationExecute");
    need<IInteger>(nodeMap, "FileAccessOffset");
    need<IInteger>(nodeMap, "FileAccessLength");
    need<IRegister>(nodeMap, "FileAccessBuffer");
    need<IEnumeration>(nodeMap, "FileOperationStatus");
    need<IInteger>(nodeMap, "FileOperationResult");
  } catch (const GenericException& e) {
    lastError_ = e.GetDescription();
    return false;
  } catch (int code) {
    // A transport layer's own error code from the port.
    lastError_ = "Transport layer error code " + std::to_string(code);
    return false;
  }
  map_ = nodeMap;
  return true;
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
  try {
    select(fileName, "Open");
    bool in = (mode & std::ios_base::in) != 0, out = (mode & std::ios_base::out) != 0;
    need<IEnumeration>(map_, "FileOpenMode")
        ->FromString(in && out ? "ReadWrite"
                     : out     ? "Write"
                               : "Read");
    return executeAndWait();
  } catch (const GenericException& e) {
    lastError_ = e.GetDescription();
    return false;
  } catch (int code) {
    // A transport layer's own error code from the port.
    lastError_ = "Transport layer error code " + std::to_string(code);
    return false;
  }
}

bool FileProtocolAdapter::closeFile(const char* fileName) {
  try {
    select(fileName, "Close");
    return executeAndWait();
  } catch (const GenericException& e) {
    lastError_ = e.GetDescription();
    return false;
  } catch (int code) {
    // A transport layer's own error code from the port.
    lastError_ = "Transport layer error code " + std::to_string(code);
    return false;
  }
}

bool FileProtocolAdapter::deleteFile(const char* fileName) {
  try {
    select(fileName, "Delete");
    return executeAndWait();
  } catch (const GenericException& e) {
    lastError_ = e.GetDescription();
    return false;
  } catch (int code) {
    // A transport layer's own error code from the port.
    lastError_ = "Transport layer error code " + std::to_string(code);
    return false;
  }
}

int64_t FileProtocolAdapter::getBufSize(const char*, std::ios_base::openmode) {
  if (!map_)
    return -1;
  try {
    return need<IRegister>(map_, "FileAccessBuffer")->GetLength();
  } catch (const GenericException& e) {
    lastError_ = e.GetDescription();
    return -1;
  } catch (int code) {
    // A transport layer's own error code from the port.
    lastError_ = "Transport layer error code " + std::to_string(code);
    return -1;
  }
}

int64_t FileProtocolAdapter::getFileSize(const char* fileName) {
  try {
    if (!map_ || !fileName)
      throw AccessException("The file adapter is not attached to a node map");
    need<IEnumeration>(map_, "FileSelector")->FromString(fileName);
    return need<IInteger>(map_, "FileSize")->GetValue();
  } catch (const GenericException& e) {
    lastError_ = e.GetDescription();
    return -1;
  } catch (int code) {
    // A transport layer's own error code from the port.
    lastError_ = "Transport layer error code " + std::to_string(code);
    return -1;
  }
}

std::streamsize FileProtocolAdapter::write(const char* buffer, int64_t offset, int64_t length,
                                           const char* fileName) {
  try {
    if (!buffer || length < 0 || offset < 0)
      throw InvalidArgumentException("Invalid buffer, offset or length");
    IRegister* data =
        need<IRegister>(map_ ? map_ : throw AccessException("Not attached"), "FileAccessBuffer");
    const int64_t piece = data->GetLength();
    if (piece <= 0)
      throw AccessException("The camera's file buffer is empty");
    int64_t done = 0;
    while (done < length) {
      int64_t n = std::min(piece, length - done);
      select(fileName, "Write");
      need<IInteger>(map_, "FileAccessOffset")->SetValue(offset + done);
      need<IInteger>(map_, "FileAccessLength")->SetValue(n);
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
  } catch (const GenericException& e) {
    lastError_ = e.GetDescription();
    return -1;
  } catch (int code) {
    // A transport layer's own error code from the port.
    lastError_ = "Transport layer error code " + std::to_string(code);
    return -1;
  }
}

std::streamsize FileProtocolAdapter::read(char* buffer, int64_t offset, std::streamsize length,
                                          const char* fileName) {
  try {
    if (!buffer || length < 0 || offset < 0)
      throw InvalidArgumentException("Invalid buffer, offset or length");
    IRegister* data =
        need<IRegister>(map_ ? map_ : throw AccessException("Not attached"), "FileAccessBuffer");
    const int64_t piece = data->GetLength();
    if (piece <= 0)
      throw AccessException("The camera's file buffer is empty");
    std::vector<uint8_t> chunk(static_cast<size_t>(piece));
    int64_t done = 0;
    while (done < length) {
      int64_t n = std::min<int64_t>(piece, length - done);
      select(fileName, "Read");
      need<IInteger>(map_, "FileAccessOffset")->SetValue(offset + done);
      need<IInteger>(map_, "FileAccessLength")->SetValue(n);
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
  } catch (const GenericException& e) {
    lastError_ = e.GetDescription();
    return -1;
  } catch (int code) {
    // A transport layer's own error code from the port.
    lastError_ = "Transport layer error code " + std::to_string(code);
    return -1;
  }
}

} // namespace GenICam
