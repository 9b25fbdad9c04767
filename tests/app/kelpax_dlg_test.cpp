// The main window and the port window together, offscreen, against simulated cameras on
// pseudo-terminals and behind the simulated Camera Link serial library: scan, select,
// connect, menus, refresh and setting files as the operator meets them.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>
#include <unistd.h>

#include "app/about_dlg.h"
#include "app/kelpax_dlg.h"
#include "app/status_bar_widget.h"
#include "app/terminal_dlg.h"
#include "app/window_event_pump.h"
#include "editors/ffc_setting_page.h"
#include "editors/flat_field.h"
#include "editors/line_scan_correction_widget.h"
#include "editors/setting_multi_roi_dlg.h"
#include "pages/control_widgets.h"
#include "pages/ko/ko_kosetting.h"
#include "pages/ky/ky29c_pages.h"
#include "pages/trigger_page.h"
#include "pages/view_page.h"
#include "sim/pty_camera.h"
#include "tools/column_offset_dlg.h"
#include "tools/fs_dlg.h"

using namespace kelpax;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void settle(int ms = 0) {
  QApplication::processEvents();
  if (ms > 0)
    QTest::qWait(ms);
  QApplication::processEvents();
}

struct RecordedBox : MessageBoxSink {
  void showMessage(std::string_view caption, std::string_view text, MessageIcon) override {
    shown.push_back(std::string(caption) + "|" + std::string(text));
  }
  std::vector<std::string> shown;
};

struct RecordedQuit : QuitHook {
  void quit(int code) override { codes.push_back(code); }
  std::vector<int> codes;
};

