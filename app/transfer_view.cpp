// The main window's status bar during a binary transfer.
#include "app/transfer_view.h"

#include <QApplication>
#include <QStyle>

#include "app/status_bar_widget.h"
#include "pages/control_widgets.h"

namespace kelpax {

CTransferView::CTransferView(CMyStatusBar* statusBar, QProgressBar* progress,
                             QWidget* temperatureButton, CMyButton* cancelButton,
                             std::function<void(int, int)> beeper)
    : statusBar_(statusBar), progress_(progress), temperatureButton_(temperatureButton),
      cancelButton_(cancelButton), beeper_(std::move(beeper)) {
  if (cancelButton_)
    cancelButton_->setIcon(cancelButton_->style()->standardIcon(QStyle::SP_DialogCancelButton));
}

void CTransferView::transferActive(bool active) {
  if (temperatureButton_)
    temperatureButton_->setVisible(!active);
}

void CTransferView::progressBarShown(bool shown) {
  if (!progress_)
    return;
  if (shown) {
    progress_->show();
  } else {
    progress_->hide();
    progress_->setValue(0);
  }
}

void CTransferView::progressShown(int percent) {
  if (progress_)
    progress_->setValue(percent);
  if (statusBar_)
    statusBar_->setPartText(1, QString::asprintf("  %2d %%", percent));
}

void CTransferView::percentCleared() {
  if (statusBar_)
    statusBar_->setPartText(1, QString());
}

void CTransferView::cancelButtonChanged(bool shown, bool enabled, const std::string& text) {
  if (!cancelButton_)
    return;
  cancelButton_->setText(QString::fromLatin1(text.data(), qsizetype(text.size())));
  cancelButton_->setEnabled(enabled);
  cancelButton_->setVisible(shown);
}

void CTransferView::statusShown(const std::string& text) {
  if (statusBar_)
    statusBar_->showStatus(text);
}

void CTransferView::beep(int frequencyHz, int durationMs) {
  if (beeper_)
    beeper_(frequencyHz, durationMs);
  else
    QApplication::beep();
}

} // namespace kelpax
