// The number lists of the hide and mask settings ("2,5,11") and the mask point list
// ("3,4;10,2"). They come from the settings file and the window's edit boxes, so anything
// that is not a plain number is dropped rather than guessed at.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace pelorin {

// Numbers separated by ",". A token holding anything but the digits 0 to 9 (a space
// included), an empty token, a token of value 0 and one too large for int32 are dropped.
// Result sorted ascending, each number once.
std::vector<int32_t> ParseNumberList(std::string_view text);

// Pairs "x,y" separated by ";". Each number may have spaces around it and may be 0; a
// pair that does not give exactly two numbers is dropped. Order as written.
std::vector<std::pair<int32_t, int32_t>> ParseMaskPoints(std::string_view text);

}  // namespace pelorin
