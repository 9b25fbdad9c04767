// Shared tool tips over QToolTip.
#include "app/tool_tips.h"

#include <algorithm>

CToolTips::CToolTips(QObject* parent) : QObject(parent) {}

void CToolTips::attach(QWidget* widget, const QString& text) {
  prune();
  auto it = std::find_if(tips_.begin(), tips_.end(),
                         [widget](const Tip& tip) { return tip.widget == widget; });
  if (it != tips_.end()) {
    it->text = text;
  } else {
    tips_.push_back({widget, text});
  }
  widget->setToolTip(enabled_ ? text : QString());
}

void CToolTips::setEnabled(bool enabled) {
  prune();
  enabled_ = enabled;
  for (const auto& tip : tips_) {
    tip.widget->setToolTip(enabled ? tip.text : QString());
  }
}

int CToolTips::count() const {
  return static_cast<int>(std::count_if(tips_.begin(), tips_.end(),
                                        [](const Tip& tip) { return !tip.widget.isNull(); }));
}

void CToolTips::prune() {
  std::erase_if(tips_, [](const Tip& tip) { return tip.widget.isNull(); });
}
