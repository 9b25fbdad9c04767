// The Peltier / TEC pages, the fan page and the aging monitor.
#include "tools/peltier_page.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <cmath>

namespace kelpax {
namespace {

constexpr int kFanFrameMs = 80;
constexpr int kFanStepDegrees = 30;
constexpr char kPrivilegedCommand[] = "aar qelmarst";

QString chooseCsvWithDialog(QWidget* parent) {
  return QFileDialog::getSaveFileName(parent, QString(), QString(),
                                      QStringLiteral("CSV File(*.csv)"));
}

// "%.2f" of the cached target, or nothing.
QString targetText(std::optional<double> target) {
  return target ? QString::asprintf("%.2f", *target) : QString();
}

} // namespace

CPeltierPicture::CPeltierPicture(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("peltierPicture"));
  setMinimumSize(40, 40);
}

void CPeltierPicture::setOn(bool on) {
  on_ = on;
  update();
}

void CPeltierPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF plate = QRectF(rect()).adjusted(6, 10, -6, -10);
  // The element's two ceramic plates, and the cold side lit blue while it pumps heat.
  painter.setPen(QPen(Qt::darkGray, 1.5));
  painter.setBrush(on_ ? QColor(70, 140, 230) : QColor(190, 190, 190));
  painter.drawRect(QRectF(plate.left(), plate.top(), plate.width(), plate.height() / 3));
  painter.setBrush(on_ ? QColor(230, 90, 60) : QColor(160, 160, 160));
  painter.drawRect(
      QRectF(plate.left(), plate.bottom() - plate.height() / 3, plate.width(), plate.height() / 3));
  painter.setPen(QPen(on_ ? QColor(40, 40, 40) : QColor(150, 150, 150), 2));
  for (int i = 1; i < 5; ++i) {
    const double x = plate.left() + plate.width() * i / 5.0;
    painter.drawLine(QPointF(x, plate.top() + plate.height() / 3),
                     QPointF(x, plate.bottom() - plate.height() / 3));
  }
}

CFanPicture::CFanPicture(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("fanPicture"));
  setMinimumSize(40, 40);
  timer_.setInterval(kFanFrameMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    angle_ = (angle_ + kFanStepDegrees) % 360;
    update();
  });
}

void CFanPicture::setAnimating(bool on) {
  if (on)
    timer_.start();
  else
    timer_.stop();
  update();
}

void CFanPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const double radius = std::min(width(), height()) / 2.0 - 3;
  painter.translate(width() / 2.0, height() / 2.0);
  painter.setPen(QPen(Qt::darkGray, 1.5));
  painter.setBrush(Qt::NoBrush);
  painter.drawEllipse(QPointF(0, 0), radius, radius);
  painter.rotate(angle_);
  painter.setBrush(isAnimating() ? QColor(60, 120, 200) : QColor(170, 170, 170));
  for (int blade = 0; blade < 4; ++blade) {
    QPainterPath path;
    path.moveTo(0, 0);
    path.cubicTo(radius * 0.2, -radius * 0.5, radius * 0.7, -radius * 0.6, radius * 0.85, -0.1);
    path.cubicTo(radius * 0.5, radius * 0.1, radius * 0.2, radius * 0.1, 0, 0);
    painter.drawPath(path);
    painter.rotate(90);
  }
  painter.setBrush(Qt::darkGray);
  painter.drawEllipse(QPointF(0, 0), radius * 0.15, radius * 0.15);
}

CAgingMonitor::CAgingMonitor(ThermalControl& control, const std::string& csvPath, QWidget* parent)
    : control_(control), log_(csvPath, control.generation()) {
  chart_ = new CTwoLineChart({.title = QStringLiteral("TEC Temperature Monitor"),
                              .firstLine = QStringLiteral("Horizontal :"),
                              .secondLine = QStringLiteral("Vertical :"),
                              .xTitle = QStringLiteral("Time (s)"),
                              .yTitle = QStringLiteral("Temperature (\u2103)"),
                              .yMin = -10,
                              .yMax = 80},
                             parent);
  chart_->setObjectName(QStringLiteral("temperatureMonitor"));
  chart_->setCaption(QStringLiteral("Time :"));
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (beforePass_)
      beforePass_();
    runPass();
  });
  connect(chart_, &CTwoLineChart::stopRequested, this,
          [this] { stop(QStringLiteral("Stopped by the operator.")); });
  connect(chart_, &CTwoLineChart::closed, this,
          [this] { stop(QStringLiteral("The monitor window was closed.")); });
}

CAgingMonitor::~CAgingMonitor() {
  timer_.stop();
  delete chart_.data();
}

void CAgingMonitor::start(int intervalMs) {
  chart_->show();
  chart_->setRunning(true);
  chart_->setState(QStringLiteral("Logging to %1").arg(QString::fromStdString(log_.path())));
  timer_.setInterval(intervalMs);
  timer_.start();
  runPass();
}

