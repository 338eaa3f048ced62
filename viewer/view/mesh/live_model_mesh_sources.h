#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "data/live_model.h"
#include "view/mesh/mesh_sources.h"

namespace pelorin {

// One live model as the map reads it, with its IS_MASK setting: masked cells then sit at
// the level of the frame average instead of 0. The live model applies that setting only
// to its layout, so the caller hands it in.
struct LiveMeshModel {
  const InstantModel* model = nullptr;
  bool maskLevelOn = false;
};

// The live models as the mesh operations read them, model 0 first.
//
// The acquisition worker publishes every complete frame of a model while the window
// thread builds the mesh. This adapter takes each model's published frame once, when it
// is made, and holds it: a whole rebuild reads the same complete frames, never the
// worker's buffers, and a frame published meanwhile waits for the next rebuild. Make one
// per rebuild. Width and Height are the layout fixed at Start.
class LiveModelMeshSources final : public MeshSources {
 public:
  explicit LiveModelMeshSources(std::vector<LiveMeshModel> models);

  SourceKind Kind() const override { return SourceKind::Live; }
  int32_t Count() const override { return static_cast<int32_t>(models_.size()); }
  bool Visible(int32_t m) const override { return At(m).model->GetVisible(); }
  int32_t Width(int32_t m) const override { return At(m).model->Width(); }
  int32_t Height(int32_t m) const override { return At(m).model->Height(); }
  int32_t SourceTypeOf(int32_t m) const override { return At(m).model->GetSourceType(); }
  // The model's frame published last, as it was when this adapter was made.
  bool Frame(int32_t m, MeshFrame& frame) const override;

 private:
  const LiveMeshModel& At(int32_t m) const { return models_.at(static_cast<size_t>(m)); }

  std::vector<LiveMeshModel> models_;
  std::vector<std::shared_ptr<const LiveFrame>> frames_;  // null: no frame yet
};

}  // namespace pelorin
