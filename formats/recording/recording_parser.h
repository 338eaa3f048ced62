#pragma once
// Parser of recorded-data text files: the header, then one block per source and frame,
// handed to a visitor that keeps the cells where it likes. Knows nothing of who reads the
// frames (the viewer's player, the Python module, the emulator's replay); it only bounds
// what a damaged or hostile file can make them allocate.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// A ".tbl" file stores each byte of the text plus this key, modulo 256.
inline constexpr uint8_t kTblKey = 0x4D;
inline constexpr uint8_t kTblDecode = static_cast<uint8_t>(256 - kTblKey);

// Limits that keep a damaged or hostile file from exhausting memory.
inline constexpr int64_t kMaxFrameCells = 16 * 1024 * 1024;  // per source and frame
inline constexpr int32_t kMaxSources = 16;

// The minimum of a block without a valid cell.
inline constexpr int32_t kBlockNoMinimum = 0x7FFFFFFF;

// Lines before the first block: five header lines and an empty one. Each block then takes
// its header line, Width cell rows and an empty line, so block b (counting every source's
// block, from 0) starts at line kFirstBlockLine + b * (Width + 2).
inline constexpr int64_t kFirstBlockLine = 7;

// The block header of one source's frame: "No , %d, %10dms, Read Error Times , %d".
struct BlockStamp {
  int32_t frameNumber = 0;
  int32_t timeMs = 0;
  int32_t readErrors = 0;
};

// What one block held besides its cells.
struct BlockFigures {
  int64_t sum = 0;  // over the valid cells (masked ones count as 0)
  int32_t max = 0;  // over the valid cells; 0 and kBlockNoMinimum when there is none
  int32_t min = kBlockNoMinimum;
  bool masked = false;  // some cell was "N/A"
};

// Receives a recording while it is parsed, so that a reader can keep the frames in a
// storage of its own (the player's frame records, or one array of all frames).
class RecordingVisitor {
 public:
  virtual ~RecordingVisitor() = default;
  // After the Height line: the first Width (every source gets it), each source's Height
  // and the header's FrameCount.
  virtual void Sources(int32_t width, const std::vector<int32_t>& heights, int32_t declared) = 0;
  // After the Type line, once per name given.
  virtual void Name(size_t source, std::string_view name) = 0;
  // Storage of the next block of `source`: width x height cells and mask, cell (x, y) at
  // [x * height + y]. The parser writes every cell: the value and 1, or 0 and 0 for "N/A".
  virtual void BeginBlock(size_t source, const BlockStamp& stamp, int32_t** cells,
                          uint8_t** mask) = 0;
  // The block is complete; frameIndex counts frames from 0.
  virtual void EndBlock(size_t source, const BlockFigures& figures, int32_t frameIndex,
                        int32_t declared) = 0;
};

// Parses the text of a recording whatever its name. False with "line N: reason" (or the
// open failure) in *error; what was handed to the visitor before a failure stays with it.
bool ParseRecording(const std::string& path, RecordingVisitor& visitor, std::string* error);

// Decodes a ".tbl" file into a fresh temporary file (never an existing one) and returns
// its path in decodedPath; the caller removes it. False when the path has no ".", the
// source cannot be read or the copy cannot be written.
bool DecodeTbl(const std::string& path, std::string& decodedPath);

}  // namespace pelorin
