#include "data/recording/player_model.h"

namespace pelorin {

PlayerModel::PlayerModel(int32_t width, int32_t height, int32_t frameCount)
    : frameCount_(frameCount), width_(width), height_(height) {}

PlayerModel::~PlayerModel() = default;

bool PlayerModel::Clear() {
  frames_.clear();
  SetCurrentIndex(0);
  frameCount_ = 0;
  width_ = 0;
  height_ = 0;
  return true;
}

const FrameRecord* PlayerModel::Frame(int32_t i) const {
  if (i < 0 || static_cast<size_t>(i) >= frames_.size()) return nullptr;
  return frames_[static_cast<size_t>(i)].get();
}

void PlayerModel::AppendFrame(std::unique_ptr<FrameRecord> frame) {
  frames_.push_back(std::move(frame));
}

}  // namespace pelorin
