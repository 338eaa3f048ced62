// The map's mesh between a building thread and the painting thread: a paint's copy is
// always one whole build, also while the arrays are rebuilt and reallocated.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "view/mesh/mesh_rebuild.h"
#include "view/mesh/recording_mesh_sources.h"
#include "view/mesh/shared_map_mesh.h"

namespace pelorin {
namespace {

// The map as the builders see it, over a shared mesh.
class SharedTarget : public MeshTarget {
 public:
  explicit SharedTarget(SharedMapMesh& shared) : shared_(shared) {}
  MapMesh& Mesh() override { return shared_.Unguarded(); }
  void AllocateMesh(size_t floatCount) override {
    shared_.Change([&](MapMesh& mesh) { mesh.Allocate(floatCount); });
  }
  void Invalidate() override {}

 private:
  SharedMapMesh& shared_;
};

// A recording of one w x h source with `frames` frames; frame i holds 6 * (i + 1) in
// every cell, so Style1 puts all of frame i at height i + 1.
std::unique_ptr<RecordingSet> Recording(int32_t w, int32_t h, int32_t frames) {
  auto set = std::make_unique<RecordingSet>();
  PlayerModel& model = set->AddSource(w, h, frames);
  for (int32_t i = 0; i < frames; ++i) {
    auto record = std::make_unique<FrameRecord>(w, h);
    for (int32_t x = 0; x < w; ++x)
      for (int32_t y = 0; y < h; ++y) record->Cell(x, y) = 6 * (i + 1);
    record->average = static_cast<float>(i);
    model.AppendFrame(std::move(record));
  }
  return set;
}

TEST(SharedMapMesh, ACopyHoldsTheMeshAndTheFrameValues) {
  SharedMapMesh shared;
  SharedTarget target(shared);
  const auto set = Recording(3, 3, 2);
  const RecordingMeshSources sources(*set, 1);
  SizeMesh(sources, target);
  shared.Change([&](MapMesh&) { RebuildMesh(sources, target, DrawStyle::Style1); });
  shared.SetMaxLabel(77);
  shared.SetMinLabel(-3);

  SharedMapMesh::Copy copy;
  shared.CopyTo(copy);
  EXPECT_EQ(copy.VertexCount(), 4 * 6);
  EXPECT_EQ(copy.vertices[2], 2.0f);
  EXPECT_EQ(copy.colours.size(), copy.vertices.size());
  EXPECT_FLOAT_EQ(copy.averageValue, 1.0f);
  EXPECT_EQ(copy.maxLabel, 77);
  EXPECT_EQ(copy.minLabel, -3);
  ASSERT_EQ(copy.grids.size(), 1u);
  EXPECT_EQ(copy.grids[0], (MeshGrid{3, 3}));

  // Later changes reach the next copy only.
  shared.SetAverageValue(9.0f);
  EXPECT_FLOAT_EQ(copy.averageValue, 1.0f);
  target.AllocateMesh(0);
  shared.CopyTo(copy);
  EXPECT_EQ(copy.VertexCount(), 0);
  EXPECT_TRUE(copy.grids.empty());  // an allocation forgets the grids
  EXPECT_FLOAT_EQ(copy.averageValue, 0.0f);
}

// A player thread steps through two recordings of different sizes, sizing the arrays
// anew at every switch, while this thread takes paint copies: each copy must be one
// frame of one layout.
TEST(SharedMapMesh, PaintCopiesNeverMixTwoBuildsOrLayouts) {
  constexpr int kSteps = 400;
  const auto small = Recording(4, 5, 8);
  const auto large = Recording(16, 32, 8);
  SharedMapMesh shared;
  SharedTarget target(shared);

  std::atomic<bool> done{false};
  std::thread player([&] {
    for (int step = 0; step < kSteps; ++step) {
      const RecordingMeshSources sources((step / 8) % 2 == 0 ? *small : *large, step % 8);
      shared.Change([&](MapMesh& mesh) {
        if (step % 8 == 0) mesh.Allocate(MeshFloatCount(sources.Width(0), sources.Height(0)));
        RebuildMesh(sources, target, DrawStyle::Style1);
      });
    }
    done = true;
  });

  SharedMapMesh::Copy copy;
  int copies = 0;
  bool finished = false;
  while (!finished) {
    finished = done.load();
    shared.CopyTo(copy);
    ++copies;
    const int32_t n = copy.VertexCount();
    ASSERT_TRUE(n == 0 || n == 3 * 4 * 6 || n == 15 * 31 * 6) << n << " vertices";
    if (n == 0) continue;
    const float z = copy.vertices[2];
    ASSERT_GE(z, 1.0f);
    for (int32_t v = 0; v < n; ++v) ASSERT_EQ(copy.vertices[3 * static_cast<size_t>(v) + 2], z);
    ASSERT_FLOAT_EQ(copy.averageValue, z - 1.0f);  // the frame's own average
  }
  player.join();
  EXPECT_GT(copies, 0);
  EXPECT_EQ(copy.VertexCount(), 15 * 31 * 6);  // the last step built the large layout
}

}  // namespace
}  // namespace pelorin
