#include "view/mesh/source_mesh.h"

#include <algorithm>
#include <cstring>

#include "view/mesh/levels.h"

namespace pelorin {
namespace {

constexpr float kFieldSize = 80.0f;  // the mesh spans an 80 x 80 field

// Four floats handled as one (GCC and Clang vector extension). A corner is
// {r, g, b, z}; a row of a column is {x0, y, x1, y}. Writing is most of a build's
// time, so a square's 36 floats go out as twelve 16-byte stores (see PutTriples).
typedef float Float4 __attribute__((vector_size(16)));

// Style2 corner of a valid cell straight from the rules: height over the source's
// range, colour from the map's ramp.
class DirectRamp {
 public:
  DirectRamp(const MeshFrame& frame, const MeshColouring& colouring)
      : lo_(frame.rangeMin), hi_(frame.rangeMax), ramp_(colouring.rangeMin, colouring.rangeMax) {}
  Float4 operator()(int32_t value) const {
    const RgbF c = ramp_(value);
    return Float4{c.r, c.g, c.b, HeightOf(value, lo_, hi_)};
  }

 private:
  int32_t lo_, hi_;
  ColourRamp ramp_;
};

// The same corners from a table. Both the height and the ramp are constant below
// their range's low end and above some value past its high end, so one table over
// that stretch answers every value after clamping. Filled once per build, it saves
// the divisions and the ramp's branches per corner. Lives on the stack; a range too
// wide for it falls back to DirectRamp.
class RampTable {
 public:
  static constexpr int64_t kCapacity = 2048;

  // False when the ranges need more entries than the table holds.
  bool Fill(const MeshFrame& frame, const MeshColouring& colouring) {
    const ColourRamp ramp(colouring.rangeMin, colouring.rangeMax);
    // Past threeQuarter the ramp only loses green, `step` a value, down to 0.
    const int64_t step = ramp.Step();
    const int64_t rampTop = ramp.ThreeQuarter() + (step > 0 ? (255 + step - 1) / step : 1);
    const int64_t heightTop = std::max<int64_t>(frame.rangeMax, int64_t{frame.rangeMin} + 1);
    base_ = std::min<int64_t>(colouring.rangeMin, frame.rangeMin);
    last_ = std::max(rampTop, heightTop) - base_;
    if (last_ < 0 || last_ >= kCapacity) return false;
    const DirectRamp direct(frame, colouring);
    for (int64_t i = 0; i <= last_; ++i) entries_[i] = direct(static_cast<int32_t>(base_ + i));
    return true;
  }

  Float4 operator()(int32_t value) const {
    return entries_[std::clamp<int64_t>(value - base_, 0, last_)];
  }

 private:
  int64_t base_ = 0, last_ = -1;
  Float4 entries_[kCapacity];
};

// Style2: valid corners from `Valid`; masked corners black at the mask level.
template <class Valid>
class RampCorners {
 public:
  RampCorners(const MeshFrame& frame, const Valid& valid)
      : frame_(frame), valid_(valid),
        masked_{0.0f, 0.0f, 0.0f,
                frame.maskLevelOn ? RefLevel(frame.average, frame.rangeMin, frame.rangeMax)
                                  : 0.0f} {}

  Float4 operator()(size_t cell) const {
    if (frame_.mask != nullptr && frame_.mask[cell] == 0) return masked_;
    return valid_(frame_.cells[cell]);
  }

 private:
  const MeshFrame& frame_;
  const Valid& valid_;
  Float4 masked_;
};

// Style1: the mask is ignored; height is the value / 6, colour its palette band. The
// band colours come from a table over 0 .. bandWidth x lastIndex, the values whose
// bands differ, unless odd band settings make that stretch too long for it.
class PaletteCorners {
 public:
  static constexpr int64_t kCapacity = 2048;

  PaletteCorners(const MeshFrame& frame, const MeshColouring& colouring)
      : frame_(frame), bandWidth_(colouring.paletteBandWidth),
        lastIndex_(colouring.paletteLastIndex) {
    const int64_t top = int64_t{std::max(bandWidth_, 0)} * std::clamp(lastIndex_, 0, kPaletteSize - 1);
    if (top < kCapacity) {
      last_ = top;
      for (int64_t v = 0; v <= last_; ++v) entries_[v] = Colour(static_cast<int32_t>(v));
    }
  }

  Float4 operator()(size_t cell) const {
    const int32_t value = frame_.cells[cell];
    Float4 corner = last_ >= 0 ? entries_[std::clamp<int64_t>(value, 0, last_)] : Colour(value);
    corner[3] = static_cast<float>(value / 6);
    return corner;
  }

