// Raw-data exports: reporting to the OS, raw mode, data reads. Each dispatches on the
// current device type; the command bodies arrive with the raw-data commands, until then
// every family answers with the export's failure value.
#include "corlink.h"
#include "export_guard.h"

using corlink::CommandFamily;
using corlink::CurrentFamily;
using corlink::Guarded;

namespace {

void PrintNotSupported() {
  std::printf("Not support, type = %s", corlink::DeviceTypeName(corlink::State().device_type));
}

}  // namespace

extern "C" {

bool IO_ReportToOS(int handle, bool enable, bool skipConfirm) {
  (void)handle, (void)enable, (void)skipConfirm;
  return Guarded(false, [&] {
    switch (CurrentFamily()) {
      case CommandFamily::None:
        PrintNotSupported();
        return false;
      default:
        return false;
    }
  });
}

int IO_SetRawMode(int handle, int mode) {
  (void)handle, (void)mode;
  return Guarded(-1, [&] { return -1; });
}

int IO_ReadData(int handle, uint32_t address, uint8_t* buffer, uint32_t* count) {
  (void)handle, (void)address, (void)buffer, (void)count;
  return Guarded(-1, [&] { return -1; });
}

int IO_BurstReadData(int handle, uint32_t address, uint32_t length, uint8_t* buffer,
                     uint32_t* count) {
  (void)handle, (void)address, (void)length, (void)buffer, (void)count;
  return Guarded(-1, [&] { return -1; });
}

}  // extern "C"
