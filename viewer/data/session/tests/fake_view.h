// A window for the session without a display: it answers the dialogs as a test scripts
// them, records what the map and the SNR page were asked, and runs what the session posts
// when the test pumps it, the test's thread being the window thread.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "data/session/session_view.h"
#include "data/snr/snr_evaluation.h"
#include "scripted_device.h"

namespace pelorin::testing {

class FakeView : public SessionView {
 public:
  void ShowText(Field, const std::string&) override {}
  void EnableControl(Control, bool) override {}
  void ShowValue(Value, int32_t) override {}
  void ShowRunFigures(const RunFigures&) override { ++figuresShown; }
  void ShowFrameExtremes(int32_t, int32_t) override {}
  void UpdateMap(MapUpdate update) override { mapUpdates.push_back(update); }
  void DrawRecordedFrame(int32_t frameIndex) override {
    // Never two at once: the player and the window draw under one lock.
    if (drawing_.exchange(true)) overlappingDraws.fetch_add(1);
    drawn.fetch_add(1);
    lastDrawn.store(frameIndex);
    drawing_.store(false);
  }
  void PlotSnr(const LiveFrame&, const SnrPins&, const EdgeBuffers&, const EdgeBuffers&) override {
    ++snrPlots;
  }
  void ShowSnrResults(const SnrResults&, const PanelNoiseReport&) override { ++snrEvaluations; }
  void RunRefreshTimers(bool on) override { timersOn = on; }
  StartInputs ReadStartInputs() override { return startInputs; }
  std::optional<int32_t> AskSourceType(int mode, int32_t preset) override {
    asked.push_back({mode, preset});
    return sourceAnswer;
  }
  bool EditFilter(int32_t&, FilterKernel&) override { return false; }
  void ShowMessage(const std::string& text, const std::string& title) override {
    messages.push_back(title + ": " + text);
  }
  void Post(std::function<void()> task) override {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    posted_.notify_all();
  }
  void Repaint() override {
    ++repaints;
    if (onRepaint) onRepaint();
  }
  void Focus(FocusTarget) override {}
  void SetExitStatus(int status, const std::string& message) override {
    exitStatus = status;
    exitMessage = message;
  }
  void RequestClose() override { ++closeRequests; }

  // Runs posted tasks until `done` holds; false when 20 s pass first.
  bool PumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        if (!posted_.wait_until(lock, end, [this] { return !tasks_.empty(); })) return done();
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
    return true;
  }
  // Runs what is queued now.
  void Pump() {
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }

  StartInputs startInputs;
  std::optional<int32_t> sourceAnswer;
  std::vector<std::pair<int, int32_t>> asked;
  std::vector<MapUpdate> mapUpdates;
  std::vector<std::string> messages;
  std::atomic<int> drawn{0};
  std::atomic<int> lastDrawn{-1};
  std::atomic<int> overlappingDraws{0};
  int figuresShown = 0;
  int snrPlots = 0;
  int snrEvaluations = 0;
  bool timersOn = false;
  int repaints = 0;
  std::function<void()> onRepaint;
  int exitStatus = 0;
  std::string exitMessage;
  int closeRequests = 0;

 private:
  std::atomic<bool> drawing_{false};
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};

// One chip of 6 drive and 5 sense lines, firmware ready, every frame region filled.
inline void OneReadyChip(ScriptedDevice& dev) {
  FakeChip chip;
  chip.drive = 6;
  chip.sense = 5;
  for (uint32_t region = 0x51; region <= 0x5F; ++region) {
    if (region == 0x5A) continue;
    chip.blocks[region << 24] =
        MakeBlock(6, 5, [region](int r, int k) { return static_cast<int>(region) + r * 7 + k; });
  }
  chip.blocks[0x50000000] = std::vector<uint8_t>(4, 1);
  dev.chips = {chip};
}

}  // namespace pelorin::testing
