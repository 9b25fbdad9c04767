// The factory tuning dialog.
#include "tools/fs_dlg.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "tools/column_offset_dlg.h"
#include "transfer/ccd_timing.h"
#include "transfer/defect_pixels.h"

namespace kelpax {
namespace {

QString latin(std::string_view text) {
  return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

constexpr const char* kSerialCaptions[kSerialFields] = {
    "B1(CCD):", "B2(PRO):", "B3(FPGA):", "B4(IO):", "S/N:", "CCD S/N:", "CCD Vsub:"};
constexpr const char* kQuadrantCaptions[kQuadrants] = {"L - T", "R - T", "L- B", "R - B"};
constexpr char kGainPresetCaption[] = "CAMERA → PC";
// The soak test runs one round per turn of the event loop: the window stays live and "Stop"
// is seen between rounds.
constexpr int kSoakIntervalMs = 0;

QPushButton* plainButton(const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(caption);
  // Enter commits the edit that has the focus; it must not press a button.
  button->setAutoDefault(false);
  return button;
}

} // namespace

CFSDlg::CFSDlg(PageHost& host, Options options, QWidget* parent)
    : QDialog(parent), host_(host), options_(std::move(options)), tuning_(host) {
  setWindowTitle(QStringLiteral("Factory Setting"));
  setObjectName(QStringLiteral("CFSDlg"));

  // --- timing words
  auto* timing = new QGroupBox(QStringLiteral("CCD Timing"), this);
  auto* timingGrid = new QGridLayout(timing);
  width_ = new QRadioButton(QStringLiteral("Width"), timing);
  offset_ = new QRadioButton(QStringLiteral("Offset"), timing);
  width_->setChecked(true);
  connect(width_, &QRadioButton::toggled, this, [this] { showChosenSet(); });
  timingGrid->addWidget(width_, 0, 0);
  timingGrid->addWidget(offset_, 0, 1);
  for (int row = 0; row < kTimingChannels; ++row) {
    auto* box = new QCheckBox(latin(timingCaption(row, false)), timing);
    auto* edit = new QSpinBox(timing);
    edit->setRange(0, kTimingValues - 1);
    edit->setButtonSymbols(QAbstractSpinBox::NoButtons);
    edit->setKeyboardTracking(false);
    edit->setObjectName(QStringLiteral("timing%1").arg(row));
    // A typed word goes into the chosen set; it is sent with "Update" or the wheel.
    connect(edit, &QSpinBox::valueChanged, this, [this] { storeEdits(); });
    channelBoxes_[size_t(row)] = box;
    channelEdits_[size_t(row)] = edit;
    timingGrid->addWidget(box, row + 1, 0);
    timingGrid->addWidget(edit, row + 1, 1);
  }
  auto* timingButtons = new QVBoxLayout;
  const std::pair<QString, std::function<void()>> timingActions[] = {
      {QStringLiteral("▲"), [this] { step(+1); }},
      {QStringLiteral("▼"), [this] { step(-1); }},
      {QStringLiteral("ALL"), [this] { checkAll(true); }},
      {QStringLiteral("Clear"), [this] { checkAll(false); }},
      {QStringLiteral("Reset"), [this] { reset(); }},
      {QStringLiteral("Update"), [this] { update(); }},
      {QStringLiteral("Save"), [this] { save(); }},
      {QStringLiteral("Load"), [this] { load(); }},
  };
  for (const auto& [caption, action] : timingActions) {
    QPushButton* b = plainButton(caption, timing);
    connect(b, &QPushButton::clicked, this, action);
    timingButtons->addWidget(b);
  }
  timingButtons->addStretch(1);
  clamp_ = new QCheckBox(QStringLiteral("OFFSET CLAMP"), timing);
  connect(clamp_, &QCheckBox::clicked, this, [this] { toggleClamp(); });
  timingButtons->addWidget(clamp_);
  timingGrid->addLayout(timingButtons, 1, 2, kTimingChannels, 1);

  // --- serial numbers
  auto* serialBox = new QGroupBox(QStringLiteral("Serial Number"), this);
  auto* serialGrid = new QGridLayout(serialBox);
  for (int i = 0; i < kSerialFields; ++i) {
    auto* edit = new QLineEdit(serialBox);
    edit->setObjectName(QStringLiteral("serial%1").arg(i));
    edit->setMaxLength(32);
    connect(edit, &QLineEdit::returnPressed, this, [this, i] { commitSerial(SerialField(i)); });
    serials_[size_t(i)] = edit;
    serialGrid->addWidget(new QLabel(QString::fromUtf8(kSerialCaptions[i]), serialBox), i, 0);
    serialGrid->addWidget(edit, i, 1);
  }
  QPushButton* snLoad = plainButton(QStringLiteral("S/N Load"), serialBox);
  connect(snLoad, &QPushButton::clicked, this, [this] { loadSerials(); });
  serialGrid->addWidget(snLoad, kSerialFields, 1);

  // --- calibration values
  auto* calibration = new QGroupBox(QStringLiteral("Calibration"), this);
  auto* calibrationGrid = new QGridLayout(calibration);
  vsub_ = new QLineEdit(calibration);
  vsub_->setObjectName(QStringLiteral("vsub"));
  connect(vsub_, &QLineEdit::returnPressed, this, [this] { commitVsub(); });
  calibrationGrid->addWidget(new QLabel(QStringLiteral("Vsub :"), calibration), 0, 0);
  calibrationGrid->addWidget(vsub_, 0, 1);
  const std::tuple<const char*, IntRange, bool> calibrationEdits[] = {
      {"AFE Delay :", kAfeDelayRange, true},
      {"Gain difference :", kGainDifferenceRange, true},
      {"Gain Offset :", kGainOffsetRange, false},
      {"Gain Range :", kGainRangeRange, false},
      {kGainPresetCaption, kGainPresetRange, true},
  };
  int row = 1;
  for (const auto& [caption, range, spin] : calibrationEdits) {
    calibrationGrid->addWidget(new QLabel(QString::fromUtf8(caption), calibration), row, 0);
    calibrationGrid->addWidget(addIntEdit(QString::fromUtf8(caption), range, spin), row, 1);
    ++row;
  }
  // The gain preset edit has no caption of its own: it stands beside "CAMERA → PC".

  auto* quadrants = new QGroupBox(QStringLiteral("Offset"), this);
  auto* quadrantGrid = new QGridLayout(quadrants);
  for (int q = 0; q < kQuadrants; ++q) {
    quadrantGrid->addWidget(new QLabel(QString::fromLatin1(kQuadrantCaptions[q]), quadrants), q / 2,
                            (q % 2) * 2);
    quadrantGrid->addWidget(
        addIntEdit(QString::fromLatin1(kQuadrantCaptions[q]), kQuadrantOffsetRange, true), q / 2,
        (q % 2) * 2 + 1);
  }
  auto* linearity = new QGroupBox(QStringLiteral("Linearity"), this);
  auto* linearityGrid = new QGridLayout(linearity);
  linearityGrid->addWidget(new QLabel(QStringLiteral("High Gain:"), linearity), 0, 0);
  linearityGrid->addWidget(addIntEdit(QStringLiteral("High Gain:"), kLinearityRange, true), 0, 1);
  linearityGrid->addWidget(new QLabel(QStringLiteral("Low Gain:"), linearity), 1, 0);
  linearityGrid->addWidget(addIntEdit(QStringLiteral("Low Gain:"), kLinearityRange, true), 1, 1);

  // --- downloads
  auto* downloads = new QGroupBox(QStringLiteral("Download"), this);
  auto* downloadLayout = new QVBoxLayout(downloads);
  const std::pair<QString, std::function<void()>> downloadActions[] = {
      {QStringLiteral("CCD Info Download"), [this] { ccdDownload(); }},
      {QStringLiteral("Column Offset Download"), [this] { showColumnOffset(); }},
      {QStringLiteral("Pixel Gain Down"), [this] { pixelGainDownload(); }},
      {QStringLiteral("Pixel Gain Upload"), {}},
  };
  for (const auto& [caption, action] : downloadActions) {
    QPushButton* b = plainButton(caption, downloads);
    if (action)
      connect(b, &QPushButton::clicked, this, action);
    else
      b->setEnabled(false); // no action behind it on these cameras
    const bool binary = caption != QStringLiteral("Column Offset Download");
    if (binary && !options_.transfer)
      b->setEnabled(false);
    downloadLayout->addWidget(b);
  }

  // --- the soak test
  auto* aging = new QGroupBox(QStringLiteral("Communication Aging"), this);
  auto* agingGrid = new QGridLayout(aging);
  address_ = new QLineEdit(aging);
  address_->setObjectName(QStringLiteral("address"));
  address_->setPlaceholderText(QStringLiteral("ex) 0x00"));
  agingGrid->addWidget(new QLabel(QStringLiteral("ADRESS :"), aging), 0, 0);
  agingGrid->addWidget(address_, 0, 1, 1, 2);
  QPushButton* start = plainButton(QStringLiteral("Start"), aging);
  QPushButton* stop = plainButton(QStringLiteral("Stop"), aging);
  connect(start, &QPushButton::clicked, this, &CFSDlg::startSoak);
  connect(stop, &QPushButton::clicked, this, &CFSDlg::stopSoak);
  agingGrid->addWidget(start, 1, 1);
  agingGrid->addWidget(stop, 1, 2);
  soakLabel_ = new QLabel(aging);
  soakLabel_->setObjectName(QStringLiteral("soakLabel"));
  agingGrid->addWidget(soakLabel_, 2, 0, 1, 3);
  soakTimer_.setInterval(kSoakIntervalMs);
  connect(&soakTimer_, &QTimer::timeout, this, &CFSDlg::soakStep);

  // --- the foot row
  auto* foot = new QHBoxLayout;
  for (const char* caption : {"4M", "11M", "END"}) {
    QPushButton* b = plainButton(QString::fromLatin1(caption), this);
    b->setEnabled(false); // no action behind them on these cameras
    foot->addWidget(b);
  }
  foot->addStretch(1);
  QPushButton* refresh = plainButton(QStringLiteral("Refresh"), this);
  connect(refresh, &QPushButton::clicked, this, [this] {
    if (options_.refresh)
      options_.refresh();
    else
      readFromCamera();
  });
  QPushButton* close = plainButton(QStringLiteral("Close"), this);
  connect(close, &QPushButton::clicked, this, &CFSDlg::reject);
  foot->addWidget(refresh);
  foot->addWidget(close);

  auto* right = new QVBoxLayout;
  right->addWidget(serialBox);
  right->addWidget(calibration);
  auto* middle = new QVBoxLayout;
  middle->addWidget(quadrants);
  middle->addWidget(linearity);
  middle->addWidget(downloads);
  middle->addWidget(aging);
  middle->addStretch(1);
  auto* columns = new QHBoxLayout;
  columns->addWidget(timing);
  columns->addLayout(middle);
  columns->addLayout(right);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns, 1);
  layout->addLayout(foot);
  showChosenSet();
}

CFSDlg::~CFSDlg() {
  soakTimer_.stop();
}

QSpinBox* CFSDlg::addIntEdit(const QString& caption, IntRange range, bool spin) {
  auto* edit = new QSpinBox(this);
  edit->setObjectName(caption);
  edit->setRange(range.min, range.max);
  edit->setKeyboardTracking(false);
  if (!spin)
    edit->setButtonSymbols(QAbstractSpinBox::NoButtons);
  // Enter, leaving the edit and a spin step all commit the value.
  connect(edit, &QSpinBox::valueChanged, this, [this, edit](int value) { commitInt(edit, value); });
  intEdits_.emplace_back(caption, edit);
  accepted_[edit] = edit->value();
  return edit;
}

QSpinBox* CFSDlg::intEdit(const QString& caption) const {
  for (const auto& [name, edit] : intEdits_)
    if (name == caption)
      return edit;
  return nullptr;
}

QPushButton* CFSDlg::button(const QString& caption) const {
  return findChild<QPushButton*>(caption);
}

void CFSDlg::tell(const std::string& caption, const std::string& text) {
  if (options_.message)
    options_.message(caption, text);
  else
    QMessageBox::warning(this, QString::fromStdString(caption), QString::fromStdString(text));
}

void CFSDlg::status(const std::string& text) {
  if (options_.status)
    options_.status(text);
}

void CFSDlg::beep(int hz, int ms) {
  if (options_.beeper)
    options_.beeper(hz, ms);
  else
    QApplication::beep();
}

bool CFSDlg::judged(const std::optional<Answer>& answer) {
  if (!answer) {
    status("The value is outside the range the camera takes.");
    return false;
  }
  // The command exchange has put the camera's answer or error into the status line.
  return answer->accepted();
}

// --- timing words --------------------------------------------------------------------------------

TimingSetKind CFSDlg::chosen() const {
  return offset_->isChecked() ? TimingSetKind::Offset : TimingSetKind::Width;
}

void CFSDlg::showChosenSet() {
  const std::array<TimingChannel, kTimingChannels> rows = timingDialogOrder();
  const TimingSet& set = sets_.of(chosen());
  for (int row = 0; row < kTimingChannels; ++row) {
    const QSignalBlocker block(channelEdits_[size_t(row)]);
    channelEdits_[size_t(row)]->setValue(set[size_t(rows[size_t(row)])]);
  }
}

void CFSDlg::storeEdits() {
  const std::array<TimingChannel, kTimingChannels> rows = timingDialogOrder();
  TimingSet& set = sets_.of(chosen());
  for (int row = 0; row < kTimingChannels; ++row) {
    QSpinBox* edit = channelEdits_[size_t(row)];
    // A half-typed word still in the edit is taken as far as it is a number.
    edit->interpretText();
    set[size_t(rows[size_t(row)])] = uint8_t(edit->value());
  }
}

void CFSDlg::step(int delta) {
  storeEdits();
  const std::array<TimingChannel, kTimingChannels> rows = timingDialogOrder();
  std::array<bool, kTimingChannels> checked{};
  for (int row = 0; row < kTimingChannels; ++row)
    checked[size_t(rows[size_t(row)])] = channelBoxes_[size_t(row)]->isChecked();
  stepTimingChannels(sets_.of(chosen()), checked, delta);
  showChosenSet();
}

void CFSDlg::wheelStep(int delta) {
  step(delta);
  beep(1000, 5);
  tuning_.sendSet(chosen(), sets_.of(chosen()));
}

void CFSDlg::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta == 0) {
    QDialog::wheelEvent(event);
    return;
  }
  wheelStep(delta > 0 ? +1 : -1);
  event->accept();
}

