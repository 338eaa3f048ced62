// PlaybackRun: the player of a loaded recording without a window. It owns the playback
// worker's thread, its stop flag, its pace and the playback lock "m_mutex"; the owner (the
// window or a test) owns the RecordingSet and keeps it alive as long as the run.
//
// The lock: the worker holds "m_mutex" for one step at a time (the frame drawn and the
// current index written) and releases it before it sleeps; the user-interface thread holds
// it while it draws a frame itself (Prev, Next, the slider), while it rebuilds the recorded
// meshes (the hide buttons) and while it puts another recording in place. Nothing else is
// shared with the worker: the stop flag has its own lock, and the recording does not change
// while a worker runs (Replace stops and joins it first).
//
// Reports: the worker calls PlaybackHost::DrawFrame under the lock on its own thread, and
// posts every other report to the user-interface thread through PlaybackHost::Post, never
// waiting for that thread. Reports of an older run (one stopped, or paused and played
// again) are dropped when they arrive.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "data/playback/player_stop_flag.h"
#include "data/recording/recording_set.h"

namespace pelorin {

// The pace of playback: one frame about every 140 ms.
inline constexpr std::chrono::milliseconds kPlaybackStep{140};

class PlaybackHost {
 public:
  virtual ~PlaybackHost() = default;
  // Any thread: runs `task` later on the user-interface thread; must not wait for it.
  virtual void Post(std::function<void()> task) = 0;
  // Puts frame `frameIndex` of every visible recorded source on the map. Called with the
  // playback lock held: on the worker's thread during playback, on the user-interface
  // thread for Prev, Next and the slider.
  virtual void DrawFrame(int32_t frameIndex) = 0;
  // User-interface thread: the worker has shown frame `frameIndex` (slider, statistics).
  virtual void FrameShown(int32_t frameIndex) = 0;
  // User-interface thread: the run is over (last frame reached, paused, or stopped); the
  // player is stopped and the controls take the stopped state.
  virtual void PlaybackEnded() = 0;
};

class PlaybackRun {
 public:
  PlaybackRun(RecordingSet& recordings, PlaybackHost& host);
  // Stops and joins a running worker; reports still queued are dropped.
  ~PlaybackRun();
  PlaybackRun(const PlaybackRun&) = delete;
  PlaybackRun& operator=(const PlaybackRun&) = delete;

  // Time between two steps, for the next Play.
  void SetStepTime(std::chrono::milliseconds step) { step_ = step; }
  std::chrono::milliseconds StepTime() const { return step_; }

  // User-interface thread from here on.

  // Starts a worker at the current frame of source 0, which drives the others. False
  // (nothing done) when nothing is loaded or a worker is already playing. A paused worker
  // still ending its step is joined first.
  bool Play();
  // The worker ends after the step under way; does not wait for it. PlaybackEnded
  // follows when the worker's last report arrives.
  void Pause();
  // Sets the stop flag and joins the worker; its queued reports are dropped. When a
  // worker was there (also one that ended but was not joined yet) the host hears
  // PlaybackEnded at once.
  void Stop();
  // Stops, then exchanges the recording with `fresh` under the lock.
  void Replace(RecordingSet& fresh);

  // True when no playback step is to run.
  bool Stopped() const { return stopped_.Get(); }
  bool ThreadRunning() const { return thread_.joinable(); }

  // Frame of source 0 on display, and source 0's loaded frames (0 when none is loaded).
  int32_t CurrentIndex() const;
  int32_t FrameCount() const;
  // True when `i` is one of source 0's loaded frames.
  bool HasFrame(int32_t i) const { return i >= 0 && i < FrameCount(); }

  // Draws frame i and makes it the current one, under the lock. False (nothing drawn)
  // when there is no such frame.
  bool ShowFrame(int32_t i);
  // The frame before or after the current one, shown; nothing at either end or when
  // nothing is loaded.
  std::optional<int32_t> Prev();
  std::optional<int32_t> Next();

  // Runs f() under the playback lock (the hide buttons' rebuild of the recorded meshes).
  template <class F>
  decltype(auto) Locked(F&& f) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return f();
  }

 private:
  void Work(uint64_t run, std::chrono::milliseconds step);
  // Posts `report` for run `run`; it runs only if this object still exists and `run` is
  // still the current run when it arrives.
  void PostForRun(uint64_t run, std::function<void(PlaybackRun&)> report);
  void Join();

  RecordingSet& recordings_;
  PlaybackHost& host_;
  std::chrono::milliseconds step_ = kPlaybackStep;
  PlayerStopFlag stopped_{true};
  std::mutex m_mutex;
  // The current run; written and read on the user-interface thread only.
  uint64_t run_ = 0;
  // Points at this object until it is destroyed; reports hold a copy and find it null
  // after. Read and written on the user-interface thread only.
  std::shared_ptr<PlaybackRun*> self_;
  // Declared last: joined before anything its worker reads goes.
  std::thread thread_;
};

}  // namespace pelorin
