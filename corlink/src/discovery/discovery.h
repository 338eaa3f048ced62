// Device discovery: finds a touch controller among the HID devices present, decides its
// DeviceType and opens it.
//
// A device is recognised first by the layout of its reports (see TypeByLayout), and only
// if that fails by matching its path against the built-in table or the custom list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hid/hid_port.h"

namespace corlink {

// Where discovery gets devices from. The real one is the HID port; tests put in their own.
struct DiscoveryPort {
  std::vector<hid::DeviceInfo> (*enumerate)();
  int (*open)(const std::string& path, hid::OpenError* err);
};

// nullptr restores the HID port.
void SetDiscoveryPortForTest(const DiscoveryPort* port);
const DiscoveryPort& CurrentDiscoveryPort();

// Type of one collection by its report layout (UNKNOWN when no rule fits):
//   one input, one output: ids 0x0A/0x09 with both counts 63 -> DEV_Z3_USB, 18 -> DEV_Z2_USB,
//                          57 -> DEV_Z3_HID_OVER_I2C; ids 0x35/0x53 -> DEV_Z2_USB_BRG
//   two inputs 0x35, 0x0A and two outputs 0x53, 0x09      -> DEV_Z3_USB_BRG
int32_t TypeByLayout(const hid::Collection& layout);

// The type of a device path: by the layout of the enumerated device with that path (its
// vendor and product ids then go into the library state), else by the custom list or the
// built-in table. Lower-cases path in place.
//
// The layout is that of the path's collection, with one addition: a device whose
// collections together hold exactly the Z3 bridge layout (0x35/0x53 and 0x0A/0x09, one
// collection or two) is DEV_Z3_USB_BRG on each of its paths.
int32_t ClassifyPath(char* path, const std::vector<hid::DeviceInfo>& devices);
// The same on a copy: the caller's path keeps its case (the node part is case-sensitive).
int32_t ClassifyPath(std::string path, const std::vector<hid::DeviceInfo>& devices);

struct Discovered {
  int fd = -1;
  int error = 0;  // with fd -1: ENODEV when nothing was chosen, else the open's errno
  std::string path;
  std::vector<hid::DeviceInfo> devices;  // what enumeration saw, for classification
};

// Runs both passes with the declared-type filter and opens what they choose.
Discovered DiscoverAndOpen(int32_t declare);

// Every device discovery recognises, with the first of its paths that a report layout or
// a row in force names, in enumeration order. Nothing is opened.
struct ListedDevice {
  std::string path;
  int32_t type;
};
std::vector<ListedDevice> ListDevices();

}  // namespace corlink
