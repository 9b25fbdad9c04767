// The program's one camera session.
#include "session/camera_session.h"

#include <filesystem>

#include "camera/program_folder.h"

namespace kelpax {
namespace {

std::string currentFolder() {
  std::error_code ec;
  return std::filesystem::current_path(ec).string();
}

} // namespace

CameraSession::CameraSession(Options options)
    : workingFolder_(options.workingFolder.empty() ? currentFolder() : options.workingFolder),
      settings_(workingFolder_),
      modelList_(options.deviceModelListPath.empty() ? deviceModelListPath()
                                                     : options.deviceModelListPath) {
  camera_.setBinaryTransfer(&transfer_);
  if (!options.libraryFolders.empty())
    scanner_.setLibraryFolders(std::move(options.libraryFolders));
  if (options.comPortLister)
    scanner_.setComPortLister(std::move(options.comPortLister));
}

void CameraSession::prepareForModel(const std::string& modelName, StatusLine* statusLine) {
  modelName_ = modelName;
  connected_ = false;
  camera_.identify(modelName, statusLine);
  // The models that write their setting files themselves get their handler with their pages;
  // until then the generic writer serves them.
  controlFile_.reset();
}

CacheFill CameraSession::fillCache(const std::function<void(int percent)>& progress,
                                   const std::function<void()>& onFailures) {
  return camera_.fillCache(progress, onFailures);
}

std::string CameraSession::portName() const {
  const int index = port_.currentIndex();
  return index >= 0 && index < port_.portCount() ? port_.ports()[size_t(index)].portName
                                                 : std::string();
}

void CameraSession::closePort() {
  connected_ = false;
  port_.ClosePort();
}

bool CameraSession::sameModelOnPort() {
  return camera_.askModelName() == modelName_;
}

bool CameraSession::readLock() {
  const std::string lock = settings_.ReadPortSetting("LOCK");
  if (lock.empty())
    settings_.WritePortSetting("LOCK", "OFF");
  return lock.rfind("ON", 0) == 0;
}

bool CameraSession::factoryKeyPresent() const {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::path(workingFolder_) / kFactoryKeyFile, ec);
}

SettingSaveResult CameraSession::saveSettingFile(const std::string& chosen) {
  return kelpax::saveSettingFile(chosen, camera_.parameterCache(), camera_.modelDescriptor(),
                                 controlFile_.get());
}

SettingLoadResult CameraSession::loadSettingFile(const std::string& path,
                                                 SettingLoadOptions options) {
  options.handler = controlFile_.get();
  SettingLoadResult result = kelpax::loadSettingFile(path, camera_, options);
  // A file that was read and replayed leaves the camera connected.
  if (result.opened)
    connected_ = true;
  return result;
}

void CameraSession::setTransferFlags(bool ackMode, bool blockMode) {
  exchange_.setBinaryAckMode(ackMode);
  exchange_.setBinaryBlockMode(blockMode);
}

} // namespace kelpax
