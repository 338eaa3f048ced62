// The default settings file for a working folder that has none: an installed viewer
// started in a new folder begins from the settings shipped with it, and says so.
#pragma once

#include <cstdio>
#include <filesystem>

namespace pelorin {

// Copies `defaults` to `folder`/PLsetting.ini when that file does not exist yet, and
// prints one line to `out` saying what it did (or why it could not). False when nothing
// was copied: the folder has its own file, there are no defaults, or the copy failed.
bool CopyDefaultSettingsIfMissing(const std::filesystem::path& defaults,
                                  const std::filesystem::path& folder, std::FILE* out);

// Where an installed program's default settings lie: <prefix>/share/pelorin/PLsetting.ini
// for a program in <prefix>/bin.
std::filesystem::path InstalledDefaultSettings(const std::filesystem::path& program);

// At start-up: the running program's installed defaults into the current folder.
void ProvideDefaultSettings();

}  // namespace pelorin
