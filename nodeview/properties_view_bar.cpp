// A pane of the feature browser.
#include "nodeview/properties_view_bar.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "nodeview/feature_file.h"
#include "nodeview/file_access_dialog.h"
#include "nodeview/nodeview_log.h"

namespace nodeview {
namespace {

QString withSuffix(QString path, const QString& suffix) {
  if (!path.contains(suffix)) {
    path += suffix;
  }
  return path;
}

} // namespace

PaneDialogs PaneDialogs::standard() {
  PaneDialogs d;
  d.saveFileName = [](QWidget* parent, const QString& caption, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, {}, filter);
  };
  d.openFileName = [](QWidget* parent, const QString& caption, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, {}, filter);
  };
  d.appendFileName = [](QWidget* parent, const QString& caption, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, {}, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
  };
  d.question = [](QWidget* parent, const QString& caption, const QString& text) {
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
  };
  d.error = [](QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox::critical(parent, caption, text);
  };
  return d;
}

TreeHooks CPropertiesViewBar::makeHooks() {
  TreeHooks hooks;
  hooks.notify = [this](const char* category, const std::string& line) { notify(category, line); };
  // Node callbacks may come from any thread: they only queue the refresh for this window's
  // thread, where the handler finds the row.
  hooks.nodeChanged = [this](GenApi::INode* node) {
    QString name = QString::fromStdString(node->GetName());
    QMetaObject::invokeMethod(
        this, [this, node, name] { onNodeChanged(node, name); }, Qt::QueuedConnection);
  };
  hooks.startPollTimer = [this](std::int64_t ms) { pollTimer_.start(int(ms)); };
  hooks.ask = [this](const std::string& caption, const std::string& text) {
    return dialogs.question(this, QString::fromStdString(caption), QString::fromStdString(text));
  };
  hooks.error = [this](const std::string& caption, const std::string& text) {
    dialogs.error(this, QString::fromStdString(caption), QString::fromStdString(text));
  };
  return hooks;
}

CPropertiesViewBar::CPropertiesViewBar(const QString& title, int id, QWidget* parent,
                                       const QString& optionsFolder)
    : QWidget(parent), dialogs(PaneDialogs::standard()), id_(id), tree_(makeHooks()),
      optionsFolder_(optionsFolder.isEmpty() ? QString::fromStdString(libraryFolder())
                                             : optionsFolder) {
  setObjectName(title);
  setWindowTitle(title);
  model_ = new FeatureModel(tree_, this);
  delegate_ = new FeatureDelegate(this);
  delegate_->showMessage = [this](const QString& text) {
    dialogs.error(this, QStringLiteral("Error"), text);
  };

  grid_ = new QTreeView(this);
  grid_->setObjectName(QStringLiteral("grid"));
  grid_->setModel(model_);
  grid_->setItemDelegate(delegate_);
  grid_->header()->hide();
  grid_->header()->setSectionResizeMode(0, QHeaderView::Interactive);
  grid_->header()->setStretchLastSection(true);
  grid_->setColumnWidth(0, kMinNameColumnWidth);
  grid_->setTextElideMode(Qt::ElideMiddle);
  grid_->setAlternatingRowColors(true);
  grid_->setUniformRowHeights(true);
  grid_->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
                         QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);

  search_ = new QLineEdit(this);
  search_->setObjectName(QStringLiteral("search"));
  search_->setPlaceholderText(QStringLiteral("Search features"));
  search_->setFixedHeight(24);
  QAction* browse = search_->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                       QLineEdit::TrailingPosition);
  connect(browse, &QAction::triggered, this, &CPropertiesViewBar::applySearchFilter);
  connect(search_, &QLineEdit::returnPressed, this, &CPropertiesViewBar::applySearchFilter);

  description_ = new QLabel(this);
  description_->setWordWrap(true);
  description_->setMinimumHeight(48);
  description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  description_->setFrameShape(QFrame::StyledPanel);

  toolbar_ = new QToolBar(this);
  buildToolbar();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(toolbar_);
  layout->addWidget(search_);
  layout->addWidget(grid_, 1);
  layout->addWidget(description_);

  connect(model_, &FeatureModel::valueEdited, this, &CPropertiesViewBar::onValueEdited);
  connect(delegate_, &FeatureDelegate::executeRequested, this, &CPropertiesViewBar::onExecute);
  connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &CPropertiesViewBar::onSelectionChanged);
  connect(model_, &QAbstractItemModel::modelReset, this, [this] {
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CPropertiesViewBar::onSelectionChanged, Qt::UniqueConnection);
  });

  pollTimer_.setSingleShot(true);
  connect(&pollTimer_, &QTimer::timeout, this, [this] { tree_.pollOnce(); });
  repaintTimer_.setInterval(kPollingIntervalMs);
  connect(&repaintTimer_, &QTimer::timeout, this, [this] {
    // Features with a polling time follow the camera between writes too.
    if (data_ && data_->nodeMap && data_->nodeMap->_IsLoaded()) {
      try {
        data_->nodeMap->_Poll(kPollingIntervalMs);
      } catch (const std::exception& e) {
        debugLinef("%s\n", e.what());
      } catch (int code) {
        debugLinef("%s\n", gcErrorLine(code).c_str());
      }
    }
    grid_->viewport()->update();
  });
  repaintTimer_.start();

  std::string folder = optionsFolder_.toStdString();
  ensureOptionsFile(folder);
  visibility_->setCurrentIndex(readVisibilityLevel(folder));
}

