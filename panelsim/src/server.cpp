// The socket server: one listening SOCK_SEQPACKET socket, any number of connections, one
// background thread that answers every request on the connection that sent it.
#include "panelsim/server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "wire.h"

namespace panelsim {
namespace {

using Clock = std::chrono::steady_clock;

bool MakeFolder(const std::string& folder, std::string* error) {
  std::string partial;
  for (size_t i = 0; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '/') {
      if (!partial.empty() && ::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
        *error = "cannot create folder " + partial + ": " + std::strerror(errno);
        return false;
      }
    }
    if (i < folder.size()) partial += folder[i];
  }
  return true;
}

// Opens the listening socket, replacing a stale socket file (one nobody serves).
int Listen(const std::string& path, std::string* error) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    *error = "socket path too long: " + path;
    return -1;
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      *error = path + " exists and is not a socket";
      return -1;
    }
    int probe = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
      ::close(probe);
      *error = "another emulator already serves " + path;
      return -1;
    }
    if (probe >= 0) ::close(probe);
    ::unlink(path.c_str());
  }
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
    *error = "cannot listen on " + path + ": " + std::strerror(errno);
    ::close(fd);
    return -1;
  }
  return fd;
}

// The host hands its lock on the panel over with this message (without the NUL), the
// lock's descriptor attached. Shorter than any event and no event type.
constexpr char kLockHandover[] = "corlink-lock";

// How long ago the host sent the message received into `msg`, from its kernel time stamp;
// zero without one (or when the wall clock stepped back in between).
Clock::duration SinceSent(msghdr& msg) {
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
    if (c->cmsg_len < CMSG_LEN(sizeof(timespec))) break;
    timespec sent{};
    std::memcpy(&sent, CMSG_DATA(c), sizeof sent);
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const int64_t ns = (static_cast<int64_t>(now.tv_sec) - sent.tv_sec) * 1000000000 + (now.tv_nsec - sent.tv_nsec);
    return ns > 0 ? std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(ns)) : Clock::duration::zero();
  }
  return Clock::duration::zero();
}

}  // namespace

std::string DefaultFolder() {
  if (const char* d = std::getenv("CORLINK_VIRTUAL_DIR"); d && *d) return d;
  if (const char* x = std::getenv("XDG_RUNTIME_DIR"); x && *x) return std::string(x) + "/corlink";
  return "/tmp/corlink-" + std::to_string(::getuid());
}

std::string DefaultName(DeviceType type) {
  switch (type) {
    case DeviceType::NotSet: return "panelsim-notset";
    case DeviceType::Z2I2c: return "panelsim-z2i2c";
    case DeviceType::Z2UsbBrg: return "panelsim-z2usbbrg";
    case DeviceType::Z3UsbBrg: return "panelsim-z3usbbrg";
    case DeviceType::Z2Usb: return "panelsim-z2usb";
    case DeviceType::Z3Usb: return "panelsim-z3usb";
    case DeviceType::Z3HidOverI2c: return "panelsim-z3hidi2c";
    case DeviceType::UsbBrgEp1: return "panelsim-ep1";
  }
  return "panelsim";
}

struct Server::Impl {
  ServerConfig config;
  std::string path;
  std::shared_ptr<FaultPlan> plan = std::make_shared<FaultPlan>();
  std::unique_ptr<Firmware> firmware;
  int listen_fd = -1;
  int wake_fd = -1;
  std::thread thread;
  std::atomic<bool> stop{false};

  struct Conn {
    int fd;
    uint64_t id;
    // The host's lock on the panel ("<socket>.lock", handed over at open): held while the
    // connection is, so the panel is free again the moment its host lets go.
    int lock_fd = -1;
    void Close() {
      ::close(fd);
      if (lock_fd >= 0) ::close(lock_fd);
    }
  };
  std::vector<Conn> conns;  // thread only
  uint64_t next_conn = 1;
  struct Scheduled {
    Clock::time_point due;
    uint64_t conn;
    uhid_event event;
  };
  std::vector<Scheduled> scheduled;  // thread only

  mutable std::mutex mutex;  // guards everything below
  mutable std::condition_variable changed;
  ServerStats stats;
  std::deque<Packet> log;
  std::map<int, int> command_counts;
  enum class Control { None, Unplug, Replug };
  Control control = Control::None;
  uint64_t control_done = 0;  // counts finished control requests
  std::string control_error;

