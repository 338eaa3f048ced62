#pragma once
// Writer of recorded-data files. A recording is written to a temporary file of its own in
// the working directory (temp_files.h), one block per source and frame handed to the
// system at once, and gets its final name by a rename when the acquisition ends. The
// file is complete after every frame, so what a crash or a full disk leaves behind loads.
// The writer sees only what it writes, not the live models.
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/recording/temp_files.h"

namespace pelorin {

// One source's frame as the writer needs it.
struct DumpSource {
  std::string_view name;  // model name, e.g. "RawData"
  int32_t width = 0;      // drive lines (rows written)
  int32_t height = 0;     // sense lines (cells per row)
  // width x height values, cell (x, y) at [x * height + y].
  const int32_t* cells = nullptr;
  // Same layout, 1 = value, 0 = masked ("N/A"); nullptr when every cell holds a value.
  const uint8_t* mask = nullptr;
  int32_t frameNumber = 0;  // the model's frame counter, from 1
  int32_t readErrors = 0;   // read errors recorded for this frame
};

// The state of one recording.
class DumpFile {
 public:
  DumpFile() = default;
  ~DumpFile();
  DumpFile(const DumpFile&) = delete;
  DumpFile& operator=(const DumpFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& TempPath() const { return tempPath_; }
  const std::string& FinalPath() const { return finalPath_; }
  int32_t FramesWritten() const { return framesWritten_; }
  // Why the last operation failed ("" after success).
  const std::string& Error() const { return error_; }
  // errno of the last failure (ENOSPC: the disk is full), 0 after success.
  int ErrorNumber() const { return errno_; }
  // Temporary files of crashed runs that OpenDump kept under a new name: (old, new).
  const std::vector<std::pair<std::string, std::string>>& Recovered() const { return recovered_; }

 private:
  friend bool OpenDump(DumpFile&, const std::string&, std::span<const DumpSource>);
  friend bool WriteFrames(DumpFile&, std::span<const DumpSource>, int32_t);
  friend bool FinishDump(DumpFile&, const std::string&);
  bool WriteAll(const std::string& text);
  bool Fail(const std::string& what, int err);
  void CloseTemp();

  int fd_ = -1;
  std::string workDir_;
  std::string tempPath_;
  std::string finalPath_;
  int32_t framesWritten_ = 0;
  std::string error_;
  int errno_ = 0;
  std::vector<std::pair<std::string, std::string>> recovered_;
  std::string buffer_;
  std::vector<std::pair<int32_t, int32_t>> shapes_;  // width, height of each source
};

// Starts a recording in workDir: first keeps what crashed runs left there (Recovered()),
// then creates the run's own temporary file and writes its header. False when the file
// cannot be created or written (see Error()).
bool OpenDump(DumpFile& dump, const std::string& workDir, std::span<const DumpSource> sources);

// Appends one block per source for the frame just read (the same sources, in the same
// order and of the same sizes as at OpenDump) and hands it to the system before
// returning, so a killed process keeps every completed frame. elapsedMs: the frame's time
// since the start of the acquisition. False on a write error (disk full, file removed):
// the torn block is cut off again, so the file holds every complete frame and loads.
bool WriteFrames(DumpFile& dump, std::span<const DumpSource> sources, int32_t elapsedMs);

// "Pelorin_" + first model name + time stamp, or batch name + time stamp, time stamp being
// the local time as "%Y%m%d%H%M%S.csv".
std::string FinalDumpName(std::string_view batchName, std::string_view firstModelName,
                          std::time_t when);

// Ends the recording: flushes the temporary file to the disk and renames it to finalName
// in the working directory; its FrameCount line counts the frames written. The rename
// never replaces a file: when finalName exists or the rename fails, the temporary file
// stays and false is returned. Works after a failed WriteFrames too (the frames kept).
bool FinishDump(DumpFile& dump, const std::string& finalName);

}  // namespace pelorin
