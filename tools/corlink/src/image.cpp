#include "image.h"

#include <map>

namespace corlink_tool {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string At(size_t line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

// Byte ranges already given, [start, end) keyed by start, to find overlaps.
class Coverage {
 public:
  // False when [start, end) meets a range already there.
  bool Add(uint64_t start, uint64_t end) {
    auto next = ranges_.lower_bound(start);
    if (next != ranges_.end() && next->first < end) return false;
    if (next != ranges_.begin() && std::prev(next)->second > start) return false;
    ranges_[start] = end;
    return true;
  }

 private:
  std::map<uint64_t, uint64_t> ranges_;
};

// Joins the bytes into sorted runs.
Image Assemble(const std::map<uint32_t, std::vector<uint8_t>>& records) {
  Image image;
  for (const auto& [address, data] : records) {
    if (!image.segments.empty()) {
      Segment& last = image.segments.back();
      if (static_cast<uint64_t>(last.address) + last.data.size() == address) {
        last.data.insert(last.data.end(), data.begin(), data.end());
        continue;
      }
    }
    image.segments.push_back({address, data});
  }
  return image;
}

}  // namespace

size_t Image::Size() const {
  size_t n = 0;
  for (const Segment& s : segments) n += s.data.size();
  return n;
}

bool ParseIntelHex(std::string_view text, Image* out, std::string* error) {
  std::map<uint32_t, std::vector<uint8_t>> records;
  Coverage coverage;
  uint64_t base = 0;
  size_t total = 0;
  bool ended = false;
  size_t line_no = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(pos, eol - pos);
    pos = eol + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    if (ended) return *error = At(line_no, "record after the end-of-file record"), false;
    if (line[0] != ':') return *error = At(line_no, "a record must start with ':'"), false;
    line.remove_prefix(1);
    for (size_t i = 0; i < line.size(); ++i) {
      if (HexDigit(line[i]) < 0)
        return *error = At(line_no, "'" + std::string(1, line[i]) + "' is not a hex digit"), false;
    }
    if (line.size() % 2 != 0) return *error = At(line_no, "odd number of hex digits"), false;
    std::vector<uint8_t> bytes(line.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<uint8_t>(HexDigit(line[2 * i]) << 4 | HexDigit(line[2 * i + 1]));
    if (bytes.size() < 5) return *error = At(line_no, "record too short"), false;
    const size_t count = bytes[0];
    if (bytes.size() != count + 5)
      return *error = At(line_no, "byte count does not match the record"), false;
    uint8_t sum = 0;
    for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
    if (sum != 0) return *error = At(line_no, "checksum mismatch"), false;
    const uint32_t offset = static_cast<uint32_t>(bytes[1] << 8 | bytes[2]);
    const uint8_t type = bytes[3];
    const uint8_t* data = bytes.data() + 4;
    switch (type) {
      case 0x00: {
        if (count == 0) break;
        const uint64_t start = base + offset;
        const uint64_t end = start + count;
        if (end > 0x100000000ull)
          return *error = At(line_no, "data runs past the 32-bit address space"), false;
        if (!coverage.Add(start, end))
          return *error = At(line_no, "overlaps bytes given before"), false;
        total += count;
        if (total > kMaxImageBytes) return *error = At(line_no, "image larger than 16 MiB"), false;
        records[static_cast<uint32_t>(start)].assign(data, data + count);
        break;
      }
      case 0x01:
        if (count != 0) return *error = At(line_no, "end-of-file record with data"), false;
        ended = true;
        break;
      case 0x02:
        if (count != 2) return *error = At(line_no, "segment address record needs 2 bytes"), false;
        base = static_cast<uint64_t>(data[0] << 8 | data[1]) << 4;
        break;
      case 0x04:
        if (count != 2) return *error = At(line_no, "linear address record needs 2 bytes"), false;
        base = static_cast<uint64_t>(data[0] << 8 | data[1]) << 16;
        break;
      case 0x03:
      case 0x05:
        if (count != 4) return *error = At(line_no, "start address record needs 4 bytes"), false;
        break;
      default: return *error = At(line_no, "unknown record type " + std::to_string(type)), false;
    }
  }
  if (!ended) return *error = "no end-of-file record", false;
  if (records.empty()) return *error = "no data records", false;
  *out = Assemble(records);
  return true;
}

bool RawImage(const std::vector<uint8_t>& bytes, uint32_t address, Image* out, std::string* error) {
  if (bytes.empty()) return *error = "the file is empty", false;
  if (bytes.size() > kMaxImageBytes) return *error = "image larger than 16 MiB", false;
  if (static_cast<uint64_t>(address) + bytes.size() > 0x100000000ull)
    return *error = "the image runs past the 32-bit address space", false;
  out->segments = {{address, bytes}};
  return true;
}

}  // namespace corlink_tool
