// The look-up table pages: "Camera LUT Download / Upload". The table as a curve, gamma, table
// files, the two camera slots and the choice of the table the camera applies. CKeLutDlg is the
// same page for the Ke series; CKy29CLUTDlg adds the table type and the drawn curve.
#pragma once

#include <QButtonGroup>
#include <QComboBox>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "editors/lut_file.h"
#include "editors/lut_table.h"
#include "editors/lut_transfer.h"
#include "pages/page_host.h"
#include "tools/tool_page.h"
#include "transfer/binary_transfer.h"

namespace kelpax {

class CFloatEdit;
class CLUTGraph;

// What the page needs of the main window besides the camera: its binary transfers and whether
// one (or a scan) runs now, the message boxes, the file dialogs, and the view page to tell of a
// new table choice. Tests substitute each.
struct LutPageServices {
  std::function<bool()> busy;
  std::function<TransferResult(const DownloadPlan&)> download;
  std::function<TransferResult(const UploadPlan&, std::vector<uint8_t>&)> upload;
  std::function<void(const std::string& caption, const std::string& text)> message;
  // The chosen file, empty for Cancel; the argument is the dialog's filter.
  std::function<std::string(std::string_view filter)> openFile;
  std::function<std::string(std::string_view filter)> saveFile;
  std::function<void()> selectionChanged;
  std::function<long()> nowMs;
};

class CLutDlg : public QWidget, public ToolPage {
  Q_OBJECT

public:
  CLutDlg(PageHost& host, QWidget* parent = nullptr) : CLutDlg(host, parent, false) {}
  ~CLutDlg() override;

  void setServices(LutPageServices services) { services_ = std::move(services); }

  // Reads the table choice from the cached "ls".
  void refreshFromCache() override;
  void setTuningForm(bool) override {}

  const LutTable& table() const { return table_; }
  double gamma() const { return gamma_; }
  CLUTGraph* graph() const { return graph_; }
  CFloatEdit* gammaEdit() const { return gammaEdit_; }
  QButtonGroup* slotGroup() const { return slot_; }
  QButtonGroup* selectionGroup() const { return selection_; }
  QPushButton* button(const QString& name) const;

  // The buttons' work, callable as the buttons call it.
  void applyGamma();
  void loadFile();
  void saveFile();
  void download();
  void upload();
  void select(int choice);
  void createLutTest();

protected:
  CLutDlg(PageHost& host, QWidget* parent, bool ky29c);
  bool event(QEvent* event) override;
  // The Ky 29C page's file dialect and its gamma line.
  bool ky29c() const { return ky29c_; }
  void tableReplaced();
  // Checks the selection button of `choice` (none for -1).
  void showChoice(int choice);
  void showMessage(std::string_view caption, std::string_view text);
  bool busy() const { return services_.busy && services_.busy(); }
  // Transfers on this page run only when the main window has none running.
  virtual bool mayTransfer();

  PageHost& host_;
  LutPageServices services_;
  LutTable table_;
  double gamma_ = kLutDefaultGamma;
  CLUTGraph* graph_ = nullptr;
  CFloatEdit* gammaEdit_ = nullptr;
  QButtonGroup* slot_ = nullptr;
  QButtonGroup* selection_ = nullptr;
  QWidget* tools_ = nullptr; // the row the Ky 29C page adds its controls to

private:
  bool ky29c_;
  int shownChoice_ = -1;
};

class CKeLutDlg : public CLutDlg {
  Q_OBJECT

public:
  CKeLutDlg(PageHost& host, QWidget* parent = nullptr) : CLutDlg(host, parent) {
    setObjectName(QStringLiteral("keLutPage"));
  }
};

class CKy29CLUTDlg : public CLutDlg {
  Q_OBJECT

public:
  CKy29CLUTDlg(PageHost& host, QWidget* parent = nullptr);

  QComboBox* typeSelector() const { return type_; }
  QComboBox* drawSelector() const { return draw_; }
  // 0 12-bit, 1 14-bit; anything else is 12-bit, logged.
  void setType(int selector);
  // "Point" enters point mode; pressed again as "Apply" it builds the table from the points.
  void pointOrApply();

protected:
  bool mayTransfer() override;

private:
  void enableForType();
  QComboBox* type_ = nullptr;
  QComboBox* draw_ = nullptr;
};

} // namespace kelpax
