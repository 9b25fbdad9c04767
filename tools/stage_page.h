// The nano-stage page: sequence and multi-shot modes, the stage position, and in its tuning
// form the piezo drive (DAC, POT, gain, rate), auto zero, the voltage chart and the self-tests.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "pages/page_host.h"
#include "tools/stage_control.h"
#include "tools/temperature_chart.h"
#include "tools/tool_page.h"

namespace kelpax {

// What the page tells the operator in a box; tests record it.
using StageMessage = std::function<void(const QString& caption, const QString& text)>;

// A self-test's window: its progress, Stop, and the report or the log's state.
class CStageRunDlg : public QWidget {
  Q_OBJECT

public:
  CStageRunDlg(const QString& title, QWidget* parent = nullptr);
  QPlainTextEdit* text() const { return text_; }
  QProgressBar* progress() const { return progress_; }
  QPushButton* stopButton() const { return stop_; }

Q_SIGNALS:
  void stopRequested();

private:
  QPlainTextEdit* text_;
  QProgressBar* progress_;
  QPushButton* stop_;
};

class CStageCtrlDlg : public QWidget, public ToolPage {
  Q_OBJECT

public:
  CStageCtrlDlg(PageHost& host, QWidget* parent = nullptr);
  ~CStageCtrlDlg() override;

  void refreshFromCache() override;
  void setTuningForm(bool on) override;

  void setMessageSink(StageMessage sink) { message_ = std::move(sink); }
  void setCsvFileChooser(CsvFileChooser chooser) { chooseCsv_ = std::move(chooser); }
  // Where the main window's title goes ("Count : %d , %0.2f ms"); the page's own title when unset.
  void setTitleSink(std::function<void(const QString&)> sink) { title_ = std::move(sink); }
  // The main window's status line ("Stage Reset OK!").
  void setStatusSink(std::function<void(const QString&)> sink) { status_ = std::move(sink); }
  // Pauses of auto zero and the voltage monitor; tests shorten them.
  void setPauses(int autoZeroMs, int monitorMs, int runMs) {
    autoZeroMs_ = autoZeroMs;
    monitorMs_ = monitorMs;
    runMs_ = runMs;
  }

  StageControl& stage() { return stage_; }
  QButtonGroup* sequenceMode() const { return sequence_; }
  QButtonGroup* multiShot() const { return multiShot_; }
  QButtonGroup* polarity() const { return polarity_; }
  QCheckBox* resetAfterSequence() const { return resetAfter_; }
  QSpinBox* position(int axis) const { return position_[size_t(axis)]; }
  QLineEdit* stepEdit() const { return step_; }
  int stepNm() const { return stepNm_; }
  QSpinBox* dac(int axis) const { return dac_[size_t(axis)]; }
  QSpinBox* pot(int axis) const { return pot_[size_t(axis)]; }
  QDoubleSpinBox* gain(int axis) const { return gain_[size_t(axis)]; }
  QSpinBox* drivingRate() const { return rate_; }
  QLineEdit* voltage(int axis) const { return volts_[size_t(axis)]; }
  QLabel* rangeLabel() const { return range_; }
  QLineEdit* temperatureField() const { return temperature_; }
  QPushButton* button(const QString& objectName) const;
  CTwoLineChart* voltageChart() const { return chart_; }
  CStageRunDlg* runWindow() const { return runDlg_; }
  bool runActive() const { return runTimer_.isActive(); }
  bool autoZeroActive() const { return zeroTimer_.isActive(); }
  bool detached() const { return detached_; }

  // The buttons' actions.
  void reload();
  void stageReset();
  void stageCalibration();
  void readTemperature();
  void stageSetupTime();
  void startAutoZero(int axis);
  void openVoltageMonitor();
  void toggleDetached();
  void startAgingTest();
  void startStageCheck();
  void stopRun(const QString& why);

protected:
  void showEvent(QShowEvent* event) override;

private:
  QPushButton* addButton(const QString& text, const QString& name, void (CStageCtrlDlg::*slot)());
  void commitSpin(QSpinBox* spin, const std::function<std::optional<Answer>(int)>& send,
                  const std::function<int()> cached);
  void sendChoice(const char* format, int value);
  void applySequenceRule();
  void showVoltages(const std::optional<PztVoltages>& volts);
  void showPositionsFromCamera();
  void setSpinValue(QSpinBox* spin, int value);
  void commitStep();
  void runStep();
  void zeroStep();
  void monitorStep();
  void tell(const QString& caption, const QString& text);
  void showTitle(const QString& text);
  void showStatus(const QString& text);

  PageHost& host_;
  StageControl stage_;
  StageMessage message_;
  CsvFileChooser chooseCsv_;
  std::function<void(const QString&)> title_;
  std::function<void(const QString&)> status_;
  int autoZeroMs_ = kAutoZeroPauseMs;
  int monitorMs_ = 200;
  int runMs_ = 0;

  QButtonGroup* sequence_ = nullptr;
  QButtonGroup* multiShot_ = nullptr;
  QButtonGroup* polarity_ = nullptr;
  QCheckBox* resetAfter_ = nullptr;
  std::array<QSpinBox*, 2> position_{};
  QLineEdit* step_ = nullptr;
  int stepNm_ = kStageStepAtStart;
  std::array<QSpinBox*, 2> dac_{};
  std::array<QSpinBox*, 2> pot_{};
  std::array<QDoubleSpinBox*, 2> gain_{};
  QSpinBox* rate_ = nullptr;
  std::array<QLineEdit*, 2> volts_{};
  QLabel* range_ = nullptr;
  QLineEdit* temperature_ = nullptr;
  QWidget* tuning_ = nullptr;
  std::vector<QWidget*> sequenceLocked_;   // enabled only with sequence mode "None"
  std::vector<QWidget*> sequenceUnlocked_; // enabled only with a sequence mode

  QPointer<CTwoLineChart> chart_;
  QTimer monitorTimer_;
  double monitorX_ = 0;
  std::unique_ptr<AutoZero> zero_;
  QTimer zeroTimer_;
  std::unique_ptr<StageRun> run_;
  QPointer<CStageRunDlg> runDlg_;
  QTimer runTimer_;
  bool runIsCheck_ = false;

  bool detached_ = false;
  QWidget* homeParent_ = nullptr;
  QRect homeGeometry_;
};

} // namespace kelpax
