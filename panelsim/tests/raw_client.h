// A small host for tests: speaks the emulator wire over a real socket, with time-outs.
#pragma once

#include <linux/uhid.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace panelsim::test {

class RawClient {
 public:
  explicit RawClient(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~RawClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  // Next event within the time-out; nothing on time-out. *eof is set on end-of-file.
  std::optional<uhid_event> Receive(int timeout_ms = 2000, bool* eof = nullptr) {
    if (eof) *eof = false;
    pollfd p{fd_, POLLIN, 0};
    if (fd_ < 0 || ::poll(&p, 1, timeout_ms) <= 0) return std::nullopt;
    uhid_event ev;
    std::memset(&ev, 0, sizeof ev);
    ssize_t n = ::recv(fd_, &ev, sizeof ev, 0);
    if (n <= 0) {
      if (eof) *eof = true;
      return std::nullopt;
    }
    return ev;
  }

  bool Send(const uhid_event& ev) {
    return ::send(fd_, &ev, sizeof ev, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof ev);
  }

  bool Output(const std::vector<uint8_t>& report) {
    uhid_event ev;
    std::memset(&ev, 0, sizeof ev);
    ev.type = UHID_OUTPUT;
    ev.u.output.size = static_cast<uint16_t>(report.size());
    ev.u.output.rtype = UHID_OUTPUT_REPORT;
    std::memcpy(ev.u.output.data, report.data(), report.size());
    return Send(ev);
  }

  // The next input report (skipping nothing else: any other event fails).
  std::optional<std::vector<uint8_t>> Input(int timeout_ms = 2000) {
    auto ev = Receive(timeout_ms);
    if (!ev || ev->type != UHID_INPUT2) return std::nullopt;
    return std::vector<uint8_t>(ev->u.input2.data, ev->u.input2.data + ev->u.input2.size);
  }

  std::optional<std::vector<uint8_t>> GetFeature(uint8_t report, int timeout_ms = 2000) {
    uhid_event ev;
    std::memset(&ev, 0, sizeof ev);
    ev.type = UHID_GET_REPORT;
    ev.u.get_report.id = ++id_;
    ev.u.get_report.rnum = report;
    ev.u.get_report.rtype = UHID_FEATURE_REPORT;
    if (!Send(ev)) return std::nullopt;
    auto reply = Receive(timeout_ms);
    if (!reply || reply->type != UHID_GET_REPORT_REPLY || reply->u.get_report_reply.id != id_ ||
        reply->u.get_report_reply.err != 0)
      return std::nullopt;
    const auto& r = reply->u.get_report_reply;
    return std::vector<uint8_t>(r.data, r.data + r.size);
  }

  // 0 on success, the error the device gave, or -1 without an answer.
  int SetFeature(const std::vector<uint8_t>& report, int timeout_ms = 2000) {
    uhid_event ev;
    std::memset(&ev, 0, sizeof ev);
    ev.type = UHID_SET_REPORT;
    ev.u.set_report.id = ++id_;
    ev.u.set_report.rnum = report.empty() ? 0 : report[0];
    ev.u.set_report.rtype = UHID_FEATURE_REPORT;
    ev.u.set_report.size = static_cast<uint16_t>(report.size());
    std::memcpy(ev.u.set_report.data, report.data(), report.size());
    if (!Send(ev)) return -1;
    auto reply = Receive(timeout_ms);
    if (!reply || reply->type != UHID_SET_REPORT_REPLY || reply->u.set_report_reply.id != id_) return -1;
    return reply->u.set_report_reply.err;
  }

 private:
  int fd_ = -1;
  uint32_t id_ = 0;
};

}  // namespace panelsim::test
