// The main window.
#include "app/kelpax_dlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/about_dlg.h"
#include "app/tool_tips.h"
#include "app/version.h"
#include "camera/debug_output.h"
#include "camera/program_folder.h"
#include "app/terminal_dlg.h"
#include "pages/afe_page.h"
#include "pages/control_widgets.h"
#include "app/menu_tip_widget.h"
#include "pages/settings_page.h"
#include "app/status_bar_widget.h"
#include "pages/trigger_page.h"
#include "pages/view_page.h"

namespace kelpax {
namespace {

constexpr char kTitle[] = "Quorvane - ";
constexpr char kSettingFilter[] = "Camera Setting Data(*.csf)|*.csf||";
constexpr int kPagesTop = 35;

QString latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Icons 144 and 145: the link to the camera is up, or it is not.
QIcon linkIcon(bool up) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(40, 40, 40), 1));
  painter.setBrush(up ? QColor(0x2e, 0xb8, 0x4b) : QColor(0xc8, 0x32, 0x32));
  painter.drawEllipse(QRectF(2, 2, 12, 12));
  return QIcon(pixmap);
}

// Message boxes of the running program.
class WindowMessageBox : public MessageBoxSink {
public:
  explicit WindowMessageBox(QWidget* owner) : owner_(owner) {}
  void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) override {
    QMessageBox::Icon qtIcon = icon == MessageIcon::Error     ? QMessageBox::Critical
                               : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                              : QMessageBox::Information;
    QMessageBox box(qtIcon, QString::fromUtf8(caption.data(), qsizetype(caption.size())),
                    QString::fromUtf8(text.data(), qsizetype(text.size())), QMessageBox::Ok,
                    owner_);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
  }

private:
  QWidget* owner_;
};

// Turns the Windows filter form "Text(*.csf)|*.csf||" into Qt's "Text (*.csf)".
QString qtFilter(const std::string& filter) {
  const std::string shown = filter.substr(0, filter.find('|'));
  return latin1(shown);
}

} // namespace

// A tab whose page arrives with a later release: a one-line note instead of the page.
class CPendingPage : public QLabel {
public:
  CPendingPage(PageId id, QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("pendingPage"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setText(QStringLiteral("%1 is not part of this version of Kelpax yet.")
                .arg(latin1(std::string(pageClassName(id)))));
  }
};

CKelpaxDlg::CKelpaxDlg(Options options, QWidget* parent)
    : QDialog(parent), options_(std::move(options)) {
  workingFolder_ = options_.workingFolder;
  if (workingFolder_.empty()) {
    std::error_code ec;
    workingFolder_ = std::filesystem::current_path(ec).string();
  }
  std::string listPath = options_.deviceModelListPath;
  if (listPath.empty())
    listPath = deviceModelListPath();
  ownMessageBox_ = std::make_unique<WindowMessageBox>(this);
  setObjectName(QStringLiteral("CKelpaxDlg"));

  portDlg_ = std::make_unique<CGetPortDlg>(*this, workingFolder_, listPath, this);
  if (!options_.libraryFolders.empty())
    portDlg_->scanner().setLibraryFolders(options_.libraryFolders);
  if (options_.comPortLister)
    portDlg_->scanner().setComPortLister(options_.comPortLister);
  camera_ = std::make_unique<ConnectedCamera>(portDlg_->exchange());

  linkTimer_.setInterval(kLinkTimerMs);
  connect(&linkTimer_, &QTimer::timeout, this, &CKelpaxDlg::onLinkTimer);
}

CKelpaxDlg::~CKelpaxDlg() {
  linkTimer_.stop();
  CommandExchange& channel = portDlg_->exchange();
  channel.setStatusLine(nullptr);
  channel.setAnswerHandler(nullptr);
  channel.setEventPump(nullptr);
  // The pages refer to the camera: they go before it.
  for (auto& [id, widget] : pages_)
    delete widget;
  pages_.clear();
  camera_.reset();
}

MessageBoxSink& CKelpaxDlg::messageBox() {
  return options_.messageBox ? *options_.messageBox : *ownMessageBox_;
}

void CKelpaxDlg::showMessage(const std::string& caption, const std::string& text,
                             MessageIcon icon) {
  messageBox().showMessage(caption, text, icon);
}

QAction* CKelpaxDlg::addItem(QMenu* menu, const QString& text, int id, const QString& prompt) {
  QAction* action = menu->addAction(text);
  action->setData(id);
  if (!prompt.isEmpty())
    action->setStatusTip(prompt);
  connect(action, &QAction::triggered, this, [this, id] { runMenuCommand(id); });
  actions_[id] = action;
  return action;
}

QAction* CKelpaxDlg::action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CKelpaxDlg::initDialog() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  buildMenus();
  layout->setMenuBar(menuBar_);

