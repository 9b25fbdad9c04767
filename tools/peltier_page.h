// The cooled camera's pages: the Peltier / TEC page in its two generations, with the aging
// monitor, and the fan-only page.
#pragma once

#include <QButtonGroup>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "pages/page_host.h"
#include "tools/temperature_chart.h"
#include "tools/thermal_control.h"
#include "tools/tool_page.h"

namespace kelpax {

// The Peltier element: drawn glowing when on, grey when off.
class CPeltierPicture : public QWidget {
public:
  explicit CPeltierPicture(QWidget* parent = nullptr);
  void setOn(bool on);
  bool isOn() const { return on_; }
  QSize sizeHint() const override { return {48, 48}; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  bool on_ = false;
};

// The fan: its blades turn while it runs.
class CFanPicture : public QWidget {
public:
  explicit CFanPicture(QWidget* parent = nullptr);
  void setAnimating(bool on);
  bool isAnimating() const { return timer_.isActive(); }
  int angle() const { return angle_; }
  QSize sizeHint() const override { return {48, 48}; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QTimer timer_;
  int angle_ = 0;
};

// Polls the temperatures once per pass, draws them and appends them to the aging log, while its
// chart window is open. The wait between passes runs on the window's timer, so the program
// stays responsive and Stop or closing the chart ends the run at once.
class CAgingMonitor : public QObject {
  Q_OBJECT

public:
  CAgingMonitor(ThermalControl& control, const std::string& csvPath, QWidget* parent);
  ~CAgingMonitor() override;

  // Opens the privileged level and runs the first pass now, the others every `intervalMs`.
  void start(int intervalMs = 1000);
  void stop(const QString& why);
  bool running() const { return timer_.isActive(); }
  int passes() const { return pass_; }
  CTwoLineChart* chart() const { return chart_; }
  const AgingLog& log() const { return log_; }
  // Called before each pass after the first (tests move the camera's clock on here).
  void setBeforePass(std::function<void()> hook) { beforePass_ = std::move(hook); }

Q_SIGNALS:
  void sampleTaken(double sensorC);
  void finished(const QString& why);

private:
  void runPass();

  ThermalControl& control_;
  AgingLog log_;
  QPointer<CTwoLineChart> chart_;
  QTimer timer_;
  int pass_ = 0;
  std::function<void()> beforePass_;
};

class CPeltierCtrlDlg : public QWidget, public ToolPage {
  Q_OBJECT

public:
  CPeltierCtrlDlg(PageHost& host, QWidget* parent = nullptr)
      : CPeltierCtrlDlg(host, PeltierGeneration::Classic, parent) {}

  void refreshFromCache() override;
  void setTuningForm(bool on) override;
  void setCsvFileChooser(CsvFileChooser chooser) { chooseCsv_ = std::move(chooser); }
  // The monitor's pass interval and a hook before each later pass; tests shorten the one and
  // move the camera's clock in the other.
  void setMonitorPacing(int intervalMs, std::function<void()> beforePass) {
    monitorIntervalMs_ = intervalMs;
    beforeMonitorPass_ = std::move(beforePass);
  }

  QLineEdit* targetEdit() const { return target_; }
  QLineEdit* sensorField() const { return sensor_; }
  QPushButton* sensorButton() const { return getSensor_; }
  QRadioButton* peltierRadio(bool on) const { return on ? peltierOn_ : peltierOff_; }
  QRadioButton* fanRadio(bool on) const { return on ? fanOn_ : fanOff_; }
  QPushButton* monitorButton() const { return monitor_; }
  CPeltierPicture* peltierPicture() const { return peltierPicture_; }
  CFanPicture* fanPicture() const { return fanPicture_; }
  CAgingMonitor* monitor() const { return agingMonitor_.get(); }
  ThermalControl& control() { return control_; }

  // The monitor's "Monitor" button: asks for the CSV file and starts the aging monitor.
  void startMonitor();
  void readSensorTemperature();

protected:
  CPeltierCtrlDlg(PageHost& host, PeltierGeneration generation, QWidget* parent);
  void showEvent(QShowEvent* event) override;

private:
  void commitTarget();
  void onPeltierClicked(bool on);
  void onFanClicked(bool on);
  void showPeltier(std::optional<bool> on);
  void showFan(std::optional<bool> on);
  void showTarget();

  PageHost& host_;
  ThermalControl control_;
  QLineEdit* target_ = nullptr;
  QLineEdit* sensor_ = nullptr;
  QPushButton* getSensor_ = nullptr;
  QRadioButton* peltierOn_ = nullptr;
  QRadioButton* peltierOff_ = nullptr;
  QRadioButton* fanOn_ = nullptr;
  QRadioButton* fanOff_ = nullptr;
  QButtonGroup* peltierGroup_ = nullptr;
  QButtonGroup* fanGroup_ = nullptr;
  CPeltierPicture* peltierPicture_ = nullptr;
  CFanPicture* fanPicture_ = nullptr;
  QPushButton* monitor_ = nullptr;
  CsvFileChooser chooseCsv_;
  int monitorIntervalMs_ = 1000;
  std::function<void()> beforeMonitorPass_;
  std::unique_ptr<CAgingMonitor> agingMonitor_;
};

// The same page for the newer cooled cameras: "sptm"/"sfm", and the target stays editable with
// the Peltier element off.
class CNewPeltierCtrlDlg : public CPeltierCtrlDlg {
  Q_OBJECT

public:
  CNewPeltierCtrlDlg(PageHost& host, QWidget* parent = nullptr)
      : CPeltierCtrlDlg(host, PeltierGeneration::Newer, parent) {}
};

class CFanControlDlg : public QWidget, public ToolPage {
  Q_OBJECT

public:
  CFanControlDlg(PageHost& host, QWidget* parent = nullptr);

  void refreshFromCache() override;
  void setTuningForm(bool) override {}

  QRadioButton* radio(int index) const { return index == 0 ? off_ : on_; }
  CFanPicture* fanPicture() const { return fan_; }

protected:
  void showEvent(QShowEvent* event) override;

private:
  void onClicked(int index);
  void showMode(int32_t mode);

  PageHost& host_;
  QButtonGroup* group_ = nullptr;
  QRadioButton* off_ = nullptr;
  QRadioButton* on_ = nullptr;
  CFanPicture* fan_ = nullptr;
};

} // namespace kelpax
