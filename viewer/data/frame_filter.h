// The 3 x 3 filter run on live Diff frames: every cell above the threshold is replaced
// by the kernel applied to its unfiltered neighbourhood (0 outside the grid). Integer
// arithmetic wraps around in 32 bits; nothing is normalised.
#pragma once

#include <cstdint>
#include <span>

#include "data/frame_model.h"

namespace pelorin {

// Sum of kernel[i][j] x neighbourhood[i][j], wrapping around in 32 bits.
int32_t Convolve3x3(const FilterKernel& kernel, const int32_t (&neighbourhood)[3][3]);

// Filters the width x height cells (cell (x, y) at [x * height + y]) in place. work
// receives the bordered copy: (width + 2) rows of (height + 2) columns, border 0; it must
// hold at least that many cells, otherwise nothing is changed and false is returned. Cells not
// above threshold keep their value; each neighbourhood is read from the copy, so results
// never feed into other cells of the same frame.
bool ApplyFilter(int32_t width, int32_t height, int32_t threshold, const FilterKernel& kernel,
                 std::span<int32_t> cells, std::span<int32_t> work);

}  // namespace pelorin