  tabs_ = new QTabBar(this);
  tabs_->setObjectName(QStringLiteral("tabs"));
  tabs_->setExpanding(false);
  connect(tabs_, &QTabBar::currentChanged, this, &CKelpaxDlg::onTabChanged);
  layout->addWidget(tabs_);

  pageArea_ = new QWidget(this);
  pageArea_->setObjectName(QStringLiteral("pageArea"));
  pageArea_->installEventFilter(this);
  layout->addWidget(pageArea_, 1);

  terminal_ = new CTerminal(this);
  terminal_->hide();
  layout->addWidget(terminal_);

  buildStatusBar();
  layout->addWidget(statusBar_);

  // 1. The window menu ("Top most", "&About Info...") stands in for the system menu.
  setWindowIcon(linkIcon(true));
  // 2. Title, status line, progress bar, the ">" and Cancel buttons.
  setWindowTitle(QString::fromLatin1(kTitle));
  // 3. Every page, hidden; the version everywhere it is shown.
  buildPages();
  const QString version = QString::fromLatin1(kVersionText);
  statusBar_->setPartText(3, version);
  about_ = new CAboutDlg(this);
  about_->setVersionText(version);
  // 4. Tool tips.
  registerToolTips();
  // 5. The LOCK entry of portlist.ini.
  applyLock();
  // 6. Acquisition stays grey until a page that drives it enables it.
  action(kIdAcquisitionStart)->setEnabled(false);
  action(kIdAcquisitionStop)->setEnabled(false);

  CommandExchange& channel = portDlg_->exchange();
  channel.setStatusLine(statusBar_);
  channel.setAnswerHandler(this);
  channel.setEventPump(&pump_);
  pump_.setCancelButton(cancelButton_);
  relay_ = std::make_unique<TerminalRelay>(channel, *terminal_);
  relay_->setScanning(portScan_);

  terminal_->setCommandSender(
      [this](const std::string& command) { return exchange().SendCommand(command, 300000, true); });
  terminal_->setModelNameSource([this] { return modelName_; });
  connect(terminal_, &CTerminal::pagesRereadRequested, this, [this] {
    if (InitialRead())
      return;
    refreshAllPages();
  });
  connect(terminal_, &CTerminal::tuningModeRequested, this, [this] {
    tuningMode_ = true;
    relay_->setTuningMode(true);
    if (QAction* factory = action(kIdSaveFactory))
      factory->setEnabled(true);
    runMenuCommand(kIdFactorySetting);
  });
  connect(terminal_, &CTerminal::factoryModeRequested, this,
          [this] { runMenuCommand(kIdFactorySetting); });
  connect(terminal_, &CTerminal::colorCalibrationRequested, this,
          [this] { runMenuCommand(kIdColorCalibration); });
  connect(terminal_, &CTerminal::stitchRequested, this,
          [this] { notAvailable(QStringLiteral("Stitch correction")); });
  connect(terminal_, &CTerminal::refreshRequested, this, [this] { runMenuCommand(kIdRefresh); });
  connect(terminal_, &CTerminal::changePortRequested, this,
          [this] { runMenuCommand(kIdChangePort); });
  connect(terminal_, &CTerminal::closed, this, [this] {
    if (terminalShown_)
      toggleTerminal();
  });

  const double scale = logicalDpiX() / 96.0;
  resize(int(640 * scale), int(560 * scale));
}

