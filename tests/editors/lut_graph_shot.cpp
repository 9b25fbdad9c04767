// Saves pictures of the look-up table graph for the README: a gamma 0.45 table, a 14-bit table
// drawn through five control points in point mode, and the point dialog holding those points.
//   kelpax-lut-graph-shot FOLDER
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cmath>
#include <cstdio>

#include "editors/lut_graph.h"

using namespace kelpax;

namespace {

bool save(QWidget& widget, const QString& file) {
  for (int i = 0; i < 10; ++i)
    QApplication::processEvents();
  if (widget.grab().save(file)) {
    std::printf("%s\n", qPrintable(file));
    return true;
  }
  std::fprintf(stderr, "kelpax-lut-graph-shot: cannot write %s\n", qPrintable(file));
  return false;
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelpax-lut-graph-shot FOLDER\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.exists() && !QDir().mkpath(folder.path())) {
    std::fprintf(stderr, "kelpax-lut-graph-shot: cannot create %s\n", argv[1]);
    return 1;
  }

  bool ok = true;
  LutTable gamma(LutType::Bits12);
  for (int i = 0; i < gamma.size(); ++i)
    gamma[size_t(i)] = uint16_t(std::trunc(std::pow(i / 4095.0, 0.45) * 4095.0));
  CLUTGraph gammaGraph(gamma);
  gammaGraph.resize(520, 420);
  gammaGraph.show();
  ok &= save(gammaGraph, folder.filePath(QStringLiteral("lut-graph-gamma.png")));

  LutTable drawn(LutType::Bits14);
  CLUTGraph pointGraph(drawn);
  pointGraph.resize(520, 420);
  const std::vector<LutPoint> points{
      {1800, 300}, {5200, 1900}, {8000, 2300}, {11500, 3400}, {14500, 3700}};
  pointGraph.setCurveKind(LutCurveKind::Smooth);
  pointGraph.setPoints(points);
  ok &= pointGraph.applyPoints();
  // Back in point mode with the same points, as the operator sees them before the next Apply.
  pointGraph.setPoints(points);
  pointGraph.setPointMode(true);
  pointGraph.show();
  ok &= save(pointGraph, folder.filePath(QStringLiteral("lut-graph-points.png")));

  CLutConfigDlg* dialog = pointGraph.openConfigDialog();
  dialog->adjustSize();
  ok &= save(*dialog, folder.filePath(QStringLiteral("lut-config-dialog.png")));
  return ok ? 0 : 1;
}