void CFSDlg::checkAll(bool on) {
  for (QCheckBox* box : channelBoxes_)
    box->setChecked(on);
}

void CFSDlg::reset() {
  sets_ = TimingSets::defaults();
  showChosenSet();
}

void CFSDlg::update() {
  storeEdits();
  tuning_.update(sets_);
  beep(1000, 100);
}

void CFSDlg::save() {
  storeEdits();
  const QString filter = latin(kTimingFileFilter);
  const std::string path =
      options_.saveFile
          ? options_.saveFile(filter)
          : QFileDialog::getSaveFileName(this, QString(), QString(), filter).toStdString();
  if (path.empty())
    return;
  const std::string error = saveTimingFile(path, sets_);
  if (!error.empty())
    tell("Error", error);
}

void CFSDlg::load() {
  const QString filter = latin(kTimingFileFilter);
  const std::string path =
      options_.openFile
          ? options_.openFile(filter)
          : QFileDialog::getOpenFileName(this, QString(), QString(), filter).toStdString();
  if (path.empty())
    return;
  const TimingFileRead read = loadTimingFile(path);
  if (!read.sets) {
    tell("Error", read.error);
    return;
  }
  sets_ = *read.sets;
  showChosenSet();
}

void CFSDlg::toggleClamp() {
  // The box has toggled already; it shows the camera's state, so it goes back until the camera
  // has accepted the change.
  const bool checkedBefore = !clamp_->isChecked();
  clamp_->setChecked(checkedBefore);
  if (tuning_.toggleOffsetClamp(checkedBefore).accepted())
    clamp_->setChecked(!checkedBefore);
}

