#pragma once
#include <cstdint>
namespace pelorin {
// Placeholder; the frame model replaces it.
const char* SourceModelName(int32_t type);
}
