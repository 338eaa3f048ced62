#pragma once
#include <cstddef>
#include <cstdint>

namespace pelorin {

// One frame of one source as the mesh builders read it: a borrowed view, valid for
// the duration of one build. Cell (x, y), x < width (drive lines), y < height (sense
// lines), lies at cells[x * height + y]; the mask has the same layout.
struct MeshFrame {
  int32_t width = 0;
  int32_t height = 0;
  const int32_t* cells = nullptr;
  const uint8_t* mask = nullptr;  // 1 = valid, 0 = masked; null = every cell valid
  float average = 0.0f;           // the frame average
  int32_t rangeMin = 0;           // the source's display range, for heights
  int32_t rangeMax = 0;
  // Masked cells sit at the average's reference level instead of 0: the IS_MASK
  // setting for a live source, "the file had masked cells" for a recorded one.
  bool maskLevelOn = false;
};

inline constexpr size_t kFloatsPerSquare = 18;  // 6 vertices x 3 floats, per array

// Floats per array for a width x height frame: two triangles per grid square. A frame
// one cell wide or high (or empty) has no squares.
constexpr size_t MeshFloatCount(int32_t width, int32_t height) {
  if (width < 2 || height < 2) return 0;
  return kFloatsPerSquare * static_cast<size_t>(width - 1) * static_cast<size_t>(height - 1);
}

}  // namespace pelorin
