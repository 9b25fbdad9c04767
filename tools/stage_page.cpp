// The nano-stage page.
#include "tools/stage_page.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace kelpax {
namespace {

QString latin(const std::string& text) {
  return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

} // namespace

CStageRunDlg::CStageRunDlg(const QString& title, QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(title);
  setObjectName(QStringLiteral("stageRun"));
  text_ = new QPlainTextEdit(this);
  text_->setReadOnly(true);
  text_->setFont(QFont(QStringLiteral("Monospace"), 9));
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  stop_ = new QPushButton(QStringLiteral("Stop"), this);
  connect(stop_, &QPushButton::clicked, this, &CStageRunDlg::stopRequested);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(progress_, 1);
  bottom->addWidget(stop_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_, 1);
  layout->addLayout(bottom);
  resize(620, 480);
}

CStageCtrlDlg::CStageCtrlDlg(PageHost& host, QWidget* parent)
    : QWidget(parent), host_(host), stage_(host) {
  setObjectName(QStringLiteral("stagePage"));
  setWindowTitle(QStringLiteral("Nano-Stage Control"));

  auto radios = [this](const QString& title, const QStringList& labels, QButtonGroup*& group,
                       const char* format) {
    auto* box = new QGroupBox(title, this);
    auto* layout = new QGridLayout(box);
    group = new QButtonGroup(box);
    for (int i = 0; i < labels.size(); ++i) {
      auto* radio = new QRadioButton(labels[i], box);
      group->addButton(radio, i);
      layout->addWidget(radio, i / 3, i % 3);
    }
    connect(group, &QButtonGroup::idClicked, this,
            [this, format](int id) { sendChoice(format, id); });
    return box;
  };
  QGroupBox* sequenceBox =
      radios(QStringLiteral("Sequence Mode"),
             {QStringLiteral("None"), QStringLiteral("4 Shot Mono"), QStringLiteral("9 Shot Mono"),
              QStringLiteral("4 Shot Color"), QStringLiteral("16 Shot Color"),
              QStringLiteral("36 Shot Color")},
             sequence_, "ssm %d");
  QGroupBox* multiBox =
      radios(QStringLiteral("Multi Shot Mode"),
             {QStringLiteral("Disable"), QStringLiteral("Enable")}, multiShot_, "sme %d");
  QGroupBox* polarityBox =
      radios(QStringLiteral("CC2 Reset Polarity"),
             {QStringLiteral("Active Low"), QStringLiteral("Active High")}, polarity_, "srp %d");
  resetAfter_ = new QCheckBox(QStringLiteral("Stage reset after sequence"), this);
  connect(resetAfter_, &QCheckBox::clicked, this,
          [this](bool checked) { sendChoice("ssr %d", checked ? 1 : 0); });

  // Positions.
  auto* positionBox = new QGroupBox(QStringLiteral("Position (nm)"), this);
  auto* positionLayout = new QGridLayout(positionBox);
  for (int axis = 0; axis < 2; ++axis) {
    QSpinBox* spin = new QSpinBox(positionBox);
    spin->setObjectName(axis == 0 ? QStringLiteral("positionX") : QStringLiteral("positionY"));
    spin->setRange(0, kStageMaxNm);
    spin->setSingleStep(stepNm_);
    spin->setKeyboardTracking(false);
    position_[size_t(axis)] = spin;
    commitSpin(
        spin, [this, axis](int v) { return stage_.setPosition(axis, v); },
        [this, axis] { return host_.cacheInt(axis == 0 ? "np x" : "np y"); });
    positionLayout->addWidget(new QLabel(axis == 0 ? QStringLiteral("X") : QStringLiteral("Y")),
                              axis, 0);
    positionLayout->addWidget(spin, axis, 1);
  }
  range_ = new QLabel(QStringLiteral("( 0 ~ 30000 nm )"), positionBox);
  step_ = new QLineEdit(QString::number(stepNm_), positionBox);
  step_->setObjectName(QStringLiteral("step"));
  connect(step_, &QLineEdit::returnPressed, this, &CStageCtrlDlg::commitStep);
  positionLayout->addWidget(range_, 2, 0, 1, 2);
  positionLayout->addWidget(new QLabel(QStringLiteral("Step (nm)")), 3, 0);
  positionLayout->addWidget(step_, 3, 1);

  auto* commands = new QGridLayout;
  QPushButton* resetButton = addButton(QStringLiteral("Stage Reset"), QStringLiteral("stageReset"),
                                       &CStageCtrlDlg::stageReset);
  QPushButton* calibration =
      addButton(QStringLiteral("Stage Calibration"), QStringLiteral("stageCalibration"),
                &CStageCtrlDlg::stageCalibration);
  QPushButton* check = addButton(QStringLiteral("Stage Check"), QStringLiteral("stageCheck"),
                                 &CStageCtrlDlg::startStageCheck);
  QPushButton* temperatureButton =
      addButton(QStringLiteral("Temperature"), QStringLiteral("temperature"),
                &CStageCtrlDlg::readTemperature);
  temperature_ = new QLineEdit(this);
  temperature_->setReadOnly(true);
  commands->addWidget(resetButton, 0, 0);
  commands->addWidget(calibration, 0, 1);
  commands->addWidget(check, 0, 2);
  commands->addWidget(temperatureButton, 1, 0);
  commands->addWidget(temperature_, 1, 1);

  // The tuning form.
  tuning_ = new QGroupBox(QStringLiteral("PZT Drive"), this);
  auto* tuning = new QGridLayout(tuning_);
  tuning->addWidget(new QLabel(QStringLiteral("X")), 0, 1);
  tuning->addWidget(new QLabel(QStringLiteral("Y")), 0, 2);
  tuning->addWidget(new QLabel(QStringLiteral("DAC")), 1, 0);
  tuning->addWidget(new QLabel(QStringLiteral("POT")), 2, 0);
  tuning->addWidget(new QLabel(QStringLiteral("PZT Gain (0.100 ~ 10.000 )")), 3, 0);
  tuning->addWidget(new QLabel(QStringLiteral("ADC( Vpzt)")), 4, 0);
  for (int axis = 0; axis < 2; ++axis) {
    const QString suffix = axis == 0 ? QStringLiteral("X") : QStringLiteral("Y");
    QSpinBox* dac = new QSpinBox(tuning_);
    dac->setObjectName(QStringLiteral("dac") + suffix);
    dac->setRange(0, kDacMax);
    dac->setSingleStep(stepNm_);
    dac->setKeyboardTracking(false);
    dac->setValue(kZeroDac);
    dac_[size_t(axis)] = dac;
    commitSpin(
        dac, [this, axis](int v) { return stage_.setDac(axis, v); }, nullptr);
    QSpinBox* pot = new QSpinBox(tuning_);
    pot->setObjectName(QStringLiteral("pot") + suffix);
    pot->setRange(0, kPotMax);
    pot->setKeyboardTracking(false);
    pot_[size_t(axis)] = pot;
    commitSpin(
        pot, [this, axis](int v) { return stage_.setPot(axis, v); }, nullptr);
    QDoubleSpinBox* gain = new QDoubleSpinBox(tuning_);
    gain->setObjectName(QStringLiteral("gain") + suffix);
    gain->setDecimals(4);
    gain->setRange(gainMinimum(axis), kGainMax);
    gain->setSingleStep(stepNm_ * 0.00001);
    gain->setKeyboardTracking(false);
    gain->setValue(1.0);
    gain_[size_t(axis)] = gain;
    connect(gain, &QDoubleSpinBox::valueChanged, this, [this, axis, gain](double value) {
      const std::optional<Answer> answer = stage_.setGain(axis, value);
      if (answer && answer->accepted())
        gain->setProperty("committed", value);
      else {
        const QSignalBlocker blocker(gain);
        gain->setValue(
            gain->property("committed").isValid() ? gain->property("committed").toDouble() : 1.0);
      }
    });
    gain->setProperty("committed", 1.0);
    QLineEdit* volts = new QLineEdit(tuning_);
    volts->setObjectName(QStringLiteral("volts") + suffix);
    volts->setReadOnly(true);
    volts_[size_t(axis)] = volts;
    tuning->addWidget(dac, 1, axis + 1);
    tuning->addWidget(pot, 2, axis + 1);
    tuning->addWidget(gain, 3, axis + 1);
    tuning->addWidget(volts, 4, axis + 1);
    QPushButton* start = new QPushButton(QStringLiteral("Start"), tuning_);
    start->setObjectName(QStringLiteral("autoZero") + suffix);
    connect(start, &QPushButton::clicked, this, [this, axis] { startAutoZero(axis); });
    tuning->addWidget(start, 5, axis + 1);
  }
  tuning->addWidget(new QLabel(QStringLiteral("Auto zero")), 5, 0);
  rate_ = new QSpinBox(tuning_);
  rate_->setObjectName(QStringLiteral("drivingRate"));
  rate_->setRange(kDrivingRateMin, kDrivingRateMax);
  rate_->setKeyboardTracking(false);
  commitSpin(
      rate_, [this](int v) { return stage_.setDrivingRate(v); }, nullptr);
  tuning->addWidget(new QLabel(QStringLiteral("Driving Rate")), 6, 0);
  tuning->addWidget(rate_, 6, 1);
  const std::pair<QString, void (CStageCtrlDlg::*)()> tools[] = {
      {QStringLiteral("ReLoad"), &CStageCtrlDlg::reload},
      {QStringLiteral("Stage Setup Time"), &CStageCtrlDlg::stageSetupTime},
      {QStringLiteral("Voltage Monitor"), &CStageCtrlDlg::openVoltageMonitor},
      {QStringLiteral("More Infomation"), &CStageCtrlDlg::toggleDetached},
      {QStringLiteral("Aging Test"), &CStageCtrlDlg::startAgingTest},
  };
  int row = 7;
  for (const auto& [text, slot] : tools) {
    QString name = text;
    name.remove(QLatin1Char(' '));
    tuning->addWidget(addButton(text, name, slot), row / 2 + 4, row % 2 + 1);
    ++row;
  }
  tuning_->hide();

  sequenceLocked_ = {position_[0], position_[1], calibration, check};
  sequenceUnlocked_ = {resetAfter_, multiBox, polarityBox};

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(sequenceBox);
  auto* modes = new QHBoxLayout;
  modes->addWidget(multiBox);
  modes->addWidget(polarityBox);
  layout->addLayout(modes);
  layout->addWidget(resetAfter_);
  layout->addWidget(positionBox);
  layout->addLayout(commands);
  layout->addWidget(tuning_);
  layout->addStretch(1);

  zeroTimer_.setSingleShot(true);
  connect(&zeroTimer_, &QTimer::timeout, this, &CStageCtrlDlg::zeroStep);
  runTimer_.setSingleShot(true);
  connect(&runTimer_, &QTimer::timeout, this, &CStageCtrlDlg::runStep);
  connect(&monitorTimer_, &QTimer::timeout, this, &CStageCtrlDlg::monitorStep);
}

CStageCtrlDlg::~CStageCtrlDlg() {
  delete chart_.data();
  delete runDlg_.data();
}

QPushButton* CStageCtrlDlg::addButton(const QString& text, const QString& name,
                                      void (CStageCtrlDlg::*slot)()) {
  auto* button = new QPushButton(text, this);
  button->setObjectName(name);
  connect(button, &QPushButton::clicked, this, slot);
  return button;
}

QPushButton* CStageCtrlDlg::button(const QString& objectName) const {
  return findChild<QPushButton*>(objectName);
}

void CStageCtrlDlg::tell(const QString& caption, const QString& text) {
  if (message_)
    message_(caption, text);
  else
    QMessageBox::information(this, caption, text);
}

void CStageCtrlDlg::showStatus(const QString& text) {
  if (status_)
    status_(text);
}

void CStageCtrlDlg::showTitle(const QString& text) {
  if (title_)
    title_(text);
  else
    window()->setWindowTitle(text);
}

void CStageCtrlDlg::setSpinValue(QSpinBox* spin, int value) {
  const QSignalBlocker blocker(spin);
  spin->setValue(value);
  spin->setProperty("committed", value);
}

void CStageCtrlDlg::commitSpin(QSpinBox* spin,
                               const std::function<std::optional<Answer>(int)>& send,
                               const std::function<int()> cached) {
  spin->setProperty("committed", spin->value());
  connect(spin, &QSpinBox::valueChanged, this, [this, spin, send, cached](int value) {
    const std::optional<Answer> answer = send(value);
    const bool accepted = answer && answer->accepted();
    // A refused value snaps back to what the camera holds.
    setSpinValue(spin, accepted ? value : cached ? cached() : spin->property("committed").toInt());
  });
}

void CStageCtrlDlg::sendChoice(const char* format, int value) {
  host_.sendCommand(QString::asprintf(format, value).toStdString(),
                    {.timeoutMs = kStageTimeoutMs, .shown = true});
  refreshFromCache();
}

void CStageCtrlDlg::commitStep() {
  bool isNumber = false;
  const int value = step_->text().trimmed().toInt(&isNumber);
  if (isNumber && value >= 0 && value <= kStageStepMax) {
    stepNm_ = value;
    // A step of 0 leaves the spins where they are.
    for (QSpinBox* spin : {position_[0], position_[1], dac_[0], dac_[1]})
      spin->setSingleStep(stepNm_);
    for (QDoubleSpinBox* gain : gain_)
      gain->setSingleStep(stepNm_ * 0.00001);
  }
  step_->setText(QString::number(stepNm_));
}

void CStageCtrlDlg::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refreshFromCache();
}

