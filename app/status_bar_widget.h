// The main window's status line: four parts. Part 0 takes the command channel's messages (and
// the progress bar over them while one is shown), part 1 the progress percentage and the link
// icon, part 2 is drawn by the bar itself (the camera temperature), part 3 the version.
#pragma once

#include <QIcon>
#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <QWidget>
#include <array>

#include "camera/interfaces.h"

namespace kelpax {

class CMyButton;

// Icons 144 and 145: the link to the camera is up, or it is not.
QIcon linkIcon(bool up);

class CMyStatusBar : public QWidget, public StatusLine {
  Q_OBJECT

public:
  static constexpr int kParts = 4;
  static constexpr int kDrawnPart = 2;
  static constexpr int kProgressPart = 0;

  explicit CMyStatusBar(QWidget* parent = nullptr);

  // Status texts go to part 0.
  void showStatus(const std::string& text) override;

  void setPartText(int part, const QString& text);
  QString partText(int part) const;
  void setPartIcon(int part, const QIcon& icon);
  QIcon partIcon(int part) const;
  // The link icon of part 1: the camera answers, or it does not. The two icons are drawn once:
  // a new icon at every change would leave its pictures in the application's pixmap cache.
  void setLinkState(bool up);
  // The text the bar draws in part 2 while no progress bar is shown there.
  void setDrawnText(const QString& text);
  QString drawnText() const { return drawnText_; }

  // A button on the bar at `place` (in 96-DPI units, scaled to the screen), sending `controlId`.
  CMyButton* addButton(const QString& text, int controlId, QRect place);

  // A child progress bar that the bar moves over part 0 whenever it is visible.
  void setProgressBar(QProgressBar* bar);

  // Right edges at width / 2.1, / 1.65, / 1.25 and the full width.
  QRect partRect(int part) const;

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void placeProgressBar();

  std::array<QString, kParts> texts_;
  std::array<QIcon, kParts> icons_;
  const QIcon linkUp_ = linkIcon(true);
  const QIcon linkDown_ = linkIcon(false);
  QString drawnText_;
  QPointer<QProgressBar> progressBar_;
};

} // namespace kelpax