 private:
  Float4 Colour(int32_t value) const {
    const RgbF c = PaletteColour(PaletteIndex(value, bandWidth_, lastIndex_));
    return Float4{c.r, c.g, c.b, 0.0f};
  }

  const MeshFrame& frame_;
  int32_t bandWidth_, lastIndex_;
  int64_t last_ = -1;
  Float4 entries_[kCapacity];
};

// Writes the six vertex triples a b c a c d (3 floats each, 18 floats) from `to` on. Each
// triple goes out as a 16-byte store whose spare float the next store overwrites; the
// last triple's spare float would land in the next square, which is written after this
// one, unless `end` marks the last square of the mesh, whose last triple goes out exact.
template <bool end>
void PutTriples(float* to, Float4 a, Float4 b, Float4 c, Float4 d) {
  std::memcpy(to + 0, &a, sizeof a);
  std::memcpy(to + 3, &b, sizeof b);
  std::memcpy(to + 6, &c, sizeof c);
  std::memcpy(to + 9, &a, sizeof a);
  std::memcpy(to + 12, &c, sizeof c);
  if constexpr (end) {
    std::memcpy(to + 15, &d, 3 * sizeof(float));
  } else {
    std::memcpy(to + 15, &d, sizeof d);
  }
}

// One pass over the squares, column by column (x outer, y inner). Each square is the
// triangles P01 P00 P10 and P01 P10 P11. Walking up a column, the top corners of one
// square are the bottom corners of the next.
template <class Corners>
void WriteSquares(const MeshFrame& frame, const Corners& cornerOf, float* vertex,
                  float* colour) {
  const int32_t width = frame.width;
  const int32_t height = frame.height;
  const float xStep = kFieldSize / static_cast<float>(width);
  const float yStep = kFieldSize / static_cast<float>(height);
  const Float4 rowStep = {0.0f, yStep, 0.0f, yStep};
  for (int32_t x = 0; x + 1 < width; ++x) {
    // {x0, y, x1, y} for row y is column + y * rowStep.
    const Float4 column = {static_cast<float>(x) * xStep, 0.0f,
                           static_cast<float>(x + 1) * xStep, 0.0f};
    const size_t left = static_cast<size_t>(x) * static_cast<size_t>(height);
    const size_t right = left + static_cast<size_t>(height);
    const int32_t lastRow = x + 2 == width ? height - 2 : -1;  // the mesh's last square
    Float4 c00 = cornerOf(left);
    Float4 c10 = cornerOf(right);
    // Vertices {x, y, z, spare}: the row's x and y with the corner's z.
    Float4 v00 = __builtin_shufflevector(column, c00, 0, 1, 7, 7);
    Float4 v10 = __builtin_shufflevector(column, c10, 2, 3, 7, 7);
    for (int32_t y = 0; y + 1 < height; ++y) {
      const Float4 row = column + static_cast<float>(y + 1) * rowStep;
      const Float4 c01 = cornerOf(left + static_cast<size_t>(y) + 1);
      const Float4 c11 = cornerOf(right + static_cast<size_t>(y) + 1);
      const Float4 v01 = __builtin_shufflevector(row, c01, 0, 1, 7, 7);
      const Float4 v11 = __builtin_shufflevector(row, c11, 2, 3, 7, 7);
      if (y != lastRow) {
        PutTriples<false>(vertex, v01, v00, v10, v11);
        PutTriples<false>(colour, c01, c00, c10, c11);
      } else {
        PutTriples<true>(vertex, v01, v00, v10, v11);
        PutTriples<true>(colour, c01, c00, c10, c11);
      }
      vertex += kFloatsPerSquare;
      colour += kFloatsPerSquare;
      c00 = c01;
      c10 = c11;
      v00 = v01;
      v10 = v11;
    }
  }
}

}  // namespace

size_t BuildSourceMesh(size_t offset, const MeshFrame& frame, const MeshColouring& colouring,
                       std::span<float> vertices, std::span<float> colours) {
  const size_t count = MeshFloatCount(frame.width, frame.height);
  if (count == 0 || frame.cells == nullptr) return 0;
  if (offset > vertices.size() || vertices.size() - offset < count) return 0;
  if (offset > colours.size() || colours.size() - offset < count) return 0;

  float* vertex = vertices.data() + offset;
  float* colour = colours.data() + offset;
  if (colouring.style == DrawStyle::Style2) {
    RampTable table;
    if (table.Fill(frame, colouring)) {
      WriteSquares(frame, RampCorners(frame, table), vertex, colour);
    } else {
      const DirectRamp direct(frame, colouring);
      WriteSquares(frame, RampCorners(frame, direct), vertex, colour);
    }
  } else {
    WriteSquares(frame, PaletteCorners(frame, colouring), vertex, colour);
  }
  return count;
}

}  // namespace pelorin
