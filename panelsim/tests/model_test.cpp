// The panel model: determinism and the consistency of the data regions.
#include <gtest/gtest.h>

#include "panelsim/crc.h"
#include "panelsim/panel_model.h"

namespace panelsim {
namespace {

PanelConfig Config(uint32_t seed = 5) {
  PanelConfig c;
  c.chips = 3;
  c.drive = 20;
  c.sense = {30, 28, 30};
  c.overlap = 3;
  c.seed = seed;
  return c;
}

TEST(Crc, XmodemCheckValueAndSeedContinues) {
  const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc16(text, 9), 0x31C3);
  EXPECT_EQ(Crc16(text + 4, 5, Crc16(text, 4)), 0x31C3);
  const uint8_t address[] = {0x50, 0x00, 0x00, 0x00};
  EXPECT_EQ(Crc16(address, 4), 0x753B);
}

TEST(PanelModel, SameSeedSameBytesOtherSeedOtherBytes) {
  PanelModel a(Config()), b(Config()), c(Config(6));
  for (Region r : {Region::Raw, Region::Base, Region::Diff, Region::Cycle, Region::Loop, Region::RawDiff}) {
    EXPECT_EQ(a.Block(1, r, 17, true), b.Block(1, r, 17, true));
  }
  EXPECT_NE(a.Block(1, Region::Raw, 17, true), c.Block(1, Region::Raw, 17, true));
  // Frames move the fingers and the noise, not the baseline.
  EXPECT_NE(a.Block(0, Region::Raw, 1, true), a.Block(0, Region::Raw, 40, true));
  EXPECT_EQ(a.Block(0, Region::Base, 1, true), a.Block(0, Region::Base, 40, true));
}

TEST(PanelModel, FingersTouchOnlyFromTheirFirstFrame) {
  PanelConfig later = Config();
  later.touch_from = 20;
  PanelModel now(Config()), rest(later);
  double before = 0, after = 0, always = 0;
  for (int d = 0; d < later.drive; ++d) {
    for (int c = 0; c < rest.panel_columns(); ++c) {
      before += rest.TouchAt(d, c, 19);
      after += rest.TouchAt(d, c, 20);
      always += now.TouchAt(d, c, 19);
    }
  }
  EXPECT_EQ(before, 0);
  EXPECT_GT(after, 0);
  EXPECT_GT(always, 0);
  // Untouched frames keep the noise: raw data still moves from frame to frame.
  EXPECT_NE(rest.Block(0, Region::Raw, 3, true), rest.Block(0, Region::Raw, 4, true));
}

TEST(PanelModel, RegionsAgreeCellByCell) {
  PanelModel m(Config());
  for (uint32_t frame : {0u, 9u, 33u}) {
    for (int chip = 0; chip < 3; ++chip) {
      const ChipGeometry& g = m.chip(chip);
      int stride = m.Stride(chip, Region::Raw);
      EXPECT_EQ(stride % 4, 0);
      auto raw = m.Block(chip, Region::Raw, frame, true);
      auto base = m.Block(chip, Region::Base, frame, true);
      auto cycle = m.Block(chip, Region::Cycle, frame, true);
      auto loop = m.Block(chip, Region::Loop, frame, true);
      auto rawdiff = m.Block(chip, Region::RawDiff, frame, true);
      auto diff = m.Block(chip, Region::Diff, frame, true);
      int dstride = m.Stride(chip, Region::Diff);
      ASSERT_EQ(raw.size(), static_cast<size_t>(g.drive * stride));
      ASSERT_EQ(rawdiff.size(), raw.size() + 4);
      ASSERT_EQ(diff.size(), static_cast<size_t>(g.drive * dstride));
      for (int d = 0; d < g.drive; ++d) {
        for (int k = 0; k < stride; ++k) {
          size_t i = static_cast<size_t>(d * stride + k);
          if (k >= g.sense) {  // padding
            EXPECT_EQ(raw[i], 0);
            continue;
          }
          EXPECT_EQ(raw[i], cycle[i] + loop[i]);
          EXPECT_EQ(cycle[i], base[i] / 4);
          int delta = base[i] - raw[i];
          EXPECT_EQ(static_cast<int8_t>(rawdiff[4 + i]), std::clamp(delta, -128, 127));
          EXPECT_EQ(diff[static_cast<size_t>(d * dstride + g.lead + k)], std::max(0, delta));
        }
      }
    }
  }
}

TEST(PanelModel, OverlapLinesSeeTheNeighboursTouch) {
  PanelConfig c = Config();
  c.noise = 0;
  PanelModel m(c);
  ASSERT_EQ(m.chip(0).lead, 0);
  ASSERT_EQ(m.chip(0).tail, 3);
  ASSERT_EQ(m.chip(1).lead, 3);
  ASSERT_EQ(m.chip(2).tail, 0);
  // A tail line of chip 0 is the panel column of chip 1's first lines: same touch.
  for (uint32_t frame = 0; frame < 60; frame += 7) {
    for (int d = 0; d < c.drive; ++d) {
      int column = m.chip(1).column;  // chip 0's first tail line
      int raw0 = m.RawAt(0, d, column, frame), raw1 = m.RawAt(1, d, column, frame);
      EXPECT_NEAR(m.BaseAt(0, d, column) - raw0, m.BaseAt(1, d, column) - raw1, 1);
    }
  }
}

TEST(PanelModel, FingersShowUpInTheDifference) {
  PanelConfig c = Config();
  PanelModel m(c);
  int peak = 0;
  for (int chip = 0; chip < 3; ++chip)
    for (uint8_t v : m.Block(chip, Region::Diff, 12, true)) peak = std::max<int>(peak, v);
  EXPECT_GT(peak, 30);
  c.fingers = 0;
  PanelModel quiet(c);
  for (int chip = 0; chip < 3; ++chip)
    for (uint8_t v : quiet.Block(chip, Region::Diff, 12, true)) EXPECT_LE(v, c.noise);
}

TEST(PanelModel, SlavesOnlyMasterHasNoBlock) {
  PanelConfig c = Config();
  c.master_senses = false;
  PanelModel m(c);
  EXPECT_FALSE(m.chip(0).senses);
  EXPECT_EQ(m.Stride(0, Region::Raw), 0);
  EXPECT_EQ(m.chip(1).lead, 0);
  EXPECT_EQ(m.chip(1).tail, 3);
  EXPECT_EQ(m.panel_columns(), 28 + 30);
}

TEST(PanelModel, ConfigChecks) {
  EXPECT_EQ(CheckPanelConfig(Config()), "");
  PanelConfig c = Config();
  c.chips = 9;
  EXPECT_NE(CheckPanelConfig(c), "");
  c = Config();
  c.sense = {30, 30};
  EXPECT_NE(CheckPanelConfig(c), "");
  c = Config();
  c.drive = 0;
  EXPECT_NE(CheckPanelConfig(c), "");
  c = Config();
  c.chips = 1;
  c.master_senses = false;
  EXPECT_NE(CheckPanelConfig(c), "");
}

}  // namespace
}  // namespace panelsim
