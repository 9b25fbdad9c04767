// The application object.
#include "app/kelpax_app.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/crash_handler.h"
#include "app/version.h"
#include "link/port_search.h"

CKelpaxApp* CKelpaxApp::instance_ = nullptr;

void CQtMessageBox::showMessage(std::string_view caption, std::string_view text,
                                kelpax::MessageIcon icon) {
  QMessageBox::Icon qtIcon = QMessageBox::Critical;
  switch (icon) {
  case kelpax::MessageIcon::Error:
    qtIcon = QMessageBox::Critical;
    break;
  case kelpax::MessageIcon::Warning:
    qtIcon = QMessageBox::Warning;
    break;
  case kelpax::MessageIcon::Information:
    qtIcon = QMessageBox::Information;
    break;
  }
  QMessageBox box(qtIcon, QString::fromUtf8(caption.data(), qsizetype(caption.size())),
                  QString::fromUtf8(text.data(), qsizetype(text.size())), QMessageBox::Ok);
  box.exec();
}

CKelpaxApp::CKelpaxApp(int& argc, char** argv) : CKelpaxApp(argc, argv, Options{}) {}

CKelpaxApp::CKelpaxApp(int& argc, char** argv, Options options) : options_(std::move(options)) {
  if (QCoreApplication::instance() == nullptr) {
    ownedApplication_ = std::make_unique<QApplication>(argc, argv);
  }
  QApplication::setApplicationName(QStringLiteral("Kelpax"));
  QApplication::setApplicationVersion(QString::fromLatin1(kelpax::kVersionText));
  toolTips_ = std::make_unique<CToolTips>();
  instance_ = this;
}

CKelpaxApp::~CKelpaxApp() {
  mainWindow_.reset();
  toolTips_.reset();
  if (instance_ == this) {
    instance_ = nullptr;
  }
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
  mainWindow_ = std::make_unique<QMainWindow>();
  mainWindow_->setWindowTitle(QStringLiteral("Kelpax"));

  auto* placeholder = new QLabel(QStringLiteral("No camera connected"));
  placeholder->setObjectName(QStringLiteral("placeholder"));
  placeholder->setAlignment(Qt::AlignCenter);
  placeholder->setMargin(int(24 * screenScale_));
  toolTips_->attach(placeholder, QStringLiteral("Connect a camera to configure it"));

  // Until the port dialog arrives, the window lists the ports a camera may sit behind.
  auto* ports = new QListWidget;
  ports->setObjectName(QStringLiteral("portList"));
  kelpax::CameraPort table;
  kelpax::EnumComPorts(table);
  kelpax::EnumClserPorts(table, kelpax::findClserLibraries(kelpax::clserSearchFolders()));
  for (int i = 0; i < table.portCount(); ++i) {
    const kelpax::PortEntry& entry = table.ports()[size_t(i)];
    QString line = entry.isDll ? QStringLiteral("Camera Link  ") : QStringLiteral("Serial       ");
    line += QString::fromLatin1(entry.portName);
    if (!entry.maker.empty())
      line += QStringLiteral("   (") + QString::fromLatin1(entry.maker) + QLatin1Char(')');
    ports->addItem(line);
  }

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->addWidget(placeholder);
  layout->addWidget(new QLabel(QStringLiteral("Ports found: %1").arg(table.portCount())));
  layout->addWidget(ports);
  mainWindow_->setCentralWidget(central);

  auto* version = new QLabel(QString::fromLatin1(kelpax::kVersionText));
  version->setObjectName(QStringLiteral("versionLabel"));
  mainWindow_->statusBar()->addPermanentWidget(version);

  mainWindow_->resize(int(480 * screenScale_), int(320 * screenScale_));
  mainWindow_->show();
}
