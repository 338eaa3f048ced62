// Arbitrary bytes as the USB names and values the hub walk reads from sysfs and from an
// emulated device's announcement: every parser stays in bounds, and what it accepts
// round-trips through the name it would build.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "hub/usb_names.h"
#include "hub/usb_tree.h"

using namespace corlink::hub;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto loc = ParseDeviceName(text)) {
    if (DeviceName(*loc) != text) std::abort();
    if (loc->ports.empty() || loc->ports.size() > kMaxPortDepth) std::abort();
    (void)ChildName(DeviceName(*loc), loc->ports.back());
    (void)ParentHubName(*loc);
    UsbTree tree;
    if (!AddEmulatedDevice(tree, std::string(text), 0x6b3e, 0x3a01)) std::abort();
    if (tree.Find(std::string(text)) == nullptr) std::abort();
  }
  if (auto bus = ParseRootHubName(text)) {
    if (*bus < 1 || *bus > kMaxBus) std::abort();
  }
  (void)ParseHexAttribute(text);
  (void)ParseDecimalAttribute(text);
  // The phys field is a fixed-size array that need not be terminated.
  const std::string port = PortFromPhys(reinterpret_cast<const char*>(data), size);
  if (!port.empty() && !ParseDeviceName(port)) std::abort();
  return 0;
}
