// The playback worker's stop flag: "no playback step is to run". Written by the
// user-interface thread, read by the worker between steps; the worker's pause between two
// steps ends as soon as the flag is set, so a Pause, a new load or the window's close never
// waits out a whole step.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace pelorin {

class PlayerStopFlag {
 public:
  explicit PlayerStopFlag(bool stopped = true) : stopped_(stopped) {}
  PlayerStopFlag(const PlayerStopFlag&) = delete;
  PlayerStopFlag& operator=(const PlayerStopFlag&) = delete;

  void Set(bool stopped);
  bool Get() const;
  // Waits for `step` or until the flag is set, whichever comes first; true when the flag
  // is set.
  bool WaitFor(std::chrono::milliseconds step) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopped_;
};

}  // namespace pelorin
