#include "disk_fault.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace pelorin::test {
namespace {

long long g_budget = 0;    // free bytes
long long g_reserved = 0;  // bytes reserved by fallocate, not written yet
int g_err = ENOSPC;

ssize_t Write(int fd, const void* data, size_t size) {
  if (g_budget + g_reserved <= 0) {
    errno = g_err;
    return -1;
  }
  // Like a disk with a few blocks left: a short write first, the error next time.
  const size_t n = std::min<size_t>(size, size_t(g_budget + g_reserved));
  const ssize_t w = ::write(fd, data, n);
  if (w > 0) {
    const long long fromReserve = std::min<long long>(w, g_reserved);
    g_reserved -= fromReserve;
    g_budget -= w - fromReserve;
  }
  return w;
}

ssize_t Pwrite(int fd, const void* data, size_t size, off_t offset) {
  // Rewriting bytes that are there needs no new space.
  return ::pwrite(fd, data, size, offset);
}

int Fsync(int fd) {
  if (g_budget <= 0 && g_err != ENOSPC) {
    errno = g_err;
    return -1;
  }
  return ::fsync(fd);
}

int Fallocate(int fd, int mode, off_t offset, off_t length) {
  if (length > g_budget) {
    errno = g_err;
    return -1;
  }
  // Reserved space is spent from the budget; writes into it are then free.
  const int r = ::fallocate(fd, mode, offset, length);
  if (r == 0) {
    g_budget -= length;
    g_reserved += length;
  }
  return r;
}

}  // namespace

DiskFault::DiskFault(long long budget, int err)
    : calls_(FileCallTable{Write, Pwrite, Fsync, Fallocate}) {
  g_budget = budget;
  g_reserved = 0;
  g_err = err;
}

DiskFault::~DiskFault() = default;

}  // namespace pelorin::test