void CStageCtrlDlg::setTuningForm(bool on) {
  tuning_->setVisible(on);
}

void CStageCtrlDlg::refreshFromCache() {
  const ParameterCache& cache = host_.parameterCache();
  auto check = [&](QButtonGroup* group, const char* stem) {
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
      b->setChecked(cache.find(stem) && group->id(b) == host_.cacheInt(stem));
    group->setExclusive(true);
  };
  check(sequence_, "sm");
  check(multiShot_, "me");
  check(polarity_, "rp");
  resetAfter_->setChecked(cache.find("sr") && host_.cacheInt("sr") == 1);
  if (cache.find("np x"))
    setSpinValue(position_[0], host_.cacheInt("np x"));
  if (cache.find("np y"))
    setSpinValue(position_[1], host_.cacheInt("np y"));
  range_->setText(
      QStringLiteral("( 0 ~ %1 nm )").arg(cache.find("pc") ? host_.cacheInt("pc") : kStageMaxNm));
  applySequenceRule();
}

void CStageCtrlDlg::applySequenceRule() {
  const bool sequence = host_.parameterCache().find("sm") && host_.cacheInt("sm") != 0;
  for (QWidget* w : sequenceLocked_)
    w->setEnabled(!sequence);
  for (QWidget* w : sequenceUnlocked_)
    w->setEnabled(sequence);
  // Cameras that report a sensor mode ("mc" 1) cannot reset or calibrate their stage while in it.
  if (host_.parameterCache().find("mc") && host_.cacheInt("mc") == 1) {
    button(QStringLiteral("stageReset"))->setEnabled(false);
    button(QStringLiteral("stageCalibration"))->setEnabled(false);
  } else {
    button(QStringLiteral("stageReset"))->setEnabled(true);
  }
}

