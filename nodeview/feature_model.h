// The grid's model: the rows of a FeatureTree in two columns, "Property" and "Value",
// either by category (groups as tree nodes) or alphabetically (features only, sorted).
#pragma once

#include <QAbstractItemModel>

#include "nodeview/feature_tree.h"

namespace nodeview {

class FeatureModel : public QAbstractItemModel {
  Q_OBJECT

public:
  static constexpr int kRowRole = Qt::UserRole + 1; // the PropertyRow pointer

  explicit FeatureModel(FeatureTree& tree, QObject* parent = nullptr);

  // Call after the tree was rebuilt or cleared.
  void reload();
  void setAlphabetical(bool alphabetical);
  bool alphabetical() const { return alphabetical_; }

  QModelIndex indexFor(const PropertyRow* row, int column = 0) const;
  static PropertyRow* rowAt(const QModelIndex& index);
  // Tells the views that a row's value, range or state changed.
  void rowChanged(const PropertyRow* row);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

Q_SIGNALS:
  // The operator changed a value: the text as the row holds it (numbers in decimal, address
  // texts as typed, entry names, "1"/"0" for check boxes).
  void valueEdited(nodeview::PropertyRow* row, const QString& text);

private:
  int positionOf(const PropertyRow* row) const;

  FeatureTree& tree_;
  bool alphabetical_ = false;
  std::vector<PropertyRow*> sorted_; // alphabetical mode
};

} // namespace nodeview
