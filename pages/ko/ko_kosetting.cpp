// The Ko factory page.
#include "pages/ko/ko_kosetting.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>

#include "camera/tables/command_vocabulary.h"
#include "pages/page_layout.h"
#include "transfer/ccd_timing.h"

namespace kelpax {
namespace {

std::optional<int32_t> numberIn(const QLineEdit* edit, int32_t min, int32_t max) {
  bool ok = false;
  const int value = edit->text().trimmed().toInt(&ok);
  if (!ok || value < min || value > max)
    return std::nullopt;
  return value;
}

QLineEdit* field(QWidget* parent, int digits) {
  auto* edit = new QLineEdit(parent);
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QString(digits, '0')) + 12);
  return edit;
}

} // namespace

CKo_Kosetting::CKo_Kosetting(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
  setWindowTitle("Ko Model Factory");
  build();
}

void CKo_Kosetting::build() {
  auto* grid = new QGridLayout(this);

  auto* serialBox = new QGroupBox("Board S/N", this);
  auto* serialGrid = new QGridLayout(serialBox);
  for (size_t i = 0; i < kKoSerialFields.size(); ++i) {
    const std::string_view caption = kKoSerialFields[i].caption;
    serialGrid->addWidget(
        new QLabel(QString::fromLatin1(caption.data(), qsizetype(caption.size())), serialBox),
        int(i), 0);
    serials_[i] = field(serialBox, 16);
    serialGrid->addWidget(serials_[i], int(i), 1);
    connect(serials_[i], &QLineEdit::returnPressed, this, [this, i] { writeSerial(i); });
  }
  grid->addWidget(serialBox, 0, 0, 2, 1);

  auto* adjustBox = new QGroupBox("Gain Offset/ Adjust", this);
  auto* adjustGrid = new QGridLayout(adjustBox);
  gainPiece_ = field(adjustBox, 6);
  blackOffset_ = field(adjustBox, 6);
  adjustGrid->addWidget(new QLabel("Gain piece:", adjustBox), 0, 0);
  adjustGrid->addWidget(gainPiece_, 0, 1);
  adjustGrid->addWidget(new QLabel("Offset:", adjustBox), 1, 0);
  adjustGrid->addWidget(blackOffset_, 1, 1);
  connect(gainPiece_, &QLineEdit::returnPressed, this, [this] { writeGainPiece(); });
  connect(blackOffset_, &QLineEdit::returnPressed, this, [this] { writeBlackOffset(); });
  grid->addWidget(adjustBox, 0, 1);

  RadioGroup& clock = addRadioGroup({.title = "Sensor Clock",
                                     .format = cmd::kCameraLinkClock,
                                     .stem = "ccs",
                                     .labels = {"40 MHz", "42.5 MHz"},
                                     .values = {0, 1},
                                     .onlyKnownValues = true});
  clock.box->setParent(this);
  grid->addWidget(clock.box, 1, 1);

  auto* biasBox = new QGroupBox("CMOS Bias Voltage Seeting", this);
  auto* biasGrid = new QGridLayout(biasBox);
  for (size_t i = 0; i < kBiasVoltages.size(); ++i) {
    const QString name = QString::fromLatin1(kBiasVoltages[i].data()).toUpper();
    biasGrid->addWidget(new QLabel(name + " :", biasBox), int(i % 3), int(i / 3) * 2);
    bias_[i] = field(biasBox, 5);
    biasGrid->addWidget(bias_[i], int(i % 3), int(i / 3) * 2 + 1);
    connect(bias_[i], &QLineEdit::returnPressed, this, [this, i] { writeBias(i); });
  }
  grid->addWidget(biasBox, 0, 2);

  download_ = addButton({.label = "Download", .action = [this] {
                           const QString path = chooseSensorInfoFile();
                           if (!path.isEmpty())
                             downloadSensorInfo(path);
                         }});
  download_->setEnabled(false);
  sensorInfoResult_ = new QLabel(this);
  grid->addWidget(groupBox("Sensor Info Down", {download_, sensorInfoResult_}, this), 1, 2);
  defect_ = addButton({.label = "Defect Down", .action = [this] {
                         if (defectDownload_)
                           defectDownload_();
                       }});
  defect_->setEnabled(false);

  auto* agingBox = new QGroupBox("Communication Aging", this);
  auto* agingGrid = new QGridLayout(agingBox);
  address_ = field(agingBox, 10);
  data_ = field(agingBox, 10);
  registerResult_ = new QLabel(agingBox);
  agingGrid->addWidget(new QLabel("Address:", agingBox), 0, 0);
  agingGrid->addWidget(address_, 0, 1);
  agingGrid->addWidget(new QLabel("ex) 0x02", agingBox), 0, 2);
  agingGrid->addWidget(new QLabel("Data:", agingBox), 1, 0);
  agingGrid->addWidget(data_, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(addButton({.label = "Read", .action = [this] { readRegister(); }}));
  buttons->addWidget(addButton({.label = "Write", .action = [this] { writeRegister(); }}));
  buttons->addWidget(addButton({.label = "Aging", .action = [this] { runAging(); }}));
  agingGrid->addLayout(buttons, 2, 0, 1, 3);
  agingGrid->addWidget(registerResult_, 3, 0, 1, 3);
  grid->addWidget(agingBox, 2, 0, 1, 2);

  auto* actions = new QHBoxLayout;
  actions->addWidget(defect_);
  actions->addStretch();
  actions->addWidget(addButton({.label = "Refresh", .action = [this] { readAll(); }}));
  grid->addLayout(actions, 2, 2, Qt::AlignBottom);
  grid->setRowStretch(3, 1);
}

void CKo_Kosetting::setSingleFrameSender(SingleFrameSender sender) {
  sendFrame_ = std::move(sender);
  download_->setEnabled(bool(sendFrame_));
}

void CKo_Kosetting::setDefectDownload(std::function<void()> download) {
  defectDownload_ = std::move(download);
  defect_->setEnabled(bool(defectDownload_));
}

Answer CKo_Kosetting::quiet(const std::string& command) {
  return host().sendCommand(command, {.timeoutMs = kCommandTimeoutMs});
}

void CKo_Kosetting::readAll() {
  const KoFactoryReadings readings =
      readFactorySettings([this](const std::string& line) { return quiet(line); });
  // What the camera would not tell is shown empty, never as an old value.
  for (size_t i = 0; i < serials_.size(); ++i)
    serials_[i]->setText(readings.serials[i] ? QString::fromStdString(*readings.serials[i])
                                             : QString());
  for (size_t i = 0; i < bias_.size(); ++i)
    bias_[i]->setText(readings.bias[i] ? QString::number(*readings.bias[i]) : QString());
  blackOffset_->setText(readings.blackOffset ? QString::number(*readings.blackOffset) : QString());
  if (!readings.opened)
    showMessage("The camera did not open its factory level.");
}

void CKo_Kosetting::writePrivileged(const std::string& command) {
  const FactorySend channel = [this](const std::string& line) { return quiet(line); };
  withPrivilegedLevel(channel, [&] { send(command); });
  // Sent or refused, the fields show what the camera keeps.
  readAll();
}

void CKo_Kosetting::writeSerial(size_t field) {
  const std::string text = serials_.at(field)->text().trimmed().toStdString();
  if (!serialTextValid(text)) {
    showMessage(QString("A serial number is 1 to %1 characters without blanks.").arg(kSerialMax));
    readAll();
    return;
  }
  writePrivileged("ssn " + std::string(kKoSerialFields[field].selector) + " " + text);
}

void CKo_Kosetting::writeBias(size_t voltage) {
  const std::optional<int32_t> value = numberIn(bias_.at(voltage), 0, kBiasMax);
  if (!value) {
    readAll();
    return;
  }
  writePrivileged("svref " + std::string(kBiasVoltages[voltage]) + " " + std::to_string(*value));
}

void CKo_Kosetting::writeBlackOffset() {
  if (const std::optional<int32_t> value = numberIn(blackOffset_, 0, kBlackOffsetMax))
    writePrivileged(formatCommand(cmd::kBlackLevelOffset, {double(*value)}));
  else
    readAll();
}

void CKo_Kosetting::writeGainPiece() {
  const std::optional<int32_t> value = numberIn(gainPiece_, 0, kGainPieceMax);
  if (!value) {
    gainPiece_->clear();
    return;
  }
  const FactorySend channel = [this](const std::string& line) { return quiet(line); };
  bool accepted = false;
  withPrivilegedLevel(channel,
                      [&] { accepted = send(formatCommand(cmd::kGainPiece, {double(*value)})); });
  // The camera does not report its gain piece: the field keeps what it accepted.
  if (!accepted)
    gainPiece_->clear();
}

void CKo_Kosetting::readRegister() {
  const std::optional<uint32_t> address =
      parseRegisterNumber(address_->text().trimmed().toStdString());
  if (!address) {
    registerResult_->setText("The address is a number such as 0x02.");
    return;
  }
  std::optional<uint32_t> value;
  withPrivilegedLevel([this](const std::string& line) { return quiet(line); },
                      [&] { value = registerValueOf(quiet(registerReadCommand(*address))); });
  data_->setText(value ? QString::asprintf("0x%08X", *value) : QString());
  registerResult_->setText(value ? QString::asprintf("0x%08X = 0x%08X", *address, *value)
                                 : QStringLiteral("Read failed"));
}

void CKo_Kosetting::writeRegister() {
  const std::optional<uint32_t> address =
      parseRegisterNumber(address_->text().trimmed().toStdString());
  const std::optional<uint32_t> value = parseRegisterNumber(data_->text().trimmed().toStdString());
  if (!address || !value) {
    registerResult_->setText("The address and data are numbers such as 0x02.");
    return;
  }
  bool accepted = false;
  withPrivilegedLevel([this](const std::string& line) { return quiet(line); },
                      [&] { accepted = send(registerWriteCommand(*address, *value)); });
  registerResult_->setText(accepted ? QStringLiteral("Write OK") : QStringLiteral("Write failed"));
}

void CKo_Kosetting::runAging(int reads) {
  const std::optional<uint32_t> address =
      parseRegisterNumber(address_->text().trimmed().toStdString());
  if (!address) {
    registerResult_->setText("The address is a number such as 0x02.");
    return;
  }
  AgingResult result;
  const FactorySend channel = [this](const std::string& line) { return quiet(line); };
  const bool opened =
      withPrivilegedLevel(channel, [&] { result = runRegisterAging(channel, *address, reads); });
  registerResult_->setText(opened ? QString::fromStdString(agingSummary(result))
                                  : QStringLiteral("Read failed"));
}

void CKo_Kosetting::downloadSensorInfo(const QString& path) {
  if (!sendFrame_)
    return;
  const SensorInfoOutcome outcome = kelpax::downloadSensorInfo(path.toStdString(), sendFrame_);
  sensorInfoResult_->setText(QString::fromStdString(outcome.message));
  showMessage(QString::fromStdString(outcome.message));
}

void CKo_Kosetting::showMessage(const QString& text) {
  QMessageBox::information(this, windowTitle(), text);
}

QString CKo_Kosetting::chooseSensorInfoFile() {
  const std::string_view filter = kCcdFileFilter;
  return QFileDialog::getOpenFileName(this, {}, {},
                                      QString::fromLatin1(filter.data(), qsizetype(filter.size())));
}

} // namespace kelpax
