// What a binary transfer shows in the main window's status bar: the progress bar over part 0,
// the percentage in part 1, the Cancel button in place of ">", the outcome and the beeps.
#pragma once

#include <QPointer>
#include <QProgressBar>
#include <QWidget>
#include <functional>

#include "transfer/binary_transfer.h"

namespace kelpax {

class CMyStatusBar;
class CMyButton;

class CTransferView : public TransferObserver {
public:
  // Beeps go to `beeper`; the desktop's bell when it is empty.
  CTransferView(CMyStatusBar* statusBar, QProgressBar* progress, QWidget* temperatureButton,
                CMyButton* cancelButton, std::function<void(int hz, int ms)> beeper = {});

  void transferActive(bool active) override;
  void progressBarShown(bool shown) override;
  void progressShown(int percent) override;
  void percentCleared() override;
  void cancelButtonChanged(bool shown, bool enabled, const std::string& text) override;
  void statusShown(const std::string& text) override;
  void beep(int frequencyHz, int durationMs) override;

private:
  QPointer<CMyStatusBar> statusBar_;
  QPointer<QProgressBar> progress_;
  QPointer<QWidget> temperatureButton_;
  QPointer<CMyButton> cancelButton_;
  std::function<void(int, int)> beeper_;
};

} // namespace kelpax
