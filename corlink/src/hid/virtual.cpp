// The virtual backend: the host side of the emulator wire.
//
// Each emulated device listens on a SOCK_SEQPACKET socket in VirtualDir(); every message
// either way is one whole struct uhid_event. The library plays the kernel's part: it sends
// UHID_OUTPUT, UHID_GET_REPORT and UHID_SET_REPORT, and takes UHID_INPUT2 and the replies.
// The one other message is the lock hand-over at open (device_lock.h).
//
// Input reports that arrive while a feature call waits for its reply are queued per
// descriptor and handed out by later reads, as the kernel's hidraw buffer would. A
// cancelled read marks the descriptor so that answers arriving late for it are thrown
// away before the next request goes out.
//
// An announcement whose phys field starts with "port=<location>" ("port=1-1.4") names the
// USB port the emulated device claims to hang on, so that the hub list can place it.
#include "hid/virtual.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "hid/deadline.h"
#include "hid/hid_port.h"
#include "hub/usb_names.h"
#include "log_sink.h"

namespace corlink::hid {

namespace {

std::atomic<int> g_feature_timeout_ms{1000};
std::atomic<int> g_announce_timeout_ms{1000};

// Input reports kept while a feature call waits; the oldest goes when the queue is full.
constexpr size_t kQueueDepth = 16;
constexpr size_t kMaxQueuedReport = 512;

struct FdState {
  int fd = -1;
  dev_t dev = 0;
  ino_t ino = 0;
  bool stale = false;  // a transfer was cancelled; drop what is waiting before the next request
  std::deque<std::vector<uint8_t>> queue;

