#pragma once
// A recorded source: the frames of one source of a loaded recording.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/frame_model.h"

namespace pelorin {

class PlayerModel : public PelorinModel {
 public:
  // width: the file's first Width value; height: this source's Height value;
  // frameCount: the header's FrameCount.
  PlayerModel(int32_t width, int32_t height, int32_t frameCount);
  ~PlayerModel() override;

  // Deletes every frame; current index, frame count, width and height become 0. The
  // running extremes stay.
  bool Clear() override;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // The FrameCount the file's header claims; the file may hold fewer or more frames.
  int32_t DeclaredFrameCount() const { return frameCount_; }
  // Frames actually loaded.
  int32_t LoadedFrameCount() const { return static_cast<int32_t>(frames_.size()); }

  // Frame i, or nullptr when there is none such.
  const FrameRecord* Frame(int32_t i) const;
  void AppendFrame(std::unique_ptr<FrameRecord> frame);

  bool HasMaskedCells() const { return hasMaskedCells_; }
  void SetHasMaskedCells(bool v) { hasMaskedCells_ = v; }

  // The frame on display; written by the playback worker, read by the window.
  int32_t GetCurrentIndex() const { return currentIndex_.load(std::memory_order_relaxed); }
  void SetCurrentIndex(int32_t i) { currentIndex_.store(i, std::memory_order_relaxed); }

 private:
  std::vector<std::unique_ptr<FrameRecord>> frames_;
  bool hasMaskedCells_ = false;
  std::atomic<int32_t> currentIndex_{0};
  int32_t frameCount_;
  int32_t width_;
  int32_t height_;
};

}  // namespace pelorin
