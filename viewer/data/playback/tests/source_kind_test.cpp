#include <gtest/gtest.h>

#include "data/playback/source_kind.h"

namespace pelorin {
namespace {

// The hide buttons size and rebuild what this names; a wrong kind would draw the live
// models over a paused recording or take the playback lock during a live run.
TEST(SourcesShownIn, LiveAndIdleShowTheModelsPlayingAndPausedTheRecording) {
  const struct {
    RunMode mode;
    SourceKind shown;
  } cases[] = {
      {RunMode::Live, SourceKind::Live},
      {RunMode::Idle, SourceKind::Live},
      {RunMode::Playing, SourceKind::Recorded},
      {RunMode::Paused, SourceKind::Recorded},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SourcesShownIn(c.mode), c.shown) << static_cast<int>(c.mode);
  }
}

}  // namespace
}  // namespace pelorin
