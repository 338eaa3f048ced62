#include "data/session/batch_verdict.h"

namespace pelorin {

ExitVerdict BatchVerdict(const RunOutcome& o, int frameLimit, int stopSignal) {
  const std::string frames = std::to_string(o.framesRecorded) + " frames recorded" +
                             (o.recordingPath.empty() ? std::string() : " in " + o.recordingPath);
  if (stopSignal != 0) return {128 + stopSignal, "interrupted; " + frames};
  if (!o.cause.empty())
    return {1, o.cause + " after " + std::to_string(o.framesRead) + " frames; " + frames};
  if (o.end != RunEnd::BatchLimit || o.framesRead < frameLimit)
    return {1, "stopped after " + std::to_string(o.framesRead) + " of " +
                   std::to_string(frameLimit) + " frames; " + frames};
  if (!o.recordingError.empty()) return {1, "the recording failed: " + o.recordingError};
  return {0, frames};
}

}  // namespace pelorin
