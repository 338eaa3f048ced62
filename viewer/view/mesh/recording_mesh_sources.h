#pragma once
#include <cstdint>

#include "data/recording/recording_set.h"
#include "view/mesh/mesh_sources.h"

namespace pelorin {

// The recorded sources of a loaded file as the mesh operations read them. Masked cells
// of a source sit at the average's level when its file had any "N/A" cell.
class RecordingMeshSources final : public PlaybackMeshSources {
 public:
  explicit RecordingMeshSources(const RecordingSet& set) : set_(set) {}

  int32_t Count() const override { return set_.Count(); }
  bool Visible(int32_t m) const override { return set_.GetVisible(m); }
  int32_t Width(int32_t m) const override { return set_.GetWidth(m); }
  int32_t Height(int32_t m) const override { return set_.GetHeight(m); }
  bool FrameAt(int32_t m, int32_t index, MeshFrame& frame) const override;

 private:
  const RecordingSet& set_;
};

// A stored frame as the builders read it, with a source's range and mask-level flag.
MeshFrame MeshFrameOf(const FrameRecord& record, int32_t rangeMin, int32_t rangeMax,
                      bool maskLevelOn);

}  // namespace pelorin
