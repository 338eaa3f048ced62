#include "panelsim/device.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace panelsim {
namespace {

// Report descriptor items (short items: tag|type|size, then the data bytes).
class Descriptor {
 public:
  void Item(uint8_t prefix, uint32_t value, int size) {
    bytes_.push_back(static_cast<uint8_t>(prefix | (size == 4 ? 3 : size)));
    for (int i = 0; i < size; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
  void UsagePage(uint16_t page) { Item(0x04, page, page > 0xFF ? 2 : 1); }
  void Usage(uint8_t usage) { Item(0x08, usage, 1); }
  void Collection(uint8_t kind) { Item(0xA0, kind, 1); }
  void EndCollection() { bytes_.push_back(0xC0); }
  void ReportId(uint8_t id) { Item(0x84, id, 1); }
  void Bytes(int count) {  // logical 0..255, 8 bits, count fields
    Item(0x14, 0, 1);
    Item(0x24, 0xFF, 2);
    Item(0x74, 8, 1);
    Item(0x94, static_cast<uint32_t>(count), 1);
  }
  void Input() { Item(0x80, 0x02, 1); }    // Data, Variable, Absolute
  void Output() { Item(0x90, 0x02, 1); }
  void Feature() { Item(0xB0, 0x02, 1); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

  // A vendor collection with one input and one output report of `count` data bytes.
  void CommandCollection(uint8_t in_id, uint8_t out_id, int count) {
    UsagePage(0xFF00);
    Usage(0x01);
    Collection(0x01);
    ReportId(in_id);
    Usage(0x01);
    Bytes(count);
    Input();
    ReportId(out_id);
    Usage(0x02);
    Bytes(count);
    Output();
    EndCollection();
  }

 private:
  std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> FeatureChannelDescriptor() {
  Descriptor d;
  // 1: a touch screen reporting contacts to the OS.
  d.UsagePage(0x0D);
  d.Usage(0x04);
  d.Collection(0x01);
  d.ReportId(0x01);
  d.Usage(0x22);
  d.Bytes(7);
  d.Input();
  d.EndCollection();
  // 2: a mouse.
  d.UsagePage(0x01);
  d.Usage(0x02);
  d.Collection(0x01);
  d.ReportId(0x02);
  d.Usage(0x01);
  d.Bytes(4);
  d.Input();
  d.EndCollection();
  // 3: a vendor input.
  d.UsagePage(0xFF00);
  d.Usage(0x03);
  d.Collection(0x01);
  d.ReportId(0x03);
  d.Usage(0x03);
  d.Bytes(16);
  d.Input();
  d.EndCollection();
  // 4: the command channel: feature report 9, 19 bytes after the id.
  d.UsagePage(0xFF00);
  d.Usage(0x04);
  d.Collection(0x01);
  d.ReportId(0x09);
  d.Usage(0x04);
  d.Bytes(19);
  d.Feature();
  d.EndCollection();
  return d.bytes();
}

}  // namespace

Carrier CarrierOf(DeviceType type) {
  switch (type) {
    case DeviceType::Z2Usb: return Carrier::Z2Report;
    case DeviceType::Z3Usb:
    case DeviceType::Z3UsbBrg: return Carrier::Z3Usb;
    case DeviceType::Z3HidOverI2c: return Carrier::Z3I2c;
    default: return Carrier::Feature;
  }
}

const char* DeviceTypeName(DeviceType type) {
  switch (type) {
    case DeviceType::NotSet: return "NOT_SET";
    case DeviceType::Z2I2c: return "DEV_Z2_I2C";
    case DeviceType::Z2UsbBrg: return "DEV_Z2_USB_BRG";
    case DeviceType::Z3UsbBrg: return "DEV_Z3_USB_BRG";
    case DeviceType::Z2Usb: return "DEV_Z2_USB";
    case DeviceType::Z3Usb: return "DEV_Z3_USB";
    case DeviceType::Z3HidOverI2c: return "DEV_Z3_HID_OVER_I2C";
    case DeviceType::UsbBrgEp1: return "DEV_USB_BRG_EP1";
  }
  return "UNKNOWN";
}

const std::vector<DeviceType>& AllDeviceTypes() {
  static const std::vector<DeviceType> kAll = {
      DeviceType::NotSet, DeviceType::Z2I2c, DeviceType::Z2UsbBrg, DeviceType::Z3UsbBrg,
      DeviceType::Z2Usb,  DeviceType::Z3Usb, DeviceType::Z3HidOverI2c, DeviceType::UsbBrgEp1};
  return kAll;
}

std::optional<DeviceType> ParseDeviceType(const std::string& text) {
  std::string key;
  for (char c : text)
    if (std::isalnum(static_cast<unsigned char>(c))) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (key.rfind("dev", 0) == 0 && key.size() > 3 && !std::isdigit(static_cast<unsigned char>(key[3])))
    key = key.substr(3);
  if (!key.empty() && std::all_of(key.begin(), key.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
    if (key.size() > 3) return std::nullopt;
    int n = std::atoi(key.c_str());
    for (DeviceType t : AllDeviceTypes())
      if (static_cast<int>(t) == n) return t;
    return std::nullopt;
  }
  static const struct { const char* key; DeviceType type; } kNames[] = {
      {"notset", DeviceType::NotSet},      {"z2i2c", DeviceType::Z2I2c},
      {"z2usbbrg", DeviceType::Z2UsbBrg},  {"z3usbbrg", DeviceType::Z3UsbBrg},
      {"z2usb", DeviceType::Z2Usb},        {"z3usb", DeviceType::Z3Usb},
      {"z3hidoveri2c", DeviceType::Z3HidOverI2c}, {"z3i2c", DeviceType::Z3HidOverI2c},
      {"usbbrgep1", DeviceType::UsbBrgEp1}, {"ep1", DeviceType::UsbBrgEp1},
      {"brgep1", DeviceType::UsbBrgEp1}};
  for (const auto& n : kNames)
    if (key == n.key) return n.type;
  return std::nullopt;
}

UsbIdentity IdentityOf(DeviceType type) {
  switch (type) {
    case DeviceType::Z3Usb: return {0x6b3e, 0x3a06};
    case DeviceType::Z3UsbBrg: return {0x6b3e, 0x3a07};
    case DeviceType::Z2Usb: return {0x6b3e, 0x3a04};
    case DeviceType::Z3HidOverI2c: return {0x6b3e, 0x3a09};
    case DeviceType::Z2UsbBrg:
    case DeviceType::NotSet: return {0x6b3e, 0x3a01};
    case DeviceType::Z2I2c: return {0x8086, 0x2930};
    case DeviceType::UsbBrgEp1: return {0x5e1a, 0x3a01};
  }
  return {};
}

int ReportSize(Carrier carrier) {
  switch (carrier) {
    case Carrier::Feature: return 20;
    case Carrier::Z2Report: return 19;
    case Carrier::Z3Usb: return 64;
    case Carrier::Z3I2c: return 58;
  }
  return 0;
}

std::vector<uint8_t> ReportDescriptor(DeviceType type) {
  Descriptor d;
  switch (type) {
    case DeviceType::Z3Usb: d.CommandCollection(0x0A, 0x09, 63); break;
    case DeviceType::Z2Usb: d.CommandCollection(0x0A, 0x09, 18); break;
    case DeviceType::Z3HidOverI2c: d.CommandCollection(0x0A, 0x09, 57); break;
    case DeviceType::Z3UsbBrg:
      d.CommandCollection(0x35, 0x53, 63);
      d.CommandCollection(0x0A, 0x09, 63);
      break;
    default: return FeatureChannelDescriptor();
  }
  return d.bytes();
}

}  // namespace panelsim
