#pragma once
// Field reader for the recorded-data text files: reads one line at a time through a large
// buffer and splits it into fields that point into that buffer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

struct CsvSettings {
  char separator = ',';
  char terminator = '\n';
  // A field of more than two characters enclosed in this mark loses the two marks.
  // Separators inside the marks are not protected.
  char quote = '"';
  bool trimFields = false;  // strip blanks and tabs around each field
  int skipRows = 0;         // lines dropped right after opening
};

class CsvReader {
 public:
  explicit CsvReader(CsvSettings settings = {});
  ~CsvReader();
  CsvReader(const CsvReader&) = delete;
  CsvReader& operator=(const CsvReader&) = delete;

  // Opens the file in binary mode. Failures are printed on stderr.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

  // True while unread bytes follow (a read error ends the data).
  bool HasMoreData();
  // Reads the next line (up to and including the terminator) and splits it. Returns false
  // at the end of the data. The fields stay valid until the next ReadRow or Close.
  bool ReadRow();
  // Reads the next line like ReadRow but leaves it whole (without its terminator): for
  // callers that scan long rows themselves. The line stays valid until the next read.
  bool ReadLine(std::string_view* line);
  size_t FieldCount() const { return fields_.size(); }
  std::string_view Field(size_t i) const { return i < fields_.size() ? fields_[i] : std::string_view(); }
  const std::vector<std::string_view>& Fields() const { return fields_; }

  // Bytes of the file not consumed yet (the file's size now, less what was read).
  uint64_t BytesRemaining();
  // 1-based number of the line read last.
  uint64_t LineNumber() const { return lineNumber_; }

 private:
  bool Fill();
  bool NextLine(char** begin, char** end);
  void Split(char* begin, char* end);

  CsvSettings settings_;
  std::FILE* file_ = nullptr;
  std::vector<char> buf_;
  size_t begin_ = 0;  // first unread byte in buf_
  size_t end_ = 0;    // one past the last valid byte in buf_
  bool eof_ = false;
  uint64_t consumed_ = 0;
  uint64_t lineNumber_ = 0;
  std::vector<std::string_view> fields_;
};

// "%d"-style conversion of the start of a field: leading white space skipped, optional
// sign, decimal digits; 0 when no number starts there. Values beyond 32 bits saturate.
int32_t ParseLeadingInt(std::string_view field);

}  // namespace pelorin
