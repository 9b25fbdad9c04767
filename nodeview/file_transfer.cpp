// Device file transfer over the file-access features.
#include "nodeview/file_transfer.h"

#include <algorithm>

#include "nodeview/feature_file.h"
#include "nodeview/nodeview_log.h"

namespace nodeview {
namespace {

using namespace GenApi;

// Closes a file the camera may still hold open from an earlier, broken transfer.
void closeOpenFile(CNodeMapRef* nodeMap, const std::string& deviceFile) {
  CEnumerationPtr operation = nodeMap->_GetNode("FileOperationSelector");
  CCommandPtr execute = nodeMap->_GetNode("FileOperationExecute");
  if (!operation || !execute) {
    return;
  }
  IEnumEntry* close = operation->GetEntryByName("Close");
  if (!close || !IsAvailable(close->GetNode())) {
    return;
  }
  CEnumerationPtr selector = nodeMap->_GetNode("FileSelector");
  if (selector) {
    if (IEnumEntry* file = selector->GetEntryByName(deviceFile)) {
      selector->SetIntValue(file->GetValue(), true);
    }
  }
  operation->SetIntValue(close->GetValue(), true);
  execute->Execute(true);
}

} // namespace

const char* deviceFileResultText(int code) {
  switch (code) {
  case kFileSuccess:
    return "Done";
  case kFileNoNodeMap:
    return "No camera features";
  case kFileInvalidRequest:
    return "Invalid request";
  case kFilePrepareFailed:
    return "Could not prepare the transfer";
  case kFileOpenFailed:
    return "The camera did not open its file";
  case kFileTransferFailed:
    return "The transfer failed";
  case kFileLocalWriteFailed:
    return "Could not write the file on the PC";
  case kFileNothingToRead:
    return "The camera's file is empty";
  default:
    return "Unknown result";
  }
}

int runDeviceFileTransfer(CNodeMapRef* nodeMap, const DeviceFileRequest& request,
                          const std::function<void(std::int64_t, std::int64_t)>& progress) {
  if (request.localPath.empty() || request.deviceFile.empty() || request.mode >= 3) {
    return kFileInvalidRequest;
  }
  if (!nodeMap || !nodeMap->_IsLoaded()) {
    return kFileNoNodeMap;
  }
  const char* name = request.deviceFile.c_str();
  auto mode = DeviceFileMode(request.mode);
  std::string local;
  if (mode == DeviceFileMode::Write && !readWholeFile(request.localPath, local).empty()) {
    return kFilePrepareFailed;
  }
  try {
    closeOpenFile(nodeMap, request.deviceFile);
  } catch (const GenICam::GenericException& e) {
    debugLinef("%s\n", e.GetDescription());
  } catch (int code) {
    debugLinef("%s\n", gcErrorLine(code).c_str());
  }
  GenICam::FileProtocolAdapter adapter;
  if (!adapter.attach(nodeMap->_Ptr)) {
    return kFilePrepareFailed;
  }
  auto report = [&progress](std::int64_t done, std::int64_t total) {
    if (progress) {
      progress(done, total);
    }
  };
  switch (mode) {
  case DeviceFileMode::Read: {
    std::int64_t size = adapter.getFileSize(name);
    if (size <= 0) {
      return kFileNothingToRead;
    }
    // The size is the camera's word: no buffer is made for more than a camera file can hold.
    if (std::uint64_t(size) > kMaxDeviceFileBytes) {
      NODEVIEW_LOG(kLogError, "%s: the camera announces %lld bytes, more than %llu", name,
                   static_cast<long long>(size),
                   static_cast<unsigned long long>(kMaxDeviceFileBytes));
      return kFilePrepareFailed;
    }
    if (!adapter.openFile(name, std::ios::in)) {
      return kFileOpenFailed;
    }
    std::string data(std::size_t(size), '\0');
    std::int64_t done = 0;
    while (done < size) {
      std::streamsize n = adapter.read(data.data() + done, done, size - done, name);
      if (n <= 0) {
        break;
      }
      done += n;
      report(done, size);
    }
    adapter.closeFile(name);
    if (done != size) {
      NODEVIEW_LOG(kLogError, "%s: %s", name, adapter.lastError().c_str());
      return kFileTransferFailed;
    }
    return writeFileReplacing(request.localPath, data).empty() ? kFileSuccess
                                                               : kFileLocalWriteFailed;
  }
  case DeviceFileMode::Write: {
    if (!adapter.openFile(name, std::ios::out)) {
      return kFileOpenFailed;
    }
    std::int64_t total = std::int64_t(local.size());
    std::int64_t chunk = std::max<std::int64_t>(1, adapter.getBufSize(name, std::ios::out));
    std::int64_t done = 0;
    while (done < total) {
      std::int64_t piece = std::min(chunk, total - done);
      std::streamsize n = adapter.write(local.data() + done, done, piece, name);
      if (n <= 0) {
        break;
      }
      done += n;
      report(done, total);
    }
    bool closed = adapter.closeFile(name);
    if (done != total || !closed) {
      NODEVIEW_LOG(kLogError, "%s: %s", name, adapter.lastError().c_str());
      return kFileTransferFailed;
    }
    return kFileSuccess;
  }
  case DeviceFileMode::Delete:
    if (!adapter.deleteFile(name)) {
      NODEVIEW_LOG(kLogError, "%s: %s", name, adapter.lastError().c_str());
      return kFileTransferFailed;
    }
    report(1, 1);
    return kFileSuccess;
  }
  return kFileInvalidRequest;
}

std::vector<std::string> deviceFileNames(CNodeMapRef* nodeMap, std::string* current) {
  std::vector<std::string> names;
  if (!nodeMap || !nodeMap->_IsLoaded()) {
    return names;
  }
  try {
    CEnumerationPtr selector = nodeMap->_GetNode("FileSelector");
    if (!selector) {
      return names;
    }
    StringList_t symbolics;
    selector->GetSymbolics(symbolics);
    names.assign(symbolics.begin(), symbolics.end());
    if (current && IsReadable(selector->GetNode())) {
      *current = selector->ToString();
    }
  } catch (const GenICam::GenericException& e) {
    debugLinef("%s\n", e.GetDescription());
  } catch (int code) {
    debugLinef("%s\n", gcErrorLine(code).c_str());
  }
  return names;
}

} // namespace nodeview
