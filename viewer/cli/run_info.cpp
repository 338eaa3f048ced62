#include "cli/run_info.h"

#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "corlink.h"

namespace pelorin {

std::string IsoTimeUtc(std::chrono::system_clock::time_point t) {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(ms % 1000));
  return text;
}

std::string ToolVersion() { return PELORIN_VERSION_TEXT; }

namespace {

// Called for every loaded object: keeps the file of the corlink library.
int FindCorlink(dl_phdr_info* info, size_t, void* data) {
  if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "libcorlink.so") != nullptr) {
    *static_cast<std::string*>(data) = info->dlpi_name;
    return 1;
  }
  return 0;
}

}  // namespace

std::string LibraryVersion() {
  std::string loaded;
  ::dl_iterate_phdr(FindCorlink, &loaded);
  if (!loaded.empty()) {
    // The soname link leads to the file that carries the full version.
    std::error_code ec;
    const std::string file = std::filesystem::canonical(loaded, ec).filename().string();
    const std::string prefix = "libcorlink.so.";
    if (!ec && file.rfind(prefix, 0) == 0 && file.size() > prefix.size())
      return file.substr(prefix.size());
  }
  return PELORIN_VERSION_TEXT;  // linked in: the library is this build's
}

DeviceIdentity CorlinkIdentity() {
  DeviceIdentity d;
  d.type = IO_GetDeviceType();
  d.typeName = DeviceTypeName(d.type);
  char path[512 + 1] = {};
  IO_GetDevicePath(path);
  path[512] = '\0';
  d.path = path;
  IO_GetVidPiD(&d.vid, &d.pid);
  return d;
}

namespace {

bool WriteAll(int fd, const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    p += n;
    left -= size_t(n);
  }
  return true;
}

}  // namespace

bool WriteFileReplacing(const std::string& path, const std::string& text, std::string* error) {
  const std::filesystem::path target(path);
  const std::string folder =
      target.has_parent_path() ? target.parent_path().string() : std::string(".");
  struct stat old {};
  const bool existed = ::stat(path.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode)) {
    *error = "can't write " + path + ": not a regular file";
    return false;
  }
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = "can't write in " + folder + ": " + std::strerror(errno);
    return false;
  }
  const mode_t mode = existed ? (old.st_mode & 07777) : 0644;
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
  int cause = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    cause = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    cause = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    *error = "can't write " + path + ": " + std::strerror(cause) +
             (existed ? "; the file is left as it was" : "");
    return false;
  }
  // The rename reaches the disk with the folder.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace pelorin
