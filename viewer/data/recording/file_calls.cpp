#include "data/recording/file_calls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace pelorin {

FileCallTable& FileCalls() {
  static FileCallTable table{::write, ::pwrite, ::fsync, ::fallocate};
  return table;
}

bool WriteAllTo(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = FileCalls().write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    p += n;
    size -= size_t(n);
  }
  return true;
}

}  // namespace pelorin
