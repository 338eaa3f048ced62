// The sensor panel behind the chips: a cascade of one to eight chips that all sense the
// same drive lines, each its own block of sense lines, and the data regions the firmware
// serves from it.
//
// Values are bytes per cell, chip blocks are drive-line rows of `stride` bytes (the sense
// lines of the chip rounded up to a multiple of 4; padding bytes are 0):
//   base   (0x51) baseline: 150 + a gradient over the panel (+20 over the drive lines,
//                 -15 over the sense lines) + a per-chip offset (seeded, -8..8)
//   raw    (0x52) base - touch + noise, where touch is the sum of Gaussian finger bumps
//                 (amplitude 50..80, radius 1.2..2.2 lines) moving on seeded Lissajous
//                 paths and noise is uniform in [-noise, noise], hashed from
//                 (seed, frame, chip, cell); raw is kept within [cycle, 255]
//   diff   (0x53) max(0, base - raw); for chips whose overlap is included, each row holds
//                 the lead overlap lines, the chip's own lines and the tail overlap lines
//                 (measured by this chip at the neighbours' positions)
//   cycle  (0x54) base / 4: the charge cycles the calibration settled on
//   loop   (0x55) raw - cycle: what one measurement loop adds on top
//   rawdiff(0x50) word 0: [firmware-ready flag, frame number (24 bits, little-endian)];
//                 from byte 4 on base - raw as signed bytes, rows as for raw
// So raw = cycle + loop and diff = max(0, base - raw) hold exactly for every cell.
// Everything is a pure function of (seed, frame, chip, cell): the same configuration and
// frame number always give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace panelsim {

struct PanelConfig {
  int chips = 3;                  // 1..8: the master and up to seven slaves
  int drive = 32;                 // drive lines, shared by all chips (1..255)
  std::vector<int> sense = {24};  // sense lines per chip (1..255); one value = all chips
  int overlap = 2;                // overlap lines between neighbouring chips (0..15)
  uint32_t seed = 1;
  int fingers = 2;                // moving finger touches (0..10)
  uint32_t touch_from = 0;        // frames before this one are untouched: the fingers come
                                  // later, as when a panel is measured at rest first
  int noise = 3;                  // noise amplitude in counts (0..50)
  bool master_senses = true;      // false: the master carries no sensor lines (cascade
                                  // mode "slaves only"); then chips - 1 slaves sense
};

// Checks ranges; returns an empty string or what is wrong.
std::string CheckPanelConfig(const PanelConfig& config);

enum class Region : int {
  RawDiff = 0x50,
  Base = 0x51,
  Raw = 0x52,
  Diff = 0x53,
  Cycle = 0x54,
  Loop = 0x55,
};

struct ChipGeometry {
  int drive = 0;
  int sense = 0;
  int lead = 0;   // overlap lines before the chip's own lines
  int tail = 0;   // overlap lines after them
  int column = 0; // panel column of the chip's first own sense line
  bool senses = true;
};

class PanelModel {
 public:
  explicit PanelModel(const PanelConfig& config);

  const PanelConfig& config() const { return config_; }
  int chip_count() const { return static_cast<int>(chips_.size()); }
  const ChipGeometry& chip(int index) const { return chips_.at(index); }
  int panel_columns() const { return columns_; }

  // Row length in bytes of a chip's block in a region (0 for a chip without sensor lines).
  int Stride(int chip, Region region) const;
  // The whole block of a chip for a frame (drive x stride bytes; rawdiff has its 4-byte
  // header first). ready is written into the rawdiff header.
  std::vector<uint8_t> Block(int chip, Region region, uint32_t frame, bool ready) const;

  // Single cells, for tests and for the block builder. column = panel column.
  int BaseAt(int chip, int drive, int column) const;
  int RawAt(int chip, int drive, int column, uint32_t frame) const;
  double TouchAt(int drive, int column, uint32_t frame) const;

 private:
  struct Finger {
    double ax, ay, fx, fy, px, py, amplitude, radius;
  };
  PanelConfig config_;
  std::vector<ChipGeometry> chips_;
  std::vector<int> chip_offset_;
  std::vector<Finger> fingers_;
  int columns_ = 0;
};

}  // namespace panelsim
