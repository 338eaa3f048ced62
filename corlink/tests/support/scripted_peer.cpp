#include "support/scripted_peer.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

namespace corlink::testing {

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> out;
  for (int v : list) out.push_back(static_cast<uint8_t>(v));
  return out;
}

ScriptedPeer::ScriptedPeer() {
  int sv[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) == 0) {
    host_fd_ = sv[0];
    device_fd_ = sv[1];
    current_fd_ = device_fd_;
  }
}

ScriptedPeer::~ScriptedPeer() {
  Stop();
  if (host_fd_ >= 0) close(host_fd_);
  if (device_fd_ >= 0) close(device_fd_);
  if (listen_fd_ >= 0) {
    close(listen_fd_);
    unlink(listen_path_.c_str());
  }
}

bool ScriptedPeer::Listen(const std::string& path, uint16_t vendor, uint16_t product,
                          std::vector<uint8_t> descriptor) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  unlink(path.c_str());
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 8) != 0) {
    close(fd);
    return false;
  }
  listen_fd_ = fd;
  listen_path_ = path;
  vendor_ = vendor;
  product_ = product;
  descriptor_ = std::move(descriptor);
  return true;
}

void ScriptedPeer::Start(Handler handler) {
  handler_ = std::move(handler);
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
}

void ScriptedPeer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void ScriptedPeer::Run() {
  if (listen_fd_ < 0) {
    Serve(device_fd_);
    return;
  }
  std::vector<int> conns;
  while (!stop_) {
    std::vector<pollfd> fds{{listen_fd_, POLLIN, 0}};
    for (int c : conns) fds.push_back({c, POLLIN, 0});
    if (poll(fds.data(), fds.size(), 10) <= 0) continue;
    if (fds[0].revents & POLLIN) {
      int c = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (c >= 0) {
        auto ev = std::make_unique<uhid_event>();
        std::memset(ev.get(), 0, sizeof *ev);
        ev->type = UHID_CREATE2;
        std::snprintf(reinterpret_cast<char*>(ev->u.create2.name), sizeof ev->u.create2.name, "scripted");
        ev->u.create2.bus = 0x03;
        ev->u.create2.vendor = vendor_;
        ev->u.create2.product = product_;
        ev->u.create2.rd_size = static_cast<uint16_t>(descriptor_.size());
        std::memcpy(ev->u.create2.rd_data, descriptor_.data(), descriptor_.size());
        send(c, ev.get(), sizeof *ev, MSG_NOSIGNAL);
        conns.push_back(c);
      }
    }
    for (size_t i = 1; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
      auto ev = std::make_unique<uhid_event>();
      ssize_t n = recv(fds[i].fd, ev.get(), sizeof *ev, MSG_DONTWAIT);
      if (n <= 0) {
        close(fds[i].fd);
        std::erase(conns, fds[i].fd);
        continue;
      }
      // One event per wake-up keeps the handler on one connection at a time.
      current_fd_ = fds[i].fd;
      Dispatch(*ev);
    }
  }
  for (int c : conns) close(c);
}

void ScriptedPeer::Dispatch(const uhid_event& ev) {
  HostEvent he;
  he.type = ev.type;
  if (ev.type == UHID_OUTPUT) {
    he.data.assign(ev.u.output.data, ev.u.output.data + std::min<size_t>(ev.u.output.size, UHID_DATA_MAX));
  } else if (ev.type == UHID_GET_REPORT) {
    he.request_id = ev.u.get_report.id;
    he.report_id = ev.u.get_report.rnum;
  } else if (ev.type == UHID_SET_REPORT) {
    he.request_id = ev.u.set_report.id;
    he.report_id = ev.u.set_report.rnum;
    he.data.assign(ev.u.set_report.data, ev.u.set_report.data + std::min<size_t>(ev.u.set_report.size, UHID_DATA_MAX));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.push_back(he);
  }
  cv_.notify_all();
  if (handler_) handler_(*this, he);
}

void ScriptedPeer::Serve(int fd) {
  current_fd_ = fd;
  auto ev = std::make_unique<uhid_event>();
  while (!stop_) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 10) <= 0) continue;
    ssize_t n = recv(fd, ev.get(), sizeof *ev, MSG_DONTWAIT);
    if (n <= 0) {
      if (n == 0) return;  // host closed
      continue;
    }
    Dispatch(*ev);
  }
}

void ScriptedPeer::SendRaw(const void* bytes, size_t n) {
  int fd = current_fd_.load();
  if (fd < 0) return;
  // Bounded: a host that stopped reading must not leave the peer thread stuck.
  for (int waited = 0; waited < 1000; waited += 10) {
    if (send(fd, bytes, n, MSG_NOSIGNAL | MSG_DONTWAIT) >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return;
    if (stop_) return;
    pollfd p{fd, POLLOUT, 0};
    poll(&p, 1, 10);
  }
}

void ScriptedPeer::SendInput(const uint8_t* data, size_t n) {
  auto ev = std::make_unique<uhid_event>();
  std::memset(ev.get(), 0, sizeof *ev);
  ev->type = UHID_INPUT2;
  n = std::min<size_t>(n, UHID_DATA_MAX);
  ev->u.input2.size = static_cast<uint16_t>(n);
  if (n) std::memcpy(ev->u.input2.data, data, n);
  SendRaw(ev.get(), sizeof *ev);
}

void ScriptedPeer::SendGetReply(uint32_t id, uint16_t err, const uint8_t* data, size_t n) {
  auto ev = std::make_unique<uhid_event>();
  std::memset(ev.get(), 0, sizeof *ev);
  ev->type = UHID_GET_REPORT_REPLY;
  ev->u.get_report_reply.id = id;
  ev->u.get_report_reply.err = err;
  n = std::min<size_t>(n, UHID_DATA_MAX);
  ev->u.get_report_reply.size = static_cast<uint16_t>(n);
  if (n) std::memcpy(ev->u.get_report_reply.data, data, n);
  SendRaw(ev.get(), sizeof *ev);
}

void ScriptedPeer::SendSetReply(uint32_t id, uint16_t err) {
  auto ev = std::make_unique<uhid_event>();
  std::memset(ev.get(), 0, sizeof *ev);
  ev->type = UHID_SET_REPORT_REPLY;
  ev->u.set_report_reply.id = id;
  ev->u.set_report_reply.err = err;
  SendRaw(ev.get(), sizeof *ev);
}

void ScriptedPeer::Unplug() {
  int fd = current_fd_.exchange(-1);
  if (fd >= 0) shutdown(fd, SHUT_RDWR);
}

std::vector<HostEvent> ScriptedPeer::Received() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

size_t ScriptedPeer::ReceivedCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_.size();
}

bool ScriptedPeer::WaitReceived(size_t n, int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return received_.size() >= n; });
}

}  // namespace corlink::testing
