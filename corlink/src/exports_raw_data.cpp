// Raw-data exports: reporting to the OS, raw mode, data reads, each the current device
// type's family entry, or the failure value for a type without it.
#include "commands/family.h"
#include "corlink.h"
#include "device_type.h"
#include "export_guard.h"
#include "library_state.h"
#include "log_sink.h"

using corlink::Guarded;
using corlink::State;
using corlink::commands::CurrentFamily;
using corlink::commands::Family;

extern "C" {

bool IO_ReportToOS(int handle, bool enable, bool skipConfirm) {
  return Guarded(false, [&] {
    const Family* f = CurrentFamily();
    if (f && f->report_to_os)
      return f->report_to_os(handle, enable, skipConfirm, State().device_path);
    corlink::Log("Not support, type = %s", corlink::DeviceTypeName(State().device_type));
    return false;
  });
}

int IO_SetRawMode(int handle, int mode) {
  return Guarded(static_cast<int>(CORLINK_ERR_FAILED), [&] {
    const Family* f = CurrentFamily();
    return f && f->set_raw_mode ? f->set_raw_mode(handle, mode) : CORLINK_ERR_FAILED;
  });
}

int IO_ReadData(int handle, uint32_t address, uint8_t* buffer, uint32_t* count) {
  if (buffer == nullptr || count == nullptr) return CORLINK_ERR_FAILED;
  return Guarded(static_cast<int>(CORLINK_ERR_FAILED), [&] {
    const Family* f = CurrentFamily();
    return f && f->read_data ? f->read_data(handle, address, buffer, count) : CORLINK_ERR_FAILED;
  });
}

int IO_BurstReadData(int handle, uint32_t address, uint32_t length, uint8_t* buffer,
                     uint32_t* count) {
  if (buffer == nullptr || count == nullptr) return CORLINK_ERR_FAILED;
  return Guarded(static_cast<int>(CORLINK_ERR_FAILED), [&]() -> int {
    *count = 0;
    const Family* f = CurrentFamily();
    if (!f || !f->burst_read) return CORLINK_ERR_FAILED;
    // The request carries a 16-bit length: a longer read could never be answered in full.
    if (address == 0 || length > 0xFFFF) return CORLINK_ERR_FAILED;
    // Nothing to ask for; a request for 0 bytes would leave an answer nobody reads.
    if (length == 0) return CORLINK_OK;
    return f->burst_read(handle, address, length, buffer, count);
  });
}

}  // extern "C"
