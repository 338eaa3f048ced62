// Arbitrary text as "qortouch.ini": the reader must keep every copy in bounds, store at
// most 128 rows, and leave every pattern terminated.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "discovery/custom_list.h"
#include "discovery/device_match.h"

namespace {
corlink::CustomList g_list;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The reader's messages would drown the fuzzer's own output.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  corlink::ParseCustomList(reinterpret_cast<const char*>(data), size, g_list);
  if (g_list.count < 0 || g_list.count > corlink::kMaxCustomEntries) std::abort();
  for (int i = 0; i < g_list.count; ++i) {
    const corlink::DeviceMatchEntry& e = g_list.entries[i];
    if (std::memchr(e.pattern, '\0', sizeof e.pattern) == nullptr) std::abort();
    (void)corlink::PathMatches(e, "/dev/hidraw0#vid_6b3e&pid_3a06&col02");
  }
  return 0;
}