// A working folder of its own, a few simulated cameras on pseudo-terminals named in its
// portlist.ini, and the two windows over them.
class Rig {
public:
  explicit Rig(std::vector<std::string> models, std::string extraSettings = {}) {
    static std::atomic<int> serial{0};
    folder_ = fs::temp_directory_path() /
              ("kelpax-dlg-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
    fs::create_directories(folder_ / "empty");
    std::string ini = "COMPORT_ONLY=1\nBaudRate=115200\n" + extraSettings;
    for (size_t i = 0; i < models.size(); ++i) {
      const std::string link = (folder_ / ("ttyCAM" + std::to_string(i))).string();
      ini += link + "=1\n";
      links_.push_back(link);
      startCamera(i, models[i]);
    }
    writeFile(folder_ / "portlist.ini", ini);

    CameraSession::Options where;
    where.workingFolder = folder_.string();
    where.libraryFolders = {(folder_ / "empty").string()};
    where.comPortLister = [] { return std::vector<std::string>{}; };
    where.deviceModelListPath = (folder_ / "DeviceModelList.ini").string();
    session = std::make_unique<CameraSession>(std::move(where));
    CKelpaxDlg::Options options;
    options.messageBox = &boxes;
    options.quitHook = &quits;
    options.sleeper = [this](int ms) { pauses.push_back(ms); };
    options.fileChooser.saveFile = [this](const QString&) { return chosenFile; };
    options.fileChooser.openFile = [this](const QString&) { return chosenFile; };
    options.beeper = [this](int hz, int ms) { beeps.emplace_back(hz, ms); };
    dlg = std::make_unique<CKelpaxDlg>(*session, std::move(options));
    dlg->initDialog();
    dlg->portDialog().holdFirstScan();
  }
  ~Rig() {
    dlg.reset();
    session.reset();
    cameras_.clear();
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  void startCamera(size_t index, const std::string& model, sim::Faults faults = {}) {
    if (cameras_.size() <= index)
      cameras_.resize(index + 1);
    cameras_[index].reset();
    sim::PtyOptions options;
    options.model = model;
    options.linkPath = links_[index];
    options.baud = 115200;
    options.pacing = false;
    options.faults = faults;
    cameras_[index] = std::make_unique<sim::PtyCamera>(options);
    std::string error;
    if (!cameras_[index]->start(&error))
      ADD_FAILURE() << error;
  }

  sim::PtyCamera& camera(size_t index) { return *cameras_[index]; }

  // The main window's parts, found as an operator's tools would find them.
  template <class T> T* part(const char* name) const {
    return dlg->findChild<T*>(QString::fromLatin1(name));
  }
  QTabBar* tabBar() const { return part<QTabBar>("tabs"); }
  CMyStatusBar* statusBar() const { return part<CMyStatusBar>("statusBar"); }
  QProgressBar* progressBar() const { return part<QProgressBar>("progressBar"); }
  CTerminal* terminal() const { return part<CTerminal>("terminal"); }
  CAboutDlg* aboutDialog() const { return part<CAboutDlg>("cameraInfo"); }
  QTimer* linkTimer() const { return part<QTimer>("linkTimer"); }
  const fs::path& folder() const { return folder_; }

  void scan() { dlg->portDialog().ScanPorts(); }
  QString cameraText(int row) const { return dlg->portDialog().portList()->item(row, 1)->text(); }
  // Scans and connects the camera of the given row.
  void connect(int row) {
    scan();
    dlg->portDialog().portList()->selectRow(row);
    dlg->portDialog().SelectPort();
    settle();
  }
  QStringList tabs() const {
    QStringList captions;
    for (int i = 0; i < tabBar()->count(); ++i)
      captions << tabBar()->tabText(i);
    return captions;
  }
  std::string query(const std::string& command) {
    return session->exchange().QueryValue(command, 1000);
  }

  RecordedBox boxes;
  RecordedQuit quits;
  std::vector<int> pauses;
  std::vector<std::pair<int, int>> beeps;
  std::string chosenFile;
  std::unique_ptr<CameraSession> session;
  std::unique_ptr<CKelpaxDlg> dlg;

private:
  fs::path folder_;
  std::vector<std::string> links_;
  std::vector<std::unique_ptr<sim::PtyCamera>> cameras_;
};

// Would catch the main window showing before a camera is connected, or the port window not
// listing, probing and connecting a port named by device path.
TEST(KelpaxDlg, HiddenUntilTheFirstConnectionThenShowsTheModelsTabs) {
  Rig rig({"Ko-4M-M180", "Ko-25MC-C65"});
  rig.dlg->show();
  EXPECT_FALSE(rig.dlg->isVisible());
  rig.scan();
  EXPECT_EQ(rig.dlg->portDialog().portList()->rowCount(), 2);
  EXPECT_EQ(rig.cameraText(0), "Ko-4M-M180");
  EXPECT_EQ(rig.cameraText(1), "Ko-25MC-C65");

  rig.dlg->portDialog().portList()->selectRow(1);
  rig.dlg->portDialog().SelectPort();
  settle();
  EXPECT_TRUE(rig.dlg->isVisible());
  EXPECT_FALSE(rig.dlg->portDialog().isVisible());
  EXPECT_TRUE(rig.session->connected());
  EXPECT_EQ(rig.session->modelName(), "Ko-25MC-C65");
  EXPECT_TRUE(rig.dlg->windowTitle().startsWith("Quorvane - Ko-25MC-C65 ("));
  EXPECT_EQ(rig.tabs().value(0), "VIEW");
  EXPECT_EQ(rig.dlg->visiblePages(), std::vector<PageId>{PageId::Ko_ViewSetting});
  EXPECT_EQ(rig.statusBar()->partText(0), "OK");
  EXPECT_EQ(rig.statusBar()->partText(3), "V3.1.0.53050");
  EXPECT_EQ(rig.statusBar()->drawnText(), "42.5 ");
  EXPECT_FALSE(rig.progressBar()->isVisible());
  EXPECT_TRUE(rig.linkTimer()->isActive());
  EXPECT_EQ(rig.linkTimer()->interval(), 1000);
}

// Would catch the defect menus not reaching the camera, an uploaded file that differs from the
// one downloaded, a firmware image sent under the wrong commands, or the status bar left in its
// transfer state.
TEST(KelpaxDlg, DefectPixelAndSystemUpgradeMenus) {
  Rig rig({"Ko-25MC-C65"});
  rig.connect(0);
  const std::string list = ":Quorvane Camera Defective Pixel Data\n:H,V\n0,0\n1,3\n5,3\n";
  rig.chosenFile = (rig.folder() / "defects.csv").string();
  writeFile(rig.chosenFile, "5,3\n1,3\n5,3\n0,0\n");
  rig.dlg->runMenuCommand(kIdDefectDownload);
  EXPECT_EQ(rig.statusBar()->partText(0), "Download completed");
  EXPECT_EQ(rig.beeps, (std::vector<std::pair<int, int>>{{2000, 200}, {3000, 200}}));
  EXPECT_FALSE(rig.progressBar()->isVisible());
  EXPECT_TRUE(rig.statusBar()->partText(1).isEmpty());

  rig.chosenFile = (rig.folder() / "back").string();
  rig.dlg->runMenuCommand(kIdDefectUpload);
  EXPECT_EQ(readFile(rig.folder() / "back.csv"), list) << "sorted, duplicates gone";
  ASSERT_FALSE(rig.boxes.shown.empty());
  EXPECT_EQ(rig.boxes.shown.back(), "Information|File saving was completed!");

  // An image under a package extension the table does not know is refused before sending.
  rig.chosenFile = (rig.folder() / "image.PKG").string();
  writeFile(rig.chosenFile, "\x01");
  const size_t boxes = rig.boxes.shown.size();
  rig.dlg->runMenuCommand(kIdUpgradePackage);
  EXPECT_EQ(rig.boxes.shown.size(), boxes + 1);
  EXPECT_EQ(rig.query("simstore 0000"), "0/0");
  rig.chosenFile = (rig.folder() / "image.mcu").string();
  writeFile(rig.chosenFile, std::string(3000, 'M'));
  rig.dlg->runMenuCommand(kIdUpgradeMcu);
  EXPECT_EQ(rig.statusBar()->partText(0), "Download completed");
  EXPECT_NE(rig.query("simstore 5000"), "0/0");
  EXPECT_TRUE(rig.session->exchange().SendCommand("gmn").accepted()) << "the link afterwards";
}

// Would catch a selected tab not showing its page, or a Ko camera's pages mixed up.
TEST(KelpaxDlg, EachTabShowsItsPage) {
  Rig rig({"Ko-4M-M180"});
  rig.connect(0);
  ASSERT_TRUE(rig.session->connected());
  rig.tabBar()->setCurrentIndex(1);
  EXPECT_EQ(rig.dlg->visiblePages(), std::vector<PageId>{PageId::Ko_TriggerSetting});
  EXPECT_TRUE(rig.dlg->page(PageId::Ko_TriggerSetting)->isVisible());
  EXPECT_FALSE(rig.dlg->page(PageId::Ko_ViewSetting)->isVisible());
  rig.tabBar()->setCurrentIndex(2);
  EXPECT_EQ(rig.dlg->visiblePages(), std::vector<PageId>{PageId::Ko_AFESetting});
}

// Would catch a trigger-page change not reaching the camera, a saved file missing it, or a
// load into another camera of the family not replaying it.
TEST(KelpaxDlg, TriggerChangeIsSavedToAFileAndReplayedIntoAnotherCamera) {
  Rig rig({"Ko-4M-M180", "Ko-25MC-C65"});
  rig.connect(0);
  ASSERT_TRUE(rig.session->connected());
  ASSERT_EQ(rig.query("gtm"), "0");

  rig.tabBar()->setCurrentIndex(1);
  auto* trigger = static_cast<CKo_TriggerSetting*>(rig.dlg->page(PageId::Ko_TriggerSetting));
  SettingsPage::RadioGroup* mode = trigger->radioGroup("tm");
  ASSERT_NE(mode, nullptr);
  QTest::mouseClick(mode->buttons[1], Qt::LeftButton);
  settle(50);
  EXPECT_EQ(rig.query("gtm"), "1");
  EXPECT_EQ(rig.session->camera().parameterCache().intValue("tm"), 1);

  rig.chosenFile = (rig.folder() / "Line Two").string();
  rig.dlg->runMenuCommand(kIdSaveToFile);
  const fs::path saved = rig.folder() / "Line Two.csf";
  ASSERT_TRUE(fs::exists(saved)) << "the extension is appended, the name keeps its capitals";
  const std::string text = readFile(saved);
  EXPECT_EQ(text.rfind("--Quorvane Camera Setting File \r\n--Model Name :Ko-4M-M180\r\n", 0), 0u);
  EXPECT_NE(text.find("\nstm 1\r\n"), std::string::npos);
  EXPECT_TRUE(rig.boxes.shown.empty());

  // The other camera: back to the scan, select it, load the file.
  rig.dlg->runMenuCommand(kIdChangePort);
  EXPECT_TRUE(rig.dlg->portDialog().isVisible());
  rig.dlg->portDialog().portList()->selectRow(1);
  rig.dlg->portDialog().SelectPort();
  settle();
  ASSERT_EQ(rig.session->modelName(), "Ko-25MC-C65");
  ASSERT_EQ(rig.query("gtm"), "0");
  rig.chosenFile = saved.string();
  rig.dlg->runMenuCommand(kIdLoadFromFile);
  EXPECT_EQ(rig.query("gtm"), "1");
  EXPECT_EQ(rig.session->camera().parameterCache().intValue("tm"), 1);
  settle();
  EXPECT_TRUE(mode->buttons[1]->isChecked()) << "the pages show the loaded values";
  EXPECT_FALSE(rig.progressBar()->isVisible());
}

// Would catch a "Sleep 500" line reaching the camera or the pause being skipped.
TEST(KelpaxDlg, SleepLinesPauseAndSendNothing) {
  Rig rig({"Ko-4M-M180"});
  rig.connect(0);
  const fs::path file = rig.folder() / "pause.csf";
  writeFile(file, "--Quorvane Camera Setting File \r\nSleep 500\r\nstm 2\r\n");
  rig.chosenFile = file.string();
  const int before = rig.camera(0).commandsReceived();
  rig.dlg->runMenuCommand(kIdLoadFromFile);
  EXPECT_EQ(rig.pauses, std::vector<int>{500});
  // One line sent, then the refresh reads nothing more from the camera itself.
  EXPECT_EQ(rig.camera(0).commandsReceived() - before, 1);
  EXPECT_EQ(rig.query("gtm"), "2");
}

// Would catch a refused "lcf 1" re-reading every value (it changes nothing in the camera).
TEST(KelpaxDlg, RefusedSettingSpaceLoadDoesNotReadAgain) {
  Rig rig({"Ko-4M-M180"});
  rig.connect(0);
  sim::Faults refusing;
  refusing.errorAnswers = true;
  rig.camera(0).setFaults(refusing);
  const int before = rig.camera(0).commandsReceived();
  rig.dlg->runMenuCommand(kIdLoadUser1);
  EXPECT_EQ(rig.camera(0).commandsReceived() - before, 1);

  // Accepted, it reads everything again.
  rig.camera(0).setFaults({});
  const int accepted = rig.camera(0).commandsReceived();
  rig.dlg->runMenuCommand(kIdLoadUser1);
  EXPECT_GT(rig.camera(0).commandsReceived() - accepted,
            int(rig.session->camera().parameterCache().size()));
}

// Would catch the start-up choice checked although the camera refused it, or two checked.
TEST(KelpaxDlg, StartUpItemFollowsTheCamerasAnswer) {
  Rig rig({"Ko-4M-M180"});
  rig.connect(0);
  EXPECT_TRUE(rig.dlg->action(kIdStartupFactory)->isChecked());
  rig.dlg->action(kIdStartupUser2)->trigger();
  EXPECT_TRUE(rig.dlg->action(kIdStartupUser2)->isChecked());
  EXPECT_FALSE(rig.dlg->action(kIdStartupFactory)->isChecked());
  EXPECT_EQ(rig.query("gci"), "2");

  sim::Faults refusing;
  refusing.errorAnswers = true;
  rig.camera(0).setFaults(refusing);
  rig.dlg->action(kIdStartupUser1)->trigger();
  EXPECT_FALSE(rig.dlg->action(kIdStartupUser1)->isChecked());
  EXPECT_TRUE(rig.dlg->action(kIdStartupUser2)->isChecked());
}

// Would catch Exit closing the program in the middle of a binary transfer.
TEST(KelpaxDlg, ExitIsRefusedDuringATransfer) {
  Rig rig({"Ko-4M-M180"});
  rig.connect(0);
  rig.session->setTransferFlags(false, true);
  rig.dlg->runMenuCommand(kIdExit);
  EXPECT_TRUE(rig.quits.codes.empty());
  EXPECT_TRUE(rig.session->exchange().port().isOpen());
  rig.dlg->close();
  EXPECT_TRUE(rig.quits.codes.empty()) << "the window's close box is refused too";
  rig.session->setTransferFlags(false, false);
  rig.dlg->runMenuCommand(kIdExit);
  EXPECT_EQ(rig.quits.codes, std::vector<int>{0});
  EXPECT_FALSE(rig.session->exchange().port().isOpen());
}

// Would catch Refresh re-reading a different camera as if it were the connected model.
TEST(KelpaxDlg, RefreshWithAnotherCameraReturnsToTheScan) {
  Rig rig({"Ko-4M-M180"});
  rig.connect(0);
  ASSERT_TRUE(rig.session->connected());
  rig.dlg->runMenuCommand(kIdRefresh);
  EXPECT_TRUE(rig.session->connected()) << "the same camera is simply read again";
  EXPECT_FALSE(rig.dlg->portDialog().isVisible());

  rig.startCamera(0, "Ka-47M-M40");
  rig.dlg->runMenuCommand(kIdRefresh);
  EXPECT_FALSE(rig.session->connected());
  EXPECT_TRUE(rig.dlg->portDialog().isVisible());
  EXPECT_EQ(rig.cameraText(0), "Ka-47M-M40") << "the port was scanned again";
}

// Would catch LOCK=ON leaving any File, Start-Up or Tool item usable.
TEST(KelpaxDlg, LockOnGreysFileStartUpAndTool) {
  Rig rig({"Ko-4M-M180"}, "LOCK=ON\n");
  for (int id : {kIdLoadFromFile, kIdLoadUser1, kIdSaveToFile, kIdSaveUser2, kIdExit,
                 kIdDefectDownload, kIdStartupFactory, kIdRefresh, kIdTerminal, kIdHighSpeed})
    EXPECT_FALSE(rig.dlg->action(id)->isEnabled()) << id;
  rig.connect(0);
  EXPECT_FALSE(rig.dlg->action(kIdHighSpeed)->isEnabled()) << "a refresh keeps the lock";
  EXPECT_FALSE(rig.dlg->page(PageId::Ko_ViewSetting)->isEnabled());
}

// Would catch a missing LOCK not written as OFF, or the factory items usable without the key.
TEST(KelpaxDlg, LockOffLeavesFactoryItemsDisabledUntilTheKeyFileExists) {
  Rig rig({"Ko-4M-M180"});
  EXPECT_NE(readFile(rig.folder() / "portlist.ini").find("LOCK=OFF"), std::string::npos);
  EXPECT_TRUE(rig.dlg->action(kIdSaveUser1)->isEnabled());
  EXPECT_FALSE(rig.dlg->action(kIdSaveFactory)->isEnabled());
  EXPECT_FALSE(rig.dlg->action(kIdFactorySetting)->isEnabled());
  EXPECT_FALSE(rig.dlg->action(kIdAcquisitionStart)->isEnabled());
  rig.connect(0);
  EXPECT_FALSE(rig.dlg->action(kIdFactorySetting)->isEnabled());
  writeFile(rig.folder() / "kxfactory.key", "");
  rig.dlg->refreshAllPages();
  EXPECT_TRUE(rig.dlg->action(kIdFactorySetting)->isEnabled());
}

// Would catch the echo left in the Camera Info fields, or the link icon not following the port.
TEST(KelpaxDlg, CameraInfoShowsTheAnswersWithoutTheirEcho) {
  Rig rig({"Ko-4M-M180"});
  rig.connect(0);
  rig.dlg->runMenuCommand(kIdCameraInfo);
  EXPECT_EQ(rig.aboutDialog()->cameraName(), "Ko-4M-M180");
  EXPECT_EQ(rig.aboutDialog()->serialNumber().toStdString(), rig.query("gsn piece"));
  EXPECT_EQ(rig.aboutDialog()->fpgaVersion().toStdString(), rig.query("gfv"));
  EXPECT_EQ(rig.aboutDialog()->versionText(), "V3.1.0.53050");
  rig.aboutDialog()->hide();
}

// Would catch High Speed usable on a camera that keeps no such setting.
TEST(KelpaxDlg, HighSpeedIsGreyWhereTheCameraKeepsNoValue) {
  Rig rig({"Ko-4M-M180"});
  rig.connect(0);
  EXPECT_FALSE(rig.dlg->action(kIdHighSpeed)->isEnabled());
}

// Would catch a terminal command the camera accepted not being shown on the pages.
TEST(KelpaxDlg, TerminalShowsAndCommandsRefreshThePages) {
  Rig rig({"Ko-4M-M180"});
  rig.connect(0);
  const int height = rig.dlg->height();
  rig.dlg->runMenuCommand(kIdTerminal);
  EXPECT_TRUE(!rig.terminal()->isHidden());
  EXPECT_TRUE(rig.dlg->action(kIdTerminal)->isChecked());
  EXPECT_GT(rig.dlg->height(), height);
  rig.terminal()->inputLine()->setText("stm 3");
  rig.terminal()->SendTerminalCommand();
  settle(50);
  EXPECT_EQ(rig.session->camera().parameterCache().intValue("tm"), 3);
  EXPECT_NE(rig.terminal()->terminalText().find("stm 3"), std::string::npos);
  rig.dlg->runMenuCommand(kIdTerminal);
  EXPECT_FALSE(!rig.terminal()->isHidden());
  EXPECT_EQ(rig.dlg->height(), height);
}

// Would catch a model listed for GenICam being driven over the serial channel. The camera on
// this PC port speaks no GenCP, so the open finds no device and says so; the program goes on.
TEST(KelpaxDlg, ListedGenICamModelTakesTheGenICamOpen) {
  Rig rig({"Ko-4M-M180"});
  rig.scan();
  std::string hashes(50, '#');
  writeFile(rig.folder() / "DeviceModelList.ini", hashes + "\n" + hashes + "\n" + hashes +
                                                      "\n\n\n" + hashes + "\n" + hashes + "\n" +
                                                      hashes + "\n\nKo-4M-M180");
  rig.dlg->portDialog().portList()->selectRow(0);
  rig.dlg->portDialog().SelectPort();
  EXPECT_FALSE(rig.session->connected());
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].rfind("Error|Failed to connect the device(-1001).", 0), 0u)
      << rig.boxes.shown[0];
  EXPECT_TRUE(rig.quits.codes.empty());
}

