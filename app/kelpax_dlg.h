// The main window: menu, tab strip, status line and every settings page, over the camera
// session the port dialog connects. It stays hidden until the first camera is connected.
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

#include "app/get_port_dlg.h"
#include "app/page_area.h"
#include "app/startup_checks.h"
#include "app/window_event_pump.h"
#include "camera/model_catalog.h"
#include "session/camera_session.h"
#include "transfer/firmware_image.h"

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
class CBayerGain;
class CKo_Kosetting;
class CKo_ViewSetting;
class SettingsPage;
class CAboutDlg;
class CDlgNewKelpax;
class CTransferView;
class CStitchCorrDlg;
class CFSDlg;
class CSettingMultiRoi;

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
  kIdMultiRoi = 32830,
  kIdTemperatureButton = 32800,
  kIdCancelButton = 32808,
};

inline constexpr int kLinkTimerMs = 1000;
inline constexpr uint32_t kTerminalCommandTimeoutMs = 300000;

// Chooses files for the setting-file menus; tests substitute it. An empty result is Cancel.
struct FileChooser {
  std::function<std::string(const QString& filter)> saveFile;
  std::function<std::string(const QString& filter)> openFile;
};

class CKelpaxDlg : public QDialog, public PortDialogOwner, public AnswerHandler {
  Q_OBJECT

public:
  struct Options {
    // Not owned; the program's message boxes when null.
    MessageBoxSink* messageBox = nullptr;
    QuitHook* quitHook = nullptr;
    CToolTips* toolTips = nullptr;
    FileChooser fileChooser;
    // Pauses of "sleep" lines in setting files; a real pause when empty.
    std::function<void(int ms)> sleeper;
    // Transfer beeps (frequency, duration); the desktop's bell when empty.
    std::function<void(int hz, int ms)> beeper;
  };

  // The window shows `session`, which outlives it.
  CKelpaxDlg(CameraSession& session, Options options, QWidget* parent = nullptr);
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

  // The port window, which the program shows first.
  CGetPortDlg& portDialog() { return *portDlg_; }
  // The GenICam window; null until a GenICam camera was opened.
  CDlgNewKelpax* genicamWindow() const { return dlgNewKelpax_.get(); }

  // --- menu commands by identifier, and the window's own actions
  void runMenuCommand(int id);
  QAction* action(int id) const;
  void refreshAllPages();
  // File → Exit and Cancel: refused while a binary transfer runs.
  bool closeDialog();

  // The page shown for `id` (null while it was never needed), and the pages visible now in
  // the order shown.
  QWidget* page(PageId id) const { return pageArea_->page(id); }
  std::vector<PageId> visiblePages() const { return pageArea_->shownPages(); }
  // The factory tuning dialog, made hidden with the pages.
  CFSDlg* factoryDialog() const { return fsDlg_; }
  bool tuningMode() const { return tuningMode_; }
  bool tuningPageShown() const { return tuningPage_; }
  // Whether the camera acquires, as far as the window knows: set by Acquisition -> Start and
  // Stop and by the camera's answer when the Ko/Ki 101M page is first shown.
  bool acquisitionRunning() const { return acquisitionRunning_; }

Q_SIGNALS:
  void connectedChanged(bool connected);

public:
  // The window may show only once a camera has been connected.
  void setVisible(bool visible) override;

protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  // Menus (kelpax_dlg_menus.cpp).
  void buildMenus();
  QAction* addItem(QMenu* menu, const QString& text, int id, const QString& prompt = {});
  void applyLock();
  void checkStartupItem(int space);

  void buildStatusBar();
  void registerToolTips();
  void wireTerminal();
  void buildFactoryDialog();
  void onTabChanged(int index);
  void showTabPage();
  // The Ko/Ki 101M page shown for the first time since the tabs were rebuilt.
  void initialiseAcquisitionPage();
  void onLinkTimer();
  void toolRefresh();
  void showMultiRoi();
  // The Ko image pages, which open the region table and show the pointer over it.
  std::vector<CKo_ViewSetting*> koViewPages() const;
  void showTemperature();
  void showCameraInfo();
  void changePort();
  void toggleTerminal();
  void showTuningPage();
  void loadSettingSpace(int space);
  void chooseStartupSpace(int space);
  void toggleHighSpeed();
  void saveSettingFile();
  void loadSettingFile();
  void notAvailable(const QString& what);
  // Binary transfers (kelpax_dlg_transfers.cpp).
  std::string chooseOpenFile(std::string_view filter);
  // The look-up table pages transfer through the window's engine and tell the view pages of a
  // new table choice.
  void connectLutPages();
  void connectFfcPages();
  void defectDownload();
  void defectUpload();
  void firmwareUpgrade(FirmwareKind kind);
  void showStagePage();
  void showMessage(const std::string& caption, const std::string& text, MessageIcon icon);
  // Status part 1 and the progress bar.
  void showProgress(int percent);
  void hideProgress();

  CameraSession& session_;
  Options options_;
  std::unique_ptr<MessageBoxSink> ownMessageBox_;

  WindowEventPump pump_;
  std::unique_ptr<CGetPortDlg> portDlg_;
  // The GenICam window, made for the first GenICam open and kept for the run.
  std::unique_ptr<CDlgNewKelpax> dlgNewKelpax_;
  std::unique_ptr<TerminalRelay> relay_;

  QMenuBar* menuBar_ = nullptr;
  std::map<int, QAction*> actions_;
  std::vector<QMenu*> lockedMenus_;
  QTabBar* tabs_ = nullptr;
  CPageArea* pageArea_ = nullptr;
  CTerminal* terminal_ = nullptr;
  CBayerGain* bayerGain_ = nullptr;    // the colour calibration dialog, made when first asked for
  CKo_Kosetting* koFactory_ = nullptr; // the Ko tuning page, made when first asked for
  CMyStatusBar* statusBar_ = nullptr;
  QProgressBar* progress_ = nullptr;
  CMyButton* temperatureButton_ = nullptr;
  CMyButton* cancelButton_ = nullptr;
  CAboutDlg* about_ = nullptr;
  std::unique_ptr<CTransferView> transferView_;
  CStitchCorrDlg* stitch_ = nullptr; // made when the terminal first asks for it
  CFSDlg* fsDlg_ = nullptr;
  CSettingMultiRoi* multiRoi_ = nullptr; // made when Tool -> Multi-ROI first opens it
  QTimer* linkTimer_ = nullptr;

  int currentTab_ = 0;
  int heightWithoutTerminal_ = 0;
  bool ka47mSelectorFfc_ = false;
  // A scan owns the channel: from the first scan until a camera has been read.
  bool portScan_ = true;
  bool tuningMode_ = false;
  bool tuningPage_ = false;
  bool mayShow_ = false;
  bool initialReadRunning_ = false;
  bool locked_ = false;
  bool acquisitionRunning_ = true;
};

} // namespace kelpax
