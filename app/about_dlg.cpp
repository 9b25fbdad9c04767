// "Camera Info".
#include "app/about_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kelpax {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Camera Info"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  auto field = [this] {
    auto* edit = new QLineEdit(this);
    edit->setReadOnly(true);
    edit->setMinimumWidth(220);
    return edit;
  };
  name_ = field();
  serial_ = field();
  fpga_ = field();
  mcu_ = field();
  form->addRow(QStringLiteral("Camera Name :"), name_);
  form->addRow(QStringLiteral("Serial Number :"), serial_);
  form->addRow(QStringLiteral("FPGA Version :"), fpga_);
  form->addRow(QStringLiteral("MCU Version :"), mcu_);
  layout->addLayout(form);
  version_ = new QLabel(this);
  version_->setObjectName(QStringLiteral("versionText"));
  layout->addWidget(version_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

void CAboutDlg::setVersionText(const QString& text) {
  version_->setText(text);
}

QString CAboutDlg::versionText() const {
  return version_->text();
}

void CAboutDlg::setField(QLineEdit* field, const std::string& text) {
  field->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

} // namespace kelpax
