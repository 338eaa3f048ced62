#include "data/snr/snr_evaluation.h"

#include <gtest/gtest.h>

#include <climits>

#include "data/source_type.h"

namespace pelorin {
namespace {

const SnrLineResult& At(const SnrResults& r, SnrLine line) {
  return r[static_cast<size_t>(line)];
}

TEST(SnrEvaluation, NeedsDiffAndMoreFramesThanTheUntouchedCount) {
  EXPECT_FALSE(ShouldEvaluateSnr(kSourceDiff, 100, 100)) << "exactly the untouched count";
  EXPECT_FALSE(ShouldEvaluateSnr(kSourceDiff, 99, 100));
  EXPECT_TRUE(ShouldEvaluateSnr(kSourceDiff, 101, 100));
  EXPECT_FALSE(ShouldEvaluateSnr(kSourceBase, 500, 100));
}

// Width 4, height 2: Y lines have 4 cells, X lines 2.
struct Buffers {
  EdgeBuffers noise{4, 2}, signal{4, 2};
};

TEST(SnrEvaluation, PicksTheFirstSmallestRatioOfEachLine) {
  Buffers b;
  // Y1: ratios 4, 2, 3, 2 -> the first 2, at x = 1.
  b.noise.y1Track = {10, 20, 5, 10};
  b.signal.y1Track = {50, 60, 20, 30};
  // X1: a signal below its noise gives a negative ratio, which wins.
  b.noise.x1Track = {10, 10};
  b.signal.x1Track = {40, 5};
  // X2: noise 0 and positive signal everywhere: +inf never wins, position 0 stays.
  b.noise.x2Track = {0, 0};
  b.signal.x2Track = {7, 9};
  // Y2: 0 / 0 (NaN) does not win over a later finite ratio.
  b.noise.y2Track = {0, 4, 0, 0};
  b.signal.y2Track = {0, 8, 3, 0};
  const SnrResults r = EvaluateSnr(b.noise, b.signal, SnrPins{});

  EXPECT_TRUE(At(r, SnrLine::Y1).inFrame);
  EXPECT_EQ(At(r, SnrLine::Y1).position, 1);
  EXPECT_EQ(At(r, SnrLine::Y1).noise, 20);
  EXPECT_EQ(At(r, SnrLine::Y1).signal, 60);
  EXPECT_DOUBLE_EQ(At(r, SnrLine::Y1).snr, 2.0);

  EXPECT_EQ(At(r, SnrLine::X1).position, 1);
  EXPECT_DOUBLE_EQ(At(r, SnrLine::X1).snr, -0.5);

  EXPECT_EQ(At(r, SnrLine::X2).position, 0);
  EXPECT_EQ(At(r, SnrLine::X2).signal, 7);
  EXPECT_EQ(SnrResultTexts(SnrLine::X2, At(r, SnrLine::X2)).snr, "SNR : inf");

  EXPECT_EQ(At(r, SnrLine::Y2).position, 1);
  EXPECT_DOUBLE_EQ(At(r, SnrLine::Y2).snr, 1.0);
}

TEST(SnrEvaluation, LineOfOnlyUndefinedRatiosKeepsPositionZero) {
  Buffers b;  // all 0: every ratio is 0 / 0
  const SnrResults r = EvaluateSnr(b.noise, b.signal, SnrPins{});
  for (SnrLine line : kSnrLines) {
    EXPECT_TRUE(At(r, line).inFrame);
    EXPECT_EQ(At(r, line).position, 0);
  }
  EXPECT_NE(SnrResultTexts(SnrLine::Y1, At(r, SnrLine::Y1)).snr.find("nan"), std::string::npos);
}

TEST(SnrEvaluation, LinesOutsideTheFrameAreSkipped) {
  Buffers b;
  b.noise.x1Track = {1, 1};
  b.signal.x1Track = {5, 5};
  // X1 at column 4 of a 4-wide frame, X2 one past the last, Y1 below 0, Y2 before row 0.
  const SnrResults r = EvaluateSnr(b.noise, b.signal, SnrPins{100, 4, 1, -1, -2});
  for (SnrLine line : kSnrLines) EXPECT_FALSE(At(r, line).inFrame);
  const SnrLineTexts t = SnrResultTexts(SnrLine::X1, At(r, SnrLine::X1));
  EXPECT_EQ(t.signal, "X1 out of frame");
  EXPECT_EQ(t.snr, "SNR : -");

  EXPECT_TRUE(SnrLineInFrame(SnrLine::X2, SnrPins{0, 0, -3, 0, 0}, 4, 2)) << "column 0";
  EXPECT_FALSE(SnrLineInFrame(SnrLine::X2, SnrPins{0, 0, -4, 0, 0}, 4, 2));
  EXPECT_TRUE(SnrLineInFrame(SnrLine::Y2, SnrPins{0, 0, 0, 0, -1}, 4, 2));
  EXPECT_FALSE(SnrLineInFrame(SnrLine::X2, SnrPins{0, 0, INT_MIN, 0, 0}, 4, 2));
  EXPECT_FALSE(SnrLineInFrame(SnrLine::X1, SnrPins{0, 3, 0, 0, 0}, 0, 0)) << "empty frame";
}

TEST(SnrEvaluation, TextsFollowTheResult) {
  SnrLineResult r;
  r.inFrame = true;
  r.position = 7;
  r.noise = 20;
  r.signal = 61;
  r.snr = 2.05;
  const SnrLineTexts t = SnrResultTexts(SnrLine::Y2, r);
  EXPECT_EQ(t.signal, "Y2 signal : 61");
  EXPECT_EQ(t.noise, "noise : 20");
  EXPECT_EQ(t.snr, "SNR : 2.05");
  EXPECT_EQ(t.index, "Index:7");
}

TEST(SnrEvaluation, ExtremeValuesDoNotOverflowTheDifference) {
  EdgeBuffers noise(1, 1), signal(1, 1);
  noise.x1Track = {1};
  signal.x1Track = {INT_MAX};
  noise.y1Track = {INT_MAX};
  signal.y1Track = {0};
  const SnrResults r = EvaluateSnr(noise, signal, SnrPins{});
  EXPECT_GT(At(r, SnrLine::X1).snr, 2e9);
  EXPECT_DOUBLE_EQ(At(r, SnrLine::Y1).snr, -1.0);
}

}  // namespace
}  // namespace pelorin
