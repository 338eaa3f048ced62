#include "hub/hub_list.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "device_type.h"
#include "discovery/discovery.h"
#include "hub/mode_change.h"
#include "hub/usb_names.h"
#include "hub/usb_tree.h"
#include "library_state.h"
#include "log_sink.h"

namespace corlink::hub {

namespace {

constexpr uint16_t kZ5Vendor = 0x6b3e;
constexpr uint16_t kZ5Product = 0x3a02;
constexpr size_t kMaxPath = 511;

struct HubList {
  std::mutex lock;
  HubDeviceSlots slots;
  HubNameTables names;
  HubPlaces places;
};

HubList& List() {
  static HubList list;
  return list;
}

std::string SysfsRoot(const HubPlaces& places) {
  if (!places.sysfs_root.empty()) return places.sysfs_root;
  if (const char* env = std::getenv("CORLINK_SYSFS_ROOT"); env != nullptr && *env != '\0')
    return env;
  return "/sys";
}

std::string ChangeModeFolder(const HubPlaces& places) {
  return places.change_mode_folder.empty() ? "./ChangeMode" : places.change_mode_folder;
}

bool IsZ5Collection(const std::string& path) {
  return path.find("vid_6b3e&pid_3a02") != std::string::npos &&
         path.find("col04") != std::string::npos;
}

bool Recognised(const std::string& path, const std::vector<hid::DeviceInfo>& devices) {
  if (path.size() > kMaxPath) return false;
  return ClassifyPath(path, devices) != UNKNOWN;
}

// Lists the recognised HID collections, puts emulated devices on their ports, runs the
// mode-change program for Z5-mode collections.
void ListInterfaces(HubList& list, const std::string& root, UsbTree& tree, bool auto_change) {
  const std::vector<hid::DeviceInfo> devices = CurrentDiscoveryPort().enumerate();
  for (const hid::DeviceInfo& d : devices) {
    std::string key;
    if (!d.port.empty()) {
      if (AddEmulatedDevice(tree, d.port, d.vendor_id, d.product_id)) key = EmulatedKey(d.port);
    } else {
      key = UsbAncestorKey(root, d.node);
    }
    if (!key.empty()) Log("    %s\n", key.c_str());
    if (IsZ5Collection(d.path)) {
      if (auto_change) {
        RunModeChangeProgram(State().auto_change_program, ChangeModeFolder(list.places));
        continue;
      }
    } else if (!Recognised(d.path, devices)) {
      continue;
    }
    list.slots.List(d.path, key);  // with every slot taken the device is dropped
  }
}

void WalkHub(HubList& list, const UsbTree& tree, const std::string& name, bool auto_change) {
  int32_t index = -1, position = -1;
  if (!list.names.Enter(name, &index, &position)) return;  // a full table skips the hub
  const UsbNode* hub = tree.Find(name);
  if (hub == nullptr) return;
  for (int port = 1; port <= hub->ports; ++port) {
    const std::string child_name = ChildName(name, port);
    const UsbNode* child = child_name.empty() ? nullptr : tree.Find(child_name);
    if (child == nullptr) continue;  // nothing connected
    // A Z5-mode device is on its way to another mode while auto-change is on: no location.
    const bool z5 = child->vendor == kZ5Vendor && child->product == kZ5Product;
    if (!z5 || !auto_change) list.slots.Locate(child->key, position, index, port);
    if (child->hub) WalkHub(list, tree, child_name, auto_change);
  }
}

}  // namespace

void SetHubPlacesForTest(const HubPlaces& places) {
  std::lock_guard<std::mutex> guard(List().lock);
  List().places = places;
}

void SetAutoChange(int selector) {
  std::lock_guard<std::mutex> guard(List().lock);
  State().auto_change_flag = selector != 0 ? 1 : 0;
  if (selector != 0) State().auto_change_program = selector;
}

int Refresh() {
  SetReinstallFlag(0);
  HubList& list = List();
  std::lock_guard<std::mutex> guard(list.lock);
  list.slots.Clear();
  // Read under the lock: the setter takes it too.
  const bool auto_change = State().auto_change_flag != 0;
  const std::string root = SysfsRoot(list.places);
  UsbTree tree = ReadSysfsTree(root);
  ListInterfaces(list, root, tree, auto_change);
  for (const std::string& r : tree.RootHubs()) WalkHub(list, tree, r, auto_change);
  list.names.EndWalk();
  list.slots.DropIncomplete();
  return list.slots.Size();
}

int Size() {
  std::lock_guard<std::mutex> guard(List().lock);
  return List().slots.Size();
}

std::vector<HubSlot> Listed(int count) {
  std::vector<HubSlot> out;
  std::lock_guard<std::mutex> guard(List().lock);
  for (int i = 0; i < kHubDeviceSlots && static_cast<int>(out.size()) < count; ++i)
    if (!List().slots[i].Empty()) out.push_back(List().slots[i]);
  return out;
}

bool ByPath(const std::string& path, HubSlot* out) {
  std::lock_guard<std::mutex> guard(List().lock);
  const HubSlot* s = List().slots.FindPath(path);
  if (s != nullptr) *out = *s;
  return s != nullptr;
}

bool ByPort(int32_t port_number, int32_t hub_position, HubSlot* out) {
  std::lock_guard<std::mutex> guard(List().lock);
  const HubSlot* s = List().slots.FindPort(port_number, hub_position);
  if (s != nullptr) *out = *s;
  return s != nullptr;
}

void ResetForTest() {
  SetModeChangeTimeLimitForTest(kModeChangeTimeLimit);
  std::lock_guard<std::mutex> guard(List().lock);
  List().slots.Clear();
  List().names = HubNameTables();
  List().places = HubPlaces();
}

}  // namespace corlink::hub
