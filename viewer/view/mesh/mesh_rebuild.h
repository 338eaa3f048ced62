#pragma once
#include <cstddef>
#include <cstdint>

#include "view/mesh/draw_style.h"
#include "view/mesh/map_mesh.h"
#include "view/mesh/mesh_sources.h"
#include "view/mesh/source_mesh.h"

namespace pelorin {

// The main window's mesh operations, the same for live and recorded sources. Sources are
// laid one after another in the map's arrays, in model order, each visible source taking
// MeshFloatCount(Width, Height) floats per array. SizeMesh allocates; the builders only
// write into what it made. During playback the callers hold the playback lock around
// every call.

// The colouring of a build: the draw style of the moment and the map's range and bands.
MeshColouring ColouringOf(const MapMesh& mesh, DrawStyle style);

// Builds source m's frame at `offset`. Returns the floats written per array; 0 when the
// source has no frame, the frame's size is not the one laid out, or the arrays are too
// small for it.
size_t BuildMesh(size_t offset, const MeshSources& sources, int32_t m, MapMesh& mesh,
                 DrawStyle style);

// Rebuilds every visible source, sets the map's averageValue (see SourceKind), then asks
// the map to repaint. A source without a frame keeps its room untouched.
void RebuildMesh(const MeshSources& sources, MeshTarget& map, DrawStyle style);

// Floats of the SNR plot for a Diff first source of width x height: three series of
// four line profiles, 36 x (width + height - 2).
size_t SnrPlotFloatCount(int32_t width, int32_t height);

// Sizes the map's arrays for the visible sources (acquisition start, file load, hide
// buttons) and returns the float count per array. With a plot (live sizing) the SNR plot
// is sized first: empty unless source 0 holds Diff data, hidden or not.
size_t SizeMesh(const MeshSources& sources, MeshTarget& map, SnrPlotTarget* snrPlot = nullptr);

}  // namespace pelorin