// Would catch a port whose camera was not identified being connected.
TEST(KelpaxDlg, UnidentifiedPortIsNotConnected) {
  sim::Faults silent;
  silent.silent = true;
  Rig rig({"Ko-4M-M180"});
  rig.startCamera(0, "Ko-4M-M180", silent);
  rig.scan();
  EXPECT_EQ(rig.cameraText(0), "Not found");
  rig.dlg->portDialog().portList()->selectRow(0);
  rig.dlg->portDialog().SelectPort();
  EXPECT_FALSE(rig.session->connected());
  EXPECT_EQ(rig.boxes.shown, std::vector<std::string>{"Kelpax|Camera not found"});
}

} // namespace

namespace {

// Would catch the connection giving up on a camera that answers every value query badly.
TEST(KelpaxDlg, InitialReadGoesOnAfterTenFailures) {
  Rig rig({"Ko-4M-M180"});
  rig.scan();
  sim::Faults refusing;
  refusing.errorAnswers = true;
  rig.camera(0).setFaults(refusing);
  const int before = rig.camera(0).commandsReceived();
  rig.dlg->portDialog().portList()->selectRow(0);
  rig.dlg->portDialog().SelectPort();
  settle();
  EXPECT_TRUE(rig.session->connected());
  EXPECT_TRUE(rig.dlg->isVisible());
  const ParameterCache& cache = rig.session->camera().parameterCache();
  ASSERT_GT(cache.size(), 20u);
  // Every value asked (the first twice or more), none taken.
  EXPECT_GE(rig.camera(0).commandsReceived() - before, int(cache.size()));
  EXPECT_FALSE(cache.holdsValue("tm"));
  EXPECT_EQ(rig.statusBar()->partText(0), "OK");
}

// Would catch a scan of several ports that freezes the window while its ports are probed side
// by side (no timer fires), rows filled out of order, or a chosen row other than the first
// camera found in table order.
TEST(CGetPortDlg, ScanOfSeveralPortsKeepsTheWindowAliveAndChoosesTheFirstCamera) {
  Rig rig({"Ko-4M-M180", "Ko-25MC-C65", "Ko-4M-M180"});
  sim::Faults silent;
  silent.silent = true;
  rig.startCamera(0, "Ko-4M-M180", silent);
  QTimer ticker;
  int ticks = 0;
  QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
  ticker.start(20);
  const auto start = std::chrono::steady_clock::now();
  rig.scan();
  const auto took = std::chrono::steady_clock::now() - start;
  ticker.stop();
  CPortListCtrl* list = rig.dlg->portDialog().portList();
  ASSERT_EQ(list->rowCount(), 3);
  EXPECT_EQ(rig.cameraText(0), "Not found");
  EXPECT_EQ(rig.cameraText(1), "Ko-25MC-C65");
  EXPECT_EQ(rig.cameraText(2), "Ko-4M-M180");
  EXPECT_EQ(list->currentRow(), 1);
  EXPECT_EQ(rig.session->port().currentIndex(), 1);
  // The silent port's model query alone waits 300 ms; the window had its turns meanwhile.
  EXPECT_GE(took, std::chrono::milliseconds(300));
  EXPECT_GE(ticks, 5);
}

// Would catch a portlist.ini too large to read leaving the operator with an empty list and no
// reason (the cameras it names by path are not even listed), or the file rewritten.
TEST(CGetPortDlg, PortListTooLargeToReadIsExplained) {
  Rig rig({"Ko-4M-M180"});
  const fs::path file = rig.folder() / "portlist.ini";
  const std::string text =
      readFile(file) + ":" + std::string(PortSettings::kMaxFileSize, '-') + "\n";
  writeFile(file, text);
  rig.scan();
  EXPECT_EQ(rig.dlg->portDialog().portList()->rowCount(), 0);
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].rfind("Error|portlist.ini is too large to read (", 0), 0u)
      << rig.boxes.shown[0];
  EXPECT_NE(rig.boxes.shown[0].find(std::to_string(text.size()) + " bytes"), std::string::npos);
  EXPECT_EQ(readFile(file), text);

  // Cut back to a readable size, the next scan lists the camera and says nothing more.
  writeFile(file, text.substr(0, text.find(':')));
  // The first scan took the default interface (Camera Link only) in place of the file's.
  rig.dlg->portDialog().interfaceCombo()->setCurrentIndex(int(InterfaceMode::ComOnly));
  rig.scan();
  EXPECT_EQ(rig.cameraText(0), "Ko-4M-M180");
  EXPECT_EQ(rig.boxes.shown.size(), 1u);
}

