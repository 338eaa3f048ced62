#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "data/source_type.h"
#include "view/mesh/mesh_rebuild.h"

namespace pelorin {
namespace {

constexpr int32_t kDiff = kSourceDiff;
constexpr int32_t kBase = kSourceBase;

// One source of the fakes: its laid-out size and, optionally, frames of values.
struct FakeSource {
  int32_t width = 0, height = 0;
  bool visible = true;
  int32_t sourceType = kBase;
  std::vector<std::vector<int32_t>> frames;  // each width x height cells
  std::vector<float> averages;
  int32_t frameWidth = -1;  // size the frames claim; -1 = the laid-out size

  bool Frame(size_t i, MeshFrame& out) const {
    if (i >= frames.size()) return false;
    out.width = frameWidth < 0 ? width : frameWidth;
    out.height = height;
    out.cells = frames[i].data();
    out.average = i < averages.size() ? averages[i] : 0.0f;
    out.rangeMin = 0;
    out.rangeMax = 100;
    return true;
  }
};

FakeSource Uniform(int32_t w, int32_t h, int32_t value, size_t frameCount = 1) {
  FakeSource s{w, h};
  for (size_t i = 0; i < frameCount; ++i) {
    s.frames.emplace_back(static_cast<size_t>(w * h), value + static_cast<int32_t>(i));
  }
  return s;
}

// Live models (their frame 0) or recorded sources at a frame index.
class FakeSources : public MeshSources {
 public:
  explicit FakeSources(SourceKind kind = SourceKind::Live) : kind_(kind) {}
  std::vector<FakeSource> models;
  int32_t frameIndex = 0;
  SourceKind Kind() const override { return kind_; }
  int32_t Count() const override { return static_cast<int32_t>(models.size()); }
  bool Visible(int32_t m) const override { return Get(m).visible; }
  int32_t Width(int32_t m) const override { return Get(m).width; }
  int32_t Height(int32_t m) const override { return Get(m).height; }
  int32_t SourceTypeOf(int32_t m) const override { return Get(m).sourceType; }
  bool Frame(int32_t m, MeshFrame& frame) const override {
    return frameIndex >= 0 && Get(m).Frame(static_cast<size_t>(frameIndex), frame);
  }

 private:
  const FakeSource& Get(int32_t m) const { return models.at(static_cast<size_t>(m)); }
  SourceKind kind_;
};

class FakeMap : public MeshTarget, public SnrPlotTarget {
 public:
  MapMesh& Mesh() override { return mesh; }
  void AllocateMesh(size_t floatCount) override {
    ++allocations;
    mesh.Allocate(floatCount);
  }
  void Invalidate() override { ++invalidations; }
  void SizeSnrPlot(size_t floatCount) override { snrFloats = floatCount; }

