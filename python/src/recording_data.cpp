#include "recording_data.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "data/recording/recording_reader.h"
#include "data/recording/recording_writer.h"

namespace pelorin::py {
namespace {

// Keeps every frame of every source in one growing block per source. The block is sized
// once from the header's FrameCount, bounded by what the file can hold (every cell takes
// at least two bytes), so a truthful header costs no reallocation and a lying one cannot
// make it reserve more than the file could fill.
class ArrayVisitor : public RecordingVisitor {
 public:
  ArrayVisitor(RecordingData& out, uint64_t fileBytes) : out_(out), fileBytes_(fileBytes) {}

  void Sources(int32_t width, const std::vector<int32_t>& heights, int32_t declared) override {
    out_.declaredFrames = declared;
    uint64_t cellsPerFrame = 0;
    for (int32_t h : heights) cellsPerFrame += uint64_t(width) * uint64_t(h);
    const uint64_t fit = cellsPerFrame == 0 ? 0 : fileBytes_ / (2 * cellsPerFrame);
    const uint64_t frames = std::min<uint64_t>(uint64_t(std::max(declared, 0)), fit);
    for (int32_t h : heights) {
      SourceData s;
      s.width = width;
      s.height = h;
      s.cells.reserve(frames * s.CellsPerFrame());
      s.frameNo.reserve(frames);
      s.timeMs.reserve(frames);
      s.readErrors.reserve(frames);
      out_.sources.push_back(std::move(s));
    }
  }

  void Name(size_t source, std::string_view name) override {
    // The writer puts a space after "Type," that belongs to the layout, not the name.
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    out_.sources[source].name = std::string(name);
  }

  void BeginBlock(size_t source, const BlockStamp& stamp, int32_t** cells,
                  uint8_t** mask) override {
    SourceData& s = out_.sources[source];
    const size_t n = s.CellsPerFrame();
    s.cells.resize(s.cells.size() + n);
    *cells = s.cells.data() + s.cells.size() - n;
    scratch_.resize(n);
    *mask = scratch_.data();
    s.frameNo.push_back(stamp.frameNumber);
    s.timeMs.push_back(stamp.timeMs);
    s.readErrors.push_back(stamp.readErrors);
  }

  void EndBlock(size_t source, const BlockFigures&, int32_t, int32_t) override {
    SourceData& s = out_.sources[source];
    const size_t n = s.CellsPerFrame();
    if (s.frames == 0) {
      s.sharedMask = scratch_;
    } else if (!s.masks.empty()) {
      s.masks.insert(s.masks.end(), scratch_.begin(), scratch_.end());
    } else if (std::memcmp(scratch_.data(), s.sharedMask.data(), n) != 0) {
      // The first frame whose mask differs: from now on every frame keeps its own.
      s.masks.reserve(s.cells.capacity());
      for (int32_t f = 0; f < s.frames; ++f)
        s.masks.insert(s.masks.end(), s.sharedMask.begin(), s.sharedMask.end());
      s.masks.insert(s.masks.end(), scratch_.begin(), scratch_.end());
    }
    ++s.frames;
  }

  // A failure inside a block leaves a frame's cells without its end: drop them.
  void DropPartialFrames() {
    for (SourceData& s : out_.sources) {
      s.cells.resize(size_t(s.frames) * s.CellsPerFrame());
      s.frameNo.resize(size_t(s.frames));
      s.timeMs.resize(size_t(s.frames));
      s.readErrors.resize(size_t(s.frames));
    }
  }

