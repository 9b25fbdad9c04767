// CSettingMultiRoi, "Setting Multi-ROI": the region table of a multi-region camera edited in
// place, regions switched on and off, the reset to one full-frame region, and the region
// picture beside the table.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QTableWidget>

#include "camera/interfaces.h"
#include "editors/aoi_graph_widget.h"
#include "editors/multi_roi.h"

namespace kelpax {

class CSettingMultiRoi : public QDialog {
  Q_OBJECT

public:
  CSettingMultiRoi(MultiRoi& regions, MessageBoxSink& messages, QWidget* parent = nullptr);

  // "Update Multi-ROI": reads every region from the camera.
  void readFromCamera();
  // The table and the picture as the regions are now.
  void showRegions();
  void enableRow(int row, bool on);
  void resetRegions();

  QTableWidget* table() const { return table_; }
  CAOIGraph* graph() const { return graph_; }
  QPushButton* updateButton() const { return update_; }
  QPushButton* resetButton() const { return reset_; }

private:
  void onItemChanged(QTableWidgetItem* item);
  void onContextMenu(const QPoint& pos);
  void tell(const std::string& text);

  MultiRoi& regions_;
  MessageBoxSink& messages_;
  QTableWidget* table_ = nullptr;
  CAOIGraph* graph_ = nullptr;
  QPushButton* update_ = nullptr;
  QPushButton* enable_ = nullptr;
  QPushButton* disable_ = nullptr;
  QPushButton* reset_ = nullptr;
  bool filling_ = false;
};

} // namespace kelpax
