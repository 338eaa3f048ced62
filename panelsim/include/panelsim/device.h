// What kind of device panelsim plays: the device types that have a command protocol,
// their USB identities and their HID report descriptors.
//
// Identities (vendor:product) and why:
//   DEV_Z3_USB           6b3e:3a06  found by report layout (in 0x0A / out 0x09, 63 each)
//   DEV_Z3_USB_BRG       6b3e:3a07  two collections: 0x35/0x53, then 0x0A/0x09 (63 each)
//   DEV_Z2_USB           6b3e:3a04  found by report layout (in 0x0A / out 0x09, 18 each)
//   DEV_Z3_HID_OVER_I2C  6b3e:3a09  found by report layout (in 0x0A / out 0x09, 57 each);
//                                   no vendor table row needed
//   DEV_Z2_USB_BRG       6b3e:3a01  feature channel, found by the vendor table, collection 4
//   NOT_SET              6b3e:3a01  the same bridge: a host that has not declared a type
//                                   talks to it over the feature channel as well
//   DEV_Z2_I2C           8086:2930  feature channel, SMBus controller row, collection 4
//   DEV_USB_BRG_EP1      5e1a:3a01  feature channel; no discovery path yields this type,
//                                   the table types it as a bridge
// Feature-channel devices carry four top-level collections (a touch screen, a mouse, a
// vendor input and, fourth, the vendor feature report 9 of 20 bytes) so that no collection
// looks like a command channel by its input/output layout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace panelsim {

enum class DeviceType : int {
  NotSet = 0,
  Z2I2c = 2,
  Z2UsbBrg = 4,
  Z3UsbBrg = 6,
  Z2Usb = 8,
  Z3Usb = 9,
  Z3HidOverI2c = 11,
  UsbBrgEp1 = 14,
};

// How the host reaches the chips of a device type.
enum class Carrier {
  Feature,  // 20-byte feature report 9, Z1 commands
  Z2Report, // 19-byte reports, letter commands, Z1 commands to Z6 slaves in a tunnel
  Z3Usb,    // 64-byte reports, Z3 packets, Z3 packets to Z7 slaves in a 0xB0 tunnel
  Z3I2c,    // 58-byte reports, Z3 packets in the HID-over-I2C layout
};

Carrier CarrierOf(DeviceType type);

// "DEV_Z3_USB" and so on (the names hosts print); also accepted by ParseDeviceType.
const char* DeviceTypeName(DeviceType type);

// Accepts the names above (any case, with or without "DEV_"), short forms such as
// "z3usb", "z3-usb-brg", "ep1", or the type number.
std::optional<DeviceType> ParseDeviceType(const std::string& text);

// Every type panelsim can play, in number order.
const std::vector<DeviceType>& AllDeviceTypes();

struct UsbIdentity {
  uint16_t vendor = 0;
  uint16_t product = 0;
};
UsbIdentity IdentityOf(DeviceType type);

// Size in bytes (report id included) of the command reports of a carrier: 20, 19, 64, 58.
int ReportSize(Carrier carrier);

// The HID report descriptor the device announces.
std::vector<uint8_t> ReportDescriptor(DeviceType type);

}  // namespace panelsim
