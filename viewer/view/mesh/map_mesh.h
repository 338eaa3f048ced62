#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "view/mesh/colours.h"
#include "view/mesh/mesh_edges.h"

namespace pelorin {

// The map window's mesh: its vertex and colour arrays, laid out as the fixed-function
// client arrays take them (3 floats per vertex, contiguous, stride 0), with the fields
// the builders read or write. The map window holds one; the builders fill it in place.
class MapMesh {
 public:
  // Frees both arrays and makes new ones of floatCount zeroed floats each; averageValue
  // goes back to 0 and the grids are forgotten. The only place the arrays are
  // (re)allocated.
  void Allocate(size_t floatCount);
  // The source grids the arrays were sized for, in order. Without them (or when they do
  // not match the arrays) the map draws the triangles in line mode instead of its edge
  // list.
  void SetGrids(std::span<const MeshGrid> grids) { grids_.assign(grids.begin(), grids.end()); }
  std::span<const MeshGrid> Grids() const { return grids_; }

  std::span<float> Vertices() { return vertices_; }
  std::span<float> Colours() { return colours_; }
  std::span<const float> Vertices() const { return vertices_; }
  std::span<const float> Colours() const { return colours_; }
  size_t FloatCount() const { return vertices_.size(); }
  int32_t VertexCount() const { return static_cast<int32_t>(vertices_.size() / 3); }

  // The map's colour rules with its own range and palette bands.
  ValueColour ColourOf(int32_t value) const {
    return pelorin::ColourOf(value, rangeMin, rangeMax, paletteBandWidth, paletteLastIndex);
  }

  int32_t rangeMax = 0;  // display range of the colour ramp and the legend
  int32_t rangeMin = 0;
  float averageValue = 0.0f;  // average of the frame on display
  int32_t paletteBandWidth = kPaletteBandWidth;
  int32_t paletteLastIndex = kPaletteLastIndex;

 private:
  std::vector<float> vertices_;
  std::vector<float> colours_;
  std::vector<MeshGrid> grids_;
};

// The map window as the main window's mesh operations see it.
class MeshTarget {
 public:
  virtual ~MeshTarget() = default;
  virtual MapMesh& Mesh() = 0;
  // Resets the view (pan and zoom), then MapMesh::Allocate.
  virtual void AllocateMesh(size_t floatCount) = 0;
  // AllocateMesh for these source grids laid one after the other, keeping the grids
  // with the arrays. A map painted from another thread overrides it to do both at once.
  virtual void AllocateGrids(std::span<const MeshGrid> grids);
  // Asks for a repaint.
  virtual void Invalidate() = 0;
};

// The SNR plot as SizeMesh sees it.
class SnrPlotTarget {
 public:
  virtual ~SnrPlotTarget() = default;
  virtual void SizeSnrPlot(size_t floatCount) = 0;
};

// The SNR plot's size as sized at acquisition start: floats per array, 0 for none.
class SnrPlotSize : public SnrPlotTarget {
 public:
  void SizeSnrPlot(size_t floatCount) override { floatCount_ = floatCount; }
  size_t FloatCount() const { return floatCount_; }

 private:
  size_t floatCount_ = 0;
};

}  // namespace pelorin
