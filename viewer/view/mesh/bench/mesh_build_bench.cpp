// Mesh build time of a 64 x 128 frame next to a plain copy of as many floats as the
// build writes (both arrays), measured in the same run. Prints the ratios at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "view/mesh/source_mesh.h"

namespace {

constexpr int32_t kWidth = 64;
constexpr int32_t kHeight = 128;

struct Fixture {
  Fixture() : cells(kWidth * kHeight), mask(cells.size(), 1) {
    for (size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<int32_t>((i * 37) % 260) - 5;
    for (size_t i = 0; i < mask.size(); i += 97) mask[i] = 0;
    frame.width = kWidth;
    frame.height = kHeight;
    frame.cells = cells.data();
    frame.mask = mask.data();
    frame.average = 120.0f;
    frame.rangeMin = 0;
    frame.rangeMax = 250;
    frame.maskLevelOn = true;
    const size_t floats = pelorin::MeshFloatCount(kWidth, kHeight);
    vertices.resize(floats);
    colours.resize(floats);
    source.resize(2 * floats, 1.5f);
    target.resize(2 * floats);
  }
  std::vector<int32_t> cells;
  std::vector<uint8_t> mask;
  pelorin::MeshFrame frame;
  std::vector<float> vertices, colours, source, target;
};

Fixture& Data() {
  static Fixture fixture;
  return fixture;
}

void BM_CopyFloats(benchmark::State& state) {
  Fixture& d = Data();
  for (auto _ : state) {
    std::memcpy(d.target.data(), d.source.data(), d.source.size() * sizeof(float));
    benchmark::ClobberMemory();
  }
}

void BuildBench(benchmark::State& state, pelorin::DrawStyle style) {
  Fixture& d = Data();
  const pelorin::MeshColouring colouring{style, 0, 250};
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        pelorin::BuildSourceMesh(0, d.frame, colouring, d.vertices, d.colours));
    benchmark::ClobberMemory();
  }
}

void BM_BuildStyle1(benchmark::State& state) { BuildBench(state, pelorin::DrawStyle::Style1); }
void BM_BuildStyle2(benchmark::State& state) { BuildBench(state, pelorin::DrawStyle::Style2); }

BENCHMARK(BM_CopyFloats);
BENCHMARK(BM_BuildStyle1);
BENCHMARK(BM_BuildStyle2);

// Keeps the console output and remembers each benchmark's time per iteration.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    const auto copy = times_.find("BM_CopyFloats");
    if (copy == times_.end() || copy->second <= 0) return;
    std::printf("\n64 x 128 frame, %zu floats per array; copy of %zu floats: %.1f us\n",
                pelorin::MeshFloatCount(kWidth, kHeight),
                2 * pelorin::MeshFloatCount(kWidth, kHeight), copy->second / 1000.0);
    for (const char* name : {"BM_BuildStyle1", "BM_BuildStyle2"}) {
      const auto it = times_.find(name);
      if (it == times_.end()) continue;
      std::printf("%s: %.1f us, %.2f x the copy (target at most 2 x)\n", name,
                  it->second / 1000.0, it->second / copy->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
