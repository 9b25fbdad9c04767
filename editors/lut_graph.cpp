// The look-up table graph and its point dialog; see lut_graph.h.
#include "editors/lut_graph.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "pages/edit_widgets.h"

namespace kelpax {

namespace {

// Room around the plot for the scale numbers, the axis titles and, above it, the strip where
// entries without data are marked.
constexpr int kLeftMargin = 58;
constexpr int kTopMargin = 22;
constexpr int kRightMargin = 18;
constexpr int kBottomMargin = 44;
constexpr int kNoDataStrip = 8;
constexpr int kMarkerHalf = 4;

const QColor kPlotBackground(0xfb, 0xfb, 0xf8);
const QColor kGridColour(0xdc, 0xdc, 0xd6);
const QColor kFrameColour(0x60, 0x60, 0x60);
const QColor kCurveColour(0x1f, 0x5f, 0xbf);
const QColor kPolygonColour(0xd0, 0x70, 0x20);
const QColor kNoDataColour(0xc8, 0x30, 0x30);

} // namespace

CLUTGraph::CLUTGraph(LutTable& table, QWidget* parent)
    : QWidget(parent), table_(table), points_(table.size()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

CLUTGraph::~CLUTGraph() {
  if (config_)
    delete config_.data();
}

void CLUTGraph::setPointMode(bool on) {
  if (on == pointMode_)
    return;
  pointMode_ = on;
  dragging_ = false;
  points_.release();
  setMouseTracking(on);
  if (!on)
    unsetCursor();
  update();
  Q_EMIT pointModeChanged(on);
}

void CLUTGraph::setPoints(std::vector<LutPoint> points) {
  points_.setInputCount(table_.size());
  points_.assign(std::move(points));
  update();
  Q_EMIT pointsChanged();
}

void CLUTGraph::clearPoints() {
  points_.clear();
  dragging_ = false;
  update();
  Q_EMIT pointsChanged();
}

bool CLUTGraph::applyPoints() {
  points_.setInputCount(table_.size());
  if (!buildLutFromPoints(curveKind_, points_.points(), table_))
    return false;
  if (curveKind_ == LutCurveKind::Smooth)
    points_.clear();
  setPointMode(false);
  refresh();
  Q_EMIT tableChanged();
  Q_EMIT pointsChanged();
  return true;
}

CLutConfigDlg* CLUTGraph::openConfigDialog() {
  if (config_) {
    config_->raise();
    return config_;
  }
  auto* dialog = new CLutConfigDlg(*this, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  config_ = dialog;
  dialog->open();
  return dialog;
}

void CLUTGraph::showMessage(const QString& text) {
  if (message_)
    message_(text);
  else
    QMessageBox::information(this, QString(), text);
}

LutPlotRect CLUTGraph::plotRect() const {
  return {kLeftMargin, kTopMargin, std::max(width() - kRightMargin, kLeftMargin + 1),
          std::max(height() - kBottomMargin, kTopMargin + 1)};
}

void CLUTGraph::refresh() {
  // A new table type puts the points on another scale; they go.
  if (points_.inputCount() != table_.size()) {
    points_.setInputCount(table_.size());
    Q_EMIT pointsChanged();
  }
  columnsStale_ = true;
  update();
}

void CLUTGraph::resizeEvent(QResizeEvent* event) {
  columnsStale_ = true;
  QWidget::resizeEvent(event);
}

void CLUTGraph::summarise() {
  const LutPlotRect plot = plotRect();
  columns_.resize(size_t(std::max(plot.width(), 1)));
  summariseLutColumns(table_.values(), columns_);
  columnsStale_ = false;
}

void CLUTGraph::paintEvent(QPaintEvent*) {
  if (columnsStale_)
    summarise();
  const LutPlotRect plot = plotRect();
  const LutPlotMapping map = mapping();
  const int n = table_.size();
  const QRectF plotArea(plot.left, plot.top, plot.width(), plot.height());

  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  painter.fillRect(plotArea, kPlotBackground);

  // Grid: eight steps on each axis, scale numbers at every other line.
  QFont scaleFont(QStringLiteral("Verdana"));
  scaleFont.setPixelSize(10);
  painter.setFont(scaleFont);
  const QFontMetrics scaleMetrics(scaleFont);
  for (int step = 0; step <= 8; ++step) {
    const double x = map.xOf(double(n) * step / 8);
    const double y = map.yOf(double(kLutOutputCount) * step / 8);
    painter.setPen(QPen(kGridColour, 1));
    if (step > 0 && step < 8) {
      painter.drawLine(QPointF(x, plot.top), QPointF(x, plot.bottom));
      painter.drawLine(QPointF(plot.left, y), QPointF(plot.right, y));
    }
    if (step % 2 == 0) {
      painter.setPen(palette().color(QPalette::WindowText));
      const QString inputText = QString::number(std::min(n * step / 8, n - 1));
      const QString outputText =
          QString::number(std::min(kLutOutputCount * step / 8, int(kLutMaxOutput)));
      const int inputWidth = scaleMetrics.horizontalAdvance(inputText);
      painter.drawText(QPointF(std::clamp(x - inputWidth / 2.0, double(plot.left - inputWidth),
                                          double(width() - inputWidth)),
                               plot.bottom + scaleMetrics.ascent() + 3),
                       inputText);
      painter.drawText(QPointF(plot.left - scaleMetrics.horizontalAdvance(outputText) - 4,
                               y + scaleMetrics.ascent() / 2.0 - 1),
                       outputText);
    }
  }

  // Axis titles.
  QFont titleFont(QStringLiteral("Verdana"));
  titleFont.setPixelSize(11);
  titleFont.setBold(true);
  painter.setFont(titleFont);
  painter.setPen(palette().color(QPalette::WindowText));
  const QFontMetrics titleMetrics(titleFont);
  painter.drawText(
      QRectF(plot.left, height() - titleMetrics.height() - 4, plot.width(), titleMetrics.height()),
      Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("INPUT"));
  painter.save();
  painter.translate(titleMetrics.height() / 2.0 + 4, plot.top + plot.height() / 2.0);
  painter.rotate(-90);
  painter.drawText(QRectF(-plot.height() / 2.0, -titleMetrics.height() / 2.0, plot.height(),
                          titleMetrics.height()),
                   Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("OUTPUT"));
  painter.restore();

  // The curve, from the per-column summary: each column joins the previous column's last
  // entry, strokes from its lowest to its highest entry and leaves from its last, which is the
  // picture every entry drawn one by one would give. Entries without data break the curve and
  // are marked in the strip above the plot.
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setClipRect(QRectF(plot.left - 1, plot.top - kNoDataStrip - 4, plot.width() + 2,
                             plot.height() + kNoDataStrip + 6));
  std::vector<QPointF> run;
  run.reserve(columns_.size() * 4);
  // A one-pixel cosmetic pen takes the rasteriser's thin-line path; a wider pen goes through
  // the general stroker, which costs several times more on a large window.
  QPen curvePen(kCurveColour, 1.0);
  curvePen.setCosmetic(true);
  painter.setPen(curvePen);
  auto flush = [&] {
    if (run.size() == 1)
      painter.drawPoint(run.front());
    else if (run.size() > 1)
      painter.drawPolyline(run.data(), int(run.size()));
    run.clear();
  };
  // Columns are as wide as a pixel, so a column's entries all sit on its middle; with fewer
  // entries than columns, an entry's column starts at the entry's own position.
  const double columnWidth = double(plot.width()) / double(columns_.size());
  for (size_t c = 0; c < columns_.size(); ++c) {
    const LutColumn& column = columns_[c];
    const double x = plot.left + (double(c) + 0.5) * columnWidth;
    if (column.noData) {
      painter.fillRect(QRectF(plot.left + double(c) * columnWidth, plot.top - kNoDataStrip - 2,
                              std::max(columnWidth, 1.0), kNoDataStrip),
                       kNoDataColour);
      if (!column.hasData) {
        flush();
        continue;
      }
    }
    if (!column.hasData)
      continue;
    run.emplace_back(x, map.yOf(column.first));
    if (column.low != column.high) {
      const bool rising = column.last >= column.first;
      run.emplace_back(x, map.yOf(rising ? column.low : column.high));
      run.emplace_back(x, map.yOf(rising ? column.high : column.low));
    }
    run.emplace_back(x, map.yOf(column.last));
  }
  flush();
  painter.setClipping(false);

  // Markers and the control polygon in point mode.
  if (pointMode_) {
    const std::vector<LutPoint> polygon = lutControlPolygon(points_.points(), n);
    QPen polygonPen(kPolygonColour, 1, Qt::DashLine);
    painter.setPen(polygonPen);
    std::vector<QPointF> corners;
    for (const LutPoint& p : polygon)
      corners.emplace_back(map.xOf(p.input), map.yOf(p.output));
    painter.drawPolyline(corners.data(), int(corners.size()));
    painter.setPen(QPen(kPolygonColour, 1.5));
    for (int i = 0; i < points_.size(); ++i) {
      const QPointF at = corners[size_t(i) + 1];
      const QRectF marker(at.x() - kMarkerHalf, at.y() - kMarkerHalf, 2 * kMarkerHalf,
                          2 * kMarkerHalf);
      painter.fillRect(marker, i == points_.selected() ? kPolygonColour : kPlotBackground);
      painter.drawRect(marker);
    }
  }

  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(kFrameColour, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(plotArea);
}

void CLUTGraph::mousePressEvent(QMouseEvent* event) {
  if (!pointMode_ || event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  // Qt grabs the mouse for the widget under a press until the release, so a drag that leaves
  // the graph still reaches it.
  const QPoint at = event->position().toPoint();
  const LutPressResult result = points_.press(mapping().toTable(at.x(), at.y()));
  dragging_ = result == LutPressResult::Selected;
  update();
  if (result == LutPressResult::Added)
    Q_EMIT pointsChanged();
  if (const char* text = lutPressMessage(result)) {
    dragging_ = false;
    points_.release();
    showMessage(QString::fromLatin1(text));
  }
}

void CLUTGraph::mouseMoveEvent(QMouseEvent* event) {
  if (!pointMode_) {
    QWidget::mouseMoveEvent(event);
    return;
  }
  const QPoint at = event->position().toPoint();
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    if (points_.moveSelected(mapping().toTable(at.x(), at.y()))) {
      update();
      Q_EMIT pointsChanged();
    }
    return;
  }
  updateCursor(at);
}

void CLUTGraph::mouseReleaseEvent(QMouseEvent* event) {
  if (!pointMode_ || event->button() != Qt::LeftButton) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  dragging_ = false;
  points_.release();
  update();
  updateCursor(event->position().toPoint());
}

void CLUTGraph::updateCursor(const QPoint& at) {
  const bool overPoint = points_.hitTest(mapping().toTable(at.x(), at.y())) >= 0;
  setCursor(overPoint ? Qt::CrossCursor : Qt::ArrowCursor);
}

CLutConfigDlg::CLutConfigDlg(CLUTGraph& graph, QWidget* parent) : QDialog(parent), graph_(graph) {
  setWindowTitle(QStringLiteral("Userdraw configuration"));
  auto* grid = new QGridLayout;
  const int n = graph.table().size();
  grid->addWidget(new QLabel(QStringLiteral("Input (0 - %1)").arg(n - 1)), 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("Output (0 - %1)").arg(kLutMaxOutput)), 0, 3);
  const std::vector<LutPoint>& points = graph.points();
  for (int row = 0; row < kRows; ++row) {
    auto* number = new QLabel(QStringLiteral("%1.").arg(row + 1));
    auto* uses = new QCheckBox(QStringLiteral("Uses"));
    auto* input = new CIntegerEdit;
    auto* output = new CIntegerEdit;
    input->setMaxLength(6);
    output->setMaxLength(6);
    const bool used = row < int(points.size());
    uses->setChecked(used);
    input->setValueFromCode(used ? points[size_t(row)].input : 0);
    output->setValueFromCode(used ? points[size_t(row)].output : 0);
    grid->addWidget(number, row + 1, 0);
    grid->addWidget(uses, row + 1, 1);
    grid->addWidget(input, row + 1, 2);
    grid->addWidget(output, row + 1, 3);
    uses_[size_t(row)] = uses;
    input_[size_t(row)] = input;
    output_[size_t(row)] = output;
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &CLutConfigDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CLutConfigDlg::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);
}

std::vector<LutPointRow> CLutConfigDlg::rows() const {
  std::vector<LutPointRow> rows;
  for (int row = 0; row < kRows; ++row) {
    // What is typed counts, committed or not.
    input_[size_t(row)]->takeText();
    output_[size_t(row)]->takeText();
    rows.push_back({uses_[size_t(row)]->isChecked(), input_[size_t(row)]->value(),
                    output_[size_t(row)]->value()});
  }
  return rows;
}

void CLutConfigDlg::accept() {
  const std::vector<LutPointRow> typed = rows();
  LutPointRowsCheck check = checkLutPointRows(typed, graph_.table().size());
  if (check.error) {
    graph_.showMessage(QString::fromLatin1(check.error));
    return;
  }
  graph_.setPoints(std::move(check.points));
  QDialog::accept();
}

} // namespace kelpax
