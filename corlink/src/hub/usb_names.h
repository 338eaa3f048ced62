// USB names and attribute values as sysfs spells them, and the port location an emulated
// device announces. Everything here parses outside input (sysfs, the emulator wire), so
// every parser bounds what it reads and refuses anything that is not well formed.
//
//   root hub  "usbB"           bus B (1 to 999)
//   device    "B-P[.P...]"     bus B, then the port on each hub from the root down
//                              (ports 1 to 255, at most kMaxPortDepth of them)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corlink::hub {

inline constexpr int kMaxBus = 999;
inline constexpr int kMaxPort = 255;
inline constexpr size_t kMaxPortDepth = 7;

struct UsbLocation {
  int bus = 0;
  std::vector<int> ports;  // from the root hub down; the last is the device's own port
};

// "usb3" -> 3.
std::optional<int> ParseRootHubName(std::string_view name);
// "1-1.4" -> bus 1, ports {1, 4}. Interfaces ("1-1.4:1.0") and root hubs are refused.
std::optional<UsbLocation> ParseDeviceName(std::string_view name);
std::string DeviceName(const UsbLocation& location);

// The name of what hangs on a hub's port: ("usb1", 4) -> "1-4", ("1-1", 4) -> "1-1.4".
// Empty when hub is not a valid hub name or the result would be too deep.
std::string ChildName(const std::string& hub, int port);
// The hub a device hangs on: "1-4" -> "usb1", "1-1.4" -> "1-1".
std::string ParentHubName(const UsbLocation& location);

// Sysfs attribute values: a number in hex ("09\n", "6b3e\n") or decimal ("4\n"), with at
// most one trailing newline.
std::optional<uint32_t> ParseHexAttribute(std::string_view text);
std::optional<uint32_t> ParseDecimalAttribute(std::string_view text);

// The port location in the phys field of an emulated device's announcement:
// "port=<device name>" at its start, ended by a blank or the end of the field. Empty when
// there is none or it is not a valid device name; reads at most `size` bytes of phys.
std::string PortFromPhys(const char* phys, size_t size);

}  // namespace corlink::hub
