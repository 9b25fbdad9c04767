// Editors of the grid's value column: a line edit with range checks for numbers and texts,
// a slider editor for numbers with an increment, a list for enumerations, and the "Execute"
// button of commands. Check boxes are the model's own check state.
#pragma once

#include <QStyledItemDelegate>
#include <QWidget>
#include <functional>
#include <optional>

#include "nodeview/edit_checks.h"
#include "nodeview/feature_tree.h"

class QLabel;
class QLineEdit;
class QSlider;

namespace nodeview {

// An edit field over a trackbar with the minimum and maximum below; three rows tall.
class CPropEditSliderCtrl : public QWidget {
  Q_OBJECT

public:
  CPropEditSliderCtrl(const PropertyRow& row, QWidget* parent = nullptr);

  QString text() const;
  void setText(const QString& text);
  QSlider* slider() const { return slider_; }
  QLineEdit* edit() const { return edit_; }
  // Message for a typed value outside the range, empty when the value may be taken.
  QString rangeMessage() const;

private:
  void sliderMoved(int position);

  bool integer_;
  std::optional<IntegerSliderScale> integerScale_;
  std::optional<FloatSliderScale> floatScale_;
  std::int64_t intMin_, intMax_;
  double floatMin_, floatMax_;
  QLineEdit* edit_;
  QSlider* slider_;
  QLabel* minimumLabel_;
  QLabel* maximumLabel_;
};

class FeatureDelegate : public QStyledItemDelegate {
  Q_OBJECT

public:
  explicit FeatureDelegate(QObject* parent = nullptr);

  // The message box of a refused edit; tests replace it.
  std::function<void(const QString&)> showMessage;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  // Runs the row's check on an open edit: false (and the message) when the edit must stay open.
  bool checkEditor(QWidget* editor) const;

Q_SIGNALS:
  void executeRequested(nodeview::PropertyRow* row);

protected:
  bool eventFilter(QObject* object, QEvent* event) override;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

} // namespace nodeview
