#include "hub/usb_tree.h"

#include <dirent.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "hub/usb_names.h"
#include "small_file.h"

namespace corlink::hub {

namespace {

namespace fs = std::filesystem;

constexpr size_t kAttributeLimit = 64;

std::string ReadAttribute(const fs::path& dir, const char* name) {
  return ReadSmallFile((dir / name).c_str(), kAttributeLimit);
}

// The canonical form of root, so that keys do not depend on how root was spelled.
fs::path CanonicalRoot(const std::string& root) {
  std::error_code ec;
  fs::path p = fs::canonical(root, ec);
  return ec ? fs::path() : p;
}

// "/sys" + what follows the root in a canonical path under it; empty when not under it.
std::string KeyOf(const fs::path& canonical_root, const fs::path& canonical) {
  const fs::path rel = canonical.lexically_relative(canonical_root);
  if (rel.empty() || *rel.begin() == "..") return {};
  return (fs::path("/sys") / rel).string();
}

bool IsUsbDeviceDir(const fs::path& dir) {
  std::error_code ec;
  const std::string name = dir.filename().string();
  if (!ParseRootHubName(name) && !ParseDeviceName(name)) return false;
  return fs::exists(dir / "bDeviceClass", ec) && fs::exists(dir / "idVendor", ec);
}

}  // namespace

std::vector<std::string> UsbTree::RootHubs() const {
  std::vector<std::pair<int, std::string>> roots;
  for (const auto& [name, node] : nodes)
    if (std::optional<int> bus = ParseRootHubName(name)) roots.emplace_back(*bus, name);
  std::sort(roots.begin(), roots.end());
  std::vector<std::string> out;
  for (auto& r : roots) out.push_back(std::move(r.second));
  return out;
}

const UsbNode* UsbTree::Find(const std::string& name) const {
  auto it = nodes.find(name);
  return it == nodes.end() ? nullptr : &it->second;
}

UsbTree ReadSysfsTree(const std::string& root) {
  UsbTree tree;
  const fs::path croot = CanonicalRoot(root);
  if (croot.empty()) return tree;
  const fs::path devices = croot / "bus" / "usb" / "devices";
  DIR* d = ::opendir(devices.c_str());
  if (d == nullptr) return tree;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (ParseRootHubName(name) || ParseDeviceName(name)) names.push_back(name);
  }
  ::closedir(d);
  for (const std::string& name : names) {
    std::error_code ec;
    const fs::path dir = fs::canonical(devices / name, ec);
    if (ec) continue;
    UsbNode node;
    node.key = KeyOf(croot, dir);
    if (node.key.empty()) continue;  // a link out of the tree
    const std::optional<uint32_t> cls = ParseHexAttribute(ReadAttribute(dir, "bDeviceClass"));
    const std::optional<uint32_t> vid = ParseHexAttribute(ReadAttribute(dir, "idVendor"));
    const std::optional<uint32_t> pid = ParseHexAttribute(ReadAttribute(dir, "idProduct"));
    if (!cls || !vid || !pid || *vid > 0xFFFF || *pid > 0xFFFF) continue;
    node.vendor = static_cast<uint16_t>(*vid);
    node.product = static_cast<uint16_t>(*pid);
    node.hub = *cls == 0x09;
    if (node.hub) {
      const std::optional<uint32_t> ports = ParseDecimalAttribute(ReadAttribute(dir, "maxchild"));
      node.ports = ports ? static_cast<int>(std::min<uint32_t>(*ports, kMaxPort)) : 0;
    }
    tree.nodes[name] = std::move(node);
  }
  return tree;
}

std::string UsbAncestorKey(const std::string& root, const std::string& hidraw_node) {
  const std::string base = fs::path(hidraw_node).filename().string();
  if (base.size() <= 6 || base.compare(0, 6, "hidraw") != 0) return {};
  if (!std::all_of(base.begin() + 6, base.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return {};
  const fs::path croot = CanonicalRoot(root);
  if (croot.empty()) return {};
  std::error_code ec;
  fs::path p = fs::canonical(croot / "class" / "hidraw" / base, ec);
  if (ec) return {};
  // Up from the hidraw node: hidraw, the HID device, the USB interface, the USB device.
  for (; p.has_relative_path() && p != croot; p = p.parent_path()) {
    if (KeyOf(croot, p).empty()) return {};
    if (IsUsbDeviceDir(p)) return KeyOf(croot, p);
  }
  return {};
}

std::string EmulatedKey(const std::string& location) { return "virtual:" + location; }

bool AddEmulatedDevice(UsbTree& tree, const std::string& location, uint16_t vendor,
                       uint16_t product) {
  const std::optional<UsbLocation> loc = ParseDeviceName(location);
  if (!loc) return false;
  // Check the whole way down first, so that a refusal leaves the tree as it was.
  std::vector<std::string> hubs{"usb" + std::to_string(loc->bus)};
  for (size_t i = 0; i + 1 < loc->ports.size(); ++i)
    hubs.push_back(ChildName(hubs.back(), loc->ports[i]));
  for (const std::string& h : hubs) {
    const UsbNode* n = tree.Find(h);
    if (n != nullptr && !n->hub) return false;
  }
  if (const UsbNode* n = tree.Find(location)) return n->key == EmulatedKey(location);
  for (size_t i = 0; i < hubs.size(); ++i) {
    UsbNode& h = tree.nodes[hubs[i]];
    if (h.key.empty()) {
      h.hub = true;
      h.key = EmulatedKey(hubs[i]);
    }
    h.ports = std::max(h.ports, loc->ports[i]);
  }
  UsbNode& dev = tree.nodes[location];
  dev.vendor = vendor;
  dev.product = product;
  dev.key = EmulatedKey(location);
  return true;
}

}  // namespace corlink::hub
