// Report descriptors and ids: each type must be recognised the way discovery sorts
// devices (one entry per value usage, per top-level collection).
#include <gtest/gtest.h>

#include "panelsim/device.h"

namespace panelsim {
namespace {

struct Entry {
  int id;
  int count;
};
struct Collection {
  std::vector<Entry> inputs, outputs, features;
};

// Just enough of a descriptor parser for our own descriptors.
std::vector<Collection> Parse(const std::vector<uint8_t>& d) {
  std::vector<Collection> out;
  int depth = 0, id = 0, count = 0, usages = 0;
  for (size_t i = 0; i < d.size();) {
    uint8_t prefix = d[i];
    int size = prefix & 3;
    if (size == 3) size = 4;
    uint32_t value = 0;
    for (int k = 0; k < size && i + 1 + k < d.size(); ++k) value |= static_cast<uint32_t>(d[i + 1 + k]) << (8 * k);
    switch (prefix & 0xFC) {
      case 0xA0:  // a main item: local items (usages) end here
        if (depth++ == 0) out.emplace_back();
        usages = 0;
        break;
      case 0xC0: --depth; break;
      case 0x84: id = static_cast<int>(value); break;
      case 0x94: count = static_cast<int>(value); break;
      case 0x08: ++usages; break;
      case 0x80:
      case 0x90:
      case 0xB0: {
        auto& list = (prefix & 0xFC) == 0x80 ? out.back().inputs : (prefix & 0xFC) == 0x90 ? out.back().outputs : out.back().features;
        for (int u = 0; u < std::max(usages, 1); ++u) list.push_back({id, count});
        usages = 0;
        break;
      }
      default: break;
    }
    i += 1 + static_cast<size_t>(size);
  }
  return out;
}

// The layout rule discovery applies, over all collections together.
std::string Classify(const std::vector<Collection>& cols) {
  std::vector<Entry> in, out;
  for (const auto& c : cols) {
    in.insert(in.end(), c.inputs.begin(), c.inputs.end());
    out.insert(out.end(), c.outputs.begin(), c.outputs.end());
  }
  if (in.size() == 1 && out.size() == 1) {
    if (in[0].id == 0x0A && out[0].id == 0x09) {
      if (in[0].count == 63 && out[0].count == 63) return "DEV_Z3_USB";
      if (in[0].count == 18 && out[0].count == 18) return "DEV_Z2_USB";
      if (in[0].count == 57 && out[0].count == 57) return "DEV_Z3_HID_OVER_I2C";
    }
    if (in[0].id == 0x35 && out[0].id == 0x53) return "DEV_Z2_USB_BRG";
  }
  if (in.size() == 2 && out.size() == 2 && in[0].id == 0x35 && in[1].id == 0x0A && out[0].id == 0x53 && out[1].id == 0x09)
    return "DEV_Z3_USB_BRG";
  return "UNKNOWN";
}

TEST(Descriptor, ReportTypesAreRecognisedByLayout) {
  for (DeviceType t : {DeviceType::Z3Usb, DeviceType::Z2Usb, DeviceType::Z3HidOverI2c, DeviceType::Z3UsbBrg}) {
    auto cols = Parse(ReportDescriptor(t));
    EXPECT_EQ(Classify(cols), DeviceTypeName(t));
    for (const auto& c : cols) EXPECT_TRUE(c.features.empty());
  }
  EXPECT_EQ(Parse(ReportDescriptor(DeviceType::Z3UsbBrg)).size(), 2u);
}

TEST(Descriptor, FeatureTypesHideFromTheLayoutPassAndUseCollectionFour) {
  for (DeviceType t : {DeviceType::NotSet, DeviceType::Z2I2c, DeviceType::Z2UsbBrg, DeviceType::UsbBrgEp1}) {
    auto cols = Parse(ReportDescriptor(t));
    ASSERT_GE(cols.size(), 4u);
    EXPECT_EQ(Classify(cols), "UNKNOWN");
    for (const auto& c : cols) EXPECT_EQ(Classify({c}), "UNKNOWN");
    ASSERT_EQ(cols[3].features.size(), 1u);
    EXPECT_EQ(cols[3].features[0].id, 9);
    EXPECT_EQ(cols[3].features[0].count, 19);  // 20 bytes with the id
    EXPECT_EQ(CarrierOf(t), Carrier::Feature);
  }
}

TEST(Descriptor, IdsMatchTheVendorTable) {
  EXPECT_EQ(IdentityOf(DeviceType::Z3Usb).product, 0x3a06);
  EXPECT_EQ(IdentityOf(DeviceType::Z3UsbBrg).product, 0x3a07);
  EXPECT_EQ(IdentityOf(DeviceType::Z2Usb).product, 0x3a04);
  EXPECT_EQ(IdentityOf(DeviceType::Z2UsbBrg).vendor, 0x6b3e);
  EXPECT_EQ(IdentityOf(DeviceType::Z2UsbBrg).product, 0x3a01);
  EXPECT_EQ(IdentityOf(DeviceType::Z2I2c).vendor, 0x8086);
  EXPECT_EQ(IdentityOf(DeviceType::Z2I2c).product, 0x2930);
}

TEST(Descriptor, TypeNamesParse) {
  for (DeviceType t : AllDeviceTypes()) {
    EXPECT_EQ(ParseDeviceType(DeviceTypeName(t)), t);
    EXPECT_EQ(ParseDeviceType(std::to_string(static_cast<int>(t))), t);
  }
  EXPECT_EQ(ParseDeviceType("z3usb"), DeviceType::Z3Usb);
  EXPECT_EQ(ParseDeviceType("z3-usb-brg"), DeviceType::Z3UsbBrg);
  EXPECT_EQ(ParseDeviceType("ep1"), DeviceType::UsbBrgEp1);
  EXPECT_FALSE(ParseDeviceType("DEV_SPI"));
  EXPECT_FALSE(ParseDeviceType("13"));
  EXPECT_FALSE(ParseDeviceType(""));
}

}  // namespace
}  // namespace panelsim
