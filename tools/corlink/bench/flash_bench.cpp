// Firmware update throughput against panelsim at an emulated full-speed USB pace (1 ms per
// report in each direction), next to the transport limit of one data frame per exchange:
// a Z3 frame (52 bytes) is one request and one status answer, a Z2 frame (16 bytes) one
// report written. x_limit = measured bytes per second / the limit's; 1.0 is the wire.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "corlink.h"
#include "panelsim/server.h"

namespace {

constexpr int kPaceUs = 1000;
constexpr uint32_t kSegment = 4096;
// How long the device may take to see the last frame after the host sent it.
constexpr std::chrono::seconds kSeenLimit{10};

// FLASH_BENCH_PACE_US overrides the pace (0 shows the software's own cost).
int PaceUs() {
  const char* v = std::getenv("FLASH_BENCH_PACE_US");
  return v ? std::atoi(v) : kPaceUs;
}

struct Device {
  std::string dir;
  std::unique_ptr<panelsim::Server> server;
  int fd = -1;

  bool Start(panelsim::DeviceType type, int declare) {
    char tmpl[] = "/tmp/corlink-flash-bench-XXXXXX";
    dir = ::mkdtemp(tmpl);
    ::setenv("CORLINK_VIRTUAL_DIR", dir.c_str(), 1);
    panelsim::ServerConfig cfg;
    cfg.firmware.type = type;
    cfg.firmware.panel.chips = 1;
    cfg.folder = dir;
    cfg.pace_us = PaceUs();
    std::string err;
    server = panelsim::Server::Start(cfg, &err);
    if (!server) {
      std::fprintf(stderr, "panelsim: %s\n", err.c_str());
      return false;
    }
    fd = IO_OpenDevice(declare);
    return fd >= 0;
  }
  void Stop() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    server.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};


void Update(benchmark::State& state, panelsim::DeviceType type, int declare, int reports_per_frame,
            int data_command) {
  Device dev;
  if (!dev.Start(type, declare)) {
    state.SkipWithError("no device");
    return;
  }
  uint32_t address = 0;
  uint8_t unit = 0;
  IO_GetUpdateFwUnit(&address, &unit);
  std::vector<uint8_t> data(kSegment);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31);
  const int frames = static_cast<int>((kSegment + unit - 1) / unit);
  double seconds = 0;
  int sent = 0;
  for (auto _ : state) {
    // The information exchange is not a data frame: only the frames are timed.
    if (IO_UpdateFwInfo(dev.fd, address, kSegment, 1) != CORLINK_OK) {
      state.SkipWithError("information refused");
      break;
    }
    std::vector<uint8_t> frame(unit, 0xFF);
    const auto t0 = std::chrono::steady_clock::now();
    bool ok = true;
    for (int f = 0; f < frames && ok; ++f) {
      const size_t off = static_cast<size_t>(f) * unit;
      std::copy(data.begin() + off, data.begin() + std::min<size_t>(off + unit, data.size()), frame.begin());
      ok = IO_UpdateFwData(dev.fd, frame.data(), unit, static_cast<uint16_t>(f)) == CORLINK_OK;
    }
    // A frame that is only written has left the host before the device took it: the time
    // runs until the device saw the last one. A frame lost on the way must not hang the
    // run, so the wait gives up after kSeenLimit.
    sent += frames;
    bool seen = true;
    const auto give_up = std::chrono::steady_clock::now() + kSeenLimit;
    while (ok && dev.server->CommandCount(data_command) < sent) {
      if (std::chrono::steady_clock::now() >= give_up) {
        seen = false;
        break;
      }
      ::usleep(100);
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!ok) {
      state.SkipWithError("data frame failed");
      break;
    }
    if (!seen) {
      state.SkipWithError("the device did not see every frame within 10 s");
      break;
    }
    state.SetIterationTime(s);
    seconds += s;
  }
  const double bytes = static_cast<double>(frames) * unit * static_cast<double>(state.iterations());
  const double limit = PaceUs() > 0 ? unit / (reports_per_frame * PaceUs() * 1e-6) : 0;
  state.counters["bytes_per_s"] = seconds > 0 ? bytes / seconds : 0;
  state.counters["limit_bytes_per_s"] = limit;
  state.counters["x_limit"] = seconds > 0 && limit > 0 ? bytes / seconds / limit : 0;
  dev.Stop();
}

void BM_UpdateZ3Usb(benchmark::State& state) { Update(state, panelsim::DeviceType::Z3Usb, CORLINK_DEV_Z3_USB, 2, 0x84); }
void BM_UpdateZ2Usb(benchmark::State& state) { Update(state, panelsim::DeviceType::Z2Usb, CORLINK_DEV_Z2_USB, 1, '<'); }

BENCHMARK(BM_UpdateZ3Usb)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_UpdateZ2Usb)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
