#include "data/playback/playback_run.h"

#include <utility>

namespace pelorin {

PlaybackRun::PlaybackRun(RecordingSet& recordings, PlaybackHost& host)
    : recordings_(recordings), host_(host), self_(std::make_shared<PlaybackRun*>(this)) {}

PlaybackRun::~PlaybackRun() {
  stopped_.Set(true);
  Join();
  *self_ = nullptr;
}

void PlaybackRun::Join() {
  if (thread_.joinable()) thread_.join();
}

bool PlaybackRun::Play() {
  if (recordings_.Count() == 0 || !stopped_.Get()) return false;
  // A paused worker may still be ending its last step; its queued reports are dropped.
  Join();
  stopped_.Set(false);
  const uint64_t run = ++run_;
  const std::chrono::milliseconds step = step_;
  thread_ = std::thread([this, run, step] { Work(run, step); });
  return true;
}

void PlaybackRun::Pause() { stopped_.Set(true); }

void PlaybackRun::Stop() {
  stopped_.Set(true);
  if (!thread_.joinable()) return;
  thread_.join();
  // What the worker queued is of no use now; the controls take the stopped state at once.
  ++run_;
  host_.PlaybackEnded();
}

void PlaybackRun::Replace(RecordingSet& fresh) {
  Stop();
  std::lock_guard<std::mutex> lock(m_mutex);
  recordings_.Swap(fresh);
}

int32_t PlaybackRun::CurrentIndex() const {
  return recordings_.Count() > 0 ? recordings_.GetCurrentIndex(0) : 0;
}

int32_t PlaybackRun::FrameCount() const {
  return recordings_.Count() > 0 ? recordings_.GetFrameCount(0) : 0;
}

bool PlaybackRun::ShowFrame(int32_t i) {
  if (!HasFrame(i)) return false;
  std::lock_guard<std::mutex> lock(m_mutex);
  host_.DrawFrame(i);
  recordings_.SetCurrentIndex(0, i);
  return true;
}

std::optional<int32_t> PlaybackRun::Prev() {
  const int32_t current = CurrentIndex();
  if (!HasFrame(current - 1)) return std::nullopt;
  ShowFrame(current - 1);
  return current - 1;
}

std::optional<int32_t> PlaybackRun::Next() {
  const int32_t current = CurrentIndex();
  if (!HasFrame(current + 1)) return std::nullopt;
  ShowFrame(current + 1);
  return current + 1;
}

void PlaybackRun::Work(uint64_t run, std::chrono::milliseconds step) {
  // Source 0 drives the others. The recording does not change while this runs.
  const int32_t count = recordings_.GetFrameCount(0);
  int32_t i = recordings_.GetCurrentIndex(0);
  while (!stopped_.Get() && i < count) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      host_.DrawFrame(i);
      recordings_.SetCurrentIndex(0, i);
    }
    PostForRun(run, [i](PlaybackRun& self) { self.host_.FrameShown(i); });
    if (stopped_.WaitFor(step)) break;
    ++i;
  }
  PostForRun(run, [](PlaybackRun& self) {
    self.stopped_.Set(true);
    self.host_.PlaybackEnded();
  });
}

void PlaybackRun::PostForRun(uint64_t run, std::function<void(PlaybackRun&)> report) {
  host_.Post([self = self_, run, report = std::move(report)] {
    PlaybackRun* owner = *self;
    if (owner != nullptr && owner->run_ == run) report(*owner);
  });
}

}  // namespace pelorin
