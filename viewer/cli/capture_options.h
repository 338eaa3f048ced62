#pragma once
// The command line of pelorin-capture.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pelorin {

// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitDeviceError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitLimitsFailed = 3;
// Ended by Ctrl-C (SIGINT) or SIGTERM: the frames read so far are recorded.
inline constexpr int kExitInterrupted = 130;

struct CaptureOptions {
  int32_t sourceType = 0;       // SourceType
  int32_t frames = 0;           // frames to read, at least 1
  int32_t every = 1;            // record one frame in every `every`
  std::string order;            // chip order digits; empty = by position
  int32_t chip = -1;            // -1 all, 1 master, 5 .. 11 slaves 1 .. 7
  std::string out;              // recording path; empty = the usual name in the current folder
  bool mat = false;             // --format mat: a MAT-file next to the recording
  std::string limits;           // limits file
  std::string golden;           // golden recording
  std::string tolerance = "0";  // counts, or percent with a trailing %
  std::string failures;         // CSV of the failing cells; empty = beside the recording
  std::string png;              // heat map of the mean frame
  std::optional<std::pair<int32_t, int32_t>> range;  // colour range min:max of the picture
  std::optional<int32_t> maxBadFrames;               // bad frames allowed; none: not judged
  std::string report;                                // the run's JSON record for a production line
  std::string junit;                                 // the same run as JUnit XML for CI
  std::string serial;                                // the unit's serial number, into both
  std::string station;                               // the test station, into both
  int32_t delayMs = 10;  // pause before each frame, as DELAY_BEFORE_ENABLE_DIGNOSIS
  bool json = false;
  bool quiet = false;
  bool help = false;
};

std::string CaptureUsage();

// False with a message in *error for a bad command line (exit code 2).
bool ParseCaptureOptions(const std::vector<std::string>& args, CaptureOptions* out,
                         std::string* error);

}  // namespace pelorin
