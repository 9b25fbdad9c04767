// The "Camera Scan" window.
#include "app/get_port_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>
#include <filesystem>

#include "camera/debug_output.h"

namespace kelpax {
namespace {

constexpr QRgb kListBackground = 0x323232;
constexpr int kRowHeight = 20;
constexpr char kPortHeader[] = "               PORT";

QString latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

// ---------------------------------------------------------------------------------------------

CPortListCtrl::CPortListCtrl(QWidget* parent) : QTableWidget(0, 2, parent) {
  setHorizontalHeaderLabels({QString::fromLatin1(kPortHeader), QStringLiteral("CAMERA")});
  horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  horizontalHeader()->setStretchLastSection(true);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(kRowHeight);
  verticalHeader()->setMinimumSectionSize(kRowHeight);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  QFont font(QStringLiteral("Consolas"));
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(16);
  setFont(font);
  QPalette colours = palette();
  colours.setColor(QPalette::Base, QColor(kListBackground));
  colours.setColor(QPalette::Text, Qt::white);
  colours.setColor(QPalette::Window, QColor(kListBackground));
  setPalette(colours);
  setStyleSheet(QStringLiteral("QTableWidget { background: #323232; color: white; "
                               "gridline-color: #5a5a5a; }"));
}

QString CPortListCtrl::selectedCameraText() const {
  QStringList lines;
  for (int row = 0; row < rowCount(); ++row) {
    const QTableWidgetItem* camera = item(row, 1);
    if (camera && camera->isSelected())
      lines << camera->text();
  }
  return lines.join(QStringLiteral("\r\n"));
}

void CPortListCtrl::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    QApplication::clipboard()->setText(selectedCameraText());
    event->accept();
    return;
  }
  QTableWidget::keyPressEvent(event);
}

void CPortListCtrl::contextMenuEvent(QContextMenuEvent* event) {
  const int row = rowAt(event->pos().y());
  if (row < 0)
    return;
  selectRow(row);
  Q_EMIT modelListRequested(row, event->globalPos());
}

void CPortListCtrl::resizeEvent(QResizeEvent* event) {
  QTableWidget::resizeEvent(event);
  const int width = viewport()->width();
  setColumnWidth(0, width / 2 + 10);
  setColumnWidth(1, width / 2 - 10);
}

// ---------------------------------------------------------------------------------------------

GenICamOpenMessage genICamOpenMessage(int result) {
  switch (result) {
  case -10002:
    return {"Interface error occured.", false};
  case -10005:
    return {"XMLString is empty.", true};
  case -10006:
    return {"Failed to load XML or connect the device.", true};
  case -10007:
    return {"Failed to update device list.\r\nPlease check if the camera is connected and "
            "supports GenICam.",
            true};
  case -10008:
    return {"Required modules for operation cannot be found.\r\nYou can configure the necessary "
            "components by running the \"Setup.bat\" file.",
            true};
  default: {
    char text[96];
    std::snprintf(text, sizeof text, "Failed to connect the device(%d).\r\nPlease try again.",
                  result);
    return {text, false};
  }
  }
}

CGetPortDlg::CGetPortDlg(PortDialogOwner& owner, CameraSession& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), owner_(owner), session_(session) {
  setWindowTitle(QStringLiteral("Camera Scan"));
  setObjectName(QStringLiteral("CGetPortDlg"));
  session_.scanner().setView(this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, kBannerHeight + 6, 12, 12);
  layout->setSpacing(8);

  list_ = new CPortListCtrl(this);
  layout->addWidget(list_, 1);

  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("InterfaceType :"), this));
  combo_ = new QComboBox(this);
  combo_->addItems(
      {QStringLiteral("All"), QStringLiteral("COMPort"), QStringLiteral("FrameGrabber")});
  combo_->setCurrentIndex(static_cast<int>(InterfaceMode::ClserOnly));
  row->addWidget(combo_, 1);
  layout->addLayout(row);

  auto* buttons = new QHBoxLayout;
  scanButton_ = new QPushButton(QStringLiteral("SCAN\nPORT"), this);
  selectButton_ = new QPushButton(QStringLiteral("SELECT\nPORT"), this);
  exitButton_ = new QPushButton(QStringLiteral("EXIT"), this);
  for (QPushButton* button : {scanButton_, selectButton_, exitButton_}) {
    button->setMinimumHeight(48);
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  layout->addLayout(buttons);

  connect(scanButton_, &QPushButton::clicked, this, [this] { ScanPorts(); });
  connect(selectButton_, &QPushButton::clicked, this, [this] { SelectPort(); });
  connect(exitButton_, &QPushButton::clicked, this, [this] {
    stopIdlePoll();
    owner_.closeRequested();
  });
  connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int clicked, int) {
    list_->selectRow(clicked);
    SelectPort();
  });
  connect(list_, &CPortListCtrl::modelListRequested, this, &CGetPortDlg::showModelListMenu);

  idleTimer_.setInterval(kIdlePollMs);
  connect(&idleTimer_, &QTimer::timeout, this, [this] {
    if (session_.port().isOpen() && !session_.scanner().running())
      session_.exchange().idlePoll();
  });
  firstScanTimer_.setSingleShot(true);
  firstScanTimer_.setInterval(kFirstScanDelayMs);
  connect(&firstScanTimer_, &QTimer::timeout, this, [this] { ScanPorts(); });

  resize(420, 460);
}

