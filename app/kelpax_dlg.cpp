// The main window.
#include "app/kelpax_dlg.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QTabBar>
#include <QVBoxLayout>

#include "app/about_dlg.h"
#include "app/dlg_new_kelpax.h"
#include "app/message_box.h"
#include "app/status_bar_widget.h"
#include "app/terminal_dlg.h"
#include "app/tool_tips.h"
#include "app/transfer_view.h"
#include "app/version.h"
#include "camera/debug_output.h"
#include "editors/lut_dlg.h"
#include "editors/multi_roi.h"
#include "editors/setting_multi_roi_dlg.h"
#include "pages/bayer_gain.h"
#include "pages/control_widgets.h"
#include "pages/ka/ka_setting.h"
#include "pages/ko/ko_kosetting.h"
#include "pages/ky/ky29c_pages.h"
#include "pages/settings_page.h"
#include "pages/view_page.h"
#include "tools/fs_dlg.h"
#include "tools/stage_page.h"
#include "tools/stitch_dlg.h"
#include "tools/tool_page.h"

namespace kelpax {
namespace {

constexpr char kTitle[] = "Quorvane - ";

// The service tool pages: they show the cache themselves and have a tuning form.
constexpr PageId kToolPages[] = {
    PageId::PeltierCtrlDlg, PageId::NewPeltierCtrlDlg, PageId::FanControlDlg, PageId::StageCtrlDlg,
    PageId::LutDlg,         PageId::KeLutDlg,          PageId::Ky29CLUTDlg};

const QString kSettingFilter = QStringLiteral("Camera Setting Data (*.csf)");

QString latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CKelpaxDlg::CKelpaxDlg(CameraSession& session, Options options, QWidget* parent)
    : QDialog(parent), session_(session), options_(std::move(options)) {
  ownMessageBox_ = std::make_unique<CQtMessageBox>(this);
  setObjectName(QStringLiteral("CKelpaxDlg"));
  portDlg_ = std::make_unique<CGetPortDlg>(*this, session_, this);
  linkTimer_ = new QTimer(this);
  linkTimer_->setObjectName(QStringLiteral("linkTimer"));
  linkTimer_->setInterval(kLinkTimerMs);
  connect(linkTimer_, &QTimer::timeout, this, &CKelpaxDlg::onLinkTimer);
}

CKelpaxDlg::~CKelpaxDlg() {
  linkTimer_->stop();
  CommandExchange& channel = session_.exchange();
  channel.setStatusLine(nullptr);
  channel.setAnswerHandler(nullptr);
  channel.setEventPump(nullptr);
  session_.transfer().setObserver(nullptr);
}

MessageBoxSink& CKelpaxDlg::messageBox() {
  return options_.messageBox ? *options_.messageBox : *ownMessageBox_;
}

void CKelpaxDlg::showMessage(const std::string& caption, const std::string& text,
                             MessageIcon icon) {
  messageBox().showMessage(caption, text, icon);
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

  // 3. Every page, hidden.
  pageArea_ = new CPageArea(session_.camera(), this);
  layout->addWidget(pageArea_, 1);

  terminal_ = new CTerminal(this);
  terminal_->setObjectName(QStringLiteral("terminal"));
  terminal_->hide();
  layout->addWidget(terminal_);

  buildStatusBar();
  layout->addWidget(statusBar_);
  connectLutPages();
  connectFfcPages();
  // The Ko image pages' "Multi ROI" mode opens the region table, as Tool -> Multi-ROI does.
  for (CKo_ViewSetting* view : koViewPages())
    connect(view, &CKo_ViewSetting::multiRoiRequested, this, [this] { showMultiRoi(); });
  if (auto* stage = qobject_cast<CStageCtrlDlg*>(pageArea_->page(PageId::StageCtrlDlg))) {
    // The stage's timings go to the main window's title, its outcomes to the status line.
    stage->setTitleSink([this](const QString& text) { setWindowTitle(text); });
    stage->setStatusSink(
        [this](const QString& text) { statusBar_->showStatus(text.toStdString()); });
  }

  // 1. The window menu ("Top most", "&About Info...") stands in for the system menu.
  setWindowIcon(linkIcon(true));
  // 2. Title, status line, progress bar, the ">" and Cancel buttons.
  setWindowTitle(QString::fromLatin1(kTitle));
  // 3. The version everywhere it is shown.
  const QString version = QString::fromLatin1(kVersionText);
  statusBar_->setPartText(3, version);
  about_ = new CAboutDlg(this);
  about_->setObjectName(QStringLiteral("cameraInfo"));
  about_->setVersionText(version);
  // 4. Tool tips.
  registerToolTips();
  // 5. The LOCK entry of portlist.ini.
  applyLock();
  // 6. Acquisition stays grey until a page that drives it enables it.
  action(kIdAcquisitionStart)->setEnabled(false);
  action(kIdAcquisitionStop)->setEnabled(false);

  CommandExchange& channel = session_.exchange();
  channel.setStatusLine(statusBar_);
  channel.setAnswerHandler(this);
  channel.setEventPump(&pump_);
  pump_.setCancelButton(cancelButton_);
  relay_ = std::make_unique<TerminalRelay>(channel, *terminal_);
  relay_->setScanning(portScan_);

  wireTerminal();
  buildFactoryDialog();

  const double scale = logicalDpiX() / 96.0;
  resize(int(640 * scale), int(560 * scale));
}

void CKelpaxDlg::wireTerminal() {
  terminal_->setCommandSender([this](const std::string& command) {
    return session_.camera()
        .sendCommand(command, {.timeoutMs = kTerminalCommandTimeoutMs, .shown = true})
        .accepted();
  });
  terminal_->setModelNameSource([this] { return session_.modelName(); });
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
  connect(terminal_, &CTerminal::stitchRequested, this, [this] {
    if (!stitch_)
      stitch_ = new CStitchCorrDlg(session_.camera(), this);
    stitch_->show();
    stitch_->raise();
    stitch_->readFromCamera();
  });
  connect(terminal_, &CTerminal::refreshRequested, this, [this] { runMenuCommand(kIdRefresh); });
  connect(terminal_, &CTerminal::changePortRequested, this,
          [this] { runMenuCommand(kIdChangePort); });
  connect(terminal_, &CTerminal::closed, this, [this] {
    if (!terminal_->isHidden())
      toggleTerminal();
  });
}

void CKelpaxDlg::buildFactoryDialog() {
  CFSDlg::Options fs;
  fs.transfer = &session_.transfer();
  fs.workingFolder = session_.workingFolder();
  fs.openFile = [this](const QString& filter) { return chooseOpenFile(filter.toStdString()); };
  fs.saveFile = [this](const QString& filter) {
    return options_.fileChooser.saveFile
               ? options_.fileChooser.saveFile(filter)
               : QFileDialog::getSaveFileName(this, QString(), QString(), filter).toStdString();
  };
  fs.message = [this](const std::string& caption, const std::string& text) {
    showMessage(caption, text, MessageIcon::Error);
  };
  fs.status = [this](const std::string& text) { statusBar_->showStatus(text); };
  fs.beeper = options_.beeper;
  // "Refresh" posts Tool → Factory Setting, which shows the page again and re-reads it.
  fs.refresh = [this] {
    QMetaObject::invokeMethod(
        this, [this] { runMenuCommand(kIdFactorySetting); }, Qt::QueuedConnection);
  };
  fs.closed = [this] {
    tuningMode_ = false;
    tuningPage_ = false;
    if (relay_)
      relay_->setTuningMode(false);
  };
  fsDlg_ = new CFSDlg(session_.camera(), std::move(fs), this);
  fsDlg_->setWindowFlag(Qt::Dialog);
  fsDlg_->hide();
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
  statusBar_->setLinkState(false);

  temperatureButton_ =
      statusBar_->addButton(QStringLiteral(">"), kIdTemperatureButton, QRect(303, 3, 22, 18));
  temperatureButton_->setToolTip(QStringLiteral("Read the camera temperature"));
  cancelButton_ =
      statusBar_->addButton(QStringLiteral("Cancel"), kIdCancelButton, QRect(243, 3, 72, 18));
  cancelButton_->hide();
  connect(temperatureButton_, &QPushButton::clicked, this, [this] { showTemperature(); });
  connect(cancelButton_, &QPushButton::clicked, this, [this] { pump_.requestAbort(); });
  transferView_ = std::make_unique<CTransferView>(statusBar_, progress_, temperatureButton_,
                                                  cancelButton_, options_.beeper);
  session_.transfer().setObserver(transferView_.get());
}

void CKelpaxDlg::registerToolTips() {
  CToolTips* tips = options_.toolTips;
  if (!tips)
    return;
  tips->attach(pageArea_->page(PageId::ViewSetting), QStringLiteral("FULL SIZE."));
  tips->attach(pageArea_->page(PageId::TriggerSetting), QStringLiteral("FREE RUN."));
  tips->attach(pageArea_->page(PageId::AFESetting), QStringLiteral("Control Analog gain."));
  if (auto* lut = qobject_cast<CLutDlg*>(pageArea_->page(PageId::LutDlg)))
    tips->attach(lut->button(QStringLiteral("loadFile")), QStringLiteral("Load LUT File."));
  tips->attach(temperatureButton_, QStringLiteral("Read the camera temperature"));
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
  // A dialog over the previous camera's regions must not outlive its handler.
  delete multiRoi_;
  multiRoi_ = nullptr;
  session_.prepareForModel(modelName, statusBar_);
  // The multi-region cameras write their regions into setting files.
  session_.setControlFile(
      multiRoiControlFileFor(session_.camera(), session_.camera().modelDescriptor()));
}

std::vector<CKo_ViewSetting*> CKelpaxDlg::koViewPages() const {
  std::vector<CKo_ViewSetting*> views;
  for (PageId id : {PageId::Ko_ViewSetting, PageId::Ko3_ViewSetting}) {
    if (auto* view = qobject_cast<CKo_ViewSetting*>(pageArea_->page(id)))
      views.push_back(view);
  }
  return views;
}

void CKelpaxDlg::showMultiRoi() {
  auto* handler = dynamic_cast<MultiRoiControlFile*>(session_.controlFile());
  if (!handler) {
    showMessage("Information", "This camera reads out one region only.", MessageIcon::Information);
    return;
  }
  if (!multiRoi_) {
    multiRoi_ = new CSettingMultiRoi(handler->regions(), messageBox(), this);
    // The Ko image pages show where the pointer is over the region picture and which region
    // lies under it.
    for (CKo_ViewSetting* view : koViewPages()) {
      connect(multiRoi_->graph(), &CAOIGraph::pointerMoved, view, &CKo_ViewSetting::showPointer);
      connect(multiRoi_->graph(), &CAOIGraph::regionUnderPointerChanged, view, [view](int row) {
        view->showRegionNumber(row >= 0 ? std::optional<int>(row) : std::nullopt);
      });
    }
  }
  multiRoi_->show();
  multiRoi_->raise();
  multiRoi_->readFromCamera();
}

int CKelpaxDlg::openGenICam(const PortEntry& slot) {
  struct Quit : QuitHook {
    CKelpaxDlg& dlg;
    explicit Quit(CKelpaxDlg& d) : dlg(d) {}
    void quit(int exitCode) override { dlg.quitProgram(exitCode); }
  } quit(*this);
  if (!dlgNewKelpax_) {
    dlgNewKelpax_ = std::make_unique<CDlgNewKelpax>(this);
    QObject::connect(dlgNewKelpax_.get(), &CDlgNewKelpax::closeRequested, this,
                     [this] { QTimer::singleShot(0, this, [this] { quitProgram(0); }); });
  }
  StartupEnvironment env{messageBox(), quit};
  const int result = guardedGenICamConnect(dlgNewKelpax_.get(), env, slot.maker, slot.portName,
                                           slot.modelName, slot.isLibrary);
  if (result == 0)
    dlgNewKelpax_->show();
  return result;
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
  if (!mayShow_) {
    mayShow_ = true;
    show();
  }
  progress_->show();
  const CacheFill fill =
      session_.fillCache([this](int percent) { showProgress(percent); },
                         [this] {
                           progress_->hide();
                           statusBar_->showStatus(" Communication error occurred ");
                         });

  currentTab_ = 0;
  portDlg_->hide();
  hideProgress();
  session_.discardReceived();
  refreshAllPages();
  portScan_ = false;
  relay_->setScanning(false);
  if (fill.cameraLost) {
    // The camera stopped answering: the link shows down and the status line says why.
    session_.setConnected(false);
    statusBar_->showStatus(lostCameraText(fill));
    linkTimer_->stop();
    onLinkTimer();
    initialReadRunning_ = false;
    Q_EMIT connectedChanged(false);
    return true;
  }
  statusBar_->showStatus("OK");
  session_.setConnected(true);
  showTemperature();
  linkTimer_->start();
  onLinkTimer();
  initialReadRunning_ = false;
  Q_EMIT connectedChanged(true);
  return true;
}

void CKelpaxDlg::answerReceived(const std::string& received) {
  if (relay_)
    relay_->answerReceived(received);
}

// --- refresh --------------------------------------------------------------------------------

void CKelpaxDlg::refreshAllPages() {
  setWindowTitle(latin1(kTitle + session_.modelName() + " (" + session_.portName() + ")"));

  for (PageId id : kToolPages) {
    if (auto* tool = dynamic_cast<ToolPage*>(pageArea_->page(id)))
      tool->refreshFromCache();
  }
  for (SettingsPage* generic : pageArea_->genericPages()) {
    generic->setControlsFromCache();
    generic->postRefreshAll();
  }

  const ConnectedCamera& camera = session_.camera();
  // The Ka 47M page tells at every connection which flat-field page its FFC tab shows.
  ka47mSelectorFfc_ = false;
  if (auto* ka47m = qobject_cast<CKa47M_Setting*>(pageArea_->page(PageId::Ka47M_Setting));
      ka47m && camera.modelDescriptor().sizeClass == "47M" &&
      (camera.modelDescriptor().series == Series::Ka ||
       camera.modelDescriptor().series == Series::Kn))
    ka47mSelectorFfc_ = ka47m->readFfcSelectorFlag();
  checkStartupItem(camera.startupSpace());
  if (QAction* multiRoi = action(kIdMultiRoi))
    multiRoi->setEnabled(!locked_ && session_.controlFile() &&
                         dynamic_cast<MultiRoiControlFile*>(session_.controlFile()));
  if (QAction* highSpeed = action(kIdHighSpeed)) {
    const std::optional<bool> on = camera.highSpeed();
    highSpeed->setEnabled(!locked_ && on.has_value());
    highSpeed->setChecked(on.value_or(false));
  }

  const std::vector<std::string> captions =
      tabCaptions(camera.modelDescriptor(), camera.parameterCache());
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
  if (auto* roi = qobject_cast<CKy29CROIDlg*>(pageArea_->page(PageId::Ky29CROIDlg)))
    roi->tabsRebuilt();
  pageArea_->tabsRebuilt();
  showTabPage();
  // The other tabs' pages are drawn while the operator looks at this one.
  std::vector<TabPage> others;
  for (int index = 0; index < tabs_->count(); ++index) {
    if (index != currentTab_)
      others.push_back(
          pageForTab(camera.modelDescriptor(), camera.parameterCache(), index, ka47mSelectorFfc_));
  }
  pageArea_->prepareTabs(std::move(others));

  if (!locked_ && session_.factoryKeyPresent())
    action(kIdFactorySetting)->setEnabled(true);
}

void CKelpaxDlg::onTabChanged(int index) {
  currentTab_ = index;
  showTabPage();
}

void CKelpaxDlg::showTabPage() {
  pageArea_->showTab(pageForTab(session_.camera().modelDescriptor(),
                                session_.camera().parameterCache(), currentTab_, ka47mSelectorFfc_),
                     !locked_);
  for (PageId id : pageArea_->firstShown()) {
    if (id == PageId::KoKi101_151MC_Setting)
      initialiseAcquisitionPage();
  }
}

void CKelpaxDlg::initialiseAcquisitionPage() {
  if (auto* page = qobject_cast<SettingsPage*>(pageArea_->page(PageId::KoKi101_151MC_Setting))) {
    page->setControlsFromCache();
    page->refreshAll();
  }
  // A refused or unanswered query leaves the flag as it was; the operator is not bothered.
  if (const std::optional<bool> running = session_.camera().readAcquisitionState())
    acquisitionRunning_ = *running;
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
    session_.camera().saveSettingSpace(id - kIdSaveFactory);
    break;
  case kIdDefectDownload:
    defectDownload();
    break;
  case kIdDefectUpload:
    defectUpload();
    break;
  case kIdUpgradeMcu:
    firmwareUpgrade(FirmwareKind::Mcu);
    break;
  case kIdUpgradeFpga:
    firmwareUpgrade(FirmwareKind::Fpga);
    break;
  case kIdUpgradePackage:
    firmwareUpgrade(FirmwareKind::Package);
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
    if (!bayerGain_) {
      bayerGain_ = new CBayerGain(session_.camera(), this);
      bayerGain_->setWindowFlag(Qt::Dialog);
    }
    bayerGain_->show();
    bayerGain_->raise();
    break;
  case kIdFactorySetting:
    showTuningPage();
    break;
  case kIdHighSpeed:
    toggleHighSpeed();
    break;
  case kIdMultiRoi:
    showMultiRoi();
    break;
  case kIdAcquisitionStart:
  case kIdAcquisitionStop:
    // Whatever the camera says: the operator asked for it.
    session_.camera().acquisition(id == kIdAcquisitionStart);
    acquisitionRunning_ = id == kIdAcquisitionStart;
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
    showStagePage();
    break;
  default:
    break;
  }
}

void CKelpaxDlg::showStagePage() {
  const ModelDescriptor& model = session_.camera().modelDescriptor();
  for (int tab = 0; tab < tabs_->count(); ++tab) {
    if (pageForTab(model, tab, ka47mSelectorFfc_).page == PageId::StageCtrlDlg) {
      tabs_->setCurrentIndex(tab);
      return;
    }
  }
  showMessage("Information", "This camera has no nano-stage.", MessageIcon::Information);
}

void CKelpaxDlg::notAvailable(const QString& what) {
  const QString text = what + QStringLiteral(" is not part of this version of Kelpax yet.");
  showMessage("Information", text.toStdString(), MessageIcon::Information);
}

void CKelpaxDlg::loadSettingSpace(int space) {
  // A refused load leaves the camera's values as they were: nothing to read again.
  if (session_.camera().loadSettingSpace(space).accepted())
    InitialRead();
}

void CKelpaxDlg::chooseStartupSpace(int space) {
  // Qt toggles a checkable item before its handler runs; the camera's answer decides, and a
  // refusal leaves the space the cache knows (an accepted "sci" updates it).
  ConnectedCamera& camera = session_.camera();
  checkStartupItem(camera.chooseStartupSpace(space).accepted() ? space : camera.startupSpace());
}

void CKelpaxDlg::showProgress(int percent) {
  statusBar_->setPartText(1, QString::asprintf("  %2d %%", percent));
  progress_->setValue(percent);
}

void CKelpaxDlg::hideProgress() {
  progress_->hide();
  progress_->setValue(0);
  statusBar_->setPartText(1, QString());
}

void CKelpaxDlg::toggleHighSpeed() {
  ConnectedCamera& camera = session_.camera();
  const bool on = camera.highSpeed().value_or(true);
  action(kIdHighSpeed)->setChecked(camera.setHighSpeed(!on).accepted() ? !on : on);
}

void CKelpaxDlg::toolRefresh() {
  // Another camera on this port: back to the scan.
  if (!session_.sameModelOnPort()) {
    changePort();
    return;
  }
  InitialRead();
}

void CKelpaxDlg::changePort() {
  portScan_ = true;
  linkTimer_->stop();
  session_.closePort();
  onLinkTimer();
  if (relay_)
    relay_->setScanning(true);
  portDlg_->ScanPorts();
}

void CKelpaxDlg::showTemperature() {
  const std::optional<std::string> temperature = session_.camera().readTemperature();
  if (!temperature || !session_.connected())
    return;
  statusBar_->setDrawnText(latin1(*temperature + " "));
}

void CKelpaxDlg::showCameraInfo() {
  about_->show();
  about_->raise();
  const CameraInfo info = session_.camera().readCameraInfo();
  about_->setCameraName(info.name);
  about_->setSerialNumber(info.serialNumber);
  about_->setFpgaVersion(info.fpgaVersion);
  about_->setMcuVersion(info.mcuVersion);
}

void CKelpaxDlg::onLinkTimer() {
  statusBar_->setLinkState(session_.linkUp());
}

void CKelpaxDlg::toggleTerminal() {
  QAction* item = action(kIdTerminal);
  if (terminal_->isHidden()) {
    heightWithoutTerminal_ = height();
    const int extra = terminal_->sizeHint().height();
    terminal_->show();
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
    resize(width(), heightWithoutTerminal_);
    item->setChecked(false);
  }
}

void CKelpaxDlg::showTuningPage() {
  tuningPage_ = true;
  if (QAction* factory = action(kIdSaveFactory))
    factory->setEnabled(true);
  statusBar_->showStatus(tuningMode_ ? "Tuning mode" : "Factory mode");
  // The Peltier pages' monitor belongs to the tuning form of the cooled series.
  const Series series = session_.camera().modelDescriptor().series;
  const bool cooled = series == Series::Ki || series == Series::KnP;
  for (PageId id : {PageId::PeltierCtrlDlg, PageId::NewPeltierCtrlDlg}) {
    if (auto* tool = dynamic_cast<ToolPage*>(pageArea_->page(id)))
      tool->setTuningForm(cooled);
  }
  // The nano-stage's drive controls belong to the tuning form of the stage series.
  if (auto* stage = dynamic_cast<ToolPage*>(pageArea_->page(PageId::StageCtrlDlg)))
    stage->setTuningForm(series == Series::Kn || series == Series::KnP);
  // The Ko, Kw and Ki 71M cameras are tuned on the Ko factory page.
  const ModelDescriptor& model = session_.camera().modelDescriptor();
  if (series == Series::Ko || series == Series::Kw ||
      (series == Series::Ki && model.sizeClass == "71M")) {
    if (!koFactory_) {
      koFactory_ = new CKo_Kosetting(session_.camera(), this);
      koFactory_->setWindowFlag(Qt::Dialog);
      koFactory_->setSingleFrameSender([this](uint16_t command, std::span<const uint8_t> bytes) {
        return session_.transfer().SendSingleFrame(command, bytes).ok();
      });
      koFactory_->setDefectDownload([this] { runMenuCommand(kIdDefectDownload); });
    }
    koFactory_->setControlsFromCache();
    koFactory_->readAll();
    koFactory_->show();
    koFactory_->raise();
    return;
  }
  fsDlg_->show();
  fsDlg_->raise();
  fsDlg_->readFromCamera();
}

bool CKelpaxDlg::closeDialog() {
  if (session_.transferRunning())
    return false;
  portDlg_->stopIdlePoll();
  linkTimer_->stop();
  session_.closePort();
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
  const std::string chosen =
      options_.fileChooser.saveFile
          ? options_.fileChooser.saveFile(kSettingFilter)
          : QFileDialog::getSaveFileName(this, QString(), QString(), kSettingFilter).toStdString();
  if (chosen.empty())
    return;
  // A multi-region camera's file carries its regions: read them if no one has yet, rather
  // than write a file without them.
  if (auto* roi = dynamic_cast<MultiRoiControlFile*>(session_.controlFile());
      roi && !roi->regions().read()) {
    if (const RoiOutcome read = roi->regions().readAll(); !read.ok) {
      showMessage(std::string(kSettingFileErrorCaption),
                  "The regions could not be read from the camera: " + read.message +
                      ". Nothing was saved.",
                  MessageIcon::Warning);
      return;
    }
  }
  const SettingSaveResult result = session_.saveSettingFile(chosen);
  if (!result.saved) {
    debugPrintf("CKelpaxDlg::saveSettingFile, %d, %s\n", __LINE__, result.detail.c_str());
    showMessage(std::string(kSettingFileErrorCaption), std::string(kCannotSaveSettingFile),
                session_.hasControlFile() ? MessageIcon::Warning : MessageIcon::Error);
  }
}

void CKelpaxDlg::loadSettingFile() {
  const std::string chosen =
      options_.fileChooser.openFile
          ? options_.fileChooser.openFile(kSettingFilter)
          : QFileDialog::getOpenFileName(this, QString(), QString(), kSettingFilter).toStdString();
  if (chosen.empty())
    return;
  SettingLoadOptions load;
  if (options_.sleeper)
    load.sleep = options_.sleeper;
  load.progress = [this](int percent) { showProgress(percent); };
  progress_->show();
  const SettingLoadResult result = session_.loadSettingFile(chosen, load);
  hideProgress();
  if (!result.opened) {
    debugPrintf("CKelpaxDlg::loadSettingFile, %d, %s\n", __LINE__, result.detail.c_str());
    showMessage(std::string(kSettingFileErrorCaption), std::string(kCannotOpenSettingFile),
                MessageIcon::Error);
    return;
  }
  if (result.noCommands) {
    showMessage("Information", "Nothing was sent to the camera: " + result.detail,
                MessageIcon::Information);
    return;
  }
  if (result.cameraLost) {
    showMessage("Information",
                "The camera stopped answering: " + std::to_string(result.notSent) +
                    " command lines of the file were not sent.",
                MessageIcon::Warning);
  }
  if (!result.skipped.empty()) {
    std::string text = "Lines not sent to the camera:";
    for (const SettingLineNote& note : result.skipped)
      text += "\nline " + std::to_string(note.lineNumber) + ": " + note.reason;
    showMessage("Information", text, MessageIcon::Information);
  }
  refreshAllPages();
  linkTimer_->start();
  onLinkTimer();
}

} // namespace kelpax
