// Raw-data exports: reporting to the OS, raw mode, data reads. Thin shims over the
// commands, which dispatch on the library's current device type.
#include "commands/raw_data.h"
#include "corlink.h"
#include "export_guard.h"
#include "library_state.h"

using corlink::Guarded;
using corlink::State;

extern "C" {

bool IO_ReportToOS(int handle, bool enable, bool skipConfirm) {
  return Guarded(false, [&] {
    return corlink::commands::ReportToOS(State().device_type, handle, enable, skipConfirm,
                                         State().device_path);
  });
}

int IO_SetRawMode(int handle, int mode) {
  return Guarded(static_cast<int>(CORLINK_ERR_FAILED),
                 [&] { return corlink::commands::SetRawMode(State().device_type, handle, mode); });
}

int IO_ReadData(int handle, uint32_t address, uint8_t* buffer, uint32_t* count) {
  if (buffer == nullptr || count == nullptr) return CORLINK_ERR_FAILED;
  return Guarded(static_cast<int>(CORLINK_ERR_FAILED), [&] {
    return corlink::commands::ReadData(State().device_type, handle, address, buffer, count);
  });
}

int IO_BurstReadData(int handle, uint32_t address, uint32_t length, uint8_t* buffer,
                     uint32_t* count) {
  if (buffer == nullptr || count == nullptr) return CORLINK_ERR_FAILED;
  return Guarded(static_cast<int>(CORLINK_ERR_FAILED), [&] {
    return corlink::commands::BurstReadData(State().device_type, handle, address, length, buffer,
                                            count);
  });
}

}  // extern "C"
