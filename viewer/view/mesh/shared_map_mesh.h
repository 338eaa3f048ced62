#pragma once
#include <cstdint>
#include <mutex>
#include <vector>

#include "view/mesh/map_mesh.h"

namespace pelorin {

// The map's mesh with the values of the frame on display beside it (its average, its
// largest and smallest cell), shared between the thread that builds it (the window
// thread, or the playback thread during playback) and the window thread that paints.
// Every change happens under one lock; a paint takes a copy under the same lock and
// draws from the copy, so it never waits for the GL calls of another paint nor sees a
// half-built or reallocated array, and a builder never waits longer than one copy.
class SharedMapMesh {
 public:
  // What one paint draws.
  struct Copy {
    std::vector<float> vertices;
    std::vector<float> colours;
    std::vector<MeshGrid> grids;
    float averageValue = 0.0f;
    int32_t maxLabel = 0;
    int32_t minLabel = 0;
    int32_t VertexCount() const { return static_cast<int32_t>(vertices.size() / 3); }
  };

  // Runs f(MapMesh&) under the lock; builds and allocations go through here.
  template <class F>
  decltype(auto) Change(F&& f) {
    std::lock_guard lock(mutex_);
    return f(mesh_);
  }
  // The mesh itself, for code already inside Change (the builders reach it through the
  // map's MeshTarget) and for reading on the building thread.
  MapMesh& Unguarded() { return mesh_; }

  void SetMaxLabel(int32_t value);
  void SetMinLabel(int32_t value);
  void SetAverageValue(float value);

  // Copies the mesh into `copy`, reusing its storage.
  void CopyTo(Copy& copy) const;

 private:
  mutable std::mutex mutex_;
  MapMesh mesh_;
  int32_t maxLabel_ = 0;
  int32_t minLabel_ = 0;
};

}  // namespace pelorin
