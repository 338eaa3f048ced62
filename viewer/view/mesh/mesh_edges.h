#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pelorin {

// The grid of one source as laid out in the mesh arrays: width x height cells, so
// (width - 1) x (height - 1) squares of six vertices, column by column.
struct MeshGrid {
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const MeshGrid&) const = default;
};

// Vertices the grids take in the arrays, laid one after the other.
size_t MeshGridVertexCount(std::span<const MeshGrid> grids);

// The mesh's lines as GL_LINES index pairs into the vertex arrays, every grid edge once.
// Drawn as triangles in line mode, each inner edge comes out twice (two squares share
// it, and a square's two triangles share the diagonal): twice the lines for the same
// picture, and smoothed lines are most of a paint on a software renderer. Each edge is
// taken where the triangles draw it last, from that triangle's vertices, so the depth
// test settles ties as it did. Empty when the grids do not account for exactly
// `vertexCount` vertices or an index would not fit 32 bits.
std::vector<uint32_t> MeshEdgeIndices(std::span<const MeshGrid> grids, size_t vertexCount);

// The line list of the paint under way, made again only when the layout changes (at
// acquisition start or file load), not with every frame.
class MeshEdgeList {
 public:
  std::span<const uint32_t> For(std::span<const MeshGrid> grids, size_t vertexCount);

 private:
  std::vector<MeshGrid> grids_;
  size_t vertexCount_ = 0;
  std::vector<uint32_t> indices_;
};

}  // namespace pelorin
