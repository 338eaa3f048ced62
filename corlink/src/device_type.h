// Chip generations and attachments the library can talk to. The numbers cross the library
// boundary (the declare argument of IO_OpenDevice, IO_GetDeviceType) and index the name
// table printed in messages, so they never change.
#pragma once

#include <cstdint>

namespace corlink {

enum DeviceType : int32_t {
  NOT_SET = 0,
  UNKNOWN = 1,
  DEV_Z2_I2C = 2,
  DEV_Z3_I2C = 3,
  DEV_Z2_USB_BRG = 4,
  DEV_Z2_I2C_MASTER = 5,
  DEV_Z3_USB_BRG = 6,
  DEV_Z3_I2C_MASTER = 7,
  DEV_Z2_USB = 8,
  DEV_Z3_USB = 9,
  DEV_SPI = 10,
  DEV_Z3_HID_OVER_I2C = 11,
  DEV_USB_Z6SLAVE = 12,
  DEV_USB_Z7SLAVE = 13,
  DEV_USB_BRG_EP1 = 14,
};

inline constexpr int kDeviceTypeCount = 15;

// Name printed for a type ("Not support, type = %s"); out-of-range values give "UNKNOWN"
// so that a corrupted type can never index past the table.
inline const char* DeviceTypeName(int32_t type) {
  static const char* const kNames[kDeviceTypeCount] = {
      "NOT_SET",         "UNKNOWN",           "DEV_Z2_I2C",     "DEV_Z3_I2C",
      "DEV_Z2_USB_BRG",  "DEV_Z2_I2C_MASTER", "DEV_Z3_USB_BRG", "DEV_Z3_I2C_MASTER",
      "DEV_Z2_USB",      "DEV_Z3_USB",        "DEV_SPI",        "DEV_Z3_HID_OVER_I2C",
      "DEV_USB_Z6SLAVE", "DEV_USB_Z7SLAVE",   "DEV_USB_BRG_EP1"};
  return (type >= 0 && type < kDeviceTypeCount) ? kNames[type] : "UNKNOWN";
}

}  // namespace corlink