  void Wake() {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_fd, &one, sizeof one);
  }

  void Record(Packet::Dir dir, const uhid_event& ev) {
    std::lock_guard<std::mutex> lock(mutex);
    log.push_back({dir, ev.type, wire::Payload(ev)});
    while (log.size() > 256) log.pop_front();
  }

  // Each report holds the wire for pace_us. Sleeps overrun (the more so on a busy machine);
  // what the reports overran is taken off the following ones (at most ten reports' worth is
  // carried), so n reports take n x pace_us on the wire instead of drifting later.
  // `spent` is how long the report has held the wire already: a request holds it from the
  // moment the host sent it (or the wire came free, when it was sent earlier), not from the
  // moment this thread woke up to it.
  Clock::duration pace_overrun{};
  Clock::time_point wire_free{};
  void Pace(Clock::duration spent = Clock::duration::zero()) {
    if (config.pace_us <= 0) return;
    const Clock::duration pace = std::chrono::microseconds(config.pace_us);
    const Clock::duration want = pace - pace_overrun - std::clamp(spent, Clock::duration::zero(), pace);
    const auto start = Clock::now();
    if (want > Clock::duration::zero()) std::this_thread::sleep_for(want);
    wire_free = Clock::now();
    pace_overrun = std::clamp(wire_free - start - want, Clock::duration::zero(), 10 * pace);
  }

  bool Send(int fd, const uhid_event& ev) {
    // Logged before it goes out, so a host that got it also finds it in the log.
    Record(Packet::Dir::Out, ev);
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (ev.type == UHID_INPUT2) ++stats.inputs;
      else if (ev.type != UHID_CREATE2) ++stats.replies;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
      ssize_t n = ::send(fd, &ev, sizeof ev, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n == static_cast<ssize_t>(sizeof ev)) return true;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 1000);  // a host that never reads is dropped after a second
        continue;
      }
      return false;
    }
    return false;
  }

  void CloseConn(size_t index) {
    conns[index].Close();
    conns.erase(conns.begin() + static_cast<long>(index));
    std::lock_guard<std::mutex> lock(mutex);
    stats.open_connections = static_cast<int>(conns.size());
  }

  // The socket file goes first, then the connections: a host that sees end-of-file
  // finds the device gone.
  void DoUnplug() {
    if (listen_fd >= 0) {
      ::close(listen_fd);
      listen_fd = -1;
      ::unlink(path.c_str());
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      stats.unplugged = true;
      stats.open_connections = 0;
    }
    for (auto& c : conns) c.Close();
    conns.clear();
    scheduled.clear();
  }

  void Accept() {
    for (;;) {
      int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) return;
      if (config.pace_us > 0) {
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);  // without it: paced from wake-up
      }
      uhid_event create =
          wire::Create2(config.firmware.type, config.name, firmware->State().product, config.port);
      if (!Send(fd, create)) {
        ::close(fd);
        continue;
      }
      conns.push_back({fd, next_conn++});
      std::lock_guard<std::mutex> lock(mutex);
      ++stats.connections;
      stats.open_connections = static_cast<int>(conns.size());
      changed.notify_all();
    }
  }

  // Keeps the descriptor of a lock hand-over as the connection's lock; closes every other
  // descriptor a message carried. True when the message was the hand-over.
  static bool TakeLock(Conn& conn, msghdr& msg, size_t bytes) {
    const bool handover = bytes == sizeof kLockHandover - 1 &&
                          std::memcmp(msg.msg_iov->iov_base, kLockHandover, bytes) == 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
      if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
      const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
      for (size_t i = 0; i < count; ++i) {
        int fd;
        std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
        if (handover && conn.lock_fd < 0)
          conn.lock_fd = fd;
        else
          ::close(fd);
      }
    }
    return handover;
  }

  // Reads and answers one event of a connection; false when the connection is gone.
  bool Serve(size_t index) {
    uhid_event ev;
    std::memset(&ev, 0, sizeof ev);
    // The kernel stamps each message when the host sends it (SO_TIMESTAMPNS, wall clock);
    // the lock hand-over carries a descriptor. Room for a few more: what does not fit the
    // kernel closes (MSG_CTRUNC), what does is kept only as the lock or closed here.
    alignas(cmsghdr) char cmsg_space[CMSG_SPACE(sizeof(timespec)) + CMSG_SPACE(4 * sizeof(int))];
    iovec iov{&ev, sizeof ev};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = cmsg_space;
    msg.msg_controllen = sizeof cmsg_space;
    ssize_t n = ::recvmsg(conns[index].fd, &msg, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (TakeLock(conns[index], msg, static_cast<size_t>(n))) return true;
    const Clock::duration in_flight = std::min(SinceSent(msg), Clock::now() - wire_free);
    Record(Packet::Dir::In, ev);
    std::string why;  // malformed events are ignored, as a device would
    std::optional<Request> req = wire::ParseHostEvent(ev, static_cast<size_t>(n), &why);
    if (!req) return true;  // events the device does not answer (or malformed ones)
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (req->kind == Request::Kind::Output) ++stats.outputs;
      else if (req->kind == Request::Kind::GetFeature) ++stats.get_reports;
      else ++stats.set_reports;
    }
    Pace(in_flight);
    Outcome outcome = firmware->Handle(*req);
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (outcome.command >= 0) ++command_counts[outcome.command];
      stats.dropped += outcome.withheld;
    }
    if (outcome.unplug) {
      DoUnplug();
      return true;
    }
    const uint64_t conn = conns[index].id;
    for (const Answer& a : outcome.answers) {
      uhid_event out = wire::FromAnswer(a);
      if (a.delay_ms > 0) {
        scheduled.push_back({Clock::now() + std::chrono::milliseconds(a.delay_ms), conn, out});
        continue;
      }
      Pace();
      if (!Send(conns[index].fd, out)) return false;
    }
    if (outcome.reannounce) reannounce_due = true;
    return true;
  }

  // Re-enumeration: every host loses its connection (after what was sent to it); the
  // listening socket stays, so the next connection sees the new announcement.
  bool reannounce_due = false;  // thread only
  void Reannounce() {
    reannounce_due = false;
    for (auto& c : conns) c.Close();
    conns.clear();
    scheduled.clear();
    std::lock_guard<std::mutex> lock(mutex);
    stats.open_connections = 0;
    ++stats.reannouncements;
    changed.notify_all();
  }

  void SendDue() {
    auto now = Clock::now();
    for (size_t i = 0; i < scheduled.size();) {
      if (scheduled[i].due > now) {
        ++i;
        continue;
      }
      for (auto& c : conns)
        if (c.id == scheduled[i].conn) Send(c.fd, scheduled[i].event);
      scheduled.erase(scheduled.begin() + static_cast<long>(i));
    }
  }

  void HandleControl() {
    Control what;
    {
      std::lock_guard<std::mutex> lock(mutex);
      what = control;
      control = Control::None;
    }
    if (what == Control::None) return;
    std::string error;
    if (what == Control::Unplug) {
      DoUnplug();
    } else if (listen_fd < 0) {
      listen_fd = Listen(path, &error);
      std::lock_guard<std::mutex> lock(mutex);
      if (listen_fd >= 0) stats.unplugged = false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    control_error = error;
    ++control_done;
    changed.notify_all();
  }

  void Run() {
    while (!stop.load()) {
      std::vector<pollfd> fds;
      fds.push_back({wake_fd, POLLIN, 0});
      if (listen_fd >= 0) fds.push_back({listen_fd, POLLIN, 0});
      const size_t first_conn = fds.size();
      for (auto& c : conns) fds.push_back({c.fd, POLLIN, 0});
      int timeout = 1000;
      auto now = Clock::now();
      for (auto& s : scheduled) {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(s.due - now).count() + 1;
        timeout = static_cast<int>(std::clamp<long long>(ms, 0, timeout));
      }
      int ready = ::poll(fds.data(), fds.size(), timeout);
      if (ready < 0 && errno != EINTR) break;
      if (fds[0].revents & POLLIN) {
        uint64_t v;
        [[maybe_unused]] ssize_t r = ::read(wake_fd, &v, sizeof v);
        HandleControl();
      }
      SendDue();
      if (ready <= 0) continue;
      // Connections first (their indexes match fds), then new ones.
      for (size_t i = conns.size(); i-- > 0;) {
        if (stop.load() || conns.empty()) break;
        if (first_conn + i >= fds.size() || i >= conns.size()) continue;
        short re = fds[first_conn + i].revents;
        if (!re) continue;
        bool alive = (re & POLLIN) ? Serve(i) : false;
        if (listen_fd < 0 && conns.empty()) break;  // unplugged while serving
        if (!alive && i < conns.size()) CloseConn(i);
      }
      if (reannounce_due) Reannounce();
      if (listen_fd >= 0 && first_conn > 1 && (fds[1].revents & POLLIN)) Accept();
    }
  }
};

