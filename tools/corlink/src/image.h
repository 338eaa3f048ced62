// A firmware image: runs of bytes at flash addresses, read from an Intel HEX file or a raw
// binary. Parsing checks everything before the tool talks to a device: a file that is not
// clean is refused with the line and the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corlink_tool {

struct Segment {
  uint32_t address = 0;
  std::vector<uint8_t> data;
};

struct Image {
  std::vector<Segment> segments;  // sorted by address, not touching each other
  size_t Size() const;
};

// The most an image may hold (the tool refuses anything larger).
inline constexpr size_t kMaxImageBytes = 16u * 1024u * 1024u;

// Intel HEX: data (00), end of file (01), extended segment (02) and linear (04) address
// records; start addresses (03, 05) are accepted and ignored. Refused: a line not starting
// with ':', a character that is not hex, an odd digit count, a byte count that disagrees
// with the line, a bad checksum, an unknown record type, a record after the end-of-file
// record, a missing end-of-file record, data running past 4 GiB, bytes given twice
// (overlapping records), and an image above kMaxImageBytes. Returns false with *error set.
bool ParseIntelHex(std::string_view text, Image* out, std::string* error);

// A raw binary placed at address. Refused when empty, too large, or running past 4 GiB.
bool RawImage(const std::vector<uint8_t>& bytes, uint32_t address, Image* out, std::string* error);

}  // namespace corlink_tool
