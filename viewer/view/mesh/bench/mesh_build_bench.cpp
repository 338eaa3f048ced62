// Mesh build time of a 64 x 128 frame next to a plain copy of as many floats as the
// build writes (both arrays). Google Benchmark's table first, then the ratios measured
// side by side, the jobs interleaved, in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
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

// CPU time of this thread, in microseconds: unlike wall time it does not count the
// time other processes on a busy machine take from us.
double ThreadMicros() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// Times `rounds` rounds of `reps` calls of each job, the jobs taking turns within a
// round so that a change of machine load hits all of them alike; returns the median
// CPU time per call of each job, in microseconds.
template <class... Jobs>
std::vector<double> MedianTimes(int rounds, int reps, Jobs&&... jobs) {
  std::vector<std::vector<double>> samples(sizeof...(Jobs));
  for (int round = 0; round < rounds; ++round) {
    size_t j = 0;
    auto time = [&](auto& job) {
      const double start = ThreadMicros();
      for (int i = 0; i < reps; ++i) job();
      samples[j++].push_back((ThreadMicros() - start) / reps);
    };
    (time(jobs), ...);
  }
  std::vector<double> medians;
  for (auto& s : samples) {
    std::sort(s.begin(), s.end());
    medians.push_back(s[s.size() / 2]);
  }
  return medians;
}

void PrintRatios() {
  Fixture& d = Data();
  auto copy = [&] {
    std::memcpy(d.target.data(), d.source.data(), d.source.size() * sizeof(float));
    benchmark::ClobberMemory();
  };
  auto build = [&](pelorin::DrawStyle style) {
    return [&d, style] {
      benchmark::DoNotOptimize(
          pelorin::BuildSourceMesh(0, d.frame, {style, 0, 250}, d.vertices, d.colours));
      benchmark::ClobberMemory();
    };
  };
  const std::vector<double> t = MedianTimes(41, 50, copy, build(pelorin::DrawStyle::Style1),
                                            build(pelorin::DrawStyle::Style2));
  std::printf("\nSide by side, median CPU time of 41 rounds: %d x %d frame, %zu floats per array\n",
              kWidth, kHeight, pelorin::MeshFloatCount(kWidth, kHeight));
  std::printf("copy of %zu floats: %.1f us\n", d.source.size(), t[0]);
  std::printf("build Style1:        %.1f us = %.2f x the copy\n", t[1], t[1] / t[0]);
  std::printf("build Style2:        %.1f us = %.2f x the copy\n", t[2], t[2] / t[0]);
  std::printf("(target: a build at most 2 x the copy)\n");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  PrintRatios();
  benchmark::Shutdown();
  return 0;
}
