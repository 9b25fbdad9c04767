// The program's one camera session: the port, its command exchange, the port preferences and
// model list of the working folder, the port scan, and the connected camera with its cache.
// The windows and the command line borrow it; transfers and the GenICam open plug into it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/camera_port.h"
#include "link/command_exchange.h"
#include "link/model_list.h"
#include "link/port_scan.h"
#include "link/port_settings.h"
#include "session/connected_camera.h"
#include "session/setting_file.h"
#include "transfer/binary_transfer.h"

namespace kelpax {

inline constexpr char kFactoryKeyFile[] = "kxfactory.key";

class CameraSession {
public:
  struct Options {
    // portlist.ini and kxfactory.key live here; the current folder when empty.
    std::string workingFolder;
    // DeviceModelList.ini; beside the program when empty.
    std::string deviceModelListPath;
    // Folders searched for Camera Link serial libraries; the standard ones when empty.
    std::vector<std::string> libraryFolders;
    // PC serial ports the system lists; libserialport's when empty.
    std::function<std::vector<std::string>()> comPortLister;
  };

  explicit CameraSession(Options options = {});
  CameraSession(const CameraSession&) = delete;
  CameraSession& operator=(const CameraSession&) = delete;

  CameraPort& port() { return port_; }
  const CameraPort& port() const { return port_; }
  CommandExchange& exchange() { return exchange_; }
  const CommandExchange& exchange() const { return exchange_; }
  PortSettings& settings() { return settings_; }
  DeviceModelList& modelList() { return modelList_; }
  PortScanner& scanner() { return scanner_; }
  ConnectedCamera& camera() { return camera_; }
  const ConnectedCamera& camera() const { return camera_; }
  const std::string& workingFolder() const { return workingFolder_; }

  // --- connection
  // Identifies the model on the opened port and registers its values; the session is not
  // connected until its cache has been filled.
  void prepareForModel(const std::string& modelName, StatusLine* statusLine);
  // Reads every registered value; see ConnectedCamera::fillCache.
  CacheFill fillCache(const std::function<void(int percent)>& progress,
                      const std::function<void()>& onFailures);
  void setConnected(bool on) { connected_ = on; }
  bool connected() const { return connected_; }
  const std::string& modelName() const { return modelName_; }
  // Link icon: the port is open and a camera connected.
  bool linkUp() const { return port_.isOpen() && connected_; }
  // The name of the port in use, empty when none is.
  std::string portName() const;
  // Closes the port; the session is no longer connected.
  void closePort();
  // Text the camera sent that no one asked for is dropped.
  void discardReceived() { port_.receiveBuffer().clear(); }
  // Whether the camera on the port still reports the connected model.
  bool sameModelOnPort();

  // --- the working folder
  // The LOCK entry of portlist.ini ("ON..." locks the menus); an absent entry is written "OFF".
  bool readLock();
  // kxfactory.key in the working folder opens the factory tools.
  bool factoryKeyPresent() const;

  // --- setting files, through the model's handler when it has one
  void setControlFile(std::unique_ptr<CControlFile> handler) { controlFile_ = std::move(handler); }
  bool hasControlFile() const { return controlFile_ != nullptr; }
  CControlFile* controlFile() const { return controlFile_.get(); }
  SettingSaveResult saveSettingFile(const std::string& chosen);
  SettingLoadResult loadSettingFile(const std::string& path, SettingLoadOptions options = {});

  // --- binary transfers
  bool transferRunning() const { return exchange_.transferRunning(); }
  // Downloads and uploads on the session's channel; the window or the command line shows them.
  BinaryTransfer& transfer() { return transfer_; }
  void setTransferFlags(bool ackMode, bool blockMode);

private:
  std::string workingFolder_;
  CameraPort port_;
  CommandExchange exchange_{port_};
  PortSettings settings_;
  DeviceModelList modelList_;
  PortScanner scanner_{exchange_, settings_};
  ConnectedCamera camera_{exchange_};
  BinaryTransfer transfer_{exchange_};
  std::unique_ptr<CControlFile> controlFile_;
  std::string modelName_;
  bool connected_ = false;
};

} // namespace kelpax