// Would catch the copy taking the port column, or rows joined without CR LF.
TEST(CGetPortDlg, CopyTakesTheCameraColumnOfSelectedRows) {
  Rig rig({"Ko-4M-M180", "Ko-25MC-C65"});
  rig.scan();
  CPortListCtrl* list = rig.dlg->portDialog().portList();
  list->selectAll();
  rig.dlg->portDialog().copySelection();
  EXPECT_EQ(QApplication::clipboard()->text(), "Ko-4M-M180\r\nKo-25MC-C65");
}

// Would catch "Add to list" writing a model twice, or a listed model still connecting over
// the serial channel.
TEST(CGetPortDlg, ModelListAddAndDelete) {
  Rig rig({"Ko-4M-M180"});
  rig.scan();
  CGetPortDlg& ports = rig.dlg->portDialog();
  ports.AddModelToList(0);
  ports.AddModelToList(0);
  const std::string text = readFile(rig.folder() / "DeviceModelList.ini");
  EXPECT_EQ(text.find("Ko-4M-M180"), text.rfind("Ko-4M-M180"));
  EXPECT_NE(text.find("Ko-4M-M180"), std::string::npos);
  ports.DeleteModelFromList(0);
  EXPECT_EQ(readFile(rig.folder() / "DeviceModelList.ini").find("Ko-4M-M180"), std::string::npos);
  ports.portList()->selectRow(0);
  ports.SelectPort();
  EXPECT_TRUE(rig.session->connected());
}

