// The flat-field pages, as the table of what they set and the buttons that move data.
#include "editors/ffc_setting_page.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QVBoxLayout>

#include "editors/flat_field.h"
#include "pages/page_layout.h"
#include "transfer/binary_transfer.h"

namespace kelpax {
namespace {

constexpr int kSelectorCount = 4;

QString qtText(std::string_view text) {
  return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

FlatFieldSender senderOf(PageHost& host) {
  return [&host](const std::string& command, uint32_t timeoutMs) {
    return host.sendCommand(command, {.timeoutMs = timeoutMs, .shown = true});
  };
}

} // namespace

CFFCSetting::CFFCSetting(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
  setWindowTitle(QStringLiteral("FFC Nomalization"));
  dialogs_.openFile = [this](const QString& filter) {
    return QFileDialog::getOpenFileName(this, QString(), QString(), filter);
  };
  dialogs_.saveFile = [this](const QString& filter) {
    return QFileDialog::getSaveFileName(this, QString(), QString(), filter);
  };
  dialogs_.message = [this](const QString& text) {
    QMessageBox::information(this, windowTitle(), text);
  };

  Value& offset = addValue({.format = cmd::kFfcOffsetLevel,
                            .stem = "fo",
                            .range =
                                [] {
                                  return ValueRange{0, kFfcOffsetMax};
                                },
                            .slider = SliderMap::Linear,
                            .sliderTick = 1024});
  Value& frames = addValue({.format = cmd::kFfcFrames,
                            .stem = "fi",
                            .range =
                                [] {
                                  return ValueRange{0, kFfcFrameIndexMax};
                                },
                            .slider = SliderMap::Linear,
                            .sliderTick = 1});
  auto* offsetMarks = new SliderMarks(this);
  offsetMarks->setMarks({{"0", 0}, {"2047", 2047}, {"4095", 4095}}, kFfcOffsetMax);
  auto* frameMarks = new SliderMarks(this);
  frameMarks->setMarks({{"1", 0}, {"2", 1}, {"4", 2}, {"8", 3}, {"16", 4}}, kFfcFrameIndexMax);

  CMyButton* generateButton = addButton({.label = "Generate", .action = [this] { generate(); }});
  CMyButton* save = addButton({.label = "Save to Flash", .action = [this] { saveToFlash(); }});
  CMyButton* load = addButton({.label = "Load from Flash", .action = [this] { loadFromFlash(); }});
  CMyButton* download =
      addButton({.label = "Download to camera", .action = [this] { downloadToCamera(); }});
  CMyButton* upload = addButton({.label = "Upload to PC", .action = [this] { uploadToPc(); }});

  selector_ = new QComboBox(this);
  for (int i = 0; i < kSelectorCount; ++i)
    selector_->addItem(QStringLiteral("Selector%1").arg(i));
  connect(selector_, &QComboBox::activated, this, [this](int index) { onSelectorChosen(index); });

  // ---- Layout: data actions on the left, the correction's levels on the right ------------
  auto* grid = new QGridLayout(this);
  selectorGroup_ =
      groupBox("FFC Data", {new QLabel(QStringLiteral("Selector:"), this), selector_}, this);
  QGroupBox* dataGroup = groupBox("FFC Data", {generateButton}, this);
  offsetGroup_ = groupBox("FFC Offset Level", {valueBlock(offset, ""), offsetMarks}, this);
  framesGroup_ =
      groupBox("Number of acquisition frame", {valueBlock(frames, ""), frameMarks}, this);
  grid->addWidget(selectorGroup_, 0, 0);
  grid->addWidget(dataGroup, 1, 0);
  grid->addWidget(groupBox("Flash Memory", {save, load}, this), 2, 0);
  grid->addWidget(groupBox("FFC Data Download / Upload", {download, upload}, this), 3, 0);
  grid->addWidget(offsetGroup_, 0, 1, 2, 1);
  grid->addWidget(framesGroup_, 2, 1, 2, 1);
  extra_ = new QWidget(this);
  grid->addWidget(extra_, 4, 0, 1, 2);
  grid->setRowStretch(5, 1);
  grid->setColumnStretch(1, 1);
  showSelector(false);
}

void CFFCSetting::showSelector(bool shown) {
  selectorGroup_->setVisible(shown);
}

void CFFCSetting::setOwnControlsFromCache() {
  const std::optional<int32_t> index = cachedValue("fds");
  if (index && *index >= 0 && *index < selector_->count())
    selector_->setCurrentIndex(*index);
}

void CFFCSetting::onSelectorChosen(int index) {
  const int previous = cachedValue("fds").value_or(-1);
  const CommandOutcome outcome = chooseSelector(index, selector_->count(), senderOf(host()));
  if (outcome.accepted)
    return;
  // The camera keeps the data set it had: the list shows it again.
  if (previous >= 0 && previous < selector_->count())
    selector_->setCurrentIndex(previous);
}

void CFFCSetting::generate() {
  runFlash(int(FlashAction::Generate));
}
void CFFCSetting::saveToFlash() {
  runFlash(int(FlashAction::SaveToFlash));
}
void CFFCSetting::loadFromFlash() {
  runFlash(int(FlashAction::LoadFromFlash));
}

void CFFCSetting::runFlash(int action) {
  // A command sent now would meet a port being probed or a transfer under way.
  if (busy())
    return;
  const CommandOutcome outcome = runFlashAction(FlashAction(action), senderOf(host()));
  showMessage(outcome.message);
  refreshAll();
}

void CFFCSetting::showMessage(const std::string& text) {
  if (!text.empty() && dialogs_.message)
    dialogs_.message(qtText(text));
}

BinaryTransfer* CFFCSetting::idleTransfer() {
  if (busy())
    return nullptr;
  BinaryTransfer* transfer = host().binaryTransfer();
  if (!transfer)
    showMessage("Transfers need a camera connected to a port.");
  return transfer;
}

void CFFCSetting::downloadToCamera() {
  BinaryTransfer* transfer = idleTransfer();
  if (!transfer)
    return;
  const QString path = dialogs_.openFile(qtText(kFfcOpenFilter));
  if (path.isEmpty())
    return;
  std::string bytes, message;
  if (!readFlatFieldFile(path.toStdString(), kFfcFileSizeLimit, bytes, message)) {
    showMessage(message);
    refreshAll();
    return;
  }
  const std::vector<uint8_t> fileBytes(bytes.begin(), bytes.end());
  const FlatFieldDownload download = planFfcDownload(fileBytes);
  if (!download.ok) {
    showMessage(download.message);
    return;
  }
  // The transfer reports its outcome in the main window's status bar.
  transfer->SendBinary(download.plan);
}

void CFFCSetting::uploadToPc() {
  BinaryTransfer* transfer = idleTransfer();
  if (!transfer)
    return;
  std::vector<uint8_t> received;
  if (!transfer->ReceiveBinary(planFfcUpload(host().modelDescriptor()), received).ok())
    return;
  const FlatFieldFile file = ffcFileFromUpload(received, ffcBufferSize(host().modelDescriptor()));
  if (!file.ok) {
    showMessage(file.message);
    return;
  }
  const QString chosen = dialogs_.saveFile(qtText(kFfcSaveFilter));
  if (chosen.isEmpty())
    return;
  std::string message;
  if (!writeFlatFieldFile(flatFieldFilePath(chosen.toStdString(), ".ffc"), file.bytes, message))
    showMessage(message);
  refreshAll();
}

CFFCSettingXML::CFFCSettingXML(PageHost& host, QWidget* parent) : CFFCSetting(host, parent) {
  offsetGroup()->hide();
  framesGroup()->hide();
  // "Generate" moves up into the space the levels leave.
  auto* grid = static_cast<QGridLayout*>(layout());
  QWidget* generateGroup = button("Generate")->parentWidget();
  grid->removeWidget(generateGroup);
  grid->addWidget(generateGroup, 0, 1);
}

CFFCSelectorSetting::CFFCSelectorSetting(PageHost& host, QWidget* parent)
    : CFFCSetting(host, parent) {
  showSelector(true);
}

CKoKi101_151MC_FFC::CKoKi101_151MC_FFC(PageHost& host, QWidget* parent)
    : CFFCSetting(host, parent) {
  showSelector(true);
  RadioGroup& sequencer = addRadioGroup({.title = "",
                                         .format = cmd::kSequencer,
                                         .stem = "sqm",
                                         .labels = {"On", "Off"},
                                         .values = {1, 0}});
  CheckBox& configuration = addCheckBox(
      {.label = "Configuration On", .format = cmd::kSequencerConfiguration, .stem = "sqcm"});
  Value& index = addValue({.format = cmd::kSequencerIndex, .stem = "sqss"});
  Value& count = addValue({.format = cmd::kSequencerCount, .stem = "sqsc"});
  auto* row = new QHBoxLayout(extraArea());
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(groupBox(
      "Sequencer",
      {sequencer.box, configuration.box, valueBlock(index, "Index"), valueBlock(count, "Count")},
      extraArea()));
}

} // namespace kelpax
