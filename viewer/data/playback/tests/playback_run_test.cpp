// The player without a window: a fake host stands for the window thread; its posted
// reports run only when the test drains them, as a window's queued events would.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "data/playback/playback_run.h"

namespace pelorin {
namespace {

using std::chrono::milliseconds;
using std::chrono::minutes;

// The longest a test waits for the worker; far beyond any real step.
constexpr auto kWaitBound = std::chrono::seconds(30);

class FakeHost : public PlaybackHost {
 public:
  void Post(std::function<void()> task) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks_.push_back(std::move(task));
      ++posted_;
    }
    posted_cv_.notify_all();
  }
  // Written under the playback lock only: the test reads it after a join or inside Locked.
  void DrawFrame(int32_t i) override { drawn.push_back(i); }
  void FrameShown(int32_t i) override { shown.push_back(i); }
  void PlaybackEnded() override { ++ended; }

  // Waits until `n` reports were posted in all; false when the bound ran out.
  bool WaitForPosts(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    return posted_cv_.wait_for(lock, kWaitBound, [&] { return posted_ >= n; });
  }
  // Runs the reports posted so far, on the test's thread.
  void Drain() {
    std::vector<std::function<void()>> tasks;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks.swap(tasks_);
    }
    for (auto& task : tasks) task();
  }

  std::vector<int32_t> drawn;
  std::vector<int32_t> shown;
  int ended = 0;

 private:
  std::mutex mutex_;
  std::condition_variable posted_cv_;
  std::vector<std::function<void()>> tasks_;
  size_t posted_ = 0;
};

// A recording of one 2 x 2 source with `frames` frames.
void Load(RecordingSet& set, int32_t frames) {
  PlayerModel& model = set.AddSource(2, 2, frames);
  for (int32_t i = 0; i < frames; ++i) model.AppendFrame(std::make_unique<FrameRecord>(2, 2));
}

std::vector<int32_t> Range(int32_t from, int32_t to) {
  std::vector<int32_t> v;
  for (int32_t i = from; i < to; ++i) v.push_back(i);
  return v;
}

struct PlayerFixture : ::testing::Test {
  explicit PlayerFixture(int32_t frames = 5) { Load(set, frames); }
  RecordingSet set;
  FakeHost host;
  PlaybackRun run{set, host};
};

TEST(PlaybackRun, PlaysFromTheCurrentFrameToTheLastAndEndsStopped) {
  struct Case {
    int32_t frames;
    int32_t start;
  };
  for (const Case c : {Case{1, 0}, Case{2, 0}, Case{5, 0}, Case{5, 3}, Case{5, 4}}) {
    SCOPED_TRACE(::testing::Message() << c.frames << " frames from " << c.start);
    RecordingSet set;
    Load(set, c.frames);
    FakeHost host;
    PlaybackRun run(set, host);
    run.SetStepTime(milliseconds(0));
    set.SetCurrentIndex(0, c.start);

    ASSERT_TRUE(run.Play());
    // One report per frame, then the end.
    ASSERT_TRUE(host.WaitForPosts(static_cast<size_t>(c.frames - c.start) + 1));
    host.Drain();
    EXPECT_EQ(host.shown, Range(c.start, c.frames));
    EXPECT_EQ(host.ended, 1);
    EXPECT_TRUE(run.Stopped());
    EXPECT_EQ(run.CurrentIndex(), c.frames - 1);
    EXPECT_EQ(host.drawn, Range(c.start, c.frames));
  }
}

TEST_F(PlayerFixture, PauseEndsAfterTheStepUnderWayAndPlayGoesOnFromThere) {
  run.SetStepTime(minutes(10));
  ASSERT_TRUE(run.Play());
  ASSERT_TRUE(host.WaitForPosts(1));  // frame 0 is on display, the worker sleeps
  EXPECT_FALSE(run.Play());           // already playing
  run.Pause();
  EXPECT_TRUE(run.Stopped());
  ASSERT_TRUE(host.WaitForPosts(2));  // the pause cut the ten minutes short
  host.Drain();
  EXPECT_EQ(host.shown, std::vector<int32_t>{0});
  EXPECT_EQ(host.ended, 1);

  run.SetStepTime(milliseconds(0));
  ASSERT_TRUE(run.Play());
  ASSERT_TRUE(host.WaitForPosts(2 + 5 + 1));
  host.Drain();
  EXPECT_EQ(host.shown, (std::vector<int32_t>{0, 0, 1, 2, 3, 4}));
  EXPECT_EQ(host.ended, 2);
}

TEST_F(PlayerFixture, StopJoinsTheWorkerAndDropsWhatItQueued) {
  run.SetStepTime(minutes(10));
  ASSERT_TRUE(run.Play());
  ASSERT_TRUE(host.WaitForPosts(1));
  run.Stop();
  EXPECT_FALSE(run.ThreadRunning());
  EXPECT_TRUE(run.Stopped());
  EXPECT_EQ(host.ended, 1);  // at once, not through the queue
  host.Drain();
  EXPECT_TRUE(host.shown.empty());
  EXPECT_EQ(host.ended, 1);
  run.Stop();  // no worker: nothing to report
  EXPECT_EQ(host.ended, 1);
}

