#include "data/limits/golden_file.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "data/recording/recording_reader.h"
#include "data/whole_file.h"

namespace pelorin {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool Blank(std::string_view s) { return Trim(s).empty(); }

// The lines of a text, LF or CR LF, numbered from 1.
class Lines {
 public:
  explicit Lines(std::string_view text) : rest_(text) {}

  bool Next(std::string_view* line) {
    if (rest_.empty()) return false;
    const size_t end = std::min(rest_.find('\n'), rest_.size());
    *line = rest_.substr(0, end);
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    rest_.remove_prefix(std::min(end + 1, rest_.size()));
    ++number_;
    return true;
  }
  bool OnlyBlanksLeft() const {
    return rest_.find_first_not_of(" \t\r\n") == std::string_view::npos;
  }
  size_t BytesLeft() const { return rest_.size(); }
  int64_t Number() const { return number_; }

 private:
  std::string_view rest_;
  int64_t number_ = 0;
};

void Split(std::string_view line, std::vector<std::string_view>* fields) {
  fields->clear();
  for (;;) {
    const size_t comma = line.find(',');
    fields->push_back(line.substr(0, comma));
    if (comma == std::string_view::npos) return;
    line.remove_prefix(comma + 1);
  }
}

// A whole number in [low, high], blanks around it allowed, nothing else.
bool WholeNumber(std::string_view field, int64_t low, int64_t high, int64_t* out) {
  field = Trim(field);
  if (!field.empty() && field.front() == '+') field.remove_prefix(1);
  int64_t v = 0;
  const auto r = std::from_chars(field.data(), field.data() + field.size(), v);
  if (field.empty() || r.ec != std::errc() || r.ptr != field.data() + field.size()) return false;
  if (v < low || v > high) return false;
  *out = v;
  return true;
}

// Quotes a field for a message, cut short.
std::string Quoted(std::string_view field) {
  std::string q = "\"" + std::string(field.substr(0, 24));
  if (field.size() > 24) q += "...";
  return q + "\"";
}

class GoldenParser {
 public:
  explicit GoldenParser(std::string_view text) : lines_(text) {}

  bool Parse(GoldenFrame* out, std::string* error) {
    error_ = error;
    if (!Header() || !Frames()) return false;
    GoldenFrame g;
    g.width = width_;
    g.height = heights_[0];
    g.frames = frames_;
    g.source = source_;
    g.mean.assign(sum_.size(), 0);
    g.valid.assign(sum_.size(), 0);
    for (size_t i = 0; i < sum_.size(); ++i) {
      if (count_[i] == 0) continue;
      g.mean[i] = double(sum_[i]) / count_[i];
      g.valid[i] = 1;
    }
    *out = std::move(g);
    return true;
  }

 private:
  bool Fail(const std::string& why) {
    *error_ = "line " + std::to_string(lines_.Number()) + ": " + why;
    return false;
  }

  // A header line: its word, then at least one value.
  bool HeaderLine(const char* word) {
    std::string_view line;
    if (!lines_.Next(&line))
      return Fail(std::string("the file ends before the \"") + word + "\" line");
    Split(line, &fields_);
    if (fields_[0] != word || fields_.size() < 2)
      return Fail(std::string("expected the \"") + word + "\" line");
    return true;
  }

  bool Header() {
    std::string_view line;
    if (lines_.Next(&line)) Split(line, &fields_);
    if (lines_.Number() == 0 || fields_[0] != "Pelorin")
      return Fail("not a Pelorin recording (the first line is not \"Pelorin\")");
    if (!HeaderLine("FrameCount")) return false;

    if (!HeaderLine("Width")) return false;
    for (size_t i = 1; i < fields_.size(); ++i) {
      int64_t w = 0;
      if (!WholeNumber(fields_[i], 1, kMaxFrameCells, &w))
        return Fail("Width " + Quoted(fields_[i]) + " is not a positive whole number");
      if (i > 1 && w != width_) return Fail("the sources differ in Width");
      width_ = int32_t(w);
    }

    if (!HeaderLine("Height")) return false;
    if (fields_.size() - 1 > size_t(kMaxSources))
      return Fail("more than " + std::to_string(kMaxSources) + " sources");
    for (size_t i = 1; i < fields_.size(); ++i) {
      int64_t h = 0;
      if (!WholeNumber(fields_[i], 1, kMaxFrameCells, &h))
        return Fail("Height " + Quoted(fields_[i]) + " is not a positive whole number");
      if (int64_t(width_) * h > kMaxFrameCells)
        return Fail("a frame of " + std::to_string(width_) + " x " + std::to_string(h) +
                    " cells is too large");
      heights_.push_back(int32_t(h));
    }

    if (!HeaderLine("Type")) return false;
    if (fields_.size() - 1 > heights_.size()) return Fail("more Type names than sources");
    source_ = std::string(Trim(fields_[1]));
    return EmptyLine("the header");
  }

