// The hub device list: the recognised touch devices present, each tied to the USB port it
// hangs on. One list per process, guarded by the hub lock: a refresh on one thread and
// queries on others are safe.
//
// A refresh lists every HID collection that discovery recognises (paths of the Z5 mode,
// "vid_6b3e&pid_3a02" with "col04", instead start the mode-change program while
// auto-change is on), then walks the USB tree from each root hub in bus order, hubs
// behind ports in turn, and gives each listed device the location of the USB device it
// belongs to. Devices without a location are dropped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hub/hub_tables.h"

namespace corlink::hub {

// Where a refresh looks. Empty fields take the defaults: sysfs at $CORLINK_SYSFS_ROOT, else
// /sys; the mode-change programs in "./ChangeMode".
struct HubPlaces {
  std::string sysfs_root;
  std::string change_mode_folder;
};
void SetHubPlacesForTest(const HubPlaces& places);

// Auto-change off (0), or on with this program selector. Takes the hub lock, so a refresh
// on another thread sees the setting before or after, never half of it.
void SetAutoChange(int selector);

// Rebuilds the list; returns the number of listed devices.
int Refresh();
int Size();
// The first `count` listed devices in slot order.
std::vector<HubSlot> Listed(int count);
// Copies of the slot with exactly this path / the first with this port and hub position;
// false when there is none.
bool ByPath(const std::string& path, HubSlot* out);
bool ByPort(int32_t port_number, int32_t hub_position, HubSlot* out);

// Forgets the list and the lasting hub table (tests start each case clean).
void ResetForTest();

}  // namespace corlink::hub
