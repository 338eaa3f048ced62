// Pieces of the player that need no window: the stop flag the playback worker paces
// itself on, the worker's thread, and which step buttons a position allows.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace pelorin {

// "No playback step is to run". Written by the window thread, read by the worker between
// steps; the worker's pause between two steps ends as soon as the flag is set, so a
// Pause, a new load or the window's close never waits out a whole step.
class PlayerStopFlag {
 public:
  explicit PlayerStopFlag(bool stopped = true) : stopped_(stopped) {}
  PlayerStopFlag(const PlayerStopFlag&) = delete;
  PlayerStopFlag& operator=(const PlayerStopFlag&) = delete;

  PlayerStopFlag& operator=(bool stopped) {
    Set(stopped);
    return *this;
  }
  explicit operator bool() const { return Get(); }

  void Set(bool stopped);
  bool Get() const;
  // Waits for `step` or until the flag is set, whichever comes first; true when the
  // flag is set.
  bool WaitFor(std::chrono::milliseconds step) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopped_;
};

// The playback worker's thread. At most one runs; it is joined before another starts
// and when this object goes (the owner sets the stop flag first).
class PlaybackThread {
 public:
  PlaybackThread() = default;
  ~PlaybackThread() { Join(); }
  PlaybackThread(const PlaybackThread&) = delete;
  PlaybackThread& operator=(const PlaybackThread&) = delete;

  // Joins a finished previous run, then runs body on a new thread.
  void Start(std::function<void()> body);
  // Waits for the running body to return. The body's waits are bounded by the stop
  // flag and the playback lock, so this ends once the flag is set.
  void Join();
  bool Joinable() const { return thread_.joinable(); }

 private:
  std::thread thread_;
};

// Which of Prev, Next and Play a stopped player enables at frame i of count frames:
// Prev only where a frame comes before, Next and Play only where one follows, so no
// button ever steps outside the loaded frames (a one-frame file enables none of them).
struct StepButtons {
  bool prev = false;
  bool next = false;
  bool play = false;
};
StepButtons StepButtonsAt(int32_t i, int32_t count);

// The pace of playback: one frame about every 140 ms.
inline constexpr std::chrono::milliseconds kPlaybackStep{140};

}  // namespace pelorin
