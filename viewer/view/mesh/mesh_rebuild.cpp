#include "view/mesh/mesh_rebuild.h"

#include <vector>

#include "data/source_type.h"

namespace pelorin {
namespace {

// A frame is built only into the room its source was given when the arrays were
// sized; a frame of another size would spill into the next source's vertices.
bool FitsLayout(const MeshFrame& frame, int32_t width, int32_t height) {
  return frame.width == width && frame.height == height;
}

size_t BuildFrame(size_t offset, const MeshFrame& frame, int32_t width, int32_t height,
                  MapMesh& mesh, DrawStyle style) {
  if (!FitsLayout(frame, width, height)) return 0;
  return BuildSourceMesh(offset, frame, ColouringOf(mesh, style), mesh.Vertices(), mesh.Colours());
}

// The visible sources' grids in model order, as SizeMesh lays them out.
template <class Sources>
std::vector<MeshGrid> VisibleGrids(const Sources& sources) {
  std::vector<MeshGrid> grids;
  for (int32_t m = 0; m < sources.Count(); ++m) {
    if (sources.Visible(m)) grids.push_back({sources.Width(m), sources.Height(m)});
  }
  return grids;
}

template <class Sources>
size_t AllocateVisible(const Sources& sources, MeshTarget& map) {
  const std::vector<MeshGrid> grids = VisibleGrids(sources);
  map.AllocateGrids(grids);
  return MeshGridVertexCount(grids) * 3;
}

}  // namespace

MeshColouring ColouringOf(const MapMesh& mesh, DrawStyle style) {
  return {style, mesh.rangeMin, mesh.rangeMax, mesh.paletteBandWidth, mesh.paletteLastIndex};
}

size_t BuildLiveMesh(size_t offset, const LiveMeshSources& live, int32_t m, MapMesh& mesh,
                     DrawStyle style) {
  MeshFrame frame;
  if (!live.CurrentFrame(m, frame)) return 0;
  return BuildFrame(offset, frame, live.Width(m), live.Height(m), mesh, style);
}

size_t BuildPlaybackMesh(size_t offset, const PlaybackMeshSources& recorded, int32_t m,
                         int32_t frameIndex, MapMesh& mesh, DrawStyle style) {
  MeshFrame frame;
  if (!recorded.FrameAt(m, frameIndex, frame)) return 0;
  return BuildFrame(offset, frame, recorded.Width(m), recorded.Height(m), mesh, style);
}

void RebuildLiveMesh(const LiveMeshSources& live, MeshTarget& map, DrawStyle style) {
  size_t offset = 0;
  for (int32_t m = 0; m < live.Count(); ++m) {
    if (!live.Visible(m)) continue;
    BuildLiveMesh(offset, live, m, map.Mesh(), style);
    // Advance by the laid-out room even when nothing was built, so the sources after
    // this one stay where SizeMesh put them.
    offset += MeshFloatCount(live.Width(m), live.Height(m));
  }
  // The average the map levels its picking and masked cells on is model 0's, shown or
  // not, and comes from the very frame built here.
  MeshFrame first;
  if (live.Count() > 0 && live.CurrentFrame(0, first)) map.Mesh().averageValue = first.average;
  map.Invalidate();
}

void RebuildPlaybackMesh(const PlaybackMeshSources& recorded, int32_t frameIndex,
                         MeshTarget& map, DrawStyle style) {
  size_t offset = 0;
  for (int32_t m = 0; m < recorded.Count(); ++m) {
    if (!recorded.Visible(m)) continue;
    MeshFrame frame;
    if (recorded.FrameAt(m, frameIndex, frame)) {
      map.Mesh().averageValue = frame.average;
      BuildFrame(offset, frame, recorded.Width(m), recorded.Height(m), map.Mesh(), style);
    }
    offset += MeshFloatCount(recorded.Width(m), recorded.Height(m));
  }
  map.Invalidate();
}

size_t SnrPlotFloatCount(int32_t width, int32_t height) {
  if (width < 1 || height < 1) return 0;
  return 36 * (static_cast<size_t>(width) + static_cast<size_t>(height) - 2);
}

size_t SizeMesh(const LiveMeshSources& live, MeshTarget& map, SnrPlotTarget& snrPlot) {
  const bool diffFirst = live.Count() > 0 && live.SourceTypeOf(0) == kSourceDiff;
  snrPlot.SizeSnrPlot(diffFirst ? SnrPlotFloatCount(live.Width(0), live.Height(0)) : 0);
  return AllocateVisible(live, map);
}

size_t SizeMesh(const PlaybackMeshSources& recorded, MeshTarget& map) {
  return AllocateVisible(recorded, map);
}

}  // namespace pelorin
