// The feature browser's window ("DeviceProperty"): one device pane, or for CoaXPress cameras
// device, interface and stream panes in tabs. Closing only hides it.
#pragma once

#include <QMainWindow>
#include <QPointer>

#include "nodeview/properties_view_bar.h"

class QTabWidget;

namespace nodeview {

enum PaneId : int { kDevicePaneId = 32882, kInterfacePaneId = 32892, kStreamPaneId = 32879 };

class CMainFrame : public QMainWindow {
  Q_OBJECT

public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Creates the panes; false when that fails.
  virtual bool LoadFrame();
  // Gives each pane its record and rebuilds the trees.
  virtual void LoadPropList();

  void setOwner(QWidget* owner) { owner_ = owner; }
  QWidget* owner() const { return owner_; }
  // Forwards a pane's notification to the owner in the same call; 1 as the answer.
  int forwardNotification(const QString& category, const QString& line);

  CPropertiesViewBar* devicePane() const { return panes_[0]; }
  CPropertiesViewBar* interfacePane() const { return panes_[1]; }
  CPropertiesViewBar* streamPane() const { return panes_[2]; }
  // The records bound to the panes; created zeroed on first use.
  GenICamModuleData* moduleData(int pane);
  bool hasModuleData(int pane) const { return records_[pane] != nullptr; }
  void SetEnterKey();

protected:
  void closeEvent(QCloseEvent* event) override;
  CPropertiesViewBar* makePane(const QString& title, int id);

  CPropertiesViewBar* panes_[3] = {nullptr, nullptr, nullptr};
  std::unique_ptr<GenICamModuleData> records_[3];
  QPointer<QWidget> owner_;
};

class CCXPMainFrame : public CMainFrame {
  Q_OBJECT

public:
  explicit CCXPMainFrame(QWidget* parent = nullptr);
  bool LoadFrame() override;
  void LoadPropList() override;
  QTabWidget* tabs() const { return tabs_; }

private:
  QTabWidget* tabs_ = nullptr;
};

} // namespace nodeview