void CKelpaxDlg::buildMenus() {
  menuBar_ = new QMenuBar(this);
  menuBar_->setNativeMenuBar(false);

  QMenu* file = menuBar_->addMenu(QStringLiteral("&File"));
  QMenu* load = file->addMenu(QStringLiteral("Load Setting"));
  addItem(load, QStringLiteral("From File"), kIdLoadFromFile,
          QStringLiteral("Send the commands of a camera setting file to the camera"));
  addItem(load, QStringLiteral("From Factory Space"), kIdLoadFactory,
          QStringLiteral("Load the camera's factory settings"));
  addItem(load, QStringLiteral("From User1 Space"), kIdLoadUser1,
          QStringLiteral("Load the camera's user 1 settings"));
  addItem(load, QStringLiteral("From User2 Space"), kIdLoadUser2,
          QStringLiteral("Load the camera's user 2 settings"));
  QMenu* save = file->addMenu(QStringLiteral("Save Setting"));
  addItem(save, QStringLiteral("To File"), kIdSaveToFile,
          QStringLiteral("Write the camera's settings to a camera setting file"));
  addItem(save, QStringLiteral("To Factory Space"), kIdSaveFactory,
          QStringLiteral("Store the settings as the camera's factory settings"));
  addItem(save, QStringLiteral("To User 1 Space"), kIdSaveUser1,
          QStringLiteral("Store the settings in the camera's user 1 space"));
  addItem(save, QStringLiteral("To User 2 Space"), kIdSaveUser2,
          QStringLiteral("Store the settings in the camera's user 2 space"));
  QMenu* defect = file->addMenu(QStringLiteral("Defect Pixel"));
  addItem(defect, QStringLiteral("Download to Camera"), kIdDefectDownload);
  addItem(defect, QStringLiteral("Upload to PC"), kIdDefectUpload);
  QMenu* upgrade = file->addMenu(QStringLiteral("System Upgrade"));
  addItem(upgrade, QStringLiteral("MCU"), kIdUpgradeMcu);
  addItem(upgrade, QStringLiteral("FPGA"), kIdUpgradeFpga);
  addItem(upgrade, QStringLiteral("Package Upgrade"), kIdUpgradePackage);
  file->addSeparator();
  addItem(file, QStringLiteral("Exit"), kIdExit);

  QMenu* startup = menuBar_->addMenu(QStringLiteral("&Start-Up"));
  for (auto [text, id] :
       {std::pair{"Factory Setting", kIdStartupFactory},
        std::pair{"User 1 Setting", kIdStartupUser1}, std::pair{"User 2 Setting", kIdStartupUser2}})
    addItem(startup, QString::fromLatin1(text), id)->setCheckable(true);

  QMenu* tool = menuBar_->addMenu(QStringLiteral("&Tool"));
  addItem(tool, QStringLiteral("Refresh"), kIdRefresh,
          QStringLiteral("Read every setting from the camera again"));
  addItem(tool, QStringLiteral("Terminal"), kIdTerminal,
          QStringLiteral("Type camera commands and see the answers"))
      ->setCheckable(true);
  addItem(tool, QStringLiteral("Color Calibration"), kIdColorCalibration);
  addItem(tool, QStringLiteral("Factory Setting"), kIdFactorySetting);
  addItem(tool, QStringLiteral("High Speed"), kIdHighSpeed)->setCheckable(true);

  QMenu* acquisition = menuBar_->addMenu(QStringLiteral("&Acquisition"));
  addItem(acquisition, QStringLiteral("Start"), kIdAcquisitionStart);
  addItem(acquisition, QStringLiteral("Stop"), kIdAcquisitionStop);

  // "Camera Info" is an item of the menu bar itself.
  QAction* info = menuBar_->addAction(QStringLiteral("Camera Info"));
  info->setData(int(kIdCameraInfo));
  connect(info, &QAction::triggered, this, [this] { runMenuCommand(kIdCameraInfo); });
  actions_[kIdCameraInfo] = info;

  lockedMenus_ = {file, startup, tool};

  // The window manager's system menu cannot be extended from here; its two items live in a
  // small menu at the right end of the menu bar.
  windowMenuButton_ = new QToolButton(menuBar_);
  windowMenuButton_->setText(QStringLiteral("\u2261"));
  windowMenuButton_->setPopupMode(QToolButton::InstantPopup);
  windowMenuButton_->setAutoRaise(true);
  auto* windowMenu = new QMenu(windowMenuButton_);
  addItem(windowMenu, QStringLiteral("Top most"), kIdTopMost)->setCheckable(true);
  windowMenu->addSeparator();
  addItem(windowMenu, QStringLiteral("&About Info..."), kIdAboutInfo);
  windowMenuButton_->setMenu(windowMenu);
  menuBar_->setCornerWidget(windowMenuButton_, Qt::TopRightCorner);

  auto* tips = new CMenuTipManager(this);
  for (QMenu* menu : {file, startup, tool, acquisition})
    tips->install(menu);
}

