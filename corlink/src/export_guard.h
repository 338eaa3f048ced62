// Helpers shared by the export shims: no C++ exception may cross the C boundary, and the
// commands pick their code path from the current device type.
#pragma once

#include <cstdint>
#include <cstdio>

#include "device_type.h"
#include "library_state.h"

namespace corlink {

// Runs body; any exception becomes the export's failure value.
template <class R, class F>
R Guarded(R failure, F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

template <class F>
void GuardedVoid(F&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

// The command family that serves a device type.
enum class CommandFamily { Z1Feature, Z1SlaveTunnel, Z2Letters, Z3Usb, Z7Tunnel, Z3HidOverI2c, None };

inline CommandFamily FamilyOf(int32_t type) {
  switch (type) {
    case NOT_SET: case DEV_Z2_I2C: case DEV_Z2_USB_BRG: case DEV_USB_BRG_EP1:
      return CommandFamily::Z1Feature;
    case DEV_USB_Z6SLAVE: return CommandFamily::Z1SlaveTunnel;
    case DEV_Z2_USB: return CommandFamily::Z2Letters;
    case DEV_Z3_USB: case DEV_Z3_USB_BRG: return CommandFamily::Z3Usb;
    case DEV_USB_Z7SLAVE: return CommandFamily::Z7Tunnel;
    case DEV_Z3_HID_OVER_I2C: return CommandFamily::Z3HidOverI2c;
    default: return CommandFamily::None;
  }
}

inline CommandFamily CurrentFamily() { return FamilyOf(State().device_type); }

}  // namespace corlink
