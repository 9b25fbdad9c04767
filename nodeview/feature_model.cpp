// Rows of the feature tree as a Qt item model.
#include "nodeview/feature_model.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>

namespace nodeview {

FeatureModel::FeatureModel(FeatureTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {}

void FeatureModel::reload() {
  beginResetModel();
  sorted_ = tree_.properties();
  std::stable_sort(sorted_.begin(), sorted_.end(),
                   [](const PropertyRow* a, const PropertyRow* b) { return a->name < b->name; });
  endResetModel();
}

void FeatureModel::setAlphabetical(bool alphabetical) {
  if (alphabetical_ == alphabetical) {
    return;
  }
  alphabetical_ = alphabetical;
  reload();
}

PropertyRow* FeatureModel::rowAt(const QModelIndex& index) {
  return index.isValid() ? static_cast<PropertyRow*>(index.internalPointer()) : nullptr;
}

int FeatureModel::positionOf(const PropertyRow* row) const {
  if (alphabetical_) {
    auto it = std::find(sorted_.begin(), sorted_.end(), row);
    return it == sorted_.end() ? -1 : int(it - sorted_.begin());
  }
  if (!row->parent) {
    return row == tree_.root() ? 0 : -1;
  }
  const auto& siblings = row->parent->children;
  for (std::size_t i = 0; i < siblings.size(); ++i) {
    if (siblings[i].get() == row) {
      return int(i);
    }
  }
  return -1;
}

QModelIndex FeatureModel::indexFor(const PropertyRow* row, int column) const {
  if (!row) {
    return {};
  }
  int position = positionOf(row);
  if (position < 0) {
    return {};
  }
  return createIndex(position, column, const_cast<PropertyRow*>(row));
}

void FeatureModel::rowChanged(const PropertyRow* row) {
  QModelIndex first = indexFor(row, 0);
  if (first.isValid()) {
    Q_EMIT dataChanged(first, indexFor(row, 1));
  }
}

QModelIndex FeatureModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column < 0 || column > 1) {
    return {};
  }
  if (alphabetical_) {
    if (parent.isValid() || row >= int(sorted_.size())) {
      return {};
    }
    return createIndex(row, column, sorted_[std::size_t(row)]);
  }
  if (!parent.isValid()) {
    return row == 0 && tree_.root() ? createIndex(0, column, tree_.root()) : QModelIndex();
  }
  PropertyRow* group = rowAt(parent);
  if (!group || row >= int(group->children.size())) {
    return {};
  }
  return createIndex(row, column, group->children[std::size_t(row)].get());
}

QModelIndex FeatureModel::parent(const QModelIndex& child) const {
  PropertyRow* row = rowAt(child);
  if (!row || alphabetical_ || !row->parent) {
    return {};
  }
  return indexFor(row->parent, 0);
}

int FeatureModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) {
    return 0;
  }
  if (alphabetical_) {
    return parent.isValid() ? 0 : int(sorted_.size());
  }
  if (!parent.isValid()) {
    return tree_.root() ? 1 : 0;
  }
  return int(rowAt(parent)->children.size());
}

int FeatureModel::columnCount(const QModelIndex&) const {
  return 2;
}

QVariant FeatureModel::data(const QModelIndex& index, int role) const {
  PropertyRow* row = rowAt(index);
  if (!row) {
    return {};
  }
  if (role == kRowRole) {
    return QVariant::fromValue(static_cast<void*>(row));
  }
  if (role == Qt::ToolTipRole) {
    // The name column's tip starts with the whole name: a long one may be shortened there.
    if (index.column() == 0 && !row->description.empty()) {
      return QString::fromStdString(row->name + "\n" + row->description);
    }
    return QString::fromStdString(row->description.empty() ? row->name : row->description);
  }
  if (row->kind == RowKind::Group) {
    // Category rows are shaded and bold across both columns.
    if (role == Qt::BackgroundRole) {
      return QGuiApplication::palette().brush(QPalette::Midlight);
    }
    if (role == Qt::FontRole) {
      QFont font;
      font.setBold(true);
      return font;
    }
  }
  if (index.column() == 0) {
    return role == Qt::DisplayRole ? QVariant(QString::fromStdString(row->name)) : QVariant();
  }
  switch (role) {
  case Qt::DisplayRole:
    if (row->kind == RowKind::Group || row->kind == RowKind::Boolean) {
      return {};
    }
    // Not readable: nothing to show; readable but failing: "(unreadable)".
    if (!row->readable && !row->unreadable && row->kind != RowKind::Command) {
      return QString();
    }
    return QString::fromStdString(row->valueText());
  case Qt::EditRole:
    if (row->kind == RowKind::Boolean) {
      return row->checked;
    }
    return QString::fromStdString(row->valueText());
  case Qt::CheckStateRole:
    if (row->kind == RowKind::Boolean) {
      return row->checked ? Qt::Checked : Qt::Unchecked;
    }
    return {};
  default:
    return {};
  }
}

bool FeatureModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  PropertyRow* row = rowAt(index);
  if (!row || index.column() != 1 || !row->enabled) {
    return false;
  }
  if (role == Qt::CheckStateRole && row->kind == RowKind::Boolean) {
    bool checked = value.toInt() == Qt::Checked;
    Q_EMIT valueEdited(row, checked ? QStringLiteral("1") : QStringLiteral("0"));
    return true;
  }
  if (role == Qt::EditRole && row->kind != RowKind::Group && row->kind != RowKind::Command) {
    Q_EMIT valueEdited(row, value.toString());
    return true;
  }
  return false;
}

Qt::ItemFlags FeatureModel::flags(const QModelIndex& index) const {
  PropertyRow* row = rowAt(index);
  if (!row) {
    return Qt::NoItemFlags;
  }
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == 1 && row->isFeature()) {
    if (!row->enabled) {
      return Qt::ItemIsSelectable;
    }
    if (row->kind == RowKind::Boolean) {
      flags |= Qt::ItemIsUserCheckable;
    } else if (row->kind != RowKind::Command) {
      flags |= Qt::ItemIsEditable;
    }
  }
  return flags;
}

QVariant FeatureModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
    return section == 0 ? QStringLiteral("Property") : QStringLiteral("Value");
  }
  return {};
}

} // namespace nodeview