void CStageCtrlDlg::showVoltages(const std::optional<PztVoltages>& volts) {
  volts_[0]->setText(volts ? QString::asprintf("%4.2f", volts->x) : QString());
  volts_[1]->setText(volts ? QString::asprintf("%4.2f", volts->y) : QString());
}

void CStageCtrlDlg::showPositionsFromCamera() {
  // After a reset or a calibration the camera is at 0; the cache learns it from the camera.
  for (const char* query : {"gnp x", "gnp y"})
    host_.sendCommand(query, {.timeoutMs = kStageTimeoutMs});
  setSpinValue(position_[0], 0);
  setSpinValue(position_[1], 0);
}

void CStageCtrlDlg::reload() {
  const StageControl::Reload values = stage_.reload();
  for (QSpinBox* dac : dac_)
    setSpinValue(dac, kZeroDac);
  if (values.potX)
    setSpinValue(pot_[0], *values.potX);
  if (values.potY)
    setSpinValue(pot_[1], *values.potY);
  if (values.drivingRate && *values.drivingRate >= kDrivingRateMin &&
      *values.drivingRate <= kDrivingRateMax)
    setSpinValue(rate_, *values.drivingRate);
  showVoltages(values.voltages);
}

void CStageCtrlDlg::stageReset() {
  QPushButton* b = button(QStringLiteral("stageReset"));
  b->setEnabled(false);
  const bool accepted = stage_.reset().accepted();
  b->setEnabled(true);
  if (accepted) {
    showPositionsFromCamera();
    showStatus(QStringLiteral("Stage Reset OK!"));
    return;
  }
  showStatus(QStringLiteral("Error : Stage Reset"));
  tell(QStringLiteral("Error"), QStringLiteral("Error : Stage reset"));
}

