#include "data/snr/panel_noise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "data/live_model.h"
#include "data/tests/temp_dir.h"

namespace pelorin {
namespace {

// 2 x 2 panel, x-major: cells (0,0), (0,1), (1,0), (1,1).
//   (0,0): untouched 10 12 14 12 -> p-p 4, mean 12, RMS sqrt(2); touched 52 48 -> peak 52, signal
//   40 (0,1): untouched always 5 -> noise 0; touched 25 -> signal 20 (1,0): untouched 0 3 0 3 ->
//   p-p 3, RMS 1.5; touched -3 -> signal -4.5: no finger, no SNR (1,1): untouched 1 (100 masked) 3
//   5 -> p-p 4, RMS sqrt(8/3); touched 7 11 -> peak 11, signal 8
PanelNoiseReport HandReport() {
  PanelNoiseAccumulator acc(2, 2);
  const std::vector<uint8_t> all;
  EXPECT_TRUE(acc.AddUntouched({10, 5, 0, 1}, all));
  EXPECT_TRUE(acc.AddUntouched({12, 5, 3, 100}, {1, 1, 1, 0}));
  EXPECT_TRUE(acc.AddUntouched({14, 5, 0, 3}, all));
  EXPECT_TRUE(acc.AddUntouched({12, 5, 3, 5}, all));
  EXPECT_TRUE(acc.AddTouched({52, 25, -3, 7}, all));
  EXPECT_TRUE(acc.AddTouched({48, 25, -3, 11}, all));
  return acc.Report();
}

TEST(PanelNoise, PerCellFiguresMatchHandValues) {
  const PanelNoiseReport r = HandReport();
  ASSERT_EQ(r.cells.size(), 4u);
  EXPECT_EQ(r.untouchedFrames, 4);
  EXPECT_EQ(r.touchedFrames, 2);

  const CellNoise& a = r.cells[0];
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  EXPECT_DOUBLE_EQ(a.noisePp, 4.0);
  EXPECT_NEAR(a.noiseRms, std::sqrt(2.0), 1e-12);
  EXPECT_DOUBLE_EQ(a.signal, 40.0) << "the touch's peak over the untouched mean";
  EXPECT_DOUBLE_EQ(a.snr, 10.0);
  EXPECT_NEAR(a.snrDb, 20.0, 1e-9);
  EXPECT_FALSE(a.noiseZero);

  const CellNoise& flat = r.cells[1];
  EXPECT_EQ(flat.x, 0);
  EXPECT_EQ(flat.y, 1);
  EXPECT_TRUE(flat.noiseZero);
  EXPECT_DOUBLE_EQ(flat.noisePp, 0.0);
  EXPECT_DOUBLE_EQ(flat.noiseRms, 0.0);
  EXPECT_DOUBLE_EQ(flat.signal, 20.0);
  EXPECT_TRUE(std::isnan(flat.snr)) << "a noise-0 cell is marked, not divided by";
  EXPECT_TRUE(std::isnan(flat.snrDb));

  const CellNoise& negative = r.cells[2];
  EXPECT_EQ(negative.x, 1);
  EXPECT_EQ(negative.y, 0);
  EXPECT_DOUBLE_EQ(negative.noiseRms, 1.5);
  EXPECT_DOUBLE_EQ(negative.signal, -4.5);
  EXPECT_FALSE(negative.touched);
  EXPECT_TRUE(std::isnan(negative.snr)) << "a cell no finger touched has no SNR";
  EXPECT_TRUE(std::isnan(negative.snrDb));

  const CellNoise& masked = r.cells[3];
  EXPECT_EQ(masked.untouchedFrames, 3) << "the masked value is skipped";
  EXPECT_EQ(masked.touchedFrames, 2);
  EXPECT_DOUBLE_EQ(masked.noisePp, 4.0);
  EXPECT_NEAR(masked.noiseRms, std::sqrt(8.0 / 3.0), 1e-12);
  EXPECT_DOUBLE_EQ(masked.signal, 8.0);
  EXPECT_DOUBLE_EQ(masked.snr, 2.0);
}

TEST(PanelNoise, SummaryTakesMinMedianAndWorstCell) {
  const PanelNoiseReport r = HandReport();
  // Noise p-p 4, 0, 3, 4: the worst is the largest, first at (0,0).
  EXPECT_EQ(r.noisePp.count, 4);
  EXPECT_DOUBLE_EQ(r.noisePp.min, 0.0);
  EXPECT_DOUBLE_EQ(r.noisePp.median, 3.5);
  EXPECT_DOUBLE_EQ(r.noisePp.worst, 4.0);
  EXPECT_EQ(r.noisePp.worstX, 0);
  EXPECT_EQ(r.noisePp.worstY, 0);
  // Signal 40, 20, -4.5, 8: the worst is the smallest.
  EXPECT_DOUBLE_EQ(r.signal.median, 14.0);
  EXPECT_DOUBLE_EQ(r.signal.worst, -4.5);
  EXPECT_EQ(r.signal.worstX, 1);
  EXPECT_EQ(r.signal.worstY, 0);
  // SNR only of the touched cells: 10 and 2 (not the noise-0 cell, not the cell whose
  // signal stays within its noise).
  EXPECT_EQ(r.snr.count, 2);
  EXPECT_EQ(r.touchedCells, 2);
  EXPECT_DOUBLE_EQ(r.snr.median, 6.0);
  EXPECT_DOUBLE_EQ(r.snr.worst, 2.0);
  EXPECT_EQ(r.snrDb.count, 2);
  EXPECT_EQ(r.noiseZeroCells, 1);

  ASSERT_EQ(r.worstCells.size(), 2u);
  EXPECT_EQ(r.worstCells[0].x, 1);
  EXPECT_EQ(r.worstCells[0].y, 1);
  EXPECT_EQ(r.worstCells[1].x, 0);
}

// The rule that decides which cells get an SNR, at its edges: the signal must rise above
// the peak-to-peak noise; equal is not enough, and tiny rounding leftovers of an
// untouched cell never get one (they once gave "-328.6 dB" on the page).
TEST(PanelNoise, OnlyASignalAboveTheNoiseGetsAnSnr) {
  struct Case {
    std::vector<int32_t> untouched, touched;
    bool touchedCell;
  };
  const Case cases[] = {
      {{0, 4}, {6, 6}, false},        // signal 4 = p-p 4: not above it
      {{0, 4}, {7, 7}, true},         // signal 5 > 4
      {{0, 4}, {2, 2}, false},        // signal 0
      {{0, 4}, {-9, -9}, false},      // below the untouched mean
      {{3, 3}, {90, 90}, false},      // noise 0: marked, not divided by
      {{1, 2, 1, 2}, {1, 2}, false},  // touched like untouched: signal 0
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    PanelNoiseAccumulator acc(1, 1);
    for (int32_t v : cases[i].untouched) acc.AddUntouched({v}, {});
    for (int32_t v : cases[i].touched) acc.AddTouched({v}, {});
    const CellNoise c = acc.Report().cells[0];
    const bool expect = cases[i].touchedCell;
    EXPECT_EQ(c.touched, expect) << "case " << i;
    EXPECT_EQ(std::isnan(c.snrDb), !expect) << "case " << i;
  }
}

// What the page shows and what the file says are the same figures: the worst SNR cell of
// the summary has that dB value in its row of the file, and no row without a touch has one.
TEST(PanelNoise, SummaryAndFileAgree) {
  PanelNoiseAccumulator acc(4, 3);
  for (int f = 0; f < 20; ++f) {
    std::vector<int32_t> cells(12);
    for (int i = 0; i < 12; ++i) cells[i] = (i * 7 + f * 3) % 5;  // noise 0..4
    acc.AddUntouched(cells, {});
  }
  for (int f = 0; f < 30; ++f) {
    std::vector<int32_t> cells(12);
    for (int i = 0; i < 12; ++i) cells[i] = (i * 7 + f * 3) % 5 + (i % 3 == 0 ? 40 + i : 0);
    acc.AddTouched(cells, {});
  }
  const PanelNoiseReport r = acc.Report();
  ASSERT_GT(r.snrDb.count, 0);
  pelorin::testing::TempDir dir;
  const std::string path = dir.File("agree-noise.csv");
  std::string error;
  ASSERT_TRUE(WritePanelNoiseCsv(path, r, &error)) << error;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  int rowsWithDb = 0;
  while (std::getline(in, line)) {
    int x = 0, y = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%d,%d", &x, &y), 2) << line;
    const std::string db = line.substr(line.rfind(',') + 1);
    const CellNoise& c = r.cells[static_cast<size_t>(x) * 3 + static_cast<size_t>(y)];
    EXPECT_EQ(!db.empty(), c.touched) << line;
    if (db.empty()) continue;
    ++rowsWithDb;
    if (x == r.snrDb.worstX && y == r.snrDb.worstY) {
      char shown[32];
      std::snprintf(shown, sizeof shown, "%.2f", r.snrDb.worst);
      EXPECT_EQ(db, shown);
    }
  }
  EXPECT_EQ(rowsWithDb, r.snrDb.count);
  EXPECT_EQ(rowsWithDb, r.touchedCells);
}

TEST(PanelNoise, EmptyPhasesLeaveFiguresUndefined) {
  PanelNoiseAccumulator acc(3, 1);
  ASSERT_TRUE(acc.AddUntouched({1, 2, 3}, {}));
  PanelNoiseReport r = acc.Report();
  EXPECT_TRUE(std::isnan(r.cells[0].signal)) << "no touched frames: no signal";
  EXPECT_EQ(r.signal.count, 0);
  EXPECT_TRUE(std::isnan(r.signal.median));
  EXPECT_EQ(r.signal.worstX, -1);
  EXPECT_TRUE(r.worstCells.empty());

  // A cell masked in every untouched frame has no noise at all, not noise 0.
  PanelNoiseAccumulator masked(1, 2);
  ASSERT_TRUE(masked.AddUntouched({4, 4}, {1, 0}));
  ASSERT_TRUE(masked.AddTouched({9, 9}, {}));
  r = masked.Report();
  EXPECT_TRUE(r.cells[0].noiseZero);
  EXPECT_FALSE(r.cells[1].noiseZero);
  EXPECT_TRUE(std::isnan(r.cells[1].noisePp));
  EXPECT_TRUE(std::isnan(r.cells[1].signal));
}

TEST(PanelNoise, RefusesFramesOfAnotherSize) {
  PanelNoiseAccumulator acc(2, 2);
  EXPECT_FALSE(acc.AddUntouched({1, 2, 3}, {}));
  EXPECT_FALSE(acc.AddTouched({1, 2, 3, 4}, {1, 1}));
  LiveFrame wrong;
  wrong.width = 4;
  wrong.height = 1;
  wrong.cells = {1, 2, 3, 4};
  wrong.mask = {1, 1, 1, 1};
  EXPECT_FALSE(acc.AddUntouched(wrong)) << "same cell count, other shape";
  EXPECT_EQ(acc.Report().untouchedFrames, 0);

  LiveFrame right = wrong;
  right.width = 2;
  right.height = 2;
  right.mask = {1, 1, 0, 1};
  EXPECT_TRUE(acc.AddUntouched(right));
  EXPECT_EQ(acc.Report().cells[2].untouchedFrames, 0);
}

TEST(PanelNoise, RmsStaysExactFarFromZero) {
  // Values near 1e9: a sum of squares in doubles would lose the deviations entirely.
  PanelNoiseAccumulator acc(1, 1);
  for (int i = 0; i < 1000; ++i) acc.AddUntouched({1000000000 + (i % 2) * 2}, {});
  const CellNoise c = acc.Report().cells[0];
  EXPECT_NEAR(c.noiseRms, 1.0, 1e-9);
  EXPECT_DOUBLE_EQ(c.noisePp, 2.0);
}

TEST(PanelNoise, CsvHasOneRowPerCellAndEmptyFieldsForMissingFigures) {
  pelorin::testing::TempDir dir;
  const std::string path = dir.File("run-noise.csv");
  std::string error;
  ASSERT_TRUE(WritePanelNoiseCsv(path, HandReport(), &error)) << error;
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "x,y,noise_pp,noise_rms,signal,snr_db\n"
            "0,0,4,1.414,40.000,20.00\n"
            "0,1,0,0.000,20.000,\n"
            "1,0,3,1.500,-4.500,\n"
            "1,1,4,1.633,8.000,6.02\n");
}

TEST(PanelNoise, CsvWriteFailureIsReported) {
  std::string error;
  EXPECT_FALSE(WritePanelNoiseCsv("/nonexistent-dir/x.csv", HandReport(), &error));
  EXPECT_NE(error.find("/nonexistent-dir/x.csv"), std::string::npos) << error;
}

TEST(PanelNoise, FileNameFollowsTheRecording) {
  EXPECT_EQ(PanelNoiseFileName("Pelorin_Diff_20261207.csv"), "Pelorin_Diff_20261207-noise.csv");
  EXPECT_EQ(PanelNoiseFileName("run7"), "run7-noise.csv");
}

}  // namespace
}  // namespace pelorin
