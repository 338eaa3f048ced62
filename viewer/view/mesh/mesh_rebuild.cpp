#include "view/mesh/mesh_rebuild.h"

#include <vector>

#include "data/source_type.h"

namespace pelorin {
namespace {

// The visible sources' grids in model order, as SizeMesh lays them out.
std::vector<MeshGrid> VisibleGrids(const MeshSources& sources) {
  std::vector<MeshGrid> grids;
  for (int32_t m = 0; m < sources.Count(); ++m) {
    if (sources.Visible(m)) grids.push_back({sources.Width(m), sources.Height(m)});
  }
  return grids;
}

}  // namespace

MeshColouring ColouringOf(const MapMesh& mesh, DrawStyle style) {
  return {style, mesh.rangeMin, mesh.rangeMax, mesh.paletteBandWidth, mesh.paletteLastIndex};
}

size_t BuildMesh(size_t offset, const MeshSources& sources, int32_t m, MapMesh& mesh,
                 DrawStyle style) {
  MeshFrame frame;
  if (!sources.Frame(m, frame)) return 0;
  // A frame is built only into the room its source was given when the arrays were sized;
  // a frame of another size would spill into the next source's vertices.
  if (frame.width != sources.Width(m) || frame.height != sources.Height(m)) return 0;
  return BuildSourceMesh(offset, frame, ColouringOf(mesh, style), mesh.Vertices(), mesh.Colours());
}

void RebuildMesh(const MeshSources& sources, MeshTarget& map, DrawStyle style) {
  const bool recorded = sources.Kind() == SourceKind::Recorded;
  size_t offset = 0;
  for (int32_t m = 0; m < sources.Count(); ++m) {
    if (!sources.Visible(m)) continue;
    MeshFrame frame;
    if (recorded && sources.Frame(m, frame)) map.Mesh().averageValue = frame.average;
    BuildMesh(offset, sources, m, map.Mesh(), style);
    // Advance by the laid-out room even when nothing was built, so the sources after
    // this one stay where SizeMesh put them.
    offset += MeshFloatCount(sources.Width(m), sources.Height(m));
  }
  // Live, the average is model 0's, shown or not, from the very frame built here.
  MeshFrame first;
  if (!recorded && sources.Count() > 0 && sources.Frame(0, first))
    map.Mesh().averageValue = first.average;
  map.Invalidate();
}

size_t SnrPlotFloatCount(int32_t width, int32_t height) {
  if (width < 1 || height < 1) return 0;
  return 36 * (static_cast<size_t>(width) + static_cast<size_t>(height) - 2);
}

size_t SizeMesh(const MeshSources& sources, MeshTarget& map, SnrPlotTarget* snrPlot) {
  if (snrPlot != nullptr) {
    const bool diffFirst = sources.Count() > 0 && sources.SourceTypeOf(0) == kSourceDiff;
    snrPlot->SizeSnrPlot(diffFirst ? SnrPlotFloatCount(sources.Width(0), sources.Height(0)) : 0);
  }
  const std::vector<MeshGrid> grids = VisibleGrids(sources);
  map.AllocateGrids(grids);
  return MeshGridVertexCount(grids) * 3;
}

}  // namespace pelorin
