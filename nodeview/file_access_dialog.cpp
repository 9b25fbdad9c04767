// The device file dialog.
#include "nodeview/file_access_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "nodeview/file_transfer.h"
#include "nodeview/properties_view_bar.h"

namespace nodeview {

CFileAccessDialog::CFileAccessDialog(CPropertiesViewBar* pane)
    : QDialog(pane), pane_(pane), files_(new QComboBox(this)), path_(new QLineEdit(this)),
      start_(new QPushButton(QStringLiteral("Start"), this)), progress_(new QProgressBar(this)),
      result_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Camera Files"));
  std::string current;
  GenApi::CNodeMapRef* nodeMap = pane->moduleData() ? pane->moduleData()->nodeMap : nullptr;
  for (const auto& name : deviceFileNames(nodeMap, &current)) {
    files_->addItem(QString::fromStdString(name));
  }
  files_->setCurrentText(QString::fromStdString(current));

  const char* labels[3] = {"Read from the camera", "Write to the camera",
                           "Delete the camera's file"};
  auto* modeBox = new QVBoxLayout;
  for (int i = 0; i < 3; ++i) {
    modes_[i] = new QRadioButton(QString::fromLatin1(labels[i]), this);
    modeBox->addWidget(modes_[i]);
  }
  modes_[0]->setChecked(true);

  auto* browse = new QToolButton(this);
  browse->setText(QStringLiteral("..."));
  connect(browse, &QToolButton::clicked, this, [this] {
    QString path = modes_[1]->isChecked()
                       ? QFileDialog::getOpenFileName(this, QStringLiteral("File to write"))
                       : QFileDialog::getSaveFileName(this, QStringLiteral("File to read into"));
    if (!path.isEmpty()) {
      path_->setText(path);
    }
  });
  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(path_, 1);
  pathRow->addWidget(browse);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Camera file"), files_);
  form->addRow(QStringLiteral("Operation"), modeBox);
  form->addRow(QStringLiteral("File on the PC"), pathRow);
  form->addRow(QStringLiteral("Progress"), progress_);
  form->addRow(QString(), result_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->addButton(start_, QDialogButtonBox::ActionRole);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(start_, &QPushButton::clicked, this, &CFileAccessDialog::start);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);

  progress_->setRange(0, 100);
  progress_->setValue(0);
  connect(pane_, &CPropertiesViewBar::fileTransferProgress, this,
          [this](qint64 done, qint64 total) {
            progress_->setValue(total > 0 ? int(done * 100 / total) : 0);
          });
  connect(pane_, &CPropertiesViewBar::fileTransferFinished, this, &CFileAccessDialog::finished);
}

QRadioButton* CFileAccessDialog::modeButton(int mode) const {
  return mode >= 0 && mode < 3 ? modes_[mode] : nullptr;
}

bool CFileAccessDialog::start() {
  DeviceFileRequest request;
  request.localPath = path_->text().toStdString();
  request.deviceFile = files_->currentText().toStdString();
  request.mode = modes_[1]->isChecked() ? 1 : modes_[2]->isChecked() ? 2 : 0;
  if (request.mode == 2) {
    request.localPath = request.localPath.empty() ? "-" : request.localPath;
  }
  progress_->setValue(0);
  if (!pane_->requestFileTransfer(request)) {
    result_->setText(QStringLiteral("A transfer is still running."));
    return false;
  }
  start_->setEnabled(false);
  result_->setText(QStringLiteral("Working..."));
  return true;
}

void CFileAccessDialog::finished(int code) {
  start_->setEnabled(true);
  if (code == kFileSuccess) {
    progress_->setValue(100);
  }
  result_->setText(
      QStringLiteral("%1 (%2)").arg(QString::fromLatin1(deviceFileResultText(code))).arg(code));
}

} // namespace nodeview