Server::Server() : impl_(std::make_unique<Impl>()) {}

std::unique_ptr<Server> Server::Start(const ServerConfig& config, std::string* error) {
  std::string scratch;
  if (!error) error = &scratch;
  if (std::string why = CheckPanelConfig(config.firmware.panel); !why.empty()) {
    *error = why;
    return nullptr;
  }
  std::unique_ptr<Server> s(new Server());
  Impl& m = *s->impl_;
  m.config = config;
  if (m.config.folder.empty()) m.config.folder = DefaultFolder();
  if (m.config.name.empty()) m.config.name = DefaultName(config.firmware.type);
  for (char& c : m.config.name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (m.config.name.find('/') != std::string::npos) {
    *error = "a device name cannot contain '/'";
    return nullptr;
  }
  if (!MakeFolder(m.config.folder, error)) return nullptr;
  m.path = m.config.folder + "/" + m.config.name + ".sock";
  for (const Fault& f : config.faults) m.plan->Add(f);
  m.firmware = std::make_unique<Firmware>(config.firmware, m.plan);
  m.listen_fd = Listen(m.path, error);
  if (m.listen_fd < 0) return nullptr;
  m.wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (m.wake_fd < 0) {
    *error = std::string("eventfd: ") + std::strerror(errno);
    ::close(m.listen_fd);
    ::unlink(m.path.c_str());
    return nullptr;
  }
  m.thread = std::thread([&m] { m.Run(); });
  return s;
}

Server::~Server() { Stop(); }

void Server::Stop() {
  Impl& m = *impl_;
  if (m.thread.joinable()) {
    m.stop.store(true);
    m.Wake();
    m.thread.join();
  }
  for (auto& c : m.conns) c.Close();
  m.conns.clear();
  if (m.listen_fd >= 0) {
    ::close(m.listen_fd);
    m.listen_fd = -1;
    ::unlink(m.path.c_str());
  }
  if (m.wake_fd >= 0) {
    ::close(m.wake_fd);
    m.wake_fd = -1;
  }
}

const std::string& Server::SocketPath() const { return impl_->path; }

ServerStats Server::Stats() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->stats;
}

