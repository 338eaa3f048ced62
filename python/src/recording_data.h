// Recordings as plain arrays: every frame of a source in one block of cells, for the
// Python module (no Python here, so the parse runs without the interpreter's lock). The
// text is parsed by the viewer's own reader and written by its own writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelorin::py {

struct SourceData {
  std::string name;  // the Type name ("Diff", ...)
  int32_t width = 0;
  int32_t height = 0;
  int32_t frames = 0;
  std::vector<int32_t> cells;  // frames x width x height, masked cells 0
  // The mask of every frame when all share one (width x height, 1 = value), else empty.
  std::vector<uint8_t> sharedMask;
  // frames x width x height masks, only when some frame's mask differs from the first.
  std::vector<uint8_t> masks;
  std::vector<int32_t> frameNo, timeMs, readErrors;
  std::string chips;  // chip order digits; "" when the file does not say

  size_t CellsPerFrame() const { return size_t(width) * size_t(height); }
  // Frame f's mask (width x height).
  const uint8_t* Mask(int32_t f) const {
    return masks.empty() ? sharedMask.data() : masks.data() + size_t(f) * CellsPerFrame();
  }
};

// A source's frames wherever they are kept (parsed data, or numpy arrays), read only.
struct SourceRef {
  std::string name;
  int32_t width = 0, height = 0, frames = 0;
  const int32_t* cells = nullptr;  // frames x width x height
  const uint8_t* masks = nullptr;  // frame f's mask at masks + f * maskStride
  int64_t maskStride = 0;          // 0: one mask for every frame
  const int32_t* frameNo = nullptr;
  const int32_t* timeMs = nullptr;
  const int32_t* readErrors = nullptr;

  size_t CellsPerFrame() const { return size_t(width) * size_t(height); }
  const int32_t* Cells(int32_t f) const { return cells + size_t(f) * CellsPerFrame(); }
  const uint8_t* Mask(int32_t f) const { return masks + int64_t(f) * maskStride; }
};
SourceRef RefOf(const SourceData& s);

struct RecordingData {
  std::vector<SourceData> sources;
  int32_t declaredFrames = 0;  // the header's FrameCount
};

// ".tbl" is decoded first; any other name is parsed as text (".csv", ".txt"). False with
// the reason in *error.
bool ReadRecordingData(const std::string& path, RecordingData* out, std::string* error);

// Writes the sources (same frame count, same width) as a recording at path through the
// viewer's writer, in a private folder beside path, then renames it into place: an
// existing file is replaced whole or not at all.
bool WriteRecordingData(const std::string& path, const std::vector<SourceRef>& sources,
                        std::string* error);

}  // namespace pelorin::py