void CStageCtrlDlg::stageCalibration() {
  if (stage_.calibrate().accepted()) {
    showPositionsFromCamera();
    showStatus(QStringLiteral("Stage Calibration OK!"));
    return;
  }
  showStatus(QStringLiteral("Stage Calibration Error"));
  tell(QStringLiteral("Error"), QStringLiteral("Error : Stage Calibration"));
}

void CStageCtrlDlg::readTemperature() {
  temperature_->setText(latin(stage_.temperature().value_or("")));
}

void CStageCtrlDlg::stageSetupTime() {
  const std::optional<double> ms = stage_.setupTimeMs();
  if (!ms) {
    tell(QStringLiteral("Error"), QStringLiteral("Error : Stage Setup Time"));
    return;
  }
  showTitle(QString::asprintf("Count : %d , %0.2f ms", 30, *ms));
}

void CStageCtrlDlg::startAutoZero(int axis) {
  if (zeroTimer_.isActive())
    return;
  zero_ = std::make_unique<AutoZero>(stage_, axis);
  if (zero_->start() != AutoZero::State::Running) {
    tell(QStringLiteral("Error"), latin(zero_->message()));
    return;
  }
  setSpinValue(dac_[size_t(axis)], kZeroDac);
  zeroTimer_.start(0);
}

