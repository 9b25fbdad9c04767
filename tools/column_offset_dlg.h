// The column offset dialog: the camera's column offset points and the FPGA register groups of
// "addInfo.ini", edited as plain text.
#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>
#include <string>

#include "pages/page_host.h"
#include "tools/column_offset.h"

namespace kelpax {

class CColumnOffsetDlg : public QDialog {
  Q_OBJECT

public:
  // "addInfo.ini" is looked for in `workingFolder`.
  CColumnOffsetDlg(PageHost& host, std::string workingFolder, QWidget* parent = nullptr);

  void setMessageSink(std::function<void(const QString&)> sink) { message_ = std::move(sink); }
  QPlainTextEdit* text() const { return text_; }
  QPushButton* button(const QString& name) const;

  void read();
  void write();
  void read2();
  void write2();

private:
  void tell(const std::string& text);

  ColumnOffset columns_;
  std::string workingFolder_;
  QPlainTextEdit* text_ = nullptr;
  std::function<void(const QString&)> message_;
};

} // namespace kelpax
