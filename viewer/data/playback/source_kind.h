// Live and recorded data are two kinds of one source; which kind the map shows follows
// from what the window is doing.
#pragma once

#include "data/view_controls/run_mode.h"

namespace pelorin {

enum class SourceKind {
  Live,      // the live models
  Recorded,  // the recorded sources of a loaded file
};

// The live models during a live acquisition and when idle; the recorded sources while a
// recording plays or is loaded and paused.
SourceKind SourcesShownIn(RunMode mode);

}  // namespace pelorin
