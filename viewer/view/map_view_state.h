// What the 3-D map shows of the frame on display besides its mesh. Headless: the
// acquisition and playback code fill it, the map window reads it when it paints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelorin {

// Written on the window thread only (the acquisition worker queues its updates to the
// window thread); the map window reads it at every paint. The frame average is not here:
// it lives with the mesh (MapMesh::averageValue), where the playback rebuild writes it,
// and live code sets it there too.
struct MapDataState {
  // One model name per source, filled at acquisition start; the map lists them as
  // "Load type:" when there are two or more.
  std::vector<std::string> sourceNames;
  // Largest and smallest cell of the frame on display, printed as "Max:%d" and "Min:%d"
  // in the side views.
  int32_t maxLabel = 0;
  int32_t minLabel = 0;
  // Which statistic the map prints, chosen at acquisition start: the standard deviation
  // for a Base first source, the flatness for a Cycle first source, else none.
  bool showSD = false;
  bool showFlatness = false;
  double standardDeviation = 0.0;  // "SD:%.3f"
  double flatness = 0.0;           // "Flatness:%.3f"
  // False while a live acquisition runs: the map then shows its first pass only (the
  // surface hides the lines behind it); true again when the acquisition ends.
  bool showSecondPass = true;
};

}  // namespace pelorin
