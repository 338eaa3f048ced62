#pragma once
// The golden reference of a panel test: the mean frame of the first source of a
// recording (".csv", or ".tbl" enciphered). A panel is judged against it, so it is read
// strictly where playback is lenient: a cell that is neither a whole number nor "N/A", a
// row of the wrong length or a block cut short refuses the file and names the line,
// instead of counting as 0.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// The mean frame of a reference recording.
struct GoldenFrame {
  int32_t width = 0, height = 0;
  std::vector<double> mean;    // [x * height + y]
  std::vector<uint8_t> valid;  // 1 = the cell held a value in some frame
  int32_t frames = 0;
  std::string source;  // the recording's first source name
};

// A reference needs a few frames; this keeps a wrong file from filling the memory.
inline constexpr size_t kMaxGoldenBytes = 256u << 20;

// Parses the text of a recording; false with "line N: reason" in *error.
bool ParseGolden(std::string_view text, GoldenFrame* out, std::string* error);

// Reads a regular file whole (decoding ".tbl") and parses it; every refusal names the
// file, and the line where there is one.
bool LoadGolden(const std::string& path, GoldenFrame* out, std::string* error);

}  // namespace pelorin