void CKelpaxDlg::buildStatusBar() {
  statusBar_ = new CMyStatusBar(this);
  statusBar_->setObjectName(QStringLiteral("statusBar"));
  progress_ = new QProgressBar(statusBar_);
  progress_->setObjectName(QStringLiteral("progressBar"));
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->hide();
  statusBar_->setProgressBar(progress_);
  statusBar_->setPartIcon(1, linkIcon(false));

  const double scale = logicalDpiX() / 96.0;
  auto place = [scale](QWidget* widget, int left, int top, int right, int bottom) {
    widget->setGeometry(int(left * scale), int(top * scale), int((right - left) * scale),
                        int((bottom - top) * scale));
  };
  temperatureButton_ = new CMyButton(QStringLiteral(">"), statusBar_);
  temperatureButton_->setControlId(kIdTemperatureButton);
  temperatureButton_->setToolTip(QStringLiteral("Read the camera temperature"));
  place(temperatureButton_, 303, 3, 325, 21);
  cancelButton_ = new CMyButton(QStringLiteral("Cancel"), statusBar_);
  cancelButton_->setControlId(kIdCancelButton);
  place(cancelButton_, 243, 3, 315, 21);
  cancelButton_->hide();
  connect(temperatureButton_, &QPushButton::clicked, this, [this] { showTemperature(); });
  connect(cancelButton_, &QPushButton::clicked, this, [this] { pump_.requestAbort(); });
}

void CKelpaxDlg::buildPages() {
  PageHost& host = *camera_;
  auto add = [this](PageId id, QWidget* page) {
    page->hide();
    pages_[id] = page;
  };
  add(PageId::ViewSetting, new CViewSetting(host, pageArea_));
  add(PageId::AFESetting, new CAFESetting(host, pageArea_));
  add(PageId::KaAFESetting, new KaAFESetting(host, pageArea_));
  add(PageId::TriggerSetting, new CTriggerSetting(host, pageArea_));
  add(PageId::Ko_ViewSetting, new CKo_ViewSetting(host, pageArea_));
  add(PageId::Ko3_ViewSetting, new CKo3_ViewSetting(host, pageArea_));
  add(PageId::Ko_AFESetting, new CKo_AFESetting(host, pageArea_));
  add(PageId::Ko_TriggerSetting, new CKo_TriggerSetting(host, pageArea_));
  pages_[PageId::ViewSetting]->setWindowTitle(QStringLiteral("Image "));
  pages_[PageId::AFESetting]->setWindowTitle(QStringLiteral("Analog "));
  pages_[PageId::TriggerSetting]->setWindowTitle(QStringLiteral("Mode / Exposure"));
}

std::vector<SettingsPage*> CKelpaxDlg::genericPages() const {
  std::vector<SettingsPage*> generic;
  for (PageId id : {PageId::ViewSetting, PageId::AFESetting, PageId::KaAFESetting,
                    PageId::TriggerSetting, PageId::Ko_ViewSetting, PageId::Ko3_ViewSetting,
                    PageId::Ko_AFESetting, PageId::Ko_TriggerSetting}) {
    if (auto* settings = qobject_cast<SettingsPage*>(page(id)))
      generic.push_back(settings);
  }
  return generic;
}

QWidget* CKelpaxDlg::page(PageId id) const {
  auto it = pages_.find(id);
  return it == pages_.end() ? nullptr : it->second;
}

void CKelpaxDlg::registerToolTips() {
  CToolTips* tips = options_.toolTips;
  if (!tips)
    return;
  tips->attach(page(PageId::ViewSetting), QStringLiteral("FULL SIZE."));
  tips->attach(page(PageId::TriggerSetting), QStringLiteral("FREE RUN."));
  tips->attach(page(PageId::AFESetting), QStringLiteral("Control Analog gain."));
  tips->attach(temperatureButton_, QStringLiteral("Read the camera temperature"));
}