void CStageCtrlDlg::zeroStep() {
  if (!zero_)
    return;
  const AutoZero::State state = zero_->step();
  // The POT edit follows every step the camera accepted.
  setSpinValue(pot_[size_t(zero_->axis())], zero_->pot());
  if (state == AutoZero::State::Running) {
    zeroTimer_.start(autoZeroMs_);
    return;
  }
  tell(state == AutoZero::State::Converged ? QStringLiteral("Information")
                                           : QStringLiteral("Error"),
       latin(zero_->message()));
}

void CStageCtrlDlg::openVoltageMonitor() {
  QPushButton* monitorButton = button(QStringLiteral("VoltageMonitor"));
  if (!chart_) {
    chart_ = new CTwoLineChart({.title = QStringLiteral("PZT Voltage Chart"),
                                .firstLine = QStringLiteral("Horizontal :"),
                                .secondLine = QStringLiteral("Vertical :"),
                                .xTitle = QStringLiteral("Reading"),
                                .yTitle = QStringLiteral("PZT voltage (V)"),
                                .yMin = -25,
                                .yMax = 150},
                               this);
    chart_->setObjectName(QStringLiteral("pztVoltageChart"));
    connect(chart_, &CTwoLineChart::stopRequested, this, [this] {
      monitorTimer_.stop();
      chart_->setRunning(false);
    });
    connect(chart_, &CTwoLineChart::closed, this, [this, monitorButton] {
      monitorTimer_.stop();
      monitorButton->setEnabled(true);
    });
  }
  monitorButton->setEnabled(false);
  chart_->show();
  chart_->setRunning(true);
  monitorTimer_.start(monitorMs_);
}

void CStageCtrlDlg::monitorStep() {
  if (!chart_)
    return;
  const std::optional<PztVoltages> volts = stage_.readPztVoltages();
  if (!volts) {
    monitorTimer_.stop();
    chart_->setRunning(false);
    chart_->setState(QStringLiteral("The PZT voltages could not be read; the monitor stopped."));
    return;
  }
  chart_->addPoints(monitorX_++, volts->x, volts->y);
  chart_->setCaption(QString::asprintf("X-PZT : %4.2f V    Y-PZT : %4.2f V", volts->x, volts->y));
  showVoltages(volts);
}

