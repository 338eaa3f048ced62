#include "view/mesh/recording_mesh_sources.h"

#include "data/source_type.h"

namespace pelorin {

MeshFrame MeshFrameOf(const FrameRecord& record, int32_t rangeMin, int32_t rangeMax,
                      bool maskLevelOn) {
  MeshFrame frame;
  frame.width = record.Width();
  frame.height = record.Height();
  frame.cells = record.CellData();
  frame.mask = record.MaskData();
  frame.average = record.average;
  frame.rangeMin = rangeMin;
  frame.rangeMax = rangeMax;
  frame.maskLevelOn = maskLevelOn;
  return frame;
}

int32_t RecordingMeshSources::SourceTypeOf(int32_t m) const {
  const PlayerModel* model = set_.GetModel(m);
  return model != nullptr ? model->GetSourceType() : kSourceNone;
}

bool RecordingMeshSources::Frame(int32_t m, MeshFrame& frame) const {
  const PlayerModel* model = set_.GetModel(m);
  const FrameRecord* record = model != nullptr ? model->Frame(frameIndex_) : nullptr;
  if (record == nullptr) return false;
  frame = MeshFrameOf(*record, model->GetRangeMin(), model->GetRangeMax(), model->HasMaskedCells());
  return true;
}

}  // namespace pelorin
