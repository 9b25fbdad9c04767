// "Kelpax Plus": the window of a GenICam camera. It runs the open, shows the feature browser
// on the camera's node map, lists the browser's error lines, and holds the terminal that talks
// to the camera's serial channel at address 0 of the device port.
#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>
#include <string>

#include "app/startup_checks.h"
#include "genicam/genicam_connection.h"

class QLineEdit;
class QListWidget;

namespace kelpax {

class CAboutDlg;

// The GenICam form of the terminal: a command list, an input line, "Send" and "Close".
class CDlgTerminal : public QWidget {
  Q_OBJECT

public:
  CDlgTerminal(GenICamConnection& connection, QWidget* parent = nullptr);
  // Sends the input line ("cls" in any case clears the list instead) and lists the answer.
  void send();
  QListWidget* list() const { return list_; }
  QLineEdit* input() const { return input_; }

Q_SIGNALS:
  // "Close" was pressed.
  void closeRequested();

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  GenICamConnection& connection_;
  QListWidget* list_;
  QLineEdit* input_;
};

class CDlgNewKelpax : public QDialog, public GenICamConnectDialog {
  Q_OBJECT

public:
  static constexpr int kOutputLines = 100;

  // Created hidden; the connection is the transport layer's unless one is given.
  explicit CDlgNewKelpax(QWidget* owner, std::unique_ptr<GenICamConnection> connection = {});
  ~CDlgNewKelpax() override;

  // The open: maker, port name, device name, Camera Link flag. 0 or an open result code.
  int connect(const std::string& maker, const std::string& portName, const std::string& deviceName,
              int cameraLink) override;
  bool ShowDeviceProperty();

  // A notification of the browser: only "Error" lines are listed, at most kOutputLines.
  void addOutput(const char* category, const char* line);

  GenICamConnection& connection() { return *connection_; }
  QListWidget* output() const { return output_; }
  QWidget* propertyWindow() const { return propertyWindow_; }
  CDlgTerminal* terminal() const { return terminal_; }
  QAction* devicePropertyAction() const { return devicePropertyAction_; }
  QAction* deviceMaintenanceAction() const { return deviceMaintenanceAction_; }
  QAction* informationAction() const { return informationAction_; }
  // Opens the terminal once more as a modal dialog on the same device port.
  QAction* modalTerminalAction() const { return modalTerminalAction_; }

Q_SIGNALS:
  // "Close": the owner (the main window) is asked to close.
  void closeRequested();

protected:
  bool event(QEvent* event) override;
  // Enter going down anywhere in this window reaches the browser before its own receiver.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void createTerminal();
  void runModalTerminal();

  QWidget* owner_;
  std::unique_ptr<GenICamConnection> connection_;
  std::string maker_;
  QListWidget* output_ = nullptr;
  QPointer<QWidget> propertyWindow_;
  CDlgTerminal* terminal_ = nullptr;
  CAboutDlg* information_ = nullptr;
  QAction* devicePropertyAction_ = nullptr;
  QAction* deviceMaintenanceAction_ = nullptr;
  QAction* informationAction_ = nullptr;
  QAction* modalTerminalAction_ = nullptr;
  // One Enter press is handed to the browser once, however far it travels up the widgets.
  bool enterDown_ = false;
};

} // namespace kelpax
