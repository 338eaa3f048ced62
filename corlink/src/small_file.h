// Reads at most limit bytes of a file (sysfs attributes, /proc tables): empty when it
// cannot be opened. The bound keeps a huge or endless file from being read whole.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>

namespace corlink {

inline std::string ReadSmallFile(const char* path, size_t limit) {
  std::string out;
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return out;
  char buf[4096];
  size_t n;
  while (out.size() < limit &&
         (n = std::fread(buf, 1, std::min(sizeof buf, limit - out.size()), f)) > 0)
    out.append(buf, n);
  std::fclose(f);
  return out;
}

}  // namespace corlink
