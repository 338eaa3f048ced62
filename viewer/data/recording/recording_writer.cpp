#include "data/recording/recording_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace pelorin {
namespace {

// The temporary file carries a FrameCount line of fixed width that is rewritten after
// every frame, so a recording cut short by a crash still loads. The final file gets the
// exact line instead.
constexpr std::string_view kFirstLine = "Pelorin\n";
constexpr std::string_view kCountPrefix = "FrameCount, ";
constexpr int kCountWidth = 10;

std::string ErrnoText(const char* what, int err) {
  return std::string(what) + ": " + std::strerror(err);
}

void AppendInt(std::string& out, int32_t v) {
  char tmp[16];
  auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
  out.append(tmp, r.ptr);
}

std::string CountLine(int32_t count, bool padded) {
  char line[64];
  if (padded)
    std::snprintf(line, sizeof line, "FrameCount, %-*d\n", kCountWidth, count);
  else
    std::snprintf(line, sizeof line, "FrameCount, %d\n", count);
  return line;
}

bool WriteFd(int fd, const char* data, size_t size, int& err) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    data += n;
    size -= size_t(n);
  }
  return true;
}

void AppendBlock(std::string& out, const DumpSource& s, int32_t elapsedMs) {
  char head[128];
  int n = std::snprintf(head, sizeof head, "\nNo , %d, %10dms, Read Error Times , %d\n",
                        s.frameNumber, elapsedMs, s.readErrors);
  out.append(head, size_t(n));
  const size_t h = size_t(s.height);
  for (int32_t x = 0; x < s.width; ++x) {
    const int32_t* row = s.cells + size_t(x) * h;
    const uint8_t* mrow = s.mask != nullptr ? s.mask + size_t(x) * h : nullptr;
    for (size_t y = 0; y < h; ++y) {
      if (mrow != nullptr && mrow[y] == 0) {
        out += "N/A,";
      } else {
        AppendInt(out, row[y]);
        out += ',';
      }
    }
    out += '\n';
  }
}

}  // namespace

DumpFile::~DumpFile() { CloseTemp(); }

void DumpFile::CloseTemp() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool DumpFile::WriteAll(const std::string& text) {
  int err = 0;
  if (!WriteFd(fd_, text.data(), text.size(), err)) {
    error_ = err == ENOSPC ? "disk full while recording" : ErrnoText("write error while recording", err);
    return false;
  }
  struct stat st {};
  if (fstat(fd_, &st) == 0 && st.st_nlink == 0) {
    error_ = "the recording file " + tempPath_ + " was removed";
    return false;
  }
  return true;
}

