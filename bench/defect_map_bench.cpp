// Defect maps of a 25-megapixel camera (5120 x 5120 pixels, 3.3 MB of bits) with 26,000
// scattered defects (and 150,000, near the most whose map still fits the camera): compressing the
// map for the camera (vs_target: the 50 ms we allow divided by the CPU time taken, 1.0 or more
// meets it), and the whole download from the file's text.
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "transfer/defect_pixels.h"
#include "transfer/zlib_codec.h"

using namespace kelpax;

namespace {

constexpr uint32_t kSide = 5120;
constexpr double kTargetSeconds = 0.050;

std::vector<std::pair<uint32_t, uint32_t>> scatteredDefects(size_t count) {
  std::mt19937 random(25);
  std::vector<std::pair<uint32_t, uint32_t>> defects(count);
  for (auto& [h, v] : defects) {
    h = random() % kSide;
    v = random() % kSide;
  }
  return defects;
}

void reportAgainstTarget(benchmark::State& state) {
  state.counters["vs_target"] =
      benchmark::Counter(double(state.iterations()) * kTargetSeconds, benchmark::Counter::kIsRate);
}

void compressDefectMap(benchmark::State& state) {
  std::vector<uint8_t> map(defectMapBytes(kSide, kSide), 0xFF);
  for (const auto& [h, v] : scatteredDefects(size_t(state.range(0)))) {
    const size_t bit = size_t(v) * kSide + h;
    map[bit / 8] &= uint8_t(~(1u << (bit % 8)));
  }
  std::vector<uint8_t> stream;
  for (auto _ : state) {
    if (!Compress(map, stream)) {
      state.SkipWithError("the map did not compress");
      return;
    }
    benchmark::DoNotOptimize(stream.data());
  }
  state.counters["compressed_bytes"] = double(stream.size());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(map.size()));
  reportAgainstTarget(state);
}

void mapDownloadFromFile(benchmark::State& state) {
  std::string text(kDefectFileHeader);
  for (const auto& [h, v] : scatteredDefects(size_t(state.range(0))))
    text += std::to_string(h) + "," + std::to_string(v) + "\n";
  for (auto _ : state) {
    const DefectDownload plan = planDefectMapDownload(text, kSide, kSide);
    if (!plan.ok) {
      state.SkipWithError(plan.message.c_str());
      return;
    }
    benchmark::DoNotOptimize(plan.plan.payload.data());
  }
}

} // namespace

BENCHMARK(compressDefectMap)->Arg(26000)->Arg(150000)->Unit(benchmark::kMillisecond);
BENCHMARK(mapDownloadFromFile)->Arg(26000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
