// Reading a file the user names, whole or not at all: the settings file, a limits file, a
// golden recording. A folder, a device, a pipe, a file larger than its reader takes, a
// read error or a file that shrinks while it is read are told apart, so that nothing is
// judged or written back from part of a file without a word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelorin {

enum class FileReadStatus {
  kWhole,       // text is the whole file
  kNotOpened,   // open failed (missing, permission denied): reason is strerror
  kNotRegular,  // a folder, a device or a pipe
  kTooLarge,    // larger than the limit: text holds the first `limit` bytes
  kReadError,   // read failed part way: text holds what came before
  kShortRead,   // the file ended before the size it had when it was opened
};

struct FileRead {
  FileReadStatus status = FileReadStatus::kNotOpened;
  std::string text;
  // Empty for kWhole; otherwise the cause in a few words, such as "No such file or
  // directory", "is a folder", "is larger than 65536 bytes", "only 500 of 1022 bytes
  // could be read", "reading failed after 512 bytes: Input/output error".
  std::string reason;

  bool Whole() const { return status == FileReadStatus::kWhole; }
};

// Reads a regular file of at most limit bytes. Opening never waits (a FIFO is refused,
// not waited on).
FileRead ReadWholeFile(const std::string& path, size_t limit);

// One line for the user on a read that was not whole: "can't read PATH: No such file or
// directory", "PATH is a folder", "PATH is larger than 65536 bytes", ...
std::string DescribeFileRead(const std::string& path, const FileRead& read);

// The reading step on an open descriptor whose size was `expected` bytes when it was
// opened: fewer bytes before the end of the file is a short read.
FileRead ReadWholeDescriptor(int fd, uint64_t expected, size_t limit);

}  // namespace pelorin
