// The GenICam window: open, feature browser, output list, terminal, close.
#include "app/dlg_new_kelpax.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "GenApi/GenApi.h"
#include "app/about_dlg.h"
#include "camera/debug_output.h"
#include "nodeview/nodeview.h"
#include "standin/maintenance/run_qn_device_maintenance.h"

namespace kelpax {

// ---- CDlgTerminal ----

CDlgTerminal::CDlgTerminal(GenICamConnection& connection, QWidget* parent)
    : QWidget(parent), connection_(connection) {
  setWindowTitle("Terminal");
  list_ = new QListWidget(this);
  list_->addItem("*** System Command List ***");
  list_->addItem("cls : Clear window.");
  input_ = new QLineEdit(this);
  auto* sendButton = new QPushButton("Send", this);
  auto* closeButton = new QPushButton("Close", this);
  auto* row = new QHBoxLayout;
  row->addWidget(input_, 1);
  row->addWidget(sendButton);
  row->addWidget(closeButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(row);
  QObject::connect(sendButton, &QPushButton::clicked, this, &CDlgTerminal::send);
  QObject::connect(input_, &QLineEdit::returnPressed, this, &CDlgTerminal::send);
  QObject::connect(closeButton, &QPushButton::clicked, this, &CDlgTerminal::closeRequested);
  resize(420, 240);
}

void CDlgTerminal::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape)
    return; // swallowed, as the dialog's own Escape
  QWidget::keyPressEvent(event);
}

