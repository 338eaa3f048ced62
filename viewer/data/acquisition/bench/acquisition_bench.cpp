// Acquisition frames per second against panelsim, each next to its transport limit
// measured in the same run, and the viewer's own CPU time per frame, for a three-chip
// panel of 32 x 72 cells.
//   zero latency: the worker against a bare loop of the same device calls (no figures,
//     no reports, no recording), both at pace 0 and delay 0;
//   full-speed pace (1 ms per report in each direction) and the default 10 ms delay: the
//     limit is delay + reports counted on the wire x 1 ms per frame; the worker and the
//     bare loop run in alternating rounds, and the bare loop's steps are timed one by one
//     to show where the time beyond the wire goes.
// Never pass/fail: it prints figures and ratios. ACQ_BENCH_FRAMES sets the frame count.
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "data/acquisition/acquisition_run.h"
#include "data/acquisition/acquisition_start.h"
#include "data/recording/recording_writer.h"
#include "data/source_range_table.h"
#include "panelsim/server.h"

namespace pelorin {
namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long RssKb() {
  long pages = 0, rss = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &rss) != 2) rss = 0;
    std::fclose(f);
  }
  return rss * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Rig {
  std::string dir;
  std::unique_ptr<panelsim::Server> server;
  SourceRangeTable ranges;
  std::unique_ptr<InstantModel> model;
  int32_t handle = 0;

  bool Start(int paceUs, int delayMs, int32_t type) {
    char tmpl[] = "/tmp/pelorin-acq-bench-XXXXXX";
    dir = ::mkdtemp(tmpl);
    ::setenv("CORLINK_VIRTUAL_DIR", dir.c_str(), 1);
    panelsim::ServerConfig cfg;
    cfg.firmware.panel.chips = 3;
    cfg.firmware.panel.drive = 32;
    cfg.firmware.panel.sense = {24};
    cfg.firmware.panel.overlap = 0;
    cfg.folder = dir;
    cfg.pace_us = paceUs;
    std::string err;
    server = panelsim::Server::Start(cfg, &err);
    if (!server) {
      std::fprintf(stderr, "panelsim: %s\n", err.c_str());
      return false;
    }
    model = std::make_unique<InstantModel>();
    model->SetSourceType(type);
    ApplySourceType(*model, type, ranges);
    model->SetDiagDelay(delayMs);
    const StartOutcome out = PrepareAcquisition(CorlinkDeviceIo(), {model.get()}, "", handle, CloseDeviceHandle);
    if (!out.ok) std::fprintf(stderr, "start failed: status %d\n", out.statusCode);
    return out.ok;
  }
  ~Rig() {
    model.reset();
    CloseDeviceHandle(handle);
    if (server) server->Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // Frames per second of the worker over `frames` frames (batch run), with CPU seconds.
  double Worker(int frames, bool dump, double* cpuPerFrame, long* rssGrowthKb = nullptr) {
    QuietHost host;
    AcquisitionSettings s;
    s.io = CorlinkDeviceIo();
    s.device = handle;
    s.models = {model.get()};
    s.workDir = dir;
    s.dumpEnabled = dump;
    s.batchMode = true;
    s.batchFrameLimit = model->GetFrameCounter() + frames;
    AcquisitionRun run(s, host);
    const long rss0 = RssKb();
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    run.Start();
    run.WaitFinished(std::chrono::minutes(30));
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    if (cpuPerFrame) *cpuPerFrame = (CpuSeconds() - cpu0) / frames;
    if (rssGrowthKb) *rssGrowthKb = RssKb() - rss0;
    return frames / wall;
  }

  // The same device calls without anything the viewer does with a frame.
  double Bare(int frames) {
    DeviceIo io = CorlinkDeviceIo();
    std::vector<uint8_t> a(model->MaxBlockBytes()), b(model->MaxBlockBytes());
    uint8_t reply[kDeviceReplyBytes];
    const auto t0 = Clock::now();
    for (int i = 0; i < frames; ++i) {
      if (model->GetDiagDelay() > 0) usleep(static_cast<useconds_t>(model->GetDiagDelay()) * 1000);
      io.SetRawMode(handle, kRawModeOn);
      uint32_t count = 0;
      do {
        reply[0] = 0;
      } while (io.ReadData(handle, kAddrFirmwareReady, reply, &count) != 0 || reply[0] == 0);
      model->ReadFrame(a, b);
      io.SetChipIndex(0);
      io.SetRawMode(handle, kRawModeOff);
    }
    return frames / std::chrono::duration<double>(Clock::now() - t0).count();
  }

  // The bare loop at full pace, each step of the cycle timed on its own and added to
  // stepMs / stepReports: the time a step takes beyond its reports' share of the wire
  // (pace each) is the hosts' turnaround. Returns frames per second.
  static constexpr int kSteps = 5;
  double stepMs[kSteps] = {}, stepReports[kSteps] = {};
  int stepFrames = 0;
  double Breakdown(int frames) {
    DeviceIo io = CorlinkDeviceIo();
    std::vector<uint8_t> a(model->MaxBlockBytes()), b(model->MaxBlockBytes());
    uint8_t reply[kDeviceReplyBytes];
    auto step = [&](int k, auto&& f) {
      const int r0 = ReportsOnWire();
      const auto t0 = Clock::now();
      f();
      stepMs[k] += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      stepReports[k] += ReportsOnWire() - r0;
    };
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i) {
      step(0, [&] { std::this_thread::sleep_for(std::chrono::milliseconds(model->GetDiagDelay())); });
      step(1, [&] { io.SetRawMode(handle, kRawModeOn); });
      step(2, [&] {
        uint32_t count = 0;
        do {
          reply[0] = 0;
        } while (io.ReadData(handle, kAddrFirmwareReady, reply, &count) != 0 || reply[0] == 0);
      });
      step(3, [&] { model->ReadFrame(a, b); });
      step(4, [&] {
        io.SetChipIndex(0);
        io.SetRawMode(handle, kRawModeOff);
      });
    }
    stepFrames += frames;
    return frames / std::chrono::duration<double>(Clock::now() - start).count();
  }

  void PrintBreakdown(double paceMs) const {
    const char* names[kSteps] = {"delay sleep", "raw mode on", "ready poll", "frame read", "raw mode off"};
    double total = 0, wire = 0;
    std::printf("bare frame cycle at full pace, per frame (%d frames):\n", stepFrames);
    for (int k = 0; k < kSteps; ++k) {
      const double ms = stepMs[k] / stepFrames, r = stepReports[k] / stepFrames;
      const double due = k == 0 ? model->GetDiagDelay() : r * paceMs;
      total += ms;
      wire += due;
      std::printf("  %-13s %7.2f ms  %5.1f reports  %6.2f ms beyond the wire (%.3f ms per exchange)\n", names[k], ms,
                  r, ms - due, r > 0 ? (ms - due) / (r / 2) : 0.0);
    }
    std::printf("  total %.2f ms: wire and delay %.2f ms, turnaround %.2f ms\n", total, wire, total - wire);
  }

  int ReportsOnWire() const {
    const panelsim::ServerStats st = server->Stats();
    return st.outputs + st.get_reports + st.set_reports + st.inputs + st.replies;
  }
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

int Frames(int fallback) {
  const char* v = std::getenv("ACQ_BENCH_FRAMES");
  return v ? std::max(1, std::atoi(v)) : fallback;
}

}  // namespace
}  // namespace pelorin

