// The main window's binary transfers: File -> Defect Pixel and File -> System Upgrade.
#include <QFileDialog>

#include "app/kelpax_dlg.h"
#include "app/page_area.h"
#include "app/status_bar_widget.h"
#include "camera/debug_output.h"
#include "editors/ffc_setting_page.h"
#include "editors/line_scan_correction_widget.h"
#include "editors/lut_dlg.h"
#include "pages/settings_page.h"
#include "transfer/defect_pixels.h"
#include "transfer/firmware_image.h"

namespace kelpax {
namespace {

QString filterText(std::string_view filter) {
  return QString::fromLatin1(filter.data(), qsizetype(filter.size()));
}

std::string text(std::string_view view) {
  return std::string(view);
}

} // namespace

std::string CKelpaxDlg::chooseOpenFile(std::string_view filter) {
  return options_.fileChooser.openFile
             ? options_.fileChooser.openFile(filterText(filter))
             : QFileDialog::getOpenFileName(this, QString(), QString(), filterText(filter))
                   .toStdString();
}

void CKelpaxDlg::defectDownload() {
  if (session_.transferRunning())
    return;
  const ModelDescriptor& model = session_.camera().modelDescriptor();
  if (defectFormFor(model) == DefectForm::Unsupported) {
    showMessage("", text(kDefectDownloadNotSupported), MessageIcon::Warning);
    return;
  }
  const std::string path = chooseOpenFile(kDefectOpenFilter);
  if (path.empty())
    return;
  std::string fileText, detail;
  if (!readDefectFile(path, fileText, detail)) {
    debugPrintf("CKelpaxDlg::defectDownload, %s\n", detail.c_str());
    showMessage(text(kCannotOpenDefectFileCaption), text(kCannotOpenDefectFile),
                MessageIcon::Error);
    return;
  }
  const DefectDownload download = planDefectDownload(model, fileText);
  if (!download.ok) {
    if (!download.detail.empty())
      debugPrintf("CKelpaxDlg::defectDownload, %s\n", download.detail.c_str());
    if (!download.message.empty())
      showMessage(download.caption, download.message, MessageIcon::Error);
    return;
  }
  session_.transfer().SendBinary(download.plan);
}

void CKelpaxDlg::defectUpload() {
  if (session_.transferRunning())
    return;
  const DefectUploadSetup setup = planDefectUpload(session_.camera().modelDescriptor());
  if (!setup.ok) {
    showMessage("", setup.message, MessageIcon::Warning);
    return;
  }
  std::vector<uint8_t> received;
  const TransferResult result = session_.transfer().ReceiveBinary(setup.plan, received);
  if (!result.ok()) {
    // A refused announcement says more than the status line can.
    if (result.code == TransferCode::TooLarge)
      showMessage("Error Message", result.status, MessageIcon::Error);
    return;
  }
  const DefectUploadFile file = defectFileFromUpload(received, setup);
  if (!file.ok) {
    statusBar_->showStatus(file.message);
    if (!file.inflateMessage.empty())
      showMessage("", file.inflateMessage, MessageIcon::Error);
    return;
  }
  const std::string chosen =
      options_.fileChooser.saveFile
          ? options_.fileChooser.saveFile(filterText(kDefectSaveFilter))
          : QFileDialog::getSaveFileName(this, QString(), QString(), filterText(kDefectSaveFilter))
                .toStdString();
  if (chosen.empty())
    return;
  // A new file beside the chosen one, renamed over it once whole.
  const DefectFileSave saved = saveDefectFile(chosen, file);
  if (!saved.saved) {
    debugPrintf("CKelpaxDlg::defectUpload, %s\n", saved.detail.c_str());
    showMessage(saved.caption, saved.message, MessageIcon::Error);
    return;
  }
  showMessage("Information", saved.message, MessageIcon::Information);
}

void CKelpaxDlg::firmwareUpgrade(FirmwareKind kind) {
  if (session_.transferRunning())
    return;
  const std::string_view filter = kind == FirmwareKind::Mcu    ? kMcuImageFilter
                                  : kind == FirmwareKind::Fpga ? kFpgaImageFilter
                                                               : kPackageImageFilter;
  const std::string path = chooseOpenFile(filter);
  if (path.empty())
    return;
  const FirmwareDownload download = loadFirmwareDownload(kind, path);
  if (!download.ok) {
    if (!download.detail.empty())
      debugPrintf("CKelpaxDlg::firmwareUpgrade, %s\n", download.detail.c_str());
    // An image that cannot be sent says why: nothing reached the camera.
    if (!download.message.empty())
      showMessage("Error", download.message, MessageIcon::Error);
    return;
  }
  session_.transfer().SendBinary(download.plan);
}

void CKelpaxDlg::connectLutPages() {
  LutPageServices services;
  services.busy = [this] { return session_.transferRunning() || portScan_; };
  services.download = [this](const DownloadPlan& plan) {
    return session_.transfer().SendBinary(plan);
  };
  services.upload = [this](const UploadPlan& plan, std::vector<uint8_t>& out) {
    return session_.transfer().ReceiveBinary(plan, out);
  };
  services.message = [this](const std::string& caption, const std::string& text) {
    showMessage(caption, text, MessageIcon::Information);
  };
  services.openFile = [this](std::string_view filter) { return chooseOpenFile(filter); };
  services.saveFile = [this](std::string_view filter) {
    return options_.fileChooser.saveFile
               ? options_.fileChooser.saveFile(filterText(filter))
               : QFileDialog::getSaveFileName(this, QString(), QString(), filterText(filter))
                     .toStdString();
  };
  services.selectionChanged = [this] {
    // The view pages' "LUT" group shows the same choice.
    for (SettingsPage* generic : pageArea_->genericPages())
      generic->setControlsFromCache();
  };
  for (PageId id : {PageId::LutDlg, PageId::KeLutDlg, PageId::Ky29CLUTDlg}) {
    if (auto* page = qobject_cast<CLutDlg*>(pageArea_->page(id)))
      page->setServices(services);
  }
}

void CKelpaxDlg::connectFfcPages() {
  auto busy = [this] { return session_.transferRunning() || portScan_; };
  for (PageId id : {PageId::FFCSetting, PageId::FFCSettingXML, PageId::FFCSelectorSetting,
                    PageId::KoKi101_151MC_FFC}) {
    if (auto* page = qobject_cast<CFFCSetting*>(pageArea_->page(id)))
      page->setBusyCheck(busy);
  }
  // The line-scan pages' dark and PRNU controls.
  for (auto* controls : pageArea_->findChildren<CKuCorrectionWidget*>())
    controls->setBusyCheck(busy);
  for (auto* controls : pageArea_->findChildren<CKeCorrectionWidget*>())
    controls->setBusyCheck(busy);
}

} // namespace kelpax