std::vector<Packet> Server::LastPackets(size_t n) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  const auto& log = impl_->log;
  size_t first = log.size() > n ? log.size() - n : 0;
  return {log.begin() + static_cast<long>(first), log.end()};
}

int Server::CommandCount(int command) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  auto it = impl_->command_counts.find(command);
  return it == impl_->command_counts.end() ? 0 : it->second;
}

void Server::ClearLog() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->log.clear();
  impl_->command_counts.clear();
}

FaultPlan& Server::faults() { return *impl_->plan; }
Firmware& Server::firmware() { return *impl_->firmware; }

void Server::Unplug() { RunControl(1, nullptr); }

bool Server::Replug(std::string* error) { return RunControl(2, error); }

bool Server::RunControl(int what, std::string* error) {
  Impl& m = *impl_;
  if (!m.thread.joinable()) {
    if (error) *error = "server stopped";
    return false;
  }
  std::unique_lock<std::mutex> lock(m.mutex);
  uint64_t target = m.control_done + 1;
  m.control = what == 1 ? Server::Impl::Control::Unplug : Server::Impl::Control::Replug;
  lock.unlock();
  m.Wake();
  lock.lock();
  bool done = m.changed.wait_for(lock, std::chrono::seconds(5), [&] { return m.control_done >= target; });
  if (!done) {
    if (error) *error = "the server thread did not answer";
    return false;
  }
  if (!m.control_error.empty()) {
    if (error) *error = m.control_error;
    return false;
  }
  return true;
}

bool Server::WaitConnections(int n, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  return impl_->changed.wait_for(lock, timeout, [&] { return impl_->stats.connections >= n; });
}

}  // namespace panelsim
