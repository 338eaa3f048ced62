// The texts of the SNR page's panel noise table: a header row, then one row per figure
// (noise p-p, noise RMS, signal, SNR, SNR dB) with its minimum, median, worst value and
// the worst cell, and a caption with the frame counts and the cells of noise 0.
#pragma once

#include <array>
#include <string>

#include "data/snr/panel_noise.h"

namespace pelorin {

struct NoiseTableRow {
  std::string label, min, median, worst, cell;
};

inline constexpr size_t kNoiseTableRows = 6;  // header and five figures
std::array<NoiseTableRow, kNoiseTableRows> NoiseTableRows(const PanelNoiseReport& report);

// "99 untouched, 300 touched frames; 2 cells with noise 0; SNR of 40 touched cells".
std::string NoiseTableCaption(const PanelNoiseReport& report);

}  // namespace pelorin
