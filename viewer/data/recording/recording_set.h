#pragma once
// The recorded sources of one loaded file, source 0 first, with the operations the player
// controls of the main window use. Source numbers m outside 0 .. Count() - 1 are a
// programming error; frame numbers outside the loaded frames read as an empty frame.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/recording/player_model.h"

namespace pelorin {

// Called after each source's frame is loaded with (context, frame index from 0, the
// header's frame count).
using LoadProgressCallback = void (*)(void* context, int32_t frameIndex, int32_t frameCount);

class RecordingSet {
 public:
  RecordingSet() = default;
  RecordingSet(const RecordingSet&) = delete;
  RecordingSet& operator=(const RecordingSet&) = delete;

  // Deletes every source and forgets the callback.
  void Clear();
  void SetProgressCallback(void* context, LoadProgressCallback callback);
  void ClearProgressCallback();
  // Loads a ".csv" or ".tbl" recording into this set (see LoadRecordingFile).
  bool Load(const std::string& path);
  // Exchanges sources, callback and last error with other.
  void Swap(RecordingSet& other);
  // Why the last load failed.
  const std::string& LastError() const { return lastError_; }

  int32_t Count() const { return static_cast<int32_t>(models_.size()); }
  int32_t GetCurrentIndex(int32_t m) const;
  // Keeps i within the loaded frames.
  void SetCurrentIndex(int32_t m, int32_t i);
  // Frames loaded for source m: what playback may step through.
  int32_t GetFrameCount(int32_t m) const;
  // The FrameCount of the file's header.
  int32_t GetDeclaredFrameCount(int32_t m) const;
  int32_t GetWidth(int32_t m) const;
  int32_t GetHeight(int32_t m) const;
  void SetRangeMax(int32_t m, int32_t v);
  void SetRangeMin(int32_t m, int32_t v);
  bool GetVisible(int32_t m) const;
  void SetVisible(int32_t m, bool v);
  int32_t GetMaxValue(int32_t m) const;
  int32_t GetMinValue(int32_t m) const;
  float FrameAverage(int32_t m, int32_t i) const;
  int32_t FrameMax(int32_t m, int32_t i) const;
  int32_t FrameMin(int32_t m, int32_t i) const;
  PlayerModel* GetModel(int32_t m);
  const PlayerModel* GetModel(int32_t m) const;

  // For the reader.
  PlayerModel& AddSource(int32_t width, int32_t height, int32_t frameCount);
  void ReportProgress(int32_t frameIndex, int32_t frameCount) const;
  void SetLastError(std::string text) { lastError_ = std::move(text); }

 private:
  int32_t reserved_ = 0;
  LoadProgressCallback progress_ = nullptr;
  void* progressContext_ = nullptr;
  std::vector<std::unique_ptr<PlayerModel>> models_;
  std::string lastError_;
};

}  // namespace pelorin
