// The two-line chart window.
#include "tools/temperature_chart.h"

#include <QCloseEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

namespace kelpax {

std::vector<QPointF> decimateForDrawing(const std::vector<QPointF>& points, size_t maxPoints) {
  if (points.size() <= maxPoints || maxPoints < 4)
    return points;
  // Each bucket gives its lowest and its highest point, in the order they came.
  const size_t buckets = maxPoints / 2;
  std::vector<QPointF> drawn;
  drawn.reserve(buckets * 2);
  for (size_t b = 0; b < buckets; ++b) {
    const size_t begin = b * points.size() / buckets;
    const size_t end = (b + 1) * points.size() / buckets;
    if (begin >= end)
      continue;
    size_t low = begin;
    size_t high = begin;
    for (size_t i = begin + 1; i < end; ++i) {
      if (points[i].y() < points[low].y())
        low = i;
      if (points[i].y() > points[high].y())
        high = i;
    }
    drawn.push_back(points[std::min(low, high)]);
    if (low != high)
      drawn.push_back(points[std::max(low, high)]);
  }
  return drawn;
}

CTwoLineChart::CTwoLineChart(const Look& look, QWidget* parent)
    : QDialog(parent), yMin_(look.yMin), yMax_(look.yMax) {
  setWindowTitle(look.title);
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  setAttribute(Qt::WA_DeleteOnClose, false);
  const QFont verdana(QStringLiteral("Verdana"), 9);

  caption_ = new QLabel(this);
  caption_->setObjectName(QStringLiteral("chartCaption"));
  caption_->setFont(verdana);
  state_ = new QLabel(this);
  state_->setObjectName(QStringLiteral("chartState"));
  state_->setWordWrap(true);
  stop_ = new QPushButton(QStringLiteral("Stop"), this);
  stop_->setObjectName(QStringLiteral("chartStop"));
  connect(stop_, &QPushButton::clicked, this, &CTwoLineChart::stopRequested);

  firstSeries_ = new QLineSeries;
  firstSeries_->setName(look.firstLine);
  secondSeries_ = new QLineSeries;
  secondSeries_->setName(look.secondLine);
  chart_ = new QChart;
  chart_->addSeries(firstSeries_);
  chart_->addSeries(secondSeries_);
  xAxis_ = new QValueAxis;
  xAxis_->setTitleText(look.xTitle);
  xAxis_->setLabelFormat(QStringLiteral("%d"));
  yAxis_ = new QValueAxis;
  yAxis_->setTitleText(look.yTitle);
  yAxis_->setRange(yMin_, yMax_);
  xAxis_->setRange(0, 60);
  chart_->addAxis(xAxis_, Qt::AlignBottom);
  chart_->addAxis(yAxis_, Qt::AlignLeft);
  for (QLineSeries* series : {firstSeries_, secondSeries_}) {
    series->attachAxis(xAxis_);
    series->attachAxis(yAxis_);
  }
  chart_->legend()->setVisible(true);
  chart_->legend()->setAlignment(Qt::AlignBottom);
  chart_->legend()->setFont(verdana);
  chart_->setAnimationOptions(QChart::NoAnimation);
  view_ = new QChartView(chart_, this);
  view_->setRenderHint(QPainter::Antialiasing);
  view_->setMinimumSize(520, 300);

  auto* top = new QHBoxLayout;
  top->addWidget(caption_, 1);
  top->addWidget(stop_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(view_, 1);
  layout->addWidget(state_);
}

void CTwoLineChart::addPoints(double x, double first, double second) {
  first_.emplace_back(x, first);
  second_.emplace_back(x, second);
  // A value beyond the scale widens it rather than leaving the chart.
  yMin_ = std::min({yMin_, first, second});
  yMax_ = std::max({yMax_, first, second});
  redraw();
}

void CTwoLineChart::appendPoints(const std::vector<QPointF>& first,
                                 const std::vector<QPointF>& second) {
  const size_t count = std::min(first.size(), second.size());
  for (size_t i = 0; i < count; ++i) {
    first_.push_back(first[i]);
    second_.push_back(second[i]);
    yMin_ = std::min({yMin_, first[i].y(), second[i].y()});
    yMax_ = std::max({yMax_, first[i].y(), second[i].y()});
  }
  redraw();
}

void CTwoLineChart::redraw() {
  auto toList = [](const std::vector<QPointF>& points) {
    const std::vector<QPointF> drawn = decimateForDrawing(points);
    return QList<QPointF>(drawn.begin(), drawn.end());
  };
  firstSeries_->replace(toList(first_));
  secondSeries_->replace(toList(second_));
  const double lastX = first_.empty() ? 0 : first_.back().x();
  const double firstX = first_.empty() ? 0 : first_.front().x();
  xAxis_->setRange(firstX, std::max(firstX + 60, lastX));
  yAxis_->setRange(yMin_, yMax_);
}

void CTwoLineChart::setCaption(const QString& text) {
  caption_->setText(text);
}

void CTwoLineChart::setState(const QString& text) {
  state_->setText(text);
}

QString CTwoLineChart::caption() const {
  return caption_->text();
}

QString CTwoLineChart::state() const {
  return state_->text();
}

void CTwoLineChart::setRunning(bool running) {
  stop_->setEnabled(running);
}

void CTwoLineChart::closeEvent(QCloseEvent* event) {
  QDialog::closeEvent(event);
  Q_EMIT closed();
}

void CTwoLineChart::reject() {
  QDialog::reject();
  Q_EMIT closed();
}

} // namespace kelpax