// --- serial numbers and calibration --------------------------------------------------------------

void CFSDlg::loadSerials() {
  for (int i = 0; i < kSerialFields; ++i) {
    if (std::optional<std::string> serial = tuning_.readSerial(SerialField(i))) {
      acceptedSerials_[size_t(i)] = QString::fromStdString(*serial);
      serials_[size_t(i)]->setText(acceptedSerials_[size_t(i)]);
    }
  }
}

void CFSDlg::commitSerial(SerialField field) {
  QLineEdit* edit = serials_[size_t(field)];
  const std::string text = edit->text().trimmed().toStdString();
  if (judged(tuning_.setSerial(field, text)))
    acceptedSerials_[size_t(field)] = QString::fromStdString(text);
  edit->setText(acceptedSerials_[size_t(field)]);
}

void CFSDlg::commitVsub() {
  bool number = false;
  const double volts = vsub_->text().trimmed().toDouble(&number);
  if (judged(number ? tuning_.setVsub(volts) : std::nullopt))
    acceptedVsub_ = QString::asprintf("%2.2f", volts);
  vsub_->setText(acceptedVsub_);
}

void CFSDlg::showInt(QSpinBox* edit, std::optional<int> value) {
  if (!edit || !value)
    return;
  const QSignalBlocker block(edit);
  accepted_[edit] = *value;
  edit->setValue(*value);
}

