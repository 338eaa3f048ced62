#include "hid/device_lock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "hid/virtual.h"
#include "log_sink.h"
#include "retry.h"
#include "small_file.h"

namespace corlink::hid {

namespace {

// A handle given out for a locked device, known by its descriptor and the file it names
// (a descriptor number the caller closed and got back for something else is not ours).
struct Handle {
  int fd;
  dev_t dev;
  ino_t ino;
};

struct Held {
  std::string node;
  bool socket = false;
  int lock_fd = -1;  // emulated devices: the lock file; hidraw: the lock is on the handles
  std::vector<Handle> handles;
};

std::mutex g_mutex;
std::vector<Held> g_held;

// A handle still open, still naming the file it was given for, and not hung up: a device
// that was unplugged (or an emulator that stopped) may come back under the same node, and
// a dead connection must neither be handed out again nor keep the new device locked.
bool Alive(const Handle& h) {
  struct stat st;
  if (::fstat(h.fd, &st) != 0 || st.st_dev != h.dev || st.st_ino != h.ino) return false;
  pollfd p{h.fd, 0, 0};
  return !(::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)));
}

std::optional<Handle> HandleOf(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return Handle{fd, st.st_dev, st.st_ino};
}

// Forgets handles the caller has closed; a device with none left is unlocked.
void PruneLocked() {
  for (auto it = g_held.begin(); it != g_held.end();) {
    auto& hs = it->handles;
    hs.erase(std::remove_if(hs.begin(), hs.end(), [](const Handle& h) { return !Alive(h); }),
             hs.end());
    if (!hs.empty()) {
      ++it;
      continue;
    }
    if (it->lock_fd >= 0) ::close(it->lock_fd);
    it = g_held.erase(it);
  }
}

// Parses an unsigned number in the given base (digits only, no sign or prefix); the whole
// text must be the number.
bool ParseUnsigned(std::string_view text, int base, unsigned long long max,
                   unsigned long long* out) {
  const char* end = text.data() + text.size();
  unsigned long long v = 0;
  const std::from_chars_result r = std::from_chars(text.data(), end, v, base);
  if (text.empty() || text.size() > 20 || r.ec != std::errc() || r.ptr != end || v > max)
    return false;
  *out = v;
  return true;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size() && out.size() < 16) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

// The program name of a process, printable, or empty.
std::string ProgramName(int pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/comm", pid);
  std::string name;
  for (char c : ReadSmallFile(path, 63)) {
    if (c == '\n') break;
    name += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return name;
}

// Bounded: a machine with a huge lock table only loses the name in the message.
constexpr size_t kProcLocksLimit = 1u << 20;

void PrintInUse(const std::string& node, int locked_fd) {
  struct stat st;
  std::optional<int> pid;
  if (::fstat(locked_fd, &st) == 0)
    pid = FlockHolder(ReadSmallFile("/proc/locks", kProcLocksLimit), st.st_dev, st.st_ino);
  if (pid && *pid > 0 && *pid != ::getpid()) {
    const std::string name = ProgramName(*pid);
    Log("DEVICE: %s is in use by process %d (%s); one program at a time may use a panel.\n",
        node.c_str(), *pid, name.empty() ? "?" : name.c_str());
  } else {
    Log("DEVICE: %s is in use by another program; one program at a time may use a panel.\n",
        node.c_str());
  }
}

// The emulator keeps the lock's descriptor with the connection and closes it when the
// connection ends, so the lock lives as long as the connection, as a hidraw handle's does.
// The message is no event (shorter than one, no event type); the emulator takes it by name.
constexpr char kLockHandover[] = "corlink-lock";

bool HandOver(int socket_fd, int lock_fd) {
  iovec iov{const_cast<char*>(kLockHandover), sizeof kLockHandover - 1};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  cmsghdr* c = CMSG_FIRSTHDR(&msg);
  c->cmsg_level = SOL_SOCKET;
  c->cmsg_type = SCM_RIGHTS;
  c->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(c), &lock_fd, sizeof lock_fd);
  return ::sendmsg(socket_fd, &msg, MSG_DONTWAIT | MSG_NOSIGNAL) ==
         static_cast<ssize_t>(iov.iov_len);
}

