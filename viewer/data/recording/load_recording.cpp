#include "data/recording/load_recording.h"

#include <cstdio>

namespace pelorin {

bool LoadRecordingData(RecordingSet& set, const std::string& path, RangePair liveRange,
                       void* progressContext, LoadProgressCallback progress) {
  RecordingSet fresh;
  fresh.SetProgressCallback(progressContext, progress);
  const bool ok = fresh.Load(path);
  fresh.ClearProgressCallback();
  if (!ok) {
    set.SetLastError(fresh.LastError());
    return false;
  }
  for (int32_t m = 0; m < fresh.Count(); ++m) {
    fresh.SetRangeMax(m, liveRange.max);
    fresh.SetRangeMin(m, liveRange.min);
  }
  set.Swap(fresh);
  return true;
}

std::string LoadProgressArgument(int32_t frameIndex, int32_t frameCount) {
  char text[32];
  std::snprintf(text, sizeof text, "%d, %d", frameIndex + 1, frameCount);
  return text;
}

}  // namespace pelorin