// Would catch an accepted baud-rate change leaving the program on a port the camera no
// longer answers at.
TEST(KelpaxDlg, AcceptedBaudRateChangeInTheTerminalScansAgain) {
  Rig rig({"Ko-4M-M180"});
  rig.connect(0);
  rig.dlg->runMenuCommand(kIdTerminal);
  rig.terminal()->inputLine()->setText("sbr 115200");
  rig.terminal()->SendTerminalCommand();
  settle(300);
  EXPECT_TRUE(rig.dlg->portDialog().isVisible());
  EXPECT_EQ(rig.cameraText(0), "Ko-4M-M180");
}

// Would catch an accepted rate change re-reading every setting at the rate the camera has left
// (one time-out each) before its rescan can run.
TEST(KelpaxDlg, RateChangeInTheTerminalGoesStraightToTheRescan) {
  Rig rig({"Ko-4M-M180"});
  rig.connect(0);
  ASSERT_TRUE(rig.session->connected());
  rig.dlg->runMenuCommand(kIdTerminal);
  rig.terminal()->inputLine()->setText("sbr 9600");
  const auto start = std::chrono::steady_clock::now();
  rig.terminal()->SendTerminalCommand();
  const auto sent = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(rig.camera(0).lineRate(), 9600);
  EXPECT_LT(sent, std::chrono::seconds(2));
  settle(300);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2) + sent);
  EXPECT_TRUE(rig.dlg->portDialog().isVisible()) << "the rescan has begun";
}

// Would catch a camera that went quiet costing one time-out per setting before the window
// says "OK" with the link up.
TEST(KelpaxDlg, SilentCameraEndsTheReadWithinFiveTimeOutsAndShowsTheLinkDown) {
  Rig rig({"Ko-4M-M180"});
  rig.connect(0);
  ASSERT_TRUE(rig.session->connected());
  sim::Faults quiet;
  quiet.silent = true;
  rig.camera(0).setFaults(quiet);
  const auto start = std::chrono::steady_clock::now();
  rig.dlg->InitialRead();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  settle();
  EXPECT_LT(seconds, 5 * 3.0 + 1.0);
  EXPECT_FALSE(rig.session->connected());
  EXPECT_FALSE(rig.session->linkUp());
  EXPECT_NE(rig.statusBar()->partText(0), "OK");
  EXPECT_EQ(rig.statusBar()->partText(0).toStdString().rfind("Camera lost", 0), 0u)
      << rig.statusBar()->partText(0).toStdString();
  EXPECT_FALSE(rig.progressBar()->isVisible());
  EXPECT_FALSE(rig.linkTimer()->isActive());
  std::cout << "silent camera: the read ended after " << seconds << " s\n";
}

