// Reading PLsetting.ini into a store and writing a store back to disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/diagnostics.h"
#include "data/settings_store.h"
#include "data/whole_file.h"

namespace pelorin {
namespace {

void Say(const std::string& line) { Diagnostic("%s\n", line.c_str()); }

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// The file a save replaces: the target of a symbolic link, so the link stays a link.
std::string ReplacedFile(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string FolderOf(const std::string& file) {
  const size_t slash = file.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file.substr(0, slash);
}

// Write-then-rename: the old file is replaced in one step or not at all. On failure the
// line printed names the cause and the temporary file is removed.
bool ReplaceWhole(const std::string& path, const std::string& text) {
  const std::string target = ReplacedFile(path);
  struct stat old {};
  const bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode)) {
    Say("can not open " + path +
        " to write: " + std::strerror(S_ISDIR(old.st_mode) ? EISDIR : EINVAL));
    return false;
  }
  // A file its owner made read-only is not replaced behind their back.
  if (existed && ::access(target.c_str(), W_OK) != 0) {
    Say("can not open " + path + " to write: " + std::strerror(errno));
    return false;
  }

  std::string temp = target + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    Say("can not open " + path + " to write: " + std::strerror(errno));
    return false;
  }
  // The new file keeps the old one's permissions and, where allowed, its owner.
  const mode_t mode = existed ? (old.st_mode & 07777) : 0644;
  if (existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
    [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
  }
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
  int cause = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    cause = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    Say("can not write " + path + ": " + std::strerror(cause) + "; the file is left as it was");
    return false;
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    cause = errno;
    ::unlink(temp.c_str());
    Say("can not replace " + path + ": " + std::strerror(cause) + "; the file is left as it was");
    return false;
  }
  // The rename itself reaches the disk with the folder.
  const int dir = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace

std::unique_ptr<SettingsStore> SettingsStore::Load(const std::string& path) {
  const FileRead read = ReadWholeFile(path, kMaxFileSize);
  if (read.status == FileReadStatus::kNotOpened || read.status == FileReadStatus::kNotRegular) {
    Diagnostic("can not open %s\n", path.c_str());
    return nullptr;
  }
  return FromRead(read);
}

std::unique_ptr<SettingsStore> SettingsStore::FromRead(const FileRead& read) {
  if (read.Whole() && read.text.size() <= kMaxFileSize) return Parse(read.text);
  std::unique_ptr<SettingsStore> store(new SettingsStore());
  if (read.Whole() || read.status == FileReadStatus::kTooLarge)
    store->notWhole_ = "the file is larger than " + std::to_string(kMaxFileSize) + " bytes";
  else if (read.status == FileReadStatus::kShortRead || read.status == FileReadStatus::kReadError)
    store->notWhole_ = read.reason;
  else
    store->notWhole_ = "the file could not be read: " + read.reason;
  return store;
}

bool SettingsStore::Save(const std::string& path) const {
  if (!HoldsWholeFile()) {
    Say("settings not saved, " + path + " is left as it was: " + notWhole_);
    return false;
  }
  return ReplaceWhole(path, Serialize());
}

}  // namespace pelorin
