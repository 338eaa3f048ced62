// ReadFrame of a three-chip panel served by panelsim (no wire pacing) against the bare
// socket round trips of the same exchanges: the requests one ReadFrame sent, replayed on
// a connection of our own, each waiting for as many answers as the firmware gave. Prints
// the ratio of the two, measured in the same run.
#include <benchmark/benchmark.h>
#include <corlink.h>
#include <linux/uhid.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/live_model.h"
#include "panelsim/server.h"

namespace {

using pelorin::InstantModel;

// One host request and the number of device answers it drew.
struct Exchange {
  uhid_event request;
  int answers = 0;
};

struct Bench {
  std::string dir;
  std::unique_ptr<panelsim::Server> server;
  int handle = -1;
  std::unique_ptr<InstantModel> model;
  std::vector<Exchange> exchanges;
  int bare = -1;  // our own connection to the emulated device
  std::string error;

  bool Setup() {
    char tmpl[] = "/tmp/pelorin-bench-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return Fail("mkdtemp");
    dir = tmpl;
    setenv("CORLINK_VIRTUAL_DIR", dir.c_str(), 1);
    panelsim::ServerConfig cfg;
    cfg.firmware.type = panelsim::DeviceType::Z3Usb;
    cfg.firmware.panel.chips = 3;  // 32 drive lines, 24 sense lines each
    cfg.folder = dir;
    server = panelsim::Server::Start(cfg, &error);
    if (!server) return false;
    handle = IO_OpenDevice(0);
    if (handle < 0) return Fail("IO_OpenDevice");
    model = std::make_unique<InstantModel>();
    model->SetDevice(handle);
    model->SetSourceType(pelorin::kSourceRawData);
    model->SetReadAddress(pelorin::kAddrRawData);
    if (!model->DetectChips() || !model->SetChipOrder("") || !model->PrepareFrameBuffers())
      return Fail("detection or layout");
    return Record() && Connect();
  }

  // The exchanges of one ReadFrame, from the server's packet log.
  bool Record() {
    server->ClearLog();
    if (!model->ReadFrame()) return Fail("ReadFrame");
    for (const panelsim::Packet& p : server->LastPackets()) {
      if (p.dir == panelsim::Packet::Dir::In) {
        if (p.event != UHID_OUTPUT) return Fail("a request other than an output report");
        Exchange e{};
        e.request.type = UHID_OUTPUT;
        e.request.u.output.rtype = UHID_OUTPUT_REPORT;
        e.request.u.output.size = static_cast<uint16_t>(p.data.size());
        std::memcpy(e.request.u.output.data, p.data.data(), p.data.size());
        exchanges.push_back(e);
      } else if (!exchanges.empty()) {
        exchanges.back().answers += 1;
      }
    }
    if (exchanges.size() >= 128) return Fail("packet log too short for one frame");
    return !exchanges.empty() || Fail("no exchanges");
  }

  bool Connect() {
    bare = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", server->SocketPath().c_str());
    if (connect(bare, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return Fail("connect");
    uhid_event create;
    return Receive(create) || Fail("no UHID_CREATE2");
  }

  bool Receive(uhid_event& ev) const {
    pollfd p{bare, POLLIN, 0};
    return poll(&p, 1, 3000) == 1 && recv(bare, &ev, sizeof ev, 0) > 0;
  }

  bool RoundTrips() const {
    uhid_event answer;
    for (const Exchange& e : exchanges) {
      if (send(bare, &e.request, sizeof e.request, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof e.request)) return false;
      for (int i = 0; i < e.answers; ++i) {
        if (!Receive(answer)) return false;
      }
    }
    return true;
  }

  // The chip selections and data reads ReadFrame makes, straight to the library.
  bool LibraryCalls() const {
    uint8_t reply[pelorin::kDeviceReplyBytes];
    for (const pelorin::ChipInfo& chip : model->GetActiveSet().chips) {
      IO_SetChipIndex(chip.chipIndex);
      const uint32_t size = static_cast<uint32_t>(chip.driveCount) * ((static_cast<uint32_t>(chip.senseCount) + 3u) & ~3u);
      uint32_t address = pelorin::kAddrRawData;
      for (uint32_t total = 0; total < size;) {
        uint32_t n = 0;
        if (IO_ReadData(handle, address, reply, &n) != 0 || n == 0) return false;
        total += n;
        address += n / 4;
      }
    }
    return true;
  }

  bool Fail(const char* what) {
    error = what;
    return false;
  }

  ~Bench() {
    if (bare >= 0) close(bare);
    model.reset();
    if (handle >= 0) close(handle);
    if (server) server->Stop();
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
};

Bench& Shared() {
  static Bench bench;
  static const bool ready = bench.Setup();
  if (!ready && bench.error.empty()) bench.error = "setup failed";
  return bench;
}

void BM_BareRoundTrips(benchmark::State& state) {
  Bench& b = Shared();
  if (!b.error.empty()) return state.SkipWithError(b.error.c_str());
  for (auto _ : state) {
    if (!b.RoundTrips()) state.SkipWithError("round trip failed");
  }
  state.counters["exchanges"] = static_cast<double>(b.exchanges.size());
}
BENCHMARK(BM_BareRoundTrips)->UseRealTime();

void BM_ReadFrame(benchmark::State& state) {
  Bench& b = Shared();
  if (!b.error.empty()) return state.SkipWithError(b.error.c_str());
  for (auto _ : state) {
    if (!b.model->ReadFrame()) state.SkipWithError("ReadFrame failed");
  }
}
BENCHMARK(BM_ReadFrame)->UseRealTime();

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0 && !r.error_occurred)
        ns[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> ns;
};

// Median time of one call, timing bare round trips and ReadFrame in turn, so both see
// the same machine load (the machine is shared; a quiet stretch favours whichever ran in
// it).
double MedianUs(std::vector<double>& us) {
  std::sort(us.begin(), us.end());
  return us.empty() ? 0.0 : us[us.size() / 2];
}

void Interleaved(int rounds) {
  Bench& b = Shared();
  if (!b.error.empty()) return;
  std::vector<double> bare, library, frame;
  using Clock = std::chrono::steady_clock;
  const auto us = [](Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::micro>(to - from).count();
  };
  for (int i = 0; i < rounds; ++i) {
    const auto t0 = Clock::now();
    if (!b.RoundTrips()) return;
    const auto t1 = Clock::now();
    if (!b.LibraryCalls()) return;
    const auto t2 = Clock::now();
    if (!b.model->ReadFrame()) return;
    const auto t3 = Clock::now();
    bare.push_back(us(t0, t1));
    library.push_back(us(t1, t2));
    frame.push_back(us(t2, t3));
  }
  const double bareUs = MedianUs(bare), libraryUs = MedianUs(library), frameUs = MedianUs(frame);
  if (bareUs > 0 && libraryUs > 0)
    std::printf("Interleaved medians over %d rounds: ReadFrame / bare round trips: %.2fx "
                "(ReadFrame %.1f us, the same library calls alone %.1f us, bare %.1f us)\n",
                rounds, frameUs / bareUs, frameUs, libraryUs, bareUs);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto bare = reporter.ns.find("BM_BareRoundTrips/real_time");
  const auto frame = reporter.ns.find("BM_ReadFrame/real_time");
  if (bare != reporter.ns.end() && frame != reporter.ns.end() && bare->second > 0)
    std::printf("ReadFrame / bare round trips: %.2fx (%.1f us vs %.1f us per frame)\n",
                frame->second / bare->second, frame->second / 1000.0, bare->second / 1000.0);
  Interleaved(300);
  benchmark::Shutdown();
  return 0;
}
