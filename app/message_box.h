// The core's messages shown in a QMessageBox. Texts are UTF-8 (folders are shown as the file
// system names them).
#pragma once

#include <QPointer>
#include <QWidget>

#include "camera/interfaces.h"

namespace kelpax {

class CQtMessageBox : public MessageBoxSink {
public:
  // With an owner the box stays on top of it (the main window's boxes).
  explicit CQtMessageBox(QWidget* owner = nullptr) : owner_(owner) {}
  void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) override;

private:
  QPointer<QWidget> owner_;
};

} // namespace kelpax
