// One pane of the feature browser: toolbar, search edit and the feature grid over one node
// map. Notifications leave through the notification signal, which the frame forwards to its
// owner in the same call.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <thread>

#include "nodeview/feature_delegate.h"
#include "nodeview/feature_model.h"
#include "nodeview/feature_tree.h"
#include "nodeview/file_transfer.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolBar;
class QTreeView;

namespace nodeview {

class CMainFrame;

// What a frame binds to each pane.
struct GenICamModuleData {
  CMainFrame* frame = nullptr;
  GenApi::CNodeMapRef* nodeMap = nullptr; // not owned
  std::uint32_t mode = 1;                 // kModeReadOnly makes every row read-only
};

// File choosers and message boxes of a pane; tests replace them.
struct PaneDialogs {
  std::function<QString(QWidget*, const QString& caption, const QString& filter)> saveFileName;
  std::function<QString(QWidget*, const QString& caption, const QString& filter)> openFileName;
  // A file to append to: may exist or not, no overwrite question.
  std::function<QString(QWidget*, const QString& caption, const QString& filter)> appendFileName;
  std::function<bool(QWidget*, const QString& caption, const QString& text)> question;
  std::function<void(QWidget*, const QString& caption, const QString& text)> error;
  static PaneDialogs standard();
};

// Toolbar command identifiers.
enum PaneCommand : int {
  kCmdByCategory = 32878,
  kCmdAlphabetical = 32879,
  kCmdTextExport = 32904,
  kCmdVisibility = 32926,
  kCmdRefresh = 32939,
  kCmdLoadJson = 32995,
  kCmdSaveJson = 32996,
  kCmdFileAccess = 33001,
};

class CPropertiesViewBar : public QWidget {
  Q_OBJECT

public:
  static constexpr int kPollingIntervalMs = 2000;

  // `optionsFolder` holds "options.ini"; empty means the library's own folder.
  CPropertiesViewBar(const QString& title, int id, QWidget* parent = nullptr,
                     const QString& optionsFolder = {});
  ~CPropertiesViewBar() override;

  void setModuleData(GenICamModuleData* data);
  GenICamModuleData* moduleData() const { return data_; }
  // Rebuilds the grid from the module data's node map.
  void rebuild();
  // The refresh command: callbacks dropped, grid rebuilt.
  void refreshCommand();
  void setAlphabetical(bool alphabetical);
  void applyVisibilityFilter();
  void applySearchFilter();
  // Ends an open in-place edit keeping what was typed.
  void endEdit();
  // Stops the pane's timers and waits for its self-clearing waits; the window is going.
  void stopActivity();

  // The file commands once a file name is known; each says what went wrong, or "".
  QString saveJson(const QString& path);
  QString loadJson(const QString& path);
  QString exportText(const QString& path);
  // Text listing to a file, replacing or appending.
  bool writeListing(const QString& path, bool replace);
  // Starts a device file transfer on a worker thread; fileTransferFinished tells the result.
  bool requestFileTransfer(const DeviceFileRequest& request);
  bool fileTransferRunning() const { return transfer_.joinable() && !transferDone_; }
  // Opens the device file dialog (the file-access command).
  void openFileAccessDialog();

  FeatureTree& tree() { return tree_; }
  FeatureModel& model() { return *model_; }
  FeatureDelegate& delegate() { return *delegate_; }
  QTreeView* grid() const { return grid_; }
  QComboBox* visibilityCombo() const { return visibility_; }
  QLineEdit* searchEdit() const { return search_; }
  QAction* action(int command) const;
  const QTimer& pollTimer() const { return pollTimer_; }
  const QTimer& repaintTimer() const { return repaintTimer_; }
  bool fileOperationMode() const { return fileOperationMode_; }
  bool rowHidden(const PropertyRow* row) const;
  void setOptionsFolder(const QString& folder) { optionsFolder_ = folder; }
  int id() const { return id_; }

  PaneDialogs dialogs;

Q_SIGNALS:
  void notification(const QString& category, const QString& line);
  void fileTransferProgress(qint64 done, qint64 total);
  void fileTransferFinished(int code);

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  // Widens the name column to the longest name shown, leaving the values room.
  void fitNameColumn();
  TreeHooks makeHooks();
  void buildToolbar();
  void notify(const char* category, const std::string& line);
  void onNodeChanged(GenApi::INode* node, const QString& name);
  void onValueEdited(PropertyRow* row, const QString& text);
  void onExecute(PropertyRow* row);
  void onSelectionChanged();
  void refreshRow(PropertyRow* row);
  void refreshAllRows();
  void showDescription(const PropertyRow* row);
  void commandSaveJson();
  void commandLoadJson();
  void commandTextExport();
  void finishTransfer();

  int id_;
  GenICamModuleData* data_ = nullptr;
  FeatureTree tree_;
  FeatureModel* model_;
  FeatureDelegate* delegate_;
  QToolBar* toolbar_;
  QComboBox* visibility_;
  QLineEdit* search_;
  QTreeView* grid_;
  static constexpr int kMinNameColumnWidth = 220;
  static constexpr int kMinValueColumnWidth = 160;
  QLabel* description_;
  QTimer pollTimer_;    // timer 4: one poll after a write or command
  QTimer repaintTimer_; // timer 5: repaint and poll every kPollingIntervalMs
  bool updateInProgress_ = false;
  bool fileOperationMode_ = false;
  QString optionsFolder_;
  std::thread transfer_;
  std::atomic<bool> transferDone_{true};
};

} // namespace nodeview
