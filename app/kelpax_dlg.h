// The main window: menu, tab strip, status line and every settings page, over the one serial
// camera the port dialog connects. It stays hidden until the first camera is connected.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "session/connected_camera.h"
#include "camera/model_catalog.h"
#include "session/setting_file.h"
#include "app/startup_checks.h"
#include "app/window_event_pump.h"
#include "link/command_exchange.h"
#include "app/get_port_dlg.h"

class QAction;
class QMenu;
class QMenuBar;
class QTabBar;
class QToolButton;
class CToolTips;

namespace kelpax {

class CMyButton;
class CMyStatusBar;
class CTerminal;
class SettingsPage;
class CAboutDlg;

// Menu command identifiers of the main window.
enum MenuId : int {
  kIdLoadFromFile = 32792,
  kIdLoadFactory = 32780,
  kIdLoadUser1 = 32781,
  kIdLoadUser2 = 32782,
  kIdSaveToFile = 32784,
  kIdSaveFactory = 32785,
  kIdSaveUser1 = 32786,
  kIdSaveUser2 = 32787,
  kIdDefectDownload = 32803,
  kIdDefectUpload = 32802,
  kIdUpgradeMcu = 32806,
  kIdUpgradeFpga = 32807,
  kIdUpgradePackage = 32823,
  kIdExit = 32791,
  kIdStartupFactory = 32793,
  kIdStartupUser1 = 32788,
  kIdStartupUser2 = 32789,
  kIdRefresh = 32797,
  kIdTerminal = 32773,
  kIdColorCalibration = 32814,
  kIdFactorySetting = 32774,
  kIdHighSpeed = 32810,
  kIdAcquisitionStart = 32824,
  kIdAcquisitionStop = 32825,
  kIdCameraInfo = 32776,
  kIdTopMost = 32809,
  kIdAboutInfo = 16,
  kIdChangePort = 32771,
  kIdStagePage = 32815,
  kIdTemperatureButton = 32800,
  kIdCancelButton = 32808,
};

inline constexpr int kLinkTimerMs = 1000;
inline constexpr uint32_t kSettingSpaceTimeoutMs = 9000;
inline constexpr uint32_t kStartupSpaceTimeoutMs = 3000;
inline constexpr uint32_t kHighSpeedTimeoutMs = 6000;
inline constexpr char kFactoryKeyFile[] = "kxfactory.key";

// Chooses files for the setting-file menus; tests substitute it. An empty result is Cancel.
struct FileChooser {
  std::function<std::string(const std::string& filter)> saveFile;
  std::function<std::string(const std::string& filter)> openFile;
};

class CKelpaxDlg : public QDialog, public PortDialogOwner, public AnswerHandler {
  Q_OBJECT

public:
  struct Options {
    // The working folder (portlist.ini, kxfactory.key); the current folder when empty.
    std::string workingFolder;
    // Not owned; the program's message boxes when null.
    MessageBoxSink* messageBox = nullptr;
    QuitHook* quitHook = nullptr;
    CToolTips* toolTips = nullptr;
    FileChooser fileChooser;
    // Pauses of "sleep" lines in setting files; a real pause when empty.
    std::function<void(int ms)> sleeper;
    // Folders searched for Camera Link serial libraries; the standard ones when empty.
    std::vector<std::string> libraryFolders;
    // PC serial ports the system lists; libserialport's when empty.
    std::function<std::vector<std::string>()> comPortLister;
    // DeviceModelList.ini; beside the program when empty.
    std::string deviceModelListPath;
  };

  explicit CKelpaxDlg(Options options, QWidget* parent = nullptr);
  ~CKelpaxDlg() override;

  // Initialisation steps: menus, status line, pages, tool tips, the LOCK entry. The port
  // dialog shows itself and scans 100 ms later.
  void initDialog();

  // --- connection, called by the port dialog
  QWidget* ownerWindow() override { return this; }
  void prepareForModel(const std::string& modelName, const PortEntry& slot) override;
  bool InitialRead() override;
  void closeRequested() override { closeDialog(); }
  int openGenICam(const PortEntry& slot) override;
  void quitProgram(int exitCode) override;
  MessageBoxSink& messageBox() override;
  void scanStateChanged(bool scanning) override;

  // --- answers from the command channel: the terminal sees them (unless a scan, a transfer or
  // factory tuning owns the channel)
  void answerReceived(const std::string& received) override;

  // --- actions (menu handlers)
  void runMenuCommand(int id);
  void refreshAllPages();
  void toolRefresh();
  void showTemperature();
  void showCameraInfo();
  void changePort();
  void toggleTerminal();
  void showTuningPage();
  // File → Exit and Cancel: refused while a binary transfer runs.
  bool closeDialog();
  // Shows the page of the remembered tab (after a tab change or a tab rebuild).
  void showTabPage();

