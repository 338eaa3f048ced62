// The judgement of captured frames: per-cell extremes against limits, the mean against a
// golden recording, noise figures, and the failure list a line engineer reads.
#include "data/limits/panel_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "data/recording/recording_writer.h"
#include "data/snr/panel_noise.h"

namespace pelorin {
namespace {

std::vector<CellBounds> Bounds(const std::string& text, int32_t w, int32_t h) {
  LimitsFile f;
  std::string error;
  EXPECT_TRUE(ParseLimits(text, &f, &error)) << error;
  std::vector<CellBounds> b;
  EXPECT_TRUE(ResolveLimits(f, LimitKind::Value, w, h, &b, &error)) << error;
  return b;
}

// Two frames of a 2 x 3 panel: cell (1, 2) swings from 10 to 14, (0, 1) is masked.
CellStatistics TwoFrames() {
  CellStatistics s;
  s.Reset(2, 3);
  const int32_t a[6] = {5, 999, 7, 8, 9, 10};
  const int32_t b[6] = {5, -999, 7, 8, 9, 14};
  const uint8_t mask[6] = {1, 0, 1, 1, 1, 1};
  s.Add(a, mask);
  s.Add(b, mask);
  return s;
}

TEST(PanelCheck, StatisticsSkipMaskedCells) {
  const CellStatistics s = TwoFrames();
  EXPECT_EQ(s.Frames(), 2);
  EXPECT_FALSE(s.Seen(1));
  EXPECT_EQ(s.Min(5), 10);
  EXPECT_EQ(s.Max(5), 14);
  EXPECT_DOUBLE_EQ(s.Mean(5), 12.0);
  EXPECT_EQ(s.MeanFrame(), (std::vector<int32_t>{5, 0, 7, 8, 9, 12}));
  EXPECT_EQ(s.SeenMask(), (std::vector<uint8_t>{1, 0, 1, 1, 1, 1}));
}

TEST(PanelCheck, LimitsTheCellsMeetPassAndOneCountTighterFailsThatCellOnly) {
  const CellStatistics s = TwoFrames();
  std::vector<CellFailure> failures;
  CheckValueLimits(s, Bounds("value, *, *, 5, 14\n", 2, 3), &failures);
  EXPECT_TRUE(failures.empty());

  CheckValueLimits(s, Bounds("value, *, *, 5, 14\nvalue, 1, 2, 11, 14\n", 2, 3), &failures);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].check, "value");
  EXPECT_EQ(failures[0].x, 1);
  EXPECT_EQ(failures[0].y, 2);
  EXPECT_EQ(failures[0].value, 10);  // the lowest value the cell showed
  EXPECT_EQ(failures[0].limit, 11);
  EXPECT_TRUE(failures[0].below);
  EXPECT_EQ(DescribeFailure(failures[0]), "value (1, 2): 10 below min 11");

  failures.clear();
  CheckValueLimits(s, Bounds("value, *, *, , 13\n", 2, 3), &failures);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].value, 14);
  EXPECT_FALSE(failures[0].below);
}

GoldenFrame Golden(std::vector<double> mean) {
  GoldenFrame g;
  g.width = 2;
  g.height = 3;
  g.mean = std::move(mean);
  g.valid.assign(6, 1);
  return g;
}

TEST(PanelCheck, GoldenToleranceInCountsAndPercent) {
  const CellStatistics s = TwoFrames();  // means 5, -, 7, 8, 9, 12
  std::vector<CellFailure> failures;
  std::string error;
  // Cell (1, 2) is 2 counts above its reference of 10.
  const GoldenFrame g = Golden({5, 0, 7, 8, 9, 10});
  ASSERT_TRUE(CheckGolden(s, g, Tolerance{2, false}, &failures, &error));
  EXPECT_TRUE(failures.empty());
  ASSERT_TRUE(CheckGolden(s, g, Tolerance{1, false}, &failures, &error));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].check, "golden");
  EXPECT_EQ(failures[0].x, 1);
  EXPECT_EQ(failures[0].y, 2);
  EXPECT_DOUBLE_EQ(failures[0].limit, 11);
  failures.clear();
  ASSERT_TRUE(CheckGolden(s, g, Tolerance{20, true}, &failures, &error));  // 20 % of 10 = 2
  EXPECT_TRUE(failures.empty());
  ASSERT_TRUE(CheckGolden(s, g, Tolerance{19, true}, &failures, &error));
  EXPECT_EQ(failures.size(), 1u);

  GoldenFrame other = g;
  other.height = 4;
  EXPECT_FALSE(CheckGolden(s, other, Tolerance{}, &failures, &error));
  EXPECT_NE(error.find("2 x 4"), std::string::npos) << error;
}

TEST(PanelCheck, ToleranceText) {
  Tolerance t;
  ASSERT_TRUE(ParseTolerance("3", &t));
  EXPECT_EQ(t.amount, 3);
  EXPECT_FALSE(t.percent);
  ASSERT_TRUE(ParseTolerance("2.5%", &t));
  EXPECT_EQ(t.amount, 2.5);
  EXPECT_TRUE(t.percent);
  for (const char* bad : {"", "%", "-1", "3 %", "x", "inf"})
    EXPECT_FALSE(ParseTolerance(bad, &t)) << bad;
}