  // The empty line that follows the header and every block; the end of the file may
  // stand in for it.
  bool EmptyLine(const char* after) {
    std::string_view line;
    if (lines_.Next(&line) && !Blank(line))
      return Fail(std::string("expected an empty line after ") + after);
    return true;
  }

  bool Frames() {
    if (lines_.OnlyBlanksLeft()) return Fail("the recording holds no frame");
    // Every cell of the first frame takes at least two bytes ("0,"): a size the file
    // cannot hold is refused before anything is allocated for it.
    const uint64_t cells = uint64_t(width_) * uint64_t(heights_[0]);
    if (cells > lines_.BytesLeft() / 2)
      return Fail("the file is too short for one frame of " + std::to_string(width_) + " x " +
                  std::to_string(heights_[0]) + " cells");
    sum_.assign(cells, 0);
    count_.assign(cells, 0);
    while (!lines_.OnlyBlanksLeft()) {
      for (size_t s = 0; s < heights_.size(); ++s) {
        if (!Block(s)) return false;
      }
      if (frames_ == std::numeric_limits<int32_t>::max()) return Fail("too many frames");
      ++frames_;
    }
    return true;
  }

  bool Block(size_t source) {
    const std::string frame = "frame " + std::to_string(frames_ + 1);
    std::string_view line;
    if (!lines_.Next(&line)) return Fail("the file ends inside " + frame);
    Split(line, &fields_);
    if (fields_.size() != 5 && fields_[0] != "No ")
      return Fail("expected a block header \"No , ...\" of " + frame);
    const int32_t height = heights_[source];
    for (int32_t x = 0; x < width_; ++x) {
      if (!lines_.Next(&line)) return Fail("the file ends inside " + frame);
      Split(line, &fields_);
      // Rows end with a comma: an empty field after the last cell is no cell.
      size_t n = fields_.size();
      if (n > 1 && Blank(fields_.back())) --n;
      if (n != size_t(height))
        return Fail("row " + std::to_string(x) + " of " + frame + " holds " + std::to_string(n) +
                    " cells, the source's Height is " + std::to_string(height));
      for (int32_t y = 0; y < height; ++y) {
        const std::string_view cell = fields_[size_t(y)];
        if (Trim(cell) == "N/A") continue;  // masked
        int64_t v = 0;
        if (!WholeNumber(cell, std::numeric_limits<int32_t>::min(),
                         std::numeric_limits<int32_t>::max(), &v)) {
          return Fail("cell " + std::to_string(y + 1) + " " + Quoted(cell) +
                      " is not a number (a cell is a 32-bit whole number or N/A)");
        }
        if (source != 0) continue;
        const size_t i = size_t(x) * size_t(height) + size_t(y);
        sum_[i] += v;
        ++count_[i];
      }
    }
    return EmptyLine("a block");
  }

  Lines lines_;
  std::string* error_ = nullptr;
  std::vector<std::string_view> fields_;
  int32_t width_ = 0;
  std::vector<int32_t> heights_;
  std::string source_;
  std::vector<int64_t> sum_;
  std::vector<int32_t> count_;
  int32_t frames_ = 0;
};

}  // namespace

bool ParseGolden(std::string_view text, GoldenFrame* out, std::string* error) {
  return GoldenParser(text).Parse(out, error);
}

bool LoadGolden(const std::string& path, GoldenFrame* out, std::string* error) {
  FileRead read = ReadWholeFile(path, kMaxGoldenBytes);
  if (!read.Whole()) {
    *error = "golden recording: " + DescribeFileRead(path, read);
    return false;
  }
  // The reader's rule for names: ".csv" is text, ".tbl" enciphered text.
  const bool csv = path.find(".csv") != std::string::npos;
  const bool tbl = !csv && path.find(".tbl") != std::string::npos;
  if (!csv && !tbl) {
    *error = "the golden recording " + path + " is not a recording (.csv or .tbl)";
    return false;
  }
  if (tbl) {
    for (char& c : read.text) c = static_cast<char>(static_cast<uint8_t>(c) + kTblDecode);
  }
  if (!ParseGolden(read.text, out, error)) {
    *error = "the golden recording " + path + ", " + *error;
    return false;
  }
  return true;
}

}  // namespace pelorin
