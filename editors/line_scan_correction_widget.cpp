// Dark and PRNU data controls of the Ku and Ke pages.
#include "editors/line_scan_correction_widget.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>

#include "editors/flat_field.h"
#include "transfer/binary_transfer.h"

namespace kelpax {
namespace {

QString qtText(std::string_view text) {
  return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

FlatFieldSender senderOf(PageHost& host) {
  return [&host](const std::string& command, uint32_t timeoutMs) {
    return host.sendCommand(command, {.timeoutMs = timeoutMs, .shown = true});
  };
}

PageDialogs standardDialogs(QWidget* owner) {
  PageDialogs dialogs;
  dialogs.openFile = [owner](const QString& filter) {
    return QFileDialog::getOpenFileName(owner, QString(), QString(), filter);
  };
  dialogs.saveFile = [owner](const QString& filter) {
    return QFileDialog::getSaveFileName(owner, QString(), QString(), filter);
  };
  dialogs.message = [owner](const QString& text) {
    QMessageBox::information(owner, QString(), text);
  };
  return dialogs;
}

QGroupBox* box(const QString& title, std::initializer_list<QWidget*> widgets, QWidget* parent) {
  auto* group = new QGroupBox(title, parent);
  auto* layout = new QHBoxLayout(group);
  for (QWidget* widget : widgets) {
    widget->setParent(group);
    layout->addWidget(widget);
  }
  return group;
}

// The target level typed: a whole number 0-4095, or none.
std::optional<int32_t> levelOf(const QLineEdit* edit) {
  bool ok = false;
  const int value = edit->text().trimmed().toInt(&ok);
  if (!ok || value < 0 || value > 4095)
    return std::nullopt;
  return value;
}

} // namespace

CKuCorrectionWidget::CKuCorrectionWidget(PageHost& host, QWidget* parent)
    : QWidget(parent), host_(host), dialogs_(standardDialogs(this)) {
  dark_ = new QPushButton(QStringLiteral("Generate"));
  prnu_ = new QPushButton(QStringLiteral("Generate"));
  targetCheck_ = new QCheckBox(QStringLiteral("Target Level"));
  target_ = new QLineEdit(QStringLiteral("2048"));
  auto* coefficientsDown = new QPushButton(QStringLiteral("Download"));
  auto* coefficientsUp = new QPushButton(QStringLiteral("Upload"));
  auto* linearityDown = new QPushButton(QStringLiteral("Download"));
  connect(dark_, &QPushButton::clicked, this, [this] { generateDark(); });
  connect(prnu_, &QPushButton::clicked, this, [this] { generatePrnu(); });
  connect(coefficientsDown, &QPushButton::clicked, this, [this] { downloadCoefficients(); });
  connect(coefficientsUp, &QPushButton::clicked, this, [this] { uploadCoefficients(); });
  connect(linearityDown, &QPushButton::clicked, this, [this] { downloadLinearity(); });

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(box(QStringLiteral("DSNU Correction"), {dark_}, this), 0, 0);
  layout->addWidget(box(QStringLiteral("PRNU Correction"), {targetCheck_, target_, prnu_}, this), 0,
                    1);
  layout->addWidget(box(QStringLiteral("PRNU Coefficent Flash Upload / Download"),
                        {coefficientsDown, coefficientsUp}, this),
                    1, 0);
  layout->addWidget(box(QStringLiteral("Linearity"), {linearityDown}, this), 1, 1);
}

void CKuCorrectionWidget::say(const std::string& text) {
  if (!text.empty() && dialogs_.message)
    dialogs_.message(qtText(text));
}

void CKuCorrectionWidget::generateDark() {
  if (busy_())
    return;
  dark_->setEnabled(false);
  say(std::string(kDarkCaution));
  say(generateKuDark(senderOf(host_)).message);
  dark_->setEnabled(true);
}

void CKuCorrectionWidget::generatePrnu() {
  if (busy_())
    return;
  std::optional<int32_t> level;
  if (targetCheck_->isChecked()) {
    level = levelOf(target_);
    if (!level) {
      say("The target level is a whole number from 0 to 4095.");
      return;
    }
  }
  prnu_->setEnabled(false);
  say(std::string(kPrnuCaution));
  say(generateKuPrnu(level, senderOf(host_)).message);
  prnu_->setEnabled(true);
}

void CKuCorrectionWidget::download(bool linearity) {
  if (busy_())
    return;
  BinaryTransfer* transfer = host_.binaryTransfer();
  if (!transfer)
    return;
  const QString path =
      dialogs_.openFile(qtText(linearity ? kLinearityFileFilter : kPrnuFileFilter));
  if (path.isEmpty())
    return;
  std::string text, message;
  if (!readFlatFieldFile(path.toStdString(), kCsvFileSizeLimit, text, message)) {
    say(message);
    return;
  }
  const FlatFieldDownload download =
      linearity ? planLinearityDownload(text) : planPrnuDownload(text);
  if (!download.ok) {
    say(download.message);
    return;
  }
  if (transfer->SendBinary(download.plan).ok() && download.valuesDropped > 0)
    say("The camera takes " + std::to_string(download.values) + " values; the last " +
        std::to_string(download.valuesDropped) + " of the file were not sent.");
}

void CKuCorrectionWidget::downloadCoefficients() {
  download(false);
}
void CKuCorrectionWidget::downloadLinearity() {
  download(true);
}

void CKuCorrectionWidget::uploadCoefficients() {
  if (busy_())
    return;
  BinaryTransfer* transfer = host_.binaryTransfer();
  if (!transfer)
    return;
  std::vector<uint8_t> received;
  if (!transfer->ReceiveBinary(planPrnuUpload(), received).ok())
    return;
  const FlatFieldFile file = prnuFileFromUpload(received);
  if (!file.ok) {
    say(file.message);
    return;
  }
  const QString chosen = dialogs_.saveFile(qtText(kPrnuFileFilter));
  if (chosen.isEmpty())
    return;
  std::string message;
  if (!writeFlatFieldFile(flatFieldFilePath(chosen.toStdString(), ".csv"), file.bytes, message))
    say(message);
}

CKeCorrectionWidget::CKeCorrectionWidget(PageHost& host, QWidget* parent)
    : QWidget(parent), host_(host), dialogs_(standardDialogs(this)) {
  auto button = [this](const char* label, KeAction action) {
    auto* b = new QPushButton(QString::fromLatin1(label));
    connect(b, &QPushButton::clicked, this, [this, action] { run(int(action)); });
    return b;
  };
  target_ = new QLineEdit(QStringLiteral("0"));
  auto* prnuGenerate = new QPushButton(QStringLiteral("Generate"));
  connect(prnuGenerate, &QPushButton::clicked, this, [this] { generatePrnu(); });
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(box(QStringLiteral("Dark Data"),
                        {button("Generate", KeAction::GenerateDark),
                         button("Save", KeAction::SaveDark), button("Load", KeAction::LoadDark)},
                        this));
  layout->addWidget(box(QStringLiteral("PRNU Data"),
                        {target_, prnuGenerate, button("Save", KeAction::SavePrnu),
                         button("Load", KeAction::LoadPrnu)},
                        this));
}

void CKeCorrectionWidget::run(int action) {
  if (busy_())
    return;
  const CommandOutcome outcome = runKeAction(KeAction(action), senderOf(host_));
  if (!outcome.message.empty() && dialogs_.message)
    dialogs_.message(qtText(outcome.message));
}

void CKeCorrectionWidget::generatePrnu() {
  if (busy_())
    return;
  const std::optional<int32_t> level = levelOf(target_);
  const std::string message = level ? generateKePrnu(*level, senderOf(host_)).message
                                    : "The target level is a whole number from 0 to 4095.";
  if (dialogs_.message)
    dialogs_.message(qtText(message));
}

} // namespace kelpax
