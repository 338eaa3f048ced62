#include "data/recording/recording_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "data/recording/file_calls.h"

namespace pelorin {
namespace {

// The FrameCount line has a fixed width and is rewritten in place after every frame, so
// the file is a complete recording at every moment and becomes the final one by a
// rename, without a copy (which would need the space twice over on a full disk).
constexpr std::string_view kFirstLine = "Pelorin\n";
constexpr int kCountWidth = 10;

void AppendInt(std::string& out, int32_t v) {
  char tmp[16];
  auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
  out.append(tmp, r.ptr);
}

std::string CountLine(int32_t count) {
  char line[64];
  std::snprintf(line, sizeof line, "FrameCount, %-*d\n", kCountWidth, count);
  return line;
}

// One block without its leading empty line: the line that ends the file before it
// serves, and the block brings the file's closing empty line itself.
void AppendBlock(std::string& out, const DumpSource& s, int32_t elapsedMs) {
  char head[128];
  int n = std::snprintf(head, sizeof head, "No , %d, %10dms, Read Error Times , %d\n",
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
  out += '\n';
}

}  // namespace

DumpFile::~DumpFile() { CloseTemp(); }

void DumpFile::CloseTemp() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool DumpFile::Fail(const std::string& what, int err) {
  errno_ = err;
  error_ = what + ": " + std::strerror(err);
  return false;
}

bool DumpFile::WriteAll(const std::string& text) {
  if (!WriteAllTo(fd_, text.data(), text.size())) return Fail("can't write " + tempPath_, errno);
  struct stat st {};
  if (fstat(fd_, &st) == 0 && st.st_nlink == 0) {
    errno_ = ENOENT;
    error_ = "the recording file " + tempPath_ + " was removed";
    return false;
  }
  return true;
}

bool OpenDump(DumpFile& dump, const std::string& workDir, std::span<const DumpSource> sources) {
  dump.CloseTemp();
  dump.error_.clear();
  dump.errno_ = 0;
  dump.framesWritten_ = 0;
  dump.finalPath_.clear();
  dump.tempPath_.clear();
  dump.workDir_ = workDir;
  if (sources.empty()) {
    dump.error_ = "no source to record";
    return false;
  }
  std::vector<std::string> keepErrors;
  dump.recovered_ = RecoverLeftoverTemps(workDir, &keepErrors);
  dump.fd_ = CreatePrivateTemp(workDir, ".csv", &dump.tempPath_);
  if (dump.fd_ < 0) {
    const int err = errno;
    dump.tempPath_ = workDir + "/" + kTempPrefix + "-XXXXXX.csv";
    return dump.Fail("can't create " + dump.tempPath_, err);
  }
  dump.shapes_.clear();
  for (const DumpSource& s : sources) dump.shapes_.emplace_back(s.width, s.height);
  std::string text(kFirstLine);
  text += CountLine(0);
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
  // The empty line that ends a file; every block follows it.
  text += widths + heights + types + "\n";
  if (!dump.WriteAll(text)) {
    // Nothing of a recording is in it: the half header goes.
    ::unlink(dump.tempPath_.c_str());
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
  dump.errno_ = 0;
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
  const off_t before = ::lseek(dump.fd_, 0, SEEK_END);
  bool ok = dump.WriteAll(dump.buffer_);
  if (ok) {
    // Count the frame only once all of it is in the file.
    const std::string count = CountLine(dump.framesWritten_ + 1);
    const ssize_t n =
        FileCalls().pwrite(dump.fd_, count.data(), count.size(), off_t(kFirstLine.size()));
    if (n != ssize_t(count.size()))
      ok = dump.Fail("can't write " + dump.tempPath_, n < 0 ? errno : EIO);
  }
  if (!ok) {
    // Cut the torn block off: the file ends after the last complete frame again.
    if (before >= 0 && ::ftruncate(dump.fd_, before) != 0) {
      dump.error_ += "; the last block could not be cut off";
    }
    return false;
  }
  ++dump.framesWritten_;
  return true;
}

std::string FinalDumpName(std::string_view batchName, std::string_view firstModelName,
                          std::time_t when) {
  std::tm local{};
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

bool FinishDump(DumpFile& dump, const std::string& finalName) {
  if (!dump.IsOpen()) {
    dump.error_ = "no recording is open";
    return false;
  }
  dump.error_.clear();
  dump.errno_ = 0;
  dump.finalPath_ = dump.workDir_ + "/" + finalName;
  // On the disk before it has its name: a power cut leaves the temporary file or the
  // recording, never an empty file under the final name.
  if (FileCalls().fsync(dump.fd_) != 0) {
    const int err = errno;
    if (err != EINVAL && err != EROFS) return dump.Fail("can't write " + dump.tempPath_, err);
  }
  // The temporary name must still be this run's file.
  struct stat mine {
  }, named{};
  if (fstat(dump.fd_, &mine) != 0 || ::stat(dump.tempPath_.c_str(), &named) != 0 ||
      mine.st_dev != named.st_dev || mine.st_ino != named.st_ino) {
    return dump.Fail("can't rename " + dump.tempPath_, ENOENT);
  }
  if (!RenameNoReplace(dump.tempPath_, dump.finalPath_)) {
    return dump.Fail("can't rename " + dump.tempPath_ + " to " + dump.finalPath_, errno);
  }
  dump.CloseTemp();
  return true;
}

}  // namespace pelorin