void CKelpaxDlg::applyLock() {
  const std::string lock = portDlg_->settings().ReadPortSetting("LOCK");
  if (lock.empty())
    portDlg_->settings().WritePortSetting("LOCK", "OFF");
  locked_ = lock.rfind("ON", 0) == 0;
  for (QMenu* menu : lockedMenus_) {
    for (QAction* item : menu->actions()) {
      item->setEnabled(!locked_);
      if (QMenu* sub = item->menu()) {
        for (QAction* subItem : sub->actions())
          subItem->setEnabled(!locked_);
      }
    }
  }
  for (auto& [id, widget] : pages_)
    widget->setEnabled(!locked_);
  if (!locked_) {
    action(kIdSaveFactory)->setEnabled(false);
    action(kIdFactorySetting)->setEnabled(false);
  }
}

void CKelpaxDlg::setVisible(bool visible) {
  // The window shows only once a camera has been connected.
  if (visible && !mayShow_)
    return;
  QDialog::setVisible(visible);
}

// --- connection -----------------------------------------------------------------------------

void CKelpaxDlg::scanStateChanged(bool scanning) {
  if (scanning)
    portScan_ = true;
  if (relay_)
    relay_->setScanning(scanning || portScan_);
}

void CKelpaxDlg::prepareForModel(const std::string& modelName, const PortEntry&) {
  modelName_ = modelName;
  connected_ = false;
  camera_->identify(modelName, statusBar_);
  // The models that write their setting files themselves get their handler with their pages;
  // until then the generic writer serves them.
  controlFile_.reset();
}

int CKelpaxDlg::openGenICam(const PortEntry&) {
  // The transport-layer library is not part of this build: its modules cannot be found.
  return -10008;
}

void CKelpaxDlg::quitProgram(int exitCode) {
  if (options_.quitHook)
    options_.quitHook->quit(exitCode);
  else
    QCoreApplication::exit(exitCode);
}

bool CKelpaxDlg::InitialRead() {
  if (initialReadRunning_)
    return false;
  initialReadRunning_ = true;
  if (!everRead_) {
    everRead_ = true;
    mayShow_ = true;
    show();
  }
  progress_->show();
  camera_->fillCache([this](int percent) { showProgress(percent); },
                     [this] {
                       progress_->hide();
                       statusBar_->showStatus(" Communication error occurred ");
                     });

  currentTab_ = 0;
  portDlg_->hide();
  statusBar_->setPartText(1, QString());
  statusBar_->showStatus("OK");
  progress_->hide();
  progress_->setValue(0);
  exchange().port().receiveBuffer().clear();
  refreshAllPages();
  connected_ = true;
  portScan_ = false;
  relay_->setScanning(false);
  showTemperature();
  linkTimer_.start();
  onLinkTimer();
  initialReadRunning_ = false;
  Q_EMIT connectedChanged(true);
  return true;
}

void CKelpaxDlg::answerReceived(const std::string& received) {
  if (relay_)
    relay_->answerReceived(received);
}

std::string CKelpaxDlg::portName() const {
  const CameraPort& port = portDlg_->port();
  const int index = port.currentIndex();
  return index >= 0 && index < port.portCount() ? port.ports()[size_t(index)].portName
                                                : std::string();
}

// --- refresh --------------------------------------------------------------------------------

void CKelpaxDlg::refreshAllPages() {
  setWindowTitle(latin1(kTitle + modelName_ + " (" + portName() + ")"));

  for (SettingsPage* generic : genericPages()) {
    generic->setControlsFromCache();
    generic->postRefreshAll();
  }

  const ParameterCache& cache = camera_->parameterCache();
  checkStartupItem(cachedStartupSpace());
  if (QAction* highSpeed = action(kIdHighSpeed)) {
    const int32_t ps = cache.intValue("ps");
    highSpeed->setEnabled(!locked_ && ps != -1);
    highSpeed->setChecked(ps != -1 && ps != 0);
  }

  const std::vector<std::string> captions = tabCaptions(camera_->modelDescriptor(), cache);
  {
    const QSignalBlocker block(tabs_);
    while (tabs_->count() > 0)
      tabs_->removeTab(0);
    for (const std::string& caption : captions)
      tabs_->addTab(latin1(caption));
    if (currentTab_ >= tabs_->count())
      currentTab_ = 0;
    tabs_->setCurrentIndex(currentTab_);
  }
  showTabPage();

  std::error_code ec;
  if (!locked_ &&
      std::filesystem::exists(std::filesystem::path(workingFolder_) / kFactoryKeyFile, ec))
    action(kIdFactorySetting)->setEnabled(true);
}