TEST(PanelCheck, GoldenIsTheMeanOfARecordingAndAgreesWithItself) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "pelorin-golden-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  DumpFile dump;
  int32_t cells[6] = {1, 2, 3, 4, 5, 6};
  const uint8_t mask[6] = {1, 1, 1, 1, 1, 0};
  DumpSource src{"Base", 2, 3, cells, mask, 1, 0};
  ASSERT_TRUE(OpenDump(dump, dir.string(), {&src, 1}));
  ASSERT_TRUE(WriteFrames(dump, {&src, 1}, 0));
  cells[0] = 3;
  src.frameNumber = 2;
  ASSERT_TRUE(WriteFrames(dump, {&src, 1}, 20));
  ASSERT_TRUE(FinishDump(dump, "golden.csv"));

  GoldenFrame g;
  std::string error;
  ASSERT_TRUE(LoadGolden((dir / "golden.csv").string(), &g, &error)) << error;
  EXPECT_EQ(g.source, "Base");
  EXPECT_EQ(g.frames, 2);
  EXPECT_DOUBLE_EQ(g.mean[0], 2.0);
  EXPECT_EQ(g.valid[5], 0);

  CellStatistics s;
  s.Reset(2, 3);
  s.Add(cells, mask);
  cells[0] = 1;
  s.Add(cells, mask);
  std::vector<CellFailure> failures;
  ASSERT_TRUE(CheckGolden(s, g, Tolerance{}, &failures, &error));
  EXPECT_TRUE(failures.empty());

  EXPECT_FALSE(LoadGolden((dir / "missing.csv").string(), &g, &error));
  EXPECT_NE(error.find("missing.csv"), std::string::npos);
  std::filesystem::remove_all(dir);
}

TEST(PanelCheck, NoiseFiguresAgainstTheirLimits) {
  CellNoiseFigures n;
  n.width = 1;
  n.height = 2;
  n.peakToPeak = {4, 9};
  n.rms = {1.0, 3.0};
  LimitsFile f;
  std::string error;
  ASSERT_TRUE(ParseLimits("noise_pp, *, *, , 8\nnoise_rms, 0, 0, 1.5, \n", &f, &error));
  std::vector<CellBounds> pp, rms;
  ASSERT_TRUE(ResolveLimits(f, LimitKind::NoisePp, 1, 2, &pp, &error));
  ASSERT_TRUE(ResolveLimits(f, LimitKind::NoiseRms, 1, 2, &rms, &error));
  std::vector<CellFailure> failures;
  CheckNoiseLimits(n, pp, rms, &failures);
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(DescribeFailure(failures[0]), "noise_rms (0, 0): 1 below min 1.500");
  EXPECT_EQ(DescribeFailure(failures[1]), "noise_pp (0, 1): 9 above max 8");
  EXPECT_EQ(FailuresCsv(failures),
            "check,x,y,value,limit,bound\nnoise_rms,0,0,1,1.500,min\nnoise_pp,0,1,9,8,max\n");
}

TEST(PanelCheck, NoiseLimitsJudgeThePanelNoiseReport) {
  // Cell (0, 1) swings by 6 counts over three untouched frames, (0, 0) holds still and
  // (1, 0) is masked throughout.
  PanelNoiseAccumulator acc(2, 2);
  const std::vector<uint8_t> valid = {1, 1, 0, 1};
  ASSERT_TRUE(acc.AddUntouched({10, 20, 0, 5}, valid));
  ASSERT_TRUE(acc.AddUntouched({10, 26, 0, 5}, valid));
  ASSERT_TRUE(acc.AddUntouched({10, 23, 0, 5}, valid));
  const CellNoiseFigures n = NoiseFiguresOf(acc.Report());
  ASSERT_EQ(n.peakToPeak.size(), 4u);
  EXPECT_EQ(n.peakToPeak[1], 6);
  EXPECT_EQ(n.valid, (std::vector<uint8_t>{1, 1, 0, 1}));
  LimitsFile f;
  std::string error;
  ASSERT_TRUE(ParseLimits("noise_pp, *, *, , 5\nnoise_rms, *, *, , 2.5\n", &f, &error));
  std::vector<CellBounds> pp, rms;
  ASSERT_TRUE(ResolveLimits(f, LimitKind::NoisePp, 2, 2, &pp, &error));
  ASSERT_TRUE(ResolveLimits(f, LimitKind::NoiseRms, 2, 2, &rms, &error));
  std::vector<CellFailure> failures;
  CheckNoiseLimits(n, pp, rms, &failures);
  ASSERT_EQ(failures.size(), 1u);  // RMS of 20, 26, 23 is sqrt(6) < 2.5
  EXPECT_EQ(DescribeFailure(failures[0]), "noise_pp (0, 1): 6 above max 5");
}

}  // namespace
}  // namespace pelorin
