#include "discovery/discovery.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "device_type.h"
#include "discovery/custom_list.h"
#include "discovery/device_match.h"
#include "library_state.h"
#include "log_sink.h"

namespace corlink {

namespace {

constexpr size_t kMaxPath = 512;

const DiscoveryPort kHidPort{hid::Enumerate, hid::Open};
const DiscoveryPort* g_port = &kHidPort;

const hid::DeviceInfo* FindDevice(const std::vector<hid::DeviceInfo>& devices, const char* path) {
  for (const auto& d : devices)
    if (d.path == path) return &d;
  // The caller's copy may already have been lower-cased by an earlier classification.
  for (const auto& d : devices)
    if (strcasecmp(d.path.c_str(), path) == 0) return &d;
  // A bare node names its device when the device has a single collection.
  if (std::strchr(path, '#') == nullptr) {
    const hid::DeviceInfo* only = nullptr;
    for (const auto& d : devices) {
      if (d.node != path) continue;
      if (only != nullptr) return nullptr;
      only = &d;
    }
    return only;
  }
  return nullptr;
}

// All report entries of the device a path belongs to, collection after collection.
hid::Collection WholeDeviceLayout(const hid::DeviceInfo& device,
                                  const std::vector<hid::DeviceInfo>& devices) {
  hid::Collection whole;
  for (const auto& d : devices) {
    if (d.node != device.node) continue;
    whole.inputs.insert(whole.inputs.end(), d.layout.inputs.begin(), d.layout.inputs.end());
    whole.outputs.insert(whole.outputs.end(), d.layout.outputs.begin(), d.layout.outputs.end());
  }
  return whole;
}

// Probe by layout; a recognised device leaves its ids in the library state.
//
// The Z3 bridge pairs its own reports (0x35/0x53) with the Z3 channel (0x0A/0x09). A
// descriptor may hold both pairs in one collection or give each pair a collection of its
// own; hidraw serves the whole device through one node either way, so a device whose
// collections together show exactly the bridge layout is a Z3 bridge on every path.
int32_t ProbeLayout(const hid::DeviceInfo& device, const std::vector<hid::DeviceInfo>& devices) {
  int32_t type = UNKNOWN;
  if (device.collection != 0 && TypeByLayout(WholeDeviceLayout(device, devices)) == DEV_Z3_USB_BRG)
    type = DEV_Z3_USB_BRG;
  else
    type = TypeByLayout(device.layout);
  if (type != UNKNOWN) {
    State().vendor_id = device.vendor_id;
    State().product_id = device.product_id;
  }
  return type;
}

// The rows in force: the custom list when it has any, else the built-in table.
struct Rows {
  DeviceMatchEntry* rows;
  size_t count;
  bool custom;
};

Rows RowsInForce() {
  CustomList& list = LoadCustomList();
  if (list.count > 0) return {list.entries, static_cast<size_t>(list.count), true};
  return {BuiltinTable(), kBuiltinTableSize, false};
}

// Opens what a pass chose; the table pass (`explain`) also says why an open failed. A
// device another process holds has been named by the lock already.
int OpenChosen(const std::string& path, bool explain, int* error) {
  hid::OpenError err = hid::OpenError::None;
  errno = 0;
  const int fd = CurrentDiscoveryPort().open(path, &err);
  if (fd >= 0) return fd;
  const int code = errno != 0 ? errno : EIO;
  *error = code;
  if (!explain || err == hid::OpenError::InUse) return -1;
  if (err == hid::OpenError::Busy) {
    Log("DEVICE: CreateFile failed with ERROR_SHARING_VIOLATION, check qortouch.ini "
        "content or reintall driver is needed.\n");
  } else if (err != hid::OpenError::NotFound) {
    Log("DEVICE: CreateFile failed with error 0x%x\n", code);
  }
  errno = code;
  return -1;
}

}  // namespace

void SetDiscoveryPortForTest(const DiscoveryPort* port) { g_port = port ? port : &kHidPort; }

const DiscoveryPort& CurrentDiscoveryPort() { return *g_port; }

int32_t TypeByLayout(const hid::Collection& layout) {
  const auto& in = layout.inputs;
  const auto& out = layout.outputs;
  if (in.size() == 1 && out.size() == 1) {
    if (in[0].report_id == 0x0A && out[0].report_id == 0x09) {
      const uint32_t a = in[0].report_count, b = out[0].report_count;
      if (a == 63 && b == 63) return DEV_Z3_USB;
      if (a == 18 && b == 18) return DEV_Z2_USB;
      if (a == 57 && b == 57) return DEV_Z3_HID_OVER_I2C;
    }
    if (in[0].report_id == 0x35 && out[0].report_id == 0x53) return DEV_Z2_USB_BRG;
    return UNKNOWN;
  }
  if (in.size() == 2 && out.size() == 2 && in[0].report_id == 0x35 && in[1].report_id == 0x0A &&
      out[0].report_id == 0x53 && out[1].report_id == 0x09)
    return DEV_Z3_USB_BRG;
  return UNKNOWN;
}

int32_t ClassifyPath(char* path, const std::vector<hid::DeviceInfo>& devices) {
  if (const hid::DeviceInfo* d = FindDevice(devices, path)) {
    const int32_t type = ProbeLayout(*d, devices);
    if (type != UNKNOWN) return type;
  }
  const Rows rows = RowsInForce();
  for (char* p = path; *p; ++p)
    *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  for (size_t i = 0; i < rows.count; ++i)
    if (PathMatches(rows.rows[i], path)) return rows.rows[i].device_type;
  return UNKNOWN;
}

int32_t ClassifyPath(std::string path, const std::vector<hid::DeviceInfo>& devices) {
  return ClassifyPath(path.data(), devices);
}

Discovered DiscoverAndOpen(int32_t declare) {
  LibraryState& st = State();
  st.declared_type = declare;
  const Rows rows = RowsInForce();
  auto enable = [declare](DeviceMatchEntry* table, size_t n) {
    for (size_t i = 0; i < n; ++i)
      table[i].enabled = (declare == 0 || declare == table[i].device_type) ? 1 : 0;
  };
  CustomList& custom = LoadCustomList();
  enable(custom.entries, static_cast<size_t>(custom.count));
  enable(BuiltinTable(), kBuiltinTableSize);

  Discovered found;
  for (auto& d : CurrentDiscoveryPort().enumerate()) {
    if (d.path.size() >= kMaxPath) {
      Log("warning: device request path > MAXPATH, please contact programmer\n");
      continue;
    }
    found.devices.push_back(std::move(d));
  }

  // First pass: by report layout, in enumeration order.
  for (const auto& d : found.devices) {
    if (st.verbose >= 1) Log("DEVICE: search report id %s\n", d.path.c_str());
    const int32_t type = ProbeLayout(d, found.devices);
    if (type != UNKNOWN && (declare == 0 || declare == type)) {
      found.path = d.path;
      found.fd = OpenChosen(d.path, false, &found.error);
      return found;
    }
  }

  // Second pass: the first enabled row that some path matches decides.
  for (size_t i = 0; i < rows.count; ++i) {
    const DeviceMatchEntry& row = rows.rows[i];
    if (!row.enabled) continue;
    if (rows.custom && st.verbose >= 1) {
      char col[16];
      CollectionString(row.collection, col, sizeof col);
      Log("DEVICE: try match %s, %s\n", row.pattern, col);
    }
    for (const auto& d : found.devices) {
      if (PathMatches(row, d.path.c_str())) {
        found.path = d.path;
        found.fd = OpenChosen(d.path, true, &found.error);
        return found;
      }
    }
  }
  found.error = ENODEV;
  return found;
}

std::vector<ListedDevice> ListDevices() {
  const std::vector<hid::DeviceInfo> devices = CurrentDiscoveryPort().enumerate();
  std::vector<ListedDevice> listed;
  std::vector<std::string> nodes;
  for (const hid::DeviceInfo& d : devices) {
    if (d.path.size() >= kMaxPath) continue;
    if (std::find(nodes.begin(), nodes.end(), d.node) != nodes.end()) continue;
    const int32_t type = ClassifyPath(d.path, devices);
    if (type == UNKNOWN) continue;
    nodes.push_back(d.node);
    listed.push_back({d.path, type});
  }
  return listed;
}

}  // namespace corlink
