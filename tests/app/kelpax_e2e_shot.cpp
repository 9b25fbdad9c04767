// kelpax-e2e-shot: the operator's path from start to a replayed setting file, driven through
// the real windows against simulated cameras — two behind the simulated Camera Link serial
// library and one on a pseudo-terminal named in portlist.ini — with a picture of each step.
//
//   kelpax-e2e-shot OUTPUT_FOLDER [CLSERSIM_FOLDER]
//
// Runs on any Qt platform (offscreen, or a virtual X display for the README's pictures).
// Exits 0 only when every step did what the operator expects.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <dlfcn.h>
#include <unistd.h>

#include "GenApi/GenApi.h"
#include "app/dlg_new_kelpax.h"
#include "app/kelpax_dlg.h"
#include "pages/trigger_page.h"
#include "sim/pty_camera.h"

using namespace kelpax;
namespace fs = std::filesystem;

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  std::printf("%s  %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok)
    ++failures;
}

void settle(int ms = 50) {
  QApplication::processEvents();
  QTest::qWait(ms);
  QApplication::processEvents();
}

void shoot(QWidget* window, const fs::path& file) {
  settle(150);
  const bool saved = window->grab().save(QString::fromStdString(file.string()));
  std::printf("%s  picture %s\n", saved ? "ok  " : "FAIL", file.c_str());
  if (!saved)
    ++failures;
}

struct PrintedBox : MessageBoxSink {
  void showMessage(std::string_view caption, std::string_view text, MessageIcon) override {
    std::printf("message box: %.*s: %.*s\n", int(caption.size()), caption.data(), int(text.size()),
                text.data());
  }
};

struct QuitNoted : QuitHook {
  void quit(int code) override { std::printf("quit %d\n", code); }
};

int rowOf(CGetPortDlg& ports, const QString& camera) {
  for (int row = 0; row < ports.portList()->rowCount(); ++row) {
    if (ports.portList()->item(row, 1)->text() == camera)
      return row;
  }
  return -1;
}

std::string valueOf(CameraSession& session, const char* query) {
  return session.exchange().QueryValue(query, 1000);
}

} // namespace

