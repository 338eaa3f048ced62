#include "app/default_settings.h"

#include <system_error>

namespace pelorin {

namespace fs = std::filesystem;

bool CopyDefaultSettingsIfMissing(const fs::path& defaults, const fs::path& folder,
                                  std::FILE* out) {
  const fs::path target = folder / "PLsetting.ini";
  std::error_code ec;
  if (fs::exists(target, ec) || ec) return false;
  if (!fs::is_regular_file(defaults, ec)) return false;
  // Never over an existing file, not even one that appeared a moment ago.
  fs::copy_file(defaults, target, fs::copy_options::none, ec);
  if (ec) {
    std::fprintf(out,
                 "PLsetting.ini: none in %s, and the default settings could not be copied: "
                 "%s\n",
                 folder.string().c_str(), ec.message().c_str());
    return false;
  }
  std::fprintf(out, "PLsetting.ini: none in %s; copied the default settings from %s\n",
               folder.string().c_str(), defaults.string().c_str());
  return true;
}

fs::path InstalledDefaultSettings(const fs::path& program) {
  return program.parent_path().parent_path() / "share" / "pelorin" / "PLsetting.ini";
}

void ProvideDefaultSettings() {
  std::error_code ec;
  const fs::path program = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return;
  const fs::path folder = fs::current_path(ec);
  if (ec) return;
  CopyDefaultSettingsIfMissing(InstalledDefaultSettings(program), folder, stdout);
  std::fflush(stdout);
}

}  // namespace pelorin
