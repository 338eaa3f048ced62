#pragma once
// Writer of a recording as a MAT-file (Level 5, uncompressed, little-endian), which
// MATLAB, Octave and scipy.io.loadmat read directly. It holds one source:
//   frames   int32  Width x Height x F   frames(x+1, y+1, f) = cell (x, y) of frame f
//   valid    uint8  Width x Height       1 = value, 0 = masked cell
//   time_ms  uint32 F x 1                each frame's time since the acquisition began
//   source   char                        the source's model name ("Base", "Diff", ...)
//   chips    char                        the chip order, one digit per chip in frame order
// Frames are streamed into the file as they come; Finish fixes the sizes that depend on
// the frame count and appends the other variables, so memory stays flat over a long run.
// Before each frame the writer reserves the disk space of that frame and of everything
// Finish adds, so a disk that fills up stops the frames, and Finish still completes a
// file with the frames written so far.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

class MatWriter {
 public:
  MatWriter() = default;
  // Removes a file that was not finished.
  ~MatWriter();
  MatWriter(const MatWriter&) = delete;
  MatWriter& operator=(const MatWriter&) = delete;

  // Creates (truncates) path and writes everything that precedes the frame data.
  bool Open(const std::string& path, int32_t width, int32_t height);
  // The same in a temporary file of its own in dir (temp_files.h); Path() names it.
  bool OpenPrivate(const std::string& dir, int32_t width, int32_t height);
  // Appends one frame: width x height cells, cell (x, y) at [x * height + y].
  bool AppendFrame(const int32_t* cells, uint32_t timeMs);
  // Completes the file. valid: same layout as the cells, nullptr = every cell valid.
  bool Finish(const uint8_t* valid, std::string_view source, std::string_view chips);
  // Closes and removes an unfinished file.
  void Abandon();

  bool IsOpen() const { return fd_ >= 0; }
  // errno of the last failure (ENOSPC: the disk is full), 0 when there was none.
  int ErrorNumber() const { return errno_; }
  int32_t Frames() const { return static_cast<int32_t>(times_.size()); }
  const std::string& Path() const { return path_; }
  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& what, int err = 0);
  bool Put(const void* data, size_t size);
  bool Begin(int32_t width, int32_t height);
  uint64_t TailBytes(size_t frames) const;

  int fd_ = -1;
  int errno_ = 0;
  uint64_t end_ = 0;       // bytes of complete content
  uint64_t reserved_ = 0;  // bytes reserved on the disk from the start of the file
  std::string path_;
  std::string error_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  long matrixTagAt_ = 0;  // offset of the frames element's tag
  std::vector<uint32_t> times_;
  std::vector<int32_t> column_;  // one frame in column order
};

// The chip order text of a frame's chips: for each chip index in frame order its digit
// (master 1; slave k is k + 1 beside a master, k when the master carries no lines).
std::string ChipOrderText(const std::vector<int32_t>& chipIndices, int32_t cascadeMode);

// "x/y.csv" -> "x/y.mat" (any other name gets ".mat" appended).
std::string MatPathFor(const std::string& csvPath);

}  // namespace pelorin
