#pragma once
// What loading a recording does before the window updates its controls: load the file
// with the progress callback and give every recorded source the display range of the
// first live source. A failed load leaves the set as it was, so the recording on
// screen and the controls that step through it stay consistent.
#include <cstdint>
#include <string>

#include "data/recording/recording_set.h"
#include "data/source_range_table.h"

namespace pelorin {

// Loads path into a fresh set and, on success, puts it in place of set's sources. On
// failure set keeps its sources and gets the reason in LastError(). The caller stops
// any playback of set first.
bool LoadRecordingData(RecordingSet& set, const std::string& path, RangePair liveRange,
                       void* progressContext, LoadProgressCallback progress);

// The argument of the status line's loading message: "%d, %d" with (frame index + 1,
// frame count).
std::string LoadProgressArgument(int32_t frameIndex, int32_t frameCount);

}  // namespace pelorin
