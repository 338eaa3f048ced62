#include "recording/recording_parser.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "recording/csv_reader.h"

namespace pelorin {
namespace {

bool Fail(const CsvReader& reader, std::string* error, const std::string& what) {
  *error = "line " + std::to_string(reader.LineNumber()) + ": " + what;
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

// Parses the first `height` fields of a cell row straight from its line (rows are most of
// a recording: no field list is built for them), with the rules of a split row: a field
// of more than two characters in quotes loses them, the line's carriage return goes.
// Returns how many fields were parsed, fewer than height when the line has no more.
int32_t ParseCellRow(std::string_view line, int32_t height, int32_t* cells, uint8_t* mask,
                     BlockFigures& figures) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const char* p = line.data();
  const char* const end = p + line.size();
  for (int32_t y = 0; y < height; ++y) {
    // The quick path: an optional '-' and up to nine digits up to the separator.
    const char* q = p;
    const bool negative = q < end && *q == '-';
    if (negative) ++q;
    const char* const digits = q;
    int32_t v = 0;
    while (q < end && q - digits < 9 && unsigned(*q) - unsigned('0') <= 9) {
      v = v * 10 + int32_t(*q - '0');
      ++q;
    }
    bool valid = true;
    if (q > digits && (q == end || *q == ',')) {
      if (negative) v = -v;
    } else {
      q = static_cast<const char*>(std::memchr(p, ',', size_t(end - p)));
      if (q == nullptr) q = end;
      std::string_view f(p, size_t(q - p));
      if (f.size() > 2 && f.front() == '"' && f.back() == '"') f = f.substr(1, f.size() - 2);
      valid = ParseCell(f, v);
    }
    if (valid) {
      cells[y] = v;
      mask[y] = 1;
      figures.sum += v;
      figures.max = std::max(figures.max, v);
      figures.min = std::min(figures.min, v);
    } else {
      figures.masked = true;
      cells[y] = 0;
      mask[y] = 0;
    }
    if (q == end) return y + 1;
    p = q + 1;
  }
  return height;
}

// Reads one source's block of the current frame into the visitor's storage.
bool ReadBlock(CsvReader& reader, RecordingVisitor& visitor, size_t source, int32_t width,
               int32_t height, int32_t frameIndex, int32_t declared, std::string* error) {
  if (!reader.ReadRow()) return Fail(reader, error, "the file ends inside a frame");
  if (reader.FieldCount() != 5 && reader.Field(0) != "No ")
    return Fail(reader, error, "expected a block header \"No , ...\"");
  BlockStamp stamp;
  stamp.frameNumber = ParseLeadingInt(reader.Field(1));
  stamp.timeMs = ParseLeadingInt(reader.Field(2));
  stamp.readErrors = ParseLeadingInt(reader.Field(4));
  // Each of the width rows must hold height fields, so at least height - 1 separators
  // and a terminator: a frame too large for what is left of the file is refused before
  // it is allocated.
  const uint64_t needed = uint64_t(width) * uint64_t(std::max(1, height - 1));
  if (reader.BytesRemaining() < needed) return Fail(reader, error, "the file ends inside a frame");

  int32_t* cells = nullptr;
  uint8_t* mask = nullptr;
  visitor.BeginBlock(source, stamp, &cells, &mask);
  BlockFigures figures;
  for (int32_t x = 0; x < width; ++x) {
    std::string_view line;
    if (!reader.HasMoreData() || !reader.ReadLine(&line))
      return Fail(reader, error, "the file ends inside a frame");
    int32_t* rowCells = cells + size_t(x) * size_t(height);
    uint8_t* rowMask = mask + size_t(x) * size_t(height);
    const int32_t fields = ParseCellRow(line, height, rowCells, rowMask, figures);
    if (fields < height)
      return Fail(reader, error,
                  "a row holds " + std::to_string(fields) + " fields, fewer than Height " +
                      std::to_string(height));
  }
  visitor.EndBlock(source, figures, frameIndex, declared);
  return true;
}

bool ReadHeaderRow(CsvReader& reader, const char* word, std::string* error) {
  if (!reader.ReadRow() || reader.Field(0) != word || reader.FieldCount() < 2)
    return Fail(reader, error, std::string("expected the \"") + word + "\" line");
  return true;
}

}  // namespace

bool ParseRecording(const std::string& path, RecordingVisitor& visitor, std::string* error) {
  CsvReader reader;
  if (!reader.Open(path)) {
    *error = "can't open " + path;
    return false;
  }
  if (!reader.ReadRow() || reader.Field(0) != "Pelorin")
    return Fail(reader, error, "not a Pelorin recording (first line is not \"Pelorin\")");
  if (!ReadHeaderRow(reader, "FrameCount", error)) return false;
  const int32_t declared = ParseLeadingInt(reader.Field(1));
  if (!ReadHeaderRow(reader, "Width", error)) return false;
  const int32_t width = ParseLeadingInt(reader.Field(1));
  if (width <= 0) return Fail(reader, error, "Width is not a positive number");
  if (!ReadHeaderRow(reader, "Height", error)) return false;
  // Check every source before anything is allocated.
  const size_t sources = reader.FieldCount() - 1;
  if (sources > size_t(kMaxSources))
    return Fail(reader, error, "more than " + std::to_string(kMaxSources) + " sources");
  std::vector<int32_t> heights;
  for (size_t i = 1; i <= sources; ++i) {
    const int32_t h = ParseLeadingInt(reader.Field(i));
    if (h <= 0) return Fail(reader, error, "Height is not a positive number");
    if (int64_t(width) * h > kMaxFrameCells)
      return Fail(reader, error,
                  "a frame of " + std::to_string(width) + " x " + std::to_string(h) +
                      " cells is too large");
    heights.push_back(h);
  }
  visitor.Sources(width, heights, declared);
  if (!ReadHeaderRow(reader, "Type", error)) return false;
  if (reader.FieldCount() - 1 > sources)
    return Fail(reader, error, "more Type fields than sources");
  for (size_t i = 1; i < reader.FieldCount(); ++i) visitor.Name(i - 1, reader.Field(i));
  reader.ReadRow();  // the empty line before the first block

  int32_t frame = 0;
  while (reader.HasMoreData()) {
    for (size_t s = 0; s < sources; ++s) {
      if (s > 0 && !reader.HasMoreData())
        return Fail(reader, error, "the file ends inside a frame");
      if (!ReadBlock(reader, visitor, s, width, heights[s], frame, declared, error)) return false;
      reader.ReadRow();  // the empty line after the block
    }
    if (frame < INT32_MAX) ++frame;
  }
  if (frame == 0) return Fail(reader, error, "the recording holds no frame");
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

}  // namespace pelorin
