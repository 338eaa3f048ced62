// What the main window is doing: the acquisition, the player and the keys decide by it.
// The numbers are those the window has always used (2 is not used).
#pragma once

#include <cstdint>

namespace pelorin {

enum class RunMode : int32_t {
  Live = 0,     // a live acquisition runs
  Idle = 1,     // nothing runs, no recording loaded
  Playing = 3,  // a recording plays
  Paused = 4,   // a recording is loaded and not playing
};

// Idle or paused: no worker writes the models or the mesh, so the window may rebuild it
// and change the first source.
inline bool IsAtRest(RunMode mode) { return mode == RunMode::Idle || mode == RunMode::Paused; }

}  // namespace pelorin
