// A recording of one source whose cells tell the frames apart (cell k of frame f holds
// 10 * f + k), for the player's tests with and without a window.
#pragma once

#include <fstream>
#include <string>

#include "data/status_text.h"

namespace pelorin::testing {

// Writes it to path; `declared` is the FrameCount line's value (default: frames).
inline std::string WriteSteppedRecording(const std::string& path, int frames, int width, int height,
                                         int declared = -1) {
  std::ofstream out(path, std::ios::binary);
  out << "Pelorin\nFrameCount, " << (declared < 0 ? frames : declared) << "\nWidth, " << width
      << "\nHeight, " << height << "\nType, RawData\n";
  for (int f = 0; f < frames; ++f) {
    out << "\nNo , " << f + 1 << ",          0ms, Read Error Times , 0\n";
    for (int k = 0; k < width * height; ++k)
      out << 10 * f + k << (k % height == height - 1 ? ",\n" : ",");
  }
  out << "\n";
  return path;
}

// The statistics line the player shows for frame f of such a recording.
inline std::string SteppedStatistics(int f, int frames, int width, int height) {
  const int cells = width * height;
  return FormatStatistics(f, 0.0f, 10.0f * f + (cells - 1) / 2.0f, 10 * f + cells - 1,
                          10 * (frames - 1) + cells - 1, 10 * f, 0)
      .values;
}

}  // namespace pelorin::testing