  // --- state for the pages and for tests
  CGetPortDlg& portDialog() { return *portDlg_; }
  CommandExchange& exchange() { return portDlg_->exchange(); }
  ConnectedCamera& camera() { return *camera_; }
  CMyStatusBar* statusBar() const { return statusBar_; }
  QProgressBar* progressBar() const { return progress_; }
  CTerminal* terminal() const { return terminal_; }
  QTabBar* tabBar() const { return tabs_; }
  QAction* action(int id) const;
  QWidget* page(PageId id) const;
  // The pages visible now, in the order shown.
  std::vector<PageId> visiblePages() const;
  CAboutDlg* aboutDialog() const { return about_; }
  CMyButton* temperatureButton() const { return temperatureButton_; }
  CMyButton* cancelButton() const { return cancelButton_; }
  WindowEventPump& eventPump() { return pump_; }
  const QString& temperatureText() const { return temperatureText_; }

  bool connected() const { return connected_; }
  bool portScanFlag() const { return portScan_; }
  bool tuningMode() const { return tuningMode_; }
  bool terminalShown() const { return terminalShown_; }
  bool acquisitionRunning() const { return acquisitionRunning_; }
  bool mayShow() const { return mayShow_; }
  int currentTab() const { return currentTab_; }
  const std::string& connectedModelName() const { return modelName_; }
  const std::string& workingFolder() const { return workingFolder_; }
  QTimer& linkTimer() { return linkTimer_; }

  // The model's setting-file handler (null: the generic writer).
  void setControlFile(std::unique_ptr<CControlFile> handler) { controlFile_ = std::move(handler); }

  // Binary transfers set these (the transfer code arrives with its own windows).
  void setTransferFlags(bool ackMode, bool blockMode);

Q_SIGNALS:
  void connectedChanged(bool connected);

public:
  // The window may show only once a camera has been connected.
  void setVisible(bool visible) override;

protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void buildMenus();
  void buildStatusBar();
  void buildPages();
  void registerToolTips();
  void applyLock();
  void onTabChanged(int index);
  void onLinkTimer();
  void placePages();
  void loadSettingSpace(int space);
  void saveSettingSpace(int space);
  void chooseStartupSpace(int space);
  void toggleHighSpeed();
  void acquisition(bool start);
  void saveSettingFile();
  void loadSettingFile();
  void notAvailable(const QString& what);
  void showMessage(const std::string& caption, const std::string& text, MessageIcon icon);
  void checkStartupItem(int space);
  int cachedStartupSpace() const;
  // Status part 1 and the progress bar.
  void showProgress(int percent);
  QAction* addItem(QMenu* menu, const QString& text, int id, const QString& prompt = {});
  // The generic pages the main window sets from the cache itself.
  std::vector<SettingsPage*> genericPages() const;
  std::string portName() const;

  Options options_;
  std::string workingFolder_;
  std::unique_ptr<MessageBoxSink> ownMessageBox_;

  WindowEventPump pump_;
  std::unique_ptr<CGetPortDlg> portDlg_;
  std::unique_ptr<ConnectedCamera> camera_;
  std::unique_ptr<TerminalRelay> relay_;
  std::unique_ptr<CControlFile> controlFile_;

  QMenuBar* menuBar_ = nullptr;
  QToolButton* windowMenuButton_ = nullptr;
  std::map<int, QAction*> actions_;
  std::vector<QMenu*> lockedMenus_;
  QTabBar* tabs_ = nullptr;
  QWidget* pageArea_ = nullptr;
  std::map<PageId, QWidget*> pages_;
  std::vector<PageId> shown_;
  CTerminal* terminal_ = nullptr;
  CMyStatusBar* statusBar_ = nullptr;
  QProgressBar* progress_ = nullptr;
  CMyButton* temperatureButton_ = nullptr;
  CMyButton* cancelButton_ = nullptr;
  CAboutDlg* about_ = nullptr;
  QTimer linkTimer_;
  QString temperatureText_;

  std::string modelName_;
  int currentTab_ = 0;
  int heightWithoutTerminal_ = 0;
  bool ka47mSelectorFfc_ = false;
  bool portScan_ = true;
  bool tuningMode_ = false;
  bool terminalShown_ = false;
  bool connected_ = false;
  bool acquisitionRunning_ = true;
  bool mayShow_ = false;
  bool initialReadRunning_ = false;
  bool everRead_ = false;
  bool locked_ = false;
};

} // namespace kelpax
