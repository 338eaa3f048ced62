// The player's small pieces: the stop flag the worker paces itself on, and the step
// buttons a position allows.
#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "data/playback/player_buttons.h"
#include "data/playback/player_stop_flag.h"

namespace pelorin {
namespace {

using std::chrono::milliseconds;
using std::chrono::minutes;

TEST(PlayerStopFlag, SettingItEndsAWaitAtOnce) {
  PlayerStopFlag flag(false);
  std::atomic<bool> stoppedSeen{false};
  // A wait of ten minutes ends only if Set wakes it; the test's time-out catches a miss.
  std::thread worker([&] { stoppedSeen = flag.WaitFor(minutes(10)); });
  flag.Set(true);
  worker.join();
  EXPECT_TRUE(stoppedSeen);
  EXPECT_TRUE(flag.Get());
}

TEST(PlayerStopFlag, AWaitWithoutStopRunsOutAndSaysSo) {
  PlayerStopFlag flag(false);
  EXPECT_FALSE(flag.WaitFor(milliseconds(0)));
  EXPECT_FALSE(flag.Get());
  flag.Set(true);
  EXPECT_TRUE(flag.WaitFor(minutes(10)));  // already set: no wait at all
}

TEST(StepButtonsAt, OnlyStepsWithinTheLoadedFrames) {
  auto check = [](int32_t i, int32_t count, bool prev, bool next, bool play) {
    const StepButtons b = StepButtonsAt(i, count);
    EXPECT_EQ(b.prev, prev) << i << " of " << count;
    EXPECT_EQ(b.next, next) << i << " of " << count;
    EXPECT_EQ(b.play, play) << i << " of " << count;
  };
  check(0, 5, false, true, true);
  check(2, 5, true, true, true);
  check(4, 5, true, false, false);
  check(0, 1, false, false, false);  // one frame: nowhere to step
  check(0, 0, false, false, false);
}

}  // namespace
}  // namespace pelorin
