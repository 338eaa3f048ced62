#include "data/device_io.h"

#include <corlink.h>
#include <fcntl.h>
#include <poll.h>

namespace pelorin {

bool HandleHungUp(int handle) {
  if (handle <= 0) return false;
  if (::fcntl(handle, F_GETFD) < 0) return true;
  pollfd p{handle, 0, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

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
  io.DeviceGone = HandleHungUp;
  return io;
}

}  // namespace pelorin
