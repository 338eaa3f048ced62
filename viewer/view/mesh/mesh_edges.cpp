#include "view/mesh/mesh_edges.h"

#include <algorithm>
#include <limits>

#include "view/mesh/mesh_frame.h"

namespace pelorin {
namespace {

constexpr size_t kVerticesPerSquare = kFloatsPerSquare / 3;

// A square's six vertices are the triangles P01 P00 P10 and P01 P10 P11, so in line
// mode it draws, in this order: 0-1 left, 1-2 bottom, 2-0 diagonal, 3-4 diagonal again,
// 4-5 right, 5-3 top. The next square up draws this top again as its bottom, and the
// next column this right again as its left; those later drawings are the ones kept.
void AppendGridEdges(const MeshGrid& grid, uint32_t first, std::vector<uint32_t>& out) {
  const int32_t columns = grid.width - 1;
  const int32_t rows = grid.height - 1;
  uint32_t v = first;
  for (int32_t x = 0; x < columns; ++x) {
    for (int32_t y = 0; y < rows; ++y, v += kVerticesPerSquare) {
      out.insert(out.end(), {v + 0, v + 1, v + 1, v + 2, v + 3, v + 4});
      if (x + 1 == columns) out.insert(out.end(), {v + 4, v + 5});
      if (y + 1 == rows) out.insert(out.end(), {v + 5, v + 3});
    }
  }
}

}  // namespace

size_t MeshGridVertexCount(std::span<const MeshGrid> grids) {
  size_t total = 0;
  for (const MeshGrid& grid : grids) total += MeshFloatCount(grid.width, grid.height) / 3;
  return total;
}

std::vector<uint32_t> MeshEdgeIndices(std::span<const MeshGrid> grids, size_t vertexCount) {
  std::vector<uint32_t> out;
  if (vertexCount == 0 || vertexCount > std::numeric_limits<uint32_t>::max() ||
      MeshGridVertexCount(grids) != vertexCount) {
    return out;
  }
  size_t indices = 0;
  for (const MeshGrid& grid : grids) {
    if (MeshFloatCount(grid.width, grid.height) == 0) continue;
    const size_t columns = static_cast<size_t>(grid.width) - 1;
    const size_t rows = static_cast<size_t>(grid.height) - 1;
    indices += 2 * (3 * columns * rows + columns + rows);
  }
  out.reserve(indices);
  uint32_t first = 0;
  for (const MeshGrid& grid : grids) {
    if (MeshFloatCount(grid.width, grid.height) == 0) continue;
    AppendGridEdges(grid, first, out);
    first += static_cast<uint32_t>(MeshFloatCount(grid.width, grid.height) / 3);
  }
  return out;
}

std::span<const uint32_t> MeshEdgeList::For(std::span<const MeshGrid> grids,
                                            size_t vertexCount) {
  if (vertexCount != vertexCount_ || !std::equal(grids.begin(), grids.end(),
                                                 grids_.begin(), grids_.end())) {
    grids_.assign(grids.begin(), grids.end());
    vertexCount_ = vertexCount;
    indices_ = MeshEdgeIndices(grids, vertexCount);
  }
  return indices_;
}

}  // namespace pelorin
