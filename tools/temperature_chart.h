// A chart window of two lines over time, for the temperature monitor and the PZT voltages: real
// chart widgets with axes and a legend. Every point is kept; long runs are drawn decimated.
#pragma once

#include <QDialog>
#include <QPointF>
#include <QString>
#include <vector>

class QLabel;
class QPushButton;
QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
QT_END_NAMESPACE

namespace kelpax {

// Points drawn per line at most; longer lines are cut into buckets whose lowest and highest
// points are drawn, so a spike stays visible however long the run.
inline constexpr size_t kDrawnPointsPerLine = 2000;

std::vector<QPointF> decimateForDrawing(const std::vector<QPointF>& points,
                                        size_t maxPoints = kDrawnPointsPerLine);

class CTwoLineChart : public QDialog {
  Q_OBJECT

public:
  struct Look {
    QString title{};      // "TEC Temperature Monitor"
    QString firstLine{};  // "Horizontal :"
    QString secondLine{}; // "Vertical :"
    QString xTitle{};     // "Time (s)"
    QString yTitle{};     // "Temperature (℃)"
    double yMin = -10;
    double yMax = 80;
  };

  explicit CTwoLineChart(const Look& look, QWidget* parent = nullptr);

  // Adds one point to each line at x.
  void addPoints(double x, double first, double second);
  // Adds many points to each line (equal counts) and draws once: a stored run shown again.
  void appendPoints(const std::vector<QPointF>& first, const std::vector<QPointF>& second);
  // The caption above the chart ("Aging Time : 00:00:05 ...") and the run's state below it.
  void setCaption(const QString& text);
  void setState(const QString& text);
  QString caption() const;
  QString state() const;

  size_t pointCount() const { return first_.size(); }
  const std::vector<QPointF>& firstPoints() const { return first_; }
  const std::vector<QPointF>& secondPoints() const { return second_; }
  // What the chart draws now.
  QLineSeries* firstSeries() const { return firstSeries_; }
  QLineSeries* secondSeries() const { return secondSeries_; }
  QChartView* chartView() const { return view_; }
  QPushButton* stopButton() const { return stop_; }
  void setRunning(bool running);

Q_SIGNALS:
  void stopRequested();
  void closed();

protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

private:
  void redraw();

  QLabel* caption_ = nullptr;
  QLabel* state_ = nullptr;
  QPushButton* stop_ = nullptr;
  QChart* chart_ = nullptr;
  QChartView* view_ = nullptr;
  QLineSeries* firstSeries_ = nullptr;
  QLineSeries* secondSeries_ = nullptr;
  QValueAxis* xAxis_ = nullptr;
  QValueAxis* yAxis_ = nullptr;
  std::vector<QPointF> first_;
  std::vector<QPointF> second_;
  double yMin_;
  double yMax_;
};

} // namespace kelpax