TEST_F(PlayerFixture, ReportsOfAnOlderRunAreDropped) {
  run.SetStepTime(minutes(10));
  ASSERT_TRUE(run.Play());
  ASSERT_TRUE(host.WaitForPosts(1));
  run.Pause();
  ASSERT_TRUE(host.WaitForPosts(2));  // the paused run's step and end wait in the queue
  run.SetStepTime(milliseconds(0));
  ASSERT_TRUE(run.Play());
  ASSERT_TRUE(host.WaitForPosts(2 + 5 + 1));
  host.Drain();
  EXPECT_EQ(host.shown, Range(0, 5));
  EXPECT_EQ(host.ended, 1);
}

TEST_F(PlayerFixture, ReplacingTheRecordingStopsThePlayerFirst) {
  run.SetStepTime(minutes(10));
  ASSERT_TRUE(run.Play());
  ASSERT_TRUE(host.WaitForPosts(1));
  RecordingSet fresh;
  Load(fresh, 3);
  run.Replace(fresh);
  EXPECT_FALSE(run.ThreadRunning());
  EXPECT_EQ(host.ended, 1);
  EXPECT_EQ(run.FrameCount(), 3);
  EXPECT_EQ(fresh.GetFrameCount(0), 5);  // the old one, for the caller to drop
}

TEST(PlaybackRun, ReportsArrivingAfterTheRunIsGoneDoNothing) {
  RecordingSet set;
  Load(set, 5);
  FakeHost host;
  {
    PlaybackRun run(set, host);
    run.SetStepTime(minutes(10));
    ASSERT_TRUE(run.Play());
    ASSERT_TRUE(host.WaitForPosts(1));
  }  // joins the worker; its end report is queued behind
  ASSERT_TRUE(host.WaitForPosts(2));
  host.Drain();
  EXPECT_TRUE(host.shown.empty());
  EXPECT_EQ(host.ended, 0);
}

TEST(PlaybackRun, PrevAndNextStayWithinTheLoadedFrames) {
  enum class Op { Prev, Next };
  struct Case {
    int32_t frames;  // 0: nothing loaded
    int32_t current;
    Op op;
    std::optional<int32_t> shown;
  };
  const Case cases[] = {
      {3, 0, Op::Prev, std::nullopt},
      {3, 0, Op::Next, 1},
      {3, 1, Op::Prev, 0},
      {3, 2, Op::Next, std::nullopt},
      {3, 2, Op::Prev, 1},
      {1, 0, Op::Prev, std::nullopt},
      {1, 0, Op::Next, std::nullopt},
      {0, 0, Op::Prev, std::nullopt},
      {0, 0, Op::Next, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.op == Op::Prev ? "Prev" : "Next") << " at " << c.current
                                      << " of " << c.frames);
    RecordingSet set;
    if (c.frames > 0) Load(set, c.frames);
    FakeHost host;
    PlaybackRun run(set, host);
    if (c.frames > 0) set.SetCurrentIndex(0, c.current);
    const std::optional<int32_t> got = c.op == Op::Prev ? run.Prev() : run.Next();
    EXPECT_EQ(got, c.shown);
    EXPECT_EQ(run.CurrentIndex(), c.shown.value_or(c.current));
    EXPECT_EQ(host.drawn, c.shown ? std::vector<int32_t>{*c.shown} : std::vector<int32_t>{});
  }
}

TEST(PlaybackRun, NothingLoadedNothingPlaysOrShows) {
  RecordingSet set;
  FakeHost host;
  PlaybackRun run(set, host);
  EXPECT_FALSE(run.Play());
  EXPECT_FALSE(run.ShowFrame(0));
  EXPECT_EQ(run.FrameCount(), 0);
  Load(set, 2);
  EXPECT_FALSE(run.ShowFrame(-1));
  EXPECT_FALSE(run.ShowFrame(2));
  EXPECT_TRUE(run.ShowFrame(1));
  EXPECT_EQ(host.drawn, std::vector<int32_t>{1});
}

// The hide buttons rebuild under the lock while the worker steps: every draw and every
// rebuild sees the other's writes whole (a missing lock is a data race for TSan).
TEST(PlaybackRun, RebuildsUnderTheLockInterleaveWithTheWorkersSteps) {
  RecordingSet set;
  Load(set, 400);
  FakeHost host;
  PlaybackRun run(set, host);
  run.SetStepTime(milliseconds(0));
  ASSERT_TRUE(run.Play());
  size_t seen = 0;
  for (int k = 0; k < 200; ++k) {
    run.Locked([&] {
      seen = host.drawn.size();
      host.drawn.push_back(-1);  // the rebuild's own draw
    });
  }
  run.Stop();
  EXPECT_GE(host.drawn.size(), seen);
  EXPECT_EQ(std::count(host.drawn.begin(), host.drawn.end(), -1), 200);
}

}  // namespace
}  // namespace pelorin