void CDlgTerminal::send() {
  const std::string text = input_->text().toLatin1().toStdString();
  if (QString::fromLatin1(text.c_str()).compare("cls", Qt::CaseInsensitive) == 0) {
    list_->clear();
    input_->clear();
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::string received;
  const bool written = connection_.terminalExchange(text, received);
  QApplication::restoreOverrideCursor();
  if (!written)
    received = ">Error";
  size_t pos = 0;
  while (pos <= received.size()) {
    size_t end = received.find_first_of("\r\n", pos);
    if (end == std::string::npos)
      end = received.size();
    if (end > pos)
      list_->addItem(QString::fromLatin1(received.data() + pos, int(end - pos)));
    pos = end + 1;
  }
  if (list_->count() > 0)
    list_->setCurrentRow(list_->count() - 1);
  input_->clear();
}

// ---- CDlgNewKelpax ----

CDlgNewKelpax::CDlgNewKelpax(QWidget* owner, std::unique_ptr<GenICamConnection> connection)
    : QDialog(nullptr), owner_(owner),
      connection_(connection ? std::move(connection) : std::make_unique<GenICamConnection>()) {
  setWindowTitle("Kelpax Plus");
  auto* menu = new QMenuBar(this);
  QMenu* tools = menu->addMenu("&Tools");
  devicePropertyAction_ = tools->addAction("Device &Property");
  deviceMaintenanceAction_ = tools->addAction("Device &Maintenance");
  modalTerminalAction_ = tools->addAction("&Terminal");
  QMenu* about = menu->addMenu("&About");
  informationAction_ = about->addAction("&Information");

  output_ = new QListWidget(this);
  output_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  auto* closeButton = new QPushButton("Close", this);
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(menu);
  layout->addStretch(1); // the terminal sits above the output list
  layout->addWidget(new QLabel("Output", this));
  layout->addWidget(output_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(closeButton);
  layout->addLayout(buttons);
  resize(460, 520);

  information_ = new CAboutDlg(this);
  information_->hide();

  QObject::connect(devicePropertyAction_, &QAction::triggered, this, [this] {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ShowDeviceProperty();
    QApplication::restoreOverrideCursor();
  });
  QObject::connect(deviceMaintenanceAction_, &QAction::triggered, this, [this] {
    RunQnDeviceMaintenance(connection_->device(), connection_->nodeMap(), 1, 300000);
  });
  QObject::connect(informationAction_, &QAction::triggered, information_, &QWidget::show);
  QObject::connect(modalTerminalAction_, &QAction::triggered, this,
                   &CDlgNewKelpax::runModalTerminal);
  qApp->installEventFilter(this);
  QObject::connect(closeButton, &QPushButton::clicked, this, &CDlgNewKelpax::closeRequested);
}

CDlgNewKelpax::~CDlgNewKelpax() {
  // The browser keeps no pointer to our node map once hidden with a null one.
  if (propertyWindow_)
    RunDevicePropertyEx(nullptr, nullptr);
  connection_.reset(); // GCCloseLib, then the node map
}

int CDlgNewKelpax::connect(const std::string& maker, const std::string& portName,
                           const std::string& deviceName, int cameraLink) {
  maker_ = maker;
  const int result = connection_->open({maker, portName, deviceName, cameraLink != 0});
  if (result != 0)
    return result;
  if (connection_->matched()) {
    setWindowTitle(QString("%1 - %2").arg("Kelpax Plus", connection_->deviceToken().c_str()));
    createTerminal();
  }
  if (!ShowDeviceProperty()) {
    debugOutput("ShowDeviceProperty Error : (0)");
    return kOpenNoNodeMap;
  }
  return 0;
}

bool CDlgNewKelpax::ShowDeviceProperty() {
  if (!connection_->nodeMap()) {
    debugOutput("ShowDeviceProperty  _pNodeMapRef NULL");
    return false;
  }
  try {
    propertyWindow_ = RunDevicePropertyEx(connection_->nodeMap(), this);
  } catch (const std::exception& e) {
    debugOutput(std::string("ShowDevicePropety Error - ") + e.what());
    return false;
  }
  debugOutput(propertyWindow_ ? "ShowDeviceProperty  RunDevicePropertyEx TRUE"
                              : "ShowDeviceProperty  RunDevicePropertyEx FALSE");
  return propertyWindow_ != nullptr;
}

void CDlgNewKelpax::createTerminal() {
  if (terminal_)
    return;
  // A child in the window's top-left corner, filling the area above the output list.
  terminal_ = new CDlgTerminal(*connection_, this);
  QObject::connect(terminal_, &CDlgTerminal::closeRequested, terminal_, &QWidget::hide);
  if (auto* column = qobject_cast<QVBoxLayout*>(layout())) {
    if (column->count() > 0 && column->itemAt(0)->spacerItem())
      delete column->takeAt(0); // the room kept for it
    column->insertWidget(0, terminal_, 1);
  }
  terminal_->show();
}

void CDlgNewKelpax::runModalTerminal() {
  QDialog dialog(this);
  dialog.setWindowTitle("Terminal");
  auto* terminal = new CDlgTerminal(*connection_, &dialog);
  auto* layout = new QVBoxLayout(&dialog);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(terminal);
  QObject::connect(terminal, &CDlgTerminal::closeRequested, &dialog, &QDialog::reject);
  dialog.exec();
}

void CDlgNewKelpax::addOutput(const char* category, const char* line) {
  if (!category || !line || QString(category).compare("Error", Qt::CaseInsensitive) != 0)
    return;
  // The list scrolls sideways as far as its longest line.
  output_->addItem(QString::fromLatin1(line));
  output_->setCurrentRow(output_->count() - 1);
  if (output_->count() > kOutputLines)
    delete output_->takeItem(0);
}

bool CDlgNewKelpax::event(QEvent* event) {
  if (event->type() == QEvent::Type(kNodeviewNotifyEvent)) {
    auto* note = static_cast<NodeviewNotifyEvent*>(event);
    addOutput(note->category(), note->line());
    event->accept();
    return true;
  }
  return QDialog::event(event);
}

namespace {

bool isEnter(const QEvent* event) {
  const auto* key = static_cast<const QKeyEvent*>(event);
  return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

bool CDlgNewKelpax::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease && isEnter(event)) {
    enterDown_ = false;
  } else if (event->type() == QEvent::KeyPress && isEnter(event) && !enterDown_ &&
             watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this) {
    // The browser ends its in-place edit first; then the press goes where it was going (the
    // terminal's input line sends). A press the receiver ignores travels up to its parents:
    // the browser hears of it once.
    enterDown_ = true;
    SetEnterKey();
  }
  return QDialog::eventFilter(watched, event);
}

void CDlgNewKelpax::keyPressEvent(QKeyEvent* event) {
  if (isEnter(event)) {
    event->accept();
    return; // Enter does not close the window
  }
  QDialog::keyPressEvent(event);
}

void CDlgNewKelpax::closeEvent(QCloseEvent* event) {
  if (propertyWindow_)
    propertyWindow_->close();
  event->accept();
  QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

void CDlgNewKelpax::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (propertyWindow_)
    propertyWindow_->show();
}

} // namespace kelpax