// Would catch a click reaching a button while the channel is busy, or Cancel not getting
// through.
TEST(WindowEventPump, DropsInputExceptTheCancelButton) {
  QWidget window;
  auto* other = new QPushButton("SELECT", &window);
  auto* cancel = new QPushButton("Cancel", &window);
  other->setGeometry(0, 0, 80, 30);
  cancel->setGeometry(100, 0, 80, 30);
  window.show();
  settle();
  int otherClicks = 0;
  QObject::connect(other, &QPushButton::clicked, [&] { ++otherClicks; });
  WindowEventPump pump;
  pump.setCancelButton(cancel);

  QTest::mousePress(other, Qt::LeftButton);
  QTest::mouseRelease(other, Qt::LeftButton);
  EXPECT_EQ(otherClicks, 1) << "outside a wait the button works";

  // Events posted while a wait pumps: the press on the other button is thrown away.
  const QPoint centre = other->rect().center();
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QApplication::postEvent(other, new QMouseEvent(type, centre, other->mapToGlobal(centre),
                                                   Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
  }
  EXPECT_FALSE(pump.pumpEvents());
  EXPECT_EQ(otherClicks, 1);

  const QPoint cancelCentre = cancel->rect().center();
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QApplication::postEvent(cancel,
                            new QMouseEvent(type, cancelCentre, cancel->mapToGlobal(cancelCentre),
                                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
  }
  EXPECT_TRUE(pump.pumpEvents()) << "the transfer is asked to stop";
  EXPECT_FALSE(pump.pumpEvents()) << "once";
}

// Would catch a GenICam open result shown with the wrong text, or the program not ending
// after the results that leave it unusable.
TEST(CGetPortDlg, GenICamOpenResultsTable) {
  struct Row {
    int result;
    const char* text;
    bool quits;
  };
  const Row rows[] = {
      {-10002, "Interface error occured.", false},
      {-10005, "XMLString is empty.", true},
      {-10006, "Failed to load XML or connect the device.", true},
      {-10007,
       "Failed to update device list.\r\nPlease check if the camera is connected and supports "
       "GenICam.",
       true},
      {-10008,
       "Required modules for operation cannot be found.\r\nYou can configure the necessary "
       "components by running the \"Setup.bat\" file.",
       true},
      {-1001, "Failed to connect the device(-1001).\r\nPlease try again.", false},
  };
  for (const Row& row : rows) {
    const GenICamOpenMessage message = genICamOpenMessage(row.result);
    EXPECT_EQ(message.text, row.text) << row.result;
    EXPECT_EQ(message.quits, row.quits) << row.result;
  }
}

} // namespace

// Would catch the service tools left unreachable: "stitch" typed in the terminal opens the
// Stitch dialog, and the nano-stage command brings up the stage tab of a stage camera.
TEST(KelpaxDlg, TerminalOpensStitchAndTheStageCommandShowsTheStagePage) {
  Rig rig({"KnP-16M-M4"});
  rig.connect(0);
  ASSERT_TRUE(rig.session->connected());
  rig.dlg->runMenuCommand(kIdStagePage);
  EXPECT_EQ(rig.dlg->visiblePages(), std::vector<PageId>{PageId::StageCtrlDlg});
  EXPECT_TRUE(rig.dlg->page(PageId::StageCtrlDlg)->isVisible());

  rig.dlg->runMenuCommand(kIdTerminal);
  rig.terminal()->inputLine()->setText("stitch");
  rig.terminal()->SendTerminalCommand();
  settle(50);
  QDialog* stitch = rig.dlg->findChild<QDialog*>(QStringLiteral("stitchDialog"));
  ASSERT_NE(stitch, nullptr);
  EXPECT_TRUE(stitch->isVisible());
  EXPECT_EQ(stitch->windowTitle(), QStringLiteral("Stitch"));
}

// The Ka 47M page's flag chooses the FFC tab's page at connection, and the Ky ROI page is
// initialised when first shown after the tabs were built. Would catch the flag never asked
// (the tab would show the older flat-field page) or a ROI page showing no window the camera
// chose.
TEST(KelpaxDlg, Ka47MFlagChoosesTheFfcPageAndKyRoiInitialisesWhenShown) {
  Rig ka({"Ka-47M-M40"});
  ka.connect(0);
  ASSERT_TRUE(ka.session->connected());
  ka.tabBar()->setCurrentIndex(0);
  EXPECT_EQ(ka.dlg->visiblePages(), std::vector<PageId>{PageId::Ka47M_Setting});
  ka.tabBar()->setCurrentIndex(3);
  EXPECT_EQ(ka.dlg->visiblePages(), std::vector<PageId>{PageId::FFCSelectorSetting})
      << "the simulated FPGA is version 2.04";

  Rig ky({"Ky-29M-C5"});
  ky.connect(0);
  ASSERT_TRUE(ky.session->connected());
  auto* roi = qobject_cast<CKy29CROIDlg*>(ky.dlg->page(PageId::Ky29CROIDlg));
  ASSERT_NE(roi, nullptr);
  EXPECT_FALSE(roi->initialised());
  ky.tabBar()->setCurrentIndex(5);
  settle();
  EXPECT_EQ(ky.dlg->visiblePages(), std::vector<PageId>{PageId::Ky29CROIDlg});
  EXPECT_TRUE(roi->initialised());
  EXPECT_EQ(roi->shownWindow(), CKy29CROIDlg::kOff);
}
namespace {

// Would catch Tool -> Factory Setting leaving a Ko camera without its factory page, or the
// page shown before it read the camera.
TEST(KelpaxDlg, FactorySettingOpensTheKoFactoryPage) {
  Rig rig({"Ko-4M-M180"});
  writeFile(rig.folder() / "kxfactory.key", "");
  rig.connect(0);
  rig.dlg->runMenuCommand(kIdFactorySetting);
  auto* factory = rig.dlg->findChild<CKo_Kosetting*>();
  ASSERT_NE(factory, nullptr);
  EXPECT_TRUE(factory->isVisible());
  EXPECT_EQ(factory->biasEdit(0)->text(), "180");
  EXPECT_TRUE(factory->button("Download")->isEnabled()) << "the session's transfer engine";
  EXPECT_TRUE(factory->button("Defect Down")->isEnabled());
  factory->hide();
}

// Tool → Factory Setting shows the factory dialog for a CCD camera with the camera's timing
// words read; its Close leaves the tuning mode. A Ko camera gets its own factory page instead.
TEST(KelpaxDlg, FactorySettingShowsTheFactoryDialogWhereTheModelHasIt) {
  Rig rig({"Kx-4M-M40", "Ko-4M-M180"});
  writeFile(rig.folder() / "kxfactory.key", "");
  rig.connect(0);
  ASSERT_TRUE(rig.dlg->action(kIdFactorySetting)->isEnabled());
  CFSDlg* fs = rig.dlg->factoryDialog();
  ASSERT_NE(fs, nullptr);
  EXPECT_FALSE(fs->isVisible());
  rig.dlg->action(kIdFactorySetting)->trigger();
  settle();
  EXPECT_TRUE(fs->isVisible());
  EXPECT_TRUE(rig.dlg->tuningPageShown());
  EXPECT_TRUE(rig.dlg->action(kIdSaveFactory)->isEnabled());
  EXPECT_EQ(fs->channelEdit(12)->value(), 12) << "RG width as the camera reports it";
  EXPECT_EQ(fs->intEdit(QStringLiteral("AFE Delay :"))->value(), 14);
  // The column offset dialog opens from the factory dialog.
  fs->button(QStringLiteral("Column Offset Download"))->click();
  ASSERT_NE(fs->columnOffsetDialog(), nullptr);
  EXPECT_TRUE(fs->columnOffsetDialog()->isVisible());
  fs->button(QStringLiteral("Close"))->click();
  EXPECT_FALSE(fs->isVisible());
  EXPECT_FALSE(rig.dlg->tuningPageShown());
  EXPECT_TRUE(rig.boxes.shown.empty());

  // A Ko camera is tuned on its own factory page, not in this dialog.
  rig.dlg->runMenuCommand(kIdChangePort);
  rig.connect(1);
  rig.dlg->runMenuCommand(kIdFactorySetting);
  EXPECT_FALSE(fs->isVisible());
  auto* koFactory = rig.dlg->findChild<CKo_Kosetting*>();
  ASSERT_NE(koFactory, nullptr);
  EXPECT_TRUE(koFactory->isVisible());
  koFactory->hide();
}

// Tool -> Multi-ROI on a multi-region camera opens the dialog with the camera's regions, and a
// setting file saved from the main window ends with them; on a camera without regions the
// item is grey. Would catch the handler never installed (the file without regions), or a
// dialog left over the previous camera's regions after a change of port.
TEST(KelpaxDlg, MultiRoiFromTheToolMenuAndInSettingFiles) {
  Rig rig({"Ko-25MC-C65", "Ko-2M-M75"});
  rig.connect(0);
  ASSERT_TRUE(rig.session->connected());
  EXPECT_TRUE(rig.dlg->action(kIdMultiRoi)->isEnabled());
  rig.query("srs 2");
  rig.query("sih 700");
  rig.query("src 1");
  rig.dlg->runMenuCommand(kIdMultiRoi);
  settle();
  auto* roi = rig.dlg->findChild<CSettingMultiRoi*>();
  ASSERT_NE(roi, nullptr);
  EXPECT_TRUE(roi->isVisible());
  ASSERT_EQ(roi->table()->rowCount(), 8);
  EXPECT_EQ(roi->table()->item(2, 3)->text(), "700");
  EXPECT_EQ(roi->table()->item(2, 4)->text(), "On");

  rig.chosenFile = (rig.folder() / "regions").string();
  rig.dlg->runMenuCommand(kIdSaveToFile);
  const std::string text = readFile(rig.folder() / "regions.csf");
  EXPECT_NE(text.find("\r\nsrs 2\r\nsiw 5120\r\nsih 700\r\nsox 0\r\nsoy 0\r\nsrc 1\r\n"),
            std::string::npos)
      << text;
  EXPECT_TRUE(rig.boxes.shown.empty()) << rig.boxes.shown.front();

  rig.dlg->runMenuCommand(kIdChangePort);
  rig.dlg->portDialog().portList()->selectRow(1);
  rig.dlg->portDialog().SelectPort();
  settle();
  ASSERT_EQ(rig.session->modelName(), "Ko-2M-M75");
  EXPECT_EQ(rig.dlg->findChild<CSettingMultiRoi*>(), nullptr);
  EXPECT_FALSE(rig.dlg->action(kIdMultiRoi)->isEnabled());
  rig.dlg->runMenuCommand(kIdMultiRoi);
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0], "Information|This camera reads out one region only.");
}

