#include "data/snr/noise_table_text.h"

#include <cmath>
#include <cstdio>

namespace pelorin {

namespace {

std::string Number(double v, int decimals) {
  if (std::isnan(v)) return "-";
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

NoiseTableRow Row(const char* label, const FigureSummary& s, int decimals) {
  NoiseTableRow row{label, "-", "-", "-", "-"};
  if (s.count == 0) return row;
  row.min = Number(s.min, decimals);
  row.median = Number(s.median, decimals);
  row.worst = Number(s.worst, decimals);
  row.cell = "(" + std::to_string(s.worstX) + "," + std::to_string(s.worstY) + ")";
  return row;
}

}  // namespace

std::array<NoiseTableRow, kNoiseTableRows> NoiseTableRows(const PanelNoiseReport& r) {
  return {NoiseTableRow{"Panel", "min", "median", "worst", "worst cell"},
          Row("noise p-p", r.noisePp, 0),
          Row("noise RMS", r.noiseRms, 2),
          Row("signal", r.signal, 1),
          Row("SNR", r.snr, 2),
          Row("SNR dB", r.snrDb, 1)};
}

std::string NoiseTableCaption(const PanelNoiseReport& r) {
  char text[160];
  std::snprintf(text, sizeof text,
                "%d untouched, %d touched frames; %d cell%s with noise 0; SNR of %d touched cell%s",
                r.untouchedFrames, r.touchedFrames, r.noiseZeroCells,
                r.noiseZeroCells == 1 ? "" : "s", r.touchedCells, r.touchedCells == 1 ? "" : "s");
  return text;
}

}  // namespace pelorin
