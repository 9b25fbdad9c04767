// The feature browser's window.
#include "nodeview/main_frame.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>

#include "nodeview/nodeview.h"
#include "nodeview/nodeview_log.h"

namespace nodeview {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  // Caption, system menu (with its close box) and a sizing border: no minimise or maximise.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("DeviceProperty"));
  resize(500, 1000);
  menuBar()->hide();
  auto* toolbar = addToolBar(QStringLiteral("Frame"));
  toolbar->hide();
  for (const char* text : {"Ready", "", "", ""}) {
    auto* indicator = new QLabel(QString::fromLatin1(text), this);
    statusBar()->addWidget(indicator, text[0] ? 1 : 0);
  }
}

CMainFrame::~CMainFrame() {
  debugLine("void CMainFrame::OnDestroy()\n");
  for (CPropertiesViewBar* pane : panes_) {
    if (pane) {
      pane->stopActivity();
    }
  }
  debugLine("void CMainFrame::OnDestroy()-End\n");
  debugLine("Called CMainFrame::PostNcDestroy()\n ");
}

CPropertiesViewBar* CMainFrame::makePane(const QString& title, int id) {
  auto* pane = new CPropertiesViewBar(title, id, this);
  connect(pane, &CPropertiesViewBar::notification, this, &CMainFrame::forwardNotification,
          Qt::DirectConnection);
  return pane;
}

bool CMainFrame::LoadFrame() {
  panes_[0] = makePane(QStringLiteral("Device Properties"), kDevicePaneId);
  setCentralWidget(panes_[0]);
  return true;
}

GenICamModuleData* CMainFrame::moduleData(int pane) {
  if (!records_[pane]) {
    records_[pane] = std::make_unique<GenICamModuleData>();
    records_[pane]->frame = this;
    records_[pane]->mode = 1;
  }
  return records_[pane].get();
}

void CMainFrame::LoadPropList() {
  if (!records_[0] || !panes_[0]) {
    return;
  }
  panes_[0]->setModuleData(records_[0].get());
  debugLine("DLL - SetGenICamModuleData - Complete!\n");
  panes_[0]->rebuild();
  debugLine("DLL - LoadPropList - Complete!\n");
}

int CMainFrame::forwardNotification(const QString& category, const QString& line) {
  if (owner_) {
    QByteArray categoryText = category.toUtf8();
    QByteArray lineText = line.toUtf8();
    NodeviewNotifyEvent event(categoryText.constData(), lineText.constData());
    QCoreApplication::sendEvent(owner_, &event);
  }
  return 1;
}

void CMainFrame::SetEnterKey() {
  for (CPropertiesViewBar* pane : panes_) {
    if (pane) {
      pane->endEdit();
    }
  }
  setFocus(Qt::OtherFocusReason);
  debugLine("DLL - SetEnterKey - Complete!\n");
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  debugLine("Called CMainFrame::OnClose()\n");
  hide();
  event->ignore();
}

CCXPMainFrame::CCXPMainFrame(QWidget* parent) : CMainFrame(parent) {}

bool CCXPMainFrame::LoadFrame() {
  panes_[0] = makePane(QStringLiteral("Device Properties"), kDevicePaneId);
  panes_[1] = makePane(QStringLiteral("Interface Properties"), kInterfacePaneId);
  panes_[2] = makePane(QStringLiteral("Stream Properties"), kStreamPaneId);
  tabs_ = new QTabWidget(this);
  // Added stream, interface, device, each made current: the device tab ends up in front.
  for (int pane : {2, 1, 0}) {
    tabs_->addTab(panes_[pane], panes_[pane]->windowTitle());
    tabs_->setCurrentWidget(panes_[pane]);
  }
  setCentralWidget(tabs_);
  return true;
}

void CCXPMainFrame::LoadPropList() {
  if (!records_[0] || !records_[1]) {
    return;
  }
  for (int pane : {0, 2, 1}) {
    panes_[pane]->setModuleData(records_[pane] ? records_[pane].get() : nullptr);
    debugLine("DLL - SetGenICamModuleData - Complete!\n");
    panes_[pane]->rebuild();
  }
  debugLine("DLL - LoadPropList - Complete!\n");
}

} // namespace nodeview
