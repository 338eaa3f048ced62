#include <gtest/gtest.h>

#include <memory>

#include "view/mesh/levels.h"
#include "view/mesh/mesh_rebuild.h"
#include "view/mesh/recording_mesh_sources.h"

namespace pelorin {
namespace {

class CountingMap : public MeshTarget {
 public:
  MapMesh& Mesh() override { return mesh; }
  void AllocateMesh(size_t floatCount) override { mesh.Allocate(floatCount); }
  void Invalidate() override {}
  MapMesh mesh;
};

// Adds a source of `frames` frames whose cells all hold frame index x 10 + 50, with
// cell (0, 0) masked and the frame average 30 + frame index.
PlayerModel& AddSource(RecordingSet& set, int32_t w, int32_t h, int32_t frames) {
  PlayerModel& model = set.AddSource(w, h, frames);
  model.SetRangeMin(0);
  model.SetRangeMax(100);
  for (int32_t i = 0; i < frames; ++i) {
    auto record = std::make_unique<FrameRecord>(w, h);
    for (int32_t x = 0; x < w; ++x) {
      for (int32_t y = 0; y < h; ++y) record->Cell(x, y) = 50 + 10 * i;
    }
    record->SetCellValid(0, 0, false);
    record->average = 30.0f + static_cast<float>(i);
    model.AppendFrame(std::move(record));
  }
  return model;
}

TEST(RecordingMeshSources, PlaysTheRecordedFramesIntoTheMap) {
  RecordingSet set;
  AddSource(set, 3, 2, 2).SetHasMaskedCells(true);
  AddSource(set, 2, 4, 2);
  const RecordingMeshSources sources(set, 1);
  CountingMap map;
  ASSERT_EQ(SizeMesh(sources, map), 18u * 2 + 18u * 3);

  RebuildMesh(sources, map, DrawStyle::Style2);
  const auto v = map.mesh.Vertices();
  // Source 0, square 0, P00 is the masked cell: at the level of average 31.
  EXPECT_FLOAT_EQ(v[3 * 1 + 2], RefLevel(31.0f, 0, 100));
  EXPECT_FLOAT_EQ(v[3 * 0 + 2], HeightOf(60, 0, 100));
  // Source 1 has no masked cells in its file: its masked corner lies at 0.
  EXPECT_FLOAT_EQ(v[3 * (12 + 1) + 2], 0.0f);
  EXPECT_FLOAT_EQ(v[3 * 12 + 2], HeightOf(60, 0, 100));
  EXPECT_FLOAT_EQ(map.mesh.averageValue, 31.0f);
}

TEST(RecordingMeshSources, HiddenSourcesAndMissingFramesAreLeftOut) {
  RecordingSet set;
  AddSource(set, 2, 2, 1);
  AddSource(set, 2, 2, 3);
  MeshFrame frame;
  EXPECT_FALSE(RecordingMeshSources(set, 1).Frame(0, frame));
  EXPECT_FALSE(RecordingMeshSources(set, -1).Frame(0, frame));
  const RecordingMeshSources sources(set, 2);
  ASSERT_TRUE(sources.Frame(1, frame));
  EXPECT_EQ(frame.cells[3], 70);
  EXPECT_EQ(frame.mask[0], 0);
  EXPECT_EQ(frame.mask[1], 1);

  set.SetVisible(0, false);
  CountingMap map;
  EXPECT_EQ(SizeMesh(sources, map), 18u);
  RebuildMesh(sources, map, DrawStyle::Style1);
  EXPECT_FLOAT_EQ(map.mesh.Vertices()[2], 11.0f);  // 70 / 6
}

}  // namespace
}  // namespace pelorin
