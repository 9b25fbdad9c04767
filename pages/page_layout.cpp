// Layout helpers of the declared pages.
#include "pages/page_layout.h"

#include <algorithm>

namespace kelpax {
namespace {

// The caption in front of a value's edit; a group gives all of its captions one width, so that
// the edits of the values stacked in it line up.
constexpr char kValueCaption[] = "kelpaxValueCaption";

QVBoxLayout* block(QLineEdit* edit, CMySpinCtrl* spin, QSlider* slider, const QString& caption,
                   const QString& unit, std::initializer_list<QWidget*> after) {
  auto* column = new QVBoxLayout;
  auto* row = new QHBoxLayout;
  if (!caption.isEmpty()) {
    auto* label = new QLabel(caption);
    label->setProperty(kValueCaption, true);
    row->addWidget(label);
  }
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance("000000000") + 12);
  row->addWidget(edit);
  row->addWidget(spin);
  if (!unit.isEmpty())
    row->addWidget(new QLabel(unit));
  for (QWidget* widget : after)
    row->addWidget(widget);
  row->addStretch();
  column->addLayout(row);
  if (slider) {
    slider->setOrientation(Qt::Horizontal);
    column->addWidget(slider);
  }
  return column;
}

} // namespace

QVBoxLayout* valueBlock(SettingsPage::Value& value, const QString& caption, const QString& unit,
                        std::initializer_list<QWidget*> after) {
  return block(value.edit, value.spin, value.slider, caption, unit, after);
}

QVBoxLayout* valueBlock(SettingsPage::RealValue& value, const QString& caption, const QString& unit,
                        std::initializer_list<QWidget*> after) {
  return block(value.edit, value.spin, value.slider, caption, unit, after);
}

QGroupBox* groupBox(const QString& title, std::initializer_list<GroupItem> items, QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  auto* layout = new QVBoxLayout(box);
  for (const GroupItem& item : items) {
    if (item.widget)
      layout->addWidget(item.widget);
    else if (item.layout)
      layout->addLayout(item.layout);
  }
  layout->addStretch();
  const QList<QLabel*> captions = box->findChildren<QLabel*>();
  int widest = 0;
  for (const QLabel* label : captions) {
    if (label->property(kValueCaption).toBool())
      widest = std::max(widest, label->sizeHint().width());
  }
  for (QLabel* label : captions) {
    if (label->property(kValueCaption).toBool())
      label->setMinimumWidth(widest);
  }
  return box;
}

QHBoxLayout* labelRow(const QString& caption, QLabel* value) {
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(caption));
  row->addWidget(value);
  row->addStretch();
  return row;
}

} // namespace kelpax
