#include "data/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace pelorin {
namespace {

FileRead Refused(FileReadStatus status, std::string reason) {
  FileRead r;
  r.status = status;
  r.reason = std::move(reason);
  return r;
}

}  // namespace

FileRead ReadWholeDescriptor(int fd, uint64_t expected, size_t limit) {
  FileRead r;
  std::array<char, 65536> chunk;
  for (;;) {
    // One byte past the limit tells a file that is larger than the reader takes.
    const size_t room = limit - std::min(limit, r.text.size()) + 1;
    const ssize_t n = ::read(fd, chunk.data(), std::min(chunk.size(), room));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      r.status = FileReadStatus::kReadError;
      r.reason = "reading failed after " + std::to_string(r.text.size()) +
                 " bytes: " + std::strerror(errno);
      return r;
    }
    if (n == 0) break;
    r.text.append(chunk.data(), static_cast<size_t>(n));
    if (r.text.size() > limit) {
      r.text.resize(limit);
      r.status = FileReadStatus::kTooLarge;
      r.reason = "is larger than " + std::to_string(limit) + " bytes";
      return r;
    }
  }
  if (r.text.size() < expected) {
    r.status = FileReadStatus::kShortRead;
    r.reason = "only " + std::to_string(r.text.size()) + " of " + std::to_string(expected) +
               " bytes could be read";
    return r;
  }
  r.status = FileReadStatus::kWhole;
  return r;
}

FileRead ReadWholeFile(const std::string& path, size_t limit) {
  // O_NONBLOCK: a FIFO opened for reading would wait for a writer; it is refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return Refused(FileReadStatus::kNotOpened, std::strerror(errno));
  struct stat st {};
  FileRead r;
  if (::fstat(fd, &st) != 0) {
    r = Refused(FileReadStatus::kNotOpened, std::strerror(errno));
  } else if (S_ISDIR(st.st_mode)) {
    r = Refused(FileReadStatus::kNotRegular, "is a folder");
  } else if (!S_ISREG(st.st_mode)) {
    r = Refused(FileReadStatus::kNotRegular, "is not a regular file");
  } else {
    r = ReadWholeDescriptor(fd, static_cast<uint64_t>(st.st_size), limit);
  }
  ::close(fd);
  return r;
}

std::string DescribeFileRead(const std::string& path, const FileRead& read) {
  switch (read.status) {
    case FileReadStatus::kWhole: return {};
    case FileReadStatus::kNotRegular:
    case FileReadStatus::kTooLarge: return path + " " + read.reason;
    case FileReadStatus::kNotOpened:
    case FileReadStatus::kReadError:
    case FileReadStatus::kShortRead: break;
  }
  return "can't read " + path + ": " + read.reason;
}

}  // namespace pelorin
