#include "recording/csv_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace pelorin {
namespace {
constexpr size_t kChunk = 1 << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

CsvReader::CsvReader(CsvSettings settings) : settings_(settings) {}

CsvReader::~CsvReader() { Close(); }

bool CsvReader::Open(const std::string& path) {
  Close();
  std::string name;
  try {
    name = path;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "Fatal error : unable to allocate memory for file name buffer %s\n",
                 path.c_str());
    return false;
  }
  if (name.empty()) {
    std::fprintf(stderr, "Fatal error : invalid input file %s\n", name.c_str());
    return false;
  }
  file_ = std::fopen(name.c_str(), "rb");
  if (file_ == nullptr) {
    std::fprintf(stderr, "Fatal error : unable to open input file %s\n", name.c_str());
    return false;
  }
  // Small files get a small buffer; lines longer than it make it grow.
  struct stat st {};
  size_t want = kChunk;
  if (fstat(fileno(file_), &st) == 0 && st.st_size >= 0 && uint64_t(st.st_size) < kChunk)
    want = std::max<size_t>(size_t(st.st_size) + 1, 256);
  buf_.assign(want, '\0');
  begin_ = end_ = 0;
  eof_ = false;
  consumed_ = 0;
  lineNumber_ = 0;
  fields_.clear();
  for (int i = 0; i < settings_.skipRows && ReadRow(); ++i) {
  }
  return true;
}

void CsvReader::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  fields_.clear();
  std::vector<char>().swap(buf_);
  begin_ = end_ = 0;
}

// Moves the unread bytes to the front and reads more behind them; grows the buffer when a
// single line fills it. Returns false when nothing more could be read.
bool CsvReader::Fill() {
  if (eof_ || file_ == nullptr) return false;
  if (begin_ > 0) {
    std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buf_.size()) buf_.resize(buf_.size() * 2);
  size_t n = std::fread(buf_.data() + end_, 1, buf_.size() - end_, file_);
  if (n == 0) {
    eof_ = true;
    return false;
  }
  end_ += n;
  return true;
}

uint64_t CsvReader::BytesRemaining() {
  struct stat st {};
  if (file_ == nullptr || fstat(fileno(file_), &st) != 0 || st.st_size < 0) return 0;
  const uint64_t size = uint64_t(st.st_size);
  return size > consumed_ ? size - consumed_ : 0;
}

bool CsvReader::HasMoreData() {
  if (begin_ < end_) return true;
  return Fill();
}

// Finds the next line in the buffer, reading more as needed, and consumes it.
bool CsvReader::NextLine(char** begin, char** end) {
  fields_.clear();
  if (!HasMoreData()) return false;
  size_t scanFrom = begin_;
  char* hit = nullptr;
  for (;;) {
    hit = static_cast<char*>(
        std::memchr(buf_.data() + scanFrom, settings_.terminator, end_ - scanFrom));
    if (hit != nullptr) break;
    size_t scanned = end_ - begin_;
    if (!Fill()) break;  // the last line has no terminator
    scanFrom = begin_ + scanned;
  }
  *begin = buf_.data() + begin_;
  *end = hit != nullptr ? hit : buf_.data() + end_;
  size_t taken = size_t(*end - *begin) + (hit != nullptr ? 1 : 0);
  begin_ += taken;
  consumed_ += taken;
  ++lineNumber_;
  return true;
}

bool CsvReader::ReadRow() {
  char* lineBegin = nullptr;
  char* lineEnd = nullptr;
  if (!NextLine(&lineBegin, &lineEnd)) return false;
  Split(lineBegin, lineEnd);
  return true;
}

bool CsvReader::ReadLine(std::string_view* line) {
  char* lineBegin = nullptr;
  char* lineEnd = nullptr;
  if (!NextLine(&lineBegin, &lineEnd)) return false;
  *line = std::string_view(lineBegin, size_t(lineEnd - lineBegin));
  return true;
}

void CsvReader::Split(char* begin, char* end) {
  // Fields are short: a plain scan beats a library call per field.
  const char sep = settings_.separator;
  char* start = begin;
  for (char* p = begin; p != end; ++p) {
    if (*p == sep) {
      fields_.emplace_back(start, size_t(p - start));
      start = p + 1;
    }
  }
  fields_.emplace_back(start, size_t(end - start));
  std::string_view& last = fields_.back();
  if (!last.empty() && last.back() == '\r') last.remove_suffix(1);
  if (settings_.trimFields) {
    for (auto& f : fields_) {
      while (!f.empty() && IsBlank(f.front())) f.remove_prefix(1);
      while (!f.empty() && IsBlank(f.back())) f.remove_suffix(1);
    }
  }
  const char quote = settings_.quote;
  if (quote != '\0') {
    for (auto& f : fields_) {
      if (f.size() > 2 && f.front() == quote && f.back() == quote) f = f.substr(1, f.size() - 2);
    }
  }
}

int32_t ParseLeadingInt(std::string_view field) {
  size_t i = 0;
  const size_t n = field.size();
  while (i < n && (field[i] == ' ' || (field[i] >= '\t' && field[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < n && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  // Accumulate as a negative number so INT32_MIN fits; saturate once past the range.
  constexpr int64_t kLimit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
  int64_t value = 0;
  for (; i < n && field[i] >= '0' && field[i] <= '9'; ++i) {
    if (value < kLimit) value = value * 10 + (field[i] - '0');
  }
  if (negative) return value >= kLimit ? std::numeric_limits<int32_t>::min() : int32_t(-value);
  return value >= kLimit ? std::numeric_limits<int32_t>::max() : int32_t(value);
}

}  // namespace pelorin
