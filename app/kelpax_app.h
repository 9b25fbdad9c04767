// The application object: Qt set-up, the working-folder check, the crash handler, the shared
// tool tips and screen scale, and the main window.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/message_box.h"
#include "app/startup_checks.h"
#include "app/tool_tips.h"

class QApplication;
namespace kelpax {
class CKelpaxDlg;
class CameraSession;
} // namespace kelpax

class CKelpaxApp : public QObject, public kelpax::QuitHook {
  Q_OBJECT

public:
  struct Options {
    bool installCrashHandler = true;
    // Replaces the real current directory (tests).
    std::function<std::string()> currentDirectory;
    // Replaces the real message box (tests); not owned.
    kelpax::MessageBoxSink* messageBox = nullptr;
    // The port window's first scan starts 100 ms after it shows; tests may hold it back.
    bool scanOnShow = true;
  };

  // Creates the QApplication unless one exists already.
  CKelpaxApp(int& argc, char** argv);
  CKelpaxApp(int& argc, char** argv, Options options);
  ~CKelpaxApp() override;

  // Start-up up to the shown main window. Returns 0 when the program may run its event loop,
  // otherwise the exit code it must end with (nothing else has been initialised then).
  int initInstance();
  // initInstance, then the event loop; returns the program's exit code.
  int run();

  void quit(int exitCode) override;
  bool quitRequested() const { return quitRequested_; }
  int exitCode() const { return exitCode_; }

  CToolTips& toolTips() { return *toolTips_; }
  // Logical DPI of the primary screen against 96 DPI; 1.0 until initInstance has run.
  double screenScale() const { return screenScale_; }
  // The main window; hidden until a camera is connected (the port window shows first).
  kelpax::CKelpaxDlg* mainWindow() const { return mainWindow_.get(); }
  // The camera session the windows show; null until initInstance has run.
  kelpax::CameraSession* session() const { return session_.get(); }

private:
  void createMainWindow();

  Options options_;
  std::unique_ptr<QApplication> ownedApplication_;
  kelpax::CQtMessageBox qtMessageBox_;
  std::unique_ptr<CToolTips> toolTips_;
  // The camera session outlives the windows that show it.
  std::unique_ptr<kelpax::CameraSession> session_;
  std::unique_ptr<kelpax::CKelpaxDlg> mainWindow_;
  double screenScale_ = 1.0;
  bool quitRequested_ = false;
  int exitCode_ = 0;
};
