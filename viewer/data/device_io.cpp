#include "data/device_io.h"

#include <corlink.h>

namespace pelorin {

DeviceIo CorlinkDeviceIo() {
  DeviceIo io;
  io.OpenDevice = [](int declare) { return IO_OpenDevice(declare); };
  io.ReportToOS = [](int handle, bool enable, bool skipConfirm) {
    return IO_ReportToOS(handle, enable, skipConfirm);
  };
  io.SetRawMode = [](int handle, int mode) { return IO_SetRawMode(handle, mode); };
  io.SetChipIndex = [](int index) { IO_SetChipIndex(index); };
  io.ReadData = [](int handle, uint32_t address, uint8_t* buffer, uint32_t* count) {
    return IO_ReadData(handle, address, buffer, count);
  };
  return io;
}

}  // namespace pelorin