  void Reset(const struct stat& st) {
    dev = st.st_dev;
    ino = st.st_ino;
    stale = false;
    queue.clear();
  }
  void Push(const uint8_t* data, size_t size) {
    if (queue.size() == kQueueDepth) queue.pop_front();
    queue.emplace_back(data, data + std::min(size, kMaxQueuedReport));
  }
};

// Feature request ids, unique in the process: two descriptors of one connection (a device
// opened again) must never take each other's late replies.
std::atomic<uint32_t> g_next_request_id{1};

std::mutex g_table_mutex;
std::vector<std::unique_ptr<FdState>> g_table;

// The state of a socket descriptor. A descriptor number that now names another socket
// (the caller closed the old one and got the number back) starts from a clean state.
struct StatHint {
  int fd = -1;
  struct stat st;
};
thread_local StatHint t_hint;

FdState* StateOf(int fd, bool reset) {
  struct stat st;
  if (fd >= 0 && t_hint.fd == fd) {
    st = t_hint.st;
    t_hint.fd = -1;
  } else if (fd < 0 || fstat(fd, &st) != 0) {
    errno = EBADF;
    return nullptr;
  }
  if (!S_ISSOCK(st.st_mode)) {
    errno = EBADF;
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(g_table_mutex);
  for (auto& entry : g_table) {
    if (entry->fd != fd) continue;
    if (reset || entry->dev != st.st_dev || entry->ino != st.st_ino) entry->Reset(st);
    return entry.get();
  }
  auto entry = std::make_unique<FdState>();
  entry->fd = fd;
  entry->Reset(st);
  g_table.push_back(std::move(entry));
  return g_table.back().get();
}

// Waits for events on fd until the deadline. 1: ready, 0: time-out, -1: error.
int WaitFor(int fd, short events, SteadyClock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    int r = poll(&p, 1, MsLeft(deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) {
      errno = ETIMEDOUT;
      return 0;
    }
    if (p.revents & events) return 1;
    // Hang-up or error without data: the device went away.
    errno = (p.revents & POLLHUP) ? ENODEV : EIO;
    return -1;
  }
}

// Receives one event. 1: got one, 0: time-out, -1: end of file or error. Messages that are
// not one whole event are reported and skipped.
int ReceiveEvent(int fd, uhid_event* ev, SteadyClock::time_point deadline) {
  for (;;) {
    // Wait first: the answer is rarely there yet when a request has just gone out.
    int w = WaitFor(fd, POLLIN, deadline);
    if (w <= 0) return w;
    ssize_t n = recv(fd, ev, sizeof *ev, MSG_DONTWAIT | MSG_TRUNC);
    if (n == static_cast<ssize_t>(sizeof *ev)) return 1;
    if (n == 0) {
      errno = ENODEV;
      return -1;
    }
    if (n > 0) {
      Log("corlink: emulated device sent a %zd-byte message, not a uhid event; ignored\n", n);
      continue;
    }
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
    return -1;
  }
}

// Sends one event. 1: sent, 0: time-out, -1: error.
int SendEvent(int fd, const uhid_event& ev, SteadyClock::time_point deadline) {
  for (;;) {
    ssize_t n = send(fd, &ev, sizeof ev, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n == static_cast<ssize_t>(sizeof ev)) return 1;
    if (n >= 0) {
      errno = EIO;
      return -1;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    int w = WaitFor(fd, POLLOUT, deadline);
    if (w <= 0) return w;
  }
}

// Throws away everything the device has sent so far (late answers of a cancelled transfer).
void DropPending(FdState* st) {
  uhid_event ev;
  int fd = st->fd;
  int saved = errno;
  while (recv(fd, &ev, sizeof ev, MSG_DONTWAIT) > 0) {
  }
  errno = saved;
  st->queue.clear();
  st->stale = false;
}

void BeginRequest(FdState* st) {
  if (st->stale) DropPending(st);
}

size_t CopyOut(const uint8_t* src, size_t size, uint8_t* buf, size_t len) {
  size_t n = std::min(size, len);
  std::memcpy(buf, src, n);
  return n;
}

// The state of fd for a request of len bytes; nullptr with errno set when fd is no device
// socket or len is 0 or above max.
FdState* RequestState(int fd, size_t len, size_t max) {
  FdState* st = StateOf(fd, false);
  if (st && (len == 0 || len > max)) {
    errno = EINVAL;
    return nullptr;
  }
  return st;
}

int VirtualWrite(int fd, const uint8_t* data, size_t len, int timeout_ms) {
  FdState* st = RequestState(fd, len, UHID_DATA_MAX);
  if (!st) return -1;
  BeginRequest(st);
  uhid_event ev;
  std::memset(&ev, 0, sizeof ev);
  ev.type = UHID_OUTPUT;
  ev.u.output.size = static_cast<uint16_t>(len);
  ev.u.output.rtype = UHID_OUTPUT_REPORT;
  std::memcpy(ev.u.output.data, data, len);
  return SendEvent(fd, ev, DeadlineIn(timeout_ms));
}

int VirtualRead(int fd, uint8_t* buf, size_t len, int timeout_ms) {
  FdState* st = StateOf(fd, false);
  if (!st) return -1;
  if (!st->queue.empty()) {
    const std::vector<uint8_t> q = std::move(st->queue.front());
    st->queue.pop_front();
    return static_cast<int>(CopyOut(q.data(), q.size(), buf, len));
  }
  auto deadline = DeadlineIn(timeout_ms);
  uhid_event ev;
  for (;;) {
    int r = ReceiveEvent(fd, &ev, deadline);
    if (r <= 0) return r;
    // Replies to feature calls that gave up waiting, and the device's announcement, are
    // not input reports.
    if (ev.type != UHID_INPUT2) continue;
    size_t size = std::min<size_t>(ev.u.input2.size, UHID_DATA_MAX);
    if (size == 0) continue;
    return static_cast<int>(CopyOut(ev.u.input2.data, size, buf, len));
  }
}

// Waits for the reply of a feature request with the given id; queues input reports that
// arrive in between. Returns the reply event in *ev, or 0 (time-out) / -1 (error).
int AwaitReply(FdState* st, uint32_t type, uint32_t id, uhid_event* ev) {
  auto deadline = DeadlineIn(g_feature_timeout_ms.load());
  for (;;) {
    int r = ReceiveEvent(st->fd, ev, deadline);
    if (r <= 0) return r;
    if (ev->type == UHID_INPUT2) {
      size_t size = std::min<size_t>(ev->u.input2.size, UHID_DATA_MAX);
      if (size > 0) st->Push(ev->u.input2.data, size);
      continue;
    }
    if (ev->type != type) continue;
    uint32_t got =
        type == UHID_GET_REPORT_REPLY ? ev->u.get_report_reply.id : ev->u.set_report_reply.id;
    if (got == id) return 1;  // earlier, abandoned requests answer with other ids
  }
}

// Sends a feature request (ev carries everything but the id) and waits for its reply; the
// reply's error code, when there is one, becomes errno. 1 with the reply in *ev, or -1.
int FeatureRequest(FdState* st, uhid_event* ev, uint32_t reply_type) {
  BeginRequest(st);
  const uint32_t id = g_next_request_id++;
  const bool set = ev->type == UHID_SET_REPORT;
  (set ? ev->u.set_report.id : ev->u.get_report.id) = id;
  if (SendEvent(st->fd, *ev, DeadlineIn(g_feature_timeout_ms.load())) <= 0) return -1;
  if (AwaitReply(st, reply_type, id, ev) <= 0) return -1;
  const uint16_t err = set ? ev->u.set_report_reply.err : ev->u.get_report_reply.err;
  if (err != 0) {
    errno = err;
    return -1;
  }
  return 1;
}

int VirtualSetFeature(int fd, const uint8_t* data, size_t len) {
  FdState* st = RequestState(fd, len, UHID_DATA_MAX);
  if (!st) return -1;
  uhid_event ev;
  std::memset(&ev, 0, sizeof ev);
  ev.type = UHID_SET_REPORT;
  ev.u.set_report.rnum = data[0];
  ev.u.set_report.rtype = UHID_FEATURE_REPORT;
  ev.u.set_report.size = static_cast<uint16_t>(len);
  std::memcpy(ev.u.set_report.data, data, len);
  return FeatureRequest(st, &ev, UHID_SET_REPORT_REPLY);
}

int VirtualGetFeature(int fd, uint8_t* buf, size_t len) {
  FdState* st = RequestState(fd, len, SIZE_MAX);
  if (!st) return -1;
  uhid_event ev;
  std::memset(&ev, 0, sizeof ev);
  ev.type = UHID_GET_REPORT;
  ev.u.get_report.rnum = buf[0];
  ev.u.get_report.rtype = UHID_FEATURE_REPORT;
  if (FeatureRequest(st, &ev, UHID_GET_REPORT_REPLY) <= 0) return -1;
  size_t size = std::min<size_t>(ev.u.get_report_reply.size, UHID_DATA_MAX);
  if (size == 0) {
    errno = EIO;
    return -1;
  }
  return static_cast<int>(CopyOut(ev.u.get_report_reply.data, size, buf, len));
}

void VirtualCancel(int fd) {
  FdState* st = StateOf(fd, false);
  if (!st) return;
  DropPending(st);
  st->stale = true;
}

// Connects to a device socket. Returns the descriptor or -1 with errno set.
int Connect(const std::string& node) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (node.size() >= sizeof addr.sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(addr.sun_path, node.c_str(), node.size() + 1);
  int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    int e = errno;
    close(fd);
    errno = e;
    return -1;
  }
  return fd;
}

// Reads the device's UHID_CREATE2, which it sends first on every connection.
bool ReadAnnouncement(int fd, uhid_event* ev) {
  auto deadline = DeadlineIn(g_announce_timeout_ms.load());
  for (;;) {
    int r = ReceiveEvent(fd, ev, deadline);
    if (r <= 0) return false;
    if (ev->type == UHID_CREATE2) return true;
  }
}

void VirtualEnumerate(std::vector<RawDevice>& out) {
  std::string dir = VirtualDir();
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> nodes;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".sock") == 0)
      nodes.push_back(dir + "/" + name);
  }
  closedir(d);
  std::sort(nodes.begin(), nodes.end());
  auto ev = std::make_unique<uhid_event>();
  for (const std::string& node : nodes) {
    int fd = Connect(node);
    if (fd < 0) continue;  // a socket file left behind by an emulator that is gone
    if (ReadAnnouncement(fd, ev.get())) {
      RawDevice dev;
      dev.node = node;
      dev.vendor_id = static_cast<uint16_t>(ev->u.create2.vendor);
      dev.product_id = static_cast<uint16_t>(ev->u.create2.product);
      size_t rd = std::min<size_t>(ev->u.create2.rd_size, HID_MAX_DESCRIPTOR_SIZE);
      dev.report_descriptor.assign(ev->u.create2.rd_data, ev->u.create2.rd_data + rd);
      dev.port = hub::PortFromPhys(reinterpret_cast<const char*>(ev->u.create2.phys),
                                   sizeof ev->u.create2.phys);
      out.push_back(std::move(dev));
    }
    close(fd);
  }
}