void CAgingMonitor::stop(const QString& why) {
  if (!timer_.isActive())
    return;
  timer_.stop();
  if (chart_) {
    chart_->setRunning(false);
    chart_->setState(
        why +
        QStringLiteral(" %1 lines in %2.").arg(pass_).arg(QString::fromStdString(log_.path())));
  }
  Q_EMIT finished(why);
}

void CAgingMonitor::runPass() {
  if (!timer_.isActive())
    return;
  std::string why;
  const std::optional<AgingSample> sample = control_.readSample(pass_, &why);
  if (!sample) {
    stop(QString::fromStdString(why) + QStringLiteral(" The run stopped."));
    return;
  }
  Q_EMIT sampleTaken(sample->sensorC);
  if (chart_) {
    chart_->addPoints(pass_, sample->cameraC, sample->sensorC);
    chart_->setCaption(QString::asprintf("Aging Time : %02d:%02d:%02d", pass_ / 3600,
                                         (pass_ / 60) % 60, pass_ % 60) +
                       QString::asprintf("    Camera : %4.02f \u2103    TEC : %4.02f \u2103",
                                         sample->cameraC, sample->sensorC));
  }
  if (!log_.append(*sample) && chart_)
    chart_->setState(QStringLiteral("%1 cannot be written: %2 lines skipped, the monitor goes on.")
                         .arg(QString::fromStdString(log_.path()))
                         .arg(log_.linesSkipped()));
  ++pass_;
}

CPeltierCtrlDlg::CPeltierCtrlDlg(PageHost& host, PeltierGeneration generation, QWidget* parent)
    : QWidget(parent), host_(host), control_(host, generation) {
  setObjectName(generation == PeltierGeneration::Classic ? QStringLiteral("peltierPage")
                                                         : QStringLiteral("newPeltierPage"));
  setWindowTitle(QStringLiteral("Peltier / TEC Control "));

  auto* targetBox = new QGroupBox(QStringLiteral("Sensor Target Temperature"), this);
  target_ = new QLineEdit(targetBox);
  target_->setObjectName(QStringLiteral("targetTemperature"));
  auto* targetLayout = new QHBoxLayout(targetBox);
  targetLayout->addWidget(target_);
  targetLayout->addWidget(new QLabel(QStringLiteral("( Range : -10  ~ 80 \u2103 )"), targetBox));
  connect(target_, &QLineEdit::returnPressed, this, &CPeltierCtrlDlg::commitTarget);

  auto* sensorBox = new QGroupBox(QStringLiteral("Sensor Temperature"), this);
  sensor_ = new QLineEdit(sensorBox);
  sensor_->setObjectName(QStringLiteral("sensorTemperature"));
  sensor_->setReadOnly(true);
  getSensor_ = new QPushButton(QStringLiteral("Get Sensor Temperature"), sensorBox);
  getSensor_->setObjectName(QStringLiteral("getSensorTemperature"));
  auto* sensorLayout = new QHBoxLayout(sensorBox);
  sensorLayout->addWidget(sensor_);
  sensorLayout->addWidget(getSensor_);
  connect(getSensor_, &QPushButton::clicked, this, &CPeltierCtrlDlg::readSensorTemperature);

  auto radios = [this](const QString& title, QRadioButton*& on, QRadioButton*& off,
                       QButtonGroup*& group, QWidget* picture) {
    auto* box = new QGroupBox(title, this);
    on = new QRadioButton(QStringLiteral("On"), box);
    off = new QRadioButton(QStringLiteral("Off"), box);
    group = new QButtonGroup(box);
    group->addButton(on, 1);
    group->addButton(off, 0);
    picture->setParent(box);
    auto* layout = new QHBoxLayout(box);
    layout->addWidget(on);
    layout->addWidget(off);
    layout->addStretch(1);
    layout->addWidget(picture);
    return box;
  };
  peltierPicture_ = new CPeltierPicture;
  fanPicture_ = new CFanPicture;
  QGroupBox* peltierBox = radios(QStringLiteral("Peltier Control"), peltierOn_, peltierOff_,
                                 peltierGroup_, peltierPicture_);
  QGroupBox* fanBox =
      radios(QStringLiteral("Fan Control"), fanOn_, fanOff_, fanGroup_, fanPicture_);
  peltierOn_->setObjectName(QStringLiteral("peltierOn"));
  peltierOff_->setObjectName(QStringLiteral("peltierOff"));
  fanOn_->setObjectName(QStringLiteral("fanOn"));
  fanOff_->setObjectName(QStringLiteral("fanOff"));
  connect(peltierGroup_, &QButtonGroup::idClicked, this,
          [this](int id) { onPeltierClicked(id == 1); });
  connect(fanGroup_, &QButtonGroup::idClicked, this, [this](int id) { onFanClicked(id == 1); });

  monitor_ = new QPushButton(QStringLiteral("Monitor"), this);
  monitor_->setObjectName(QStringLiteral("monitor"));
  monitor_->hide();
  connect(monitor_, &QPushButton::clicked, this, &CPeltierCtrlDlg::startMonitor);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(targetBox);
  layout->addWidget(sensorBox);
  layout->addWidget(peltierBox);
  layout->addWidget(fanBox);
  layout->addWidget(monitor_, 0, Qt::AlignLeft);
  layout->addStretch(1);
}