CPropertiesViewBar::~CPropertiesViewBar() {
  stopActivity();
  if (transfer_.joinable()) {
    transfer_.join();
  }
  writeVisibilityLevel(optionsFolder_.toStdString(), visibility_->currentIndex());
  tree_.clear();
  tree_.waitForWorkers();
}

void CPropertiesViewBar::stopActivity() {
  repaintTimer_.stop();
  pollTimer_.stop();
  tree_.waitForWorkers();
}

void CPropertiesViewBar::buildToolbar() {
  QStyle* s = style();
  auto add = [this](int command, const QIcon& icon, const QString& text) {
    QAction* a = toolbar_->addAction(icon, text);
    a->setData(command);
    a->setToolTip(text);
    return a;
  };
  QAction* byCategory =
      add(kCmdByCategory, s->standardIcon(QStyle::SP_DirOpenIcon), QStringLiteral("By category"));
  QAction* alphabetical = add(kCmdAlphabetical, s->standardIcon(QStyle::SP_FileDialogListView),
                              QStringLiteral("Alphabetical"));
  byCategory->setCheckable(true);
  alphabetical->setCheckable(true);
  byCategory->setChecked(true);
  connect(byCategory, &QAction::triggered, this, [this] { setAlphabetical(false); });
  connect(alphabetical, &QAction::triggered, this, [this] { setAlphabetical(true); });
  QAction* text = add(kCmdTextExport, s->standardIcon(QStyle::SP_FileDialogDetailedView),
                      QStringLiteral("Export as text"));
  connect(text, &QAction::triggered, this, &CPropertiesViewBar::commandTextExport);

  visibility_ = new QComboBox(toolbar_);
  visibility_->setObjectName(QStringLiteral("visibility"));
  visibility_->addItems(
      {QStringLiteral("Beginner"), QStringLiteral("Expert"), QStringLiteral("Guru")});
  visibility_->setToolTip(QStringLiteral("Visibility"));
  QAction* combo = toolbar_->addWidget(visibility_);
  combo->setData(int(kCmdVisibility));
  connect(visibility_, &QComboBox::currentIndexChanged, this,
          &CPropertiesViewBar::applyVisibilityFilter);

  QAction* refresh =
      add(kCmdRefresh, s->standardIcon(QStyle::SP_BrowserReload), QStringLiteral("Refresh"));
  connect(refresh, &QAction::triggered, this, &CPropertiesViewBar::refreshCommand);
  QAction* load = add(kCmdLoadJson, s->standardIcon(QStyle::SP_DialogOpenButton),
                      QStringLiteral("Load features from a JSON file"));
  connect(load, &QAction::triggered, this, &CPropertiesViewBar::commandLoadJson);
  QAction* save = add(kCmdSaveJson, s->standardIcon(QStyle::SP_DialogSaveButton),
                      QStringLiteral("Save features to a JSON file"));
  connect(save, &QAction::triggered, this, &CPropertiesViewBar::commandSaveJson);
  QAction* files = add(kCmdFileAccess, s->standardIcon(QStyle::SP_DriveHDIcon),
                       QStringLiteral("Camera files (select FileOperationSelector first)"));
  files->setEnabled(false);
  connect(files, &QAction::triggered, this, &CPropertiesViewBar::openFileAccessDialog);
}

QAction* CPropertiesViewBar::action(int command) const {
  for (QAction* a : toolbar_->actions()) {
    if (a->data().toInt() == command) {
      return a;
    }
  }
  return nullptr;
}

void CPropertiesViewBar::notify(const char* category, const std::string& line) {
  Q_EMIT notification(QString::fromLatin1(category), QString::fromStdString(line));
}

void CPropertiesViewBar::setModuleData(GenICamModuleData* record) {
  data_ = record;
  tree_.setNodeMap(record ? record->nodeMap : nullptr);
  tree_.setMode(record ? record->mode : 1);
}

