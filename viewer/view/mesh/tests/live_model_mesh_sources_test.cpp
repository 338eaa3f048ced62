// The live models as the map reads them: laid out after one another, hidden ones left
// out, nothing before the first frame, and always a whole published frame, also while a
// worker keeps reading.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "data/source_type.h"
#include "data/tests/scripted_device.h"
#include "view/mesh/levels.h"
#include "view/mesh/live_model_mesh_sources.h"
#include "view/mesh/mesh_rebuild.h"

namespace pelorin {
namespace {

using testing::FakeChip;
using testing::MakeBlock;
using testing::ScriptedDevice;

constexpr uint32_t kRawRegion = 0x53000000u;

// A single-chip panel of `drive` x `sense` cells, all holding `value`.
class Panel {
 public:
  Panel(uint8_t drive, uint8_t sense, int value) : drive_(drive), sense_(sense) {
    FakeChip chip;
    chip.drive = drive;
    chip.sense = sense;
    dev_.chips = {chip};
    Fill(value);
  }
  // Every cell of the next frame read holds `value` (0 .. 255).
  void Fill(int value) {
    const std::vector<uint8_t> block =
        MakeBlock(drive_, sense_, [value](int, int) { return value; });
    for (uint32_t region : {0x51000000u, 0x52000000u, kRawRegion})
      dev_.chips[0].blocks[region] = block;
  }
  // A model laid out for this panel, with the display range 0 .. 255.
  std::unique_ptr<InstantModel> Model(const char* maskDrives = "") {
    auto model = std::make_unique<InstantModel>(dev_.Io());
    model->SetSourceType(kSourceRawData);
    model->SetReadAddress(SourceReadAddress(kSourceRawData));
    model->SetRangeMin(0);
    model->SetRangeMax(255);
    if (*maskDrives != '\0') {
      model->SetMaskOn(true);
      model->SetMaskDriveList(maskDrives);
    }
    EXPECT_TRUE(model->DetectChips() && model->SetChipOrder("") && model->PrepareFrameBuffers());
    return model;
  }

