// The library's process-wide state: one opened device, its type and a few settings.
// Zero-initialised static storage; not re-entrant (hosts issue commands from one thread).
#pragma once

#include <cstdint>

#include "device_type.h"

namespace corlink {

// Retry count and delay of one transport family.
struct RetrySetting {
  uint16_t count;
  uint16_t delay_ms;
};

enum RetryFamily : int {
  kRetryFeature = 0,     // FeatureChannel commands (types 0, 2, 4, 12, 14)
  kRetryZ2Report = 1,    // Z2ReportChannel (types 8, 12)
  kRetryZ7Tunnel = 2,    // Z7 slave tunnel (type 13)
  kRetryHidOverI2c = 3,  // HID-over-I2C (type 11)
  kRetryZ3Usb = 4,       // Z3 USB (types 6, 9)
  kRetryFamilyCount = 5,
};

struct LibraryState {
  char device_path[512];
  int32_t device_type;  // DeviceType
  uint16_t vendor_id;
  uint16_t product_id;
  uint16_t verbose;
  int32_t reinstall_flag;
  uint8_t z6_slave_index;
  uint8_t z7_slave_index;
  int32_t declared_type;
  int32_t auto_change_flag;
  int32_t auto_change_program;
  RetrySetting retry[kRetryFamilyCount];
};

// The one instance. Retry defaults and the auto-change settings are set at load.
LibraryState& State();

// Restores the state as it is at library load (tests use it between cases).
void ResetState();

// The re-install flag is set by enumeration and opens, which a hub refresh runs on its own
// thread, while the host reads and clears it on another: every access is atomic.
int32_t ReinstallFlag();
void SetReinstallFlag(int32_t value);

}  // namespace corlink
