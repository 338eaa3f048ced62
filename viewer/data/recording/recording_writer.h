#pragma once
// Writer of recorded-data files. A recording is written to "tempReport.csv" in the working
// directory, one flushed block per source and frame, and copied under its final name when
// the acquisition ends. The writer sees only what it writes, not the live models.
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

inline constexpr const char* kTempDumpName = "tempReport.csv";

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

 private:
  friend bool OpenDump(DumpFile&, const std::string&, std::span<const DumpSource>);
  friend bool WriteFrames(DumpFile&, std::span<const DumpSource>, int32_t);
  friend bool FinishDump(DumpFile&, int32_t, int32_t, const std::string&);
  bool WriteAll(const std::string& text);
  void CloseTemp();

  int fd_ = -1;
  std::string workDir_;
  std::string tempPath_;
  std::string finalPath_;
  int32_t framesWritten_ = 0;
  std::string error_;
  std::string buffer_;
  std::vector<std::pair<int32_t, int32_t>> shapes_;  // width, height of each source
};

// Starts a recording in workDir: creates (truncates) tempReport.csv and writes its header.
// False when the file cannot be created or written (see Error()).
bool OpenDump(DumpFile& dump, const std::string& workDir, std::span<const DumpSource> sources);

// Appends one block per source for the frame just read (the same sources, in the same
// order and of the same sizes as at OpenDump) and hands it to the system before
// returning, so a killed process keeps every completed frame. elapsedMs: the frame's time
// since the start of the acquisition. False on a write error (disk full, file removed):
// the caller stops recording; what was written stays.
bool WriteFrames(DumpFile& dump, std::span<const DumpSource> sources, int32_t elapsedMs);

// "Pelorin_" + first model name + time stamp, or batch name + time stamp, time stamp being
// the local time as "%Y%m%d%H%M%S.csv".
std::string FinalDumpName(std::string_view batchName, std::string_view firstModelName,
                          std::time_t when);

// Ends the recording: writes finalName in the working directory with the FrameCount line
// (frameCounter / step rounded up) and removes the temporary file. When the final file
// cannot be created or written, the temporary file stays and false is returned.
bool FinishDump(DumpFile& dump, int32_t frameCounter, int32_t step, const std::string& finalName);

}  // namespace pelorin
