#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "view/mesh/colours.h"
#include "view/mesh/levels.h"

namespace pelorin {
namespace {

TEST(Heights, RunFromMinus11AtTheLowEndTo89AtTheHighEnd) {
  EXPECT_FLOAT_EQ(HeightOf(0, 0, 250), -11.0f);
  EXPECT_FLOAT_EQ(HeightOf(-40, 0, 250), -11.0f);
  EXPECT_FLOAT_EQ(HeightOf(250, 0, 250), 89.0f);
  EXPECT_FLOAT_EQ(HeightOf(1000, 0, 250), 89.0f);
  EXPECT_FLOAT_EQ(HeightOf(125, 0, 250), 39.0f);
  EXPECT_FLOAT_EQ(HeightOf(60, 50, 150), -1.0f);
}

TEST(Heights, ExtremeValuesDoNotOverflow) {
  EXPECT_FLOAT_EQ(HeightOf(std::numeric_limits<int32_t>::min(), 100, 200), -11.0f);
  EXPECT_FLOAT_EQ(HeightOf(std::numeric_limits<int32_t>::max(), -100, 200), 89.0f);
}

TEST(Heights, ReferenceLevelTruncatesTheDistanceFirst) {
  // 10.9 above lo counts as 10: 10 / 100 of the way up.
  EXPECT_FLOAT_EQ(RefLevel(60.9f, 50, 150), -1.0f);
  EXPECT_FLOAT_EQ(HeightOf(60, 50, 150), RefLevel(60.9f, 50, 150));
  EXPECT_FLOAT_EQ(RefLevel(-5.0f, 0, 100), -11.0f);
  EXPECT_FLOAT_EQ(RefLevel(500.0f, 0, 100), 89.0f);
  EXPECT_FLOAT_EQ(RefLevel(std::nanf(""), 0, 100), -11.0f);
}

TEST(Heights, CollapsedRangeIsAStepInsteadOfADivisionByZero) {
  EXPECT_FLOAT_EQ(HeightOf(5, 5, 5), -11.0f);
  EXPECT_FLOAT_EQ(HeightOf(6, 5, 5), 89.0f);
  EXPECT_FLOAT_EQ(RefLevel(7.5f, 5, 5), 89.0f);
  EXPECT_FLOAT_EQ(HeightOf(6, 9, 1), -11.0f);
}

void ExpectRgb(const RgbF& c, float r, float g, float b) {
  EXPECT_FLOAT_EQ(c.r, r);
  EXPECT_FLOAT_EQ(c.g, g);
  EXPECT_FLOAT_EQ(c.b, b);
}

TEST(ColourRamp, NarrowRangeCountsAsSpanFour) {
  const ColourRamp ramp(0, 2);
  EXPECT_EQ(ramp.Step(), 255);
  EXPECT_EQ(ramp.Quarter(), 1);
  EXPECT_EQ(ramp.Half(), 2);
  EXPECT_EQ(ramp.ThreeQuarter(), 3);
  ExpectRgb(ramp(0), 0, 0, 1);  // blue
  ExpectRgb(ramp(1), 0, 1, 1);  // cyan
  ExpectRgb(ramp(2), 0, 1, 0);  // green
  ExpectRgb(ramp(3), 1, 1, 0);  // yellow
  ExpectRgb(ramp(4), 1, 0, 0);  // red
}

TEST(ColourRamp, BlendsBetweenTheQuarterPoints) {
  const ColourRamp ramp(0, 250);
  EXPECT_EQ(ramp.Step(), 4);
  EXPECT_EQ(ramp.Quarter(), 62);
  EXPECT_EQ(ramp.Half(), 125);
  EXPECT_EQ(ramp.ThreeQuarter(), 187);
  ExpectRgb(ramp(-30), 0, 0, 1);                   // green floors at 0 below lo
  ExpectRgb(ramp(10), 0, 40 / 255.0f, 1);          // blue to cyan
  ExpectRgb(ramp(100), 0, 1, (255 - 152) / 255.0f);  // cyan to green
  ExpectRgb(ramp(150), 100 / 255.0f, 1, 0);         // green to yellow
  ExpectRgb(ramp(200), 1, (255 - 52) / 255.0f, 0);  // yellow to red
  ExpectRgb(ramp(std::numeric_limits<int32_t>::max()), 1, 0, 0);
  ExpectRgb(ramp(std::numeric_limits<int32_t>::min()), 0, 0, 1);
}

TEST(Palette, IndexIsTheBandCappedAtTheLastEntry) {
  EXPECT_EQ(PaletteIndex(7), 1);
  EXPECT_EQ(PaletteIndex(300), 49);
  EXPECT_EQ(PaletteIndex(249), 49);
  EXPECT_EQ(PaletteIndex(244), 48);
  EXPECT_EQ(PaletteIndex(4), 0);
}

TEST(Palette, NegativeValuesAndOddBandsStayInsideThePalette) {
  EXPECT_EQ(PaletteIndex(-7), 0);
  EXPECT_EQ(PaletteIndex(std::numeric_limits<int32_t>::min()), 0);
  EXPECT_EQ(PaletteIndex(30, 0, 49), 0);
  EXPECT_EQ(PaletteIndex(1000, 5, 80), 49);
}

TEST(Palette, SecondHalfRepeatsTheFirst) {
  for (int i = 0; i < 25; ++i) {
    EXPECT_EQ(kPalette[i].r, kPalette[i + 25].r);
    EXPECT_EQ(kPalette[i].g, kPalette[i + 25].g);
    EXPECT_EQ(kPalette[i].b, kPalette[i + 25].b);
  }
  EXPECT_EQ(kPalette[9].g, 165);
  EXPECT_EQ(kPalette[24].b, 161);
  ExpectRgb(PaletteColour(1), 135 / 255.0f, 206 / 255.0f, 250 / 255.0f);
  ExpectRgb(PaletteColour(99), 238 / 255.0f, 207 / 255.0f, 161 / 255.0f);
}

TEST(ColourOf, GivesThePaletteIndexAndTheRampColour) {
  const ValueColour c = ColourOf(300, 0, 250);
  EXPECT_EQ(c.paletteIndex, 49);
  ExpectRgb(c.colour, 1, 0, 0);
  EXPECT_EQ(ColourOf(7, 0, 2).paletteIndex, 1);
}

}  // namespace
}  // namespace pelorin
