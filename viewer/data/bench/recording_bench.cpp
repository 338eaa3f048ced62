// Writes a recording of about 100 MB with our writer, then loads it: throughput next to
// pandas.read_csv on the same file (Debian's python3-pandas, timed around the read only),
// and the loader's peak memory against the bytes of the cells it holds (value + mask).
// Both loaders are timed in CPU time of their own process (user + system), so other work
// on a shared machine does not tilt the ratio. Prints figures and ratios; never pass/fail.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "data/recording/recording_reader.h"
#include "data/recording/recording_writer.h"

namespace {

constexpr int32_t kWidth = 32;   // a three-chip panel: 32 drive lines,
constexpr int32_t kHeight = 72;  // 3 x 24 sense lines
constexpr uint64_t kTargetBytes = 100ull << 20;

std::string g_path;
uint64_t g_fileBytes = 0;

// Peak resident size of this process so far, in bytes (VmHWM).
uint64_t PeakRss() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
  return 0;
}

bool WriteRecording(const std::string& dir, std::string& path) {
  std::vector<int32_t> cells(size_t(kWidth) * kHeight);
  std::vector<uint8_t> mask(cells.size(), 1);
  mask[5] = 0;  // one masked cell per frame
  std::mt19937 rng(7);
  std::uniform_int_distribution<int32_t> noise(-20, 20);
  pelorin::DumpSource s;
  s.name = "RawData";
  s.width = kWidth;
  s.height = kHeight;
  s.cells = cells.data();
  s.mask = mask.data();
  pelorin::DumpFile dump;
  if (!pelorin::OpenDump(dump, dir, {&s, 1})) return false;
  int32_t n = 0;
  for (uint64_t size = 0; size < kTargetBytes; size = std::filesystem::file_size(dump.TempPath())) {
    for (int32_t i = 0; i < 200; ++i) {
      for (size_t c = 0; c < cells.size(); ++c) cells[c] = 150 + int32_t(c % 40) + noise(rng);
      s.frameNumber = ++n;
      if (!pelorin::WriteFrames(dump, {&s, 1}, n * 8)) return false;
    }
  }
  if (!pelorin::FinishDump(dump, "bench.csv")) return false;
  path = dir + "/bench.csv";
  return true;
}

void BM_LoadRecording(benchmark::State& state) {
  for (auto _ : state) {
    pelorin::RecordingSet set;
    if (!set.Load(g_path)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(set.Count());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(g_fileBytes));
}
BENCHMARK(BM_LoadRecording)->Unit(benchmark::kMillisecond)->Iterations(3);

// Keeps the loader's bytes per second for the ratio.
class Capture : public benchmark::ConsoleReporter {
 public:
  double bytesPerSecond = 0;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      auto it = r.counters.find("bytes_per_second");
      if (it != r.counters.end()) bytesPerSecond = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

// Seconds pandas.read_csv takes on the file, or a negative number.
double PandasSeconds(const std::string& path) {
  // Debian's interpreter, where python3-pandas lives.
  const char* script =
      "import sys, time, pandas\n"
      "t = time.process_time()\n"
      "df = pandas.read_csv(sys.argv[1], header=None, skiprows=5, names=list(range(int(sys.argv[2]) + 1)),\n"
      "                     low_memory=False)\n"
      "print(time.process_time() - t, len(df))\n";
  std::string cmd = "timeout 600 /usr/bin/python3 -c '" + std::string(script) + "' '" + path + "' " +
                    std::to_string(kHeight) + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return -1;
  char buf[512] = {};
  std::string out;
  while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
  if (pclose(p) != 0) {
    std::printf("pandas failed: %s\n", out.c_str());
    return -1;
  }
  return std::strtod(out.c_str(), nullptr);
}

// Loads the file once in a fresh child process and reports its peak memory.
void MeasureMemory(const std::string& path) {
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    const uint64_t before = PeakRss();
    pelorin::RecordingSet set;
    bool ok = set.Load(path);
    const uint64_t after = PeakRss();
    uint64_t cells = 0;
    for (int32_t m = 0; ok && m < set.Count(); ++m)
      cells += uint64_t(set.GetFrameCount(m)) * uint64_t(set.GetWidth(m)) * uint64_t(set.GetHeight(m)) * 5;
    char line[128];
    int n = std::snprintf(line, sizeof line, "%d %llu %llu %llu\n", ok ? 1 : 0, (unsigned long long)before,
                          (unsigned long long)after, (unsigned long long)cells);
    if (write(fds[1], line, size_t(n)) != n) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  char buf[128] = {};
  ssize_t n = read(fds[0], buf, sizeof buf - 1);
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  int ok = 0;
  unsigned long long before = 0, after = 0, cells = 0;
  if (n <= 0 || std::sscanf(buf, "%d %llu %llu %llu", &ok, &before, &after, &cells) != 4 || !ok) {
    std::printf("memory: load failed\n");
    return;
  }
  const double mb = 1024.0 * 1024.0;
  std::printf("memory: start-up %.1f MB, peak %.1f MB, cells (value + mask) %.1f MB\n", before / mb,
              after / mb, cells / mb);
  std::printf("memory: (peak - start-up) / cells = %.3f (target <= 1.2)\n", double(after - before) / double(cells));
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = (std::filesystem::temp_directory_path() / "pelorin-bench-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return 1;
  if (!WriteRecording(dir, g_path)) {
    std::printf("writing the recording failed\n");
    return 1;
  }
  g_fileBytes = std::filesystem::file_size(g_path);
  std::printf("recording: %s, %.1f MB, %d x %d cells per frame\n", g_path.c_str(), g_fileBytes / 1048576.0,
              kWidth, kHeight);
  MeasureMemory(g_path);

  benchmark::Initialize(&argc, argv);
  Capture capture;
  benchmark::RunSpecifiedBenchmarks(&capture);
  benchmark::Shutdown();

  const double ours = capture.bytesPerSecond / 1048576.0;
  const double pandasSeconds = PandasSeconds(g_path);
  if (pandasSeconds > 0) {
    const double pandas = g_fileBytes / 1048576.0 / pandasSeconds;
    std::printf("load (CPU time): ours %.1f MB/s, pandas.read_csv %.1f MB/s, ratio %.2f (target >= 5)\n", ours, pandas,
                ours / pandas);
  } else {
    std::printf("load: ours %.1f MB/s, pandas.read_csv not available\n", ours);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
