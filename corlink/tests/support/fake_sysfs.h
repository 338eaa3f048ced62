// A fabricated sysfs tree for the hub tests: root hubs, hubs and devices laid out as the
// kernel does (devices under their hub's folder, links in bus/usb/devices), and hidraw
// nodes below a device's interface with their link in class/hidraw.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace corlink::test {

class FakeSysfs {
 public:
  FakeSysfs() {
    char tmpl[] = "/tmp/corlink-sysfs-XXXXXX";
    root_ = std::filesystem::canonical(::mkdtemp(tmpl));
    std::filesystem::create_directories(root_ / "bus/usb/devices");
    std::filesystem::create_directories(root_ / "class/hidraw");
  }
  ~FakeSysfs() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  FakeSysfs(const FakeSysfs&) = delete;
  FakeSysfs& operator=(const FakeSysfs&) = delete;

  std::string root() const { return root_.string(); }

  void AddRootHub(int bus, int ports) {
    const std::string name = "usb" + std::to_string(bus);
    Place(name, root_ / "devices/pci0000:00" / ("0000:00:14." + std::to_string(bus)) / name,
          0x1d6b, 0x0002, ports);
  }
  // A device on a hub's port ("1-1.4" hangs on "1-1"); a hub when ports > 0.
  void AddDevice(const std::string& name, uint16_t vid, uint16_t pid, int ports = 0) {
    const size_t dot = name.rfind('.');
    const std::string parent = dot == std::string::npos ? "usb" + name.substr(0, name.find('-'))
                                                        : name.substr(0, dot);
    Place(name, dirs_.at(parent) / name, vid, pid, ports);
  }
  // hidrawN in the first interface of the device `usb_name`.
  void AddHidraw(int n, const std::string& usb_name) {
    const std::string node = "hidraw" + std::to_string(n);
    const auto dir = dirs_.at(usb_name) / (usb_name + ":1.0") / "0003:6B3E:3A06.0001/hidraw" / node;
    std::filesystem::create_directories(dir);
    Write(dirs_.at(usb_name) / (usb_name + ":1.0") / "bInterfaceClass", "03\n");
    std::filesystem::create_directory_symlink(dir, root_ / "class/hidraw" / node);
  }
  // Unplugs a device (and everything behind it); its hidraw links dangle, as stale ones would.
  void Remove(const std::string& name) {
    std::filesystem::remove_all(dirs_.at(name));
    std::filesystem::remove(root_ / "bus/usb/devices" / name);
    dirs_.erase(name);
  }
  void RemoveHidraw(int n) { std::filesystem::remove(root_ / "class/hidraw" / ("hidraw" + std::to_string(n))); }
  // The key the library gives the USB device `name`.
  std::string Key(const std::string& name) const {
    return (std::filesystem::path("/sys") / dirs_.at(name).lexically_relative(root_)).string();
  }
  void Write(const std::filesystem::path& file, const std::string& text) const {
    std::ofstream(file, std::ios::binary) << text;
  }

 private:
  void Place(const std::string& name, const std::filesystem::path& dir, uint16_t vid, uint16_t pid, int ports) {
    std::filesystem::create_directories(dir);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04x\n", vid);
    Write(dir / "idVendor", hex);
    std::snprintf(hex, sizeof hex, "%04x\n", pid);
    Write(dir / "idProduct", hex);
    Write(dir / "bDeviceClass", ports > 0 ? "09\n" : "00\n");
    if (ports > 0) Write(dir / "maxchild", std::to_string(ports) + "\n");
    std::filesystem::create_directory_symlink(dir, root_ / "bus/usb/devices" / name);
    dirs_[name] = dir;
  }

  std::filesystem::path root_;
  std::map<std::string, std::filesystem::path> dirs_;
};

}  // namespace corlink::test