 private:
  ScriptedDevice dev_;
  uint8_t drive_, sense_;
};

class Map : public MeshTarget, public SnrPlotTarget {
 public:
  MapMesh& Mesh() override { return mesh; }
  void AllocateMesh(size_t floatCount) override { mesh.Allocate(floatCount); }
  void Invalidate() override { ++invalidations; }
  void SizeSnrPlot(size_t) override {}
  MapMesh mesh;
  int invalidations = 0;
};

float Z(const MapMesh& mesh, size_t vertex) { return mesh.Vertices()[3 * vertex + 2]; }

TEST(LiveModelMeshSources, TwoModelsLieOneAfterTheOtherAndHiddenOnesAreLeftOut) {
  Panel a(3, 4, 60);
  Panel b(2, 5, 120);
  auto first = a.Model();
  auto second = b.Model();
  ASSERT_TRUE(first->ReadFrame());
  ASSERT_TRUE(second->ReadFrame());

  Map map;
  {
    const LiveModelMeshSources sources({{first.get(), false}, {second.get(), false}});
    EXPECT_EQ(sources.Width(0), 3);
    EXPECT_EQ(sources.Height(1), 5);
    EXPECT_EQ(sources.SourceTypeOf(0), kSourceRawData);
    EXPECT_EQ(SizeMesh(sources, map, &map), 18u * 2 * 3 + 18u * 1 * 4);
    RebuildMesh(sources, map, DrawStyle::Style1);
  }
  EXPECT_FLOAT_EQ(Z(map.mesh, 0), 10.0f);  // 60 / 6
  EXPECT_FLOAT_EQ(Z(map.mesh, 6 * 6 - 1), 10.0f);
  EXPECT_FLOAT_EQ(Z(map.mesh, 6 * 6), 20.0f);     // the second model right after
  EXPECT_FLOAT_EQ(map.mesh.averageValue, 60.0f);  // model 0's frame average
  EXPECT_EQ(map.invalidations, 1);

  first->SetVisible(false);
  const LiveModelMeshSources sources({{first.get(), false}, {second.get(), false}});
  EXPECT_EQ(SizeMesh(sources, map, &map), 18u * 4);
  RebuildMesh(sources, map, DrawStyle::Style1);
  EXPECT_FLOAT_EQ(Z(map.mesh, 0), 20.0f);
  // The map's average follows model 0 also while it is hidden.
  EXPECT_FLOAT_EQ(map.mesh.averageValue, 60.0f);
}

TEST(LiveModelMeshSources, BeforeTheFirstFrameNothingIsBuilt) {
  Panel a(3, 3, 90);
  auto model = a.Model();
  const LiveModelMeshSources sources({{model.get(), false}});
  MeshFrame frame;
  EXPECT_FALSE(sources.Frame(0, frame));
  Map map;
  EXPECT_EQ(SizeMesh(sources, map, &map), 18u * 4);
  RebuildMesh(sources, map, DrawStyle::Style1);
  for (const float f : map.mesh.Vertices()) ASSERT_EQ(f, 0.0f);
  EXPECT_EQ(map.mesh.averageValue, 0.0f);
  EXPECT_EQ(map.invalidations, 1);

  const LiveModelMeshSources none({{nullptr, false}});
  EXPECT_EQ(none.Count(), 0);
}

TEST(LiveModelMeshSources, KeepsTheFramesItTookWhileNewerOnesArrive) {
  Panel a(2, 2, 30);
  auto model = a.Model();
  ASSERT_TRUE(model->ReadFrame());
  const LiveModelMeshSources taken({{model.get(), false}});
  a.Fill(200);
  ASSERT_TRUE(model->ReadFrame());
  ASSERT_TRUE(model->ReadFrame());  // the frame taken is no longer the model's

  MeshFrame frame;
  ASSERT_TRUE(taken.Frame(0, frame));
  EXPECT_EQ(frame.cells[3], 30);
  const LiveModelMeshSources fresh({{model.get(), false}});
  ASSERT_TRUE(fresh.Frame(0, frame));
  EXPECT_EQ(frame.cells[3], 200);
}

TEST(LiveModelMeshSources, MaskedCellsSitAtTheMaskLevelWhenAsked) {
  Panel a(3, 2, 100);
  auto model = a.Model("1");  // drive line 1 masked
  ASSERT_TRUE(model->ReadFrame());
  Map map;
  map.mesh.rangeMin = 0;
  map.mesh.rangeMax = 255;
  for (const bool level : {false, true}) {
    const LiveModelMeshSources sources({{model.get(), level}});
    MeshFrame frame;
    ASSERT_TRUE(sources.Frame(0, frame));
    EXPECT_EQ(frame.maskLevelOn, level);
    EXPECT_EQ(frame.rangeMax, 255);
    SizeMesh(sources, map, &map);
    RebuildMesh(sources, map, DrawStyle::Style2);
    // Vertex 1 is P00 = cell (0, 0); vertex 2 is P10 = cell (1, 0), masked.
    EXPECT_FLOAT_EQ(Z(map.mesh, 1), HeightOf(100, 0, 255));
    EXPECT_FLOAT_EQ(Z(map.mesh, 2), level ? RefLevel(frame.average, 0, 255) : 0.0f);
    EXPECT_EQ(map.mesh.Colours()[3 * 2 + 1], 0.0f);  // masked: black
  }
}

// A worker reads frames whose cells all hold the frame's own number while the window
// thread rebuilds: every build must show one frame, never a mix of two.
TEST(LiveModelMeshSources, RebuildsDuringAcquisitionSeeWholeFrames) {
  constexpr int kFrames = 150;
  Panel a(8, 16, 0);
  auto model = a.Model();
  Map map;
  map.mesh.rangeMin = 0;
  map.mesh.rangeMax = 255;
  {
    const LiveModelMeshSources sources({{model.get(), false}});
    SizeMesh(sources, map, &map);
  }
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 1; i <= kFrames; ++i) {
      a.Fill(i);
      model->ReadFrame();
    }
    done = true;
  });
  int built = 0;
  bool finished = false;
  while (!finished) {
    finished = done.load();  // one more rebuild after the worker's last frame
    const LiveModelMeshSources sources({{model.get(), false}});
    MeshFrame frame;
    if (!sources.Frame(0, frame)) continue;
    RebuildMesh(sources, map, DrawStyle::Style2);
    ++built;
    const float first = Z(map.mesh, 0);
    for (int32_t v = 0; v < map.mesh.VertexCount(); ++v) {
      ASSERT_EQ(Z(map.mesh, static_cast<size_t>(v)), first) << "vertex " << v;
    }
    ASSERT_FLOAT_EQ(first, HeightOf(static_cast<int32_t>(map.mesh.averageValue), 0, 255));
  }
  worker.join();
  EXPECT_GT(built, 0);
  EXPECT_FLOAT_EQ(map.mesh.averageValue, static_cast<float>(kFrames));
}

}  // namespace
}  // namespace pelorin
