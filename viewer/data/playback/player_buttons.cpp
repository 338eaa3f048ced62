#include "data/playback/player_buttons.h"

namespace pelorin {

StepButtons StepButtonsAt(int32_t i, int32_t count) {
  StepButtons b;
  b.prev = i > 0 && count > 0;
  b.next = i < count - 1;
  b.play = b.next;
  return b;
}

}  // namespace pelorin