int main(int argc, char** argv) {
  // Every step's line reaches the log even if the program ends abnormally.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc < 2) {
    std::fprintf(stderr, "usage: kelpax-e2e-shot OUTPUT_FOLDER [CLSERSIM_FOLDER]\n");
    return 2;
  }
  const fs::path out = fs::absolute(argv[1]);
  fs::create_directories(out);
  const fs::path work = fs::temp_directory_path() / ("kelpax-e2e-" + std::to_string(getpid()));
  fs::create_directories(work);

  // Two Ko cameras and a GenCP camera behind the Camera Link library, a Ka camera on a
  // pseudo-terminal. The GenCP camera is listed in DeviceModelList.ini.
  setenv("KELPAX_SIM_CAMERAS", "Ko-4M-M180@115200,Ko-25MC-C65@115200,Kg-12M-G40@115200", 1);
  setenv("KELPAX_SIM_PACING", "0", 1);
  const std::string libraryFolder = argc > 2 ? argv[2] : std::string();
  if (!libraryFolder.empty())
    setenv("CLSERIALPATH", libraryFolder.c_str(), 1);
  const std::string hashes(50, '#');
  std::ofstream(work / "DeviceModelList.ini") << hashes << "\n"
                                              << hashes << "\n"
                                              << hashes << "\n\n\n"
                                              << hashes << "\n"
                                              << hashes << "\n"
                                              << hashes << "\n\nKg-12M-G40";
  sim::PtyOptions ptyOptions;
  ptyOptions.model = "Ka-47M-M40";
  ptyOptions.linkPath = (work / "ttyCAM0").string();
  ptyOptions.baud = 115200;
  ptyOptions.pacing = false;
  sim::PtyCamera pty(ptyOptions);
  std::string error;
  if (!pty.start(&error)) {
    std::fprintf(stderr, "kelpax-e2e-shot: %s\n", error.c_str());
    return 1;
  }
  std::ofstream(work / "portlist.ini") << "COMPORT_ONLY=0\nBaudRate=AUTO\n"
                                       << ptyOptions.linkPath << "=1\n";

  QApplication app(argc, argv);
  PrintedBox boxes;
  QuitNoted quits;
  std::string chosen;
  CameraSession::Options where;
  where.workingFolder = work.string();
  where.comPortLister = [] { return std::vector<std::string>{}; };
  if (!libraryFolder.empty())
    where.libraryFolders = {libraryFolder};
  where.deviceModelListPath = (work / "DeviceModelList.ini").string();
  CKelpaxDlg::Options options;
  options.messageBox = &boxes;
  options.quitHook = &quits;
  options.fileChooser.saveFile = [&chosen](const QString&) { return chosen; };
  options.fileChooser.openFile = [&chosen](const QString&) { return chosen; };
  {
    CameraSession session(std::move(where));
    CKelpaxDlg dlg(session, options);
    dlg.initDialog();
    CGetPortDlg& ports = dlg.portDialog();
    ports.holdFirstScan();
    ports.show();
    ports.ScanPorts();
    settle();
    check(ports.portList()->rowCount() == 4, "four ports listed");
    const int pty0 = rowOf(ports, "Ka-47M-M40");
    const int first = rowOf(ports, "Ko-4M-M180");
    const int second = rowOf(ports, "Ko-25MC-C65");
    check(pty0 >= 0 && first >= 0 && second >= 0, "every camera identified");
    shoot(&ports, out / "port-scan.png");

    ports.portList()->selectRow(first);
    ports.SelectPort();
    settle();
    check(session.connected() && dlg.isVisible(), "Ko-4M-M180 connected, main window shown");
    dlg.findChild<QTabBar*>(QStringLiteral("tabs"))->setCurrentIndex(1);
    auto* trigger = static_cast<CKo_TriggerSetting*>(dlg.page(PageId::Ko_TriggerSetting));
    SettingsPage::RadioGroup* mode = trigger->radioGroup("tm");
    if (mode && mode->buttons.size() > 2)
      QTest::mouseClick(mode->buttons[2], Qt::LeftButton);
    settle();
    check(valueOf(session, "gtm") == "2", "trigger mode Fast sent to the camera");
    shoot(&dlg, out / "main-window.png");

    chosen = (work / "ko-settings").string();
    dlg.runMenuCommand(kIdSaveToFile);
    std::ifstream saved(work / "ko-settings.csf");
    std::stringstream text;
    text << saved.rdbuf();
    check(text.str().find("stm 2\r\n") != std::string::npos, "File -> Save Setting -> To File");
    fs::copy_file(work / "ko-settings.csf", out / "ko-settings.csf",
                  fs::copy_options::overwrite_existing);

    dlg.runMenuCommand(kIdChangePort);
    settle();
    ports.portList()->selectRow(rowOf(ports, "Ko-25MC-C65"));
    ports.SelectPort();
    settle();
    check(session.modelName() == "Ko-25MC-C65", "the other Ko camera connected");
    check(valueOf(session, "gtm") == "0", "its trigger mode starts at Free-Run");
    chosen = (work / "ko-settings.csf").string();
    dlg.runMenuCommand(kIdLoadFromFile);
    check(valueOf(session, "gtm") == "2", "File -> Load Setting -> From File replays it");
    dlg.findChild<QTabBar*>(QStringLiteral("tabs"))->setCurrentIndex(1);
    shoot(&dlg, out / "loaded.png");

    // File -> System Upgrade -> MCU with a 2 MiB image, pictured while it travels.
    chosen = (work / "firmware.mcu").string();
    {
      std::string image(2u << 20, '\0');
      uint32_t state = 2463534242u;
      for (char& c : image) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = char(state);
      }
      std::ofstream(chosen, std::ios::binary) << image;
    }
    auto* progress = dlg.findChild<QProgressBar*>(QStringLiteral("progressBar"));
    bool pictured = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (pictured || !progress || !progress->isVisible() || progress->value() < 30)
        return;
      pictured = true;
      const fs::path file = out / "download.png";
      const bool written = dlg.grab().save(QString::fromStdString(file.string()));
      std::printf("%s  picture %s\n", written ? "ok  " : "FAIL", file.c_str());
      if (!written)
        ++failures;
    });
    watch.start(5);
    dlg.runMenuCommand(kIdUpgradeMcu);
    watch.stop();
    check(pictured, "File -> System Upgrade -> MCU pictured while the image travels");
    check(valueOf(session, "simstore 5000") != "0/0", "the camera stored the image");

    // The GenICam camera: SELECT PORT opens Kelpax Plus with the browser on its description.
    dlg.runMenuCommand(kIdChangePort);
    settle();
    const int genicam = rowOf(ports, "Kg-12M-G40");
    check(genicam >= 0, "the GenCP camera identified by its gmn answer");
    ports.portList()->selectRow(genicam);
    ports.SelectPort();
    settle();
    CDlgNewKelpax* plus = dlg.genicamWindow();
    check(plus && plus->isVisible() && plus->propertyWindow() &&
              plus->propertyWindow()->isVisible(),
          "SELECT PORT opens Kelpax Plus and the feature browser");
    if (plus && plus->connection().nodeMap()) {
      GenApi::CFloatPtr exposure = plus->connection().nodeMap()->_GetNode("ExposureTime");
      if (exposure)
        exposure->SetValue(2500.0);
      using Peek = int32_t (*)(uint32_t, uint64_t, uint8_t*, uint32_t);
      void* simulator = dlopen((fs::path(libraryFolder) / "libclsersim.so").c_str(), RTLD_NOW);
      auto peek =
          simulator ? reinterpret_cast<Peek>(dlsym(simulator, "clsersimPeekRegister")) : nullptr;
      uint8_t b[4] = {};
      check(peek && peek(2, 0x30014, b, 4) == 0 && b[0] == 0x45 && b[1] == 0x1C && b[2] == 0x40,
            "ExposureTime 2500 written into the camera's register");
      plus->connection().terminalPauseMs = 20;
      plus->terminal()->input()->setText("gmn");
      plus->terminal()->send();
      bool answered = false;
      for (int i = 0; i < plus->terminal()->list()->count(); ++i)
        answered |= plus->terminal()->list()->item(i)->text().contains("Kg-12M-G40");
      check(answered, "the terminal's gmn answered on the same port");
      shoot(plus, out / "kelpax-plus.png");
      shoot(plus->propertyWindow(), out / "feature-browser.png");
      if (simulator)
        dlclose(simulator);
    }
    dlg.runMenuCommand(kIdExit);
  }
  pty.stop();
  std::error_code ec;
  fs::remove_all(work, ec);
  std::printf("%s\n", failures == 0 ? "all steps passed" : "some steps failed");
  return failures == 0 ? 0 : 1;
}
