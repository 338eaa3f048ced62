#include "data/recording/recording_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "data/recording/csv_reader.h"

namespace pelorin {
namespace {

bool Fail(RecordingSet& set, const CsvReader& reader, const std::string& what) {
  set.SetLastError("line " + std::to_string(reader.LineNumber()) + ": " + what);
  return false;
}

// A cell field: "N/A" anywhere masks the cell; otherwise its leading number. Plain short
// numbers, nearly every field of a recording, take the quick path.
bool ParseCell(std::string_view f, int32_t& value) {
  size_t i = 0;
  const bool negative = !f.empty() && f[0] == '-';
  if (negative) i = 1;
  if (f.size() > i && f.size() - i <= 9) {
    int32_t v = 0;
    for (; i < f.size(); ++i) {
      const unsigned d = unsigned(f[i]) - unsigned('0');
      if (d > 9) break;
      v = v * 10 + int32_t(d);
    }
    if (i == f.size()) {
      value = negative ? -v : v;
      return true;
    }
  }
  if (f.find("N/A") != std::string_view::npos) return false;
  value = ParseLeadingInt(f);
  return true;
}

// Reads one source's block of the current frame into a new FrameRecord.
bool ReadBlock(RecordingSet& set, CsvReader& reader, PlayerModel& source) {
  if (!reader.ReadRow()) return Fail(set, reader, "the file ends inside a frame");
  if (reader.FieldCount() != 5 && reader.Field(0) != "No ")
    return Fail(set, reader, "expected a block header \"No , ...\"");
  const int32_t width = source.Width();
  const int32_t height = source.Height();
  // Each of the width rows must hold height fields, so at least height - 1 separators
  // and a terminator: a frame too large for what is left of the file is refused before
  // it is allocated.
  const uint64_t needed = uint64_t(width) * uint64_t(std::max(1, height - 1));
  if (reader.BytesRemaining() < needed) return Fail(set, reader, "the file ends inside a frame");

  auto frame = std::make_unique<FrameRecord>(width, height);
  int64_t sum = 0;
  int32_t frameMax = frame->max;
  int32_t frameMin = frame->min;
  bool masked = false;
  for (int32_t x = 0; x < width; ++x) {
    if (!reader.HasMoreData() || !reader.ReadRow()) return Fail(set, reader, "the file ends inside a frame");
    if (reader.FieldCount() < size_t(height))
      return Fail(set, reader, "a row holds " + std::to_string(reader.FieldCount()) +
                                   " fields, fewer than Height " + std::to_string(height));
    const std::string_view* fields = reader.Fields().data();
    for (int32_t y = 0; y < height; ++y) {
      int32_t v = 0;
      if (!ParseCell(fields[y], v)) {
        masked = true;
        frame->SetCellValid(x, y, false);
        continue;  // the cell stays 0
      }
      frame->Cell(x, y) = v;
      sum += v;
      frameMax = std::max(frameMax, v);
      frameMin = std::min(frameMin, v);
    }
  }
  frame->max = frameMax;
  frame->min = frameMin;
  frame->average = float(double(sum) / (double(width) * double(height)));
  if (masked) source.SetHasMaskedCells(true);
  source.MergeFrameExtremes(frameMax, frameMin);
  source.AppendFrame(std::move(frame));
  return true;
}

bool ReadHeaderRow(RecordingSet& set, CsvReader& reader, const char* word) {
  if (!reader.ReadRow() || reader.Field(0) != word || reader.FieldCount() < 2)
    return Fail(set, reader, std::string("expected the \"") + word + "\" line");
  return true;
}

}  // namespace

bool LoadCsv(RecordingSet& set, const std::string& path) {
  CsvReader reader;
  if (!reader.Open(path)) {
    set.SetLastError("can't open " + path);
    return false;
  }
  if (!reader.ReadRow() || reader.Field(0) != "Pelorin")
    return Fail(set, reader, "not a Pelorin recording (first line is not \"Pelorin\")");
  if (!ReadHeaderRow(set, reader, "FrameCount")) return false;
  const int32_t declared = ParseLeadingInt(reader.Field(1));
  if (!ReadHeaderRow(set, reader, "Width")) return false;
  const int32_t width = ParseLeadingInt(reader.Field(1));
  if (width <= 0) return Fail(set, reader, "Width is not a positive number");
  if (!ReadHeaderRow(set, reader, "Height")) return false;
  // Check every source before anything is allocated.
  const size_t sources = reader.FieldCount() - 1;
  if (sources > size_t(kMaxSources))
    return Fail(set, reader, "more than " + std::to_string(kMaxSources) + " sources");
  std::vector<int32_t> heights;
  for (size_t i = 1; i <= sources; ++i) {
    const int32_t h = ParseLeadingInt(reader.Field(i));
    if (h <= 0) return Fail(set, reader, "Height is not a positive number");
    if (int64_t(width) * h > kMaxFrameCells)
      return Fail(set, reader, "a frame of " + std::to_string(width) + " x " + std::to_string(h) +
                                   " cells is too large");
    heights.push_back(h);
  }
  const int32_t first = set.Count();
  for (int32_t h : heights) set.AddSource(width, h, declared);
  if (!ReadHeaderRow(set, reader, "Type")) return false;
  if (reader.FieldCount() - 1 > sources) return Fail(set, reader, "more Type fields than sources");
  for (size_t i = 1; i < reader.FieldCount(); ++i)
    set.GetModel(first + int32_t(i) - 1)->SetName(std::string(reader.Field(i)));
  reader.ReadRow();  // the empty line before the first block

  int32_t frame = 0;
  while (reader.HasMoreData()) {
    for (size_t s = 0; s < sources; ++s) {
      if (s > 0 && !reader.HasMoreData()) return Fail(set, reader, "the file ends inside a frame");
      if (!ReadBlock(set, reader, *set.GetModel(first + int32_t(s)))) return false;
      set.ReportProgress(frame, declared);
      reader.ReadRow();  // the empty line after the block
    }
    if (frame < INT32_MAX) ++frame;
  }
  if (frame == 0) return Fail(set, reader, "the recording holds no frame");
  return true;
}

bool DecodeTbl(const std::string& path, std::string& decodedPath) {
  decodedPath.clear();
  if (path.rfind('.') == std::string::npos) return false;
  int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    std::fprintf(stderr, "Fatal error : unable to open input file %s\n", path.c_str());
    return false;
  }
  std::error_code ec;
  std::string name = (std::filesystem::temp_directory_path(ec) / "pelorin-tbl-XXXXXX").string();
  if (ec) name = "/tmp/pelorin-tbl-XXXXXX";
  int out = ::mkostemp(name.data(), O_CLOEXEC);
  if (out < 0) {
    ::close(in);
    return false;
  }
  std::vector<unsigned char> buf(1 << 16);
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(in, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t i = 0; i < n; ++i) buf[size_t(i)] = static_cast<unsigned char>(buf[size_t(i)] + kTblDecode);
    for (ssize_t done = 0; ok && done < n;) {
      ssize_t w = ::write(out, buf.data() + done, size_t(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) ok = false;
      else done += w;
    }
    if (!ok) break;
  }
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (!ok) {
    ::unlink(name.c_str());
    return false;
  }
  decodedPath = name;
  return true;
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
