// One Z3 read exchange through the library against a bare echo of the same 64-byte
// report over the same kind of socket, with the same device on the other end. Prints the
// ratio of the two, measured in the same run.
#include <benchmark/benchmark.h>
#include <linux/uhid.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include "transport/crc.h"
#include "transport/memory_read.h"
#include "transport/z3_protocol.h"

namespace {

namespace t = corlink::transport;

// A device that answers every output report with a valid 52-byte Z3 read answer.
class EchoDevice {
 public:
  EchoDevice() {
    socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds_);
    std::memset(&answer_, 0, sizeof answer_);
    answer_.type = UHID_INPUT2;
    answer_.u.input2.size = 64;
    uint8_t* a = answer_.u.input2.data;
    a[0] = 0x0A;
    a[1] = 59;  // L = 60: status, result, 52 data bytes
    a[2] = 0x86;
    a[4] = 0xEF;
    a[5] = 0xBE;
    for (int i = 8; i < 60; ++i) a[i] = static_cast<uint8_t>(i);
    a[3] = static_cast<uint8_t>(t::Crc16(a + 4, 56));
    thread_ = std::thread([this] { Run(); });
  }
  ~EchoDevice() {
    stop_ = true;
    thread_.join();
    close(fds_[0]);
    close(fds_[1]);
  }
  int host_fd() const { return fds_[0]; }

 private:
  void Run() {
    uhid_event ev;
    while (!stop_) {
      pollfd p{fds_[1], POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      if (recv(fds_[1], &ev, sizeof ev, 0) != static_cast<ssize_t>(sizeof ev)) continue;
      if (ev.type == UHID_OUTPUT) send(fds_[1], &answer_, sizeof answer_, MSG_NOSIGNAL);
    }
  }
  int fds_[2];
  uhid_event answer_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

EchoDevice& Device() {
  static EchoDevice device;
  return device;
}

void BM_BareEcho(benchmark::State& state) {
  int fd = Device().host_fd();
  uhid_event out, in;
  std::memset(&out, 0, sizeof out);
  out.type = UHID_OUTPUT;
  out.u.output.size = 64;
  out.u.output.rtype = UHID_OUTPUT_REPORT;
  const uint8_t request[10] = {0x09, 0x09, 0x86, 0x43, 0x00, 0x00, 0x00, 0x50, 0x34, 0x00};
  std::memcpy(out.u.output.data, request, sizeof request);
  for (auto _ : state) {
    if (send(fd, &out, sizeof out, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof out))
      state.SkipWithError("send");
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 3000) != 1 || recv(fd, &in, sizeof in, 0) != static_cast<ssize_t>(sizeof in))
      state.SkipWithError("no echo");
    uint8_t first = in.u.input2.data[8];
    benchmark::DoNotOptimize(first);
  }
}
BENCHMARK(BM_BareEcho)->UseRealTime();

void BM_Z3ReadExchange(benchmark::State& state) {
  int fd = Device().host_fd();
  uint8_t buf[t::kMemoryReadMax];
  uint32_t count = 0;
  for (auto _ : state) {
    if (t::Z3ReadMemory({fd, t::Z3Carrier::kUsb}, 0x50000000, buf, &count) != 0)
      state.SkipWithError("exchange failed");
    benchmark::DoNotOptimize(buf[0]);
  }
}
BENCHMARK(BM_Z3ReadExchange)->UseRealTime();

// Keeps each benchmark's time per iteration for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        ns[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> ns;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto echo = reporter.ns.find("BM_BareEcho/real_time");
  auto z3 = reporter.ns.find("BM_Z3ReadExchange/real_time");
  if (echo != reporter.ns.end() && z3 != reporter.ns.end() && echo->second > 0)
    std::printf("Z3 read exchange / bare echo: %.2fx (%.1f us vs %.1f us)\n",
                z3->second / echo->second, z3->second / 1000.0, echo->second / 1000.0);
  benchmark::Shutdown();
  return 0;
}
