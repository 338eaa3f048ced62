#include "view/mesh/shared_map_mesh.h"

namespace pelorin {

void SharedMapMesh::SetMaxLabel(int32_t value) {
  std::lock_guard lock(mutex_);
  maxLabel_ = value;
}

void SharedMapMesh::SetMinLabel(int32_t value) {
  std::lock_guard lock(mutex_);
  minLabel_ = value;
}

void SharedMapMesh::SetAverageValue(float value) {
  std::lock_guard lock(mutex_);
  mesh_.averageValue = value;
}

void SharedMapMesh::CopyTo(Copy& copy) const {
  std::lock_guard lock(mutex_);
  copy.vertices.assign(mesh_.Vertices().begin(), mesh_.Vertices().end());
  copy.colours.assign(mesh_.Colours().begin(), mesh_.Colours().end());
  copy.grids.assign(mesh_.Grids().begin(), mesh_.Grids().end());
  copy.averageValue = mesh_.averageValue;
  copy.maxLabel = maxLabel_;
  copy.minLabel = minLabel_;
}

}  // namespace pelorin