void CFSDlg::commitInt(QSpinBox* edit, int value) {
  const QString caption = edit->objectName();
  QSpinBox* gainOffset = intEdit(QStringLiteral("Gain Offset :"));
  QSpinBox* gainRange = intEdit(QStringLiteral("Gain Range :"));
  bool ok = false;
  if (caption == QStringLiteral("AFE Delay :")) {
    ok = judged(tuning_.setAfeDelay(value));
  } else if (caption == QStringLiteral("Gain Offset :") ||
             caption == QStringLiteral("Gain Range :")) {
    const int offset = edit == gainOffset ? value : accepted_[gainOffset];
    const int range = edit == gainRange ? value : accepted_[gainRange];
    ok = judged(tuning_.setGainCalibration(offset, range));
  } else if (caption == QStringLiteral("Gain difference :")) {
    const FactoryTuning::GainDifferenceOutcome outcome =
        tuning_.setGainDifference(value, accepted_[gainOffset], accepted_[gainRange]);
    showInt(gainOffset, outcome.gainOffset);
    ok = judged(outcome.answer);
  } else if (caption == QString::fromUtf8(kGainPresetCaption)) {
    ok = judged(tuning_.setGainPreset(value));
  } else if (caption == QStringLiteral("High Gain:") || caption == QStringLiteral("Low Gain:")) {
    ok = judged(tuning_.setLinearity(caption == QStringLiteral("Low Gain:"), value));
  } else {
    for (int q = 0; q < kQuadrants; ++q)
      if (caption == QString::fromLatin1(kQuadrantCaptions[q]))
        ok = judged(tuning_.setQuadrantOffset(q + 1, value));
  }
  if (ok)
    accepted_[edit] = value;
  else
    showInt(edit, accepted_[edit]); // a refused value snaps back to the camera's
}

