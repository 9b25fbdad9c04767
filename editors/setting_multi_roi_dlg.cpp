// The multi-region dialog: a thin window over MultiRoi.
#include "editors/setting_multi_roi_dlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

namespace kelpax {
namespace {
constexpr int kColumns = static_cast<int>(kRoiColumnTitles.size());
} // namespace

CSettingMultiRoi::CSettingMultiRoi(MultiRoi& regions, MessageBoxSink& messages, QWidget* parent)
    : QDialog(parent), regions_(regions), messages_(messages) {
  setWindowTitle(QStringLiteral("Setting Multi-ROI"));

  table_ = new QTableWidget(0, kColumns, this);
  QStringList titles;
  for (std::string_view title : kRoiColumnTitles)
    titles << QString::fromLatin1(title.data(), qsizetype(title.size()));
  table_->setHorizontalHeaderLabels(titles);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  table_->setMinimumWidth(380);

  graph_ = new CAOIGraph(this);

  update_ = new QPushButton(QStringLiteral("Update Multi-ROI"), this);
  enable_ = new QPushButton(QStringLiteral("Enable"), this);
  disable_ = new QPushButton(QStringLiteral("Disable"), this);
  reset_ = new QPushButton(QStringLiteral("Reset"), this);

  auto* left = new QVBoxLayout;
  left->addWidget(new QLabel(QStringLiteral("Region Number"), this));
  left->addWidget(table_, 1);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {update_, enable_, disable_, reset_})
    buttons->addWidget(b);
  left->addLayout(buttons);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 3);
  layout->addWidget(graph_, 2);

  connect(table_, &QTableWidget::itemChanged, this, &CSettingMultiRoi::onItemChanged);
  connect(table_, &QTableWidget::customContextMenuRequested, this,
          &CSettingMultiRoi::onContextMenu);
  connect(table_, &QTableWidget::currentCellChanged, this,
          [this](int row) { graph_->setSelectedRow(row); });
  connect(update_, &QPushButton::clicked, this, &CSettingMultiRoi::readFromCamera);
  connect(enable_, &QPushButton::clicked, this, [this] { enableRow(table_->currentRow(), true); });
  connect(disable_, &QPushButton::clicked, this,
          [this] { enableRow(table_->currentRow(), false); });
  connect(reset_, &QPushButton::clicked, this, &CSettingMultiRoi::resetRegions);
  showRegions();
}

void CSettingMultiRoi::tell(const std::string& text) {
  messages_.showMessage("Error", text, MessageIcon::Error);
}

void CSettingMultiRoi::showRegions() {
  const RoiTable& rows = regions_.table();
  filling_ = true;
  const int current = table_->currentRow();
  table_->setRowCount(rows.size());
  for (int r = 0; r < rows.size(); ++r) {
    table_->setVerticalHeaderItem(r, new QTableWidgetItem(QString::number(r)));
    for (int c = 0; c < kColumns; ++c) {
      auto* item =
          new QTableWidgetItem(QString::fromStdString(rows.cellText(r, static_cast<RoiColumn>(c))));
      item->setTextAlignment(Qt::AlignCenter);
      if (static_cast<RoiColumn>(c) == RoiColumn::Status)
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
      table_->setItem(r, c, item);
    }
  }
  if (current >= 0 && current < rows.size())
    table_->setCurrentCell(current, table_->currentColumn() < 0 ? 0 : table_->currentColumn());
  filling_ = false;
  const bool known = !rows.empty();
  enable_->setEnabled(known);
  disable_->setEnabled(known);
  reset_->setEnabled(true);
  graph_->setRegions(regions_.sensorWidth(), regions_.sensorHeight(), rows);
  graph_->setSelectedRow(table_->currentRow());
}

void CSettingMultiRoi::readFromCamera() {
  const RoiOutcome outcome = regions_.readAll();
  showRegions();
  if (!outcome.message.empty())
    messages_.showMessage(outcome.ok ? "Information" : "Error", outcome.message,
                          outcome.ok ? MessageIcon::Information : MessageIcon::Error);
}

void CSettingMultiRoi::onItemChanged(QTableWidgetItem* item) {
  if (filling_ || !item)
    return;
  const int row = item->row();
  const auto column = static_cast<RoiColumn>(item->column());
  const QString text = item->text().trimmed();
  // The edit is handled once the view has finished with the item: showing the regions
  // replaces every item, this one too.
  QMetaObject::invokeMethod(
      this,
      [this, row, column, text] {
        bool number = false;
        const int value = text.toInt(&number);
        RoiOutcome outcome;
        if (!number)
          outcome.message =
              "'" + text.left(20).toStdString() + "' is not a whole number; nothing was sent";
        else
          outcome = regions_.setCell(row, column, value);
        // The cell shows what the camera has, whether it took the value or not.
        showRegions();
        if (!outcome.ok)
          tell(outcome.message);
      },
      Qt::QueuedConnection);
}

void CSettingMultiRoi::enableRow(int row, bool on) {
  if (row < 0)
    return;
  const RoiOutcome outcome = regions_.setEnabled(row, on);
  showRegions();
  if (!outcome.ok)
    tell(outcome.message);
}

void CSettingMultiRoi::resetRegions() {
  const RoiResetOutcome outcome = regions_.reset();
  showRegions();
  if (!outcome.complete)
    tell(outcome.message);
}

void CSettingMultiRoi::onContextMenu(const QPoint& pos) {
  const int row = table_->rowAt(pos.y());
  if (row < 0)
    return;
  QMenu menu(this);
  QAction* on = menu.addAction(QStringLiteral("Enable"));
  QAction* off = menu.addAction(QStringLiteral("Disable"));
  QAction* chosen = menu.exec(table_->viewport()->mapToGlobal(pos));
  if (chosen == on)
    enableRow(row, true);
  else if (chosen == off)
    enableRow(row, false);
}

} // namespace kelpax
