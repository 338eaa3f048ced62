#include "data/frame_filter.h"

#include <cstddef>

namespace pelorin {

int32_t Convolve3x3(const FilterKernel& kernel, const int32_t (&neighbourhood)[3][3]) {
  uint32_t sum = 0;  // unsigned, so the sum wraps instead of overflowing
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      sum += static_cast<uint32_t>(kernel[i][j]) * static_cast<uint32_t>(neighbourhood[i][j]);
    }
  }
  return static_cast<int32_t>(sum);
}

bool ApplyFilter(int32_t width, int32_t height, int32_t threshold, const FilterKernel& kernel,
                 std::span<int32_t> cells, std::span<int32_t> work) {
  if (width <= 0 || height <= 0) return true;
  const size_t w = static_cast<size_t>(width);
  const size_t h = static_cast<size_t>(height);
  const size_t columns = h + 2;
  if (cells.size() < w * h || work.size() < (w + 2) * columns) return false;

  // The border is cleared too: a buffer that served a frame of another size may hold
  // old cells where this frame's border lies.
  for (size_t y = 0; y < columns; ++y) {
    work[y] = 0;
    work[(w + 1) * columns + y] = 0;
  }
  for (size_t x = 0; x < w; ++x) {
    int32_t* row = &work[(x + 1) * columns];
    row[0] = 0;
    row[h + 1] = 0;
    for (size_t y = 0; y < h; ++y) row[y + 1] = cells[x * h + y];
  }
  for (size_t x = 0; x < w; ++x) {
    for (size_t y = 0; y < h; ++y) {
      int32_t& cell = cells[x * h + y];
      if (cell <= threshold) continue;
      int32_t n[3][3];
      for (size_t i = 0; i < 3; ++i) {
        for (size_t j = 0; j < 3; ++j) n[i][j] = work[(x + i) * columns + y + j];
      }
      cell = Convolve3x3(kernel, n);
    }
  }
  return true;
}

}  // namespace pelorin
