#pragma once
// A disk that fills up, for the recording tests: the file calls of the writers take at
// most `budget` bytes in all, then fail with `err` (fsync and fallocate too, once the
// budget is spent or would be overrun). Restores the real calls at the end of its scope.
#include <sys/types.h>

#include <cerrno>
#include <cstddef>

#include "data/recording/file_calls.h"

namespace pelorin::test {

class DiskFault {
 public:
  DiskFault(long long budget, int err = ENOSPC);
  ~DiskFault();
  DiskFault(const DiskFault&) = delete;
  DiskFault& operator=(const DiskFault&) = delete;

 private:
  ScopedFileCalls calls_;
};

}  // namespace pelorin::test
