// The hidraw backend: real HID devices through /dev/hidrawN.
//
// Enumeration walks /sys/class/hidraw. The ids come from HIDIOCGRAWINFO (or, when the
// node cannot be opened, from HID_ID in the device's uevent), the report descriptor from
// HIDIOCGRDESC (or the device's report_descriptor file in sysfs, which anyone may read),
// so that a device the user may not open is still found and its open failure explained.
//
// Transfers wait in poll() with a time-out; one eventfd in every wait lets Cancel() end a
// wait early. The library is driven from one thread at a time, so one eventfd serves all.
#include "hid/hidraw.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "hid/deadline.h"
#include "hid/hid_port.h"
#include "library_state.h"
#include "log_sink.h"
#include "small_file.h"

namespace corlink::hid {

namespace {

int SysOpen(const char* path, int flags) { return ::open(path, flags); }
int SysIoctl(int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); }
int SysPoll(struct pollfd* fds, nfds_t n, int timeout) { return ::poll(fds, n, timeout); }

const HidrawSys kReal{SysOpen, ::close, SysIoctl, ::read, ::write, SysPoll, "/sys/class/hidraw",
                      "/dev"};
const HidrawSys* g_sys = &kReal;

const HidrawSys& Sys() { return *g_sys; }

constexpr int kDrainLimit = 256;  // reports discarded by one Cancel at most

// --- enumeration ---------------------------------------------------------------------

// HID_ID=0003:00006B3E:00003A06 in a device's uevent.
bool ParseHidId(const std::string& uevent, uint16_t* vendor, uint16_t* product) {
  const size_t at = uevent.find("HID_ID=");
  if (at == std::string::npos) return false;
  unsigned bus = 0, vid = 0, pid = 0;
  if (std::sscanf(uevent.c_str() + at + 7, "%x:%x:%x", &bus, &vid, &pid) != 3) return false;
  *vendor = static_cast<uint16_t>(vid);
  *product = static_cast<uint16_t>(pid);
  return true;
}

// Reads ids and descriptor through the node. Returns the errno of a failed open, else 0.
int ProbeNode(const std::string& node, RawDevice& dev) {
  const int fd = Sys().open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno != 0 ? errno : EIO;
  hidraw_devinfo info{};
  if (Sys().ioctl(fd, HIDIOCGRAWINFO, &info) == 0) {
    dev.vendor_id = static_cast<uint16_t>(info.vendor);
    dev.product_id = static_cast<uint16_t>(info.product);
  }
  int size = 0;
  if (Sys().ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0) {
    auto desc = std::make_unique<hidraw_report_descriptor>();
    desc->size = static_cast<uint32_t>(std::min(size, HID_MAX_DESCRIPTOR_SIZE));
    if (Sys().ioctl(fd, HIDIOCGRDESC, desc.get()) == 0) {
      const uint32_t n = std::min<uint32_t>(desc->size, HID_MAX_DESCRIPTOR_SIZE);
      dev.report_descriptor.assign(desc->value, desc->value + n);
    }
  }
  Sys().close(fd);
  return 0;
}

// hidraw2 before hidraw10.
long NodeNumber(const std::string& name) { return std::strtol(name.c_str() + 6, nullptr, 10); }

void EnumerateHidraw(std::vector<RawDevice>& out) {
  DIR* dir = ::opendir(Sys().class_dir);
  if (dir == nullptr) return;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir)) {
    if (std::strncmp(e->d_name, "hidraw", 6) == 0 && e->d_name[6] != '\0')
      names.emplace_back(e->d_name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return NodeNumber(a) < NodeNumber(b);
  });

  for (const std::string& name : names) {
    const std::string sys = std::string(Sys().class_dir) + "/" + name + "/device/";
    RawDevice dev;
    dev.node = std::string(Sys().dev_dir) + "/" + name;
    const bool have_ids =
        ParseHidId(ReadSmallFile((sys + "uevent").c_str(), 8192), &dev.vendor_id, &dev.product_id);
    const int err = ProbeNode(dev.node, dev);
    if (err == EBUSY) SetReinstallFlag(1);  // held exclusively: the driver needs a re-install
    if (dev.report_descriptor.empty()) {
      const std::string desc =
          ReadSmallFile((sys + "report_descriptor").c_str(), HID_MAX_DESCRIPTOR_SIZE);
      dev.report_descriptor.assign(desc.begin(), desc.end());
    }
    if (!have_ids && err != 0) continue;  // nothing known about it
    out.push_back(std::move(dev));
  }
}

// --- open ----------------------------------------------------------------------------

