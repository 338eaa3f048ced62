#include "data/recording/mat_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <limits>

#include "data/recording/file_calls.h"
#include "data/recording/temp_files.h"

namespace pelorin {
namespace {

// Element and array types of the format.
constexpr uint32_t kMiInt8 = 1;
constexpr uint32_t kMiUint8 = 2;
constexpr uint32_t kMiUint16 = 4;
constexpr uint32_t kMiInt32 = 5;
constexpr uint32_t kMiUint32 = 6;
constexpr uint32_t kMiMatrix = 14;
constexpr uint32_t kMxChar = 4;
constexpr uint32_t kMxUint8 = 9;
constexpr uint32_t kMxInt32 = 12;
constexpr uint32_t kMxUint32 = 13;

constexpr size_t Padded(size_t n) { return (n + 7) / 8 * 8; }

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// One data element: tag, data, zero padding to the next 8-byte boundary.
void PutElement(std::vector<uint8_t>& out, uint32_t type, const void* data, size_t bytes) {
  PutU32(out, type);
  PutU32(out, static_cast<uint32_t>(bytes));
  const auto* p = static_cast<const uint8_t*>(data);
  out.insert(out.end(), p, p + bytes);
  out.resize(out.size() + Padded(bytes) - bytes, 0);
}

// The sub-elements that open a matrix: flags, dimensions and name.
void PutMatrixHead(std::vector<uint8_t>& out, uint32_t cls, const std::vector<int32_t>& dims,
                   std::string_view name) {
  const uint32_t flags[2] = {cls, 0};
  PutElement(out, kMiUint32, flags, sizeof flags);
  PutElement(out, kMiInt32, dims.data(), dims.size() * sizeof(int32_t));
  PutElement(out, kMiInt8, name.data(), name.size());
}

// A whole matrix element whose data are given at once.
std::vector<uint8_t> Matrix(uint32_t cls, const std::vector<int32_t>& dims, std::string_view name,
                            uint32_t dataType, const void* data, size_t bytes) {
  std::vector<uint8_t> body;
  PutMatrixHead(body, cls, dims, name);
  PutElement(body, dataType, data, bytes);
  std::vector<uint8_t> out;
  PutU32(out, kMiMatrix);
  PutU32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<uint8_t> CharMatrix(std::string_view name, std::string_view text) {
  std::vector<uint16_t> chars(text.begin(), text.end());
  for (uint16_t& c : chars) c &= 0xFF;
  return Matrix(kMxChar, {1, static_cast<int32_t>(chars.size())}, name, kMiUint16, chars.data(),
                chars.size() * sizeof(uint16_t));
}

// The frames matrix up to its data, for a given frame count.
std::vector<uint8_t> FramesHead(int32_t width, int32_t height, int32_t frames) {
  std::vector<uint8_t> body;
  PutMatrixHead(body, kMxInt32, {width, height, frames}, "frames");
  const uint64_t dataBytes = uint64_t(width) * uint64_t(height) * uint64_t(frames) * 4;
  std::vector<uint8_t> out;
  PutU32(out, kMiMatrix);
  PutU32(out, static_cast<uint32_t>(body.size() + 8 + Padded(dataBytes)));
  out.insert(out.end(), body.begin(), body.end());
  PutU32(out, kMiInt32);
  PutU32(out, static_cast<uint32_t>(dataBytes));
  return out;
}

}  // namespace

// An unfinished file has no valid sizes; it is not left behind.
MatWriter::~MatWriter() { Abandon(); }

bool MatWriter::Fail(const std::string& what, int err) {
  errno_ = err;
  error_ = err != 0 ? what + ": " + std::strerror(err) : what;
  return false;
}

bool MatWriter::Put(const void* data, size_t size) {
  if (!WriteAllTo(fd_, data, size)) return Fail("can't write " + path_, errno);
  end_ += size;
  return true;
}

// Everything Finish writes after frames frames: the padding of the frame data and the
// four other variables, with room for their tags and names.
uint64_t MatWriter::TailBytes(size_t frames) const {
  return 512 + Padded(size_t(width_) * size_t(height_)) + Padded(frames * 4) + 8;
}

bool MatWriter::Open(const std::string& path, int32_t width, int32_t height) {
  Abandon();
  path_ = path;
  if (width <= 0 || height <= 0 || int64_t(width) * height > (1 << 26)) {
    return Fail("no frame size to record");
  }
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) return Fail("can't create " + path, errno);
  return Begin(width, height);
}

bool MatWriter::OpenPrivate(const std::string& dir, int32_t width, int32_t height) {
  Abandon();
  path_ = dir + "/" + kTempPrefix + "-XXXXXX.mat";
  if (width <= 0 || height <= 0 || int64_t(width) * height > (1 << 26)) {
    return Fail("no frame size to record");
  }
  fd_ = CreatePrivateTemp(dir, ".mat", &path_);
  if (fd_ < 0) return Fail("can't create " + path_, errno);
  return Begin(width, height);
}

bool MatWriter::Begin(int32_t width, int32_t height) {
  error_.clear();
  errno_ = 0;
  times_.clear();
  end_ = 0;
  reserved_ = 0;
  width_ = width;
  height_ = height;
  // 116 bytes of text, 8 bytes of subsystem offset, version 0x0100 and the byte-order mark.
  char header[128];
  std::memset(header, ' ', 116);
  const std::time_t now = std::time(nullptr);
  char when[64] = "";
  std::tm local{};
  if (localtime_r(&now, &local) != nullptr)
    std::strftime(when, sizeof when, "%a %b %d %H:%M:%S %Y", &local);
  // The text is padded with spaces, not ended by a NUL, and cut at 116 bytes.
  const std::string text =
      std::string("MATLAB 5.0 MAT-file, Platform: GLNXA64, Created on: ") + when + " by pelorin";
  std::memcpy(header, text.data(), std::min<size_t>(text.size(), 116));
  std::memset(header + 116, 0, 8);
  header[124] = 0x00;
  header[125] = 0x01;
  header[126] = 'I';
  header[127] = 'M';
  column_.assign(size_t(width) * size_t(height), 0);
  matrixTagAt_ = 128;
  const std::vector<uint8_t> head = FramesHead(width, height, 0);
  if (!Put(header, sizeof header) || !Put(head.data(), head.size())) {
    Abandon();
    return false;
  }
  // Room for what Finish writes, so that even a file without frames can be completed.
  reserved_ = end_;
  const uint64_t tail = TailBytes(0);
  if (FileCalls().fallocate(fd_, FALLOC_FL_KEEP_SIZE, off_t(end_), off_t(tail)) == 0) {
    reserved_ = end_ + tail;
  } else if (errno != EOPNOTSUPP && errno != ENOSYS) {
    Fail("can't write " + path_, errno);
    const std::string error = error_;
    const int err = errno_;
    Abandon();
    error_ = error;
    errno_ = err;
    return false;
  }
  return true;
}

bool MatWriter::AppendFrame(const int32_t* cells, uint32_t timeMs) {
  if (fd_ < 0) return Fail("no MAT-file is open");
  const size_t cellsPerFrame = column_.size();
  // Every size in the format is 32 bits: the frames must fit 4 GB with room for the rest.
  const uint64_t bytes = uint64_t(times_.size() + 1) * cellsPerFrame * 4;
  if (bytes > std::numeric_limits<uint32_t>::max() - (uint64_t(1) << 24)) {
    return Fail("the MAT-file would exceed 4 GB; its frames end at " +
                std::to_string(times_.size()));
  }
  // Space for this frame and for what Finish adds after it, taken before anything is
  // written: when the disk is full the file stays as it was and can still be finished.
  const uint64_t frameBytes = cellsPerFrame * sizeof(int32_t);
  const uint64_t need = end_ + frameBytes + TailBytes(times_.size() + 1);
  if (need > reserved_) {
    const uint64_t want = need + 64 * frameBytes;  // a few frames at a time
    if (FileCalls().fallocate(fd_, FALLOC_FL_KEEP_SIZE, off_t(reserved_),
                              off_t(want - reserved_)) == 0) {
      reserved_ = want;
    } else if (errno != EOPNOTSUPP && errno != ENOSYS) {
      // Not room for all of the few frames: ask for exactly this one.
      if (FileCalls().fallocate(fd_, FALLOC_FL_KEEP_SIZE, off_t(reserved_),
                                off_t(need - reserved_)) != 0) {
        return Fail("can't write " + path_, errno);
      }
      reserved_ = need;
    }
  }
  // The file is column-major: x varies fastest.
  const size_t w = size_t(width_), h = size_t(height_);
  for (size_t x = 0; x < w; ++x) {
    for (size_t y = 0; y < h; ++y) column_[y * w + x] = cells[x * h + y];
  }
  const uint64_t before = end_;
  if (!Put(column_.data(), cellsPerFrame * sizeof(int32_t))) {
    // A torn frame is cut off, so that Finish still completes the file.
    if (::ftruncate(fd_, off_t(before)) == 0) end_ = before;
    return false;
  }
  times_.push_back(timeMs);
  return true;
}

bool MatWriter::Finish(const uint8_t* valid, std::string_view source, std::string_view chips) {
  if (fd_ < 0) return Fail("no MAT-file is open");
  const int priorErrno = errno_;
  const std::string priorError = error_;
  const size_t w = size_t(width_), h = size_t(height_);
  const uint64_t dataBytes = uint64_t(times_.size()) * w * h * 4;
  const std::vector<uint8_t> pad(Padded(dataBytes) - dataBytes, 0);
  std::vector<uint8_t> mask(w * h, 1);
  if (valid != nullptr) {
    for (size_t x = 0; x < w; ++x) {
      for (size_t y = 0; y < h; ++y) mask[y * w + x] = valid[x * h + y] != 0 ? 1 : 0;
    }
  }
  std::vector<uint8_t> rest =
      Matrix(kMxUint8, {width_, height_}, "valid", kMiUint8, mask.data(), mask.size());
  const std::vector<uint8_t> time =
      Matrix(kMxUint32, {static_cast<int32_t>(times_.size()), 1}, "time_ms", kMiUint32,
             times_.data(), times_.size() * sizeof(uint32_t));
  const std::vector<uint8_t> src = CharMatrix("source", source);
  const std::vector<uint8_t> order = CharMatrix("chips", chips);
  rest.insert(rest.end(), time.begin(), time.end());
  rest.insert(rest.end(), src.begin(), src.end());
  rest.insert(rest.end(), order.begin(), order.end());
  bool ok = Put(pad.data(), pad.size()) && Put(rest.data(), rest.size());
  // Now that the frame count is known, the frames element's sizes and dimensions.
  const std::vector<uint8_t> head = FramesHead(width_, height_, Frames());
  if (ok && FileCalls().pwrite(fd_, head.data(), head.size(), off_t(matrixTagAt_)) !=
                ssize_t(head.size())) {
    ok = Fail("can't write " + path_, errno);
  }
  if (ok && FileCalls().fsync(fd_) != 0 && errno != EINVAL)
    ok = Fail("can't write " + path_, errno);
  // Space reserved beyond the end goes back.
  if (ok && reserved_ > end_ && ::ftruncate(fd_, off_t(end_)) != 0)
    ok = Fail("can't write " + path_, errno);
  if (::close(fd_) != 0 && ok) ok = Fail("can't write " + path_, errno);
  fd_ = -1;
  if (!ok) {
    std::remove(path_.c_str());
  } else if (priorErrno != 0) {
    // Finished with the frames written before the disk filled up: the cause stays told.
    errno_ = priorErrno;
    error_ = priorError;
  }
  return ok;
}

void MatWriter::Abandon() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  std::remove(path_.c_str());
}

std::string ChipOrderText(const std::vector<int32_t>& chipIndices, int32_t cascadeMode) {
  std::string text;
  for (int32_t index : chipIndices) {
    int32_t digit = 1;
    if (index >= 5 && index <= 11) digit = cascadeMode == 1 ? index - 4 : index - 3;
    text += static_cast<char>('0' + digit);
  }
  return text;
}

std::string MatPathFor(const std::string& csvPath) {
  const std::string ext = ".csv";
  if (csvPath.size() >= ext.size() &&
      csvPath.compare(csvPath.size() - ext.size(), ext.size(), ext) == 0) {
    return csvPath.substr(0, csvPath.size() - ext.size()) + ".mat";
  }
  return csvPath + ".mat";
}

}  // namespace pelorin
