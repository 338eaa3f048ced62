#include "data/recording/temp_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace pelorin {
namespace {

std::string RandomTag() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 gen(std::random_device{}() ^ static_cast<unsigned>(::getpid()));
  std::uniform_int_distribution<int> pick(0, int(sizeof kChars) - 2);
  std::string tag;
  for (int i = 0; i < 6; ++i) tag += kChars[pick(gen)];
  return tag;
}

bool IsTempRecordingName(std::string_view name) {
  if (name == kTempDumpName) return true;
  const std::string_view prefix = std::string_view(kTempPrefix);
  // prefix + "-" + 6 characters + ".csv"
  return name.size() == prefix.size() + 1 + 6 + 4 && name.substr(0, prefix.size()) == prefix &&
         name[prefix.size()] == '-' && name.substr(name.size() - 4) == ".csv";
}

// Gives an anonymous file (O_TMPFILE) a name in dir; false when the name is taken.
bool LinkAnonymous(int fd, const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

}  // namespace

int CreatePrivateTemp(const std::string& dir, std::string_view suffix, std::string* path) {
  // The file is locked before it has a name, so that no other run can take it for a
  // crash's leftover in between; where the file system has no anonymous files, the
  // lock follows the creation at once.
  int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
  const bool anonymous = fd >= 0;
  if (anonymous && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = dir + "/" + kTempPrefix + "-" + RandomTag() + std::string(suffix);
    if (anonymous) {
      if (LinkAnonymous(fd, name)) {
        *path = name;
        return fd;
      }
      if (errno == EEXIST) continue;
      const int err = errno;
      ::close(fd);
      errno = err;
      return -1;
    }
    fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    ::flock(fd, LOCK_EX | LOCK_NB);
    *path = name;
    return fd;
  }
  if (anonymous) ::close(fd);
  errno = EEXIST;
  return -1;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: a hard link fails when the name exists.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

std::vector<std::pair<std::string, std::string>> RecoverLeftoverTemps(
    const std::string& dir, std::vector<std::string>* errors) {
  std::vector<std::pair<std::string, std::string>> kept;
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return kept;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) {
    if (IsTempRecordingName(e->d_name)) names.emplace_back(e->d_name);
  }
  ::closedir(d);
  for (const std::string& name : names) {
    const std::string path = dir + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    struct stat st {};
    // A run that is still writing holds the lock: its file is not a leftover.
    const bool leftover =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (leftover) {
      const std::string stem = name.substr(0, name.size() - 4);
      bool moved = false;
      int err = 0;
      for (int n = 1; n <= 1000 && !moved; ++n) {
        const std::string target = dir + "/recovered_" + stem +
                                   (n == 1 ? std::string() : "_" + std::to_string(n)) + ".csv";
        if (RenameNoReplace(path, target)) {
          kept.emplace_back(path, target);
          moved = true;
        } else if (errno != EEXIST) {
          err = errno;
          break;
        }
      }
      if (!moved && errors != nullptr)
        errors->push_back("can't keep " + path + ": " + std::strerror(err != 0 ? err : EEXIST));
    }
    ::close(fd);
  }
  return kept;
}

}  // namespace pelorin
