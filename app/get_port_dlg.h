// The "Camera Scan" window: lists PC serial ports and Camera Link serial ports, asks each for
// its camera, and connects the one the operator selects, all through the camera session.
#pragma once

#include <QDialog>
#include <QPoint>
#include <QTableWidget>
#include <QTimer>
#include <memory>
#include <string>

#include "app/startup_checks.h"
#include "session/camera_session.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace kelpax {

// What the port window needs from the main window.
class PortDialogOwner {
public:
  virtual ~PortDialogOwner() = default;
  virtual QWidget* ownerWindow() = 0;
  // Identification of the model on the opened port and the registration of its values.
  virtual void prepareForModel(const std::string& modelName, const PortEntry& slot) = 0;
  // Fills the value cache from the camera and shows the main window.
  virtual bool InitialRead() = 0;
  virtual void closeRequested() = 0;
  // Opens a camera listed as a GenICam model; 0 or a result code of the open.
  virtual int openGenICam(const PortEntry& slot) = 0;
  virtual void quitProgram(int exitCode) = 0;
  virtual MessageBoxSink& messageBox() = 0;
  virtual void scanStateChanged(bool scanning) = 0;
};

// The list: PORT and CAMERA columns, light text on dark grey, whole rows selected.
class CPortListCtrl : public QTableWidget {
  Q_OBJECT

public:
  explicit CPortListCtrl(QWidget* parent = nullptr);

  // The camera column of every selected row, rows separated by CR LF.
  QString selectedCameraText() const;

Q_SIGNALS:
  void modelListRequested(int row, QPoint globalPosition);

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};

// The text of a GenICam open result, and whether the program must end afterwards.
struct GenICamOpenMessage {
  std::string text;
  bool quits = false;
};
GenICamOpenMessage genICamOpenMessage(int result);

class CGetPortDlg : public QDialog, public ScanView {
  Q_OBJECT

public:
  static constexpr int kIdlePollMs = 1000;
  static constexpr int kFirstScanDelayMs = 100;
  static constexpr int kBannerHeight = 90;

  CGetPortDlg(PortDialogOwner& owner, CameraSession& session, QWidget* parent = nullptr);
  ~CGetPortDlg() override;

  // "SCAN PORT": a new scan of every enabled port. Nothing happens while a scan runs.
  void ScanPorts();
  // "SELECT PORT" and a double click: connects the selected row's camera.
  void SelectPort();
  bool ConnectSerial(int index);
  void AddModelToList(int row);
  void DeleteModelFromList(int row);
  // Copies the camera column of the selected rows to the clipboard.
  void copySelection();

  // Keeps the first scan from starting when the window first shows (tests start it).
  void holdFirstScan() { holdFirstScan_ = true; }

  // Timer 1: text the camera sends unasked, collected once a second.
  void startIdlePoll();
  void stopIdlePoll();
  QTimer& idlePollTimer() { return idleTimer_; }
  bool scanning() const { return session_.scanner().running(); }

  CPortListCtrl* portList() const { return list_; }
  QComboBox* interfaceCombo() const { return combo_; }
  QPushButton* scanButton() const { return scanButton_; }
  QPushButton* selectButton() const { return selectButton_; }
  QPushButton* exitButton() const { return exitButton_; }

  // ScanView
  void clearRows() override;
  void addRow(const std::string& portName) override;
  void setCameraText(int row, const std::string& text) override;

protected:
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  void showModelListMenu(int row, QPoint globalPosition);
  void modelListResult(DeviceModelList::Result result);

  PortDialogOwner& owner_;
  CameraSession& session_;

  CPortListCtrl* list_ = nullptr;
  QComboBox* combo_ = nullptr;
  QPushButton* scanButton_ = nullptr;
  QPushButton* selectButton_ = nullptr;
  QPushButton* exitButton_ = nullptr;
  QTimer idleTimer_;
  QTimer firstScanTimer_;
  bool firstScan_ = true;
  bool shownOnce_ = false;
  bool holdFirstScan_ = false;
  bool dragging_ = false;
  QPoint dragOffset_;
};

} // namespace kelpax