// The image page's "Multi ROI" mode opens the region table, as Tool -> Multi-ROI does; the
// pointer over its picture shows the region number on the image page. Would catch the mode
// sent without the table opening, or the picture not reaching the page.
TEST(KelpaxDlg, MultiRoiModeOpensTheRegionTable) {
  Rig rig({"Ko-25MC-C65"});
  rig.connect(0);
  ASSERT_TRUE(rig.session->connected());
  rig.tabBar()->setCurrentIndex(0);
  settle();
  auto* view = qobject_cast<CKo_ViewSetting*>(rig.dlg->page(PageId::Ko_ViewSetting));
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(view->isVisible());
  EXPECT_EQ(rig.dlg->findChild<CSettingMultiRoi*>(), nullptr);
  QTest::mouseClick(view->radioGroup("rm")->buttons.at(1), Qt::LeftButton);
  settle();
  EXPECT_EQ(rig.dlg->findChild<CSettingMultiRoi*>(), nullptr) << "ROI is one region";

  rig.query("srs 1");
  rig.query("sih 900");
  QTest::mouseClick(view->radioGroup("rm")->buttons.at(2), Qt::LeftButton);
  settle();
  EXPECT_EQ(rig.session->camera().cacheInt("rm"), 2);
  auto* roi = rig.dlg->findChild<CSettingMultiRoi*>();
  ASSERT_NE(roi, nullptr);
  EXPECT_TRUE(roi->isVisible());
  ASSERT_EQ(roi->table()->rowCount(), 8);
  EXPECT_EQ(roi->table()->item(1, 3)->text(), "900") << "the regions were read";

  // Region 0 covers the sensor: the pointer over it names it on the image page.
  CAOIGraph* graph = roi->graph();
  const QPointF middle = graph->sensorRectIn().center();
  QEnterEvent enter(middle, middle, graph->mapToGlobal(middle));
  QApplication::sendEvent(graph, &enter);
  EXPECT_EQ(view->regionNumberLabel()->text(), "ROI Number: 0");
  EXPECT_FALSE(view->regionNumberLabel()->isHidden());
  EXPECT_FALSE(view->pointerLabel()->isHidden());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(graph, &leave);
  EXPECT_TRUE(view->regionNumberLabel()->isHidden());

  // Closed, it opens again when "Multi ROI" is pressed while already chosen.
  roi->hide();
  QTest::mouseClick(view->radioGroup("rm")->buttons.at(2), Qt::LeftButton);
  settle();
  EXPECT_TRUE(roi->isVisible());
  EXPECT_TRUE(rig.boxes.shown.empty()) << rig.boxes.shown.front();
}

