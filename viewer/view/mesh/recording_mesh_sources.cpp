#include "view/mesh/recording_mesh_sources.h"

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

bool RecordingMeshSources::FrameAt(int32_t m, int32_t index, MeshFrame& frame) const {
  const PlayerModel* model = set_.GetModel(m);
  const FrameRecord* record = model != nullptr ? model->Frame(index) : nullptr;
  if (record == nullptr) return false;
  frame = MeshFrameOf(*record, model->GetRangeMin(), model->GetRangeMax(), model->HasMaskedCells());
  return true;
}

}  // namespace pelorin
