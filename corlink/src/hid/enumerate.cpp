// Enumeration over both backends, and opening by device path.
//
// Each raw device's report descriptor is parsed into top-level collections; a device with
// several gets one path per collection ("&col01", "&col02", ...), a device with one (or
// whose descriptor could not be parsed) one path without a collection part.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "hid/device_lock.h"
#include "hid/hid_port.h"
#include "hid/report_descriptor.h"
#include "log_sink.h"

namespace corlink::hid {

namespace {

std::string IdsPart(const RawDevice& d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "#vid_%04x&pid_%04x", d.vendor_id, d.product_id);
  return buf;
}

void AddDevice(const RawDevice& raw, std::vector<DeviceInfo>& out) {
  const ParsedDescriptor parsed =
      ParseReportDescriptor(raw.report_descriptor.data(), raw.report_descriptor.size());
  if (!parsed.ok)
    Log("DEVICE: report descriptor of %s rejected: %s\n", raw.node.c_str(), parsed.error.c_str());

  DeviceInfo info;
  info.node = raw.node;
  info.vendor_id = raw.vendor_id;
  info.product_id = raw.product_id;
  info.port = raw.port;
  const std::string base = raw.node + IdsPart(raw);
  const size_t n = parsed.collections.size();
  if (n <= 1) {
    info.path = base;
    if (n == 1) info.layout = parsed.collections[0];
    out.push_back(std::move(info));
    return;
  }
  for (size_t i = 0; i < n; ++i) {
    char col[24];
    std::snprintf(col, sizeof col, "&col%02d", static_cast<int>(i + 1));
    DeviceInfo one = info;
    one.path = base + col;
    one.collection = static_cast<int>(i + 1);
    one.layout = parsed.collections[i];
    out.push_back(std::move(one));
  }
}

}  // namespace

std::vector<DeviceInfo> Enumerate() {
  std::vector<RawDevice> raw;
  HidrawBackend().enumerate(raw);
  VirtualBackend().enumerate(raw);
  std::vector<DeviceInfo> out;
  for (const RawDevice& d : raw) AddDevice(d, out);
  return out;
}

std::string NodeOfPath(const std::string& path) {
  const size_t hash = path.find('#');
  return hash == std::string::npos ? path : path.substr(0, hash);
}

int Open(const std::string& path, OpenError* err) {
  const std::string node = NodeOfPath(path);
  struct stat st {};
  if (::stat(node.c_str(), &st) != 0) {
    const int code = errno;
    if (err) *err = (code == EACCES || code == EPERM) ? OpenError::Access : OpenError::NotFound;
    errno = code;
    return -1;
  }
  const bool socket = S_ISSOCK(st.st_mode);
  if (const int again = ReopenHeld(node); again >= 0) {
    if (err) *err = OpenError::None;
    return again;
  }
  const int fd = socket ? VirtualBackend().open(node, err) : HidrawBackend().open(node, err);
  if (fd < 0) return -1;
  if (!LockOpened(node, fd, socket)) {
    ::close(fd);
    if (err) *err = OpenError::InUse;
    errno = EBUSY;
    return -1;
  }
  return fd;
}

}  // namespace corlink::hid
