// The system calls through which recordings reach the disk, gathered in one table so
// tests can make them fail (a full disk, an I/O error) at a chosen byte without a full
// file system. Production code calls FileCalls(); tests swap entries with
// ScopedFileCalls and get the originals back at the end of their scope.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace pelorin {

struct FileCallTable {
  ssize_t (*write)(int fd, const void* data, size_t size);
  ssize_t (*pwrite)(int fd, const void* data, size_t size, off_t offset);
  int (*fsync)(int fd);
  // fallocate(2): reserves disk space ahead of the writes that will need it.
  int (*fallocate)(int fd, int mode, off_t offset, off_t length);
};

// The table in use; its entries default to the system's own calls.
FileCallTable& FileCalls();

class ScopedFileCalls {
 public:
  explicit ScopedFileCalls(const FileCallTable& calls) : saved_(FileCalls()) {
    FileCalls() = calls;
  }
  ~ScopedFileCalls() { FileCalls() = saved_; }
  ScopedFileCalls(const ScopedFileCalls&) = delete;
  ScopedFileCalls& operator=(const ScopedFileCalls&) = delete;

 private:
  FileCallTable saved_;
};

// Writes all of data, going on after short writes and EINTR. False with errno set when
// a write fails.
bool WriteAllTo(int fd, const void* data, size_t size);

}  // namespace pelorin
