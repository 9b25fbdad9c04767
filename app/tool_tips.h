// The program's one tool-tip facility: every window registers its tips here, so they can be
// switched off and on together.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <vector>

class CToolTips : public QObject {
  Q_OBJECT

public:
  explicit CToolTips(QObject* parent = nullptr);

  // Gives widget the tip (shown now if tips are on); a destroyed widget is forgotten.
  void attach(QWidget* widget, const QString& text);
  void setEnabled(bool enabled);
  bool isEnabled() const { return enabled_; }
  int count() const;

private:
  struct Tip {
    QPointer<QWidget> widget;
    QString text;
  };
  void prune();

  std::vector<Tip> tips_;
  bool enabled_ = true;
};
