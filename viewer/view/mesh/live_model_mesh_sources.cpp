#include "view/mesh/live_model_mesh_sources.h"

#include <algorithm>

namespace pelorin {

LiveModelMeshSources::LiveModelMeshSources(std::vector<LiveMeshModel> models) {
  // A null model would be a caller's mistake; leaving it out keeps the rest drawable.
  std::erase_if(models, [](const LiveMeshModel& m) { return m.model == nullptr; });
  models_ = std::move(models);
  frames_.reserve(models_.size());
  for (const LiveMeshModel& m : models_) frames_.push_back(m.model->CurrentFrame());
}

bool LiveModelMeshSources::Frame(int32_t m, MeshFrame& frame) const {
  const LiveMeshModel& source = At(m);
  const LiveFrame* f = frames_[static_cast<size_t>(m)].get();
  if (f == nullptr) return false;
  // A frame whose buffers do not hold its own size is not read at all.
  const size_t cells = f->width > 0 && f->height > 0
                           ? static_cast<size_t>(f->width) * static_cast<size_t>(f->height)
                           : 0;
  if (cells == 0 || f->cells.size() < cells) return false;
  frame.width = f->width;
  frame.height = f->height;
  frame.cells = f->cells.data();
  frame.mask = f->mask.size() >= cells ? f->mask.data() : nullptr;
  frame.average = static_cast<float>(f->average);
  frame.rangeMin = source.model->GetRangeMin();
  frame.rangeMax = source.model->GetRangeMax();
  frame.maskLevelOn = source.maskLevelOn;
  return true;
}

}  // namespace pelorin
