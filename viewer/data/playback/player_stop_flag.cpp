#include "data/playback/player_stop_flag.h"

namespace pelorin {

void PlayerStopFlag::Set(bool stopped) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = stopped;
  }
  changed_.notify_all();
}

bool PlayerStopFlag::Get() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopped_;
}

bool PlayerStopFlag::WaitFor(std::chrono::milliseconds step) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, step, [this] { return stopped_; });
}

}  // namespace pelorin