void CFSDlg::readFromCamera() {
  const bool ka29m = isKa29M(host_.modelDescriptor());
  for (int row = 0; row < kTimingChannels; ++row)
    channelBoxes_[size_t(row)]->setText(latin(timingCaption(row, ka29m)));
  QPushButton* refresh = button(QStringLiteral("Refresh"));
  refresh->setEnabled(false);
  const FactoryReadings readings = tuning_.readPage();
  if (readings.width)
    sets_.width = *readings.width;
  if (readings.offset)
    sets_.offset = *readings.offset;
  showInt(intEdit(QStringLiteral("AFE Delay :")), readings.afeDelay);
  showInt(intEdit(QStringLiteral("Gain Offset :")), readings.gainOffset);
  showInt(intEdit(QStringLiteral("Gain Range :")), readings.gainRange);
  showInt(intEdit(QStringLiteral("Gain difference :")), readings.gainDifference);
  showInt(intEdit(QString::fromUtf8(kGainPresetCaption)), readings.gainPreset);
  for (int q = 0; q < kQuadrants; ++q)
    showInt(intEdit(QString::fromLatin1(kQuadrantCaptions[q])), readings.quadrants[size_t(q)]);
  showInt(intEdit(QStringLiteral("High Gain:")), readings.highGain);
  showInt(intEdit(QStringLiteral("Low Gain:")), readings.lowGain);
  if (readings.vsub) {
    acceptedVsub_ = QString::asprintf("%2.2f", *readings.vsub);
    vsub_->setText(acceptedVsub_);
  }
  if (readings.offsetClamp)
    clamp_->setChecked(*readings.offsetClamp);
  refresh->setEnabled(true);
  showChosenSet();
}

