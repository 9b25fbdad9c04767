// Prompts for menu items: while a menu is open, the highlighted item's prompt is shown in a
// small borderless popup beside it.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>

class QAction;
class QMenu;

namespace kelpax {

// Borderless popup in the menu font and the tool-tip colours, with 4-pixel margins.
class CPopupText : public QLabel {
  Q_OBJECT

public:
  explicit CPopupText(QWidget* parent = nullptr);
  // Shows `text` with its top-left corner at `globalPosition`; empty text hides it.
  void showText(const QString& text, QPoint globalPosition);
};

class CMenuTipManager : public QObject {
  Q_OBJECT

public:
  explicit CMenuTipManager(QObject* parent = nullptr);
  ~CMenuTipManager() override;

  // Follows the menu and every submenu it holds now.
  void install(QMenu* menu);

  // An item's prompt: its status tip up to the first line break.
  static QString promptOf(const QAction* action);

  CPopupText* popup() const { return popup_; }

private:
  void hovered(QMenu* menu, QAction* action);

  CPopupText* popup_; // owned here; a top-level window of its own
};

} // namespace kelpax
