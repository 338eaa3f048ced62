#include "view/mesh/source_mesh.h"

#include <algorithm>

#include "view/mesh/levels.h"

namespace pelorin {
namespace {

constexpr float kFieldSize = 80.0f;  // the mesh spans an 80 x 80 field

// Height and colour of one grid corner.
struct Corner {
  float z, r, g, b;
};

// Style2 corner of a valid cell straight from the rules: height over the source's
// range, colour from the map's ramp.
class DirectRamp {
 public:
  DirectRamp(const MeshFrame& frame, const MeshColouring& colouring)
      : lo_(frame.rangeMin), hi_(frame.rangeMax), ramp_(colouring.rangeMin, colouring.rangeMax) {}
  Corner operator()(int32_t value) const {
    const RgbF c = ramp_(value);
    return {HeightOf(value, lo_, hi_), c.r, c.g, c.b};
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
    // Past threeQuarter the ramp only loses green, by `step` a value, down to 0.
    const int64_t step = ramp.Step();
    const int64_t rampTop = ramp.ThreeQuarter() + (step > 0 ? (255 + step - 1) / step : 1);
    const int64_t heightTop = std::max<int64_t>(frame.rangeMax, int64_t{frame.rangeMin} + 1);
    base_ = std::min<int64_t>(colouring.rangeMin, frame.rangeMin);
    const int64_t top = std::max(rampTop, heightTop);
    last_ = top - base_;
    if (last_ < 0 || last_ >= kCapacity) return false;
    const DirectRamp direct(frame, colouring);
    for (int64_t i = 0; i <= last_; ++i) entries_[i] = direct(static_cast<int32_t>(base_ + i));
    return true;
  }

  Corner operator()(int32_t value) const {
    return entries_[std::clamp<int64_t>(value - base_, 0, last_)];
  }

 private:
  int64_t base_ = 0, last_ = -1;
  Corner entries_[kCapacity];
};

// Style2: valid corners from `Valid`; masked corners black at the mask level.
template <class Valid>
class RampCorners {
 public:
  RampCorners(const MeshFrame& frame, const Valid& valid)
      : frame_(frame), valid_(valid),
        maskLevel_(frame.maskLevelOn ? RefLevel(frame.average, frame.rangeMin, frame.rangeMax)
                                     : 0.0f) {}

  Corner operator()(size_t cell) const {
    if (frame_.mask != nullptr && frame_.mask[cell] == 0) return {maskLevel_, 0.0f, 0.0f, 0.0f};
    return valid_(frame_.cells[cell]);
  }

 private:
  const MeshFrame& frame_;
  const Valid& valid_;
  float maskLevel_;
};

// Style1: the mask is ignored; height is the value / 6, colour its palette band.
class PaletteCorners {
 public:
  PaletteCorners(const MeshFrame& frame, const MeshColouring& colouring)
      : frame_(frame), bandWidth_(colouring.paletteBandWidth),
        lastIndex_(colouring.paletteLastIndex) {}

  Corner operator()(size_t cell) const {
    const int32_t value = frame_.cells[cell];
    const RgbF c = PaletteColour(PaletteIndex(value, bandWidth_, lastIndex_));
    return {static_cast<float>(value / 6), c.r, c.g, c.b};
  }

 private:
  const MeshFrame& frame_;
  int32_t bandWidth_, lastIndex_;
};

inline void Put(float*& vertex, float*& colour, float x, float y, const Corner& c) {
  vertex[0] = x;
  vertex[1] = y;
  vertex[2] = c.z;
  colour[0] = c.r;
  colour[1] = c.g;
  colour[2] = c.b;
  vertex += 3;
  colour += 3;
}

// The corner that vertex `index` of the square at `vertex`/`colour` was given.
inline Corner Written(const float* vertex, const float* colour, size_t index) {
  const float* c = colour + 3 * index;
  return {vertex[3 * index + 2], c[0], c[1], c[2]};
}

constexpr size_t kP10 = 2;  // the vertex order P01 P00 P10 P01 P10 P11
constexpr size_t kP11 = 5;

// One pass over the squares, column by column. Walking up a column, the top corners of
// one square are the bottom corners of the next; across columns, a column's left
// corners are the right corners of the column before, already in the arrays. So each
// corner is worked out once.
template <class CornerOf>
void WriteSquares(const MeshFrame& frame, const CornerOf& cornerOf, float* vertex,
                  float* colour) {
  const int32_t width = frame.width;
  const int32_t height = frame.height;
  const float xStep = kFieldSize / static_cast<float>(width);
  const float yStep = kFieldSize / static_cast<float>(height);
  const size_t columnFloats = kFloatsPerSquare * static_cast<size_t>(height - 1);
  for (int32_t x = 0; x + 1 < width; ++x) {
    const float x0 = static_cast<float>(x) * xStep;
    const float x1 = static_cast<float>(x + 1) * xStep;
    const size_t right = static_cast<size_t>(x + 1) * static_cast<size_t>(height);
    // The column before; for x = 0 there is none and the left corners are worked out.
    const float* leftVertex = vertex - columnFloats;
    const float* leftColour = colour - columnFloats;
    const bool first = x == 0;
    Corner p00 = first ? cornerOf(0) : Written(leftVertex, leftColour, kP10);
    Corner p10 = cornerOf(right);
    float y0 = 0.0f;
    for (int32_t y = 0; y + 1 < height; ++y) {
      const float y1 = static_cast<float>(y + 1) * yStep;
      const Corner p01 = first ? cornerOf(static_cast<size_t>(y) + 1)
                               : Written(leftVertex, leftColour, kP11);
      const Corner p11 = cornerOf(right + static_cast<size_t>(y) + 1);
      Put(vertex, colour, x0, y1, p01);
      Put(vertex, colour, x0, y0, p00);
      Put(vertex, colour, x1, y0, p10);
      Put(vertex, colour, x0, y1, p01);
      Put(vertex, colour, x1, y0, p10);
      Put(vertex, colour, x1, y1, p11);
      p00 = p01;
      p10 = p11;
      y0 = y1;
      leftVertex += kFloatsPerSquare;
      leftColour += kFloatsPerSquare;
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