// While the port window scans again the flat-field page's buttons and the line-scan pages'
// dark and PRNU controls neither ask for a file nor send a command; after the camera is chosen
// again they do. Would catch a page or control never told of the main window's scan.
TEST(KelpaxDlg, FlatFieldButtonsWaitWhileThePortsAreScanned) {
  Rig rig({"Kx-4M-M40"});
  rig.connect(0);
  ASSERT_TRUE(rig.session->connected());
  auto* ffc = qobject_cast<CFFCSetting*>(rig.dlg->page(PageId::FFCSetting));
  auto* ku = rig.dlg->findChild<CKuCorrectionWidget*>();
  auto* ke = rig.dlg->findChild<CKeCorrectionWidget*>();
  ASSERT_NE(ffc, nullptr);
  ASSERT_NE(ku, nullptr);
  ASSERT_NE(ke, nullptr);
  int filesAsked = 0;
  std::vector<std::string> messages;
  for (PageDialogs* dialogs : {&ffc->dialogs(), &ku->dialogs(), &ke->dialogs()}) {
    dialogs->openFile = [&](const QString&) {
      ++filesAsked;
      return QString();
    };
    dialogs->message = [&](const QString& text) { messages.push_back(text.toStdString()); };
  }
  auto pressEverything = [&] {
    ffc->downloadToCamera();
    ffc->generate();
    ku->downloadCoefficients();
    ku->generateDark();
    ke->run(int(KeAction::SaveDark));
  };

  rig.dlg->runMenuCommand(kIdChangePort);
  settle();
  ASSERT_TRUE(rig.dlg->portDialog().isVisible());
  pressEverything();
  EXPECT_EQ(filesAsked, 0);
  EXPECT_TRUE(messages.empty()) << messages.front();

  rig.dlg->portDialog().portList()->selectRow(0);
  rig.dlg->portDialog().SelectPort();
  settle();
  ASSERT_TRUE(rig.session->connected());
  pressEverything();
  EXPECT_EQ(filesAsked, 2);
  // The area camera takes "gfd"; the line-scan commands it refuses, and each says so.
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[0], " Generated !");
  EXPECT_EQ(messages[1], kDarkCaution);
  EXPECT_EQ(messages[3], "Failed to save");
}

// How often the camera on the rig's first port received a command word.
int timesReceived(Rig& rig, const std::string& word) {
  return std::stoi("0" + rig.query("simcount " + word));
}

// The Ko/Ki 101M page asks the camera whether it acquires the first time it is shown after the
// tabs were rebuilt, and only then; the answer sets the window's flag, a refused or missing one
// leaves it. Would catch the query sent at every tab switch or never, the flag taken from a
// stale cache or a refusal, or a message box over a camera that does not answer.
TEST(KelpaxDlg, Ko101MPageReadsTheAcquisitionStateWhenFirstShown) {
  Rig rig({"Ko-101M-C40"});
  rig.connect(0);
  ASSERT_TRUE(rig.session->connected());
  ASSERT_EQ(rig.dlg->visiblePages(), std::vector<PageId>{PageId::KoKi101_151MC_Setting});
  // One from reading every value at connection, one from the page's first show.
  EXPECT_EQ(timesReceived(rig, "gast"), 2);
  EXPECT_TRUE(rig.dlg->acquisitionRunning());
  for (int tab : {1, 3, 0, 2})
    rig.tabBar()->setCurrentIndex(tab);
  EXPECT_EQ(timesReceived(rig, "gast"), 2) << "switching tabs shows the page again, not first";

  // The camera stops behind the window's back: the next first show after a rebuild tells.
  ASSERT_TRUE(rig.session->exchange().SendCommand("asp").accepted());
  EXPECT_TRUE(rig.dlg->acquisitionRunning());
  rig.tabBar()->setCurrentIndex(3); // the flat-field tab: the page is not shown by the rebuild
  rig.dlg->refreshAllPages();
  EXPECT_EQ(timesReceived(rig, "gast"), 2);
  EXPECT_TRUE(rig.dlg->acquisitionRunning());
  rig.statusBar()->showStatus("before");
  rig.tabBar()->setCurrentIndex(1);
  EXPECT_EQ(rig.statusBar()->partText(0), "before") << "the query stays out of the status line";
  EXPECT_EQ(timesReceived(rig, "gast"), 3);
  EXPECT_FALSE(rig.dlg->acquisitionRunning());
  EXPECT_EQ(rig.session->camera().parameterCache().intValue("ast"), 0);

  ASSERT_TRUE(rig.session->exchange().SendCommand("ast").accepted());
  rig.dlg->refreshAllPages();
  EXPECT_TRUE(rig.dlg->acquisitionRunning());
  EXPECT_EQ(timesReceived(rig, "gast"), 4);

  // Acquisition -> Stop sets the flag; a camera that then refuses the query, or says nothing,
  // leaves it although the cache still says running.
  rig.dlg->runMenuCommand(kIdAcquisitionStop);
  EXPECT_FALSE(rig.dlg->acquisitionRunning());
  ASSERT_TRUE(rig.session->exchange().SendCommand("ast").accepted());
  ASSERT_EQ(rig.session->camera().parameterCache().intValue("ast"), 1);
  sim::Faults refusing;
  refusing.errorAnswers = true;
  rig.camera(0).setFaults(refusing);
  rig.dlg->refreshAllPages();
  EXPECT_FALSE(rig.dlg->acquisitionRunning());
  sim::Faults silent;
  silent.silent = true;
  rig.camera(0).setFaults(silent);
  rig.dlg->refreshAllPages();
  EXPECT_FALSE(rig.dlg->acquisitionRunning());
  rig.camera(0).setFaults({});
  EXPECT_EQ(timesReceived(rig, "gast"), 6);
  EXPECT_TRUE(rig.boxes.shown.empty()) << rig.boxes.shown.front();
}

// The Ki 101M shares the Ko 101M page and its query; the camera's answer, not the window's
// flag, decides. Would catch the query wired to the Ko model only.
TEST(KelpaxDlg, Ki101MPageReadsTheAcquisitionStateToo) {
  Rig rig({"Ki-101M-C40"});
  rig.connect(0);
  ASSERT_TRUE(rig.session->connected());
  ASSERT_EQ(rig.dlg->visiblePages(), std::vector<PageId>{PageId::KoKi101_151MC_Setting});
  EXPECT_EQ(timesReceived(rig, "gast"), 2);
  ASSERT_TRUE(rig.session->exchange().SendCommand("asp").accepted());
  rig.dlg->refreshAllPages();
  EXPECT_EQ(timesReceived(rig, "gast"), 3);
  EXPECT_FALSE(rig.dlg->acquisitionRunning());
}

// Pages that do not drive acquisition never ask for it. Would catch the query sent for every
// model's first page.
TEST(KelpaxDlg, OtherPagesDoNotReadTheAcquisitionState) {
  Rig rig({"Ko-50M-C40"});
  rig.connect(0);
  ASSERT_TRUE(rig.session->connected());
  for (int tab = 0; tab < rig.tabBar()->count(); ++tab)
    rig.tabBar()->setCurrentIndex(tab);
  EXPECT_EQ(timesReceived(rig, "gast"), 0);
  EXPECT_TRUE(rig.dlg->acquisitionRunning());
}

} // namespace
