// The core's messages in a QMessageBox.
#include "app/message_box.h"

#include <QMessageBox>

namespace kelpax {

void CQtMessageBox::showMessage(std::string_view caption, std::string_view text, MessageIcon icon) {
  const QMessageBox::Icon qtIcon = icon == MessageIcon::Error     ? QMessageBox::Critical
                                   : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                                  : QMessageBox::Information;
  QMessageBox box(qtIcon, QString::fromUtf8(caption.data(), qsizetype(caption.size())),
                  QString::fromUtf8(text.data(), qsizetype(text.size())), QMessageBox::Ok,
                  owner_.data());
  if (owner_)
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
  box.exec();
}

} // namespace kelpax