void CStageCtrlDlg::toggleDetached() {
  if (!detached_) {
    homeParent_ = parentWidget();
    homeGeometry_ = geometry();
    const double scale = logicalDpiY() / 96.0;
    setParent(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    move(5, 5);
    resize(homeGeometry_.width(), homeGeometry_.height() + int(700 * scale));
    tuning_->show();
    button(QStringLiteral("MoreInfomation"))->setText(QStringLiteral("CLOSE"));
    detached_ = true;
    show();
    reload();
    for (int axis = 0; axis < 2; ++axis) {
      if (std::optional<std::string> gain = stage_.readGain(axis)) {
        bool isNumber = false;
        const double value = QString::fromStdString(*gain).toDouble(&isNumber);
        if (isNumber) {
          const QSignalBlocker blocker(gain_[size_t(axis)]);
          gain_[size_t(axis)]->setValue(value);
          gain_[size_t(axis)]->setProperty("committed", value);
        }
      }
    }
    return;
  }
  setParent(homeParent_, Qt::Widget);
  setGeometry(homeGeometry_);
  button(QStringLiteral("MoreInfomation"))->setText(QStringLiteral("More Infomation"));
  detached_ = false;
  show();
}

void CStageCtrlDlg::startAgingTest() {
  if (runTimer_.isActive())
    return;
  QString chosen = chooseCsv_ ? chooseCsv_()
                              : QFileDialog::getSaveFileName(this, QString(), QString(),
                                                             QStringLiteral("CSV File(*.csv)"));
  if (chosen.isEmpty())
    return;
  if (!chosen.endsWith(QStringLiteral(".csv")))
    chosen += QStringLiteral(".csv");
  openVoltageMonitor();
  monitorTimer_.stop();
  stage_.openPrivileged();
  run_ = std::make_unique<StageAging>(stage_, chosen.toStdString());
  runIsCheck_ = false;
  if (!runDlg_) {
    runDlg_ = new CStageRunDlg(QStringLiteral("Aging Test"), this);
    connect(runDlg_, &CStageRunDlg::stopRequested, this,
            [this] { stopRun(QStringLiteral("Stopped by the operator.")); });
  }
  runDlg_->setWindowTitle(QStringLiteral("Aging Test"));
  runDlg_->text()->setPlainText(QStringLiteral("Logging to %1").arg(chosen));
  runDlg_->progress()->setRange(0, 0);
  runDlg_->stopButton()->setEnabled(true);
  runDlg_->show();
  runTimer_.start(runMs_);
}

void CStageCtrlDlg::startStageCheck() {
  if (runTimer_.isActive())
    return;
  run_ = std::make_unique<StageCheck>(stage_, stepNm_);
  runIsCheck_ = true;
  if (!runDlg_) {
    runDlg_ = new CStageRunDlg(QStringLiteral("Test Results"), this);
    connect(runDlg_, &CStageRunDlg::stopRequested, this,
            [this] { stopRun(QStringLiteral("Stopped by the operator.")); });
  }
  runDlg_->setWindowTitle(QStringLiteral("Test Results"));
  runDlg_->text()->clear();
  runDlg_->progress()->setRange(0, 100);
  runDlg_->progress()->setValue(0);
  runDlg_->stopButton()->setEnabled(true);
  runDlg_->show();
  runTimer_.start(runMs_);
}

void CStageCtrlDlg::runStep() {
  if (!run_)
    return;
  const bool more = run_->step();
  if (runIsCheck_) {
    runDlg_->progress()->setValue(run_->percent());
    runDlg_->text()->setPlainText(latin(static_cast<StageCheck*>(run_.get())->report()));
  } else {
    auto* aging = static_cast<StageAging*>(run_.get());
    showTitle(QString::asprintf("Count : %d , %0.2f ms", aging->count(), aging->lastMoveMs()));
    if (aging->lastVoltages() && chart_) {
      chart_->addPoints(monitorX_++, aging->lastVoltages()->x, aging->lastVoltages()->y);
      showVoltages(aging->lastVoltages());
    }
  }
  if (more) {
    runTimer_.start(runMs_);
    return;
  }
  stopRun(run_->failed() ? QStringLiteral("Stopped: %1.").arg(latin(run_->failure()))
                         : QStringLiteral("Done."));
}

void CStageCtrlDlg::stopRun(const QString& why) {
  runTimer_.stop();
  if (!runDlg_)
    return;
  runDlg_->stopButton()->setEnabled(false);
  runDlg_->progress()->setRange(0, 100);
  if (runIsCheck_ && run_)
    runDlg_->text()->setPlainText(latin(static_cast<StageCheck*>(run_.get())->report()));
  runDlg_->text()->appendPlainText(why);
  if (!runIsCheck_ && run_)
    runDlg_->text()->appendPlainText(QStringLiteral("%1 lines in %2")
                                         .arg(static_cast<StageAging*>(run_.get())->count())
                                         .arg(latin(static_cast<StageAging*>(run_.get())->path())));
}

} // namespace kelpax
