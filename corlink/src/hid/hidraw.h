// The hidraw backend's seam: every system call it makes goes through this table, and the
// places it looks (sysfs and /dev) are part of it, so tests can build a fake device tree
// and inject EBUSY, EACCES, short writes and time-outs.
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <cstddef>

namespace corlink::hid {

struct HidrawSys {
  int (*open)(const char* path, int flags);
  int (*close)(int fd);
  int (*ioctl)(int fd, unsigned long request, void* arg);
  ssize_t (*read)(int fd, void* buf, size_t len);
  ssize_t (*write)(int fd, const void* buf, size_t len);
  int (*poll)(struct pollfd* fds, nfds_t count, int timeout_ms);
  const char* class_dir;  // "/sys/class/hidraw"
  const char* dev_dir;    // "/dev"
};

// The real system calls and places.
const HidrawSys& RealHidrawSys();

// nullptr restores the real table.
void SetHidrawSysForTest(const HidrawSys* sys);

// The hint printed when a node may not be opened.
void PrintAccessHint(const char* node);

}  // namespace corlink::hid
