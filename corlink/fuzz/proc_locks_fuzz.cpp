// Arbitrary text as /proc/locks: the holder search stays in bounds and names a holder only
// for a line that carries the file's device and inode.
#include <sys/sysmacros.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "hid/device_lock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto pid = corlink::hid::FlockHolder(text, makedev(0, 0x19), 1234)) {
    if (*pid < 0 || text.find(":1234") == std::string_view::npos) std::abort();
  }
  return 0;
}
