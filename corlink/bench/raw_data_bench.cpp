// Raw-data reads against panelsim at an emulated full-speed USB pace (1 ms per report in
// each direction): one frame of a 3-chip Z3 cascade, 20 x 32 bytes per chip, read with
// IO_ReadData (52 bytes per request) and with IO_BurstReadData (one request per chip),
// each next to its transport limit (reports on the wire x 1 ms).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "corlink.h"
#include "panelsim/server.h"

namespace {

constexpr int kPaceUs = 1000;
constexpr int kChips = 3;
constexpr int kDrive = 20;
constexpr int kSense = 32;
constexpr uint32_t kBlock = kDrive * kSense;
constexpr uint32_t kRaw = 0x52000000;
constexpr uint32_t kPerRead = 52;
constexpr int kChipIndex[kChips] = {0, 5, 6};  // the master, then slaves 1 and 2

// Reports one frame needs: each IO_ReadData is one request and one answer; a burst is one
// request and one answer per 52 bytes.
constexpr int kReadsPerChip = (kBlock + kPerRead - 1) / kPerRead;
constexpr int kReadDataReports = kChips * 2 * kReadsPerChip;
constexpr int kBurstReports = kChips * (1 + kReadsPerChip);

// RAW_DATA_BENCH_PACE_US overrides the pace (0 shows the software's own cost).
int PaceUs() {
  const char* v = std::getenv("RAW_DATA_BENCH_PACE_US");
  return v ? std::atoi(v) : kPaceUs;
}

struct Device {
  std::string dir;
  std::unique_ptr<panelsim::Server> server;
  int fd = -1;

  bool Start() {
    char tmpl[] = "/tmp/corlink-bench-XXXXXX";
    dir = ::mkdtemp(tmpl);
    ::setenv("CORLINK_VIRTUAL_DIR", dir.c_str(), 1);
    panelsim::ServerConfig cfg;
    cfg.firmware.type = panelsim::DeviceType::Z3Usb;
    cfg.firmware.panel.chips = kChips;
    cfg.firmware.panel.drive = kDrive;
    cfg.firmware.panel.sense = {kSense};
    cfg.folder = dir;
    cfg.pace_us = PaceUs();
    std::string err;
    server = panelsim::Server::Start(cfg, &err);
    if (!server) {
      std::fprintf(stderr, "panelsim: %s\n", err.c_str());
      return false;
    }
    fd = IO_OpenDevice(9);
    return fd >= 0;
  }
  ~Device() {
    if (fd >= 0) ::close(fd);
    server.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

Device& Dev() {
  static Device d;
  return d;
}

bool ReadFrameSingle(int fd, std::vector<uint8_t>& frame) {
  for (int c = 0; c < kChips; ++c) {
    IO_SetChipIndex(kChipIndex[c]);
    for (uint32_t got = 0; got < kBlock;) {
      uint8_t buf[kPerRead];
      uint32_t n = 0;
      if (IO_ReadData(fd, kRaw + got / 4, buf, &n) != 0 || n == 0) return false;
      n = std::min(n, kBlock - got);
      std::copy(buf, buf + n, frame.begin() + c * kBlock + got);
      got += n;
    }
  }
  IO_SetChipIndex(0);
  return true;
}

bool ReadFrameBurst(int fd, std::vector<uint8_t>& frame) {
  for (int c = 0; c < kChips; ++c) {
    IO_SetChipIndex(kChipIndex[c]);
    uint32_t n = 0;
    if (IO_BurstReadData(fd, kRaw, kBlock, frame.data() + c * kBlock, &n) != 0 || n != kBlock) return false;
  }
  IO_SetChipIndex(0);
  return true;
}

struct Result {
  double mean_ms = 0;
  int reports = 0;
};
Result g_single, g_burst;

template <bool (*Read)(int, std::vector<uint8_t>&)>
void Frame(benchmark::State& state, Result* result, int reports) {
  if (Dev().fd < 0) {
    state.SkipWithError("no device");
    return;
  }
  std::vector<uint8_t> frame(kChips * kBlock);
  double total_ms = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    if (!Read(Dev().fd, frame)) {
      state.SkipWithError("read failed");
      return;
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(ms / 1000.0);
    total_ms += ms;
  }
  result->mean_ms = total_ms / static_cast<double>(state.iterations());
  result->reports = reports;
  state.counters["limit_ms"] = reports;
  state.counters["x_limit"] = result->mean_ms / reports;
}

void BM_FrameReadData(benchmark::State& state) { Frame<ReadFrameSingle>(state, &g_single, kReadDataReports); }
void BM_FrameBurstReadData(benchmark::State& state) { Frame<ReadFrameBurst>(state, &g_burst, kBurstReports); }

BENCHMARK(BM_FrameReadData)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FrameBurstReadData)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!Dev().Start()) std::fprintf(stderr, "could not open the emulated device\n");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_single.reports && g_burst.reports) {
    std::printf("\nOne %d-chip frame of %d x %d bytes per chip, %d us per report:\n", kChips, kDrive, kSense,
                kPaceUs);
    std::printf("  IO_ReadData       %7.2f ms  limit %3d reports = %3d ms  %.3fx\n", g_single.mean_ms, g_single.reports,
                g_single.reports, g_single.mean_ms / g_single.reports);
    std::printf("  IO_BurstReadData  %7.2f ms  limit %3d reports = %3d ms  %.3fx\n", g_burst.mean_ms, g_burst.reports,
                g_burst.reports, g_burst.mean_ms / g_burst.reports);
    std::printf("  burst / single    %.3fx (limit %.3fx)\n", g_burst.mean_ms / g_single.mean_ms,
                static_cast<double>(g_burst.reports) / g_single.reports);
  }
  return 0;
}