int VirtualOpen(const std::string& node, OpenError* err) {
  int fd = Connect(node);
  if (fd < 0) {
    if (err) {
      switch (errno) {
        case ENOENT:
        case ECONNREFUSED:
        case ENOTDIR: *err = OpenError::NotFound; break;
        case EACCES:
        case EPERM: *err = OpenError::Access; break;
        case EAGAIN: *err = OpenError::Busy; break;
        default: *err = OpenError::Other;
      }
    }
    return -1;
  }
  auto ev = std::make_unique<uhid_event>();
  if (!ReadAnnouncement(fd, ev.get())) {
    close(fd);
    if (err) *err = OpenError::Other;
    errno = EIO;
    return -1;
  }
  StateOf(fd, true);
  if (err) *err = OpenError::None;
  return fd;
}

}  // namespace

void ForgetDescriptor(int fd) {
  std::lock_guard<std::mutex> lock(g_table_mutex);
  g_table.erase(
      std::remove_if(g_table.begin(), g_table.end(), [fd](const auto& e) { return e->fd == fd; }),
      g_table.end());
}

void HintDescriptor(int fd, const struct stat& st) {
  t_hint.fd = fd;
  t_hint.st = st;
}

VirtualTimeouts GetVirtualTimeouts() {
  return {g_feature_timeout_ms.load(), g_announce_timeout_ms.load()};
}

void SetVirtualTimeouts(const VirtualTimeouts& t) {
  g_feature_timeout_ms = t.feature_ms;
  g_announce_timeout_ms = t.announce_ms;
}

const Backend& VirtualBackend() {
  static const Backend backend{"virtual",   VirtualEnumerate,  VirtualOpen,       VirtualWrite,
                               VirtualRead, VirtualSetFeature, VirtualGetFeature, VirtualCancel};
  return backend;
}

}  // namespace corlink::hid
