// A test rig for the raw-data exports: one panelsim device served from a scratch folder,
// opened through the library as a host would, with the transport's sleeps recorded
// instead of slept.
#pragma once

#include <linux/uhid.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "corlink.h"
#include "library_state.h"
#include "panelsim/server.h"
#include "transport/timing.h"

namespace rawdata_test {

inline std::vector<unsigned>& Sleeps() {
  static std::vector<unsigned> sleeps;
  return sleeps;
}

inline void RecordSleep(unsigned ms) { Sleeps().push_back(ms); }

inline int CountSleeps(unsigned ms) {
  int n = 0;
  for (unsigned s : Sleeps()) n += s == ms;
  return n;
}

using Bytes = std::vector<uint8_t>;

class Rig {
 public:
  Rig() {
    char tmpl[] = "/tmp/corlink-rawdata-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    ::setenv("CORLINK_VIRTUAL_DIR", dir_.c_str(), 1);
    corlink::ResetState();
    Sleeps().clear();
    corlink::transport::TransportClock() = {RecordSleep, 500};
  }
  ~Rig() {
    if (fd_ >= 0) ::close(fd_);
    server_.reset();
    corlink::transport::ResetTransportClock();
    corlink::ResetState();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  // Starts panelsim as `sim` with a cascade of `chips` and opens it. The library's type is
  // then `type` (types that discovery never yields are set by hand, as a host that knows
  // its hardware would be served). Returns the handle, -1 on failure.
  int Open(panelsim::DeviceType sim, int32_t type, int chips = 3, int pace_us = 0) {
    panelsim::ServerConfig cfg;
    cfg.firmware.type = sim;
    cfg.firmware.panel.chips = chips;
    cfg.firmware.panel.drive = 20;
    cfg.firmware.panel.sense = {32};
    cfg.folder = dir_;
    cfg.pace_us = pace_us;
    std::string err;
    server_ = panelsim::Server::Start(cfg, &err);
    if (!server_) return -1;
    const int declare = static_cast<int>(sim);
    fd_ = IO_OpenDevice(declare == corlink::NOT_SET || sim == panelsim::DeviceType::UsbBrgEp1 ? 0 : declare);
    // Not every emulated layout is found by discovery yet; the socket then is opened by path.
    if (fd_ < 0) fd_ = IO_OpenDeviceByPath(server_->SocketPath().c_str());
    corlink::State().device_type = type;
    server_->ClearLog();
    Sleeps().clear();
    return fd_;
  }

  panelsim::Server& sim() { return *server_; }
  int fd() const { return fd_; }
  Bytes Peek(int chip, uint32_t address, int n) { return server_->firmware().PeekMemory(chip, address, n); }

  // What the host sent since the last ClearLog: output reports, set-feature reports, and
  // the number of get-feature requests.
  std::vector<Bytes> Sent(uint32_t event) const {
    std::vector<Bytes> out;
    for (const auto& p : server_->LastPackets())
      if (p.dir == panelsim::Packet::Dir::In && p.event == event) out.push_back(p.data);
    return out;
  }
  std::vector<Bytes> Outputs() const { return Sent(UHID_OUTPUT); }
  // The last output report once at least n were seen (a command that is only written
  // returns before the device took it); empty after two seconds without it.
  Bytes LastOutput(size_t n) const {
    for (int i = 0; i < 2000; ++i) {
      auto outs = Outputs();
      if (outs.size() >= n) return outs.back();
      ::usleep(1000);
    }
    return {};
  }
  // Waits (at most two seconds) until the device has sent n input reports in all.
  bool WaitInputs(int n) const {
    for (int i = 0; i < 2000; ++i) {
      if (server_->Stats().inputs >= n) return true;
      ::usleep(1000);
    }
    return false;
  }
  std::vector<Bytes> SetReports() const { return Sent(UHID_SET_REPORT); }
  size_t GetReports() const { return Sent(UHID_GET_REPORT).size(); }

  // The 16-bit mode words of the Z3 mode commands sent (0x85 at byte 2, word at 4..5).
  std::vector<uint16_t> ModeWords() const {
    std::vector<uint16_t> words;
    for (const auto& o : Outputs())
      if (o.size() >= 6 && o[2] == 0x85) words.push_back(static_cast<uint16_t>(o[4] | o[5] << 8));
    return words;
  }

 private:
  std::string dir_;
  std::unique_ptr<panelsim::Server> server_;
  int fd_ = -1;
};

// Reads n bytes of a chip's region with IO_ReadData calls, advancing the word address by
// what each call returned.
inline int ReadBlock(int fd, uint32_t address, size_t n, Bytes* out) {
  out->clear();
  while (out->size() < n) {
    uint8_t buf[64] = {};
    uint32_t got = 0;
    int r = IO_ReadData(fd, address + static_cast<uint32_t>(out->size() / 4), buf, &got);
    if (r != 0) return r;
    if (got == 0 || got % 4 != 0) return -100;  // the word addressing needs whole words
    out->insert(out->end(), buf, buf + std::min<size_t>(got, n - out->size()));
  }
  return 0;
}

}  // namespace rawdata_test
