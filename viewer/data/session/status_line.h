// The status line's own texts beside the status message table: what a finished load or
// recording reports, and why a load failed.
#pragma once

#include <cstdint>
#include <string>

namespace pelorin {

// "can't load csv at PATH: WHY" (the table's text for a failed load, with the reader's
// reason when there is one).
std::string LoadFailedText(const std::string& path, const std::string& why);
// "loaded PATH (N frames)".
std::string LoadedText(const std::string& path, int32_t frames);
// "recorded to NAME" with the recording's file name (it lies in the working folder), and
// " (and .mat)" when a MAT-file of the same name was written too.
std::string RecordedText(const std::string& path, const std::string& matPath);

}  // namespace pelorin
