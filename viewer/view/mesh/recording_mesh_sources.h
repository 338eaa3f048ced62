#pragma once
#include <cstdint>

#include "data/recording/recording_set.h"
#include "view/mesh/mesh_sources.h"

namespace pelorin {

// The recorded sources of a loaded file as the mesh operations read them, at one frame
// index: each source's frame is its frame at that index. Masked cells of a source sit at
// the average's level when its file had any "N/A" cell. Make one per rebuild.
class RecordingMeshSources final : public MeshSources {
 public:
  RecordingMeshSources(const RecordingSet& set, int32_t frameIndex)
      : set_(set), frameIndex_(frameIndex) {}

  SourceKind Kind() const override { return SourceKind::Recorded; }
  int32_t Count() const override { return set_.Count(); }
  bool Visible(int32_t m) const override { return set_.GetVisible(m); }
  int32_t Width(int32_t m) const override { return set_.GetWidth(m); }
  int32_t Height(int32_t m) const override { return set_.GetHeight(m); }
  int32_t SourceTypeOf(int32_t m) const override;
  // False when the source has no frame at the index.
  bool Frame(int32_t m, MeshFrame& frame) const override;

 private:
  const RecordingSet& set_;
  int32_t frameIndex_;
};

// A stored frame as the builders read it, with a source's range and mask-level flag.
MeshFrame MeshFrameOf(const FrameRecord& record, int32_t rangeMin, int32_t rangeMax,
                      bool maskLevelOn);

}  // namespace pelorin
