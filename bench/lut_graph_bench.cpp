// Redrawing the look-up table graph as a drag does: the table changed (so its per-column summary
// is rebuilt) and the whole widget painted into an image, for 4096 and 16384 entries, at a page's
// size (640 x 480) and a maximised window's (1600 x 1000), in point mode with five markers.
// vs_target is the 4 ms a frame we allow divided by the wall time a frame took: 1.0 or more
// meets it. vs_target_cpu divides by the thread's processor time instead, which is what a frame
// costs when the machine is not shared with other loads. The reference case paints every entry of
// the table as one polyline at the same size, which is what the per-column summary saves.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <ctime>
#include <vector>

#include <benchmark/benchmark.h>

#include "editors/lut_graph.h"

using namespace kelpax;

namespace {

constexpr double kTargetSeconds = 0.004;

double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void reportAgainstTarget(benchmark::State& state, double cpuSeconds) {
  state.counters["vs_target"] =
      benchmark::Counter(double(state.iterations()) * kTargetSeconds, benchmark::Counter::kIsRate);
  state.counters["vs_target_cpu"] = double(state.iterations()) * kTargetSeconds / cpuSeconds;
}

LutTable gammaTable(LutType type, double gamma) {
  LutTable table(type);
  const double divisor = type == LutType::Bits14 ? 16384.0 : 4095.0;
  for (int i = 0; i < table.size(); ++i)
    table[size_t(i)] = uint16_t(std::pow(i / divisor, gamma) * 4095.0);
  return table;
}

LutType typeFor(int64_t entries) {
  return entries == 16384 ? LutType::Bits14 : LutType::Bits12;
}

void redrawGraph(benchmark::State& state) {
  LutTable table = gammaTable(typeFor(state.range(0)), 0.45);
  CLUTGraph graph(table);
  graph.resize(int(state.range(1)), int(state.range(2)));
  const int n = table.size();
  graph.setPoints(
      {{n / 10, 1200}, {n / 4, 2100}, {n / 2, 3000}, {n * 3 / 4, 3600}, {n - 50, 4000}});
  graph.setPointMode(true);
  QImage image(graph.size(), QImage::Format_ARGB32_Premultiplied);
  int frame = 0;
  const double start = threadSeconds();
  for (auto _ : state) {
    // As a drag would change it: a different entry moves every frame.
    table[size_t(frame++ % n)] ^= 0x155;
    graph.refresh();
    graph.render(&image);
    benchmark::DoNotOptimize(image.constBits());
  }
  reportAgainstTarget(state, threadSeconds() - start);
}

void drawEveryEntry(benchmark::State& state) {
  const LutTable table = gammaTable(typeFor(state.range(0)), 0.45);
  const int width = int(state.range(1));
  const int height = int(state.range(2));
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  std::vector<QPointF> line(size_t(table.size()));
  const double start = threadSeconds();
  for (auto _ : state) {
    for (int i = 0; i < table.size(); ++i)
      line[size_t(i)] = QPointF(double(i) * width / table.size(),
                                height - double(table[size_t(i)]) * height / 4096.0);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(QColor(0x1f, 0x5f, 0xbf), 1.0);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.drawPolyline(line.data(), int(line.size()));
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
  reportAgainstTarget(state, threadSeconds() - start);
}

} // namespace

BENCHMARK(redrawGraph)
    ->ArgNames({"entries", "w", "h"})
    ->Args({4096, 640, 480})
    ->Args({16384, 640, 480})
    ->Args({4096, 1600, 1000})
    ->Args({16384, 1600, 1000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(drawEveryEntry)
    ->ArgNames({"entries", "w", "h"})
    ->Args({4096, 640, 480})
    ->Args({16384, 640, 480})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
