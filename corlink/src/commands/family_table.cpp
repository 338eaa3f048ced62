// The one place a device type picks its family.
#include "commands/family.h"

#include "device_type.h"

namespace corlink::commands {

const Family* FamilyFor(int32_t type) {
  static const Family* const kByType[kDeviceTypeCount] = {
      /* NOT_SET */ &Z1FeatureFamily(),
      /* UNKNOWN */ nullptr,
      /* DEV_Z2_I2C */ &Z1FeatureFamily(),
      /* DEV_Z3_I2C */ nullptr,
      /* DEV_Z2_USB_BRG */ &Z2BridgeFamily(),
      /* DEV_Z2_I2C_MASTER */ nullptr,
      /* DEV_Z3_USB_BRG */ &Z3BridgeFamily(),
      /* DEV_Z3_I2C_MASTER */ nullptr,
      /* DEV_Z2_USB */ &Z2LetterFamily(),
      /* DEV_Z3_USB */ &Z3UsbFamily(),
      /* DEV_SPI */ nullptr,
      /* DEV_Z3_HID_OVER_I2C */ &HidOverI2cFamily(),
      /* DEV_USB_Z6SLAVE */ &Z6SlaveFamily(),
      /* DEV_USB_Z7SLAVE */ &Z7SlaveFamily(),
      /* DEV_USB_BRG_EP1 */ &Ep1BridgeFamily(),
  };
  return (type >= 0 && type < kDeviceTypeCount) ? kByType[type] : nullptr;
}

}  // namespace corlink::commands