CGetPortDlg::~CGetPortDlg() {
  idleTimer_.stop();
  firstScanTimer_.stop();
  session_.scanner().setView(nullptr);
  session_.port().ClosePort();
}

void CGetPortDlg::startIdlePoll() {
  idleTimer_.start();
}

void CGetPortDlg::stopIdlePoll() {
  idleTimer_.stop();
}

void CGetPortDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!shownOnce_) {
    shownOnce_ = true;
    startIdlePoll();
    if (!holdFirstScan_)
      firstScanTimer_.start();
  }
}

void CGetPortDlg::ScanPorts() {
  session_.port().ClosePort();
  scanButton_->setEnabled(false);
  if (session_.scanner().running())
    return;
  owner_.scanStateChanged(true);
  if (QWidget* main = owner_.ownerWindow())
    move(main->mapToGlobal(QPoint(50, 50)));
  show();
  raise();
  const auto comboMode = static_cast<InterfaceMode>(combo_->currentIndex());
  const std::optional<InterfaceMode> used = session_.scanner().ScanPorts(firstScan_, comboMode);
  if (used && firstScan_)
    combo_->setCurrentIndex(static_cast<int>(*used));
  firstScan_ = false;
  owner_.scanStateChanged(false);
  scanButton_->setEnabled(true);
  const int chosen = session_.port().currentIndex();
  if (chosen >= 0 && chosen < list_->rowCount())
    list_->selectRow(chosen);
  // The scan ran on the defaults: the ports and rate the file names were not used.
  if (!session_.settings().readProblem().empty())
    owner_.messageBox().showMessage("Error", session_.settings().readProblem(), MessageIcon::Error);
}

void CGetPortDlg::clearRows() {
  list_->setRowCount(0);
}

void CGetPortDlg::addRow(const std::string& portName) {
  const int row = list_->rowCount();
  list_->insertRow(row);
  auto* name = new QTableWidgetItem(latin1(portName));
  name->setTextAlignment(Qt::AlignCenter);
  auto* camera = new QTableWidgetItem(QString());
  camera->setTextAlignment(Qt::AlignCenter);
  list_->setItem(row, 0, name);
  list_->setItem(row, 1, camera);
}

void CGetPortDlg::setCameraText(int row, const std::string& text) {
  if (row < 0 || row >= list_->rowCount())
    return;
  list_->item(row, 1)->setText(latin1(text));
  list_->viewport()->update();
}

void CGetPortDlg::SelectPort() {
  if (session_.scanner().running())
    return;
  const int row = list_->currentRow();
  if (row >= 0 && row < session_.port().portCount())
    session_.port().setCurrentIndex(row);
  const int index = session_.port().currentIndex();
  // A list that is missing altogether lists no GenICam model; one that exists but cannot be
  // read must not let a GenICam camera be driven as a serial one.
  bool openFailed = false;
  const bool genicam =
      index >= 0 && session_.port().ports()[size_t(index)].found == 1 &&
      session_.modelList().contains(session_.port().ports()[size_t(index)].modelName, &openFailed);
  if (openFailed && std::filesystem::exists(session_.modelList().path())) {
    owner_.messageBox().showMessage("Error", "Cannot open DeviceModelList.ini!",
                                    MessageIcon::Error);
    return;
  }
  if (genicam) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int result = owner_.openGenICam(session_.port().ports()[size_t(index)]);
    QApplication::restoreOverrideCursor();
    if (result == 0) {
      hide();
      return;
    }
    const GenICamOpenMessage message = genICamOpenMessage(result);
    owner_.messageBox().showMessage("Error", message.text, MessageIcon::Error);
    if (message.quits)
      owner_.quitProgram(kRefusedFolderExitCode);
    return;
  }
  ConnectSerial(index);
}

