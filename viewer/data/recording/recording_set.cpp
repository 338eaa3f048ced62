#include "data/recording/recording_set.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "data/recording/recording_reader.h"

namespace pelorin {

void RecordingSet::Clear() {
  models_.clear();
  reserved_ = 0;
  ClearProgressCallback();
}

void RecordingSet::SetProgressCallback(void* context, LoadProgressCallback callback) {
  progressContext_ = context;
  progress_ = callback;
}

void RecordingSet::ClearProgressCallback() {
  progressContext_ = nullptr;
  progress_ = nullptr;
}

bool RecordingSet::Load(const std::string& path) {
  lastError_.clear();
  return LoadRecordingFile(*this, path);
}

void RecordingSet::Swap(RecordingSet& other) {
  std::swap(reserved_, other.reserved_);
  std::swap(progress_, other.progress_);
  std::swap(progressContext_, other.progressContext_);
  models_.swap(other.models_);
  lastError_.swap(other.lastError_);
}

const PlayerModel* RecordingSet::GetModel(int32_t m) const {
  assert(m >= 0 && m < Count());
  return models_[static_cast<size_t>(m)].get();
}

PlayerModel* RecordingSet::GetModel(int32_t m) {
  assert(m >= 0 && m < Count());
  return models_[static_cast<size_t>(m)].get();
}

int32_t RecordingSet::GetCurrentIndex(int32_t m) const { return GetModel(m)->GetCurrentIndex(); }

void RecordingSet::SetCurrentIndex(int32_t m, int32_t i) {
  PlayerModel* model = GetModel(m);
  model->SetCurrentIndex(std::clamp(i, 0, std::max(0, model->LoadedFrameCount() - 1)));
}

int32_t RecordingSet::GetFrameCount(int32_t m) const { return GetModel(m)->LoadedFrameCount(); }
int32_t RecordingSet::GetDeclaredFrameCount(int32_t m) const { return GetModel(m)->DeclaredFrameCount(); }
int32_t RecordingSet::GetWidth(int32_t m) const { return GetModel(m)->Width(); }
int32_t RecordingSet::GetHeight(int32_t m) const { return GetModel(m)->Height(); }
void RecordingSet::SetRangeMax(int32_t m, int32_t v) { GetModel(m)->SetRangeMax(v); }
void RecordingSet::SetRangeMin(int32_t m, int32_t v) { GetModel(m)->SetRangeMin(v); }
bool RecordingSet::GetVisible(int32_t m) const { return GetModel(m)->GetVisible(); }
void RecordingSet::SetVisible(int32_t m, bool v) { GetModel(m)->SetVisible(v); }
int32_t RecordingSet::GetMaxValue(int32_t m) const { return GetModel(m)->GetMaxValue(); }
int32_t RecordingSet::GetMinValue(int32_t m) const { return GetModel(m)->GetMinValue(); }

float RecordingSet::FrameAverage(int32_t m, int32_t i) const {
  const FrameRecord* f = GetModel(m)->Frame(i);
  return f != nullptr ? f->average : 0.0f;
}

int32_t RecordingSet::FrameMax(int32_t m, int32_t i) const {
  const FrameRecord* f = GetModel(m)->Frame(i);
  return f != nullptr ? f->max : 0;
}

int32_t RecordingSet::FrameMin(int32_t m, int32_t i) const {
  const FrameRecord* f = GetModel(m)->Frame(i);
  return f != nullptr ? f->min : kNoMinimum;
}

PlayerModel& RecordingSet::AddSource(int32_t width, int32_t height, int32_t frameCount) {
  models_.push_back(std::make_unique<PlayerModel>(width, height, frameCount));
  return *models_.back();
}

void RecordingSet::ReportProgress(int32_t frameIndex, int32_t frameCount) const {
  if (progress_ != nullptr) progress_(progressContext_, frameIndex, frameCount);
}

}  // namespace pelorin
