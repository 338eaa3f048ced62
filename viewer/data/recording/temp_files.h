// Temporary files of a recording: each run writes its own, under a name no other run
// uses, holds a lock on it while it writes, and gives it its final name by an atomic
// rename that never replaces a file. A temporary file nobody holds any more is what a
// crashed run left behind: it is kept under a "recovered" name, never reused or removed.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelorin {

// The temporary recording of older versions; still recovered when one is left over.
inline constexpr const char* kTempDumpName = "tempReport.csv";
// Name of a run's private temporary file: prefix + "-" + six random characters + suffix.
inline constexpr const char* kTempPrefix = "tempReport";

// Creates dir/prefix-XXXXXX+suffix, open for reading and writing and locked (flock) for
// as long as the descriptor stays open. Returns the descriptor and sets *path, or -1
// with errno set.
int CreatePrivateTemp(const std::string& dir, std::string_view suffix, std::string* path);

// Renames from to `to` unless `to` exists. False with errno set (EEXIST when it does).
bool RenameNoReplace(const std::string& from, const std::string& to);

// Renames every temporary recording (".csv") in dir that no running recording holds to
// "recovered_" + its name (a number added when that exists too). Returns the pairs
// (old path, new path) of the files it kept and, in *errors, the ones it could not move.
std::vector<std::pair<std::string, std::string>> RecoverLeftoverTemps(
    const std::string& dir, std::vector<std::string>* errors = nullptr);

}  // namespace pelorin
