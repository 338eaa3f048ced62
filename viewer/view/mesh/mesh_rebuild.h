#pragma once
#include <cstddef>
#include <cstdint>

#include "view/mesh/draw_style.h"
#include "view/mesh/map_mesh.h"
#include "view/mesh/mesh_sources.h"
#include "view/mesh/source_mesh.h"

namespace pelorin {

// The main window's mesh operations. Sources are laid one after another in the map's
// arrays, in model order, each visible source taking MeshFloatCount(Width, Height)
// floats per array. SizeMesh allocates; the builders only write into what it made.
// During playback the callers hold the playback lock around every call.

// The colouring of a build: the draw style of the moment and the map's range and bands.
MeshColouring ColouringOf(const MapMesh& mesh, DrawStyle style);

// Builds live model m's current frame at `offset`. Returns the floats written per array;
// 0 when the model has no frame, the frame's size is not the one laid out at Start, or
// the arrays are too small for it.
size_t BuildLiveMesh(size_t offset, const LiveMeshSources& live, int32_t m, MapMesh& mesh,
                     DrawStyle style);

// Builds recorded source m's frame `frameIndex` at `offset`; returns as BuildLiveMesh.
size_t BuildPlaybackMesh(size_t offset, const PlaybackMeshSources& recorded, int32_t m,
                         int32_t frameIndex, MapMesh& mesh, DrawStyle style);

// Rebuilds every visible live model and takes model 0's frame average (when it has a
// frame) as the map's averageValue, then asks the map to repaint.
void RebuildLiveMesh(const LiveMeshSources& live, MeshTarget& map, DrawStyle style);

// Rebuilds frame `frameIndex` of every visible recorded source, copying each built
// frame's average into the map's averageValue, then asks the map to repaint.
void RebuildPlaybackMesh(const PlaybackMeshSources& recorded, int32_t frameIndex,
                         MeshTarget& map, DrawStyle style);

// Floats of the SNR plot for a Diff first source of width x height: three series of
// four line profiles, 36 x (width + height - 2).
size_t SnrPlotFloatCount(int32_t width, int32_t height);

// Live sizing (acquisition start, hide buttons): sizes the SNR plot (empty unless
// model 0 holds Diff data), then the map's arrays for the visible live models.
// Returns the map's float count per array.
size_t SizeMesh(const LiveMeshSources& live, MeshTarget& map, SnrPlotTarget& snrPlot);

// Playback sizing (file load, hide buttons): the map's arrays for the visible
// recorded sources. Returns the float count per array.
size_t SizeMesh(const PlaybackMeshSources& recorded, MeshTarget& map);

}  // namespace pelorin