void CKelpaxDlg::checkStartupItem(int space) {
  const int ids[] = {kIdStartupFactory, kIdStartupUser1, kIdStartupUser2};
  for (int i = 0; i < 3; ++i)
    action(ids[i])->setChecked(i == space);
}

void CKelpaxDlg::onTabChanged(int index) {
  currentTab_ = index;
  showTabPage();
}

void CKelpaxDlg::showTabPage() {
  for (auto& [id, widget] : pages_)
    widget->hide();
  shown_.clear();
  const TabPage tab = pageForTab(camera_->modelDescriptor(), currentTab_, ka47mSelectorFfc_);
  for (PageId id : {tab.page, tab.alsoShown}) {
    if (id == PageId::None)
      continue;
    QWidget* widget = page(id);
    if (!widget) {
      widget = new CPendingPage(id, pageArea_);
      pages_[id] = widget;
    }
    widget->setEnabled(!locked_);
    shown_.push_back(id);
  }
  placePages();
  for (PageId id : shown_)
    page(id)->show();
}

std::vector<PageId> CKelpaxDlg::visiblePages() const {
  return shown_;
}

void CKelpaxDlg::placePages() {
  if (!pageArea_)
    return;
  for (PageId id : shown_)
    page(id)->setGeometry(pageArea_->rect());
}

bool CKelpaxDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == pageArea_ && event->type() == QEvent::Resize)
    placePages();
  return QDialog::eventFilter(watched, event);
}

// --- menu handlers --------------------------------------------------------------------------

