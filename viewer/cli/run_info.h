#pragma once
// The facts around a run that a line files with its result: when it ran, which tool and
// library did it, which device answered, and the file the result goes into.
#include <chrono>
#include <string>

#include "cli/check_results.h"

namespace pelorin {

// "2026-12-08T16:23:25.123Z".
std::string IsoTimeUtc(std::chrono::system_clock::time_point t);

// The version of this program, and of the corlink library it runs with: the one the
// loaded shared library's file name carries, else the one it was built with.
std::string ToolVersion();
std::string LibraryVersion();

// The device corlink opened last (type, path, vendor and product id).
DeviceIdentity CorlinkIdentity();

// Replaces `path` by `text` without ever truncating what is there: the text goes to a new
// file beside it, reaches the disk, and is renamed over the old one. A file that exists
// keeps its permissions. False with the cause in *error; the old file is then untouched.
bool WriteFileReplacing(const std::string& path, const std::string& text, std::string* error);

}  // namespace pelorin