int main() {
  using namespace pelorin;
  const int n = Frames(300);
  {
    Rig rig;
    if (!rig.Start(0, 0, kSourceCycle)) return 1;
    std::printf("panel: %d x %d cells, 3 chips\n", rig.model->Width(), rig.model->Height());
    rig.Bare(20);  // warm-up
    const double bare = rig.Bare(n);
    double cpu = 0;
    const double worker = rig.Worker(n, false, &cpu);
    std::printf("zero latency:     worker %8.1f frames/s, bare device loop %8.1f frames/s, ratio %.3f\n",
                worker, bare, worker / bare);
    double cpuDump = 0;
    long rss = 0;
    const double dumped = rig.Worker(n, true, &cpuDump, &rss);
    std::printf("zero latency, recording every frame: %8.1f frames/s, ratio to bare %.3f\n", dumped, dumped / bare);
    std::printf("process CPU per frame (worker + library + emulator): %.3f ms, with recording %.3f ms\n",
                cpu * 1e3, cpuDump * 1e3);
    std::printf("resident memory growth over %d recorded frames: %ld kB\n", n, rss);
  }
  {
    // The viewer's own work on one frame: figures and the recorded block, no device.
    Rig rig;
    if (!rig.Start(0, 0, kSourceBase)) return 1;
    rig.Bare(1);
    auto frame = rig.model->CurrentFrame();
    const int reps = 2000;
    EdgeTrackers edges(frame->width, frame->height);
    DumpFile dump;
    DumpSource src{"Base", frame->width, frame->height, frame->cells.data(), frame->mask.data(), 1, 0};
    OpenDump(dump, rig.dir, {&src, 1});
    float sink = 0;
    const double cpu0 = CpuSeconds();
    for (int i = 0; i < reps; ++i) {
      sink += Flatness(frame->cells.data(), frame->width, frame->height);
      sink += StandardDeviation(frame->cells.data(), frame->width, frame->height, frame->average);
      sink += FrameAverage(frame->sum, frame->width, frame->height);
      edges.Update(*frame, SnrPins{});
      src.frameNumber = i + 1;
      WriteFrames(dump, {&src, 1}, i);
    }
    const double perFrame = (CpuSeconds() - cpu0) / reps;
    std::printf("viewer CPU per frame (flatness + deviation + edges + recorded block), %d x %d: %.3f ms (target 0.5 ms) [%g]\n",
                frame->width, frame->height, perFrame * 1e3, double(sink > 0));
  }
  {
    // Worker and bare loop in alternating rounds, so that the load of the machine weighs
    // on both alike; medians of the rounds.
    Rig rig;
    if (!rig.Start(1000, 10, kSourceBase)) return 1;
    const int rounds = 5;
    const int m = std::max(2, n / 10 / rounds);
    std::vector<double> workers, bares;
    double reports = 0;
    for (int r = 0; r < rounds; ++r) {
      const int before = rig.ReportsOnWire();
      double cpu = 0;
      workers.push_back(rig.Worker(m, false, &cpu));
      reports += double(rig.ReportsOnWire() - before) / m / rounds;
      bares.push_back(rig.Breakdown(m));
    }
    const double worker = Median(workers), bare = Median(bares);
    const double limit = 1000.0 / (10.0 + reports * 1.0);
    std::printf("full-speed pace (%d rounds of %d frames): worker %6.2f frames/s, bare loop %6.2f, limit %6.2f (10 ms delay + %.1f reports x 1 ms)\n",
                rounds, m, worker, bare, limit, reports);
    std::printf("  ratio worker / limit %.3f (target 0.95), worker / bare loop %.3f, bare loop / limit %.3f\n",
                worker / limit, worker / bare, bare / limit);
    rig.PrintBreakdown(1.0);
  }
  return 0;
}
