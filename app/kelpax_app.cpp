// The application object.
#include "app/kelpax_app.h"

#include <QApplication>
#include <QScreen>

#include "app/crash_handler.h"
#include "app/kelpax_dlg.h"
#include "app/version.h"

CKelpaxApp::CKelpaxApp(int& argc, char** argv) : CKelpaxApp(argc, argv, Options{}) {}

CKelpaxApp::CKelpaxApp(int& argc, char** argv, Options options) : options_(std::move(options)) {
  if (QCoreApplication::instance() == nullptr) {
    ownedApplication_ = std::make_unique<QApplication>(argc, argv);
  }
  QApplication::setApplicationName(QStringLiteral("Kelpax"));
  QApplication::setApplicationVersion(QString::fromLatin1(kelpax::kVersionText));
  toolTips_ = std::make_unique<CToolTips>();
}

CKelpaxApp::~CKelpaxApp() {
  mainWindow_.reset();
  session_.reset();
  toolTips_.reset();
}

int CKelpaxApp::initInstance() {
  // The folder comes first: a refused folder must leave every port and file untouched.
  kelpax::MessageBoxSink& box = options_.messageBox ? *options_.messageBox : qtMessageBox_;
  kelpax::StartupEnvironment env{box, *this};
  if (options_.currentDirectory) {
    env.currentDirectory = options_.currentDirectory;
  }
  if (!kelpax::checkWorkingFolder(env) || quitRequested_) {
    return quitRequested_ ? exitCode_ : kelpax::kRefusedFolderExitCode;
  }

  if (options_.installCrashHandler) {
    kelpax::CrashHandlerOptions crash;
    crash.showMessageBox = QGuiApplication::platformName() != QLatin1String("offscreen") &&
                           QGuiApplication::platformName() != QLatin1String("minimal");
    kelpax::installCrashHandler(crash);
  }

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    screenScale_ = screen->logicalDotsPerInchX() / 96.0;
  }

  createMainWindow();
  return 0;
}

int CKelpaxApp::run() {
  if (int code = initInstance(); code != 0) {
    return code;
  }
  const int loopCode = QApplication::exec();
  return quitRequested_ ? exitCode_ : loopCode;
}

void CKelpaxApp::quit(int exitCode) {
  quitRequested_ = true;
  exitCode_ = exitCode;
  // Ends a running event loop; before exec() the caller sees quitRequested() instead.
  QCoreApplication::exit(exitCode);
}

void CKelpaxApp::createMainWindow() {
  kelpax::CameraSession::Options where;
  if (options_.currentDirectory)
    where.workingFolder = options_.currentDirectory();
  session_ = std::make_unique<kelpax::CameraSession>(std::move(where));
  kelpax::CKelpaxDlg::Options options;
  options.messageBox = options_.messageBox;
  options.quitHook = this;
  options.toolTips = toolTips_.get();
  mainWindow_ = std::make_unique<kelpax::CKelpaxDlg>(*session_, std::move(options));
  mainWindow_->initDialog();
  // The program ends through File → Exit or EXIT, not when its last window hides.
  QApplication::setQuitOnLastWindowClosed(false);
  // The main window stays hidden; the port window lists the ports and scans them.
  kelpax::CGetPortDlg& ports = mainWindow_->portDialog();
  if (!options_.scanOnShow)
    ports.holdFirstScan();
  ports.show();
}
