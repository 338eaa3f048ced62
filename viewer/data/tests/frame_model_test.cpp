#include "data/frame_model.h"

#include <gtest/gtest.h>

#include <limits>

namespace pelorin {
namespace {

// The smallest concrete model; records the address a live model would read.
class TestModel : public PelorinModel {
 public:
  bool Clear() override { return true; }
  void SetReadAddress(uint32_t address) override { readAddress = address; }
  uint32_t readAddress = 0;
};

TEST(SourceTypeTable, TextsOfEveryType) {
  EXPECT_EQ(SourceCaption(kSourceRawData), "Raw Data");
  EXPECT_EQ(SourceCaption(kSourceRawDiff), "Raw Diff");
  EXPECT_EQ(SourceModelName(kSourceRawData), "RawData");
  EXPECT_EQ(SourceModelName(kSourceNone), "None");
  EXPECT_EQ(SourceModelName(7), "Unknow");
  EXPECT_EQ(SourceModelName(-1), "Unknow");
  EXPECT_EQ(SourceRangeSection(kSourceNone), "RawDiff");
  EXPECT_EQ(SourceRangeSection(kSourceCycle), "Cycle");
}

TEST(ApplySourceType, SetsNameRangeAndAddressPerType) {
  SourceRangeTable ranges;
  for (int32_t t = 1; t <= 6; ++t) ranges.For(t) = {100 + t, t};
  struct Case {
    int32_t type;
    const char* name;
    int32_t rangeOf;
    uint32_t address;
  };
  const Case cases[] = {
      {1, "Loop", 1, 0x55000000},    {2, "Cycle", 2, 0x54000000},   {3, "Base", 3, 0x51000000},
      {4, "RawData", 4, 0x52000000}, {5, "RawDiff", 5, 0x50000000}, {6, "Diff", 6, 0x53000000},
      {0, "None", 5, 0x50000000},    {9, "Unknow", 5, 0x50000000},  {-3, "Unknow", 5, 0x50000000},
  };
  for (const Case& c : cases) {
    TestModel m;
    ApplySourceType(m, c.type, ranges);
    EXPECT_EQ(m.GetName(), c.name) << c.type;
    EXPECT_EQ(m.GetRangeMax(), 100 + c.rangeOf) << c.type;
    EXPECT_EQ(m.GetRangeMin(), c.rangeOf) << c.type;
    EXPECT_EQ(m.readAddress, c.address) << c.type;
    EXPECT_EQ(m.GetSourceType(), kSourceBase) << "the caller sets the type";
  }
}

TEST(PelorinModel, StartsEmpty) {
  TestModel m;
  EXPECT_EQ(m.GetMaxValue(), 0);
  EXPECT_EQ(m.GetMinValue(), 2147483647);
  EXPECT_EQ(m.GetSourceType(), kSourceBase);
  EXPECT_TRUE(m.GetVisible());
  EXPECT_FALSE(m.GetFilterEnabled());
  EXPECT_FALSE(m.HasWorkBuffer());
}

TEST(PelorinModel, ClampRange) {
  struct Case {
    RangePair in, out;
  };
  const Case cases[] = {
      {{400, 230}, {300, 0}},   // both ends out of bounds
      {{100, 90}, {115, 90}},   // ends too close: the top moves up
      {{250, 0}, {250, 0}},     // the default is left alone
      {{300, 225}, {300, 225}}, // 225 is still allowed
      {{240, 225}, {250, 225}}, // and pushes a low top up to 250
      {{200, 200}, {225, 200}},
      {{std::numeric_limits<int32_t>::min(), 0}, {25, 0}},
  };
  for (const Case& c : cases) {
    TestModel m;
    m.SetRangeMax(c.in.max);
    m.SetRangeMin(c.in.min);
    m.ClampRange();
    EXPECT_EQ(m.GetRangeMax(), c.out.max) << c.in.max << "," << c.in.min;
    EXPECT_EQ(m.GetRangeMin(), c.out.min) << c.in.max << "," << c.in.min;
  }
}

TEST(PelorinModel, MergeFrameExtremesWidensOnly) {
  TestModel m;
  EXPECT_TRUE(m.MergeFrameExtremes(40, 10));
  m.MergeFrameExtremes(30, 20);
  EXPECT_EQ(m.GetMaxValue(), 40);
  EXPECT_EQ(m.GetMinValue(), 10);
  m.MergeFrameExtremes(-5, -7);
  EXPECT_EQ(m.GetMaxValue(), 40);
  EXPECT_EQ(m.GetMinValue(), -7);
}

TEST(PelorinModel, WorkBufferKeepsFirstAllocationUntilFreed) {
  TestModel m;
  m.AllocWorkBuffer(4, 5);
  ASSERT_TRUE(m.HasWorkBuffer());
  EXPECT_EQ(m.WorkRows(), 4);
  EXPECT_EQ(m.WorkColumns(), 5);
  EXPECT_EQ(m.WorkCell(3, 4), 0);
  m.WorkCell(3, 4) = 9;
  m.AllocWorkBuffer(10, 10);  // an existing buffer stays
  EXPECT_EQ(m.WorkRows(), 4);
  EXPECT_EQ(m.WorkCell(3, 4), 9);
  m.FreeWorkBuffer();
  EXPECT_FALSE(m.HasWorkBuffer());
  EXPECT_EQ(m.WorkRows(), 0);
  EXPECT_EQ(m.WorkColumns(), 0);
  m.AllocWorkBuffer(2, 3);
  EXPECT_EQ(m.WorkCell(1, 2), 0);
}

TEST(FrameRecord, StartsZeroAndValidAndGuardsItsBounds) {
  FrameRecord f(3, 2);
  EXPECT_EQ(f.Width(), 3);
  EXPECT_EQ(f.Height(), 2);
  EXPECT_EQ(f.max, 0);
  EXPECT_EQ(f.min, 0x7FFFFFFF);
  EXPECT_EQ(f.Cell(2, 1), 0);
  EXPECT_EQ(f.CellValid(2, 1), 1);
  f.SetCellValid(2, 1, false);
  f.Cell(2, 0) = -4;
  EXPECT_EQ(f.CellValid(2, 1), 0);
  EXPECT_EQ(f.CellValid(2, 0), 1);
  EXPECT_EQ(f.Cell(2, 0), -4);
  for (auto [x, y] : {std::pair{3, 0}, {0, 2}, {-1, 0}, {0, -1}}) EXPECT_EQ(f.CellValid(x, y), 0);

  FrameRecord empty(-2, 5);
  EXPECT_EQ(empty.Width(), 0);
  EXPECT_EQ(empty.CellValid(0, 0), 0);
}

}  // namespace
}  // namespace pelorin