bool OpenDump(DumpFile& dump, const std::string& workDir, std::span<const DumpSource> sources) {
  dump.CloseTemp();
  dump.error_.clear();
  dump.framesWritten_ = 0;
  dump.finalPath_.clear();
  dump.workDir_ = workDir;
  dump.tempPath_ = workDir + "/" + kTempDumpName;
  if (sources.empty()) {
    dump.error_ = "no source to record";
    return false;
  }
  dump.fd_ = ::open(dump.tempPath_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (dump.fd_ < 0) {
    dump.error_ = ErrnoText(("can't open " + dump.tempPath_).c_str(), errno);
    return false;
  }
  dump.shapes_.clear();
  for (const DumpSource& s : sources) dump.shapes_.emplace_back(s.width, s.height);
  std::string text(kFirstLine);
  text += CountLine(0, true);
  std::string widths = "Width, ", heights = "Height, ", types = "Type, ";
  for (size_t i = 0; i < sources.size(); ++i) {
    const char* end = i + 1 < sources.size() ? "," : "\n";
    AppendInt(widths, sources[i].width);
    widths += end;
    AppendInt(heights, sources[i].height);
    heights += end;
    types.append(sources[i].name);
    types += end;
  }
  text += widths + heights + types;
  if (!dump.WriteAll(text)) {
    dump.CloseTemp();
    return false;
  }
  return true;
}

bool WriteFrames(DumpFile& dump, std::span<const DumpSource> sources, int32_t elapsedMs) {
  if (!dump.IsOpen()) {
    dump.error_ = "no recording is open";
    return false;
  }
  dump.error_.clear();
  // A block that does not match the header would make the whole file unreadable.
  if (sources.size() != dump.shapes_.size()) {
    dump.error_ = "the sources changed since the recording started";
    return false;
  }
  for (size_t i = 0; i < sources.size(); ++i) {
    const DumpSource& s = sources[i];
    if (s.width <= 0 || s.height <= 0 || s.cells == nullptr) {
      dump.error_ = "a source has no frame to record";
      return false;
    }
    if (std::make_pair(s.width, s.height) != dump.shapes_[i]) {
      dump.error_ = "the sources changed since the recording started";
      return false;
    }
  }
  dump.buffer_.clear();
  for (const DumpSource& s : sources) AppendBlock(dump.buffer_, s, elapsedMs);
  off_t before = ::lseek(dump.fd_, 0, SEEK_END);
  bool ok = dump.WriteAll(dump.buffer_);
  if (ok) {
    // Count the frame only once all of it is in the file.
    std::string count = CountLine(dump.framesWritten_ + 1, true);
    ssize_t n = ::pwrite(dump.fd_, count.data(), count.size(), off_t(kFirstLine.size()));
    if (n != ssize_t(count.size())) {
      dump.error_ = ErrnoText("write error while recording", n < 0 ? errno : EIO);
      ok = false;
    }
  }
  if (!ok) {
    // Drop the torn block so the file ends after the last complete frame.
    if (before >= 0 && ::ftruncate(dump.fd_, before) != 0) {
    }
    return false;
  }
  ++dump.framesWritten_;
  return true;
}

std::string FinalDumpName(std::string_view batchName, std::string_view firstModelName,
                          std::time_t when) {
  std::tm local {};
  localtime_r(&when, &local);
  char stamp[81];
  size_t n = std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S.csv", &local);
  std::string name;
  if (!batchName.empty()) {
    name = batchName;
  } else {
    name = "Pelorin_";
    name += firstModelName;
  }
  name.append(stamp, n);
  return name;
}

bool FinishDump(DumpFile& dump, int32_t frameCounter, int32_t step, const std::string& finalName) {
  if (!dump.IsOpen()) {
    dump.error_ = "no recording is open";
    return false;
  }
  dump.error_.clear();
  if (step < 1) step = 1;
  const int32_t frameCount = frameCounter <= 0 ? 0 : int32_t((int64_t(frameCounter) + step - 1) / step);
  dump.finalPath_ = dump.workDir_ + "/" + finalName;
  // Never append to or replace an existing file: a second recording glued to the end of
  // another would make both unreadable.
  int out = ::open(dump.finalPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) {
    dump.error_ = ErrnoText(("can't create " + dump.finalPath_).c_str(), errno);
    return false;
  }
  int err = 0;
  bool ok = WriteFd(out, kFirstLine.data(), kFirstLine.size(), err);
  std::string count = CountLine(frameCount, false);
  ok = ok && WriteFd(out, count.data(), count.size(), err);
  // The rest of the temporary file follows its own FrameCount line.
  off_t offset = off_t(kFirstLine.size() + kCountPrefix.size() + kCountWidth + 1);
  std::string chunk(1 << 20, '\0');
  while (ok) {
    ssize_t n = ::pread(dump.fd_, chunk.data(), chunk.size(), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno;
      ok = false;
      break;
    }
    if (n == 0) break;
    ok = WriteFd(out, chunk.data(), size_t(n), err);
    offset += n;
  }
  ok = ok && WriteFd(out, "\n", 1, err);
  if (::close(out) != 0 && ok) {
    err = errno;
    ok = false;
  }
  if (!ok) {
    ::unlink(dump.finalPath_.c_str());
    dump.error_ = ErrnoText(("can't write " + dump.finalPath_).c_str(), err);
    return false;
  }
  // Remove the temporary name only if it still is our file.
  struct stat mine {}, named {};
  bool same = fstat(dump.fd_, &mine) == 0 && ::stat(dump.tempPath_.c_str(), &named) == 0 &&
              mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
  dump.CloseTemp();
  if (same) ::unlink(dump.tempPath_.c_str());
  return true;
}

}  // namespace pelorin
