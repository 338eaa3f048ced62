// The HID port: the one small interface through which the library reaches devices.
//
// Two backends sit behind it:
//   hidraw   real devices: /dev/hidraw*, sysfs, HIDIOC* ioctls
//   virtual  emulated devices (panelsim) served over Unix SOCK_SEQPACKET sockets that
//            carry the Linux uhid event ABI; the library plays the kernel's part.
//
// Device paths. Discovery matches paths against substrings such as "vid_6b3e&pid_3a06"
// and "col04", so every path carries them:
//
//     <node>#vid_%04x&pid_%04x              a device with one top-level collection
//     <node>#vid_%04x&pid_%04x&col%02d      one path per collection, numbered from 1
//
// <node> is "/dev/hidrawN" or the socket file of an emulated device. Any of these paths
// can be handed back to Open(); the part from '#' on only names the collection.
//
// Report ids follow hidraw: for numbered reports byte 0 of every buffer is the report id
// on write, read and feature calls (0 for an unnumbered report on write).
//
// Handles are plain file descriptors owned by the caller, who closes them with close().
// The transfer functions pick the backend from what the descriptor is (a socket is an
// emulated device), so no table of open handles is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corlink::hid {

// One entry of a collection's report layout: one per button capability, one per value
// usage (a value capability over a usage range gives one entry per usage).
struct ReportEntry {
  uint8_t report_id = 0;
  bool is_button = false;
  uint32_t report_count = 0;  // values only
  uint32_t report_size = 0;   // bits per field
};

// A top-level collection of a report descriptor.
struct Collection {
  std::vector<ReportEntry> inputs, outputs, features;
};

// What a backend finds: one device node and its raw report descriptor.
struct RawDevice {
  std::string node;
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  std::vector<uint8_t> report_descriptor;
  std::string port;  // USB port location an emulated device announces ("1-1.4"), or empty
};

// What discovery sees: one entry per top-level collection.
struct DeviceInfo {
  std::string path;  // as described above
  std::string node;
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  int collection = 0;  // 1-based; 0 for a single-collection device
  Collection layout;
  std::string port;  // as RawDevice::port
};

// Busy: the kernel refused a shared open (EBUSY; the re-install flag is set). InUse: another
// process holds the device's lock (errno EBUSY; the library has said which process).
enum class OpenError { None, NotFound, Busy, Access, Other, InUse };

// Every HID device of both backends, hidraw first, then the virtual folder.
std::vector<DeviceInfo> Enumerate();

// The node part of a device path (everything before '#').
std::string NodeOfPath(const std::string& path);

// Opens a device path for read and write and takes the device's lock (device_lock.h).
// Returns the descriptor, or -1 with *err and errno set.
int Open(const std::string& path, OpenError* err);

// Transfers. Each moves one whole report or fails: a short transfer is a failure.
//   WriteReport: returns 1 when all len bytes went out, 0 on time-out, -1 on error.
//   ReadReport:  returns the number of bytes of the input report (> 0), 0 on time-out,
//                -1 on error (a report longer than len is cut to len).
//   SetFeature:  data[0] = report id; returns 1 on success, -1 on failure.
//   GetFeature:  buf[0] = report id on entry; returns the number of bytes (> 0) or -1.
//   Cancel:      ends what a timed-out transfer left behind: an answer that arrives late
//                for it is discarded, so the next command starts clean.
int WriteReport(int fd, const uint8_t* data, size_t len, int timeout_ms);
int ReadReport(int fd, uint8_t* buf, size_t len, int timeout_ms);
// ReadReport for the answer to a report this thread has just written to fd with
// WriteReport, within the same library call (so the host cannot have closed fd in
// between): the descriptor is not looked up again.
int ReadReportAfterWrite(int fd, uint8_t* buf, size_t len, int timeout_ms);
int SetFeature(int fd, const uint8_t* data, size_t len);
int GetFeature(int fd, uint8_t* buf, size_t len);
void Cancel(int fd);

// A backend is a small table of functions (the transfer contract above, per backend).
struct Backend {
  const char* name;
  void (*enumerate)(std::vector<RawDevice>& out);
  int (*open)(const std::string& node, OpenError* err);
  int (*write_report)(int fd, const uint8_t* data, size_t len, int timeout_ms);
  int (*read_report)(int fd, uint8_t* buf, size_t len, int timeout_ms);
  int (*set_feature)(int fd, const uint8_t* data, size_t len);
  int (*get_feature)(int fd, uint8_t* buf, size_t len);
  void (*cancel)(int fd);
};

const Backend& HidrawBackend();
const Backend& VirtualBackend();

// The folder that holds emulated devices: $CORLINK_VIRTUAL_DIR, else
// $XDG_RUNTIME_DIR/corlink, else /tmp/corlink-<uid>.
std::string VirtualDir();

}  // namespace corlink::hid