// --- downloads -----------------------------------------------------------------------------------

void CFSDlg::ccdDownload() {
  if (!options_.transfer)
    return;
  const QString filter = latin(kCcdFileFilter);
  const std::string path =
      options_.openFile
          ? options_.openFile(filter)
          : QFileDialog::getOpenFileName(this, QString(), QString(), filter).toStdString();
  if (path.empty())
    return;
  const FactoryDownloadOutcome outcome = downloadCcdInformation(*options_.transfer, host_, path);
  if (!outcome.message.empty())
    tell(outcome.caption, outcome.message);
}

void CFSDlg::pixelGainDownload() {
  if (!options_.transfer)
    return;
  const QString filter = latin(kDefectOpenFilter);
  const std::string path =
      options_.openFile
          ? options_.openFile(filter)
          : QFileDialog::getOpenFileName(this, QString(), QString(), filter).toStdString();
  if (path.empty())
    return;
  const FactoryDownloadOutcome outcome =
      downloadPixelGains(*options_.transfer, host_.modelDescriptor(), path);
  if (!outcome.message.empty())
    tell(outcome.caption, outcome.message);
}

void CFSDlg::showColumnOffset() {
  if (!columnOffset_) {
    columnOffset_ = new CColumnOffsetDlg(host_, options_.workingFolder, this);
    if (options_.message)
      columnOffset_->setMessageSink(
          [this](const QString& text) { options_.message("Error", text.toStdString()); });
  }
  columnOffset_->show();
  columnOffset_->raise();
}

// --- the soak test -------------------------------------------------------------------------------

void CFSDlg::startSoak() {
  if (soak_)
    return;
  const std::optional<std::string> address =
      RegisterSoak::normaliseAddress(address_->text().toStdString());
  if (!address) {
    tell("Error", "The register address must be a hexadecimal number, e.g. 0x1A0.");
    return;
  }
  soak_ = std::make_unique<RegisterSoak>(host_, *address);
  button(QStringLiteral("Start"))->setEnabled(false);
  soakLabel_->setText(QStringLiteral("Running: 0 rounds"));
  soakTimer_.start();
}

void CFSDlg::stopSoak() {
  if (soak_)
    soak_->stop();
}

void CFSDlg::soakStep() {
  if (!soak_) {
    soakTimer_.stop();
    return;
  }
  const RegisterSoak::State state = soak_->step();
  if (state == RegisterSoak::State::Running) {
    if (soak_->rounds() % 16 == 0)
      soakLabel_->setText(QStringLiteral("Running: %1 rounds").arg(soak_->rounds()));
    return;
  }
  soakTimer_.stop();
  const QString rounds = QString::number(soak_->rounds());
  if (state == RegisterSoak::State::Stopped) {
    soakLabel_->setText(QStringLiteral("Stopped after %1 rounds.").arg(rounds));
  } else {
    soakLabel_->setText(QStringLiteral("Ended after %1 rounds: %2")
                            .arg(rounds, QString::fromStdString(soak_->failure())));
    status(soak_->failure());
    beep(soak_->endBeepHz(), 100);
  }
  soak_.reset();
  button(QStringLiteral("Start"))->setEnabled(true);
}

void CFSDlg::reject() {
  stopSoak();
  soakStep();
  if (options_.closed)
    options_.closed();
  QDialog::reject();
}

} // namespace kelpax