void CPropertiesViewBar::rebuild() {
  tree_.setNodeMap(data_ ? data_->nodeMap : nullptr);
  tree_.setMode(data_ ? data_->mode : 1);
  grid_->setUpdatesEnabled(false);
  tree_.rebuild();
  model_->reload();
  grid_->expandAll();
  fitNameColumn();
  applyVisibilityFilter();
  grid_->setUpdatesEnabled(true);
  grid_->viewport()->update();
  showDescription(nullptr);
}

void CPropertiesViewBar::fitNameColumn() {
  // The name column takes the longest name, as far as the values keep room to be read; a
  // name longer still is shortened in its middle and shown whole in its tool tip.
  int room = grid_->viewport()->width() - kMinValueColumnWidth;
  grid_->resizeColumnToContents(0);
  int wanted = grid_->columnWidth(0);
  grid_->setColumnWidth(0, std::max(kMinNameColumnWidth, std::min(wanted, room)));
}

void CPropertiesViewBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (tree_.root()) {
    fitNameColumn();
  }
}

void CPropertiesViewBar::refreshCommand() {
  endEdit();
  tree_.clear();
  pollTimer_.stop();
  rebuild();
  if (QWidget* frame = window()) {
    frame->update();
  }
}

void CPropertiesViewBar::setAlphabetical(bool alphabetical) {
  endEdit();
  model_->setAlphabetical(alphabetical);
  action(kCmdAlphabetical)->setChecked(alphabetical);
  action(kCmdByCategory)->setChecked(!alphabetical);
  grid_->expandAll();
  fitNameColumn();
  if (search_->text().isEmpty()) {
    applyVisibilityFilter();
  } else {
    applySearchFilter();
  }
}

bool CPropertiesViewBar::rowHidden(const PropertyRow* row) const {
  QModelIndex index = model_->indexFor(row);
  return !index.isValid() || grid_->isRowHidden(index.row(), index.parent());
}

void CPropertiesViewBar::applyVisibilityFilter() {
  int level = visibility_->currentIndex();
  for (PropertyRow* row : tree_.properties()) {
    QModelIndex index = model_->indexFor(row);
    if (index.isValid()) {
      grid_->setRowHidden(index.row(), index.parent(), row->visibility > level);
    }
  }
}

void CPropertiesViewBar::applySearchFilter() {
  QString text = search_->text().toLower();
  if (text.isEmpty()) {
    applyVisibilityFilter();
    return;
  }
  for (PropertyRow* row : tree_.properties()) {
    QModelIndex index = model_->indexFor(row);
    if (index.isValid()) {
      bool match = QString::fromStdString(row->name).toLower().contains(text);
      grid_->setRowHidden(index.row(), index.parent(), !match);
    }
  }
}