bool CGetPortDlg::ConnectSerial(int index) {
  if (index < 0 || index >= session_.port().portCount() ||
      session_.port().ports()[size_t(index)].found != 1) {
    owner_.messageBox().showMessage("Kelpax", "Camera not found", MessageIcon::Error);
    return false;
  }
  const PortEntry& slot = session_.port().ports()[size_t(index)];
  const int opened = session_.port().OpenPort(index, slot.baudCode);
  if (opened != 0) {
    char text[32];
    std::snprintf(text, sizeof text, "Error : %d", opened);
    setCameraText(index, text);
    session_.port().ClosePort();
    return false;
  }
  owner_.prepareForModel(slot.modelName, slot);
  owner_.InitialRead();
  return true;
}

void CGetPortDlg::showModelListMenu(int row, QPoint globalPosition) {
  QMenu menu(this);
  menu.setTitle(QStringLiteral("Model List"));
  QAction* add = menu.addAction(QStringLiteral("Add to list"));
  QAction* remove = menu.addAction(QStringLiteral("Delete from list"));
  QAction* chosen = menu.exec(globalPosition);
  if (chosen == add)
    AddModelToList(row);
  else if (chosen == remove)
    DeleteModelFromList(row);
}

void CGetPortDlg::AddModelToList(int row) {
  if (session_.scanner().running() || row < 0 || row >= session_.port().portCount() ||
      session_.port().ports()[size_t(row)].found != 1)
    return;
  modelListResult(
      session_.modelList().AddModelToList(session_.port().ports()[size_t(row)].modelName));
}

void CGetPortDlg::DeleteModelFromList(int row) {
  if (session_.scanner().running() || row < 0 || row >= session_.port().portCount() ||
      session_.port().ports()[size_t(row)].found != 1)
    return;
  modelListResult(
      session_.modelList().DeleteModelFromList(session_.port().ports()[size_t(row)].modelName));
}

void CGetPortDlg::modelListResult(DeviceModelList::Result result) {
  if (result == DeviceModelList::Result::OpenFailed)
    owner_.messageBox().showMessage("Error", "Cannot open DeviceModelList.ini!",
                                    MessageIcon::Error);
}

void CGetPortDlg::copySelection() {
  QApplication::clipboard()->setText(list_->selectedCameraText());
}

void CGetPortDlg::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    copySelection();
    return;
  }
  // Escape would close the window and leave the program without a visible window.
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
      event->key() == Qt::Key_Enter)
    return;
  QDialog::keyPressEvent(event);
}

void CGetPortDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && event->position().y() < kBannerHeight) {
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
    return;
  }
  QDialog::mousePressEvent(event);
}

void CGetPortDlg::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - dragOffset_);
    event->accept();
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void CGetPortDlg::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QDialog::mouseReleaseEvent(event);
}

void CGetPortDlg::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  // The banner: the window has no title bar, so this is where it is dragged.
  QPainter painter(this);
  const QRect banner(0, 0, width(), kBannerHeight);
  QLinearGradient fill(banner.topLeft(), banner.bottomRight());
  fill.setColorAt(0, QColor(0x1d, 0x3b, 0x5a));
  fill.setColorAt(1, QColor(0x0d, 0x7a, 0x8c));
  painter.fillRect(banner, fill);
  painter.setPen(Qt::white);
  QFont title = font();
  title.setPixelSize(26);
  title.setBold(true);
  painter.setFont(title);
  painter.drawText(banner.adjusted(16, 0, -16, -18), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Camera Scan"));
  QFont small = font();
  small.setPixelSize(12);
  painter.setFont(small);
  painter.drawText(banner.adjusted(18, 40, -16, -8), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Quorvane Kelpax"));
}

} // namespace kelpax