void CKelpaxDlg::runMenuCommand(int id) {
  switch (id) {
  case kIdLoadFromFile:
    loadSettingFile();
    break;
  case kIdLoadFactory:
  case kIdLoadUser1:
  case kIdLoadUser2:
    loadSettingSpace(id - kIdLoadFactory);
    break;
  case kIdSaveToFile:
    saveSettingFile();
    break;
  case kIdSaveFactory:
  case kIdSaveUser1:
  case kIdSaveUser2:
    saveSettingSpace(id - kIdSaveFactory);
    break;
  case kIdDefectDownload:
  case kIdDefectUpload:
    notAvailable(QStringLiteral("Defect pixel transfer"));
    break;
  case kIdUpgradeMcu:
  case kIdUpgradeFpga:
  case kIdUpgradePackage:
    notAvailable(QStringLiteral("System upgrade"));
    break;
  case kIdExit:
    closeDialog();
    break;
  case kIdStartupFactory:
    chooseStartupSpace(0);
    break;
  case kIdStartupUser1:
    chooseStartupSpace(1);
    break;
  case kIdStartupUser2:
    chooseStartupSpace(2);
    break;
  case kIdRefresh:
    toolRefresh();
    break;
  case kIdTerminal:
    toggleTerminal();
    break;
  case kIdColorCalibration:
    notAvailable(QStringLiteral("Color calibration"));
    break;
  case kIdFactorySetting:
    showTuningPage();
    break;
  case kIdHighSpeed:
    toggleHighSpeed();
    break;
  case kIdAcquisitionStart:
    acquisition(true);
    break;
  case kIdAcquisitionStop:
    acquisition(false);
    break;
  case kIdCameraInfo:
  case kIdAboutInfo:
    showCameraInfo();
    break;
  case kIdTopMost: {
    const bool onTop = !(windowFlags() & Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    action(kIdTopMost)->setChecked(onTop);
    if (mayShow_)
      show();
    break;
  }
  case kIdChangePort:
    changePort();
    break;
  case kIdStagePage:
    notAvailable(QStringLiteral("Nano-stage control"));
    break;
  default:
    break;
  }
}

void CKelpaxDlg::notAvailable(const QString& what) {
  const QString text = what + QStringLiteral(" is not part of this version of Kelpax yet.");
  showMessage("Information", text.toStdString(), MessageIcon::Information);
}

void CKelpaxDlg::loadSettingSpace(int space) {
  const std::string command = "lcf " + std::to_string(space);
  // A refused load leaves the camera's values as they were: nothing to read again.
  if (exchange().SendCommand(command, kSettingSpaceTimeoutMs, true))
    InitialRead();
}

void CKelpaxDlg::saveSettingSpace(int space) {
  exchange().SendCommand("sct " + std::to_string(space), kSettingSpaceTimeoutMs, true);
}

void CKelpaxDlg::chooseStartupSpace(int space) {
  // Qt toggles a checkable item before its handler runs; the camera's answer decides, and a
  // refusal leaves the space the cache knows (an accepted "sci" updates it).
  if (exchange().SendCommand("sci " + std::to_string(space), kStartupSpaceTimeoutMs, true))
    checkStartupItem(space);
  else
    checkStartupItem(cachedStartupSpace());
}

int CKelpaxDlg::cachedStartupSpace() const {
  const ParameterCache& cache = camera_->parameterCache();
  return cache.holdsValue("ci") ? cache.intValue("ci") : -1;
}

void CKelpaxDlg::showProgress(int percent) {
  statusBar_->setPartText(1, QString::asprintf("  %2d %%", percent));
  progress_->setValue(percent);
}

void CKelpaxDlg::toggleHighSpeed() {
  QAction* item = action(kIdHighSpeed);
  const bool on = camera_->parameterCache().intValue("ps") != 0;
  if (exchange().SendCommand(on ? "sps 0" : "sps 1", kHighSpeedTimeoutMs, true))
    item->setChecked(!on);
  else
    item->setChecked(on);
}

void CKelpaxDlg::acquisition(bool start) {
  exchange().SendCommand(start ? "ast" : "asp", kDefaultTimeoutMs, true);
  // Whatever the camera says: the operator asked for it.
  acquisitionRunning_ = start;
}

void CKelpaxDlg::toolRefresh() {
  const std::string model = exchange().QueryValue("gmn", 1000);
  if (model != modelName_) {
    // Another camera on this port: back to the scan.
    changePort();
    return;
  }
  InitialRead();
}

void CKelpaxDlg::changePort() {
  portScan_ = true;
  connected_ = false;
  linkTimer_.stop();
  onLinkTimer();
  if (relay_)
    relay_->setScanning(true);
  exchange().port().ClosePort();
  portDlg_->ScanPorts();
}

void CKelpaxDlg::showTemperature() {
  const std::string answer = exchange().Query("gct", kDefaultTimeoutMs, false);
  const size_t dot = answer.find('.');
  if (dot == std::string::npos || !connected_)
    return;
  const size_t start = dot >= 2 ? dot - 2 : 0;
  temperatureText_ = latin1(answer.substr(start, 4) + " ");
  statusBar_->setDrawnText(temperatureText_);
}

void CKelpaxDlg::showCameraInfo() {
  about_->show();
  about_->raise();
  CommandExchange& channel = exchange();
  about_->setCameraName(cameraInfoField(channel.Query("gmn", 300, false), 5));
  about_->setSerialNumber(cameraInfoField(channel.Query("gsn piece", 300, false), 11));
  about_->setFpgaVersion(cameraInfoField(channel.Query("gfv", 300, false), 5));
  about_->setMcuVersion(cameraInfoField(channel.Query("gmv", 300, false), 5));
}

void CKelpaxDlg::onLinkTimer() {
  const bool up = exchange().port().isOpen() && connected_;
  statusBar_->setPartIcon(1, linkIcon(up));
}

void CKelpaxDlg::toggleTerminal() {
  QAction* item = action(kIdTerminal);
  if (!terminalShown_) {
    heightWithoutTerminal_ = height();
    const int extra = terminal_->sizeHint().height();
    terminal_->show();
    terminalShown_ = true;
    resize(width(), heightWithoutTerminal_ + extra);
    if (QScreen* screen = this->screen()) {
      const int overflow = frameGeometry().bottom() - screen->availableGeometry().bottom();
      if (overflow > 0)
        move(x(), y() - overflow);
    }
    terminal_->outputBox()->showEnd();
    terminal_->inputLine()->setFocus();
    item->setChecked(true);
  } else {
    terminal_->hide();
    terminalShown_ = false;
    resize(width(), heightWithoutTerminal_);
    item->setChecked(false);
  }
}

void CKelpaxDlg::showTuningPage() {
  if (QAction* factory = action(kIdSaveFactory))
    factory->setEnabled(true);
  statusBar_->showStatus(tuningMode_ ? "Tuning mode" : "Factory mode");
  notAvailable(QStringLiteral("The factory tuning page"));
}

void CKelpaxDlg::setTransferFlags(bool ackMode, bool blockMode) {
  exchange().setBinaryAckMode(ackMode);
  exchange().setBinaryBlockMode(blockMode);
}

bool CKelpaxDlg::closeDialog() {
  if (exchange().transferRunning())
    return false;
  portDlg_->stopIdlePoll();
  linkTimer_.stop();
  exchange().port().ClosePort();
  connected_ = false;
  portDlg_->hide();
  mayShow_ = false;
  QDialog::setVisible(false);
  quitProgram(0);
  return true;
}

void CKelpaxDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  closeDialog();
}

