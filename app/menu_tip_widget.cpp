// Prompts for menu items.
#include "app/menu_tip_widget.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

namespace kelpax {

CPopupText::CPopupText(QWidget* parent)
    : QLabel(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
  setFont(QApplication::font("QMenu"));
  setMargin(4);
  setForegroundRole(QPalette::ToolTipText);
  setBackgroundRole(QPalette::ToolTipBase);
  setAutoFillBackground(true);
  setAttribute(Qt::WA_ShowWithoutActivating);
}

void CPopupText::showText(const QString& text, QPoint globalPosition) {
  if (text.isEmpty()) {
    hide();
    return;
  }
  setText(text);
  adjustSize();
  move(globalPosition);
  show();
}

CMenuTipManager::CMenuTipManager(QObject* parent) : QObject(parent), popup_(new CPopupText) {}

CMenuTipManager::~CMenuTipManager() {
  delete popup_;
}

QString CMenuTipManager::promptOf(const QAction* action) {
  if (!action)
    return {};
  const QString tip = action->statusTip();
  return tip.left(tip.indexOf(u'\n'));
}

void CMenuTipManager::install(QMenu* menu) {
  connect(menu, &QMenu::hovered, this, [this, menu](QAction* action) { hovered(menu, action); });
  connect(menu, &QMenu::aboutToHide, popup_, &QWidget::hide);
  for (QAction* action : menu->actions()) {
    if (QMenu* sub = action->menu())
      install(sub);
  }
}

void CMenuTipManager::hovered(QMenu* menu, QAction* action) {
  const QRect item = menu->actionGeometry(action);
  popup_->showText(promptOf(action), menu->mapToGlobal(item.bottomRight()) + QPoint(8, 4));
}

} // namespace kelpax
