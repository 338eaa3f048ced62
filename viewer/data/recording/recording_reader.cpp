#include "data/recording/recording_reader.h"

#include <unistd.h>

#include <memory>

namespace pelorin {
namespace {

static_assert(kNoMinimum == kBlockNoMinimum, "a block without cells has the model's minimum");

// Fills a RecordingSet: one PlayerModel per source, one FrameRecord per block.
class PlayerVisitor : public RecordingVisitor {
 public:
  explicit PlayerVisitor(RecordingSet& set) : set_(set), first_(set.Count()) {}

  void Sources(int32_t width, const std::vector<int32_t>& heights, int32_t declared) override {
    for (int32_t h : heights) set_.AddSource(width, h, declared);
  }
  void Name(size_t source, std::string_view name) override {
    Model(source).SetName(std::string(name));
  }
  void BeginBlock(size_t source, const BlockStamp&, int32_t** cells, uint8_t** mask) override {
    const PlayerModel& m = Model(source);
    frame_ = std::make_unique<FrameRecord>(m.Width(), m.Height());
    // The record's own storage, filled in place (the parser writes every cell and mask).
    *cells = &frame_->Cell(0, 0);
    *mask = const_cast<uint8_t*>(frame_->MaskData());
  }
  void EndBlock(size_t source, const BlockFigures& f, int32_t frameIndex,
                int32_t declared) override {
    PlayerModel& m = Model(source);
    frame_->max = f.max;
    frame_->min = f.min;
    frame_->average = float(double(f.sum) / (double(m.Width()) * double(m.Height())));
    if (f.masked) m.SetHasMaskedCells(true);
    m.MergeFrameExtremes(f.max, f.min);
    m.AppendFrame(std::move(frame_));
    set_.ReportProgress(frameIndex, declared);
  }

 private:
  PlayerModel& Model(size_t source) { return *set_.GetModel(first_ + int32_t(source)); }

  RecordingSet& set_;
  int32_t first_;
  std::unique_ptr<FrameRecord> frame_;
};

}  // namespace

bool LoadCsv(RecordingSet& set, const std::string& path) {
  PlayerVisitor visitor(set);
  std::string error;
  if (ParseRecording(path, visitor, &error)) return true;
  set.SetLastError(error);
  return false;
}

bool LoadRecordingFile(RecordingSet& set, const std::string& path) {
  if (path.find(".csv") != std::string::npos) return LoadCsv(set, path);
  if (path.find(".tbl") != std::string::npos) {
    std::string decoded;
    if (!DecodeTbl(path, decoded)) {
      set.SetLastError("can't decode " + path);
      return false;
    }
    bool ok = LoadCsv(set, decoded);
    ::unlink(decoded.c_str());
    return ok;
  }
  set.SetLastError("not a recording (.csv or .tbl): " + path);
  return false;
}

}  // namespace pelorin
