// A recording served as the chips' data: the frames of a recorded-data file (".csv", or
// ".tbl") become what the data regions of panel_model.h hold, frame after frame.
//
// The cascade comes from the file and the command line together. The file gives Width (the
// drive lines) and each source's Height; it records no chip boundaries, so the sense lines
// are split over --chips chips (default 1): by --sense when it lists one count per chip,
// otherwise evenly, the first chips taking one line more when Height does not divide.
// Chips sit in the file's order (master first), which a host reading in automatic order
// joins back as recorded. A Diff source may be taller than the others by the overlap
// lines its chips include: from the two Heights the overlap per boundary is worked out
// (--overlap when the file holds Diff alone; 0 when not given).
//
// Each source type of the file is served at its own region; the others are refused as a
// chip refuses a read it cannot serve. Raw difference (Base minus Raw Data, read by the
// host from both regions) is served by deriving what the file lacks: Base = Raw Data +
// difference, or Raw Data = Base - difference, or, with neither, Base = max(difference, 0)
// and Raw Data = max(-difference, 0). The 0x50 region carries Base - Raw Data as signed
// bytes where both are served.
//
// Masked cells ("N/A") are served as 0, the value the reader gives them: a host that
// masks the same cells records "N/A" again. Hidden lines are not in the file; the panel is
// made of the lines it holds. With --replay-reverse and --replay-turn-over the file is
// taken as recorded with the host's reverse (each chip's sense lines in reverse order) or
// turn-over (drive lines in reverse order) switched on, and the chips serve it undone, so
// the same host settings reproduce the file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "panelsim/panel_model.h"

namespace panelsim {

enum class ReplayPace {
  Recorded,  // a frame is ready once its recorded time (since the first frame) has come
  Fast,      // every frame cycle serves the next frame
  Fixed,     // one frame every interval_ms
};

struct ReplayOptions {
  std::string file;    // empty: no replay
  std::string source;  // serve only this source type of the file ("" = all)
  bool loop = false;   // start again after the last frame
  ReplayPace pace = ReplayPace::Recorded;
  int interval_ms = 0;     // ReplayPace::Fixed
  bool reverse = false;    // the file was recorded with each chip's sense lines reversed
  bool turn_over = false;  // ... with the drive lines in reverse order
};

// The loaded recording as the chips serve it.
class ReplayData {
 public:
  // Reads the file and lays it out over the cascade. panel supplies --chips, --sense and
  // --overlap (given: whether the user set them); on success panel is rewritten with the
  // replayed cascade (chips, drive, sense, overlap, no fingers, no noise). False with
  // "FILE: line N: reason" (or another message naming the file) in *error.
  struct Given {
    bool chips = false;
    bool sense = false;
    bool overlap = false;
  };
  static std::shared_ptr<const ReplayData> Load(const ReplayOptions& options, Given given,
                                                PanelConfig* panel, std::string* error);

  const ReplayOptions& options() const { return options_; }
  size_t frame_count() const { return due_ms_.size(); }
  // Milliseconds after the first frame at which frame i may be served (0 with Fast).
  int64_t DueMs(size_t i) const { return due_ms_.at(i); }
  // Whether the chips serve this region (0x50 always: it carries the ready flag).
  bool Serves(Region region) const;
  // The source type names of the regions served, for the start-up line.
  std::string ServedNames() const;

  // A chip's block of a region for frame i, laid out as PanelModel::Block lays it out.
  std::vector<uint8_t> Block(const PanelModel& model, int chip, Region region, size_t frame,
                             bool ready) const;

 private:
  // One region's frames as bytes, cell (x, y) at [x * height + y] of each frame.
  struct Plane {
    bool served = false;
    int height = 0;
    std::vector<std::vector<uint8_t>> frames;
  };
  static int Slot(Region region) { return static_cast<int>(region) - 0x50; }

  ReplayOptions options_;
  int width_ = 0;
  std::array<Plane, 6> planes_;  // indexed by region - 0x50; the 0x50 plane is not used
  std::vector<int64_t> due_ms_;
};

}  // namespace panelsim
