// Exports that open devices and read or set the library state.
#include "corlink.h"
#include "export_guard.h"
#include "library_ops.h"
#include "library_state.h"
#include "transport/log.h"

using corlink::Guarded;
using corlink::GuardedVoid;
using corlink::State;

extern "C" {

int IO_OpenDevice(int declare) {
  return Guarded(-1, [&] { return corlink::OpenDevice(declare); });
}

int IO_OpenDeviceByPath(const char* path) {
  return Guarded(-1, [&] { return corlink::OpenDeviceByPath(path); });
}

int IO_GetDeviceType(void) { return State().device_type; }

int IO_GetDeviceTypeByPath(char* path) {
  return Guarded<int>(corlink::UNKNOWN, [&] { return corlink::GetDeviceTypeByPath(path); });
}

void IO_SetChipIndex(int index) { corlink::SetChipIndex(index); }

void IO_SetVerbose(int level) { corlink::transport::SetVerbose(level); }

void IO_SetRetryValue(int count, int delay_ms) {
  corlink::transport::SetRetryValue(count, delay_ms);
}

void IO_GetDevicePath(char* out) { corlink::GetDevicePath(out); }

void IO_GetVidPiD(uint16_t* vid, uint16_t* pid) { corlink::GetVidPid(vid, pid); }

int IO_IsNeedReInstall(void) { return corlink::ReinstallFlag(); }

void IO_ClearReInstallFlag(void) { corlink::SetReinstallFlag(0); }

}  // extern "C"
