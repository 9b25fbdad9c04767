// The column offset dialog.
#include "tools/column_offset_dlg.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>
#include <filesystem>

namespace kelpax {

CColumnOffsetDlg::CColumnOffsetDlg(PageHost& host, std::string workingFolder, QWidget* parent)
    : QDialog(parent), columns_(host), workingFolder_(std::move(workingFolder)) {
  setWindowTitle(QStringLiteral("Colmn Offset "));
  text_ = new QPlainTextEdit(this);
  text_->setFont(QFont(QStringLiteral("Monospace"), 9));
  auto* buttons = new QHBoxLayout;
  const std::pair<const char*, void (CColumnOffsetDlg::*)()> actions[] = {
      {"Read", &CColumnOffsetDlg::read},
      {"Write", &CColumnOffsetDlg::write},
      {"Read2", &CColumnOffsetDlg::read2},
      {"Write2", &CColumnOffsetDlg::write2},
  };
  for (const auto& [name, slot] : actions) {
    auto* b = new QPushButton(QString::fromLatin1(name), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    buttons->addWidget(b);
    // The entry-by-entry buttons are kept for engineering builds but not shown.
    b->setVisible(QString::fromLatin1(name).endsWith(QLatin1Char('2')));
  }
  auto* close = new QPushButton(QStringLiteral("닫기"), this);
  close->setObjectName(QStringLiteral("Close"));
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_, 1);
  layout->addLayout(buttons);
  resize(520, 420);
}

QPushButton* CColumnOffsetDlg::button(const QString& name) const {
  return findChild<QPushButton*>(name);
}

void CColumnOffsetDlg::tell(const std::string& text) {
  const QString shown = QString::fromStdString(text);
  if (message_)
    message_(shown);
  else
    QMessageBox::warning(this, QStringLiteral("Error"), shown);
}

void CColumnOffsetDlg::read() {
  const ColumnOffset::Outcome outcome = columns_.readPoints();
  text_->setPlainText(QString::fromStdString(outcome.text));
  if (!outcome.error.empty())
    tell(outcome.error);
}

void CColumnOffsetDlg::write() {
  const ColumnOffset::Outcome outcome = columns_.writePoints(text_->toPlainText().toStdString());
  if (!outcome.error.empty())
    tell(outcome.error);
}

void CColumnOffsetDlg::read2() {
  const RegisterFile file =
      readRegisterFile((std::filesystem::path(workingFolder_) / kRegisterFileName).string());
  if (!file.error.empty()) {
    tell(file.error);
    return;
  }
  const ColumnOffset::Outcome outcome = columns_.readRegisters(file.groups);
  if (!outcome.error.empty()) {
    tell(outcome.error);
    return;
  }
  text_->setPlainText(QString::fromStdString(outcome.text));
}

void CColumnOffsetDlg::write2() {
  const RegisterFile file =
      readRegisterFile((std::filesystem::path(workingFolder_) / kRegisterFileName).string());
  if (!file.error.empty()) {
    tell(file.error);
    return;
  }
  const ColumnOffset::Outcome outcome =
      columns_.writeRegisters(file.groups, text_->toPlainText().toStdString());
  if (!outcome.error.empty())
    tell(outcome.error);
}

} // namespace kelpax