 private:
  RecordingData& out_;
  uint64_t fileBytes_;
  std::vector<uint8_t> scratch_;
};

bool HasExtension(const std::string& path, const char* ext) {
  return std::filesystem::path(path).extension() == ext;
}

}  // namespace

bool ReadRecordingData(const std::string& path, RecordingData* out, std::string* error) {
  *out = RecordingData{};
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    *error = "can't open " + path + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = path + " is not a regular file";
    return false;
  }
  std::string text = path;
  std::string decoded;
  if (HasExtension(path, ".tbl")) {
    if (!DecodeTbl(path, decoded)) {
      *error = "can't decode " + path;
      return false;
    }
    text = decoded;
  }
  ArrayVisitor visitor(*out, uint64_t(st.st_size));
  const bool ok = ParseRecording(text, visitor, error);
  if (!decoded.empty()) ::unlink(decoded.c_str());
  if (!ok) {
    visitor.DropPartialFrames();
    *error = path + ": " + *error;
  }
  return ok;
}

SourceRef RefOf(const SourceData& s) {
  SourceRef r;
  r.name = s.name;
  r.width = s.width;
  r.height = s.height;
  r.frames = s.frames;
  r.cells = s.cells.data();
  r.masks = s.masks.empty() ? s.sharedMask.data() : s.masks.data();
  r.maskStride = s.masks.empty() ? 0 : int64_t(s.CellsPerFrame());
  r.frameNo = s.frameNo.data();
  r.timeMs = s.timeMs.data();
  r.readErrors = s.readErrors.data();
  return r;
}

bool WriteRecordingData(const std::string& path, const std::vector<SourceRef>& sources,
                        std::string* error) {
  namespace fs = std::filesystem;
  if (sources.empty()) return *error = "a recording needs at least one source", false;
  const SourceRef& first = sources.front();
  for (const SourceRef& s : sources) {
    if (s.frames != first.frames)
      return *error = "every source needs the same number of frames", false;
    if (s.width != first.width)
      return *error = "every source needs the same width (a recording has one Width)", false;
    if (s.height <= 0 || s.width <= 0) return *error = "a source has no cells", false;
    // The writer stamps one time on every source's block of a frame.
    if (!std::equal(s.timeMs, s.timeMs + s.frames, first.timeMs))
      return *error = "every source needs the same time_ms (one time per frame)", false;
    if (s.name.find_first_of(",\r\n") != std::string::npos)
      return *error = "a source name may not hold a comma or a line break", false;
  }
  if (first.frames == 0) return *error = "a recording needs at least one frame", false;

  const fs::path target(path);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string scratch = (dir / ".pelorin-write-XXXXXX").string();
  if (::mkdtemp(scratch.data()) == nullptr)
    return *error = "can't write in " + dir.string() + ": " + std::strerror(errno), false;
  const std::string name = target.filename().string();

  std::vector<DumpSource> dump(sources.size());
  for (size_t i = 0; i < dump.size(); ++i) {
    dump[i].name = sources[i].name;
    dump[i].width = sources[i].width;
    dump[i].height = sources[i].height;
  }
  bool ok = true;
  {
    DumpFile file;
    ok = OpenDump(file, scratch, dump);
    for (int32_t f = 0; ok && f < first.frames; ++f) {
      for (size_t i = 0; i < dump.size(); ++i) {
        const SourceRef& s = sources[i];
        const size_t n = s.CellsPerFrame();
        dump[i].cells = s.Cells(f);
        const uint8_t* mask = s.Mask(f);
        const bool allValid = std::all_of(mask, mask + n, [](uint8_t v) { return v != 0; });
        dump[i].mask = allValid ? nullptr : mask;
        dump[i].frameNumber = s.frameNo[f];
        dump[i].readErrors = s.readErrors[f];
      }
      ok = WriteFrames(file, dump, first.timeMs[f]);
    }
    ok = ok && FinishDump(file, name);
    if (!ok) *error = file.Error().empty() ? "can't write " + path : file.Error();
  }
  std::error_code ec;
  if (ok) {
    fs::rename(fs::path(scratch) / name, target, ec);
    if (ec) {
      ok = false;
      *error = "can't rename the recording to " + path + ": " + ec.message();
    }
  }
  fs::remove_all(scratch, ec);
  return ok;
}

}  // namespace pelorin::py
