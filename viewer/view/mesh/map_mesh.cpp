#include "view/mesh/map_mesh.h"

namespace pelorin {

void MapMesh::Allocate(size_t floatCount) {
  // Swap with fresh vectors so a shrink gives the memory back as well.
  std::vector<float>(floatCount, 0.0f).swap(vertices_);
  std::vector<float>(floatCount, 0.0f).swap(colours_);
  averageValue = 0.0f;
  grids_.clear();
}

void MeshTarget::AllocateGrids(std::span<const MeshGrid> grids) {
  AllocateMesh(MeshGridVertexCount(grids) * 3);
  Mesh().SetGrids(grids);
}

}  // namespace pelorin
