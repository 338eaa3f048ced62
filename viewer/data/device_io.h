// The five library calls the live model makes, gathered in one struct so tests can
// script a device without the library or an emulator. CorlinkDeviceIo() forwards each
// call to the library's export of the same name.
#pragma once

#include <cstdint>
#include <functional>

namespace pelorin {

struct DeviceIo {
  // Handle of the controller found, or -1.
  std::function<int(int declare)> OpenDevice;
  // enable true: the controller reports touches to the system again; false: it serves
  // diagnostic data instead.
  std::function<bool(int handle, bool enable, bool skipConfirm)> ReportToOS;
  std::function<int(int handle, int mode)> SetRawMode;
  // 0 or 1 the master, 5 to 11 slaves 1 to 7.
  std::function<void(int index)> SetChipIndex;
  // One reply of at most kDeviceReplyBytes bytes into buffer; count receives the bytes
  // stored. 0 = success.
  std::function<int(int handle, uint32_t address, uint8_t* buffer, uint32_t* count)> ReadData;
  // True when the device behind the handle is gone (unplugged, the emulator's socket
  // closed); asked after a failed call. Empty: never.
  std::function<bool(int handle)> DeviceGone;
};

// Whether a device handle has hung up or is no longer valid.
bool HandleHungUp(int handle);

// The library may store up to this many bytes per ReadData call.
inline constexpr uint32_t kDeviceReplyBytes = 52;

// Forwards to corlink.
DeviceIo CorlinkDeviceIo();

}  // namespace pelorin
