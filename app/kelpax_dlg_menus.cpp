// The main window's menus: the items with their identifiers, the LOCK entry's greying and the
// start-up space's check mark.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

#include "app/kelpax_dlg.h"
#include "app/menu_tip_widget.h"

namespace kelpax {

QAction* CKelpaxDlg::addItem(QMenu* menu, const QString& text, int id, const QString& prompt) {
  QAction* action = menu->addAction(text);
  action->setData(id);
  if (!prompt.isEmpty())
    action->setStatusTip(prompt);
  connect(action, &QAction::triggered, this, [this, id] { runMenuCommand(id); });
  actions_[id] = action;
  return action;
}

QAction* CKelpaxDlg::action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CKelpaxDlg::buildMenus() {
  menuBar_ = new QMenuBar(this);
  menuBar_->setNativeMenuBar(false);

  QMenu* file = menuBar_->addMenu(QStringLiteral("&File"));
  QMenu* load = file->addMenu(QStringLiteral("Load Setting"));
  addItem(load, QStringLiteral("From File"), kIdLoadFromFile,
          QStringLiteral("Send the commands of a camera setting file to the camera"));
  addItem(load, QStringLiteral("From Factory Space"), kIdLoadFactory,
          QStringLiteral("Load the camera's factory settings"));
  addItem(load, QStringLiteral("From User1 Space"), kIdLoadUser1,
          QStringLiteral("Load the camera's user 1 settings"));
  addItem(load, QStringLiteral("From User2 Space"), kIdLoadUser2,
          QStringLiteral("Load the camera's user 2 settings"));
  QMenu* save = file->addMenu(QStringLiteral("Save Setting"));
  addItem(save, QStringLiteral("To File"), kIdSaveToFile,
          QStringLiteral("Write the camera's settings to a camera setting file"));
  addItem(save, QStringLiteral("To Factory Space"), kIdSaveFactory,
          QStringLiteral("Store the settings as the camera's factory settings"));
  addItem(save, QStringLiteral("To User 1 Space"), kIdSaveUser1,
          QStringLiteral("Store the settings in the camera's user 1 space"));
  addItem(save, QStringLiteral("To User 2 Space"), kIdSaveUser2,
          QStringLiteral("Store the settings in the camera's user 2 space"));
  QMenu* defect = file->addMenu(QStringLiteral("Defect Pixel"));
  addItem(defect, QStringLiteral("Download to Camera"), kIdDefectDownload);
  addItem(defect, QStringLiteral("Upload to PC"), kIdDefectUpload);
  QMenu* upgrade = file->addMenu(QStringLiteral("System Upgrade"));
  addItem(upgrade, QStringLiteral("MCU"), kIdUpgradeMcu);
  addItem(upgrade, QStringLiteral("FPGA"), kIdUpgradeFpga);
  addItem(upgrade, QStringLiteral("Package Upgrade"), kIdUpgradePackage);
  file->addSeparator();
  addItem(file, QStringLiteral("Exit"), kIdExit);

  QMenu* startup = menuBar_->addMenu(QStringLiteral("&Start-Up"));
  for (auto [text, id] :
       {std::pair{"Factory Setting", kIdStartupFactory},
        std::pair{"User 1 Setting", kIdStartupUser1}, std::pair{"User 2 Setting", kIdStartupUser2}})
    addItem(startup, QString::fromLatin1(text), id)->setCheckable(true);

  QMenu* tool = menuBar_->addMenu(QStringLiteral("&Tool"));
  addItem(tool, QStringLiteral("Refresh"), kIdRefresh,
          QStringLiteral("Read every setting from the camera again"));
  addItem(tool, QStringLiteral("Terminal"), kIdTerminal,
          QStringLiteral("Type camera commands and see the answers"))
      ->setCheckable(true);
  addItem(tool, QStringLiteral("Color Calibration"), kIdColorCalibration);
  addItem(tool, QStringLiteral("Factory Setting"), kIdFactorySetting);
  addItem(tool, QStringLiteral("High Speed"), kIdHighSpeed)->setCheckable(true);
  addItem(tool, QStringLiteral("Multi-ROI"), kIdMultiRoi,
          QStringLiteral("Edit the regions of a camera that reads out several regions"));

  QMenu* acquisition = menuBar_->addMenu(QStringLiteral("&Acquisition"));
  addItem(acquisition, QStringLiteral("Start"), kIdAcquisitionStart);
  addItem(acquisition, QStringLiteral("Stop"), kIdAcquisitionStop);

  // "Camera Info" is an item of the menu bar itself.
  QAction* info = menuBar_->addAction(QStringLiteral("Camera Info"));
  info->setData(int(kIdCameraInfo));
  connect(info, &QAction::triggered, this, [this] { runMenuCommand(kIdCameraInfo); });
  actions_[kIdCameraInfo] = info;

  lockedMenus_ = {file, startup, tool};

  // The window manager's system menu cannot be extended from here; its two items live in a
  // small menu at the right end of the menu bar.
  auto* windowMenuButton = new QToolButton(menuBar_);
  windowMenuButton->setText(QStringLiteral("\u2261"));
  windowMenuButton->setPopupMode(QToolButton::InstantPopup);
  windowMenuButton->setAutoRaise(true);
  auto* windowMenu = new QMenu(windowMenuButton);
  addItem(windowMenu, QStringLiteral("Top most"), kIdTopMost)->setCheckable(true);
  windowMenu->addSeparator();
  addItem(windowMenu, QStringLiteral("&About Info..."), kIdAboutInfo);
  windowMenuButton->setMenu(windowMenu);
  menuBar_->setCornerWidget(windowMenuButton, Qt::TopRightCorner);

  auto* tips = new CMenuTipManager(this);
  for (QMenu* menu : {file, startup, tool, acquisition})
    tips->install(menu);
}

void CKelpaxDlg::applyLock() {
  locked_ = session_.readLock();
  for (QMenu* menu : lockedMenus_) {
    for (QAction* item : menu->actions()) {
      item->setEnabled(!locked_);
      if (QMenu* sub = item->menu()) {
        for (QAction* subItem : sub->actions())
          subItem->setEnabled(!locked_);
      }
    }
  }
  pageArea_->setPagesEnabled(!locked_);
  if (!locked_) {
    action(kIdSaveFactory)->setEnabled(false);
    action(kIdFactorySetting)->setEnabled(false);
  }
}

void CKelpaxDlg::checkStartupItem(int space) {
  const int ids[] = {kIdStartupFactory, kIdStartupUser1, kIdStartupUser2};
  for (int i = 0; i < 3; ++i)
    action(ids[i])->setChecked(i == space);
}

} // namespace kelpax
