#include "data/snr/noise_table_text.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

TEST(NoiseTableText, RowsShowMinMedianWorstAndItsCell) {
  PanelNoiseAccumulator acc(1, 3);
  // Noise p-p 2, 0, 6; signal 10, 5, 9 (peaks over the means); SNR 5 and 1.5 (the noise-0
  // cell has none).
  acc.AddUntouched({0, 4, 0}, {});
  acc.AddUntouched({2, 4, 6}, {});
  acc.AddTouched({11, 9, 12}, {});
  const auto rows = NoiseTableRows(acc.Report());
  EXPECT_EQ(rows[0].label, "Panel");
  EXPECT_EQ(rows[0].cell, "worst cell");
  EXPECT_EQ(rows[1].label, "noise p-p");
  EXPECT_EQ(rows[1].min, "0");
  EXPECT_EQ(rows[1].median, "2");
  EXPECT_EQ(rows[1].worst, "6");
  EXPECT_EQ(rows[1].cell, "(0,2)");
  EXPECT_EQ(rows[3].worst, "5.0");
  EXPECT_EQ(rows[4].label, "SNR");
  EXPECT_EQ(rows[4].worst, "1.50");
  EXPECT_EQ(rows[4].median, "3.25");
  EXPECT_EQ(NoiseTableCaption(acc.Report()),
            "2 untouched, 1 touched frames; 1 cell with noise 0; SNR of 2 touched cells");
}

TEST(NoiseTableText, FiguresWithoutCellsShowDashes) {
  PanelNoiseAccumulator acc(2, 2);
  acc.AddUntouched({1, 1, 1, 1}, {});
  const auto rows = NoiseTableRows(acc.Report());
  EXPECT_EQ(rows[4].min, "-");
  EXPECT_EQ(rows[4].cell, "-");
  EXPECT_EQ(rows[1].worst, "0");
  EXPECT_EQ(NoiseTableCaption(acc.Report()),
            "1 untouched, 0 touched frames; 4 cells with noise 0; SNR of 0 touched cells");
}

}  // namespace
}  // namespace pelorin
