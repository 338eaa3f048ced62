// Reading PLsetting.ini into a store and writing a store back to disk.
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "data/settings_store.h"

namespace pelorin {
namespace {

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::unique_ptr<SettingsStore> SettingsStore::Load(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxFileSize) return nullptr;

  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::printf("can not open %s\n", path.c_str());
    std::fflush(stdout);
    return nullptr;
  }
  // One byte more than allowed tells a file that grew since its size was taken.
  std::string text(kMaxFileSize + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  const auto got = static_cast<size_t>(in.gcount());
  if (got > kMaxFileSize) return nullptr;
  text.resize(got);
  return Parse(text);
}

bool SettingsStore::Save(const std::string& path) const {
  const std::string text = Serialize();
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  bool ok = fd >= 0;
  if (ok) {
    // The new file keeps the old one's permissions (mkstemp creates it private).
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
  }
  if (!ok) {
    std::printf("can not open %s to write\n", path.c_str());
    std::fflush(stdout);
  }
  return ok;
}

}  // namespace pelorin