int OpenNode(const std::string& node, OpenError* err) {
  errno = 0;
  const int fd = Sys().open(node.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  OpenError e = OpenError::None;
  if (fd < 0) {
    const int code = errno;
    switch (code) {
      case EBUSY:
        e = OpenError::Busy;
        SetReinstallFlag(1);
        break;
      case EACCES:
      case EPERM:
        e = OpenError::Access;
        PrintAccessHint(node.c_str());
        break;
      case ENOENT:
      case ENODEV:
      case ENXIO: e = OpenError::NotFound; break;
      default: e = OpenError::Other; break;
    }
    errno = code;
  }
  if (err) *err = e;
  return fd;
}

// --- transfers -----------------------------------------------------------------------

int CancelFd() {
  static const int efd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  return efd;
}

void ClearCancel() {
  uint64_t v;
  if (CancelFd() >= 0) (void)!::read(CancelFd(), &v, sizeof v);
}

// Waits until fd is ready for events, the time-out passes or a cancel arrives.
// Returns 1 when ready, 0 on time-out or cancel, -1 on error or hang-up.
int Wait(int fd, short events, int timeout_ms) {
  const auto deadline = DeadlineIn(timeout_ms);
  for (;;) {
    const int wait_ms = MsLeft(deadline);
    pollfd fds[2] = {{fd, events, 0}, {CancelFd(), POLLIN, 0}};
    const int n = Sys().poll(fds, CancelFd() >= 0 ? 2 : 1, wait_ms);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) return 0;
    if (CancelFd() >= 0 && (fds[1].revents & POLLIN)) {
      ClearCancel();
      return 0;
    }
    if (fds[0].revents & events) return 1;
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return -1;
    if (wait_ms == 0) return 0;
  }
}

int Write(int fd, const uint8_t* data, size_t len, int timeout_ms) {
  if (data == nullptr || len == 0) return -1;
  ClearCancel();
  const auto deadline = DeadlineIn(timeout_ms);
  for (;;) {
    const int ready = Wait(fd, POLLOUT, MsLeft(deadline));
    if (ready <= 0) return ready;
    const ssize_t n = Sys().write(fd, data, len);
    if (n == static_cast<ssize_t>(len)) return 1;
    if (n >= 0) return -1;  // a short write loses the report
    if (errno != EAGAIN && errno != EINTR) return -1;
    if (SteadyClock::now() >= deadline) return 0;
  }
}

int Read(int fd, uint8_t* buf, size_t len, int timeout_ms) {
  if (buf == nullptr || len == 0) return -1;
  ClearCancel();
  const auto deadline = DeadlineIn(timeout_ms);
  for (;;) {
    const int ready = Wait(fd, POLLIN, MsLeft(deadline));
    if (ready <= 0) return ready;
    const ssize_t n = Sys().read(fd, buf, len);
    if (n > 0) return static_cast<int>(n);
    if (n == 0) return -1;
    if (errno != EAGAIN && errno != EINTR) return -1;
    if (SteadyClock::now() >= deadline) return 0;
  }
}

int SetFeat(int fd, const uint8_t* data, size_t len) {
  if (data == nullptr || len == 0 || len > HID_MAX_DESCRIPTOR_SIZE) return -1;
  const int n = Sys().ioctl(fd, HIDIOCSFEATURE(len), const_cast<uint8_t*>(data));
  return n == static_cast<int>(len) ? 1 : -1;
}

int GetFeat(int fd, uint8_t* buf, size_t len) {
  if (buf == nullptr || len == 0 || len > HID_MAX_DESCRIPTOR_SIZE) return -1;
  const int n = Sys().ioctl(fd, HIDIOCGFEATURE(len), buf);
  return n > 0 ? n : -1;
}

// Wakes a waiting transfer and throws away input reports that arrived too late.
void CancelIo(int fd) {
  if (CancelFd() >= 0) {
    const uint64_t one = 1;
    (void)!::write(CancelFd(), &one, sizeof one);
  }
  uint8_t scratch[4096];
  for (int i = 0; i < kDrainLimit; ++i) {
    pollfd p{fd, POLLIN, 0};
    if (Sys().poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN)) break;
    if (Sys().read(fd, scratch, sizeof scratch) <= 0) break;
  }
}

}  // namespace

const HidrawSys& RealHidrawSys() { return kReal; }

void SetHidrawSysForTest(const HidrawSys* sys) { g_sys = sys ? sys : &kReal; }

void PrintAccessHint(const char* node) {
  Log("DEVICE: permission denied opening %s. Install the udev rule "
      "70-corlink.rules (cmake --install puts it in /etc/udev/rules.d; see "
      "\"Using a real panel\" in README.md), then reconnect the panel.\n",
      node);
}

const Backend& HidrawBackend() {
  static const Backend backend{"hidraw", EnumerateHidraw, OpenNode, Write,
                               Read,     SetFeat,         GetFeat,  CancelIo};
  return backend;
}

}  // namespace corlink::hid
