#pragma once
#include <cstdint>

namespace pelorin {

// How the map colours its mesh; the numbers are stored as DRAW_STYLE in the settings.
enum class DrawStyle : int32_t {
  Style1 = 0,  // palette bands of 5 values, heights from the raw value
  Style2 = 1,  // blue-to-red ramp over the display range, heights scaled to it
};

}  // namespace pelorin
