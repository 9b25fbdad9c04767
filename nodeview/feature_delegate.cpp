// Editors of the value column.
#include "nodeview/feature_delegate.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>

#include "nodeview/feature_model.h"

namespace nodeview {
namespace {

const char kRowProperty[] = "nodeviewRow";

PropertyRow* editorRow(const QObject* editor) {
  return static_cast<PropertyRow*>(editor->property(kRowProperty).value<void*>());
}

bool checkedKind(RowKind kind) {
  return kind == RowKind::Integer || kind == RowKind::Float;
}

} // namespace

CPropEditSliderCtrl::CPropEditSliderCtrl(const PropertyRow& row, QWidget* parent)
    : QWidget(parent), integer_(row.kind == RowKind::IntegerSlider), intMin_(row.intMin),
      intMax_(row.intMax), floatMin_(row.floatMin), floatMax_(row.floatMax),
      edit_(new QLineEdit(this)), slider_(new QSlider(Qt::Horizontal, this)),
      minimumLabel_(new QLabel(this)), maximumLabel_(new QLabel(this)) {
  setAutoFillBackground(true);
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(edit_, 0, 0, 1, 2);
  layout->addWidget(slider_, 1, 0, 1, 2);
  layout->addWidget(minimumLabel_, 2, 0, Qt::AlignLeft);
  layout->addWidget(maximumLabel_, 2, 1, Qt::AlignRight);
  if (integer_) {
    integerScale_.emplace(row.intMin, row.intMax, row.intInc);
    slider_->setRange(0, integerScale_->rangeMax());
    slider_->setValue(integerScale_->positionFor(row.intValue));
    minimumLabel_->setText(QString::number(row.intMin));
    maximumLabel_->setText(QString::number(row.intMax));
  } else {
    floatScale_.emplace(row.floatMin, row.floatMax, row.floatInc > 0 ? row.floatInc : 1.0);
    slider_->setRange(0, floatScale_->rangeMax());
    slider_->setValue(floatScale_->positionFor(row.floatValue));
    minimumLabel_->setText(QString::number(row.floatMin));
    maximumLabel_->setText(QString::number(row.floatMax));
  }
  setFocusProxy(edit_);
  connect(slider_, &QSlider::valueChanged, this, &CPropEditSliderCtrl::sliderMoved);
}

void CPropEditSliderCtrl::sliderMoved(int position) {
  if (integer_) {
    edit_->setText(QString::number(integerScale_->valueAt(position)));
  } else {
    edit_->setText(QString::fromStdString(formatFixed6(floatScale_->valueAt(position))));
  }
}

QString CPropEditSliderCtrl::text() const {
  return edit_->text();
}

void CPropEditSliderCtrl::setText(const QString& text) {
  edit_->setText(text);
}

QString CPropEditSliderCtrl::rangeMessage() const {
  std::string typed = edit_->text().toStdString();
  if (integer_) {
    auto value = parseDecimal(typed);
    if (!value || *value < intMin_ || *value > intMax_) {
      return QString::fromStdString(sliderRangeMessage(intMin_, intMax_));
    }
    return {};
  }
  auto value = parseDouble(typed);
  if (!value || *value < floatMin_ || *value > floatMax_) {
    return QString::fromStdString(sliderRangeMessage(floatMin_, floatMax_));
  }
  return {};
}

FeatureDelegate::FeatureDelegate(QObject* parent) : QStyledItemDelegate(parent) {
  showMessage = [](const QString& text) {
    QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("Error"), text);
  };
}

QWidget* FeatureDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
  PropertyRow* row = FeatureModel::rowAt(index);
  if (!row || index.column() != 1) {
    return nullptr;
  }
  QWidget* editor = nullptr;
  switch (row->kind) {
  case RowKind::Enumeration: {
    auto* box = new QComboBox(parent);
    for (const auto& entry : row->options) {
      box->addItem(QString::fromStdString(entry));
    }
    // A choice is a whole edit: write it at once.
    connect(box, &QComboBox::activated, this, [this, box] {
      Q_EMIT const_cast<FeatureDelegate*>(this)->commitData(box);
      Q_EMIT const_cast<FeatureDelegate*>(this)->closeEditor(box);
    });
    editor = box;
    break;
  }
  case RowKind::IntegerSlider:
  case RowKind::FloatSlider:
    editor = new CPropEditSliderCtrl(*row, parent);
    break;
  case RowKind::Integer:
  case RowKind::Float:
  case RowKind::IntegerText:
  case RowKind::String:
    editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (!qobject_cast<QLineEdit*>(editor)) {
      delete editor;
      editor = new QLineEdit(parent);
    }
    break;
  case RowKind::Boolean:
  case RowKind::Command:
  case RowKind::Group:
    return nullptr;
  }
  editor->setProperty(kRowProperty, QVariant::fromValue(static_cast<void*>(row)));
  if (auto* slider = qobject_cast<CPropEditSliderCtrl*>(editor)) {
    slider->edit()->installEventFilter(const_cast<FeatureDelegate*>(this));
    slider->edit()->setProperty(kRowProperty, editor->property(kRowProperty));
  }
  return editor;
}

void FeatureDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  QString text = index.data(Qt::EditRole).toString();
  if (auto* box = qobject_cast<QComboBox*>(editor)) {
    box->setCurrentIndex(box->findText(text));
  } else if (auto* slider = qobject_cast<CPropEditSliderCtrl*>(editor)) {
    slider->setText(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
    edit->setText(text);
  }
}

void FeatureDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                   const QModelIndex& index) const {
  QString text;
  if (auto* box = qobject_cast<QComboBox*>(editor)) {
    text = box->currentText();
  } else if (auto* slider = qobject_cast<CPropEditSliderCtrl*>(editor)) {
    if (!slider->rangeMessage().isEmpty()) {
      return; // a value outside the range is not taken
    }
    text = slider->text();
  } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
    PropertyRow* row = editorRow(editor);
    if (row && checkedKind(row->kind)) {
      EditCheck check =
          row->kind == RowKind::Float
              ? checkFloatEdit(edit->text().toStdString(), row->floatMin, row->floatMax)
              : checkIntegerEdit(edit->text().toStdString(), row->intMin, row->intMax);
      if (!check.accept) {
        return;
      }
      edit->setText(QString::fromStdString(check.text));
    }
    text = edit->text();
  }
  model->setData(index, text, Qt::EditRole);
}

bool FeatureDelegate::checkEditor(QWidget* editor) const {
  PropertyRow* row = editorRow(editor);
  if (!row || !row->readable) {
    return true;
  }
  if (auto* slider = qobject_cast<CPropEditSliderCtrl*>(editor)) {
    QString message = slider->rangeMessage();
    if (!message.isEmpty()) {
      showMessage(message);
      return false;
    }
    return true;
  }
  auto* edit = qobject_cast<QLineEdit*>(editor);
  if (!edit || !checkedKind(row->kind)) {
    return true;
  }
  EditCheck check = row->kind == RowKind::Float
                        ? checkFloatEdit(edit->text().toStdString(), row->floatMin, row->floatMax)
                        : checkIntegerEdit(edit->text().toStdString(), row->intMin, row->intMax);
  edit->setText(QString::fromStdString(check.text));
  if (!check.accept) {
    showMessage(QString::fromStdString(check.message));
    return false;
  }
  return true;
}

bool FeatureDelegate::eventFilter(QObject* object, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(object);
  // The slider editor's own line edit reports for the whole editor.
  QWidget* editor = widget;
  if (widget && widget->parentWidget() &&
      qobject_cast<CPropEditSliderCtrl*>(widget->parentWidget())) {
    editor = widget->parentWidget();
  }
  if (editor && editorRow(editor)) {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (!checkEditor(editor)) {
          return true; // the edit stays open with the bound in it
        }
        Q_EMIT commitData(editor);
        Q_EMIT closeEditor(editor, QAbstractItemDelegate::NoHint);
        return true;
      }
    }
    if (event->type() == QEvent::FocusOut && editor != widget) {
      // Focus moving inside the slider editor (to its trackbar) does not end the edit.
      return false;
    }
  }
  return QStyledItemDelegate::eventFilter(object, event);
}

void FeatureDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                           const QModelIndex&) const {
  QRect rect = option.rect;
  if (qobject_cast<CPropEditSliderCtrl*>(editor)) {
    rect.setHeight(std::max(3 * option.rect.height(), editor->sizeHint().height()));
  }
  editor->setGeometry(rect);
}

void FeatureDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  PropertyRow* row = FeatureModel::rowAt(index);
  if (row && row->kind == RowKind::Command && index.column() == 1) {
    QStyleOptionButton button;
    button.rect = option.rect.adjusted(1, 1, -1, -1);
    button.text = QStringLiteral("Execute");
    button.state = row->enabled ? QStyle::State_Enabled | QStyle::State_Raised : QStyle::State_None;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_PushButton, &button, painter, widget);
    return;
  }
  QStyledItemDelegate::paint(painter, option, index);
}

QSize FeatureDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setHeight(std::max(size.height(), option.fontMetrics.height() + 8));
  return size;
}

bool FeatureDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
  PropertyRow* row = FeatureModel::rowAt(index);
  if (row && row->kind == RowKind::Command && index.column() == 1 &&
      event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (row->enabled && option.rect.contains(mouse->position().toPoint())) {
      Q_EMIT executeRequested(row);
      return true;
    }
  }
  return QStyledItemDelegate::editorEvent(event, model, option, index);
}

} // namespace nodeview
