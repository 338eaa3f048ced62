// Feeds arbitrary bytes to the array reader of the Python module as a recording; what it
// accepts must hold consistent arrays, and must come back the same through the writer.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "recording_data.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckShapes(const pelorin::py::RecordingData& r) {
  for (const pelorin::py::SourceData& s : r.sources) {
    const size_t n = s.CellsPerFrame() * size_t(s.frames);
    Check(s.cells.size() == n);
    Check(s.masks.empty() ? s.sharedMask.size() == s.CellsPerFrame() || s.frames == 0
                          : s.masks.size() == n);
    Check(s.frameNo.size() == size_t(s.frames) && s.timeMs.size() == size_t(s.frames) &&
          s.readErrors.size() == size_t(s.frames));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char pattern[] = "/tmp/pelorin-arrays-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made != nullptr ? made : "/tmp");
  }();
  const std::string path = dir + "/input.csv";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
  std::fclose(f);
  if (!written) return 0;

  pelorin::py::RecordingData r;
  std::string error;
  const bool ok = pelorin::py::ReadRecordingData(path, &r, &error);
  CheckShapes(r);
  if (!ok) return 0;

  std::vector<pelorin::py::SourceRef> refs;
  for (const pelorin::py::SourceData& s : r.sources) refs.push_back(pelorin::py::RefOf(s));
  const std::string copy = dir + "/copy.csv";
  ::unlink(copy.c_str());
  if (!pelorin::py::WriteRecordingData(copy, refs, &error)) return 0;  // e.g. a comma in a name
  pelorin::py::RecordingData back;
  Check(pelorin::py::ReadRecordingData(copy, &back, &error));
  Check(back.sources.size() == r.sources.size());
  for (size_t i = 0; i < r.sources.size(); ++i) {
    const pelorin::py::SourceData &a = r.sources[i], &b = back.sources[i];
    Check(a.cells == b.cells && a.frameNo == b.frameNo && a.timeMs == b.timeMs);
    Check(a.readErrors == b.readErrors && a.frames == b.frames);
    for (int32_t fr = 0; fr < a.frames; ++fr)
      for (size_t c = 0; c < a.CellsPerFrame(); ++c) Check(a.Mask(fr)[c] == b.Mask(fr)[c]);
  }
  return 0;
}
