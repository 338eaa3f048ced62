// Which family's maintenance table serves a device type, and the firmware unit of each.
#include <cstring>

#include "commands/maintenance.h"
#include "device_type.h"

namespace corlink::commands {

const MaintenanceTable* MaintenanceTableFor(int32_t type) {
  switch (type) {
    case NOT_SET:
    case DEV_Z2_I2C:
    case DEV_Z2_USB_BRG:
    case DEV_USB_BRG_EP1:
    case DEV_USB_Z6SLAVE:
      return &Z1MaintenanceTable();
    case DEV_Z2_USB:
      return &Z2MaintenanceTable();
    case DEV_Z3_USB:
    case DEV_Z3_USB_BRG:
      return &Z3UsbMaintenanceTable();
    case DEV_Z3_HID_OVER_I2C:
      return &HidOverI2cMaintenanceTable();
    case DEV_USB_Z7SLAVE:
      return &Z7MaintenanceTable();
    default:
      return nullptr;
  }
}

FirmwareUnit FirmwareUnitOf(int32_t type) {
  switch (type) {
    case NOT_SET:
    case DEV_Z2_I2C:
    case DEV_Z2_USB_BRG:
    case DEV_USB_Z6SLAVE:
    case DEV_USB_BRG_EP1:
      return {0x3000, 12};
    case DEV_Z3_USB_BRG:
    case DEV_Z3_USB:
    case DEV_Z3_HID_OVER_I2C:
    case DEV_USB_Z7SLAVE:
      return {0x3000, 52};
    case DEV_Z2_USB:
      return {0x4000, 16};
    default:
      return {0xFFFFFFFFu, 255};
  }
}

size_t ReverseWords(const uint8_t* data, size_t n, uint8_t* out) {
  const size_t words = (n + 3) / 4;
  std::memset(out, 0, words * 4);
  for (size_t i = 0; i < n; ++i) out[(i / 4) * 4 + 3 - i % 4] = data[i];
  return words * 4;
}

}  // namespace corlink::commands