  MapMesh mesh;
  int allocations = 0;
  int invalidations = 0;
  std::optional<size_t> snrFloats;
};

// Style1 heights are value / 6: a uniform source's z tells which source a vertex is from.
float ZAt(const MapMesh& mesh, size_t vertex) { return mesh.Vertices()[3 * vertex + 2]; }

TEST(RebuildMesh, SourcesOfDifferentSizesLieOneAfterTheOther) {
  FakeSources live;
  live.models = {Uniform(3, 4, 60), Uniform(2, 5, 120)};
  FakeMap map;
  EXPECT_EQ(SizeMesh(live, map, &map), 18u * 6 + 18u * 4);
  EXPECT_EQ(map.mesh.VertexCount(), (18 * 6 + 18 * 4) / 3);
  EXPECT_EQ(std::vector<MeshGrid>(map.mesh.Grids().begin(), map.mesh.Grids().end()),
            (std::vector<MeshGrid>{{3, 4}, {2, 5}}));

  RebuildMesh(live, map, DrawStyle::Style1);
  EXPECT_EQ(map.invalidations, 1);
  const size_t firstVertices = 6 * 6;
  EXPECT_FLOAT_EQ(ZAt(map.mesh, 0), 10.0f);
  EXPECT_FLOAT_EQ(ZAt(map.mesh, firstVertices - 1), 10.0f);
  EXPECT_FLOAT_EQ(ZAt(map.mesh, firstVertices), 20.0f);
  EXPECT_FLOAT_EQ(ZAt(map.mesh, firstVertices + 4 * 6 - 1), 20.0f);
  // The second source starts over at the field's corner with its own grid.
  EXPECT_FLOAT_EQ(map.mesh.Vertices()[3 * firstVertices + 1], 80.0f / 5);
  EXPECT_FLOAT_EQ(map.mesh.Vertices()[3 * (firstVertices + 1)], 0.0f);
}

TEST(RebuildMesh, HiddenModelsTakeNoRoomAndAreNotDrawn) {
  FakeSources live;
  live.models = {Uniform(3, 4, 60), Uniform(2, 5, 120)};
  live.models[0].visible = false;
  FakeMap map;
  EXPECT_EQ(SizeMesh(live, map, &map), 18u * 4);
  ASSERT_EQ(map.mesh.Grids().size(), 1u);
  EXPECT_EQ(map.mesh.Grids()[0], (MeshGrid{2, 5}));
  RebuildMesh(live, map, DrawStyle::Style1);
  EXPECT_FLOAT_EQ(ZAt(map.mesh, 0), 20.0f);
}

TEST(RebuildMesh, ModelWithoutFrameKeepsItsRoom) {
  FakeSources live;
  live.models = {Uniform(3, 4, 60), Uniform(2, 5, 120)};
  live.models[0].frames.clear();
  FakeMap map;
  SizeMesh(live, map, &map);
  RebuildMesh(live, map, DrawStyle::Style1);
  EXPECT_FLOAT_EQ(ZAt(map.mesh, 0), 0.0f);       // untouched
  EXPECT_FLOAT_EQ(ZAt(map.mesh, 6 * 6), 20.0f);  // second source where it was laid out
}

TEST(RebuildMesh, FrameOfAnotherSizeIsSkippedNotSpilled) {
  FakeSources live;
  live.models = {Uniform(2, 3, 60), Uniform(2, 3, 120)};
  FakeMap map;
  SizeMesh(live, map, &map);
  live.models[0].frames[0].resize(9, 60);
  live.models[0].frameWidth = 3;  // grew since the arrays were sized
  RebuildMesh(live, map, DrawStyle::Style1);
  EXPECT_FLOAT_EQ(ZAt(map.mesh, 0), 0.0f);
  EXPECT_FLOAT_EQ(ZAt(map.mesh, 12), 20.0f);
  EXPECT_EQ(BuildMesh(0, live, 0, map.mesh, DrawStyle::Style1), 0u);
  EXPECT_EQ(BuildMesh(36, live, 1, map.mesh, DrawStyle::Style1), 36u);
}

TEST(RebuildMesh, BuildsWithTheMapRangeAndTheStyleOfTheMoment) {
  FakeSources live;
  live.models = {Uniform(2, 2, 100)};
  FakeMap map;
  SizeMesh(live, map, &map);
  map.mesh.rangeMin = 0;
  map.mesh.rangeMax = 100;
  RebuildMesh(live, map, DrawStyle::Style2);
  EXPECT_FLOAT_EQ(ZAt(map.mesh, 0), 89.0f);
  EXPECT_FLOAT_EQ(map.mesh.Colours()[0], 1.0f);  // red at the top of the map's range
  map.mesh.rangeMax = 400;
  RebuildMesh(live, map, DrawStyle::Style2);
  EXPECT_FLOAT_EQ(map.mesh.Colours()[0], 0.0f);  // 100 is now a quarter of the way: cyan
  EXPECT_FLOAT_EQ(map.mesh.Colours()[2], 1.0f);
}

TEST(SizeMesh, LiveSizingAlsoSizesTheSnrPlotForADiffFirstSource) {
  FakeSources live;
  live.models = {Uniform(2, 2, 0), Uniform(4, 4, 0)};
  live.models[0].sourceType = kDiff;
  live.models[0].visible = false;  // the plot follows model 0 even when it is hidden
  FakeMap map;
  SizeMesh(live, map, &map);
  EXPECT_EQ(map.snrFloats, 72u);
  EXPECT_EQ(SnrPlotFloatCount(64, 128), 36u * 190);

  live.models[0].sourceType = kBase;
  SizeMesh(live, map, &map);
  EXPECT_EQ(map.snrFloats, 0u);

  live.models.clear();
  EXPECT_EQ(SizeMesh(live, map, &map), 0u);
  EXPECT_EQ(map.snrFloats, 0u);
  EXPECT_EQ(map.mesh.VertexCount(), 0);
}

TEST(SizeMesh, NarrowFramesTakeNoRoomAndPlotNothingNegative) {
  FakeSources live;
  live.models = {Uniform(1, 8, 0), Uniform(3, 1, 0)};
  live.models[0].sourceType = kDiff;
  FakeMap map;
  EXPECT_EQ(SizeMesh(live, map, &map), 0u);
  EXPECT_EQ(map.snrFloats, 36u * 7);
  EXPECT_EQ(SnrPlotFloatCount(1, 1), 0u);
  EXPECT_EQ(SnrPlotFloatCount(0, 0), 0u);
  RebuildMesh(live, map, DrawStyle::Style2);  // nothing to write, nothing written
  EXPECT_EQ(map.invalidations, 1);
}

TEST(SizeMesh, AllocationResetsTheAverage) {
  FakeSources live;
  live.models = {Uniform(2, 2, 0)};
  FakeMap map;
  map.mesh.averageValue = 12.5f;
  SizeMesh(live, map, &map);
  EXPECT_EQ(map.allocations, 1);
  EXPECT_FLOAT_EQ(map.mesh.averageValue, 0.0f);
}

TEST(RebuildMeshRecorded, BuildsTheFrameAtTheIndexAndTakesItsAverage) {
  FakeSources recorded(SourceKind::Recorded);
  recorded.models = {Uniform(3, 3, 60, 3), Uniform(2, 4, 120, 3)};
  recorded.models[0].averages = {1.0f, 2.0f, 3.0f};
  recorded.models[1].averages = {7.0f, 8.0f, 9.0f};
  FakeMap map;
  EXPECT_EQ(SizeMesh(recorded, map), 18u * 4 + 18u * 3);

  recorded.frameIndex = 2;
  RebuildMesh(recorded, map, DrawStyle::Style1);
  EXPECT_FLOAT_EQ(ZAt(map.mesh, 0), 10.0f);      // frame 2 holds 62; 62 / 6 = 10
  EXPECT_FLOAT_EQ(ZAt(map.mesh, 4 * 6), 20.0f);  // 122 / 6
  EXPECT_FLOAT_EQ(map.mesh.averageValue, 9.0f);  // the last source built wins
  EXPECT_EQ(map.invalidations, 1);

  recorded.models[1].visible = false;
  recorded.frameIndex = 1;
  RebuildMesh(recorded, map, DrawStyle::Style1);
  EXPECT_FLOAT_EQ(map.mesh.averageValue, 2.0f);
}

TEST(RebuildMeshRecorded, IndexPastASourcesFramesLeavesItsRoomAlone) {
  FakeSources recorded(SourceKind::Recorded);
  recorded.models = {Uniform(2, 2, 60, 1), Uniform(2, 2, 120, 2)};
  recorded.models[1].averages = {0.0f, 5.0f};
  FakeMap map;
  SizeMesh(recorded, map);
  recorded.frameIndex = 1;
  RebuildMesh(recorded, map, DrawStyle::Style1);
  EXPECT_FLOAT_EQ(ZAt(map.mesh, 0), 0.0f);
  EXPECT_FLOAT_EQ(ZAt(map.mesh, 6), 20.0f);
  EXPECT_FLOAT_EQ(map.mesh.averageValue, 5.0f);
  recorded.frameIndex = 1;
  EXPECT_EQ(BuildMesh(0, recorded, 0, map.mesh, DrawStyle::Style1), 0u);
  recorded.frameIndex = -1;
  EXPECT_EQ(BuildMesh(0, recorded, 0, map.mesh, DrawStyle::Style1), 0u);
  recorded.frameIndex = 0;
  EXPECT_EQ(BuildMesh(0, recorded, 0, map.mesh, DrawStyle::Style1), 18u);
}

// The one difference between the kinds: which frame's average the map levels on.
TEST(RebuildMesh, TheAverageIsModelZerosLiveAndTheLastBuiltRecorded) {
  struct Case {
    SourceKind kind;
    bool firstVisible;
    bool secondHasFrame;
    float average;
  };
  const Case cases[] = {
      {SourceKind::Live, true, true, 1.0f},
      {SourceKind::Live, false, true, 1.0f},  // model 0 hidden: still its average
      {SourceKind::Recorded, true, true, 7.0f},
      {SourceKind::Recorded, false, true, 7.0f},
      {SourceKind::Recorded, true, false, 1.0f},  // no frame: the one before stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << (c.kind == SourceKind::Live ? "live" : "recorded") << " first visible "
                 << c.firstVisible << " second frame " << c.secondHasFrame);
    FakeSources sources(c.kind);
    sources.models = {Uniform(2, 2, 60), Uniform(2, 2, 120)};
    sources.models[0].averages = {1.0f};
    sources.models[1].averages = {7.0f};
    sources.models[0].visible = c.firstVisible;
    if (!c.secondHasFrame) sources.models[1].frames.clear();
    FakeMap map;
    SizeMesh(sources, map);
    RebuildMesh(sources, map, DrawStyle::Style1);
    EXPECT_FLOAT_EQ(map.mesh.averageValue, c.average);
  }
}

TEST(SizeMesh, WithoutAPlotOnlyTheMapIsSized) {
  FakeSources recorded(SourceKind::Recorded);
  recorded.models = {Uniform(2, 2, 0)};
  recorded.models[0].sourceType = kDiff;
  FakeMap map;
  EXPECT_EQ(SizeMesh(recorded, map), 18u);
  EXPECT_FALSE(map.snrFloats.has_value());
}

}  // namespace
}  // namespace pelorin
