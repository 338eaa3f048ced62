// The transfer calls of the HID port: each picks the backend from what the descriptor is.
// A socket is an emulated device; anything else is a hidraw node.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "hid/hid_port.h"

namespace corlink::hid {

namespace {

const Backend* BackendOf(int fd) {
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) {
    errno = EBADF;
    return nullptr;
  }
  return S_ISSOCK(st.st_mode) ? &VirtualBackend() : &HidrawBackend();
}

}  // namespace

int WriteReport(int fd, const uint8_t* data, size_t len, int timeout_ms) {
  const Backend* b = BackendOf(fd);
  return b ? b->write_report(fd, data, len, timeout_ms) : -1;
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
