// Which of the player's step buttons a position allows.
#pragma once

#include <cstdint>

namespace pelorin {

// Which of Prev, Next and Play a stopped player enables at frame i of count frames: Prev
// only where a frame comes before, Next and Play only where one follows, so no button ever
// steps outside the loaded frames (a one-frame file enables none of them).
struct StepButtons {
  bool prev = false;
  bool next = false;
  bool play = false;
};
StepButtons StepButtonsAt(int32_t i, int32_t count);

}  // namespace pelorin
