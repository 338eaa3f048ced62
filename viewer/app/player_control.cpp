#include "app/player_control.h"

#include <utility>

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

void PlaybackThread::Start(std::function<void()> body) {
  Join();
  thread_ = std::thread(std::move(body));
}

void PlaybackThread::Join() {
  if (thread_.joinable()) thread_.join();
}

StepButtons StepButtonsAt(int32_t i, int32_t count) {
  StepButtons b;
  b.prev = i > 0 && count > 0;
  b.next = i < count - 1;
  b.play = b.next;
  return b;
}

}  // namespace pelorin
