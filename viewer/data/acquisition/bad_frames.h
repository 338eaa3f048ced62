// Frames a healthy panel does not send: all zero (a chip that answered nothing), the same
// as the source's frame before (a stale buffer read twice), or holding a cell the source
// type cannot carry (a value the read cannot have produced). Counted, never dropped: the
// recording keeps every frame read, so the counts are the place to see them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pelorin {

enum class BadFrameKind { None, Zero, Repeated, OutOfRange };

// The values a source type can hold. A chip answers one unsigned byte per cell, so every
// type holds 0 .. 255, except RawDiff, Base minus Raw Data, which holds -255 .. 255.
struct CellRange {
  int32_t min = 0;
  int32_t max = 0;
};
CellRange SourceCellRange(int32_t sourceType);

// One frame of one source: `count` cells and their extremes (the extremes as read, before
// any filter). `previous` is the same source's frame before, with the same cell count, or
// nullptr for its first frame. A frame that is several kinds at once is counted as the
// first of out of range, zero, repeated: an all-zero frame after another is a zero frame.
// What is normal differs by source: Base and Cycle are the calibration's values and stay
// the same from frame to frame, so they are never "repeated"; Diff and RawDiff are
// differences, all zero on a quiet untouched panel, so they are never "zero" and repeat
// only when they hold a value other than zero. Raw Data and Loop are measured anew each
// frame with its noise, so both checks apply.
BadFrameKind ClassifyFrame(const int32_t* cells, const int32_t* previous, size_t count, int32_t min,
                           int32_t max, int32_t sourceType);

struct BadFrameCounts {
  int32_t zero = 0;
  int32_t repeated = 0;
  int32_t outOfRange = 0;
  int32_t Total() const { return zero + repeated + outOfRange; }
  void Count(BadFrameKind kind);
};

}  // namespace pelorin
