// The transfer calls of the HID port: each picks the backend from what the descriptor is.
// A socket is an emulated device; anything else is a hidraw node.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "hid/hid_port.h"
#include "hid/virtual.h"

namespace corlink::hid {

namespace {

// What the last write on this thread found its descriptor to be.
struct LastWrite {
  int fd = -1;
  bool socket = false;
  struct stat st;
};
thread_local LastWrite t_last_write;

const Backend* Dispatch(int fd, bool socket, const struct stat& st) {
  if (!socket) return &HidrawBackend();
  HintDescriptor(fd, st);
  return &VirtualBackend();
}

const Backend* BackendOf(int fd, struct stat* st) {
  if (fd < 0 || fstat(fd, st) != 0) {
    errno = EBADF;
    return nullptr;
  }
  return Dispatch(fd, S_ISSOCK(st->st_mode), *st);
}

const Backend* BackendOf(int fd) {
  struct stat st;
  return BackendOf(fd, &st);
}

}  // namespace

int WriteReport(int fd, const uint8_t* data, size_t len, int timeout_ms) {
  struct stat st;
  const Backend* b = BackendOf(fd, &st);
  t_last_write.fd = b ? fd : -1;
  if (!b) return -1;
  t_last_write.socket = S_ISSOCK(st.st_mode);
  t_last_write.st = st;
  return b->write_report(fd, data, len, timeout_ms);
}

int ReadReportAfterWrite(int fd, uint8_t* buf, size_t len, int timeout_ms) {
  if (fd < 0 || t_last_write.fd != fd) return ReadReport(fd, buf, len, timeout_ms);
  return Dispatch(fd, t_last_write.socket, t_last_write.st)->read_report(fd, buf, len, timeout_ms);
}

int ReadReport(int fd, uint8_t* buf, size_t len, int timeout_ms) {
  const Backend* b = BackendOf(fd);
  return b ? b->read_report(fd, buf, len, timeout_ms) : -1;
}

int SetFeature(int fd, const uint8_t* data, size_t len) {
  const Backend* b = BackendOf(fd);
  return b ? b->set_feature(fd, data, len) : -1;
}

int GetFeature(int fd, uint8_t* buf, size_t len) {
  const Backend* b = BackendOf(fd);
  return b ? b->get_feature(fd, buf, len) : -1;
}

void Cancel(int fd) {
  if (const Backend* b = BackendOf(fd)) b->cancel(fd);
}

std::string VirtualDir() {
  const char* dir = std::getenv("CORLINK_VIRTUAL_DIR");
  if (dir && *dir) return dir;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/corlink";
  return "/tmp/corlink-" + std::to_string(getuid());
}

}  // namespace corlink::hid
