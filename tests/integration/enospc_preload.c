/* A full disk for a whole program, for its tests: loaded with LD_PRELOAD, it lets the
 * program's writes to files whose path contains $PELORIN_ENOSPC_MATCH take
 * $PELORIN_ENOSPC_AFTER bytes in all, and then fail with ENOSPC (a short write first, as
 * a disk with a few blocks left does). fallocate on those files fails once the bytes
 * are spent. Every other file is left alone. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

static atomic_llong budget = -1; /* -1: not read from the environment yet */

static int Matches(int fd) {
  const char* match = getenv("PELORIN_ENOSPC_MATCH");
  if (match == NULL || *match == '\0') return 0;
  char link[64], path[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = readlink(link, path, sizeof path - 1);
  if (n <= 0) return 0;
  path[n] = '\0';
  return strstr(path, match) != NULL;
}

static long long Budget(void) {
  long long b = atomic_load(&budget);
  if (b < 0) {
    const char* after = getenv("PELORIN_ENOSPC_AFTER");
    long long start = after != NULL ? atoll(after) : 0;
    long long unset = -1;
    atomic_compare_exchange_strong(&budget, &unset, start);
    b = atomic_load(&budget);
  }
  return b;
}

/* How many of n bytes may be written now; 0 with errno ENOSPC when none. */
static size_t Take(size_t n) {
  for (;;) {
    long long b = Budget();
    if (b <= 0) {
      errno = ENOSPC;
      return 0;
    }
    long long take = (long long)n < b ? (long long)n : b;
    if (atomic_compare_exchange_weak(&budget, &b, b - take)) return (size_t)take;
  }
}

ssize_t write(int fd, const void* data, size_t n) {
  static ssize_t (*real)(int, const void*, size_t);
  if (real == NULL) real = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
  if (n > 0 && Matches(fd)) {
    size_t allowed = Take(n);
    if (allowed == 0) return -1;
    return real(fd, data, allowed);
  }
  return real(fd, data, n);
}

int fallocate(int fd, int mode, off_t offset, off_t length) {
  static int (*real)(int, int, off_t, off_t);
  if (real == NULL) real = (int (*)(int, int, off_t, off_t))dlsym(RTLD_NEXT, "fallocate");
  if (Matches(fd) && Budget() < (long long)length) {
    errno = ENOSPC;
    return -1;
  }
  return real(fd, mode, offset, length);
}
