// The USB tree as the hub walk sees it: root hubs, hubs and the devices on their ports,
// read from sysfs (<root>/bus/usb/devices) and completed with the emulated devices that
// announce a port location.
//
// A node's key identifies the device while it stays on its port: the sysfs path of its
// USB device node ("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1.4", spelled with
// "/sys" whatever root was read), or "virtual:<location>" for an emulated device.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace corlink::hub {

struct UsbNode {
  bool hub = false;  // bDeviceClass 09
  int ports = 0;     // maxchild of a hub
  uint16_t vendor = 0;
  uint16_t product = 0;
  std::string key;
};

struct UsbTree {
  std::map<std::string, UsbNode> nodes;  // by sysfs name: "usb1", "1-1", "1-1.4"

  // Root hub names in bus order.
  std::vector<std::string> RootHubs() const;
  const UsbNode* Find(const std::string& name) const;
};

// Reads every root hub and device under <root>/bus/usb/devices. A missing folder gives
// an empty tree; entries that are not USB device names (interfaces, junk) are skipped.
UsbTree ReadSysfsTree(const std::string& root);

// The key of the USB device a hidraw node ("/dev/hidraw3") belongs to: the nearest
// ancestor of <root>/class/hidraw/hidraw3 that is a USB device. Empty when there is none
// (a device on another bus, or not a hidraw node).
std::string UsbAncestorKey(const std::string& root, const std::string& hidraw_node);

std::string EmulatedKey(const std::string& location);

// Puts an emulated device on its port, adding the hubs above it that sysfs does not have
// (and ports to those that have too few). False, with the tree unchanged, when the
// location is not valid, something other than a hub stands in the way, or another device
// already holds the port.
bool AddEmulatedDevice(UsbTree& tree, const std::string& location, uint16_t vendor,
                       uint16_t product);

}  // namespace corlink::hub
