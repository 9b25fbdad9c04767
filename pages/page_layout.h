// Small layout helpers the declared pages share: a caption, edit, spin and unit on one line,
// the slider under them, and group boxes around controls.
#pragma once

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <initializer_list>

#include "pages/settings_page.h"

namespace kelpax {

// Caption, edit, spin and unit on one line, then the slider (if the value has one).
QVBoxLayout* valueBlock(SettingsPage::Value& value, const QString& caption,
                        const QString& unit = {}, std::initializer_list<QWidget*> after = {});
QVBoxLayout* valueBlock(SettingsPage::RealValue& value, const QString& caption,
                        const QString& unit = {}, std::initializer_list<QWidget*> after = {});

// A group box holding widgets and layouts one under the other.
struct GroupItem {
  QWidget* widget = nullptr;
  QLayout* layout = nullptr;
  GroupItem(QWidget* w) : widget(w) {}
  GroupItem(QLayout* l) : layout(l) {}
};
QGroupBox* groupBox(const QString& title, std::initializer_list<GroupItem> items, QWidget* parent);

// A caption and a read-only value label on one line.
QHBoxLayout* labelRow(const QString& caption, QLabel* value);

} // namespace kelpax
