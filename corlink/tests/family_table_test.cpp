// Every device type against what its family offers: a wrong row in the family table sends
// a type's commands down another chip's protocol, so each type's row is checked whole.
#include <gtest/gtest.h>

#include <string>

#include "commands/family.h"
#include "corlink.h"
#include "device_type.h"
#include "library_state.h"

namespace corlink {
namespace {

using commands::Family;
using commands::FamilyFor;

struct Row {
  int32_t type;
  const Family* family;
  uint32_t fw_address;
  int fw_length;
  bool burst;
  bool report_to_os;
  int32_t after_index_5;  // the type IO_SetChipIndex(5) leaves (then 1)
  int32_t after_index_1;
  bool bridge;
  bool interface_test;
};

TEST(FamilyTable, EveryTypeHasItsFamilyAndNoOther) {
  const Row rows[] = {
      {NOT_SET, &commands::Z1FeatureFamily(), 0x3000, 12, false, true, NOT_SET, NOT_SET, false,
       false},
      {UNKNOWN, nullptr, 0xFFFFFFFF, 255, false, false, UNKNOWN, UNKNOWN, false, false},
      {DEV_Z2_I2C, &commands::Z1FeatureFamily(), 0x3000, 12, false, true, DEV_Z2_I2C, DEV_Z2_I2C,
       false, false},
      {DEV_Z3_I2C, nullptr, 0xFFFFFFFF, 255, false, false, DEV_Z3_I2C, DEV_Z3_I2C, false, false},
      {DEV_Z2_USB_BRG, &commands::Z2BridgeFamily(), 0x3000, 12, false, true, DEV_Z2_USB_BRG,
       DEV_Z2_USB_BRG, true, true},
      {DEV_Z2_I2C_MASTER, nullptr, 0xFFFFFFFF, 255, false, false, DEV_Z2_I2C_MASTER,
       DEV_Z2_I2C_MASTER, false, false},
      {DEV_Z3_USB_BRG, &commands::Z3BridgeFamily(), 0x3000, 52, true, true, DEV_Z3_USB_BRG,
       DEV_Z3_USB_BRG, false, false},
      {DEV_Z3_I2C_MASTER, nullptr, 0xFFFFFFFF, 255, false, false, DEV_Z3_I2C_MASTER,
       DEV_Z3_I2C_MASTER, false, false},
      {DEV_Z2_USB, &commands::Z2LetterFamily(), 0x4000, 16, false, true, DEV_USB_Z6SLAVE,
       DEV_Z2_USB, false, false},
      {DEV_Z3_USB, &commands::Z3UsbFamily(), 0x3000, 52, true, true, DEV_USB_Z7SLAVE, DEV_Z3_USB,
       false, false},
      {DEV_SPI, nullptr, 0xFFFFFFFF, 255, false, false, DEV_SPI, DEV_SPI, false, false},
      {DEV_Z3_HID_OVER_I2C, &commands::HidOverI2cFamily(), 0x3000, 52, true, true,
       DEV_Z3_HID_OVER_I2C, DEV_Z3_HID_OVER_I2C, false, false},
      {DEV_USB_Z6SLAVE, &commands::Z6SlaveFamily(), 0x3000, 12, false, true, DEV_USB_Z6SLAVE,
       DEV_Z2_USB, false, false},
      {DEV_USB_Z7SLAVE, &commands::Z7SlaveFamily(), 0x3000, 52, true, true, DEV_USB_Z7SLAVE,
       DEV_Z3_USB, false, false},
      {DEV_USB_BRG_EP1, &commands::Ep1BridgeFamily(), 0x3000, 12, false, false, DEV_USB_BRG_EP1,
       DEV_USB_BRG_EP1, true, false},
      // A corrupted type reaches no table entry.
      {-1, nullptr, 0xFFFFFFFF, 255, false, false, -1, -1, false, false},
      {kDeviceTypeCount, nullptr, 0xFFFFFFFF, 255, false, false, kDeviceTypeCount, kDeviceTypeCount,
       false, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(DeviceTypeName(r.type)) + " " + std::to_string(r.type));
    ResetState();
    EXPECT_EQ(FamilyFor(r.type), r.family);
    State().device_type = r.type;
    uint32_t address = 0;
    uint8_t length = 0;
    IO_GetUpdateFwUnit(&address, &length);
    EXPECT_EQ(address, r.fw_address);
    EXPECT_EQ(length, r.fw_length);
    const Family* f = FamilyFor(r.type);
    EXPECT_EQ(f != nullptr && f->burst_read != nullptr, r.burst);
    EXPECT_EQ(f != nullptr && f->report_to_os != nullptr, r.report_to_os);
    EXPECT_EQ(f != nullptr && f->bridge_controls, r.bridge);
    EXPECT_EQ(f != nullptr && f->interface_test, r.interface_test);
    // Families with commands have them all: set mode, read and the maintenance table.
    if (f) {
      EXPECT_NE(f->set_raw_mode, nullptr);
      EXPECT_NE(f->read_data, nullptr);
      EXPECT_NE(f->maintenance, nullptr);
    }
    IO_SetChipIndex(5);
    EXPECT_EQ(IO_GetDeviceType(), r.after_index_5);
    IO_SetChipIndex(1);
    EXPECT_EQ(IO_GetDeviceType(), r.after_index_1);
  }
  ResetState();
}

TEST(FamilyTable, Z1FamiliesReachTheirChipsTheirOwnWay) {
  // The Z6 slave takes the Z1 commands through the tunnel; the others on the feature
  // channel: two tables, never one that asks the device type.
  EXPECT_NE(commands::Z6SlaveFamily().maintenance, commands::Z1FeatureFamily().maintenance);
  EXPECT_EQ(commands::Z2BridgeFamily().maintenance, commands::Z1FeatureFamily().maintenance);
  EXPECT_EQ(commands::Ep1BridgeFamily().maintenance, commands::Z1FeatureFamily().maintenance);
  EXPECT_EQ(commands::Z3BridgeFamily().maintenance, commands::Z3UsbFamily().maintenance);
}

}  // namespace
}  // namespace corlink