void CPropertiesViewBar::endEdit() {
  QWidget* editor = grid_->indexWidget(grid_->currentIndex());
  if (!editor) {
    // The open editor belongs to the current index's value column.
    QModelIndex current = grid_->currentIndex();
    editor = grid_->indexWidget(current.sibling(current.row(), 1));
  }
  if (editor) {
    Q_EMIT delegate_->commitData(editor);
    Q_EMIT delegate_->closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}

void CPropertiesViewBar::refreshRow(PropertyRow* row) {
  tree_.refreshRow(*row);
  model_->rowChanged(row);
}

void CPropertiesViewBar::refreshAllRows() {
  for (PropertyRow* row : tree_.properties()) {
    refreshRow(row);
  }
}

void CPropertiesViewBar::onNodeChanged(GenApi::INode* node, const QString& name) {
  PropertyRow* row = tree_.rowForNode(node);
  if (!row) {
    return;
  }
  PropertyRow* selected = FeatureModel::rowAt(grid_->currentIndex());
  if (selected) {
    bool integer = node->GetPrincipalInterfaceType() == GenApi::intfIInteger;
    if ((QString::fromStdString(selected->name) != name || !integer) && !updateInProgress_) {
      refreshRow(row);
    }
  } else {
    refreshRow(row);
  }
}

void CPropertiesViewBar::onValueEdited(PropertyRow* row, const QString& text) {
  tree_.writeRow(*row, text.toStdString());
  model_->rowChanged(row);
}

void CPropertiesViewBar::onExecute(PropertyRow* row) {
  if (tree_.executeCommand(*row) == FeatureTree::AfterCommand::Rebuild) {
    // The grid is in the middle of the click; rebuild once it is over.
    QMetaObject::invokeMethod(this, &CPropertiesViewBar::refreshCommand, Qt::QueuedConnection);
  } else {
    model_->rowChanged(row);
  }
}

void CPropertiesViewBar::onSelectionChanged() {
  PropertyRow* row = FeatureModel::rowAt(grid_->currentIndex());
  updateInProgress_ = true;
  if (row && row->node && data_ && data_->nodeMap && data_->nodeMap->_IsLoaded()) {
    data_->nodeMap->_InvalidateNodes();
    refreshRow(row);
  }
  fileOperationMode_ = row && row->name == "FileOperationSelector";
  action(kCmdFileAccess)->setEnabled(fileOperationMode_);
  showDescription(row);
  updateInProgress_ = false;
}

void CPropertiesViewBar::showDescription(const PropertyRow* row) {
  if (!row) {
    description_->clear();
    return;
  }
  description_->setText(QStringLiteral("<b>%1</b><br>%2")
                            .arg(QString::fromStdString(row->name).toHtmlEscaped(),
                                 QString::fromStdString(row->description).toHtmlEscaped()));
}

QString CPropertiesViewBar::saveJson(const QString& path) {
  endEdit();
  std::string json = featureFileJson(tree_.collectItems());
  std::string error = writeFileReplacing(path.toStdString(), json);
  if (!error.empty()) {
    notify("Error", error);
  }
  return QString::fromStdString(error);
}

QString CPropertiesViewBar::loadJson(const QString& path) {
  endEdit();
  std::string bytes;
  std::string error = readWholeFile(path.toStdString(), bytes);
  FeatureFileRead read;
  if (error.empty()) {
    read = parseFeatureFileJson(bytes);
    error = read.error.empty() ? std::string() : path.toStdString() + ": " + read.error;
  }
  if (!error.empty()) {
    // A file that cannot be used leaves the camera as it is, user set included.
    notify("Error", error);
    return QString::fromStdString(error);
  }
  tree_.resetToDefaultUserSet();
  tree_.applyItems(read.items);
  refreshAllRows();
  return {};
}

QString CPropertiesViewBar::exportText(const QString& path) {
  return writeListing(path, false) ? QString() : QStringLiteral("cannot write ") + path;
}

bool CPropertiesViewBar::writeListing(const QString& path, bool replace) {
  endEdit();
  std::string text = featureListing(tree_.collectItems());
  std::string error = replace ? writeFileReplacing(path.toStdString(), text)
                              : writeFileAppending(path.toStdString(), text);
  if (!error.empty()) {
    notify("Error", error);
  }
  return error.empty();
}

void CPropertiesViewBar::commandSaveJson() {
  QString path = dialogs.saveFileName(this, QStringLiteral("Save features"),
                                      QStringLiteral("Ini Files (*.json)"));
  if (!path.isEmpty()) {
    saveJson(withSuffix(path, QStringLiteral(".json")));
  }
}

void CPropertiesViewBar::commandLoadJson() {
  QString path = dialogs.openFileName(this, QStringLiteral("Load features"),
                                      QStringLiteral("JSON Files (*.json)"));
  if (!path.isEmpty()) {
    loadJson(withSuffix(path, QStringLiteral(".json")));
  }
}

void CPropertiesViewBar::commandTextExport() {
  // Like the camera maker's tool, the listing goes to a chosen file and is appended to it.
  QString path = dialogs.appendFileName(this, QStringLiteral("Export features as text"),
                                        QStringLiteral("Text Files (*.txt)"));
  if (!path.isEmpty()) {
    exportText(withSuffix(path, QStringLiteral(".txt")));
  }
}

bool CPropertiesViewBar::requestFileTransfer(const DeviceFileRequest& request) {
  if (fileTransferRunning()) {
    return false;
  }
  if (transfer_.joinable()) {
    transfer_.join();
  }
  transferDone_ = false;
  GenApi::CNodeMapRef* nodeMap = data_ ? data_->nodeMap : nullptr;
  transfer_ = std::thread([this, nodeMap, request] {
    int code =
        runDeviceFileTransfer(nodeMap, request, [this](std::int64_t done, std::int64_t total) {
          Q_EMIT fileTransferProgress(done, total);
        });
    transferDone_ = true;
    QMetaObject::invokeMethod(
        this,
        [this, code] {
          finishTransfer();
          Q_EMIT fileTransferFinished(code);
        },
        Qt::QueuedConnection);
  });
  return true;
}

void CPropertiesViewBar::finishTransfer() {
  if (transfer_.joinable()) {
    transfer_.join();
  }
  refreshAllRows();
}

void CPropertiesViewBar::openFileAccessDialog() {
  CFileAccessDialog dialog(this);
  dialog.exec();
}

} // namespace nodeview