// An emulated panel's previous host may have just closed its connection, and the emulator
// not yet seen it go (nor dropped the lock with it): a held lock is tried again for a
// moment before the panel counts as in use.
// Real time even in tests: the wait is for another process.
int FlockSoon(int fd) {
  const RetryRule rule{51, 10, false, [](unsigned ms) { ::usleep(ms * 1000); }};
  return Retry(rule,
               [&](int) -> std::optional<int> {
                 if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
                 if (errno != EWOULDBLOCK) return -1;
                 return std::nullopt;
               })
      .value_or(-1);
}

}  // namespace

std::optional<int> FlockHolder(std::string_view proc_locks, dev_t dev, ino_t ino) {
  size_t pos = 0;
  while (pos < proc_locks.size()) {
    size_t end = proc_locks.find('\n', pos);
    if (end == std::string_view::npos) end = proc_locks.size();
    const std::vector<std::string_view> f = Fields(proc_locks.substr(pos, end - pos));
    pos = end + 1;
    // "N:" "FLOCK" "ADVISORY" "WRITE" pid "maj:min:ino" start end
    if (f.size() < 6 || f[1] != "FLOCK") continue;
    const std::string_view id = f[5];
    const size_t c1 = id.find(':');
    const size_t c2 = c1 == std::string_view::npos ? c1 : id.find(':', c1 + 1);
    if (c2 == std::string_view::npos) continue;
    unsigned long long pid = 0, maj = 0, min = 0, inode = 0;
    if (!ParseUnsigned(f[4], 10, 0x7FFFFFFF, &pid) ||
        !ParseUnsigned(id.substr(0, c1), 16, 0xFFFFFFFF, &maj) ||
        !ParseUnsigned(id.substr(c1 + 1, c2 - c1 - 1), 16, 0xFFFFFFFF, &min) ||
        !ParseUnsigned(id.substr(c2 + 1), 10, ~0ull, &inode))
      continue;
    if (maj == major(dev) && min == minor(dev) && inode == static_cast<unsigned long long>(ino))
      return static_cast<int>(pid);
  }
  return std::nullopt;
}

int ReopenHeld(const std::string& node) {
  std::lock_guard<std::mutex> lock(g_mutex);
  PruneLocked();
  for (Held& h : g_held) {
    if (h.node != node) continue;
    const int fd = ::fcntl(h.handles.front().fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (h.socket) ForgetDescriptor(fd);
    if (auto handle = HandleOf(fd)) h.handles.push_back(*handle);
    return fd;
  }
  return -1;
}

void ReleaseClosed() {
  std::lock_guard<std::mutex> lock(g_mutex);
  PruneLocked();
}

bool LockOpened(const std::string& node, int fd, bool socket) {
  std::lock_guard<std::mutex> lock(g_mutex);
  PruneLocked();
  Held held;
  held.node = node;
  held.socket = socket;
  if (socket) {
    const std::string path = node + ".lock";
    held.lock_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (held.lock_fd < 0) {
      Log("DEVICE: cannot make the lock file %s (%s); %s is opened without its lock.\n",
          path.c_str(), std::strerror(errno), node.c_str());
    } else if (FlockSoon(held.lock_fd) != 0) {
      const int code = errno;
      if (code == EWOULDBLOCK) PrintInUse(node, held.lock_fd);
      ::close(held.lock_fd);
      if (code == EWOULDBLOCK) {
        errno = EBUSY;
        return false;
      }
      held.lock_fd = -1;
    } else if (HandOver(fd, held.lock_fd)) {
      ::close(held.lock_fd);
      held.lock_fd = -1;
    }
    // Else (the socket would not take it) the library keeps the lock until it finds every
    // handle of the device closed: later than the connection ends, but never earlier.
  } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      PrintInUse(node, fd);
      errno = EBUSY;
      return false;
    }
  }
  if (auto handle = HandleOf(fd)) held.handles.push_back(*handle);
  if (held.handles.empty()) {
    if (held.lock_fd >= 0) ::close(held.lock_fd);
    return true;
  }
  g_held.push_back(std::move(held));
  return true;
}

}  // namespace corlink::hid
