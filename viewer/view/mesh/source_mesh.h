#pragma once
#include <cstddef>
#include <span>

#include "view/mesh/colours.h"
#include "view/mesh/draw_style.h"
#include "view/mesh/mesh_frame.h"

namespace pelorin {

// How a build colours: the draw style, the map's colour range and its palette bands.
struct MeshColouring {
  DrawStyle style = DrawStyle::Style1;
  int32_t rangeMin = 0;  // the map's range, for the Style2 ramp
  int32_t rangeMax = 0;
  int32_t paletteBandWidth = kPaletteBandWidth;
  int32_t paletteLastIndex = kPaletteLastIndex;
};

// Writes the triangle mesh of one frame over the 80 x 80 field into both arrays from
// float `offset` on: 18 floats per grid square and array, squares column by column
// (x outer, y inner), each as the triangles P01 P00 P10 and P01 P10 P11. Returns the
// floats written per array (MeshFloatCount). Writes nothing and returns 0 when the
// frame has no cells or its mesh would not fit from `offset` in either array.
// Does not allocate.
size_t BuildSourceMesh(size_t offset, const MeshFrame& frame, const MeshColouring& colouring,
                       std::span<float> vertices, std::span<float> colours);

}  // namespace pelorin