void CPeltierCtrlDlg::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refreshFromCache();
}

void CPeltierCtrlDlg::setTuningForm(bool on) {
  monitor_->setVisible(on);
}

void CPeltierCtrlDlg::refreshFromCache() {
  showTarget();
  showPeltier(control_.peltierOn());
  showFan(control_.fanOn());
}

void CPeltierCtrlDlg::showTarget() {
  target_->setText(targetText(control_.cachedTarget()));
}

void CPeltierCtrlDlg::showPeltier(std::optional<bool> on) {
  peltierGroup_->setExclusive(false);
  peltierOn_->setChecked(on.value_or(false));
  peltierOff_->setChecked(on.has_value() && !*on);
  peltierGroup_->setExclusive(true);
  peltierPicture_->setOn(on.value_or(false));
  if (control_.commands().offLocksTarget)
    target_->setEnabled(on.value_or(true));
}

void CPeltierCtrlDlg::showFan(std::optional<bool> on) {
  fanGroup_->setExclusive(false);
  fanOn_->setChecked(on.value_or(false));
  fanOff_->setChecked(on.has_value() && !*on);
  fanGroup_->setExclusive(true);
  fanPicture_->setAnimating(on.value_or(false));
}

void CPeltierCtrlDlg::commitTarget() {
  bool isNumber = false;
  const int celsius = target_->text().trimmed().toInt(&isNumber);
  // Not a whole number, or outside -10 ... 80: nothing is sent and the edit snaps back.
  if (isNumber)
    control_.setTarget(celsius);
  showTarget();
}

void CPeltierCtrlDlg::onPeltierClicked(bool on) {
  control_.setPeltier(on);
  // Accepted: the cache holds the new state; refused: the old one comes back.
  showPeltier(control_.peltierOn());
}

void CPeltierCtrlDlg::onFanClicked(bool on) {
  control_.setFan(on);
  showFan(control_.fanOn());
}

void CPeltierCtrlDlg::readSensorTemperature() {
  const std::optional<double> celsius = control_.readSensorTemperature();
  sensor_->setText(celsius ? QString::asprintf("%.2f ", *celsius) : QString());
}

void CPeltierCtrlDlg::startMonitor() {
  if (agingMonitor_ && agingMonitor_->running()) {
    agingMonitor_->chart()->raise();
    return;
  }
  const QString chosen = chooseCsv_ ? chooseCsv_() : chooseCsvWithDialog(this);
  if (chosen.isEmpty())
    return;
  agingMonitor_ =
      std::make_unique<CAgingMonitor>(control_, withCsvSuffix(chosen.toStdString()), this);
  connect(agingMonitor_.get(), &CAgingMonitor::sampleTaken, this,
          [this](double celsius) { sensor_->setText(QString::asprintf("%.2f ", celsius)); });
  agingMonitor_->setBeforePass(beforeMonitorPass_);
  host_.sendCommand(kPrivilegedCommand, {.timeoutMs = kThermalTimeoutMs, .shown = true});
  agingMonitor_->start(monitorIntervalMs_);
}

CFanControlDlg::CFanControlDlg(PageHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("fanPage"));
  auto* box = new QGroupBox(QStringLiteral("Fan Operation Mode"), this);
  off_ = new QRadioButton(QStringLiteral("Off"), box);
  on_ = new QRadioButton(QStringLiteral("On"), box);
  off_->setObjectName(QStringLiteral("fanModeOff"));
  on_->setObjectName(QStringLiteral("fanModeOn"));
  group_ = new QButtonGroup(box);
  group_->addButton(off_, 0);
  group_->addButton(on_, 1);
  fan_ = new CFanPicture(box);
  auto* boxLayout = new QHBoxLayout(box);
  boxLayout->addWidget(off_);
  boxLayout->addWidget(on_);
  boxLayout->addStretch(1);
  boxLayout->addWidget(fan_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addStretch(1);
  connect(group_, &QButtonGroup::idClicked, this, &CFanControlDlg::onClicked);
}

void CFanControlDlg::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refreshFromCache();
}

void CFanControlDlg::onClicked(int index) {
  host_.sendCommand(QString::asprintf("sfm %d", index).toStdString(),
                    {.timeoutMs = kThermalTimeoutMs, .shown = true});
  refreshFromCache();
}

void CFanControlDlg::refreshFromCache() {
  showMode(host_.parameterCache().find("fm") ? host_.cacheInt("fm") : -1);
}

void CFanControlDlg::showMode(int32_t mode) {
  group_->setExclusive(false);
  off_->setChecked(mode == 0);
  on_->setChecked(mode == 1);
  group_->setExclusive(true);
  fan_->setAnimating(mode == 1);
}

} // namespace kelpax