void CKelpaxDlg::keyPressEvent(QKeyEvent* event) {
  // Enter belongs to the page's edits and Escape would end the dialog: both stop here.
  switch (event->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
  case Qt::Key_Escape:
    event->accept();
    return;
  default:
    QDialog::keyPressEvent(event);
  }
}

// --- setting files --------------------------------------------------------------------------

void CKelpaxDlg::saveSettingFile() {
  std::string chosen;
  if (options_.fileChooser.saveFile) {
    chosen = options_.fileChooser.saveFile(kSettingFilter);
  } else {
    chosen = QFileDialog::getSaveFileName(this, QString(), QString(), qtFilter(kSettingFilter))
                 .toStdString();
  }
  if (chosen.empty())
    return;
  const SettingSaveResult result = kelpax::saveSettingFile(
      chosen, camera_->parameterCache(), camera_->modelDescriptor(), controlFile_.get());
  if (!result.saved) {
    debugPrintf("CKelpaxDlg::saveSettingFile, %d, %s\n", __LINE__, result.detail.c_str());
    showMessage(std::string(kSettingFileErrorCaption), std::string(kCannotSaveSettingFile),
                controlFile_ ? MessageIcon::Warning : MessageIcon::Error);
  }
}

void CKelpaxDlg::loadSettingFile() {
  std::string chosen;
  if (options_.fileChooser.openFile) {
    chosen = options_.fileChooser.openFile(kSettingFilter);
  } else {
    chosen = QFileDialog::getOpenFileName(this, QString(), QString(), qtFilter(kSettingFilter))
                 .toStdString();
  }
  if (chosen.empty())
    return;
  SettingLoadOptions load;
  load.handler = controlFile_.get();
  if (options_.sleeper)
    load.sleep = options_.sleeper;
  load.progress = [this](int percent) { showProgress(percent); };
  progress_->show();
  const SettingLoadResult result =
      kelpax::loadSettingFile(chosen, exchange(), camera_->cache(), load);
  progress_->hide();
  progress_->setValue(0);
  statusBar_->setPartText(1, QString());
  if (!result.opened) {
    debugPrintf("CKelpaxDlg::loadSettingFile, %d, %s\n", __LINE__, result.detail.c_str());
    showMessage(std::string(kSettingFileErrorCaption), std::string(kCannotOpenSettingFile),
                MessageIcon::Error);
    return;
  }
  if (!result.skipped.empty()) {
    std::string text = "Lines not sent to the camera:";
    for (const SettingLineNote& note : result.skipped)
      text += "\nline " + std::to_string(note.lineNumber) + ": " + note.reason;
    showMessage("Information", text, MessageIcon::Information);
  }
  refreshAllPages();
  connected_ = true;
  linkTimer_.start();
  onLinkTimer();
}

} // namespace kelpax
