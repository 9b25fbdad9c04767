// The dark and PRNU data controls of the line-scan pages: Ku cameras generate dark and PRNU
// data and take PRNU coefficient and linearity files; Ke cameras generate, save and load both.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "editors/ffc_setting_page.h"
#include "pages/page_host.h"

namespace kelpax {

class CKuCorrectionWidget : public QWidget {
  Q_OBJECT

public:
  explicit CKuCorrectionWidget(PageHost& host, QWidget* parent = nullptr);

  PageDialogs& dialogs() { return dialogs_; }
  // The buttons do nothing while this says the channel is busy.
  void setBusyCheck(std::function<bool()> busy) { busy_.set(std::move(busy)); }
  QPushButton* darkButton() const { return dark_; }
  QPushButton* prnuButton() const { return prnu_; }
  QCheckBox* targetCheck() const { return targetCheck_; }
  QLineEdit* targetEdit() const { return target_; }

  void generateDark();
  void generatePrnu();
  void downloadCoefficients();
  void uploadCoefficients();
  void downloadLinearity();

private:
  void download(bool linearity);
  void say(const std::string& text);

  PageHost& host_;
  PageDialogs dialogs_;
  ChannelBusyCheck busy_;
  QPushButton* dark_ = nullptr;
  QPushButton* prnu_ = nullptr;
  QCheckBox* targetCheck_ = nullptr;
  QLineEdit* target_ = nullptr;
};

class CKeCorrectionWidget : public QWidget {
  Q_OBJECT

public:
  explicit CKeCorrectionWidget(PageHost& host, QWidget* parent = nullptr);

  PageDialogs& dialogs() { return dialogs_; }
  // The buttons do nothing while this says the channel is busy.
  void setBusyCheck(std::function<bool()> busy) { busy_.set(std::move(busy)); }
  QLineEdit* targetEdit() const { return target_; }
  // Runs a button of the page: dark "Generate", "Save", "Load"; PRNU the same.
  void run(int action);
  void generatePrnu();

private:
  PageHost& host_;
  PageDialogs dialogs_;
  ChannelBusyCheck busy_;
  QLineEdit* target_ = nullptr;
};

} // namespace kelpax
