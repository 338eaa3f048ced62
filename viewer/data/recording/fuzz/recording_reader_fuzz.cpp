// Feeds arbitrary bytes to the recording reader as a ".csv" file, and as a ".tbl" file
// when the first byte is odd.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "data/recording/recording_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char pattern[] = "/tmp/pelorin-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made != nullptr ? made : "/tmp");
  }();
  const bool tbl = size > 0 && (data[0] & 1) != 0;
  const std::string path = dir + (tbl ? "/input.tbl" : "/input.csv");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size > 0 && std::fwrite(data, 1, size, f) != size) {
    std::fclose(f);
    return 0;
  }
  std::fclose(f);
  pelorin::RecordingSet set;
  if (set.Load(path)) {
    for (int32_t m = 0; m < set.Count(); ++m) {
      const int32_t n = set.GetFrameCount(m);
      if (n > 0) (void)set.FrameAverage(m, n - 1);
    }
  }
  unlink(path.c_str());
  return 0;
}
