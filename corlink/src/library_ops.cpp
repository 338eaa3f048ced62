#include "library_ops.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "commands/family.h"
#include "device_type.h"
#include "discovery/discovery.h"
#include "hid/device_lock.h"
#include "library_state.h"
#include "log_sink.h"

namespace corlink {

namespace {

constexpr size_t kPathSize = sizeof(LibraryState::device_path);

}  // namespace

int OpenDevice(int32_t declare) {
  LibraryState& st = State();
  st.device_type = UNKNOWN;
  SetReinstallFlag(0);
  hid::ReleaseClosed();  // a device whose handles the host closed is free again
  Discovered found = DiscoverAndOpen(declare);
  if (found.fd < 0) {
    errno = found.error != 0 ? found.error : ENODEV;
    return -1;
  }
  std::snprintf(st.device_path, kPathSize, "%s", found.path.c_str());
  st.device_type = ClassifyPath(found.path, found.devices);
  if (declare != 0 && declare != st.device_type) {
    Log("ERROR: open device type not match. declare: %d, opened: %d\n", declare, st.device_type);
    ::close(found.fd);
    hid::ReleaseClosed();
    errno = ENODEV;
    return -1;
  }
  return found.fd;
}

int OpenDeviceByPath(const char* path) {
  LibraryState& st = State();
  SetReinstallFlag(0);
  hid::ReleaseClosed();
  if (path == nullptr) {
    errno = EINVAL;
    return -1;
  }
  const std::string p(path, strnlen(path, kPathSize * 8));
  hid::OpenError err = hid::OpenError::None;
  const int fd = CurrentDiscoveryPort().open(p, &err);
  const int code = errno;
  st.device_type = ClassifyPath(p, CurrentDiscoveryPort().enumerate());
  errno = code;
  return fd;
}

int32_t GetDeviceTypeByPath(char* path) {
  if (path == nullptr) return UNKNOWN;
  return ClassifyPath(path, CurrentDiscoveryPort().enumerate());
}

void SetChipIndex(int index) {
  LibraryState& st = State();
  const commands::Family* family = commands::CurrentFamily();
  if (family && family->select_chip) family->select_chip(st, index);
}

void GetDevicePath(char* out) {
  if (out == nullptr) return;
  const LibraryState& st = State();
  const size_t n = strnlen(st.device_path, kPathSize - 1);
  std::memcpy(out, st.device_path, n);
  out[n] = '\0';
}

void GetVidPid(uint16_t* vid, uint16_t* pid) {
  if (vid) *vid = State().vendor_id;
  if (pid) *pid = State().product_id;
}

}  // namespace corlink
