#include "hub/usb_names.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace corlink::hub {

namespace {

// A decimal number without sign or leading zero, in [lo, hi]; consumes the digits.
std::optional<int> TakeNumber(std::string_view& s, int lo, int hi) {
  size_t n = 0;
  while (n < s.size() && n < 4 && s[n] >= '0' && s[n] <= '9') ++n;
  if (n == 0 || (n > 1 && s[0] == '0')) return std::nullopt;
  if (n < s.size() && s[n] >= '0' && s[n] <= '9') return std::nullopt;  // too many digits
  int v = 0;
  for (size_t i = 0; i < n; ++i) v = v * 10 + (s[i] - '0');
  if (v < lo || v > hi) return std::nullopt;
  s.remove_prefix(n);
  return v;
}

// At most eight digits (no sign or prefix), then at most one newline.
std::optional<uint32_t> ParseAttribute(std::string_view text, int base) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  const char* end = text.data() + text.size();
  uint32_t v = 0;
  const std::from_chars_result r = std::from_chars(text.data(), end, v, base);
  if (text.empty() || text.size() > 8 || r.ec != std::errc() || r.ptr != end) return std::nullopt;
  return v;
}

}  // namespace

std::optional<int> ParseRootHubName(std::string_view name) {
  if (name.substr(0, 3) != "usb") return std::nullopt;
  name.remove_prefix(3);
  std::optional<int> bus = TakeNumber(name, 1, kMaxBus);
  if (!bus || !name.empty()) return std::nullopt;
  return bus;
}

std::optional<UsbLocation> ParseDeviceName(std::string_view name) {
  UsbLocation loc;
  std::optional<int> bus = TakeNumber(name, 1, kMaxBus);
  if (!bus || name.empty() || name[0] != '-') return std::nullopt;
  loc.bus = *bus;
  name.remove_prefix(1);
  for (;;) {
    std::optional<int> port = TakeNumber(name, 1, kMaxPort);
    if (!port || loc.ports.size() >= kMaxPortDepth) return std::nullopt;
    loc.ports.push_back(*port);
    if (name.empty()) return loc;
    if (name[0] != '.') return std::nullopt;
    name.remove_prefix(1);
  }
}

std::string DeviceName(const UsbLocation& location) {
  std::string out = std::to_string(location.bus);
  for (size_t i = 0; i < location.ports.size(); ++i) {
    out += i == 0 ? '-' : '.';
    out += std::to_string(location.ports[i]);
  }
  return out;
}

std::string ChildName(const std::string& hub, int port) {
  if (port < 1 || port > kMaxPort) return {};
  if (std::optional<int> bus = ParseRootHubName(hub)) return DeviceName({*bus, {port}});
  std::optional<UsbLocation> loc = ParseDeviceName(hub);
  if (!loc || loc->ports.size() >= kMaxPortDepth) return {};
  loc->ports.push_back(port);
  return DeviceName(*loc);
}

std::string ParentHubName(const UsbLocation& location) {
  if (location.ports.size() <= 1) return "usb" + std::to_string(location.bus);
  UsbLocation parent = location;
  parent.ports.pop_back();
  return DeviceName(parent);
}

std::optional<uint32_t> ParseHexAttribute(std::string_view text) { return ParseAttribute(text, 16); }

std::optional<uint32_t> ParseDecimalAttribute(std::string_view text) { return ParseAttribute(text, 10); }

std::string PortFromPhys(const char* phys, size_t size) {
  if (phys == nullptr) return {};
  const size_t len = strnlen(phys, size);
  std::string_view field(phys, len);
  if (field.substr(0, 5) != "port=") return {};
  field.remove_prefix(5);
  const std::string_view name = field.substr(0, std::min(field.find(' '), field.size()));
  if (!ParseDeviceName(name)) return {};
  return std::string(name);
}

}  // namespace corlink::hub
