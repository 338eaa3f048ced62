// The bad-frame classifier on small frames of every kind, for the sources with the
// narrowest and the widest cell range.
#include "data/acquisition/bad_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "data/source_type.h"

namespace pelorin {
namespace {

struct Row {
  const char* name;
  int32_t source;
  std::vector<int32_t> previous;  // empty: the source's first frame
  std::vector<int32_t> cells;
  BadFrameKind want;
};

TEST(ClassifyFrame, EachKindAndItsNeighbours) {
  const std::vector<Row> rows = {
      {"normal", kSourceRawData, {}, {10, 200, 255, 0}, BadFrameKind::None},
      {"changed in one cell",
       kSourceRawData,
       {10, 200, 255, 0},
       {10, 200, 254, 0},
       BadFrameKind::None},
      {"repeated", kSourceLoop, {10, 200, 255, 0}, {10, 200, 255, 0}, BadFrameKind::Repeated},
      {"repeated difference", kSourceDiff, {0, 3, 0, 0}, {0, 3, 0, 0}, BadFrameKind::Repeated},
      {"quiet difference repeats", kSourceDiff, {0, 0, 0, 0}, {0, 0, 0, 0}, BadFrameKind::None},
      {"calibration repeats", kSourceBase, {150, 160, 1, 2}, {150, 160, 1, 2}, BadFrameKind::None},
      {"all zero", kSourceBase, {}, {0, 0, 0, 0}, BadFrameKind::Zero},
      {"zero after zero is zero", kSourceRawData, {0, 0, 0, 0}, {0, 0, 0, 0}, BadFrameKind::Zero},
      {"above a byte", kSourceRawData, {}, {10, 256, 3, 4}, BadFrameKind::OutOfRange},
      {"negative where bytes are read", kSourceCycle, {}, {10, -1, 3, 4}, BadFrameKind::OutOfRange},
      {"negative difference is normal", kSourceRawDiff, {}, {-255, 255, 0, 1}, BadFrameKind::None},
      {"below a difference", kSourceRawDiff, {}, {-256, 3, 0, 1}, BadFrameKind::OutOfRange},
      {"out of range wins over repeated",
       kSourceLoop,
       {300, 1, 1, 1},
       {300, 1, 1, 1},
       BadFrameKind::OutOfRange},
      {"source None reads nothing", kSourceNone, {}, {0, 0, 0, 0}, BadFrameKind::None},
  };
  for (const Row& r : rows) {
    const auto [lo, hi] = std::minmax_element(r.cells.begin(), r.cells.end());
    EXPECT_EQ(ClassifyFrame(r.cells.data(), r.previous.empty() ? nullptr : r.previous.data(),
                            r.cells.size(), *lo, *hi, r.source),
              r.want)
        << r.name;
  }
  EXPECT_EQ(ClassifyFrame(nullptr, nullptr, 0, 0, 0, kSourceBase), BadFrameKind::None);
}

TEST(BadFrameCounts, EachKindHasItsOwnCount) {
  BadFrameCounts c;
  for (BadFrameKind k : {BadFrameKind::Zero, BadFrameKind::Repeated, BadFrameKind::Repeated,
                         BadFrameKind::OutOfRange, BadFrameKind::None})
    c.Count(k);
  EXPECT_EQ(c.zero, 1);
  EXPECT_EQ(c.repeated, 2);
  EXPECT_EQ(c.outOfRange, 1);
  EXPECT_EQ(c.Total(), 4);
}

}  // namespace
}  // namespace pelorin
